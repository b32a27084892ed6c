#include "DriveScan.h"
#include "RemoteCommand.h"
#include "RemoteFailure.h"
#include "RemoteScan.h"
#include "RemoteTarget.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RemoteFailure::Problem)
Q_DECLARE_METATYPE(RemoteTarget::Problem)
Q_DECLARE_METATYPE(RemoteScan::Walker)

namespace {

// A port nothing listens on now: the system's pick for a socket closed at once.
int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool WriteFile(const QString &path, const QByteArray &text, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return !executable ||
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

// The walk of another machine, against an sshd of the test's own on the loopback: its own host
// and user keys, its own configuration. What the machine has on its PATH is picked per walk (the
// server hands the command to a shell with the PATH the client sent): quarnel-scan, only ncdu,
// neither, or a quarnel-scan that dies halfway through its text.
class TestRemote : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void target_data();
    void target();
    void classify_data();
    void classify();
    void walk_data();
    void walk();
    void stop();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray sshCommand(const QByteArray &bin) const;

    QTemporaryDir m_dir;
    QProcess m_sshd;
    QString m_skip; // why the walks over ssh cannot run here
    QByteArray m_tree;
};

void TestRemote::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!QFile::exists(u"/usr/sbin/sshd"_s) || !QFile::exists(u"/usr/bin/ssh-keygen"_s)) {
        m_skip = u"no /usr/sbin/sshd or ssh-keygen here (apt install openssh-server)"_s;
        return;
    }
    QDir().mkpath(u"/run/sshd"_s); // its privilege separation, when run as root
    for (const char *key : {"host_key", "user_key", "other_key"})
        QVERIFY(Run(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s,
                                      path(QLatin1StringView(key))}));
    QFile::copy(path(u"user_key.pub"_s), path(u"authorized_keys"_s));
    const int port = FreePort();
    const QByteArray dir = QFile::encodeName(m_dir.path());
    QVERIFY(WriteFile(path(u"sshd_config"_s),
                      "ListenAddress 127.0.0.1\nPort " + QByteArray::number(port) + "\nHostKey " +
                          dir + "/host_key\nAuthorizedKeysFile " + dir +
                          "/authorized_keys\nStrictModes no\nUsePAM no\nPidFile " + dir +
                          "/sshd.pid\nPermitRootLogin prohibit-password\n"
                          "AcceptEnv QUARNEL_TEST_BIN\n"
                          "ForceCommand PATH=\"$QUARNEL_TEST_BIN\" /bin/sh -c "
                          "\"$SSH_ORIGINAL_COMMAND\"\n"));
    // ssh takes each option's first value: the stranger's known hosts come before the others'.
    const QByteArray client = "  HostName 127.0.0.1\n  IdentitiesOnly yes\n  Port " +
                              QByteArray::number(port) + "\n  UserKnownHostsFile " + dir +
                              "/known_hosts\n";
    QVERIFY(
        WriteFile(path(u"ssh_config"_s), "Host loop\n" + client + "  IdentityFile " + dir +
                                             "/user_key\n  StrictHostKeyChecking no\n"
                                             "Host loop-nokey\n" +
                                             client + "  IdentityFile " + dir +
                                             "/other_key\n  StrictHostKeyChecking no\n"
                                             "Host loop-stranger\n  UserKnownHostsFile /dev/null\n"
                                             "  StrictHostKeyChecking yes\n" +
                                             client + "  IdentityFile " + dir +
                                             "/user_key\n"
                                             "Host loop-closed\n  HostName 127.0.0.1\n  Port " +
                                             QByteArray::number(FreePort()) + "\n"));
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    m_sshd.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, path(u"sshd_config"_s)});
    QByteArray said;
    while (!said.contains("Server listening") && m_sshd.waitForReadyRead(20000))
        said += m_sshd.readAll();
    if (!said.contains("Server listening")) {
        m_skip = u"sshd did not start: "_s + QString::fromLocal8Bit(said.trimmed());
        return;
    }

    // What the machine may run: sh always (the server starts the script with it).
    const QByteArray scan = QUARNEL_SCAN_PATH;
    for (const char *bin : {"bin-qs", "bin-ncdu", "bin-none", "bin-cut", "bin-slow"}) {
        QVERIFY(QDir().mkpath(path(QLatin1StringView(bin))));
        QVERIFY(QFile::link(u"/bin/sh"_s, path(QLatin1StringView(bin) + u"/sh"_s)));
    }
    QVERIFY(QFile::link(QFile::decodeName(scan), path(u"bin-qs/quarnel-scan"_s)));
    QVERIFY(QFile::link(u"/usr/bin/ncdu"_s, path(u"bin-ncdu/ncdu"_s)) ||
            !QFile::exists(u"/usr/bin/ncdu"_s));
    // Half its text, then it dies as a killed walker does.
    QVERIFY(WriteFile(path(u"bin-cut/quarnel-scan"_s),
                      "#!/bin/sh\n" + scan + " --export - \"$3\" > " + dir +
                          "/whole.json 2>/dev/null\n/usr/bin/head -c 300 " + dir +
                          "/whole.json\nkill -9 $$\n",
                      true));
    // A walker that never ends, writing a blank now and then.
    QVERIFY(WriteFile(path(u"bin-slow/quarnel-scan"_s),
                      "#!/bin/sh\nwhile :; do printf ' ' || exit 1; /bin/sleep 0.05; done\n",
                      true));

    m_tree = dir + "/tree";
    for (const char *file : {"/a/one=1000", "/a/b/two=20000", "/c/three=3", "/four=444"}) {
        const QByteArray spec = m_tree + file;
        const QByteArray name = spec.left(spec.indexOf('='));
        QVERIFY(QDir().mkpath(QFile::decodeName(name.left(name.lastIndexOf('/')))));
        QVERIFY(WriteFile(QFile::decodeName(name),
                          QByteArray(spec.mid(spec.indexOf('=') + 1).toInt(), 'x')));
    }
}

void TestRemote::cleanupTestCase()
{
    if (m_sshd.state() != QProcess::NotRunning) {
        m_sshd.terminate();
        m_sshd.waitForFinished(10000);
    }
}

QByteArray TestRemote::sshCommand(const QByteArray &bin) const
{
    return "ssh -F " + QFile::encodeName(path(u"ssh_config"_s)) +
           " -o SetEnv=QUARNEL_TEST_BIN=" + QFile::encodeName(path(QString::fromLatin1(bin)));
}

void TestRemote::target_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<RemoteTarget::Problem>("problem");
    QTest::addColumn<QByteArray>("destination");
    QTest::addColumn<int>("port");
    using P = RemoteTarget::Problem;
    QTest::newRow("alias") << u" srv "_s << P::None << "srv"_ba << 0;
    QTest::newRow("user and port")
        << u"me@srv.example:2222"_s << P::None << "me@srv.example"_ba << 2222;
    QTest::newRow("IPv6 with port") << u"[::1]:22"_s << P::None << "::1"_ba << 22;
    QTest::newRow("IPv6 bare") << u"fe80::1"_s << P::None << "fe80::1"_ba << 0;
    QTest::newRow("empty") << u"  "_s << P::Empty << ""_ba << 0;
    QTest::newRow("an option") << u"-oProxyCommand=touch x"_s << P::Option << ""_ba << 0;
    QTest::newRow("an option after the user") << u"-l:22"_s << P::Option << ""_ba << 0;
    QTest::newRow("two words") << u"srv rm"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("a newline") << u"srv\nx"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("a quote") << u"srv'x"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("port zero") << u"srv:0"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("port too high") << u"srv:65536"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("port not a number") << u"srv:22x"_s << P::BadPort << ""_ba << 0;
}

void TestRemote::target()
{
    QFETCH(QString, typed);
    QFETCH(RemoteTarget::Problem, problem);
    QFETCH(QByteArray, destination);
    QFETCH(int, port);
    RemoteTarget target;
    QCOMPARE(RemoteTarget::Parse(typed, {}, target), problem);
    if (problem != RemoteTarget::Problem::None)
        return;
    QCOMPARE(target.destination, destination);
    QCOMPARE(target.port, port);
    // Whatever the name, ssh reads no option from it: "--" comes first.
    const QList<QByteArray> words = RemoteCommand::Arguments(target, "ssh -F cfg");
    QCOMPARE(words.mid(0, 3), (QList<QByteArray>{"ssh", "-F", "cfg"}));
    QCOMPARE(words.at(words.size() - 3), "--"_ba);
    QCOMPARE(words.at(words.size() - 2), destination);
}

// ssh's words for each failure, as OpenSSH writes them; the first line of each is what comes
// before (a warning ssh gives on its way).
void TestRemote::classify_data()
{
    QTest::addColumn<int>("code"); // -9: killed by SIGKILL
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<quint64>("received");
    QTest::addColumn<bool>("scanRead");
    QTest::addColumn<int>("importProblem");
    QTest::addColumn<RemoteFailure::Problem>("problem");
    const QByteArray warned =
        "Warning: Permanently added 'srv' (ED25519) to the list of known hosts.";
    using F = RemoteFailure;
    QTest::newRow("whole, some unreadable")
        << 1 << QByteArrayList{"quarnel-remote: quarnel-scan", "/x: Permission denied"}
        << quint64(900) << true << 0 << F::None;
    QTest::newRow("unknown host")
        << 255 << QByteArrayList{"ssh: Could not resolve hostname srv: Name or service not known"}
        << quint64(0) << false << 0 << F::UnknownHost;
    QTest::newRow("host key changed")
        << 255
        << QByteArrayList{"@@@@@", "@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @",
                          "Host key verification failed."}
        << quint64(0) << false << 0 << F::HostKeyChanged;
    QTest::newRow("host key unknown") << 255 << QByteArrayList{"Host key verification failed."}
                                      << quint64(0) << false << 0 << F::HostKeyUnknown;
    QTest::newRow("key refused") << 255
                                 << QByteArrayList{warned, "me@srv: Permission denied (publickey)."}
                                 << quint64(0) << false << 0 << F::KeyRefused;
    QTest::newRow("refused")
        << 255 << QByteArrayList{"ssh: connect to host srv port 22: Connection refused"}
        << quint64(0) << false << 0 << F::ConnectionRefused;
    QTest::newRow("timed out")
        << 255 << QByteArrayList{"ssh: connect to host srv port 22: Connection timed out"}
        << quint64(0) << false << 0 << F::TimedOut;
    QTest::newRow("link lost mid-scan")
        << 255 << QByteArrayList{"quarnel-remote: ncdu", "Timeout, server srv not responding."}
        << quint64(5000) << false << int(ImportError::Truncated) << F::Cut;
    QTest::newRow("ssh killed") << -9 << QByteArrayList{} << quint64(5000) << false
                                << int(ImportError::Truncated) << F::Cut;
    QTest::newRow("walker died") << 137 << QByteArrayList{"quarnel-remote: quarnel-scan"}
                                 << quint64(5000) << false << int(ImportError::Truncated) << F::Cut;
    QTest::newRow("no walker") << RemoteCommand::NoWalkerExit << QByteArrayList{} << quint64(0)
                               << false << int(ImportError::Truncated) << F::NoWalker;
    QTest::newRow("no folder") << RemoteCommand::NoFolderExit << QByteArrayList{} << quint64(0)
                               << false << int(ImportError::Truncated) << F::NoFolder;
    QTest::newRow("cut short, yet all is well, it says")
        << 0 << QByteArrayList{} << quint64(5000) << false << int(ImportError::Truncated)
        << F::BadScan;
    QTest::newRow("no scan") << 0 << QByteArrayList{} << quint64(40) << false
                             << int(ImportError::Syntax) << F::BadScan;
    QTest::newRow("walker refused to start")
        << 2 << QByteArrayList{"quarnel-remote: quarnel-scan", "quarnel-scan: unknown option"}
        << quint64(0) << false << int(ImportError::Truncated) << F::Other;
    QTest::newRow("anything else") << 255
                                   << QByteArrayList{"kex_exchange_identification: read: "
                                                     "Connection reset by peer"}
                                   << quint64(0) << false << 0 << F::Other;
}

void TestRemote::classify()
{
    QFETCH(int, code);
    QFETCH(QByteArrayList, lines);
    QFETCH(quint64, received);
    QFETCH(bool, scanRead);
    QFETCH(int, importProblem);
    QFETCH(RemoteFailure::Problem, problem);
    RemoteFailure::Outcome outcome;
    outcome.status =
        code >= 0 ? ChildProcess::Status{true, code, 0} : ChildProcess::Status{false, -1, -code};
    outcome.errorLines = lines;
    outcome.received = received;
    outcome.scanRead = scanRead;
    outcome.import.problem = ImportError::Problem(importProblem);
    const RemoteFailure failure = RemoteFailure::Classify(outcome);
    QCOMPARE(failure.problem, problem);
    // The words quoted are ssh's or the walker's, never the script's own mark.
    if (problem == RemoteFailure::Other)
        QCOMPARE(failure.detail, lines.last());
}

void TestRemote::walk_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QByteArray>("bin");
    QTest::addColumn<QByteArray>("folder"); // below the tree
    QTest::addColumn<RemoteFailure::Problem>("problem");
    QTest::addColumn<RemoteScan::Walker>("walker");
    using F = RemoteFailure;
    using W = RemoteScan::Walker;
    QTest::newRow("quarnel-scan") << u"loop"_s << "bin-qs"_ba
                                  << ""_ba << F::None << W::QuarnelScan;
    QTest::newRow("ncdu in its place") << u"loop"_s << "bin-ncdu"_ba
                                       << ""_ba << F::None << W::Ncdu;
    QTest::newRow("a hostile folder name")
        << u"loop"_s << "bin-qs"_ba
        << "/it's $(touch pwned) `touch pwned` \"q\" \\\n; x"_ba << F::None << W::QuarnelScan;
    QTest::newRow("a folder named like an option") << u"loop"_s << "bin-qs"_ba
                                                   << "/-rf"_ba << F::None << W::QuarnelScan;
    QTest::newRow("neither walker") << u"loop"_s << "bin-none"_ba
                                    << ""_ba << F::NoWalker << W::Unknown;
    QTest::newRow("no such folder") << u"loop"_s << "bin-qs"_ba
                                    << "/missing"_ba << F::NoFolder << W::Unknown;
    QTest::newRow("walker killed midway") << u"loop"_s << "bin-cut"_ba
                                          << ""_ba << F::Cut << W::QuarnelScan;
    QTest::newRow("key refused") << u"loop-nokey"_s << "bin-qs"_ba
                                 << ""_ba << F::KeyRefused << W::Unknown;
    QTest::newRow("host key not known") << u"loop-stranger"_s << "bin-qs"_ba
                                        << ""_ba << F::HostKeyUnknown << W::Unknown;
    QTest::newRow("nothing listens") << u"loop-closed"_s << "bin-qs"_ba
                                     << ""_ba << F::ConnectionRefused << W::Unknown;
    QTest::newRow("unknown host") << u"no-such-machine.invalid"_s << "bin-qs"_ba
                                  << ""_ba << F::UnknownHost << W::Unknown;
}

void TestRemote::walk()
{
    QFETCH(QString, machine);
    QFETCH(QByteArray, bin);
    QFETCH(QByteArray, folder);
    QFETCH(RemoteFailure::Problem, problem);
    QFETCH(RemoteScan::Walker, walker);
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    if (bin == "bin-ncdu" && !QFile::exists(u"/usr/bin/ncdu"_s))
        QSKIP("no ncdu here");
    const QByteArray root = m_tree + folder;
    if (problem == RemoteFailure::None && !folder.isEmpty()) {
        QVERIFY(QDir().mkpath(QFile::decodeName(root)));
        QVERIFY(WriteFile(QFile::decodeName(root + "/f"), QByteArray(123, 'f')));
    }
    RemoteTarget target;
    QCOMPARE(RemoteTarget::Parse(machine, {}, target), RemoteTarget::Problem::None);
    RemoteScan scan(target, root);
    scan.setSshCommand(sshCommand(bin));
    const std::unique_ptr<DriveScan> records = scan.run();
    QCOMPARE(scan.failure().problem, problem);
    QCOMPARE(scan.walker(), walker);
    QCOMPARE(records != nullptr, problem == RemoteFailure::None);
    QVERIFY(!QFile::exists(QDir::home().filePath(u"pwned"_s)));
    if (!records)
        return;
    QCOMPARE(records->rootPath(), root + '/');
    DriveScan local(root + '/');
    QVERIFY(Walk(root, local));
    QCOMPARE(records->totalSize(), local.totalSize());
    QCOMPARE(records->count(), local.count());
    QVERIFY(scan.entriesRead() >= quint64(local.count()));
}

// Stopped while the text arrives: ssh ends, nothing is handed over, and the failure is no
// failure to tell.
void TestRemote::stop()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    RemoteTarget target;
    QCOMPARE(RemoteTarget::Parse(u"loop"_s, {}, target), RemoteTarget::Problem::None);
    RemoteScan scan(target, m_tree);
    scan.setSshCommand(sshCommand("bin-slow"));
    std::unique_ptr<DriveScan> records;
    std::thread reader([&] { records = scan.run(); });
    QTRY_VERIFY_WITH_TIMEOUT(scan.bytesReceived() > 0, 30000);
    scan.stop();
    reader.join();
    QVERIFY(!records);
    QCOMPARE(scan.failure().problem, RemoteFailure::Stopped);
}

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"

#include "DriveScan.h"
#include "ExcludePatterns.h"
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

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RemoteFailure::Problem)
Q_DECLARE_METATYPE(RemoteTarget::Problem)

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

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray sshCommand(const QByteArray &bin, const QByteArray &options) const;

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
    // Keys, configurations, the tree walked, and what the machine may run: sh always (the server
    // starts the script with it), then quarnel-scan, only ncdu, neither, or a quarnel-scan that
    // dies halfway through its text. The rows' own ssh options come first on its command line,
    // and ssh takes each option's first value: a row may give another key, port or known hosts.
    QCOMPARE(QProcess::execute(u"sh"_s, {u"-ec"_s, uR"(cd "$0"
        for k in host_key user_key other_key; do ssh-keygen -q -t ed25519 -N '' -f $k; done
        cp user_key.pub authorized_keys
        printf 'ListenAddress 127.0.0.1\nPort %s\nHostKey %s/host_key\nStrictModes no\n' $2 "$PWD" >sshd_config
        printf 'AuthorizedKeysFile %s/authorized_keys\nPidFile %s/pid\n' "$PWD" "$PWD" >>sshd_config
        printf 'UsePAM no\nPermitRootLogin prohibit-password\nAcceptEnv QUARNEL_TEST_BIN\n' >>sshd_config
        echo 'ForceCommand PATH="$QUARNEL_TEST_BIN" /bin/sh -c "$SSH_ORIGINAL_COMMAND"' >>sshd_config
        printf 'Host loop\nHostName 127.0.0.1\nPort %s\nIdentitiesOnly yes\n' $2 >ssh_config
        printf 'UserKnownHostsFile %s/known_hosts\nStrictHostKeyChecking no\n' "$PWD" >>ssh_config
        mkdir -p tree/a/b tree/c
        head -c 1000 /dev/zero >tree/a/one; head -c 20000 /dev/zero >tree/a/b/two
        head -c 3 /dev/zero >tree/c/three; head -c 444 /dev/zero >tree/four
        for b in qs ncdu none cut bad; do mkdir bin-$b; ln -s /bin/sh bin-$b/sh; done
        ln -s "$1" bin-qs/quarnel-scan; ln -s /usr/bin/ncdu bin-ncdu/ncdu
        printf '#!/bin/sh\nfor r; do :; done; "%s" --export - "$r" >%s/whole.json 2>/dev/null\n' "$1" "$PWD" >bin-cut/quarnel-scan
        printf '/usr/bin/head -c 300 %s/whole.json; kill -9 $$\n' "$PWD" >>bin-cut/quarnel-scan
        printf '#!/bin/sh\necho "[1,2,{},[{\\"name\\":\\"/\\"},{\\"name\\":\\"..\\"}]]"\n' >bin-bad/quarnel-scan
        chmod +x bin-cut/quarnel-scan bin-bad/quarnel-scan)"_s,
                                         m_dir.path(), QStringLiteral(QUARNEL_SCAN_PATH),
                                         QString::number(FreePort())}),
             0);
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    m_sshd.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, path(u"sshd_config"_s)});
    QByteArray said;
    while (!said.contains("Server listening") && m_sshd.waitForReadyRead(20000))
        said += m_sshd.readAll();
    if (!said.contains("Server listening")) {
        m_skip = u"sshd did not start: "_s + QString::fromLocal8Bit(said.trimmed());
        return;
    }

    m_tree = QFile::encodeName(m_dir.path()) + "/tree";
}

void TestRemote::cleanupTestCase()
{
    m_sshd.terminate(); // nothing when it is not running
    m_sshd.waitForFinished(10000);
}

QByteArray TestRemote::sshCommand(const QByteArray &bin, const QByteArray &options) const
{
    const QByteArray dir = QFile::encodeName(m_dir.path());
    return "ssh -F " + dir + "/ssh_config -o SetEnv=QUARNEL_TEST_BIN=" + dir + "/bin-" + bin + ' ' +
           (options.contains("-i ") ? options : options + " -i " + dir + "/user_key");
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
    QTest::newRow("an option") << u"-oProxyCommand=touch x"_s << P::Option << ""_ba << 0;
    QTest::newRow("two words") << u"srv rm"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("port not a number") << u"srv:22x"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("highest port") << u"srv:65535"_s << P::None << "srv"_ba << 65535;
    QTest::newRow("port too high") << u"srv:65536"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("port zero") << u"srv:0"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("signed port") << u"srv:+22"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("IPv6, no port") << u"fe80::1"_s << P::None << "fe80::1"_ba << 0;
    // After "|", what the port field holds.
    QTest::newRow("port in its field") << u"srv|2200"_s << P::None << "srv"_ba << 2200;
    QTest::newRow("port twice") << u"srv:22|2200"_s << P::BadPort << ""_ba << 0;
    QTest::newRow("IPv6, port in its field") << u"[::1]|2200"_s << P::None << "::1"_ba << 2200;
    QTest::newRow("IPv6, port twice") << u"[::1]:22|2200"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("bracket unclosed") << u"[::1"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("blank") << u"  "_s << P::Empty << ""_ba << 0;
    QTest::newRow("a slash") << u"srv/x"_s << P::BadCharacter << ""_ba << 0;
    QTest::newRow("a quote") << u"sr'v"_s << P::BadCharacter << ""_ba << 0;
}

void TestRemote::target()
{
    QFETCH(QString, typed);
    QFETCH(RemoteTarget::Problem, problem);
    QFETCH(QByteArray, destination);
    QFETCH(int, port);
    RemoteTarget target;
    QCOMPARE(RemoteTarget::Parse(typed.section(u'|', 0, 0), typed.section(u'|', 1), target),
             problem);
    if (problem != RemoteTarget::Problem::None)
        return;
    QCOMPARE(target.destination, destination);
    QCOMPARE(target.port, port);
    // Whatever the name, ssh reads no option from it: "--" comes first.
    const QList<QByteArray> words = RemoteCommand::Arguments(target, "ssh -F cfg");
    QCOMPARE(words.at(words.size() - 3), "--"_ba);
    QCOMPARE(words.at(words.size() - 2), destination);
}

// What the loopback's sshd does not show: ssh's words for each failure, as OpenSSH writes them,
// and how far the scan's text came.
void TestRemote::classify_data()
{
    QTest::addColumn<int>("code"); // -9: killed by SIGKILL
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<int>("received");
    QTest::addColumn<RemoteFailure::Problem>("problem");
    const auto row = [](const char *name, int code, const QByteArrayList &lines, int received,
                        RemoteFailure::Problem problem) {
        QTest::newRow(name) << code << lines << received << problem;
    };
    using F = RemoteFailure;
    row("host key changed", 255, {"@ WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! @", "x"}, 0,
        F::HostKeyChanged);
    row("timed out", 255, {"ssh: connect to host srv port 22: Connection timed out"}, 0,
        F::TimedOut);
    row("link lost mid-scan", 255, {"quarnel-remote: ncdu", "Timeout, server srv not responding."},
        5000, F::Cut);
    row("ssh killed", -9, {}, 5000, F::Cut);
    row("cut short, all well, it says", 0, {}, 5000, F::BadScan);
    row("walker refused to start", 2, {"quarnel-remote: quarnel-scan", "quarnel-scan: bad option"},
        0, F::Other);
}

void TestRemote::classify()
{
    QFETCH(int, code);
    QFETCH(QByteArrayList, lines);
    QFETCH(int, received);
    QFETCH(RemoteFailure::Problem, problem);
    RemoteFailure::Outcome outcome;
    outcome.status =
        code >= 0 ? ChildProcess::Status{true, code, 0} : ChildProcess::Status{false, -1, -code};
    outcome.errorLines = lines;
    outcome.received = quint64(received);
    outcome.import.problem = ImportError::Truncated;
    const RemoteFailure failure = RemoteFailure::Classify(outcome);
    QCOMPARE(failure.problem, problem);
    // The words quoted are ssh's or the walker's, never the script's own mark.
    if (problem == RemoteFailure::Other)
        QCOMPARE(failure.detail, lines.last());
}

void TestRemote::walk_data()
{
    QTest::addColumn<QByteArray>("options"); // ssh's, before the config's
    QTest::addColumn<QByteArray>("bin");     // what the machine has on its PATH
    QTest::addColumn<QByteArray>("folder");  // below the tree
    QTest::addColumn<RemoteFailure::Problem>("problem");
    const QByteArray other = "-i " + QFile::encodeName(path(u"other_key"_s));
    const auto row = [](const char *name, const QByteArray &options, const char *bin,
                        const QByteArray &folder, RemoteFailure::Problem problem) {
        QTest::newRow(name) << options << QByteArray(bin) << folder << problem;
    };
    using F = RemoteFailure;
    row("quarnel-scan", {}, "qs", {}, F::None);
    row("ncdu in its place", {}, "ncdu", {}, F::None);
    row("a hostile folder name", {}, "qs", "/it's $(touch pwned) `touch pwned` \"q\" \\\n; -x",
        F::None);
    row("neither walker", {}, "none", {}, F::NoWalker);
    row("no such folder", {}, "qs", "/missing", F::NoFolder);
    row("a hostile machine's text", {}, "bad", {}, F::BadScan);
    row("walker killed midway", {}, "cut", {}, F::Cut);
    row("key refused", other, "qs", {}, F::KeyRefused);
    row("host key not known", "-o UserKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes", "qs",
        {}, F::HostKeyUnknown);
    row("nothing listens", "-p 1", "qs", {}, F::ConnectionRefused);
    row("unknown host", "-o HostName=no-such-machine.invalid", "qs", {}, F::UnknownHost);
}

void TestRemote::walk()
{
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, bin);
    QFETCH(QByteArray, folder);
    QFETCH(RemoteFailure::Problem, problem);
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    if (bin == "ncdu" && !QFile::exists(u"/usr/bin/ncdu"_s))
        QSKIP("no ncdu here");
    const QByteArray root = m_tree + folder;
    if (problem == RemoteFailure::None && !folder.isEmpty()) {
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s, u"mkdir \"$0\" && echo f >\"$0/f\""_s,
                                             QFile::decodeName(root)}),
                 0);
    }
    RemoteScan scan({"loop", 0}, root);
    scan.setSshCommand(sshCommand(bin, options));
    // Left out there as here, quoted whatever they hold.
    const QByteArrayList exclude{"b", "x'$(touch pwned)"};
    scan.setExcludePatterns(exclude);
    const std::unique_ptr<DriveScan> records = scan.run();
    QCOMPARE(scan.failure().problem, problem);
    QCOMPARE(records != nullptr, problem == RemoteFailure::None);
    QVERIFY(!QFile::exists(QDir::home().filePath(u"pwned"_s)));
    if (!records)
        return;
    QCOMPARE(scan.walker(),
             bin == "ncdu" ? RemoteScan::Walker::Ncdu : RemoteScan::Walker::QuarnelScan);
    QCOMPARE(records->rootPath(), root + '/');
    DriveScan local(root + '/');
    Walker::Options leaving;
    leaving.exclude = std::make_shared<const ExcludePatterns>(exclude);
    QVERIFY(Walk(root, local, leaving));
    QCOMPARE(local.excludedCount(), folder.isEmpty() ? 1u : 0u);
    QCOMPARE(records->excludedCount(), local.excludedCount());
    QCOMPARE(records->totalSize(), local.totalSize());
    QCOMPARE(records->count(), local.count());
}

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"

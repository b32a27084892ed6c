#include "DriveScan.h"
#include "ItemRemoval.h"
#include "RemovalCheck.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Trash and delete on a volume of the test's own: the disk changes as asked, or not at all, and
// the records always equal a fresh walk's.
class TestRemoval : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void removal_data();
    void removal();
    void rails_data();
    void rails();

private:
    bool m_canMount = false;
    QTemporaryDir m_home; // the home trash, on another volume than the test's
};

void TestRemoval::initTestCase()
{
    // A mount namespace of our own, so the test volumes vanish with the test.
    m_canMount = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                 ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
}

void TestRemoval::removal_data()
{
    QTest::addColumn<QByteArray>("setup"); // shell commands in the volume, before the walk
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("outcome"); // "done", "refused" or "partly"

    const QByteArray tree = "mkdir -p a/b c; truncate -s 1000 a/f; truncate -s 5 a/b/x; "
                            "truncate -s 7 c/h; "_ba;
    QTest::newRow("trash a file") << tree << "trash"_ba
                                  << "a/f"_ba
                                  << "done"_ba;
    QTest::newRow("trash a folder") << tree << "trash"_ba
                                    << "a/b"_ba
                                    << "done"_ba;
    QTest::newRow("trash a link whose twin stays") << tree + "ln a/f c/g"
                                                   << "trash"_ba
                                                   << "a/f"_ba
                                                   << "done"_ba;
    QTest::newRow("trash a link to a folder") << tree + "ln -s ../c a/l"
                                              << "trash"_ba
                                              << "a/l"_ba
                                              << "done"_ba;
    QTest::newRow("delete a file") << tree << "delete"_ba
                                   << "a/f"_ba
                                   << "done"_ba;
    QTest::newRow("delete a folder") << tree << "delete"_ba
                                     << "a"_ba
                                     << "done"_ba;
    QTest::newRow("delete a link whose twin stays") << tree + "ln a/f c/g"
                                                    << "delete"_ba
                                                    << "a/f"_ba
                                                    << "done"_ba;
    QTest::newRow("delete a link to a folder") << tree + "ln -s ../c a/l"
                                               << "delete"_ba
                                               << "a/l"_ba
                                               << "done"_ba;
    QTest::newRow("trash on a read-only volume") << tree + "mount -o remount,ro ."
                                                 << "trash"_ba
                                                 << "a/f"_ba
                                                 << "refused"_ba;
    QTest::newRow("delete on a read-only volume") << tree + "mount -o remount,ro ."
                                                  << "delete"_ba
                                                  << "a"_ba
                                                  << "refused"_ba;
    // Owned by another user, with a folder of root's inside: what is in that folder stays.
    QTest::newRow("permission denied inside a folder")
        << tree + "mkdir a/p; truncate -s 9 a/p/y; chown 65534 a a/b a/b/x a/f"
        << "delete as nobody"_ba
        << "a"_ba
        << "partly"_ba;
}

void TestRemoval::removal()
{
    if (!m_canMount)
        QSKIP("a volume of the test's own needs root and a mount namespace");
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, outcome);

    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ExeOther | QFile::ExeGroup);
    const QByteArray root = QFile::encodeName(dir.path()) + "/v/";
    QVERIFY(QDir().mkpath(dir.path() + u"/v"_s));
    QVERIFY(::mount("tmpfs", root.constData(), "tmpfs", 0, "size=8m") == 0);
    const auto unmount = qScopeGuard([&] { ::umount2(root.constData(), MNT_DETACH); });
    QCOMPARE(
        QProcess::execute(u"sh"_s, {u"-ec"_s, u"cd '%1' && %2"_s.arg(QFile::decodeName(root),
                                                                     QString::fromUtf8(setup))}),
        0);
    DriveScan scan(root);
    QVERIFY(Walk(root, scan));

    ItemRemoval removal(scan);
    ItemRemoval::Result result;
    if (action == "trash") {
        result = removal.moveToTrash(root + path);
    } else {
        const bool asNobody = action.endsWith("nobody");
        if (asNobody)
            ::setfsuid(65534);
        result = removal.deletePermanently(root + path);
        if (asNobody)
            ::setfsuid(0);
    }

    QCOMPARE(result.error != 0, outcome == "refused");
    QCOMPARE(!result.remaining.empty(), outcome == "partly");
    QCOMPARE(QFile::exists(QFile::decodeName(root + path)), outcome != "done");
    if (action == "trash" && outcome == "done") {
        QCOMPARE(result.trashedAs,
                 root + ".Trash-0/files/" + path.sliced(path.lastIndexOf('/') + 1));
        QFile info(QFile::decodeName(
            root + ".Trash-0/info/" +
            result.trashedAs.sliced(result.trashedAs.lastIndexOf('/') + 1) + ".trashinfo"));
        QVERIFY(info.open(QIODevice::ReadOnly));
        QVERIFY(info.readAll().startsWith("[Trash Info]\nPath=" + path + "\nDeletionDate="));
    }
    Verify(scan, Oracle(root));
}

void TestRemoval::rails_data()
{
    QTest::addColumn<QByteArray>("path"); // below the volume's root
    QTest::addColumn<int>("refusal");
    QTest::newRow("a file") << "a/f"_ba << int(Refusal::None);
    QTest::newRow("a folder") << "a/"_ba << int(Refusal::None);
    QTest::newRow("the root") << ""_ba << int(Refusal::VolumeRoot);
    QTest::newRow("out by ..") << "a/../../x"_ba << int(Refusal::OutsideVolume);
    QTest::newRow("gone") << "a/nothing"_ba << int(Refusal::Missing);
    QTest::newRow("a mount point") << "m"_ba << int(Refusal::MountPoint);
    QTest::newRow("holds a mount point") << "n/"_ba << int(Refusal::MountPoint);
    QTest::newRow("a trash") << ".Trash-0"_ba << int(Refusal::TrashFolder);
    QTest::newRow("a trash's files") << ".Trash-0/files"_ba << int(Refusal::TrashFolder);
    QTest::newRow("in a trash") << ".Trash-0/files/old"_ba << int(Refusal::None);
}

void TestRemoval::rails()
{
    QFETCH(QByteArray, path);
    QFETCH(int, refusal);
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *spec : {"a/f=1", "m/", "n/o/", ".Trash-0/files/old=1", ".Trash-0/info/"})
        Make(spec);
    const QByteArrayList mounts{"/", root + "m", root + "n/o"};
    QCOMPARE(int(CheckRemoval(root, root + path, mounts)), refusal);
}

QTEST_GUILESS_MAIN(TestRemoval)
#include "tst_removal.moc"

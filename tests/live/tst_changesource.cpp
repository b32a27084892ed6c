#include "ChangeSource.h"
#include "InotifySource.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <optional>

#include <poll.h>

using namespace Qt::StringLiterals;

// The folders each kind of source says have changed, for a live view to read them again.
class TestChangeSource : public QObject
{
    Q_OBJECT
private slots:
    void reports_data();
    void reports();
    void watchesAvailable();

private:
    std::optional<QTemporaryDir> m_dir;
    QByteArray m_root;
    // A fresh tree, made the working folder: "a/f" holds a byte, "a/sub/" and "b/" are empty,
    // "../rootx/" lies beside the root. Then a source of the kind asked for, following it.
    std::unique_ptr<ChangeSource> open(bool fanotify, int &error);
    bool run(const QByteArray &steps, ChangeSource *source = nullptr);
    static constexpr char WatchAll[] = "watch ; watch a/; watch a/sub/; watch b/";
};

std::unique_ptr<ChangeSource> TestChangeSource::open(bool fanotify, int &error)
{
    m_dir.emplace();
    m_root = QDir(m_dir->path()).canonicalPath().toUtf8() + "/root/";
    error = EIO;
    if (!QDir::setCurrent(m_dir->path()) ||
        !run("mkdir -p root/a/sub root/b rootx && printf x >root/a/f") ||
        !QDir::setCurrent(QString::fromUtf8(m_root)))
        return nullptr;
    return fanotify ? ChangeSource::Fanotify(m_root, error) : ChangeSource::Inotify(m_root, error);
}

// Steps separated by ";", in the root: "watch folder", "unwatch folder", "refuse folder" (a
// watch the source must refuse, if it watches each folder), or a shell command.
bool TestChangeSource::run(const QByteArray &steps, ChangeSource *source)
{
    for (const QByteArray &step : steps.split(';')) {
        const QByteArray command = step.trimmed(), folder = m_root + command.split(' ').value(1);
        const bool done =
            command.startsWith("watch")     ? source->watch(folder)
            : command.startsWith("unwatch") ? (source->unwatch(folder), true)
            : command.startsWith("refuse")
                ? !source->watch(folder) || !source->watchesEachFolder()
                : QProcess::execute(u"/bin/sh"_s, {u"-c"_s, QString::fromUtf8(command)}) == 0;
        if (!done)
            return false;
    }
    return true;
}

void TestChangeSource::reports_data()
{
    QTest::addColumn<bool>("fanotify");
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QByteArrayList>("expected"); // none: the queue overflows
    struct Row
    {
        const char *name, *steps;
        QByteArrayList expected;
    };
    const Row rows[] = {
        {"create a file", ": >a/new", {"a/"}},
        {"append to a file", "printf y >>a/f", {"a/"}},
        {"truncate a file", "truncate -s 0 a/f", {"a/"}},
        {"delete a file", "rm a/f", {"a/"}},
        {"move a file to another folder", "mv a/f b/f", {"a/", "b/"}},
        {"link a file into another folder", "ln a/f b/l", {"b/"}},
        {"make a folder", "mkdir a/new", {"a/"}},
        {"remove a folder", "rmdir a/sub", {"a/"}},
        {"move a folder to another folder", "mv a/sub b/sub", {"a/", "b/"}},
        {"bar a subfolder", "chmod 0 a/sub", {"a/", "a/sub/"}},
        // As one that could not be read, and so not watched, would be.
        {"allow an unwatched subfolder", "unwatch a/sub/; chmod 700 a/sub", {"a/", "a/sub/"}},
        {"change the root's own mode", "chmod 700 .", {""}},
        // Reported under its new path; unwatching the old one leaves it followed.
        {"create in a folder watched again where it moved",
         "mv a/sub b/sub; watch b/sub/; unwatch a/sub/; : >b/sub/new",
         {"a/", "b/", "b/sub/"}},
        {"refuse a link to a folder", "ln -s ../b a/l; refuse a/l/; : >b/new", {"b/"}},
        {"create beside the root, then in it", ": >../rootx/new; : >b/new", {"b/"}},
        // More events than either kind of queue holds, none of them read: links are made quickly.
        {"more events than the queue holds",
         "cd a && perl -e 'link q(f), $_ or die for 0 .. shift' "
         "$(sort -rn /proc/sys/fs/*/max_queued_events | head -1)",
         {}},
    };
    for (const bool fanotify : {false, true})
        for (const Row &row : rows)
            QTest::addRow("%s: %s", fanotify ? "fanotify" : "inotify", row.name)
                << fanotify << QByteArray(row.steps) << row.expected;
}

// Every folder the steps change is reported, and nothing outside the root; events lost say so.
void TestChangeSource::reports()
{
    QFETCH(bool, fanotify);
    QFETCH(QByteArray, steps);
    QFETCH(QByteArrayList, expected);
    int error = 0;
    const auto source = open(fanotify, error);
    if (fanotify && error == EPERM)
        QSKIP("fanotify wants CAP_SYS_ADMIN");
    QVERIFY2(source, qPrintable(qt_error_string(error)));
    QVERIFY(run(WatchAll, source.get()) && run(steps, source.get()));

    for (QByteArray &folder : expected)
        folder.prepend(m_root);
    const QSet<QByteArray> wanted(expected.cbegin(), expected.cend());
    ChangeSource::Changes changes;
    const QDeadlineTimer deadline(2000);
    do {
        pollfd ready{source->fd(), POLLIN, 0};
        if (::poll(&ready, 1, int(deadline.remainingTime())) > 0)
            source->readEvents(changes);
    } while ((!changes.folders.contains(wanted) || changes.overflow != expected.isEmpty()) &&
             !deadline.hasExpired());
    QCOMPARE(changes.overflow, expected.isEmpty());
    for (const QByteArray &folder : std::as_const(changes.folders))
        QVERIFY2(folder.startsWith(m_root), folder.constData());
    for (const QByteArray &folder : std::as_const(expected))
        QVERIFY2(changes.folders.contains(folder), folder.constData());
}

// Watches placed here count among the user's, once each, until they are removed. Other processes
// may place or drop theirs meanwhile: a few tries.
void TestChangeSource::watchesAvailable()
{
    int error = 0;
    const auto source = open(false, error);
    QVERIFY2(source, qPrintable(qt_error_string(error)));
    qint64 placed = 0, kept = 0;
    for (int attempt = 0; attempt < 3 && (placed != 4 || kept != 0); ++attempt) {
        const qint64 before = InotifySource::WatchesAvailable();
        QVERIFY(run(WatchAll, source.get()));
        placed = before - InotifySource::WatchesAvailable();
        QVERIFY(run("unwatch ; unwatch a/; unwatch a/sub/; unwatch b/", source.get()));
        kept = before - InotifySource::WatchesAvailable();
    }
    QCOMPARE(placed, 4);
    QCOMPARE(kept, 0);
}

QTEST_GUILESS_MAIN(TestChangeSource)
#include "tst_changesource.moc"

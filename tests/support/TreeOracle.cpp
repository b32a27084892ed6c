#include "TreeOracle.h"

#include "FolderRecord.h"

#include <QTest>

#include <set>
#include <tuple>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void Make(const QByteArray &spec)
{
    const qsizetype equals = spec.lastIndexOf('=');
    const QByteArray path = equals < 0 ? spec : spec.first(equals);
    for (qsizetype slash = path.indexOf('/'); slash >= 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.first(slash).constData(), 0755);
    if (equals < 0)
        return;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, spec.sliced(equals + 1).toLongLong()) != 0)
        qFatal("cannot make %s", path.constData());
    ::close(fd);
}

QByteArray FileLine(QByteArrayView name, quint64 size, qint64 date)
{
    return name.toByteArray() + " | " + QByteArray::number(size) + " | " + QByteArray::number(date);
}

namespace {

const Expected &Expect(int parentFd, const QByteArray &name, const QByteArray &relative,
                       std::set<ino_t> &links, Expectation &out)
{
    // A folder shut to us has no record of its own; its parent counts it among its entries.
    static const Expected shut;
    const int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return shut;
    DIR *dir = ::fdopendir(fd);
    struct stat st;
    ::fstat(fd, &st);
    Expected &e = out[relative]; // stays where it is while others are added
    e.date = st.st_mtim.tv_sec;
    QByteArrayList subfolders;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray entry(d->d_name);
        if (entry == "." || entry == "..")
            continue;
        if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Listed but not looked into: a file keeps its name, with no size or date.
            if (d->d_type == DT_DIR)
                subfolders.append(entry);
            else
                e.files.append(FileLine(entry, 0, FileRecord::UnknownDate));
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            subfolders.append(entry);
            continue;
        }
        e.files.append(FileLine(entry, quint64(st.st_size), st.st_mtim.tv_sec));
        if (st.st_nlink == 1 || links.insert(st.st_ino).second) {
            e.total += quint64(st.st_size);
            e.allocated += quint64(st.st_blocks) * 512;
        }
    }
    e.subfolders = quint32(subfolders.size());
    for (const QByteArray &sub : subfolders) {
        const Expected &below = Expect(::dirfd(dir), sub, relative + sub + '/', links, out);
        e.total += below.total;
        e.allocated += below.allocated;
    }
    ::closedir(dir);
    return e;
}

} // namespace

Expectation Oracle(const QByteArray &root)
{
    Expectation out;
    std::set<ino_t> links;
    Expect(AT_FDCWD, root, {}, links, out);
    return out;
}

void Verify(const DriveScan &scan, const Expectation &expected)
{
    size_t live = 0;
    for (qsizetype i = 0; i < scan.count(); ++i) {
        if (scan.isRemoved(WalkSink::FolderId(i)))
            continue;
        ++live;
        const FolderRecord folder = scan.folder(i);
        QCOMPARE(scan.indexOf(folder.path()), i);
        QVERIFY(i == 0 || scan.parentOf(WalkSink::FolderId(i)) < WalkSink::FolderId(i));
        const QByteArray relative = folder.path().sliced(scan.rootPath().size());
        const auto it = expected.find(relative);
        QVERIFY2(it != expected.end(), relative.constData());
        QByteArrayList files;
        for (const FileRecord &file : folder.files())
            files.append(FileLine(file.name, file.size, file.date));
        QCOMPARE(files, it->second.files);
        QCOMPARE(std::tuple(relative, folder.size(), folder.subfolderEntries(), folder.date(),
                            qsizetype(folder.fileCount())),
                 std::tuple(relative, it->second.total, it->second.subfolders, it->second.date,
                            files.size()));
        QCOMPARE(folder.allocated(), it->second.allocated);
    }
    QCOMPARE(live, expected.size());
}

// What the records say could not be read, with the root's total; which name of each hard-linked
// file counts; each folder's subfolders in walk order. In an order of its own.
QByteArrayList RecordLines(const DriveScan &scan)
{
    const auto relative = [&](WalkSink::FolderId folder) {
        return scan.pathOf(folder).sliced(scan.rootPath().size());
    };
    QByteArrayList lines{"total " + QByteArray::number(scan.totalSize()),
                         "counts " + QByteArray::number(scan.unreadFolders()) + ' ' +
                             QByteArray::number(scan.unreadFiles())};
    for (const FolderNote &n : scan.folderNotes())
        lines.append("note " + relative(n.folder) + n.name + ' ' + QByteArray::number(n.kind) +
                     ' ' + QByteArray::number(n.error));
    for (const QByteArray &line : scan.unreadSample())
        lines.append("sample " + line);
    // A file left with one name may keep its entry, and the link count it had when read.
    const std::vector<HardLink> links = scan.hardLinks();
    for (const HardLink &l : links)
        if (std::ranges::count_if(links, [&](const HardLink &o) { return o.sameFile(l); }) > 1)
            lines.append("link " + relative(l.folder) + ' ' + QByteArray::number(l.position) +
                         (l.counted ? " counted" : ""));
    for (auto folder = WalkSink::FolderId(0); folder < quint32(scan.count()); ++folder) {
        if (scan.isRemoved(folder))
            continue;
        QByteArray line = "in " + relative(folder) + ':';
        for (const WalkSink::FolderId sub : scan.subfoldersOf(folder))
            line += ' ' + scan.nameOf(sub).toByteArray();
        lines.append(line);
    }
    std::ranges::sort(lines);
    return lines;
}

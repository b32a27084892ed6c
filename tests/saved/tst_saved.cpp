#include "DriveScan.h"
#include "FolderRecord.h"
#include "SavedFiles.h"
#include "SavedInput.h"
#include "SavedOutput.h"
#include "SavedRootName.h"
#include "ScanExport.h"
#include "ScanImport.h"
#include "Walker.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// "path=size" makes a file of that many bytes (a hole, mostly, unless it is small), "path/" a
// folder, "path>target" a second link to target. Bytes, not text: names need not be UTF-8.
void Make(const QByteArray &root, const QByteArrayList &specs)
{
    ::mkdir(root.constData(), 0755);
    for (const QByteArray &spec : specs) {
        const qsizetype equals = spec.lastIndexOf('='), arrow = spec.indexOf('>');
        const QByteArray path =
            root + '/' +
            spec.first(std::max(equals, arrow) < 0 ? spec.size() : std::max(equals, arrow));
        for (qsizetype slash = path.indexOf('/', root.size() + 1); slash >= 0;
             slash = path.indexOf('/', slash + 1))
            ::mkdir(path.first(slash).constData(), 0755);
        if (arrow >= 0) {
            QVERIFY(::link((root + '/' + spec.sliced(arrow + 1)).constData(), path.constData()) ==
                    0);
        } else if (equals >= 0) {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            const long long size = spec.sliced(equals + 1).toLongLong();
            QVERIFY(fd >= 0);
            if (size < 100000) { // written: it takes blocks
                QVERIFY(::write(fd, QByteArray(size, 'x').constData(), size_t(size)) == size);
            } else {
                QVERIFY(::ftruncate(fd, size) == 0);
            }
            ::close(fd);
        }
    }
}

// Everything the records say, by paths below the root, so two scans of one tree compare equal
// whatever order their folders were made in. `totalsOnly` leaves out what other tools do not
// keep alike: dates, the files' order and names' spelling.
QByteArrayList Dump(const DriveScan &scan, bool totalsOnly = false)
{
    QByteArrayList lines;
    const qsizetype root = scan.rootPath().size();
    for (qsizetype i = 0; i < scan.count(); ++i) {
        const FolderRecord folder = scan.folder(i);
        QByteArray line = folder.path().sliced(root) + ' ' + QByteArray::number(folder.size()) +
                          ' ' + QByteArray::number(folder.allocated());
        if (!totalsOnly) {
            line += ' ' + QByteArray::number(folder.date()) + ' ' +
                    QByteArray::number(folder.subfolderEntries()) + ':';
            for (const FileRecord &f : folder.files())
                line += " [" + f.name.toByteArray() + ' ' + QByteArray::number(f.size) + ' ' +
                        QByteArray::number(f.allocated) + ' ' + QByteArray::number(f.date) + ']';
        }
        lines.append(line);
    }
    if (!totalsOnly) {
        for (const HardLink &l : scan.hardLinks())
            lines.append("link " + scan.pathOf(l.folder).sliced(root) + ' ' +
                         QByteArray::number(l.position) + ' ' + QByteArray::number(l.inode) + ' ' +
                         QByteArray::number(l.links) + ' ' + QByteArray::number(l.counted));
        for (const FolderNote &n : scan.folderNotes())
            lines.append("note " + scan.pathOf(n.folder).sliced(root) + n.name + ' ' +
                         QByteArray::number(n.kind));
    }
    std::ranges::sort(lines);
    return lines;
}

std::unique_ptr<DriveScan> LoadBytes(const QByteArray &bytes, ImportError &error)
{
    SavedInput in;
    in.setData(bytes);
    ScanImport reader;
    std::unique_ptr<DriveScan> scan = reader.read(in);
    error = reader.error();
    return scan;
}

// The records read from a few lines, in short: the root; each folder's path below it, total and
// entries; each file's name (bytes as %XX but for letters, digits and "-._~()"), size, "~" where
// its bytes count at another name, "@" and its date when known; each hard link's place, link count
// and "*" where it counts; each note's path and kind.
QByteArray Summary(const DriveScan &scan)
{
    const auto shown = [&](const QByteArray &bytes) { return bytes.toPercentEncoding("/()"); };
    const auto path = [&](quint32 folder) {
        return shown(scan.pathOf(folder).sliced(scan.rootPath().size()));
    };
    QByteArrayList parts{scan.rootPath()};
    for (auto i = WalkSink::FolderId(0); i < quint32(scan.count()); ++i) {
        const FolderRecord folder = scan.folder(i);
        parts << path(i) + ':' + QByteArray::number(folder.size()) + ',' +
                     QByteArray::number(folder.subfolderEntries());
        for (const FileRecord &f : folder.files())
            parts << shown(f.name.toByteArray()) + '=' + QByteArray::number(f.size) +
                         (f.counted ? "" : "~") +
                         (f.date == FileRecord::UnknownDate ? ""_ba
                                                            : '@' + QByteArray::number(f.date));
    }
    for (const HardLink &l : scan.hardLinks())
        parts << "link:" + path(l.folder) + '#' + QByteArray::number(l.position) + '/' +
                     QByteArray::number(l.links) + (l.counted ? "*" : "");
    for (const FolderNote &n : scan.folderNotes())
        parts << "note:" + path(n.folder) + shown(n.name) + '/' + QByteArray::number(n.kind);
    return parts.join(' ');
}

const QByteArrayList TreeSpec = {
    "plain=5",
    "bad\xff\xfe name=3",
    "bad\xfe\xff name=4", // one name for gdu, which spells each byte U+FFFD
    "ctl\x01\n\t=1",
    "q\"uo\\te=2",
    "\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80=4",
    "\xed\xb3\xbf surrogate bytes=6",
    "sparse=5000000",
    "empty/",
    "a/b/c/deep=7",
    "a/b/\xff dir/inner=8",
    "a/second>plain",
    "a/b/third>plain",
    "z/same1=9",
    "z/same2>z/same1",
};

} // namespace

class SavedTest : public QObject
{
    Q_OBJECT

private slots:
    void rootNames_data();
    void rootNames();
    void names_data();
    void names();
    void initTestCase()
    {
        // Started without standard input, a program gets descriptor 0 for the first file it
        // opens.
        ::close(STDIN_FILENO);
        QVERIFY(m_dir.isValid());
        m_root = QFile::encodeName(m_dir.path()) + "/tree";
        Make(m_root, TreeSpec);
        const timespec before1970[2] = {{-86400, 0}, {-86400, 0}}, epoch[2] = {};
        QVERIFY(::utimensat(AT_FDCWD, m_root + "/plain", before1970, AT_SYMLINK_NOFOLLOW) == 0);
        QVERIFY(::utimensat(AT_FDCWD, m_root + "/a/b/c/deep", epoch, AT_SYMLINK_NOFOLLOW) == 0);
        m_scan = std::make_unique<DriveScan>(m_root + '/');
        QVERIFY(Walk(m_root, *m_scan));
    }
    // QDir removes by QString paths, which cannot name every byte of these names.
    void cleanupTestCase() { QProcess::execute(u"rm"_s, {u"-rf"_s, m_dir.path()}); }

    // Quarnel to a file and back gives the same records, in every compression.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << "scan.json"_ba;
        QTest::newRow("gzip") << "scan.json.gz"_ba;
        QTest::newRow("zstd") << "scan.zst"_ba;
        QTest::newRow("compressed, named plain") << "scan.gz.json"_ba;
        QTest::newRow("gzip, named in capitals") << "SCAN.JSON.GZ"_ba;
        QTest::newRow("zstd, on standard input") << "-"_ba;
    }
    void roundTrip()
    {
        QFETCH(QByteArray, name);
        const bool standardInput = name == "-";
        const QByteArray file =
            QFile::encodeName(m_dir.path()) + '/' + (standardInput ? "stdin.zst"_ba : name);
        if (name == "scan.gz.json") // told by its first bytes, not its name
            QVERIFY(Save(*m_scan, file.chopped(5)) &&
                    ::rename(file.chopped(5).constData(), file.constData()) == 0);
        else
            QVERIFY(Save(*m_scan, file));
        QFile saved(QFile::decodeName(file));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray lower = file.toLower();
        const QByteArray first = saved.read(1);
        QCOMPARE(first != "[", lower.contains(".gz") || lower.contains(".zst"));
        if (first == "[") // the epoch is a date ncdu reads, under its own key
            QVERIFY(saved.readAll().contains(R"("mtime":0})"));
        if (standardInput)
            QVERIFY(::dup2(saved.handle(), STDIN_FILENO) == STDIN_FILENO && saved.seek(0));
        ImportError error;
        const std::unique_ptr<DriveScan> loaded = Load(standardInput ? name : file, &error);
        if (standardInput)
            ::close(STDIN_FILENO);
        QVERIFY2(loaded, qPrintable(error.describe()));
        QCOMPARE(loaded->rootPath(), m_scan->rootPath());
        QCOMPARE(Dump(*loaded), Dump(*m_scan));
        QVERIFY(m_scan->hardLinks().size() == 5);
    }

    // What the walk could not read, enter or was told to leave out survives the trip, as ncdu
    // marks it.
    void unreadAndOtherVolumes()
    {
        DriveScan scan("/r/"_ba);
        FileRecordWriter files;
        const auto root = scan.openedFolder(WalkSink::NoFolder, "/r/", 10, 0, 1);
        const auto sub = scan.openedFolder(root, "sub", 20, 0, 2);
        scan.unreadEntry(sub, {}, EIO);
        scan.unreadEntry(sub, "gone", EIO);
        files.add("gone", 0, FileRecord::UnknownDate);
        scan.listedFolder(sub, files, {}, 0);
        scan.otherVolume(root, "mnt");
        scan.excludedEntry(root, "node_modules", false);
        scan.excludedEntry(sub, "a.tmp", false);
        files.clear();
        files.add("f", 100, 30, 512);
        scan.listedFolder(root, files, {100, 512}, 2);
        const QByteArray file = QFile::encodeName(m_dir.path()) + "/notes.json";
        QVERIFY(Save(scan, file));
        const std::unique_ptr<DriveScan> loaded = Load(file);
        QVERIFY(loaded);
        QCOMPARE(Dump(*loaded), Dump(scan));
        QCOMPARE(std::pair(loaded->unreadFolders(), loaded->unreadFiles()), std::pair(1u, 1u));
        QCOMPARE(loaded->excludedCount(), 2u);
    }

    // Sizes that add past 2^64 stop there, as the walk's do.
    void saturated()
    {
        ImportError error;
        const auto scan = LoadBytes(
            R"([1,2,{},[{"name":"/r"},{"name":"a","asize":18446744073709551615},{"name":"b","asize":2}]])"_ba,
            error);
        QVERIFY(scan && scan->sizeOf(0) == ~0ull);
    }

    // What other tools write, and what a file may hold at the edges, read as meant. Entries alone
    // go into a file of ncdu's with the root /r.
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("records");
        const auto row = [](const char *name, const QByteArray &json, const QByteArray &records) {
            QTest::newRow(name) << json << records;
        };
        row("numbers at their bounds",
            R"({"name":"a","asize":0},{"name":"b","asize":9},)"
            R"({"name":"c","asize":10000000000000000000},)"
            R"({"name":"d","asize":10000000000000000009})",
            "/r/ :18446744073709551615,0 a=0 b=9 c=10000000000000000000 d=10000000000000000009");
        row("dates before 1970, as ncdu writes them too",
            R"({"name":"a","mtime":-86400},{"name":"b","mtime":18446744073709465216},)"
            R"({"name":"c","quarnel_mtime":-9223372036854775807},{"name":"d","timestamp":5},)"
            R"({"name":"e","mtime":-9223372036854775808})",
            "/r/ :0,0 a=0@-86400 b=0@-86400 c=0@-9223372036854775807 d=0@5 e=0");
        row("values of other tools, passed over",
            R"({"name":"a","x":{},"y":[],)"
            R"("z":{"k":[0,9,-1.5e+3,2E-7,"s\/",true,false,null,{}],"l":1},)"
            R"("w":[[[[1]]]]})",
            "/r/ :0,0 a=0");
        row("escapes",
            R"({"name":"\u0080\u0800\u00A9\u00fa\u00aF\ud800\udc00\udbff\udfff)"
            R"(\udc80\udcff\ud7ff\b\f\r\t\u0022\u005c"})",
            "/r/ :0,0 %C2%80%E0%A0%80%C2%A9%C3%BA%C2%AF%F0%90%80%80%F4%8F%BF%BF"
            "%80%FF%ED%9F%BF%08%0C%0D%09%22%5C=0");
        row("bytes of escapes, as ncdu writes them back",
            "{\"name\":\"\xed\xb2\x80\xed\xb3\xbf\xed\x9f\xbf\xed\xb3\xc0\xed\xb2"
            "A\xed\"}",
            "/r/ :0,0 %80%FF%ED%9F%BF%ED%B3%C0%ED%B2A%ED=0");
        row("the longest name", "{\"name\":\"" + QByteArray(4096, 'n') + "\"}",
            "/r/ :0,0 " + QByteArray(4096, 'n') + "=0");
        row("names alike in their first bytes", R"({"name":"abcdefgh1"},{"name":"abcdefgh2"})",
            "/r/ :0,0 abcdefgh1=0 abcdefgh2=0");
        row("spaces of every kind", "\t\r\n { \"name\"\n:\r\"a\"\t, \"asize\" : 1 }\n",
            "/r/ :1,0 a=1");
        row("other volumes, and what was left out",
            R"({"name":"m","excluded":"otherfs"},{"name":"k","excluded":"kernfs"},)"
            R"({"name":"l","excluded":"frmlnk"},{"name":"p","excluded":"pattern"})",
            "/r/ :0,3 note:m/1 note:k/1 note:l/1 note:p/3");
        row("unread",
            R"([{"name":"d","read_error":true},{"name":"f","asize":1,"read_error":true}],)"
            R"({"name":"g","asize":2,"read_error":false,"hlnkc":null})",
            "/r/ :3,1 g=2 d/:1,0 f=1 note:d/f/2 note:d//0");
        row("hard links, counted at the first in walk order",
            R"([{"name":"d"},{"name":"x","asize":10,"ino":5,"nlink":3,"hlnkc":true}],)"
            R"({"name":"y","asize":10,"ino":5,"hlnkc":true},)"
            R"({"name":"z","asize":3,"ino":6,"hlnkc":true},)"
            R"({"name":"w","asize":10,"ino":5,"dev":9,"hlnkc":true},)"
            R"({"name":"v","asize":4,"ino":7})",
            "/r/ :27,1 y=10 z=3 w=10 v=4 d/:0,0 x=10~ link:d/#0/3 link:#0/2* link:#1/1* "
            "link:#2/1*");
        row("ours: counted at a name not in the file",
            R"({"name":"y","asize":10,"ino":5,"hlnkc":true,"quarnel_uncounted":true})",
            "/r/ :0,0 y=10~ link:#0/0");
        row("gdu marks the later links",
            R"([1,0,{"progname":"gdu"},[{"name":"/r"},{"name":"x","asize":10},)"
            R"({"name":"y","asize":10,"ino":5,"hlnkc":true}]])",
            "/r/ :10,0 x=10 y=10~ link:#1/0");
        row("gdu: names told apart only by bytes it could not spell",
            R"x([1,0,{"progname":"gdu"},[{"name":"/r"},{"name":"a\ufffd (2)"},{"name":"a\ufffd"},)x"
            R"x({"name":"a\ufffd"},[{"name":"a\ufffd"}]]])x",
            "/r/ :0,1 a%EF%BF%BD%20(2)=0 a%EF%BF%BD=0 a%EF%BF%BD%20(3)=0 a%EF%BF%BD%20(4)/:0,0");
        row("ours: when and where",
            R"([1,2,{"progname":"quarnel","timestamp":1700000000,"quarnel_host":"box"},)"
            R"([{"name":"/r/"}]])",
            "/r/ :0,0 saved@1700000000 host:box");
    }
    void accepted()
    {
        QFETCH(QByteArray, json);
        SavedInput in;
        in.setData(json.startsWith("[1,")
                       ? json
                       : R"([1,2,{"progname":"ncdu"},[{"name":"/r"},)" + json + "]]");
        ScanImport reader;
        const std::unique_ptr<DriveScan> scan = reader.read(in);
        QVERIFY2(scan, qPrintable(reader.error().describe()));
        QByteArray records = Summary(*scan);
        if (reader.savedAt() != 0)
            records += " saved@" + QByteArray::number(reader.savedAt());
        if (!reader.host().isEmpty())
            records += " host:" + reader.host();
        QTEST(records, "records");
    }

    // The peers' files of the same tree open with the totals of Quarnel's own scan, and
    // Quarnel's file goes through ncdu unchanged in its totals.
    void peers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments"); // %1: the tree, %2: the output, %3: ours
        QTest::addColumn<bool>("everyFolder");      // or the root's total alone
        QTest::newRow("ncdu -o") << u"ncdu"_s << QStringList{u"-x"_s, u"-o"_s, u"%2"_s, u"%1"_s}
                                 << true;
        QTest::newRow("ncdu -e -o")
            << u"ncdu"_s << QStringList{u"-x"_s, u"-e"_s, u"-o"_s, u"%2"_s, u"%1"_s} << true;
        // gdu spells bytes that are not UTF-8 as U+FFFD, and names no inode for the link of a
        // file it counts: its folders' names and totals may differ, not the volume's total, and
        // two names it spells alike are both kept.
        QTest::newRow("gdu -o") << u"gdu"_s
                                << QStringList{u"-n"_s, u"-x"_s, u"-o"_s, u"%2"_s, u"%1"_s}
                                << false;
        QTest::newRow("ours through ncdu -f")
            << u"ncdu"_s << QStringList{u"-f"_s, u"%3"_s, u"-o"_s, u"%2"_s} << true;
    }
    void peers()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, everyFolder);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP("not installed");
        const QString ours = m_dir.filePath(u"ours.json"_s), out = m_dir.filePath(u"peer.json"_s);
        QVERIFY(Save(*m_scan, QFile::encodeName(ours)));
        for (QString &a : arguments)
            a = a.replace(u"%1"_s, QFile::decodeName(m_root))
                    .replace(u"%2"_s, out)
                    .replace(u"%3"_s, ours);
        QProcess peer;
        peer.start(program, arguments);
        QVERIFY(peer.waitForFinished(30000));
        QCOMPARE(peer.exitCode(), 0);
        ImportError error;
        const std::unique_ptr<DriveScan> loaded = Load(QFile::encodeName(out), &error);
        QVERIFY2(loaded, qPrintable(error.describe()));
        if (everyFolder) {
            QCOMPARE(Dump(*loaded, true), Dump(*m_scan, true));
        } else {
            QCOMPARE(loaded->count(), m_scan->count());
            QCOMPARE(std::pair(loaded->sizeOf(0), loaded->allocatedOf(0)),
                     std::pair(m_scan->sizeOf(0), m_scan->allocatedOf(0)));
        }
    }

    // Damaged and hostile files are refused with the fault and where it is, and load nothing.
    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("problem");
        QTest::addColumn<qint64>("offset"); // -1: anywhere
        const QByteArray head = R"([1,2,{"progname":"x"},[{"name":"/r"})"_ba;
        const auto row = [](const char *name, const QByteArray &bytes, ImportError::Problem p,
                            qint64 offset) { QTest::newRow(name) << bytes << int(p) << offset; };
        row("empty", {}, ImportError::Truncated, 0);
        row("not JSON", "hello", ImportError::Syntax, 0);
        row("major version 2", R"([2,0,{},[{"name":"/r"}]])", ImportError::Version, 2);
        row("truncated", head + R"(,{"name":"f","asize":1)", ImportError::Truncated,
            head.size() + 22);
        row("no name", head + R"(,{"asize":1}])", ImportError::Syntax, -1);
        row("number past 2^64", head + R"(,{"name":"f","asize":18446744073709551616}]])",
            ImportError::NumberTooLarge, head.size() + 40);
        row("negative size", head + R"(,{"name":"f","asize":-1}]])", ImportError::NumberTooLarge,
            -1);
        row("folder listed twice", head + R"(,[{"name":"d"}],[{"name":"d"}]]])",
            ImportError::DuplicateName, head.size() + 30);
        row("file named twice", head + R"(,{"name":"f"},[{"name":"f"}]]])",
            ImportError::DuplicateName, -1);
        row("a file and a mount point",
            head + R"(,{"name":"m"},{"name":"m","excluded":"otherfs"}]])",
            ImportError::DuplicateName, -1);
        row("invalid escape", head + R"(,{"name":"a\x"}]])", ImportError::BadEscape,
            head.size() + 12);
        row("lone high surrogate", head + R"(,{"name":"a\ud800b"}]])", ImportError::BadEscape, -1);
        row("control character", head + ",{\"name\":\"a\nb\"}]]", ImportError::Syntax, -1);
        row("slash in a name", head + R"(,{"name":"a/b"}]])", ImportError::Syntax, -1);
        row("folder named ..", head + R"(,[{"name":".."}]]])", ImportError::Syntax, -1);
        row("NUL in a name", head + R"(,{"name":"a\u0000"}]])", ImportError::Syntax, -1);
        row("a second root", head + R"(],[{"name":"/s"}]])", ImportError::TrailingData, -1);
        row("a megabyte name", head + ",{\"name\":\"" + QByteArray(1 << 20, 'n') + "\"}]]",
            ImportError::NameTooLong, -1);
        QByteArray deep = head;
        for (int i = 0; i < 100000; ++i)
            deep += R"(,[{"name":"d"})";
        row("nested 100000 deep", deep, ImportError::TooDeep, -1);
        row("gzip damaged", QByteArray::fromHex("1f8b0800000000000003") + "garbage!",
            ImportError::Compression, -1);
        // Half of gzip's mark is no mark: plain text, and not a scan.
        row("gzip's first byte alone", "\x1f!", ImportError::Syntax, 0);
        row("gzip's second byte alone", "[\x8b", ImportError::Syntax, 1);
        const QByteArray at = head + R"(,{"name":"a",)";
        row("a name of 4097 bytes", head + ",{\"name\":\"" + QByteArray(4097, 'n') + "\"}]]",
            ImportError::NameTooLong, -1);
        row("an empty name", head + R"(,{"name":""}]])", ImportError::Syntax, -1);
        row("a file named .", head + R"(,{"name":"."}]])", ImportError::Syntax, -1);
        row("a NUL byte in a string", head + ",{\"name\":\"a\0\"}]]"_ba, ImportError::Syntax,
            head.size() + 11);
        row("a NUL for a colon", head + ",{\"name\"\0\"a\"}]]"_ba, ImportError::Syntax,
            head.size() + 8);
        row("a NUL for a name", head + ",{\0\"a\"}]]"_ba, ImportError::Syntax, head.size() + 2);
        row("a backslash and a NUL", head + ",{\"name\":\"a\\\0\"}]]"_ba, ImportError::BadEscape,
            -1);
        row("a letter past f in an escape", head + R"(,{"name":"\u00g1"}]])",
            ImportError::BadEscape, -1);
        row("lone low surrogate, first", head + R"(,{"name":"\udc00"}]])", ImportError::BadEscape,
            -1);
        row("lone low surrogate, last", head + R"(,{"name":"\udfff"}]])", ImportError::BadEscape,
            -1);
        row("below the bytes' escapes", head + R"(,{"name":"\udc7f"}]])", ImportError::BadEscape,
            -1);
        row("high surrogate, then a letter", head + R"(,{"name":"\ud800a"}]])",
            ImportError::BadEscape, head.size() + 16);
        row("high surrogate, then another escape", head + R"(,{"name":"\ud800\n"}]])",
            ImportError::BadEscape, -1);
        row("high surrogate, then a plain character", head + R"(,{"name":"\ud800\u0041"}]])",
            ImportError::BadEscape, -1);
        row("high surrogate, then past the low ones", head + R"(,{"name":"\ud800\ue000"}]])",
            ImportError::BadEscape, -1);
        row("a fraction", at + R"("asize":1.5}]])", ImportError::Syntax, -1);
        row("an exponent", at + R"("asize":1e3}]])", ImportError::Syntax, -1);
        row("a NUL for a number", at + "\"asize\":\0}]]"_ba, ImportError::Syntax, -1);
        row("a date past -2^63", at + R"("mtime":-9223372036854775809}]])",
            ImportError::NumberTooLarge, -1);
        row("a word misspelled", at + R"("hlnkc":tru}]])", ImportError::Syntax, -1);
        row("a key without ':'", at + R"("asize" 1}]])", ImportError::Syntax, -1);
        row("a passed-over number without digits", at + R"("x":-e}]])", ImportError::Syntax, -1);
        row("a passed-over array unseparated", at + R"("x":[1 2]}]])", ImportError::Syntax, -1);
        row("a passed-over array with a NUL", at + "\"x\":[1\0]}]]"_ba, ImportError::Syntax, -1);
        row("a passed-over key without ':'", at + R"("x":{"k" 1}}]])", ImportError::Syntax, -1);
        row("a passed-over key without a value", at + R"("x":{"a":1,"b"}}]])", ImportError::Syntax,
            -1);
        row("a passed-over value of nothing", at + R"("x":@}]])", ImportError::Syntax, -1);
        row("passed-over values 65 deep", at + R"("x":)" + QByteArray(65, '[') + "]]",
            ImportError::TooDeep, -1);
        row("entries unseparated", head + R"(,{"name":"a"} {"name":"b"}]])", ImportError::Syntax,
            -1);
        row("names twice, apart", head + R"(,{"name":"b"},{"name":"a"},{"name":"b"}]])",
            ImportError::DuplicateName, -1);
        row("names twice among alike ones",
            head + R"(,{"name":"abcdefgh1"},{"name":"abcdefgh2"},{"name":"abcdefgh1"}]])",
            ImportError::DuplicateName, -1);
        row("a NUL after the end", head + "]]\0"_ba, ImportError::TrailingData, -1);
    }
    void badInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, problem);
        QFETCH(qint64, offset);
        ImportError error;
        SavedInput in;
        in.setData(bytes);
        ScanImport reader;
        QVERIFY(!reader.read(in));
        error = in.error().problem != ImportError::None ? in.error() : reader.error();
        QCOMPARE(int(error.problem), problem);
        if (offset >= 0)
            QCOMPARE(error.offset, offset);
        QVERIFY(error.describe().contains(u"byte "_s));
    }

    // A write that fails says why; a device named instead of a file stays where it was.
    void writeFailure_data()
    {
        QTest::addColumn<QByteArray>("suffix");
        QTest::newRow("plain") << ""_ba;
        QTest::newRow("gzip") << ".gz"_ba;
        QTest::newRow("zstd") << ".zst"_ba;
    }
    void writeFailure()
    {
        QFETCH(QByteArray, suffix);
        const QByteArray link = QFile::encodeName(m_dir.path()) + "/full.json" + suffix;
        QVERIFY(::symlink("/dev/full", link.constData()) == 0);
        {
            SavedOutput out;
            QVERIFY(out.open(link));
            QByteArray bytes(1 << 20, 'x');
            for (char &c : bytes)
                c = char(QRandomGenerator::global()->bounded(256)); // past any compression
            const bool written = out.write(bytes.constData(), size_t(bytes.size())) && out.finish();
            QVERIFY(!written);
            QCOMPARE(out.errorNumber(), ENOSPC);
            QVERIFY2(out.error().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))),
                     qPrintable(out.error()));
        }
        // A scan small enough to be written in one go fails as it ends; a bigger one at its
        // first part; one with no records is never written.
        QVERIFY(!Save(*m_scan, link));
        const QByteArray big = QFile::encodeName(m_dir.path()) + "/big/";
        if (::mkdir(big.constData(), 0755) == 0) // for the first row
            for (int i = 0; i < 3600; ++i)
                QVERIFY(::close(::creat(big + QByteArray(250, 'n') + QByteArray::number(i),
                                        0644)) == 0);
        DriveScan bigScan(big);
        QVERIFY(Walk(big, bigScan) && !Save(bigScan, link));
        QVERIFY(!Save(DriveScan(big), QFile::encodeName(m_dir.path()) + "/none.json" + suffix));
        QVERIFY(QFileInfo(QFile::decodeName(link)).isSymLink());
        QVERIFY(QFileInfo::exists(u"/dev/full"_s));
        QVERIFY(::unlink(link.constData()) == 0);
    }

    // A small file that inflates without end is stopped at a bound set by its size.
    void gzipBomb()
    {
        const QByteArray file = QFile::encodeName(m_dir.path()) + "/bomb.json.gz";
        SavedOutput out;
        QVERIFY(out.open(file));
        const QByteArray head = R"([1,2,{},[{"name":"/r"})", spaces(1 << 20, ' ');
        QVERIFY(out.write(head.constData(), size_t(head.size())));
        for (int i = 0; i < 200; ++i)
            QVERIFY(out.write(spaces.constData(), size_t(spaces.size())));
        QVERIFY(out.finish());
        ImportError error;
        QVERIFY(!Load(file, &error));
        QCOMPARE(error.problem, ImportError::TooLarge);
        QVERIFY(quint64(error.offset) <=
                SavedInput::DecompressedLimit(quint64(QFile(QFile::decodeName(file)).size())) +
                    (1 << 20));
    }

    // Compressed text reads as the text itself, however it is cut into gzip members or zstd
    // frames and however long it is; a stream cut short or damaged is refused.
    void compression_data()
    {
        QTest::addColumn<QByteArray>("suffix");
        QTest::addColumn<int>("pieces"); // members or frames
        // With random names; 30000 are more than is read ahead, compressed or not.
        QTest::addColumn<int>("entries");
        QTest::addColumn<QByteArray>("change"); // to the text, or to the compressed bytes
        QTest::addColumn<int>("problem");
        const auto row = [](const QByteArray &name, const char *suffix, int pieces, int entries,
                            const char *change, ImportError::Problem problem) {
            QTest::newRow(name.constData())
                << QByteArray(suffix) << pieces << entries << QByteArray(change) << int(problem);
        };
        for (const char *suffix : {".gz", ".zst"}) {
            const auto name = [&](const char *what) { return suffix + ", "_ba + what; };
            row(name("one piece"), suffix, 1, 10, "", ImportError::None);
            row(name("three pieces"), suffix, 3, 10, "", ImportError::None);
            row(name("longer than is read ahead"), suffix, 2, 30000, "", ImportError::None);
            row(name("more text than is read at once"), suffix, 1, 10, "spaces", ImportError::None);
            row(name("cut short"), suffix, 1, 10, "cut", ImportError::Compression);
            row(name("cut between pieces"), suffix, 2, 30000, "half", ImportError::Truncated);
            if (suffix == ".gz"_ba)
                row(name("first piece ends where the first read does"), suffix, 2, 10, "boundary",
                    ImportError::None);
            row(name("garbage after"), suffix, 1, 10, "garbage", ImportError::Compression);
            row(name("its first bytes alone"), suffix, 1, 10, "magic", ImportError::Compression);
        }
        row("plain, longer than is read ahead", "", 1, 30000, "", ImportError::None);
    }
    void compression()
    {
        QFETCH(QByteArray, suffix);
        QFETCH(int, pieces);
        QFETCH(int, entries);
        QFETCH(QByteArray, change);
        QFETCH(int, problem);
        QRandomGenerator random{quint32(entries)};
        QByteArray text = R"([1,2,{},[{"name":"/r"})";
        for (int i = 0; i < entries; ++i)
            text += ",{\"name\":\"" + QByteArray::number(random.generate64(), 36) +
                    QByteArray::number(i) + "\",\"asize\":" + QByteArray::number(i) + '}';
        text += (change == "spaces" ? QByteArray(3 << 20, ' ') : QByteArray()) + "]]";
        QByteArray bytes;
        for (int piece = 0; piece < pieces; ++piece) {
            const QByteArray part =
                text.sliced(text.size() * piece / pieces,
                            text.size() * (piece + 1) / pieces - text.size() * piece / pieces);
            if (suffix.isEmpty()) {
                bytes += part;
                continue;
            }
            const QByteArray file = QFile::encodeName(m_dir.path()) + "/piece.json" + suffix;
            SavedOutput out;
            QVERIFY(out.open(file) && out.write(part.constData(), size_t(part.size())) &&
                    out.finish());
            QFile written(QFile::decodeName(file));
            QVERIFY(written.open(QIODevice::ReadOnly));
            bytes += written.readAll();
            if (change == "half")
                break;
            if (change == "boundary" && piece == 0) {
                // A name in the member's header, long enough to end it at 256 KiB.
                QCOMPARE(bytes[3], '\0');
                bytes[3] = 0x08;
                bytes.insert(10, QByteArray(256 * 1024 - 1 - bytes.size(), 'n') + '\0');
            }
        }
        if (change == "cut")
            bytes.chop(7);
        else if (change == "garbage")
            bytes += "garbage!";
        else if (change == "magic")
            bytes.truncate(suffix == ".gz" ? 2 : 4);
        ImportError error;
        const std::unique_ptr<DriveScan> scan = LoadBytes(bytes, error);
        QCOMPARE(int(error.problem), problem);
        if (scan) {
            ImportError none;
            QCOMPARE(Summary(*scan), Summary(*LoadBytes(text, none)));
        }
    }

    // Random damage to valid files never crashes the reader: it loads or says why not.
    void fuzz()
    {
        QVERIFY(Save(*m_scan, QFile::encodeName(m_dir.filePath(u"fuzz.json"_s))));
        const QByteArray text = [&] {
            QFile f(m_dir.filePath(u"fuzz.json"_s));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!text.isEmpty());
        QByteArrayList seeds = {
            text, R"([1,2,{"x":[1,{"y":null}]},[{"name":"/","dev":1},{"name":"a\udcff\u00e9",)"
                  R"("asize":1,"ino":5,"hlnkc":true},[{"name":"d","read_error":true}],)"
                  R"({"name":"m","excluded":"otherfs"}]])"_ba};
        const QByteArray gz = QFile::encodeName(m_dir.path()) + "/fuzz.json.gz";
        SavedOutput out;
        QVERIFY(out.open(gz) && out.write(seeds[1].constData(), size_t(seeds[1].size())) &&
                out.finish());
        QFile compressed(QFile::decodeName(gz));
        QVERIFY(compressed.open(QIODevice::ReadOnly));
        seeds.append(compressed.readAll()); // damage to the compressed stream, too
        QRandomGenerator random(1234);
        int loaded = 0, refused = 0;
        for (int i = 0; i < 3000; ++i) {
            QByteArray bytes = seeds[i % seeds.size()];
            for (int n = int(random.bounded(1, 4)); n > 0 && !bytes.isEmpty(); --n) {
                const qsizetype at = random.bounded(bytes.size());
                switch (random.bounded(4)) {
                case 0:
                    bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
                    break;
                case 1:
                    bytes.truncate(at);
                    break;
                case 2:
                    bytes.insert(at, "[{\",:}]\\0e-9"[random.bounded(12)]);
                    break;
                default:
                    bytes.remove(at, random.bounded(1, 16));
                    break;
                }
            }
            ImportError error;
            const std::unique_ptr<DriveScan> scan = LoadBytes(bytes, error);
            QVERIFY(bool(scan) != (error.problem != ImportError::None));
            ++(scan ? loaded : refused);
        }
        QVERIFY(loaded > 0 && refused > 0);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_root;
    std::unique_ptr<DriveScan> m_scan;
};

// Whatever a file says of its machine, the root its records get is no path of this one.
void SavedTest::rootNames_data()
{
    QTest::addColumn<QByteArray>("machine");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char *name, const char *machine, const char *expected) {
        QTest::newRow(name) << QByteArray(machine) << QByteArray(expected);
    };
    row("a local path as the host", "/x/att/", "_x_att_:/srv/");
    row("control characters", "a\nb\x7f", "a_b_:/srv/");
    row("none: the file's name", "", "backup:/srv/");
    row("taken: a number", "taken", "taken (2):/srv/");
}

void SavedTest::rootNames()
{
    QFETCH(QByteArray, machine);
    QFETCH(QByteArray, expected);
    QCOMPARE(SavedRootName(machine, "backup", "/srv/",
                           [](const QByteArray &root) { return root == "taken:/srv/"; }),
             expected);
    // The drive's label drops the final slash, not the one that is the whole saved disk.
    QCOMPARE(SavedRootLabel(expected, "/srv/") + SavedRootLabel(machine + ":/", "/"),
             expected.chopped(1) + machine + ":/");
}

// A name as the file says it: valid UTF-8 as it is, at every edge of its forms; any other byte as
// the escape of its own.
void SavedTest::names_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("json");
    const auto row = [](const char *tag, const QByteArray &name, const char *json) {
        QTest::newRow(tag) << name << QByteArray(json);
    };
    row("escaped ASCII", "a\"b\\c\x01\x1f\n\t\r \x7f"_ba,
        R"("a\"b\\c\u0001\u001f\n\t\r )"
        "\x7f\"");
    row("two bytes", "\xc2\x80\xdf\xbf", "\"\xc2\x80\xdf\xbf\"");
    row("two bytes, overlong or cut", "\xc1\xbf\xc2\xc0\xc2",
        R"("\udcc1\udcbf\udcc2\udcc0\udcc2")");
    row("three bytes", "\xe0\xa0\x80\xe1\x80\x80z\xed\x9f\xbf\xef\xbf\xbf",
        "\"\xe0\xa0\x80\xe1\x80\x80z\xed\x9f\xbf\xef\xbf\xbf\"");
    row("three bytes, overlong", "\xe0\x9f\xbf", R"("\udce0\udc9f\udcbf")");
    row("three bytes, a surrogate", "\xed\xa0\x80", R"("\udced\udca0\udc80")");
    row("three bytes, cut", "\xe1\x80z\xe1\x80", R"("\udce1\udc80z\udce1\udc80")");
    row("four bytes", "\xf0\x90\x80\x80\xf1\x80\x80\x80\xf4\x8f\xbf\xbf",
        "\"\xf0\x90\x80\x80\xf1\x80\x80\x80\xf4\x8f\xbf\xbf\"");
    row("four bytes, overlong", "\xf0\x8f\xbf\xbf", R"("\udcf0\udc8f\udcbf\udcbf")");
    row("four bytes, past U+10FFFF", "\xf4\x90\x80\x80\xf5\x80\x80\x80",
        R"("\udcf4\udc90\udc80\udc80\udcf5\udc80\udc80\udc80")");
    row("continuation bytes alone", "\x80\xbf\x80\x80", R"("\udc80\udcbf\udc80\udc80")");
}

void SavedTest::names()
{
    QFETCH(QByteArray, name);
    std::string json;
    ScanExport::AppendString(json, name.constData(), size_t(name.size()));
    QTEST(QByteArray::fromStdString(json), "json");
}

QTEST_GUILESS_MAIN(SavedTest)
#include "tst_saved.moc"

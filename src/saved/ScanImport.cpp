#include "ScanImport.h"

#include "SaturatingMath.h"
#include "SavedInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <string>

using FolderId = WalkSink::FolderId;

namespace {

constexpr size_t BufferSize = 1 << 20;
// Nesting inside values this reader does not use (other tools' extra keys).
constexpr int MaxValueDepth = 64;

// U+FFFD, which gdu writes for every byte of a name that is not UTF-8.
constexpr std::string_view Replacement = "\xEF\xBF\xBD";

// The first bytes of a name as a number that orders as they do: most names in a folder are told
// apart by it alone, without a look at their bytes. A name holds no NUL, so the padding sorts
// before any byte, as a shorter name does.
quint64 LeadingBytes(std::string_view name)
{
    quint64 key = 0;
    for (size_t i = 0; i < 8; ++i)
        key = key << 8 | (i < name.size() ? std::uint8_t(name[i]) : 0);
    return key;
}

// A name a folder's listing can hold: records' paths are made of them, and a path through ".."
// would lead out of the scanned tree.
bool IsEntryName(const std::string &name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) // a plain loop: find_first_of looks each byte up in the set
        if (c == '/' || c == 0)
            return false;
    return true;
}

QByteArrayView View(const std::string &s)
{
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

void AppendUtf8(std::string &to, char32_t c)
{
    if (c < 0x80) {
        to += char(c);
    } else if (c < 0x800) {
        to += char(0xC0 | (c >> 6));
        to += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        to += char(0xE0 | (c >> 12));
        to += char(0x80 | ((c >> 6) & 0x3F));
        to += char(0x80 | (c & 0x3F));
    } else {
        to += char(0xF0 | (c >> 18));
        to += char(0x80 | ((c >> 12) & 0x3F));
        to += char(0x80 | ((c >> 6) & 0x3F));
        to += char(0x80 | (c & 0x3F));
    }
}

} // namespace

// The fields of one object this reader uses; the rest are skipped.
struct ScanImport::Entry
{
    std::string name;
    std::string excluded;
    std::string program; // in the header: the tool that wrote the file
    std::string host;    // in the header of ours: the machine scanned
    quint64 size = 0, allocated = 0, inode = 0, links = 0, device = 0;
    qint64 date = FileRecord::UnknownDate;
    bool hasName = false, hasDevice = false, hasInode = false, linked = false, readError = false;
    bool uncounted = false; // a link whose file the scan counted at a name it did not write

    void clear()
    {
        name.clear();
        excluded.clear();
        program.clear();
        host.clear();
        size = allocated = inode = links = device = 0;
        date = FileRecord::UnknownDate;
        hasName = hasDevice = hasInode = linked = readError = uncounted = false;
    }
};

// A folder whose array is open: its files so far and the names in it, of every kind, to find one
// named twice. The names are sorted when the folder closes, so that the check costs n log n
// comparisons whatever the names: no hash an attacker could make collide.
struct ScanImport::Frame
{
    struct Name
    {
        quint64 leading;
        size_t offset; // in `bytes`
        size_t size;
    };
    FolderId folder = WalkSink::NoFolder;
    quint64 device = 0;
    quint32 subfolders = 0;
    quint32 renamed = 0;
    bool readError = false;
    CountedBytes counted;
    FileRecordWriter files;
    std::string bytes;
    std::vector<Name> names;
    // The names holding U+FFFD, checked as they come so that a twin can be renamed before its
    // record is made.
    std::set<std::string, std::less<>> lossy;

    void clear()
    {
        subfolders = renamed = 0;
        counted = {};
        files.clear();
        bytes.clear();
        names.clear();
        lossy.clear();
    }
    std::string_view nameAt(const Name &n) const { return {bytes.data() + n.offset, n.size}; }
};

ScanImport::ScanImport() = default;
ScanImport::~ScanImport() = default;

qint64 ScanImport::offset() const
{
    return m_base + (m_at - m_buffer.data());
}

bool ScanImport::fail(ImportError::Problem problem, const QString &detail)
{
    if (m_error.problem != ImportError::None)
        return false; // the first reason stands
    m_error.problem = problem;
    m_error.offset = offset();
    m_error.detail = detail;
    return false;
}

bool ScanImport::refill()
{
    if (m_readFailed)
        return false;
    m_base += m_end - m_buffer.data();
    const qint64 n = m_input->read(m_buffer.data(), qint64(m_buffer.size()));
    m_at = m_buffer.data();
    m_end = m_at + std::max<qint64>(n, 0);
    if (n < 0) {
        m_readFailed = true;
        m_error = m_input->error();
    }
    return n > 0;
}

int ScanImport::peekAfterSpace()
{
    for (;;) {
        m_at = std::find_if_not(
            m_at, m_end, [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
        if (m_at != m_end)
            return static_cast<unsigned char>(*m_at);
        if (!refill())
            return -1;
    }
}

bool ScanImport::expect(char c)
{
    const int found = peekAfterSpace();
    if (found == c) {
        ++m_at;
        return true;
    }
    if (found < 0)
        return fail(ImportError::Truncated);
    return fail(ImportError::Syntax, QStringLiteral("expected '%1'").arg(QLatin1Char(c)));
}

bool ScanImport::expectWord(std::string_view word)
{
    for (const char c : word) {
        const int found = peek();
        if (found < 0)
            return fail(ImportError::Truncated);
        if (found != c)
            return fail(ImportError::Syntax, QStringLiteral("expected true, false or null"));
        ++m_at;
    }
    return true;
}

bool ScanImport::readBool(bool &value)
{
    const int c = peekAfterSpace();
    value = c == 't';
    return expectWord(c == 't' ? "true" : c == 'n' ? "null" : "false");
}

bool ScanImport::readUnsigned(quint64 &value)
{
    int c = peekAfterSpace();
    if (c == '-')
        return fail(ImportError::NumberTooLarge, QStringLiteral("negative"));
    if (c < '0' || c > '9')
        return c < 0 ? fail(ImportError::Truncated)
                     : fail(ImportError::Syntax, QStringLiteral("expected a number"));
    // Up to 19 digits cannot overflow: taken straight from the buffer while it lasts.
    quint64 fast = 0;
    const char *at = m_at, *end = std::min(m_end, m_at + 19);
    while (at < end && *at >= '0' && *at <= '9')
        fast = fast * 10 + unsigned(*at++ - '0');
    m_at = at;
    value = fast;
    c = peek();
    while (c >= '0' && c <= '9') {
        const unsigned digit = unsigned(c - '0');
        if (value > (~quint64(0) - digit) / 10)
            return fail(ImportError::NumberTooLarge, QStringLiteral("past 2^64"));
        value = value * 10 + digit;
        ++m_at;
        c = peek();
    }
    if (c == '.' || c == 'e' || c == 'E')
        return fail(ImportError::Syntax, QStringLiteral("expected a whole number"));
    return true;
}

bool ScanImport::readSigned(qint64 &value)
{
    const bool negative = peekAfterSpace() == '-';
    if (negative)
        ++m_at;
    quint64 magnitude = 0;
    if (!readUnsigned(magnitude))
        return false;
    // ncdu writes a date before 1970 as the unsigned number of the same 64 bits.
    if (negative && magnitude > quint64(std::numeric_limits<qint64>::max()) + 1)
        return fail(ImportError::NumberTooLarge, QStringLiteral("past -2^63"));
    value = negative ? qint64(0 - magnitude) : qint64(magnitude);
    return true;
}

bool ScanImport::skipNumber()
{
    if (peek() == '-')
        ++m_at;
    bool digits = false;
    for (int c = peek();
         (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
         c = peek()) {
        digits = digits || (c >= '0' && c <= '9');
        ++m_at;
    }
    return digits || fail(ImportError::Syntax, QStringLiteral("expected a number"));
}

// A string's bytes into `into` (or nowhere), its escapes undone: \udc80 to \udcff is the byte
// 0x80 to 0xff that was not valid UTF-8, as ScanExport writes it.
bool ScanImport::readString(std::string *into, qsizetype limit)
{
    if (peekAfterSpace() != '"')
        return peek() < 0 ? fail(ImportError::Truncated)
                          : fail(ImportError::Syntax, QStringLiteral("expected a string"));
    ++m_at;
    qsizetype length = 0;
    const auto add = [&](const char *bytes, qsizetype n) {
        length += n;
        if (into && length <= limit)
            into->append(bytes, size_t(n));
    };
    const auto hex4 = [&](char32_t &unit) {
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = peek();
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0)
                return c < 0 ? fail(ImportError::Truncated) : fail(ImportError::BadEscape);
            unit = unit * 16 + char32_t(digit);
            ++m_at;
        }
        return true;
    };
    for (;;) {
        // Local copies of the members keep the loop in registers.
        const char *plain = m_at, *at = m_at, *end = m_end;
        while (at < end && *at != '"' && *at != '\\' && std::uint8_t(*at) >= 0x20 &&
               std::uint8_t(*at) != 0xED)
            ++at;
        m_at = at;
        add(plain, at - plain);
        if (length > limit)
            return fail(ImportError::NameTooLong, QStringLiteral("over %1 bytes").arg(limit));
        const int c = peek();
        if (c < 0)
            return fail(ImportError::Truncated);
        ++m_at;
        if (c == '"')
            return true;
        if (c == 0xED) {
            // ncdu writes the escapes \udc80 to \udcff back as their UTF-8-like bytes ED B2 80
            // to ED B3 BF, which no valid name holds: they stand for the one byte too.
            const int second = peek();
            if (second != 0xB2 && second != 0xB3) {
                add("\xED", 1);
                continue;
            }
            ++m_at;
            const int third = peek();
            if (third < 0x80 || third > 0xBF) {
                const char both[] = {'\xED', char(second)};
                add(both, 2);
                continue;
            }
            ++m_at;
            const char byte = char(0x80 | ((second & 1) << 6) | (third & 0x3F));
            add(&byte, 1);
            continue;
        }
        if (c < 0x20) {
            --m_at;
            return fail(ImportError::Syntax, QStringLiteral("a control character in a string"));
        }
        if (c != '\\') { // the buffer ended inside the string
            --m_at;
            continue;
        }
        const int e = peek();
        if (e < 0)
            return fail(ImportError::Truncated);
        ++m_at;
        char simple = 0;
        switch (e) {
        case '"':
            simple = '"';
            break;
        case '\\':
            simple = '\\';
            break;
        case '/':
            simple = '/';
            break;
        case 'b':
            simple = '\b';
            break;
        case 'f':
            simple = '\f';
            break;
        case 'n':
            simple = '\n';
            break;
        case 'r':
            simple = '\r';
            break;
        case 't':
            simple = '\t';
            break;
        case 'u':
            break;
        default:
            --m_at;
            return fail(ImportError::BadEscape);
        }
        if (simple) {
            add(&simple, 1);
            continue;
        }
        char32_t unit;
        if (!hex4(unit))
            return false;
        std::string bytes;
        if (unit >= 0xDC80 && unit <= 0xDCFF) {
            bytes += char(unit - 0xDC00);
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            char32_t low;
            if (peek() != '\\' || (++m_at, peek()) != 'u')
                return fail(ImportError::BadEscape, QStringLiteral("a lone surrogate"));
            ++m_at;
            if (!hex4(low))
                return false;
            if (low < 0xDC00 || low > 0xDFFF)
                return fail(ImportError::BadEscape, QStringLiteral("a lone surrogate"));
            AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return fail(ImportError::BadEscape, QStringLiteral("a lone surrogate"));
        } else {
            AppendUtf8(bytes, unit);
        }
        add(bytes.data(), qsizetype(bytes.size()));
    }
}

bool ScanImport::skipValue()
{
    // Iterative like the rest: a container's kind per level, within a fixed depth.
    char open[MaxValueDepth];
    int depth = 0;
    for (;;) {
        int c = peekAfterSpace();
        if (c == '{' || c == '[') {
            if (depth == MaxValueDepth)
                return fail(ImportError::TooDeep);
            open[depth++] = char(c);
            ++m_at;
            const int next = peekAfterSpace();
            if (next == (c == '{' ? '}' : ']')) {
                ++m_at;
                --depth;
            } else {
                if (c == '{' &&
                    (!readString(nullptr, std::numeric_limits<qsizetype>::max()) || !expect(':')))
                    return false;
                continue;
            }
        } else if (c == '"') {
            if (!readString(nullptr, std::numeric_limits<qsizetype>::max()))
                return false;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            if (!skipNumber())
                return false;
        } else if (c == 't' || c == 'f' || c == 'n') {
            if (!expectWord(c == 't' ? "true" : c == 'f' ? "false" : "null"))
                return false;
        } else {
            return c < 0 ? fail(ImportError::Truncated)
                         : fail(ImportError::Syntax, QStringLiteral("expected a value"));
        }
        // After a value: close what ends here, or go on to the next member.
        for (;;) {
            if (depth == 0)
                return true;
            c = peekAfterSpace();
            const char close = open[depth - 1] == '{' ? '}' : ']';
            if (c == close) {
                ++m_at;
                --depth;
                continue;
            }
            if (c != ',')
                return c < 0 ? fail(ImportError::Truncated)
                             : fail(ImportError::Syntax,
                                    QStringLiteral("expected ',' or '%1'").arg(QLatin1Char(close)));
            ++m_at;
            if (open[depth - 1] == '{' &&
                (!readString(nullptr, std::numeric_limits<qsizetype>::max()) || !expect(':')))
                return false;
            break;
        }
    }
}

bool ScanImport::readObject(Entry &entry, bool named)
{
    entry.clear();
    if (named)
        m_entriesRead.fetch_add(1, std::memory_order_relaxed);
    if (!expect('{'))
        return false;
    if (peekAfterSpace() == '}') {
        ++m_at;
        return true;
    }
    std::string &key = m_key;
    for (;;) {
        key.clear();
        if (!readString(&key, MaxName))
            return false;
        if (!expect(':'))
            return false;
        bool ok = true;
        const std::string_view k(key); // compared by size first
        if (k == "name") {
            ok = readString(&entry.name, MaxName);
            entry.hasName = true;
        } else if (k == "asize") {
            ok = readUnsigned(entry.size);
        } else if (k == "dsize") {
            ok = readUnsigned(entry.allocated);
        } else if (k == "mtime" || k == "quarnel_mtime" || k == "timestamp") {
            ok = readSigned(entry.date);
        } else if (k == "ino") {
            ok = readUnsigned(entry.inode);
            entry.hasInode = true;
        } else if (k == "nlink") {
            ok = readUnsigned(entry.links);
        } else if (k == "dev") {
            ok = readUnsigned(entry.device);
            entry.hasDevice = true;
        } else if (k == "hlnkc") {
            ok = readBool(entry.linked);
        } else if (k == "quarnel_uncounted") {
            ok = readBool(entry.uncounted);
        } else if (k == "read_error") {
            ok = readBool(entry.readError);
        } else if (k == "excluded") {
            ok = readString(&entry.excluded, 64);
        } else if (k == "progname") {
            ok = readString(&entry.program, 64);
        } else if (k == "quarnel_host") {
            ok = readString(&entry.host, 255);
        } else {
            ok = skipValue();
        }
        if (!ok)
            return false;
        const int c = peekAfterSpace();
        ++m_at;
        if (c == '}')
            break;
        if (c != ',') {
            --m_at;
            return c < 0 ? fail(ImportError::Truncated)
                         : fail(ImportError::Syntax, QStringLiteral("expected ',' or '}'"));
        }
    }
    return !named || entry.hasName ||
           fail(ImportError::Syntax, QStringLiteral("an entry without a name"));
}

bool ScanImport::openFolder(Entry &entry)
{
    if (m_depth == MaxDepth)
        return fail(ImportError::TooDeep, QStringLiteral("over %1 folders").arg(MaxDepth));
    if (m_depth == (int)m_frames.size())
        m_frames.emplace_back();
    Frame &frame = m_frames[size_t(m_depth)];
    const qint64 date = entry.date;
    if (m_depth == 0) {
        QByteArray root(entry.name.data(), qsizetype(entry.name.size()));
        if (!root.endsWith('/'))
            root += '/';
        if (m_rootNaming)
            root = m_rootNaming(m_host, root);
        m_scan = std::make_unique<DriveScan>(root);
        m_scan->setOrigin(
            {m_host, QByteArray(entry.name.data(), qsizetype(entry.name.size())), m_savedAt});
        frame.folder = m_scan->openedFolder(WalkSink::NoFolder, root, date, 0, entry.inode);
        frame.device = entry.device;
    } else {
        Frame &parent = m_frames[size_t(m_depth - 1)];
        if (!IsEntryName(entry.name))
            return fail(ImportError::Syntax, QStringLiteral("a name no file system gives"));
        claimName(parent, entry.name);
        frame.folder = m_scan->openedFolder(parent.folder, View(entry.name), date,
                                            parent.subfolders++, entry.inode);
        frame.device = entry.hasDevice ? entry.device : parent.device;
    }
    frame.clear();
    frame.readError = entry.readError;
    ++m_depth;
    return true;
}

bool ScanImport::addEntry(Entry &entry)
{
    Frame &frame = m_frames[size_t(m_depth - 1)];
    if (!IsEntryName(entry.name))
        return fail(ImportError::Syntax, QStringLiteral("a name no file system gives"));
    if (!entry.excluded.empty()) {
        // Another volume's mount point, as the walk reports one, or an entry a pattern left
        // out; entries left out for other reasons are left out here too.
        if (entry.excluded == "otherfs" || entry.excluded == "kernfs" ||
            entry.excluded == "frmlnk") {
            claimName(frame, entry.name);
            m_scan->otherVolume(frame.folder, View(entry.name));
            ++frame.subfolders;
        } else if (entry.excluded == "pattern") {
            claimName(frame, entry.name);
            m_scan->excludedEntry(frame.folder, View(entry.name), false); // ncdu does not say
        }
        return true;
    }
    claimName(frame, entry.name);
    const quint32 position = frame.files.count();
    bool counts = true;
    if (entry.linked && (m_laterLinksMarked || entry.uncounted)) {
        // gdu marks the links after the one it counted, and names no inode for that one: these
        // count nothing, in any view, and the file is kept as such when saved again.
        counts = false;
        if (entry.hasInode)
            m_hardLinks.keepUncounted({entry.hasDevice ? entry.device : frame.device, entry.inode,
                                       entry.links, CountedBytes(entry.size, entry.allocated),
                                       frame.folder, position});
    } else if (entry.linked && entry.hasInode) {
        counts = m_hardLinks.meet({entry.hasDevice ? entry.device : frame.device, entry.inode,
                                   entry.links, CountedBytes(entry.size, entry.allocated),
                                   frame.folder, position});
    }
    if (counts) // as the walk adds: a hostile file's sizes saturate rather than wrap
        frame.counted = {SaturatingAdd(frame.counted.size, entry.size),
                         SaturatingAdd(frame.counted.allocated, entry.allocated)};
    if (entry.readError)
        m_scan->unreadEntry(frame.folder, View(entry.name), EIO);
    frame.files.add(View(entry.name), entry.size, entry.date, entry.allocated);
    return true;
}

// gdu writes two names that differ only in bytes that are not UTF-8 as one name, with U+FFFD
// for those bytes. Such a twin is kept under a name of its own, numbered as a copy is, rather
// than the whole file refused: a saved scan is only looked at. Other names twice are a damaged
// or forged file, refused when the folder closes. The numbers go up within the folder, never
// back, so that names already there that look like renamed ones cost one try each at most.
void ScanImport::claimName(Frame &frame, std::string &name)
{
    if (name.find(Replacement) != std::string::npos) {
        if (frame.lossy.contains(name)) {
            const size_t size = name.size();
            do {
                name.resize(size);
                name += " (" + std::to_string(++frame.renamed + 1) + ')';
            } while (frame.lossy.contains(name));
        }
        frame.lossy.insert(name);
    }
    frame.names.push_back({LeadingBytes(name), frame.bytes.size(), name.size()});
    frame.bytes += name;
}

bool ScanImport::closeFolder()
{
    Frame &frame = m_frames[size_t(m_depth - 1)];
    // Sorted, equal names are neighbours: files, folders and mount points alike.
    std::sort(frame.names.begin(), frame.names.end(),
              [&](const Frame::Name &a, const Frame::Name &b) {
                  return a.leading != b.leading ? a.leading < b.leading
                                                : frame.nameAt(a) < frame.nameAt(b);
              });
    const auto twice = std::adjacent_find(
        frame.names.begin(), frame.names.end(), [&](const Frame::Name &a, const Frame::Name &b) {
            return a.leading == b.leading && frame.nameAt(a) == frame.nameAt(b);
        });
    if (twice != frame.names.end()) {
        const std::string_view name = frame.nameAt(*twice).substr(0, 200);
        return fail(ImportError::DuplicateName,
                    QString::fromUtf8(name.data(), qsizetype(name.size())));
    }
    if (frame.readError)
        m_scan->unreadEntry(frame.folder, {}, EIO);
    m_scan->listedFolder(frame.folder, frame.files, frame.counted, frame.subfolders);
    --m_depth;
    return true;
}

bool ScanImport::parse()
{
    quint64 major = 0, minor = 0;
    if (!expect('[') || !readUnsigned(major))
        return false;
    if (major != 1)
        return fail(ImportError::Version, QStringLiteral("%1").arg(major));
    Entry entry;
    if (!expect(',') || !readUnsigned(minor) || !expect(',') || !readObject(entry, false) ||
        !expect(',') || !expect('['))
        return false;
    // gdu marks only the links after the first it met, and names no inode for that one: a
    // marked link there is one whose bytes count elsewhere.
    m_laterLinksMarked = entry.program == "gdu";
    m_savedAt = entry.date != FileRecord::UnknownDate ? entry.date : 0;
    m_host = QByteArray(entry.host.data(), qsizetype(entry.host.size()));
    if (!readObject(entry) || !openFolder(entry))
        return false;
    while (m_depth > 0) {
        int c = peekAfterSpace();
        if (c == ']') {
            if (!closeFolder())
                return false;
            ++m_at;
            continue;
        }
        if (c != ',')
            return c < 0 ? fail(ImportError::Truncated)
                         : fail(ImportError::Syntax, QStringLiteral("expected ',' or ']'"));
        ++m_at;
        c = peekAfterSpace();
        if (c == '[') {
            ++m_at;
            if (!readObject(entry) || !openFolder(entry))
                return false;
        } else if (!readObject(entry) || !addEntry(entry)) {
            return false;
        }
    }
    const int c = peekAfterSpace();
    if (c == ',')
        return fail(ImportError::TrailingData, QStringLiteral("a second root"));
    if (!expect(']'))
        return false;
    if (peekAfterSpace() >= 0)
        return fail(ImportError::TrailingData);
    return !m_readFailed;
}

std::unique_ptr<DriveScan> ScanImport::read(SavedInput &input)
{
    m_input = &input;
    m_buffer.resize(BufferSize);
    m_at = m_end = m_buffer.data();
    m_base = 0;
    if (!parse()) {
        if (m_readFailed)
            m_error = input.error();
        m_scan.reset();
        return nullptr;
    }
    // The bytes of a hard-linked file count at its first link in a walk's order (a folder's
    // files before its subfolders), which in another tool's file may come after a link in a
    // subfolder: then they move, so the folders' totals are a walk's.
    m_hardLinks.settle(*m_scan);
    m_scan->seal();
    return std::move(m_scan);
}

#include "FileKind.h"

#include <QMimeDatabase>
#include <QMimeType>

#include <array>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

bool StartsWithAny(const QString &name, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes)
        if (name.startsWith(QLatin1StringView(prefix)))
            return true;
    return false;
}

bool InheritsAny(const QMimeType &mime, std::initializer_list<const char *> types)
{
    for (const char *type : types)
        if (mime.inherits(QLatin1StringView(type)))
            return true;
    return false;
}

// Order matters: office files and e-books are zip files underneath, and scripts are both text
// and executables; each goes to the kind a user would name first.
FileKind KindOfMimeType(const QMimeType &mime)
{
    const QString name = mime.name();
    if (name.startsWith(u"image/"))
        return FileKind::Picture;
    if (name.startsWith(u"video/"))
        return FileKind::Video;
    if (name.startsWith(u"audio/"))
        return FileKind::Audio;
    if (StartsWithAny(name, {"application/pdf", "application/postscript", "application/rtf",
                             "application/msword", "application/vnd.ms-",
                             "application/vnd.oasis.opendocument",
                             "application/vnd.openxmlformats-officedocument",
                             "application/epub+zip", "application/x-mobipocket-ebook", "text/plain",
                             "text/markdown", "text/csv", "text/rtf"}))
        return FileKind::Document;
    if (mime.inherits(QStringLiteral("text/plain")))
        return FileKind::Source;
    if (InheritsAny(mime,
                    {"application/x-executable", "application/x-sharedlib", "application/x-object",
                     "application/x-archive", "application/x-java-archive",
                     "application/x-ms-dos-executable", "application/x-msi"}))
        return FileKind::Program;
    if (InheritsAny(mime,
                    {"application/x-raw-disk-image", "application/x-qemu-disk",
                     "application/x-vdi-disk", "application/x-vhd-disk", "application/x-vhdx-disk",
                     "application/x-vmdk-disk", "application/x-apple-diskimage"}))
        return FileKind::DiskImage;
    if (InheritsAny(mime, {"application/zip", "application/gzip", "application/x-tar",
                           "application/x-bzip", "application/x-bzip2", "application/x-xz",
                           "application/zstd", "application/x-7z-compressed", "application/vnd.rar",
                           "application/x-rar", "application/x-lzma", "application/x-lzip",
                           "application/x-lz4", "application/x-compress", "application/x-cpio",
                           "application/vnd.squashfs", "application/x-ms-wim",
                           "application/vnd.debian.binary-package", "application/x-rpm"}))
        return FileKind::Archive;
    return FileKind::Other;
}

bool IsVersionDigit(char c)
{
    return c == '.' || (c >= '0' && c <= '9');
}

// The suffixes lowered: the same key for every file of one extension, whatever comes before it.
std::string ExtensionKey(QByteArrayView name)
{
    const QByteArrayView suffixes = KindSuffixes(name);
    std::string key(suffixes.data(), size_t(suffixes.size()));
    for (char &c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    return key;
}

// Endings whose kind the MIME database gets wrong for what fills a disk. Copies of whole disks
// and virtual machines' disks are disk images: some of those endings have a MIME type of another
// kind (".img" is also a bitmap), but on a disk the big ones are images of disks. ".raw" is not
// among them: cameras write millions of raw pictures, and a copy of a disk is rarely named so.
// Logs are text, but nobody wrote them: they are other files, not source code.
std::optional<FileKind> KindOfEnding(std::string_view suffixes)
{
    const std::string_view last = suffixes.substr(suffixes.rfind('.') + 1);
    for (const std::string_view known :
         {"iso", "img", "qcow2", "vdi", "vmdk", "vhd", "vhdx", "dmg"})
        if (last == known)
            return FileKind::DiskImage;
    if (last == "log")
        return FileKind::Other;
    return std::nullopt;
}

class KindCache
{
public:
    FileKind kindOf(const std::string &key)
    {
        {
            std::shared_lock lock(m_lock);
            if (const auto it = m_kinds.find(key); it != m_kinds.end())
                return it->second;
        }
        const std::optional<FileKind> byEnding = KindOfEnding(key);
        const FileKind kind = byEnding ? *byEnding
                                       : KindOfMimeType(QMimeDatabase().mimeTypeForFile(
                                             QStringLiteral("x.") + QString::fromUtf8(key),
                                             QMimeDatabase::MatchExtension));
        std::unique_lock lock(m_lock);
        // Names made of numbers ("run.20240101.1200") would grow it without end.
        if (m_kinds.size() < MaxEntries)
            m_kinds.emplace(key, kind);
        return kind;
    }

private:
    static constexpr size_t MaxEntries = 16384;
    std::shared_mutex m_lock;
    std::unordered_map<std::string, FileKind> m_kinds;
};

constexpr size_t MaxKnown = 4096;

} // namespace

// "libc.so.6": the MIME database knows only the unversioned name of a shared library.
bool IsVersionedLibrary(QByteArrayView name)
{
    qsizetype end = name.size();
    while (end > 0 && IsVersionDigit(name[end - 1]))
        --end;
    return end < name.size() && name[end] == '.' && name.first(end).endsWith(".so");
}

// One pass from the end: this runs for every file the map shows. A leading dot starts a hidden
// name, not an extension.
QByteArrayView KindSuffixes(QByteArrayView name)
{
    qsizetype start = 0;
    int dots = 0;
    for (qsizetype i = name.size() - 1; i > 0 && dots < 2; --i) {
        if (name[i] == '.') {
            ++dots;
            start = i + 1;
        }
    }
    return dots == 0 ? QByteArrayView() : name.sliced(start);
}

namespace {

FileKind KindByName(QByteArrayView fileName)
{
    if (IsVersionedLibrary(fileName))
        return FileKind::Program;
    const std::string key = ExtensionKey(fileName);
    if (key.empty())
        return FileKind::Other;
    // Each thread keeps the answers it has had, so the shared cache's lock is taken once per
    // extension and thread rather than once per file.
    thread_local std::unordered_map<std::string, FileKind> known;
    if (const auto it = known.find(key); it != known.end())
        return it->second;
    static KindCache cache;
    const FileKind kind = cache.kindOf(key);
    if (known.size() < MaxKnown)
        known.emplace(key, kind);
    return kind;
}

} // namespace

FileKind KindBySize(FileKind byName, QByteArrayView extension, quint64 bytes)
{
    constexpr quint64 DiskSized = quint64(1) << 30;
    return byName == FileKind::Picture && bytes >= DiskSized &&
                   extension.compare("raw", Qt::CaseInsensitive) == 0
               ? FileKind::DiskImage
               : byName;
}

FileKind FileKindOf(QByteArrayView fileName, quint64 bytes)
{
    const FileKind kind = KindByName(fileName);
    if (kind != FileKind::Picture || bytes == 0)
        return kind;
    const qsizetype dot = fileName.lastIndexOf('.');
    return KindBySize(kind, dot > 0 ? fileName.sliced(dot + 1) : QByteArrayView(), bytes);
}

QColor KindColour(FileKind kind)
{
    // Okabe and Ito's eight colours for colour-blind readers, with black (which would hide the
    // shading) traded for a light grey, and a darker grey for folders. Disk images needed a ninth:
    // the violet stays apart from the blues and purples in every common colour blindness, and
    // reads on a light background as on a dark one.
    static constexpr std::array<QRgb, 10> Colours = {
        0xe69f00, // Picture: orange
        0xd55e00, // Video: vermillion
        0xcc79a7, // Audio: reddish purple
        0xf0e442, // Archive: yellow
        0x785ef0, // DiskImage: violet, from a palette for colour-blind readers too
        0x56b4e9, // Document: sky blue
        0x009e73, // Source: bluish green
        0x0072b2, // Program: blue
        0xb4b4b4, // Other: light grey
        0x707070, // Folder: mid grey
    };
    return QColor::fromRgb(Colours[size_t(kind)]);
}

QList<QColor> KindColours()
{
    QList<QColor> colours;
    for (int kind = 0; kind <= int(FileKind::Folder); ++kind)
        colours.append(KindColour(FileKind(kind)));
    return colours;
}

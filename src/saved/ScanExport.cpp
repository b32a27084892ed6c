#include "ScanExport.h"

#include "SavedRootName.h"

#include "DriveScan.h"
#include "SavedOutput.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <string_view>
#include <vector>

using FolderId = WalkSink::FolderId;

namespace {

// Text is handed on in pieces of about this size.
constexpr size_t FlushSize = 1 << 20;

void AppendNumber(std::string &text, std::integral auto value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, size_t(end - digits));
}

// ncdu refuses a negative mtime: a date before 1970 goes under a key of ours, which the other
// tools skip.
void AppendDate(std::string &text, qint64 date)
{
    text += date >= 0 ? ",\"mtime\":" : ",\"quarnel_mtime\":";
    AppendNumber(text, date);
}

// The length of the valid UTF-8 sequence at `at`, or 0: overlong forms, surrogates and code
// points past U+10FFFF are not valid.
size_t Utf8Length(const unsigned char *at, const unsigned char *end)
{
    const unsigned char lead = *at;
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (size_t(end - at) < length || at[1] < low || at[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((at[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

ScanExport::ScanExport(const DriveScan &scan)
    : m_scan(scan)
{}

void ScanExport::AppendString(std::string &text, const char *bytes, size_t size)
{
    static const char Hex[] = "0123456789abcdef";
    const auto *at = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = at + size;
    text += '"';
    while (at < end) {
        const auto *plain = at;
        while (at < end && *at >= 0x20 && *at < 0x80 && *at != '"' && *at != '\\')
            ++at;
        text.append(reinterpret_cast<const char *>(plain), size_t(at - plain));
        if (at == end)
            break;
        const unsigned char c = *at;
        if (c >= 0x80) {
            if (const size_t length = Utf8Length(at, end)) {
                text.append(reinterpret_cast<const char *>(at), length);
                at += length;
            } else {
                text += "\\udc";
                text += Hex[c >> 4];
                text += Hex[c & 15];
                ++at;
            }
            continue;
        }
        switch (c) {
        case '"':
            text += "\\\"";
            break;
        case '\\':
            text += "\\\\";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\r':
            text += "\\r";
            break;
        default:
            text += "\\u00";
            text += Hex[c >> 4];
            text += Hex[c & 15];
        }
        ++at;
    }
    text += '"';
}

bool ScanExport::write(SavedOutput &out)
{
    const auto count = FolderId(m_scan.count());
    if (count == 0) {
        m_error = QStringLiteral("no records to save");
        return false;
    }
    // Each folder's subfolders, in listing order: ids are made parent-first, but siblings'
    // ids follow the walk threads' timing.
    std::vector<quint32> first(size_t(count) + 1, 0);
    for (FolderId f = 1; f < count; ++f)
        if (!m_scan.isRemoved(f))
            ++first[m_scan.parentOf(f) + 1];
    for (FolderId f = 0; f < count; ++f)
        first[f + 1] += first[f];
    std::vector<FolderId> children(first[count]);
    {
        std::vector<quint32> fill(first.begin(), first.end() - 1);
        for (FolderId f = 1; f < count; ++f)
            if (!m_scan.isRemoved(f))
                children[fill[m_scan.parentOf(f)]++] = f;
    }
    for (FolderId f = 0; f < count; ++f)
        std::sort(
            children.begin() + first[f], children.begin() + first[f + 1],
            [this](FolderId a, FolderId b) { return m_scan.ordinalOf(a) < m_scan.ordinalOf(b); });

    std::vector<FolderNote> notes = m_scan.folderNotes();
    std::stable_sort(notes.begin(), notes.end(),
                     [](const FolderNote &a, const FolderNote &b) { return a.folder < b.folder; });
    std::vector<HardLink> links = m_scan.hardLinks();
    std::vector<std::pair<quint64, quint64>> countedFiles;
    for (const HardLink &l : links)
        if (l.counted)
            countedFiles.emplace_back(l.device, l.inode);
    std::sort(countedFiles.begin(), countedFiles.end());
    std::sort(links.begin(), links.end(), [](const HardLink &a, const HardLink &b) {
        return a.folder != b.folder ? a.folder < b.folder : a.position < b.position;
    });

    std::string text;
    text.reserve(FlushSize + 64 * 1024);
    text += "[1,2,{\"progname\":\"quarnel\",\"progver\":\"" QUARNEL_VERSION "\"";
    // A scan read from a file is saved as of the walk it shows: its date and machine, or none
    // where the file said none, never this machine's and today's.
    const SavedOrigin *origin = m_scan.origin();
    const qint64 savedAt = origin ? origin->savedAt : qint64(std::time(nullptr));
    if (savedAt > 0) {
        text += ",\"timestamp\":";
        AppendNumber(text, savedAt);
    }
    // Ours, so that a scan opened elsewhere says which machine it shows; other tools skip it.
    const QByteArray host = origin ? origin->host : ThisMachine();
    if (!host.isEmpty()) {
        text += ",\"quarnel_host\":";
        AppendString(text, host.constData(), size_t(host.size()));
    }
    text += "},\n";

    std::vector<std::string_view> unreadFiles; // the open folder's, sorted
    bool failed = false;
    const auto flush = [&] {
        failed = failed || !out.write(text.data(), text.size());
        text.clear();
    };
    const auto openFolder = [&](FolderId f) {
        text += f == 0 ? "[{\"name\":" : ",\n[{\"name\":";
        QByteArrayView name = f == 0 && origin ? QByteArrayView(origin->root) : m_scan.nameOf(f);
        if (f == 0 && name.size() > 1 && name.endsWith('/'))
            name.chop(1); // the root's path, as the other tools write it
        AppendString(text, name.data(), size_t(name.size()));
        if (const qint64 date = m_scan.dateOf(f); date != FileRecord::UnknownDate)
            AppendDate(text, date);
        if (f == 0 && !links.empty()) {
            text += ",\"dev\":";
            AppendNumber(text, links.front().device);
        }
        const auto own =
            std::lower_bound(notes.begin(), notes.end(), f,
                             [](const FolderNote &n, FolderId id) { return n.folder < id; });
        bool unread = false;
        unreadFiles.clear();
        for (auto it = own; it != notes.end() && it->folder == f; ++it) {
            unread = unread || it->name.isEmpty();
            if (it->kind == FolderNote::UnreadFile)
                unreadFiles.emplace_back(it->name.constData(), size_t(it->name.size()));
        }
        std::sort(unreadFiles.begin(), unreadFiles.end());
        if (unread)
            text += ",\"read_error\":true";
        text += '}';

        auto link = std::lower_bound(links.begin(), links.end(), f,
                                     [](const HardLink &l, FolderId id) { return l.folder < id; });
        FileRecordReader files = m_scan.filesOf(f);
        FileRecord file;
        for (quint32 position = 0; files.next(file); ++position) {
            text += ",\n{\"name\":";
            AppendString(text, file.name.data(), size_t(file.name.size()));
            text += ",\"asize\":";
            AppendNumber(text, file.size);
            text += ",\"dsize\":";
            AppendNumber(text, file.allocated);
            // Only the files the walk could not read are marked so: a date may be unknown
            // because the scan was read from a file that kept none.
            if (file.date != FileRecord::UnknownDate)
                AppendDate(text, file.date);
            if (!unreadFiles.empty() &&
                std::binary_search(unreadFiles.begin(), unreadFiles.end(),
                                   std::string_view(file.name.data(), size_t(file.name.size()))))
                text += ",\"read_error\":true";
            if (link != links.end() && link->folder == f && link->position == position) {
                text += ",\"ino\":";
                AppendNumber(text, link->inode);
                text += ",\"hlnkc\":true,\"nlink\":";
                AppendNumber(text, link->links);
                // Read from a file that did not mark the counted name (gdu's): ours says so, or
                // reading it back would count the file at one of these.
                if (!link->counted && !std::binary_search(countedFiles.begin(), countedFiles.end(),
                                                          std::pair(link->device, link->inode)))
                    text += ",\"quarnel_uncounted\":true";
                ++link;
            }
            text += '}';
            if (text.size() > FlushSize)
                flush();
        }
    };
    const auto closeFolder = [&](FolderId f) {
        const auto own =
            std::lower_bound(notes.begin(), notes.end(), f,
                             [](const FolderNote &n, FolderId id) { return n.folder < id; });
        for (auto it = own; it != notes.end() && it->folder == f; ++it) {
            // An unread file has its row among the files already.
            if (it->name.isEmpty() || it->kind == FolderNote::UnreadFile)
                continue;
            const bool unread = it->kind == FolderNote::Unread;
            text += unread ? ",\n[{\"name\":" : ",\n{\"name\":";
            AppendString(text, it->name.constData(), size_t(it->name.size()));
            text += unread                                ? ",\"read_error\":true}]"
                    : it->kind == FolderNote::OtherVolume ? ",\"excluded\":\"otherfs\"}"
                                                          : ",\"excluded\":\"pattern\"}";
        }
        text += ']';
    };

    // Depth first with a stack of (folder, next child), as deep trees would overflow the call
    // stack.
    std::vector<std::pair<FolderId, quint32>> stack;
    openFolder(0);
    stack.push_back({0, first[0]});
    while (!stack.empty()) {
        const FolderId f = stack.back().first;
        if (stack.back().second < first[f + 1]) {
            const FolderId child = children[stack.back().second++];
            openFolder(child);
            stack.push_back({child, first[child]});
        } else {
            closeFolder(f);
            stack.pop_back();
        }
        if (text.size() > FlushSize)
            flush();
        if (failed) {
            m_error = out.error();
            return false;
        }
    }
    text += "]\n";
    flush();
    if (failed || !out.finish()) {
        m_error = out.error();
        return false;
    }
    return true;
}

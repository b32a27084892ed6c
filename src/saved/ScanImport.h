#pragma once

#include "DriveScan.h"
#include "HardLinkSettling.h"
#include "ImportError.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class SavedInput;

// Reads a scan saved in ncdu's JSON export format (by Quarnel, ncdu or gdu) into new records,
// made through the calls a walk makes, so they are the records a walk of the same tree would
// have made: a folder's own size is not counted, a hard-linked file counts once, at its first
// link in the file. Names escaped as ScanExport writes them come back as the same bytes.
//
// The reader goes through the text once with an explicit stack and keeps nothing but the records
// and the open folders' files: memory stays in step with the file's size. What is wrong with the
// file (truncated, damaged, hostile) stops it with the offset and what was found, and no records.
class ScanImport
{
public:
    // Deeper than the folders of any real volume; keeps paths within what tools handle.
    static constexpr int MaxDepth = 10000;
    // Bytes of a name; the root's is a path.
    static constexpr qsizetype MaxName = 4096;

    ScanImport();
    ~ScanImport();

    // Names the records' root from the machine the file names (empty when it names none) and the
    // saved root's path: a scan opened beside the machine's own volumes keeps to paths of its
    // own. Without it, the records' root is the saved root's path.
    using RootNaming = std::function<QByteArray(const QByteArray &host, const QByteArray &root)>;
    void setRootNaming(RootNaming naming) { m_rootNaming = std::move(naming); }
    std::unique_ptr<DriveScan> read(SavedInput &input);
    // From the file's header, once read: when it was saved (seconds since the epoch, 0 when not
    // said) and, for a file of ours, the machine it was scanned on.
    qint64 savedAt() const { return m_savedAt; }
    const QByteArray &host() const { return m_host; }
    const ImportError &error() const { return m_error; }
    // Entries read so far, the root included; any thread may ask while it reads.
    quint64 entriesRead() const { return m_entriesRead.load(std::memory_order_relaxed); }

private:
    struct Entry;
    struct Frame;

    bool parse();
    bool openFolder(Entry &entry);
    bool closeFolder();
    bool addEntry(Entry &entry);
    void claimName(Frame &frame, std::string &name);
    bool readObject(Entry &entry, bool named = true);
    bool readString(std::string *into, qsizetype limit);
    bool readUnsigned(quint64 &value);
    bool readSigned(qint64 &value);
    bool readBool(bool &value);
    bool skipValue();
    bool skipNumber();
    bool expectWord(std::string_view word);
    bool expect(char c);
    int peek() { return m_at < m_end || refill() ? static_cast<unsigned char>(*m_at) : -1; }
    int peekAfterSpace();
    bool refill();
    bool fail(ImportError::Problem problem, const QString &detail = {});
    qint64 offset() const;

    SavedInput *m_input = nullptr;
    std::vector<char> m_buffer;
    const char *m_at = nullptr;
    const char *m_end = nullptr;
    qint64 m_base = 0; // offset of m_buffer's first byte in the text
    bool m_readFailed = false;
    ImportError m_error;
    std::atomic<quint64> m_entriesRead{0};
    std::string m_key; // kept between objects, as its buffer is

    std::unique_ptr<DriveScan> m_scan;
    RootNaming m_rootNaming;
    qint64 m_savedAt = 0;
    QByteArray m_host;
    std::vector<Frame> m_frames; // kept across folders, so their buffers are reused
    int m_depth = 0;
    HardLinkSettling m_hardLinks;
    bool m_laterLinksMarked = false;
};

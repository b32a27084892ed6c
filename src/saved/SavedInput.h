#pragma once

#include "ImportError.h"

#include <QByteArray>

#include <atomic>
#include <memory>
#include <vector>

// Where a saved scan comes from: a file ("-": standard input) or bytes in memory, plain or
// compressed with gzip or zstd, told apart by their first bytes whatever the name. Gives the text
// piece by piece and refuses to inflate past a bound set by the compressed size, so a small
// hostile file cannot fill the memory or keep the reader busy for long.
class SavedInput
{
public:
    SavedInput();
    ~SavedInput();
    SavedInput(const SavedInput &) = delete;
    SavedInput &operator=(const SavedInput &) = delete;

    bool open(const QByteArray &fileName);
    // Reads an open descriptor (a pipe, say), which stays the caller's to close.
    void openDescriptor(int fd) { m_fd = fd; }
    void setData(QByteArray bytes);

    // Up to `capacity` bytes of text into `into`; 0 at the end, -1 on failure (see error()).
    qint64 read(char *into, qint64 capacity);
    const ImportError &error() const { return m_error; }
    // Bytes read from the source so far, compressed or not; any thread may ask while it reads.
    quint64 received() const { return m_received.load(std::memory_order_relaxed); }

    // Text that `compressed` bytes may expand to: more than a scan's text ever compresses by,
    // far less than a crafted stream does.
    static quint64 DecompressedLimit(quint64 compressed)
    {
        return 64 * 1024 * 1024 + 100 * compressed;
    }

private:
    struct Decompressor;
    qint64 readRaw(char *into, qint64 capacity);
    bool fill();
    qint64 fail(ImportError::Problem problem, const QString &detail);

    int m_fd = -1;
    bool m_ownsFd = false;
    QByteArray m_memory;
    qint64 m_memoryAt = 0;
    quint64 m_rawRead = 0;
    std::atomic<quint64> m_received{0};
    quint64 m_knownSize = 0; // of a file or bytes; 0 for a pipe
    quint64 m_textRead = 0;
    bool m_started = false;
    std::unique_ptr<Decompressor> m_decompressor;
    std::vector<char> m_raw; // compressed bytes read ahead
    size_t m_rawAt = 0, m_rawEnd = 0;
    bool m_rawEof = false;
    ImportError m_error;
};

#include "SavedInput.h"

#include "FileSystem.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

struct SavedInput::Decompressor
{
    enum Kind { Gzip, Zstd } kind;
    z_stream gzip{};
    ZSTD_DCtx *zstd = nullptr;
    bool memberEnded = false;

    explicit Decompressor(Kind k)
        : kind(k)
    {}
    ~Decompressor()
    {
        if (kind == Gzip)
            inflateEnd(&gzip);
        else
            ZSTD_freeDCtx(zstd);
    }
};

SavedInput::SavedInput() = default;

SavedInput::~SavedInput()
{
    if (m_ownsFd)
        FileSystem::Close(m_fd);
}

bool SavedInput::open(const QByteArray &fileName)
{
    if (fileName == "-") {
        m_fd = FileSystem::StandardInput;
        return true;
    }
    m_fd = FileSystem::OpenFile(fileName, FileSystem::FileAccess::Read);
    if (m_fd < 0) {
        m_error.systemError = errno;
        fail(ImportError::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
        m_error.offset = -1; // not opened: at no byte
        return false;
    }
    m_ownsFd = true;
    FileStatus status;
    if (FileSystem::StatusOf(m_fd, status) && status.kind == FileStatus::Kind::File)
        m_knownSize = status.size;
    return true;
}

void SavedInput::setData(QByteArray bytes)
{
    m_memory = std::move(bytes);
    m_knownSize = quint64(m_memory.size());
}

qint64 SavedInput::fail(ImportError::Problem problem, const QString &detail)
{
    m_error.problem = problem;
    m_error.offset = qint64(m_textRead);
    m_error.detail = detail;
    return -1;
}

qint64 SavedInput::readRaw(char *into, qint64 capacity)
{
    if (m_fd < 0) {
        const qint64 n = std::min(capacity, m_memory.size() - m_memoryAt);
        std::memcpy(into, m_memory.constData() + m_memoryAt, size_t(n));
        m_memoryAt += n;
        m_rawRead += quint64(n);
        return n;
    }
    const qint64 n = FileSystem::Read(m_fd, into, capacity);
    if (n < 0) {
        m_error.systemError = errno;
        return fail(ImportError::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    }
    m_rawRead += quint64(n);
    m_received.store(m_rawRead, std::memory_order_relaxed);
    return n;
}

// Tops up the compressed bytes read ahead; false on a read error.
bool SavedInput::fill()
{
    if (m_rawAt > 0) {
        std::memmove(m_raw.data(), m_raw.data() + m_rawAt, m_rawEnd - m_rawAt);
        m_rawEnd -= m_rawAt;
        m_rawAt = 0;
    }
    while (!m_rawEof && m_rawEnd < m_raw.size()) {
        const qint64 n = readRaw(m_raw.data() + m_rawEnd, qint64(m_raw.size() - m_rawEnd));
        if (n < 0)
            return false;
        m_rawEof = n == 0;
        m_rawEnd += size_t(n);
    }
    return true;
}

qint64 SavedInput::read(char *into, qint64 capacity)
{
    if (!m_started) {
        // The first bytes tell the compression; they are handed on like any others.
        m_started = true;
        m_raw.resize(256 * 1024);
        if (!fill())
            return -1;
        const auto *b = reinterpret_cast<const unsigned char *>(m_raw.data());
        if (m_rawEnd >= 2 && b[0] == 0x1f && b[1] == 0x8b) {
            m_decompressor = std::make_unique<Decompressor>(Decompressor::Gzip);
            if (inflateInit2(&m_decompressor->gzip, 15 + 16) != Z_OK)
                return fail(ImportError::Unreadable, QStringLiteral("out of memory"));
        } else if (m_rawEnd >= 4 && b[0] == 0x28 && b[1] == 0xb5 && b[2] == 0x2f && b[3] == 0xfd) {
            m_decompressor = std::make_unique<Decompressor>(Decompressor::Zstd);
            m_decompressor->zstd = ZSTD_createDCtx();
            if (!m_decompressor->zstd)
                return fail(ImportError::Unreadable, QStringLiteral("out of memory"));
        }
    }
    if (!m_decompressor) {
        // Plain text: what was read ahead first, then straight from the source.
        if (m_rawAt < m_rawEnd) {
            const size_t n = std::min(size_t(capacity), m_rawEnd - m_rawAt);
            std::memcpy(into, m_raw.data() + m_rawAt, n);
            m_rawAt += n;
            m_textRead += n;
            return qint64(n);
        }
        const qint64 n = readRaw(into, capacity);
        if (n > 0)
            m_textRead += quint64(n);
        return n;
    }
    Decompressor &d = *m_decompressor;
    for (;;) {
        if (m_rawAt == m_rawEnd && !m_rawEof && !fill())
            return -1;
        const size_t before = m_rawAt;
        size_t produced = 0;
        if (d.kind == Decompressor::Gzip) {
            if (d.memberEnded) {
                // Concatenated gzip members are one stream, as gzip itself reads them.
                if (m_rawAt == m_rawEnd)
                    return 0;
                inflateReset(&d.gzip);
                d.memberEnded = false;
            }
            d.gzip.next_in = reinterpret_cast<Bytef *>(m_raw.data() + m_rawAt);
            d.gzip.avail_in = uInt(m_rawEnd - m_rawAt);
            d.gzip.next_out = reinterpret_cast<Bytef *>(into);
            d.gzip.avail_out = uInt(capacity);
            const int result = inflate(&d.gzip, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return fail(ImportError::Compression,
                            QString::fromLatin1(d.gzip.msg ? d.gzip.msg : "gzip"));
            m_rawAt = m_rawEnd - d.gzip.avail_in;
            produced = size_t(capacity) - d.gzip.avail_out;
            d.memberEnded = result == Z_STREAM_END;
        } else {
            ZSTD_inBuffer in{m_raw.data(), m_rawEnd, m_rawAt};
            ZSTD_outBuffer out{into, size_t(capacity), 0};
            const size_t result = ZSTD_decompressStream(d.zstd, &out, &in);
            if (ZSTD_isError(result))
                return fail(ImportError::Compression,
                            QString::fromLatin1(ZSTD_getErrorName(result)));
            if (in.pos != m_rawAt || out.pos > 0)
                d.memberEnded = result == 0; // a frame ends; another may follow
            m_rawAt = in.pos;
            produced = out.pos;
        }
        m_textRead += produced;
        // A pipe's size is not known ahead: what came so far stands for it.
        if (m_textRead > DecompressedLimit(std::max(m_knownSize, m_rawRead)))
            return fail(ImportError::TooLarge, {});
        if (produced > 0)
            return qint64(produced);
        if (m_rawAt == before) {
            if (m_rawEof && d.memberEnded && m_rawAt == m_rawEnd)
                return 0;
            if (m_rawEof)
                return fail(ImportError::Compression, QStringLiteral("the stream ends early"));
            if (!fill())
                return -1;
        }
    }
}

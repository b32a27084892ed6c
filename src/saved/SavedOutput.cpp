#include "SavedOutput.h"

#include "FileSystem.h"

#include <zlib.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

// One of the two compressors, fed through a fixed buffer.
struct SavedOutput::Compressor
{
    enum Kind { Gzip, Zstd } kind;
    z_stream gzip{};
    ZSTD_CCtx *zstd = nullptr;
    std::vector<char> buffer = std::vector<char>(256 * 1024);

    explicit Compressor(Kind k)
        : kind(k)
    {}
    ~Compressor()
    {
        if (kind == Gzip)
            deflateEnd(&gzip);
        else
            ZSTD_freeCCtx(zstd);
    }
};

SavedOutput::SavedOutput() = default;

SavedOutput::~SavedOutput()
{
    if (m_fd >= 0 && m_ownsFd) {
        FileSystem::Close(m_fd);
        if (m_removeOnFailure)
            FileSystem::RemoveFile(m_fileName);
    }
}

bool SavedOutput::fail(const QString &what, int error)
{
    m_error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    m_errorNumber = error;
    return false;
}

bool SavedOutput::open(const QByteArray &fileName)
{
    m_fileName = fileName;
    if (fileName == "-") {
        m_fd = FileSystem::StandardOutput;
    } else {
        m_fd = FileSystem::OpenFile(fileName, FileSystem::FileAccess::Replace);
        if (m_fd < 0)
            return fail(QString::fromLocal8Bit(fileName), errno);
        m_ownsFd = true;
        // A half-written file goes on failure; a device, a pipe or the link to one named instead
        // of a file is the user's, and stays.
        FileStatus status;
        m_removeOnFailure =
            FileSystem::StatusOf(m_fd, status) && status.kind == FileStatus::Kind::File &&
            FileSystem::StatusOfPath(fileName, status, FileSystem::FollowLink::No) &&
            status.kind == FileStatus::Kind::File;
    }
    // The ending chooses the compression whatever its case: "SCAN.JSON.GZ" is gzip too.
    const QByteArray ending = fileName.toLower();
    if (ending.endsWith(".gz")) {
        m_compressor = std::make_unique<Compressor>(Compressor::Gzip);
        // 15 + 16: a gzip header and trailer around the deflate stream, as gzip writes.
        if (deflateInit2(&m_compressor->gzip, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            return fail(QStringLiteral("gzip"), ENOMEM);
    } else if (ending.endsWith(".zst")) {
        m_compressor = std::make_unique<Compressor>(Compressor::Zstd);
        m_compressor->zstd = ZSTD_createCCtx();
        if (!m_compressor->zstd)
            return fail(QStringLiteral("zstd"), ENOMEM);
    }
    return true;
}

bool SavedOutput::writeOut(const char *data, size_t size)
{
    return FileSystem::WriteAll(m_fd, data, qint64(size)) ||
           fail(QString::fromLocal8Bit(m_fileName), errno);
}

bool SavedOutput::write(const char *data, size_t size)
{
    if (!m_compressor)
        return writeOut(data, size);
    Compressor &c = *m_compressor;
    if (c.kind == Compressor::Gzip) {
        c.gzip.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        c.gzip.avail_in = uInt(size);
        while (c.gzip.avail_in > 0) {
            c.gzip.next_out = reinterpret_cast<Bytef *>(c.buffer.data());
            c.gzip.avail_out = uInt(c.buffer.size());
            deflate(&c.gzip, Z_NO_FLUSH);
            if (!writeOut(c.buffer.data(), c.buffer.size() - c.gzip.avail_out))
                return false;
        }
        return true;
    }
    ZSTD_inBuffer in{data, size, 0};
    while (in.pos < in.size) {
        ZSTD_outBuffer out{c.buffer.data(), c.buffer.size(), 0};
        const size_t result = ZSTD_compressStream2(c.zstd, &out, &in, ZSTD_e_continue);
        if (ZSTD_isError(result))
            return fail(QStringLiteral("zstd"), EIO);
        if (!writeOut(c.buffer.data(), out.pos))
            return false;
    }
    return true;
}

bool SavedOutput::finish()
{
    bool ok = true;
    if (m_compressor && m_compressor->kind == Compressor::Gzip) {
        Compressor &c = *m_compressor;
        int result = Z_OK;
        while (ok && result != Z_STREAM_END) {
            c.gzip.next_out = reinterpret_cast<Bytef *>(c.buffer.data());
            c.gzip.avail_out = uInt(c.buffer.size());
            result = deflate(&c.gzip, Z_FINISH);
            ok = writeOut(c.buffer.data(), c.buffer.size() - c.gzip.avail_out);
        }
    } else if (m_compressor) {
        Compressor &c = *m_compressor;
        ZSTD_inBuffer in{nullptr, 0, 0};
        size_t left = 1;
        while (ok && left != 0) {
            ZSTD_outBuffer out{c.buffer.data(), c.buffer.size(), 0};
            left = ZSTD_compressStream2(c.zstd, &out, &in, ZSTD_e_end);
            ok = !ZSTD_isError(left) ? writeOut(c.buffer.data(), out.pos)
                                     : fail(QStringLiteral("zstd"), EIO);
        }
    }
    const int fd = std::exchange(m_fd, -1);
    if (m_ownsFd) {
        if (!FileSystem::Close(fd) && ok)
            ok = fail(QString::fromLocal8Bit(m_fileName), errno);
        if (!ok && m_removeOnFailure)
            FileSystem::RemoveFile(m_fileName);
    }
    return ok;
}

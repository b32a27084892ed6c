#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Where a saved scan goes: a file, standard output for "-", compressed with gzip or zstd when the
// name ends with ".gz" or ".zst". Takes the text piece by piece, so the whole never sits in memory.
class SavedOutput
{
public:
    SavedOutput();
    ~SavedOutput(); // an output not finished is removed
    SavedOutput(const SavedOutput &) = delete;
    SavedOutput &operator=(const SavedOutput &) = delete;

    bool open(const QByteArray &fileName);
    bool write(const char *data, size_t size);
    // Ends the compressed stream and closes the file; false when anything failed on the way.
    bool finish();
    // Why the last call failed.
    QString error() const { return m_error; }
    // The system's error number behind error(), for a caller that words it itself.
    int errorNumber() const { return m_errorNumber; }

private:
    struct Compressor;
    bool writeOut(const char *data, size_t size);
    bool fail(const QString &what, int error);

    QByteArray m_fileName;
    int m_fd = -1;
    bool m_ownsFd = false;
    bool m_removeOnFailure = false;
    std::unique_ptr<Compressor> m_compressor;
    QString m_error;
    int m_errorNumber = 0;
};

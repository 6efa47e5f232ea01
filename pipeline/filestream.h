#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// An owning file stream whose every failure raises EPcmException naming the
// file and the system's error, so that a full disk ends a run instead of
// leaving a short file behind. Writes are buffered; read, seek, size, flush
// and close write the buffer out first.
//
// Threads: one thread at a time (the sink's worker, or the GUI thread while
// the sink prepares its run).
class TFileStream
{
public:
    enum class Mode {
        Create,        // create, or truncate an existing file
        OpenReadWrite, // open an existing file for reading and writing, others denied writes
    };

    TFileStream(const QString &fileName, Mode mode);
    // Closes quietly; call close() to learn whether the last writes reached the disk.
    ~TFileStream();
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    const QString &fileName() const { return m_fileName; }

    void write(const void *data, int64_t size);
    // Reads up to size bytes; fewer only at the end of the file.
    int64_t read(void *data, int64_t size);
    // Reads exactly size bytes or raises.
    void readExact(void *data, int64_t size);
    void seek(int64_t offset);
    void seekToEnd();
    int64_t position() const;
    int64_t size();
    void flush();
    void close();

private:
    [[noreturn]] void fail(const char *what, int error) const;

    QString m_fileName;
    int m_fd = -1;
    int64_t m_filePos = 0; // where the descriptor stands
    std::vector<char> m_buffer;
    size_t m_buffered = 0;
};

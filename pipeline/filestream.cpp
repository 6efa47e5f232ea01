#include "pipeline/filestream.h"

#include "pipeline/pcmexception.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BufferCapacity = 64 * 1024;

} // namespace

TFileStream::TFileStream(const QString &fileName, Mode mode)
    : m_fileName(fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int flags = mode == Mode::Create ? O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC
                                           : O_RDWR | O_CLOEXEC;
    do {
        m_fd = ::open(path.constData(), flags, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        fail("Cannot open", errno);
    if (mode == Mode::OpenReadWrite && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        // Appending while another writer holds the file would interleave two
        // streams into one broken file.
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        fail("Cannot lock", error);
    }
    m_buffer.resize(BufferCapacity);
}

TFileStream::~TFileStream()
{
    try {
        close();
    } catch (...) {
        // The owner that cares calls close() itself and sees the error there.
    }
}

void TFileStream::fail(const char *what, int error) const
{
    throw EPcmException(QStringLiteral("%1 file \"%2\": %3")
                            .arg(QString::fromLatin1(what),
                                 m_fileName,
                                 QString::fromLocal8Bit(std::strerror(error))));
}

void TFileStream::flush()
{
    if (m_fd < 0)
        fail("Cannot write to", EBADF);
    const char *p = m_buffer.data();
    size_t left = m_buffered;
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_buffered = 0; // what failed is lost; do not write it twice
            fail("Cannot write to", errno);
        }
        if (n == 0) {
            m_buffered = 0;
            fail("Cannot write to", ENOSPC);
        }
        p += n;
        left -= static_cast<size_t>(n);
        m_filePos += n;
    }
    m_buffered = 0;
}

void TFileStream::write(const void *data, int64_t size)
{
    if (m_fd < 0)
        fail("Cannot write to", EBADF);
    if (size <= 0)
        return;
    const char *p = static_cast<const char *>(data);
    auto left = static_cast<size_t>(size);
    while (left > 0) {
        const size_t room = m_buffer.size() - m_buffered;
        const size_t n = left < room ? left : room;
        std::memcpy(m_buffer.data() + m_buffered, p, n);
        m_buffered += n;
        p += n;
        left -= n;
        if (m_buffered == m_buffer.size())
            flush();
    }
}

int64_t TFileStream::read(void *data, int64_t size)
{
    flush();
    char *p = static_cast<char *>(data);
    int64_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(m_fd, p + total, static_cast<size_t>(size - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("Cannot read from", errno);
        if (n == 0)
            break;
        total += n;
        m_filePos += n;
    }
    return total;
}

void TFileStream::readExact(void *data, int64_t size)
{
    if (read(data, size) != size)
        throw EPcmException(
            QStringLiteral("Cannot read from file \"%1\": unexpected end of file").arg(m_fileName));
}

void TFileStream::seek(int64_t offset)
{
    flush();
    const off_t at = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
    if (at < 0)
        fail("Cannot seek in", errno);
    m_filePos = at;
}

void TFileStream::seekToEnd()
{
    flush();
    const off_t at = ::lseek(m_fd, 0, SEEK_END);
    if (at < 0)
        fail("Cannot seek in", errno);
    m_filePos = at;
}

int64_t TFileStream::position() const
{
    return m_filePos + static_cast<int64_t>(m_buffered);
}

int64_t TFileStream::size()
{
    flush();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        fail("Cannot examine", errno);
    return info.st_size;
}

void TFileStream::close()
{
    if (m_fd < 0)
        return;
    try {
        flush();
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
    const int fd = m_fd;
    m_fd = -1;
    // close() can report a write-back failure (NFS, quotas); EINTR still closes.
    if (::close(fd) != 0 && errno != EINTR)
        fail("Cannot write to", errno);
}

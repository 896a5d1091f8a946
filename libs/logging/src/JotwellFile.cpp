#include "JotwellFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::shared_ptr<JotwellFile> JotwellFile::Create(const char* path)
{
    if (!path || !*path)
        return nullptr;
    const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    return std::make_shared<JotwellFile>(fd);
}

JotwellFile::~JotwellFile()
{
    ::close(m_fd);
}

bool JotwellFile::Append(const char* data, std::size_t size) const
{
    return jotwellWriteAll(m_fd, data, size);
}

bool jotwellWriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

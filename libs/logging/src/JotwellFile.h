#pragma once

#include <cstddef>
#include <memory>

// An open log file. It is closed when the last holder lets it go, so the
// writer never writes into a closed or reused descriptor.
class JotwellFile {
public:
    // Creates the file anew (emptied when it exists); null on failure.
    static std::shared_ptr<JotwellFile> Create(const char* path);

    explicit JotwellFile(int fd) : m_fd(fd) {}
    ~JotwellFile();
    JotwellFile(const JotwellFile&) = delete;
    JotwellFile& operator=(const JotwellFile&) = delete;

    // Writes all bytes at the end of the file.
    bool Append(const char* data, std::size_t size) const;

private:
    int m_fd;
};

// Writes all bytes to a descriptor, going on after short writes and signals.
bool jotwellWriteAll(int fd, const char* data, std::size_t size);

#pragma once

#include "Jotwell.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

inline void trace(const char* module, uint32_t level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    OrvLTraceA(module, level, format, &arguments);
    va_end(arguments);
}

// A fresh folder under the temporary folder, removed with its files.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/jotwell-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data()))
            ADD_FAILURE() << "mkdtemp failed";
        m_path = buffer.data();
    }
    ~TempDir()
    {
        const std::string command = "rm -rf '" + m_path + "'";
        if (std::system(command.c_str()) != 0)
            ADD_FAILURE() << "cannot remove " << m_path;
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Splits at "\r\n"; text after the last "\r\n" is kept as a last element.
inline std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// Sends standard error into a file while it lives.
class StderrCapture {
public:
    explicit StderrCapture(std::string path) : m_path(std::move(path))
    {
        m_saved = dup(STDERR_FILENO);
        const int fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StderrCapture() { restore(); }
    std::string text()
    {
        restore();
        return readFile(m_path);
    }

private:
    void restore()
    {
        if (m_saved >= 0) {
            dup2(m_saved, STDERR_FILENO);
            close(m_saved);
            m_saved = -1;
        }
    }
    std::string m_path;
    int m_saved = -1;
};

// Starts logging into a file only, with every level passing.
inline void initFileOnly(const std::string& path, uint32_t globalMask = 0xFFFFFFFFu)
{
    ASSERT_TRUE(OrvLInit());
    ASSERT_TRUE(OrvLEnableWindbg(false));
    ASSERT_TRUE(OrvLEnableFileLogging(true, path.c_str()));
    OrvLSetGlobalDebugLevel(globalMask);
}

// True when `text` holds a time such as "2024-01-31.13:45:10" (C locale) at `pos`.
inline bool timeAt(const std::string& text, std::size_t pos)
{
    static const char shape[] = "dddd-dd-dd.dd:dd:dd";
    if (text.size() < pos + sizeof shape - 1)
        return false;
    for (std::size_t i = 0; i + 1 < sizeof shape; ++i) {
        const char c = text[pos + i];
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i])
            return false;
    }
    return true;
}

// Compares `text` with `expected`, in which each "@T" stands for a time.
inline bool matchesWithTime(const std::string& text, const std::string& expected)
{
    std::size_t t = 0;
    for (std::size_t e = 0; e < expected.size();) {
        if (expected.compare(e, 2, "@T") == 0) {
            if (!timeAt(text, t))
                return false;
            t += 19;
            e += 2;
        } else if (t < text.size() && text[t] == expected[e]) {
            ++t;
            ++e;
        } else {
            return false;
        }
    }
    return t == text.size();
}

#include "SimText.h"

#include "OrvSdk.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillan {

void copyText(char* field, size_t size, const std::string& text)
{
    if (!field || size == 0)
        return;
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

int copyOut(const std::string& text, char* buffer, size_t* size)
{
    if (!buffer || !size)
        return ORV_ERROR_INVALID_ARGUMENT;
    if (*size < text.size() + 1)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = text.size() + 1;
    return ORV_SUCCESS;
}

static std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && lower(a) == lower(b);
}

bool containsIgnoreCase(const std::string& haystack, const std::string& needle)
{
    return lower(haystack).find(lower(needle)) != std::string::npos;
}

bool parseIpv4(const std::string& text, uint32_t* value)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    *value = ntohl(addr.s_addr);
    return true;
}

std::string formatIpv4(uint32_t value)
{
    in_addr addr{};
    addr.s_addr = htonl(value);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && std::isspace(static_cast<unsigned char>(c))) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

bool parseInt(const std::string& text, int64_t* value)
{
    if (text.empty())
        return false;
    size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
    int base = text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0 ? 16 : 10;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0') {
        // values above INT64_MAX written in hex, such as 0xFFFFFFFFFFFFFFFF
        errno = 0;
        unsigned long long u = std::strtoull(text.c_str(), &end, base);
        if (errno != 0 || *end != '\0' || text[0] == '-')
            return false;
        v = static_cast<long long>(u);
    }
    *value = v;
    return true;
}

} // namespace quillan

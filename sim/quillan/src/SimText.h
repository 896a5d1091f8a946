// Small text helpers of the simulator.
#ifndef SIMTEXT_H
#define SIMTEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

// Copies text into a fixed field, cut to size - 1 bytes, always terminated;
// the rest of the field is zeroed.
void copyText(char* field, size_t size, const std::string& text);

template <size_t N>
void copyText(char (&field)[N], const std::string& text)
{
    copyText(field, N, text);
}

// Copies text with its terminator into a caller buffer of *size bytes.
// Returns 0 and sets *size to the bytes written, or -1006 when it does not
// fit or an argument is null.
int copyOut(const std::string& text, char* buffer, size_t* size);

bool equalsIgnoreCase(const std::string& a, const std::string& b);
bool containsIgnoreCase(const std::string& haystack, const std::string& needle);

// Dotted IPv4 text <-> value with the first octet in the most significant byte.
bool parseIpv4(const std::string& text, uint32_t* value);
std::string formatIpv4(uint32_t value);

// Splits a command line at blanks; double quotes group words.
std::vector<std::string> splitWords(const std::string& line);

// Parses a decimal or 0x-prefixed integer; false when the text is not one.
bool parseInt(const std::string& text, int64_t* value);

} // namespace quillan

#endif // SIMTEXT_H

// Zip archives held in memory: the first entry out, one entry in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace memzip {

enum class Status {
    Ok,
    NotAZip,   // no central directory found
    NoEntry,   // the archive holds no file
    Damaged,   // a header, the data or its CRC is wrong
    TooLarge,  // the entry unpacks to more than the caller allows
};

// Unpacks the first entry of the archive in [data, data + size) into out.
// Never reads outside the given bytes; refuses an entry larger than maxSize
// before allocating for it. out is empty unless the result is Ok.
Status extractFirst(const void* data, std::size_t size, std::size_t maxSize,
                    std::vector<std::uint8_t>& out);

// Builds an archive holding one deflated entry named entryName.
bool createSingle(const char* entryName, const void* data, std::size_t size,
                  std::vector<std::uint8_t>& out);

const char* statusText(Status status);

}  // namespace memzip

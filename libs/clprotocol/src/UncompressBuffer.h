#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brenwick {

// Unpacks the first entry of a zip archive held in memory into text, which
// ends with an added zero; textSize is the entry's size. An entry larger than
// maxSize is refused before anything is allocated for it.
bool UncompressBuffer(const std::uint8_t* zip, std::size_t size, std::vector<char>& text, std::size_t& textSize,
                      std::size_t maxSize);

}  // namespace brenwick

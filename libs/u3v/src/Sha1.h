// SHA-1 digest (FIPS 180-4), fed in pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pexlin {

class Sha1 {
public:
    Sha1();
    void update(const void* data, std::size_t size);
    std::array<std::uint8_t, 20> finish();

private:
    void block(const std::uint8_t* p);

    std::uint32_t h_[5];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes
};

} // namespace pexlin

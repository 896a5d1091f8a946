#include "UncompressBuffer.h"

#include "MemZip.h"
#include "OrvCLLogger.h"

namespace brenwick {

bool UncompressBuffer(const std::uint8_t* zip, std::size_t size, std::vector<char>& text, std::size_t& textSize,
                      std::size_t maxSize)
{
    std::vector<std::uint8_t> entry;
    const memzip::Status status = memzip::extractFirst(zip, size, maxSize, entry);
    if (status != memzip::Status::Ok) {
        CLP_TRACE(kTraceError, "%s %s", "UncompressBuffer", memzip::statusText(status));
        return false;
    }
    text.assign(entry.begin(), entry.end());
    text.push_back('\0');
    textSize = entry.size();
    return true;
}

}  // namespace brenwick

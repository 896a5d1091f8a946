#pragma once

#include <cstdint>
#include <string>

namespace brenwick {

// The text for a result code the driver returns; false when it has none.
bool errorText(std::int32_t code, std::string& text);

}  // namespace brenwick

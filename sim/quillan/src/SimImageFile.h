#pragma once

#include "SimConvert.h"

#include <cstdint>

// Image files written by the simulated SDK: 0 PNG, 1 BMP, 2 RAW.
namespace SimImageFile {

enum Type { Png = 0, Bmp = 1, Raw = 2 };

// fileName is used as bytes. 0, or -1006 (no pixels, unknown type), -1009
// (format cannot be saved in that type), -1013 (file cannot be written).
int save(const SimConvert::Image& image, const char* fileName, int32_t fileType);

} // namespace SimImageFile

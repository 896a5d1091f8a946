#include "SimPixelFormat.h"

#include <cstring>

namespace SimPixelFormat {

namespace {

using L = Layout;
using C = Cfa;

const Info kTable[] = {
    {Mono8, 0x101, "Mono8", L::Byte, C::None, 8, true, false},
    {Mono10, 0x102, "Mono10", L::Word16, C::None, 10, true, false},
    {Mono10Packed, 0, "Mono10Packed", L::Packed12, C::None, 10, false, false},
    {Mono12, 0x103, "Mono12", L::Word16, C::None, 12, true, false},
    {Mono12Packed, 0, "Mono12Packed", L::Packed12, C::None, 12, true, false},
    {Mono16, 0x105, "Mono16", L::Word16, C::None, 16, true, false},
    {BayerGR8, 0x311, "BayerGR8", L::Byte, C::GR, 8, true, true},
    {BayerRG8, 0x321, "BayerRG8", L::Byte, C::RG, 8, true, true},
    {BayerGB8, 0x331, "BayerGB8", L::Byte, C::GB, 8, true, true},
    {BayerBG8, 0x341, "BayerBG8", L::Byte, C::BG, 8, true, true},
    {BayerGR10, 0x312, "BayerGR10", L::Word16, C::GR, 10, true, true},
    {BayerRG10, 0x322, "BayerRG10", L::Word16, C::RG, 10, true, true},
    {BayerGB10, 0x332, "BayerGB10", L::Word16, C::GB, 10, true, true},
    {BayerBG10, 0x342, "BayerBG10", L::Word16, C::BG, 10, true, true},
    {BayerGR12, 0x313, "BayerGR12", L::Word16, C::GR, 12, true, true},
    {BayerRG12, 0x323, "BayerRG12", L::Word16, C::RG, 12, true, true},
    {BayerGB12, 0x333, "BayerGB12", L::Word16, C::GB, 12, true, true},
    {BayerBG12, 0x343, "BayerBG12", L::Word16, C::BG, 12, true, true},
    {BayerGR12Packed, 0, "BayerGR12Packed", L::Packed12, C::GR, 12, true, true},
    {BayerRG12Packed, 0, "BayerRG12Packed", L::Packed12, C::RG, 12, true, true},
    {BayerGB12Packed, 0, "BayerGB12Packed", L::Packed12, C::GB, 12, true, true},
    {BayerBG12Packed, 0, "BayerBG12Packed", L::Packed12, C::BG, 12, true, true},
    {BayerGR16, 0x315, "BayerGR16", L::Word16, C::GR, 16, true, true},
    {BayerRG16, 0x325, "BayerRG16", L::Word16, C::RG, 16, true, true},
    {BayerGB16, 0x335, "BayerGB16", L::Word16, C::GB, 16, true, true},
    {BayerBG16, 0x345, "BayerBG16", L::Word16, C::BG, 16, true, true},
    {RGB8, 0, "RGB8", L::Triple, C::None, 8, false, true},
    {BGR8Generic, 0, "BGR8", L::Triple, C::None, 8, true, true},
};

} // namespace

const Info* find(uint32_t pixelType)
{
    for (const Info& f : kTable) {
        if (f.pfnc == pixelType || (f.sdkType != 0 && f.sdkType == pixelType))
            return &f;
    }
    return nullptr;
}

const Info* findByName(const char* name)
{
    for (const Info& f : kTable) {
        if (std::strcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

const Info* table(size_t* count)
{
    *count = sizeof(kTable) / sizeof(kTable[0]);
    return kTable;
}

uint64_t imageBytes(const Info& f, uint32_t width, uint32_t height)
{
    const uint64_t pixels = uint64_t(width) * height;
    switch (f.layout) {
    case Layout::Byte: return pixels;
    case Layout::Word16: return pixels * 2;
    case Layout::Packed12: return (pixels * 3 + 1) / 2;
    case Layout::Triple: return pixels * 3;
    }
    return 0;
}

uint64_t imageBytes(uint32_t pixelType, uint32_t width, uint32_t height)
{
    const Info* f = find(pixelType);
    return f ? imageBytes(*f, width, height) : 0;
}

} // namespace SimPixelFormat

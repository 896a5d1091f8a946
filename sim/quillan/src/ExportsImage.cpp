// Image exports: conversions and image files. They need no initialised
// library and touch only the caller's record and destination.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimConvert.h"
#include "SimImageFile.h"

using namespace quillan;

namespace {

SimConvert::Image imageOf(const ORV_BUFFER_INFO& info)
{
    SimConvert::Image image;
    image.pixels = info.pixels;
    image.width = info.width;
    image.height = info.height;
    image.size = info.size;
    image.pixelType = uint32_t(info.pixelType);
    image.secondWord = uint32_t(info.pixelType >> 32);
    return image;
}

int convert(const char* name, const ORV_BUFFER_INFO& source, void* destination, uint32_t destinationSize,
            int (*conversion)(const SimConvert::Image&, void*, uint64_t, unsigned))
{
    SimCall call(name, 0, SimCall::WorksWithoutLibrary);
    call.arg("width", source.width).arg("height", source.height).arg("pixelType", source.pixelType)
        .arg("destinationSize", destinationSize);
    if (int rc = call.enter())
        return rc;
    return call.result(conversion(imageOf(source), destination, destinationSize, SimConvert::defaultThreads()));
}

int toBgrx(const SimConvert::Image& image, void* destination, uint64_t size, unsigned threads)
{
    return SimConvert::colorToBgr(image, destination, size, 4, threads);
}

int toBgr(const SimConvert::Image& image, void* destination, uint64_t size, unsigned threads)
{
    return SimConvert::colorToBgr(image, destination, size, 3, threads);
}

int save(const char* name, const ORV_BUFFER_INFO* image, const char* fileName, int32_t fileType)
{
    SimCall call(name, 0, SimCall::WorksWithoutLibrary);
    call.arg("fileName", fileName ? fileName : "").arg("fileType", fileType);
    if (int rc = call.enter())
        return rc;
    if (!image || !fileName)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    return call.result(SimImageFile::save(imageOf(*image), fileName, fileType));
}

} // namespace

int OrvUtilBuffer12BitTo8Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    return convert("OrvUtilBuffer12BitTo8Bit", source, destination, destinationSize, &SimConvert::packed12To8);
}

int OrvUtilBuffer12BitTo16Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    return convert("OrvUtilBuffer12BitTo16Bit", source, destination, destinationSize, &SimConvert::packed12To16);
}

int OrvUtilBuffer16BitTo8Bit(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    return convert("OrvUtilBuffer16BitTo8Bit", source, destination, destinationSize, &SimConvert::word16To8);
}

int OrvUtilBufferBayerToRGB(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    return convert("OrvUtilBufferBayerToRGB", source, destination, destinationSize, &toBgr);
}

int OrvUtilBufferBayerToRGB32(ORV_BUFFER_INFO source, void* destination, uint32_t destinationSize)
{
    return convert("OrvUtilBufferBayerToRGB32", source, destination, destinationSize, &toBgrx);
}

int OrvUtilSaveImageToPNGFile(const ORV_BUFFER_INFO* image, const char* fileName)
{
    return save("OrvUtilSaveImageToPNGFile", image, fileName, SimImageFile::Png);
}

int OrvUtilSaveImageToFile(const ORV_BUFFER_INFO* image, const char* fileName, int32_t fileType)
{
    return save("OrvUtilSaveImageToFile", image, fileName, fileType);
}

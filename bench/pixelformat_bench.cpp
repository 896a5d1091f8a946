// The pixel-format queries that the consumer, the renderer and the camera
// window ask of every displayed image (they allocate nothing), and the deep
// copy that auto-save and the image writer make of each saved image.

#include <benchmark/benchmark.h>

#include "ZelUtil.h"

#include <cstring>
#include <vector>

namespace {

const uint64_t formats[] = {0x01080001, 0x01100005, 0x010C0006, 0x01080009, 0x010C002B,
                            0x01100031, 0x02180000, 0x010A0046, 0x104,      (uint64_t(1) << 32) | 0x101};

void PixelQueriesPerImage(benchmark::State& state)
{
    size_t index = 0;
    for (auto _ : state) {
        const uint64_t format = ZelUtil::GetStreamPixelFormat(uint32_t(formats[index]), uint32_t(formats[index] >> 32));
        benchmark::DoNotOptimize(ZelUtil::IsSupportedFormat(format));
        benchmark::DoNotOptimize(ZelUtil::IsColorFormat(format));
        benchmark::DoNotOptimize(ZelUtil::GetMaxPixelValue(format));
        benchmark::DoNotOptimize(ZelUtil::ComputeImageSize(1280, 1024, format));
        index = (index + 1) % (sizeof formats / sizeof formats[0]);
    }
}
BENCHMARK(PixelQueriesPerImage);

// One 1280 x 1024 image of 8 or 16 bits copied and freed.
void CloneImage(benchmark::State& state)
{
    const uint32_t bytesPerPixel = uint32_t(state.range(0));
    std::vector<uint8_t> pixels(1280u * 1024u * bytesPerPixel, 0x5A);
    ORV_BUFFER_INFO source;
    std::memset(&source, 0, sizeof source);
    source.pixels = pixels.data();
    source.width = 1280;
    source.height = 1024;
    source.size = uint32_t(pixels.size());
    source.pixelType = bytesPerPixel == 1 ? 0x01080001 : 0x01100007;
    for (auto _ : state) {
        ORV_BUFFER_INFO copy;
        if (!ZelUtil::CloneBufferInfo(&copy, &source))
            state.SkipWithError("copy refused");
        benchmark::DoNotOptimize(copy.pixels);
        ZelUtil::FreeBufferInfo(&copy);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(CloneImage)->Arg(1)->Arg(2);

} // namespace

BENCHMARK_MAIN();

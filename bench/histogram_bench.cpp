// Histograms of one 2448 x 2048 image per iteration, counted with the
// extraction thread's own code on one core (target: 200 a second for Mono8).
#include "ZelPixelExtractionThread.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr uint32_t kWidth = 2448;
constexpr uint32_t kHeight = 2048;

enum class Content { Flat, Noise };

void countImage(benchmark::State& state, uint64_t format, int bytesPerSample, bool firstBlock, int bins,
                Content content)
{
    const size_t samples = size_t(kWidth) * kHeight;
    std::vector<uint8_t> memory(samples * size_t(bytesPerSample));
    std::mt19937 gen(7);
    if (bytesPerSample == 1) {
        for (auto& b : memory)
            b = content == Content::Flat ? 100 : uint8_t(gen());
    } else {
        auto* words = reinterpret_cast<uint16_t*>(memory.data());
        for (size_t i = 0; i < samples; ++i)
            words[i] = content == Content::Flat ? 1000 : uint16_t(gen() & 0xFFF);
    }
    ORV_BUFFER_INFO info{};
    info.width = kWidth;
    info.height = kHeight;
    info.pixelType = format;
    (firstBlock ? info.pixels : info.secondBlock) = memory.data();

    std::vector<qulonglong> arrays[3];
    for (auto& a : arrays)
        a.assign(size_t(bins), 0);
    qulonglong* const counts[3] = {arrays[0].data(), arrays[1].data(), arrays[2].data()};
    const QRect aoi(0, 0, int(kWidth), int(kHeight));
    for (auto _ : state) {
        for (auto& a : arrays)
            std::fill(a.begin(), a.end(), 0);
        benchmark::DoNotOptimize(ZelPixelExtractionThread::countPixels(info, aoi, counts));
        benchmark::ClobberMemory();
    }
    state.counters["histograms/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK_CAPTURE(countImage, mono8_flat, 0x01080001, 1, true, 256, Content::Flat)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countImage, mono8_noise, 0x01080001, 1, true, 256, Content::Noise)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countImage, mono12_flat, 0x01100005, 2, false, 4096, Content::Flat)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countImage, bayerRG8_flat, 0x01080009, 1, false, 256, Content::Flat)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

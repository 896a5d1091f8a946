// Conversions on one 2448 x 2048 frame, in megapixels per second on one core
// (the case named exportThreads on the SDK export's threads, in real time),
// and the frame rate at which the simulated camera produces images.
#include "SimConvert.h"
#include "SimImageGenerator.h"
#include "SimPixelFormat.h"
#include "StreamState.h"

#include <atomic>
#include <thread>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr uint32_t kWidth = 2448;
constexpr uint32_t kHeight = 2048;

struct Source {
    std::vector<uint8_t> bytes;
    SimConvert::Image image;
};

Source makeSource(uint32_t format)
{
    SimImageGenerator gen;
    SimImageSettings s;
    s.sensorWidth = s.width = kWidth;
    s.sensorHeight = s.height = kHeight;
    s.pixelFormat = format;
    s.colorSensor = SimPixelFormat::find(format)->color;
    s.pattern = s.colorSensor ? SimImageSettings::ColourChart : SimImageSettings::Off;
    gen.configure(s);
    Source src;
    src.bytes.resize(gen.imageBytes());
    gen.render(1, src.bytes.data(), src.bytes.size());
    src.image.pixels = src.bytes.data();
    src.image.width = kWidth;
    src.image.height = kHeight;
    src.image.size = uint32_t(src.bytes.size());
    src.image.pixelType = format;
    return src;
}

using Conversion = int (*)(const SimConvert::Image&, void*, uint64_t);

void convertMono(benchmark::State& state, Conversion Convert, int OutBytes, uint32_t format)
{
    const Source src = makeSource(format);
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * OutBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Convert(src.image, dst.data(), dst.size()));
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// Bayer to four bytes (blue, green, red, 0xFF) or three bytes per pixel, on
// one thread or in bands on several as the SDK's export converts.
void bayerToBgr(benchmark::State& state, uint32_t format, int bytesPerPixel, unsigned threads = 1)
{
    const Source src = makeSource(format);
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * bytesPerPixel);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SimConvert::colorToBgr(src.image, dst.data(), dst.size(), bytesPerPixel, threads));
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void bayerToBgrx(benchmark::State& state, uint32_t format) { bayerToBgr(state, format, 4); }

// As the viewer converts a stream: on the export's threads, each frame from
// the next of five camera buffers into the other of two display buffers.
void bayerToBgrxStream(benchmark::State& state, uint32_t format)
{
    const Source src = makeSource(format);
    std::vector<std::vector<uint8_t>> frames(5, src.bytes);
    std::vector<std::vector<uint8_t>> displays(2, std::vector<uint8_t>(size_t(kWidth) * kHeight * 4));
    SimConvert::Image image = src.image;
    size_t n = 0;
    for (auto _ : state) {
        image.pixels = frames[n % frames.size()].data();
        std::vector<uint8_t>& dst = displays[n % displays.size()];
        ++n;
        benchmark::DoNotOptimize(SimConvert::colorToBgr(image, dst.data(), dst.size(), 4, SimConvert::defaultThreads()));
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void renderFrame(benchmark::State& state, uint32_t format)
{
    SimImageGenerator gen;
    SimImageSettings s;
    s.sensorWidth = s.width = kWidth;
    s.sensorHeight = s.height = kHeight;
    s.pixelFormat = format;
    gen.configure(s);
    std::vector<uint8_t> frame(gen.imageBytes());
    uint64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gen.render(++n, frame.data(), frame.size()));
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Images per second the stream delivers with the viewer's five buffers: the
// camera runs free, one thread waits and queues each buffer straight back.
void streamFiveBuffers(benchmark::State& state, uint32_t format)
{
    quillan::StreamState stream;
    quillan::StreamState::Hooks hooks;
    hooks.imageSettings = [format](SimImageSettings& s) {
        s.sensorWidth = s.width = kWidth;
        s.sensorHeight = s.height = kHeight;
        s.pixelFormat = format;
        return true;
    };
    stream.setHooks(hooks);
    stream.setFrameRate(100000);
    const uint32_t payload = stream.payloadSize(false);
    for (int i = 0; i < 5; ++i) {
        ORV_BUFFER_HANDLE h = 0;
        stream.announce(nullptr, payload, nullptr, &h);
        stream.queue(h);
    }
    stream.start(0, ~0ull);
    stream.acquisitionStart();
    for (auto _ : state) {
        void* user;
        ORV_BUFFER_HANDLE h;
        if (stream.wait(&user, &h, 5000) != 0) {
            state.SkipWithError("no image");
            break;
        }
        stream.queue(h);
    }
    stream.acquisitionStop();
    stream.stop(0);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["lost"] = double(stream.lostFrameCount());
}

} // namespace

namespace PF = SimPixelFormat;

BENCHMARK_CAPTURE(convertMono, Mono12To8, SimConvert::word16To8, 1, uint32_t(PF::Mono12))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(convertMono, Mono16To8, SimConvert::word16To8, 1, uint32_t(PF::Mono16))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(convertMono, Mono12PackedTo8, SimConvert::packed12To8, 1, uint32_t(PF::Mono12Packed))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(convertMono, Mono12PackedTo16, SimConvert::packed12To16, 2, uint32_t(PF::Mono12Packed))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerGR8, uint32_t(PF::BayerGR8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG8, uint32_t(PF::BayerRG8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerGB8, uint32_t(PF::BayerGB8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerBG8, uint32_t(PF::BayerBG8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerGR16, uint32_t(PF::BayerGR16))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG16, uint32_t(PF::BayerRG16))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerGB16, uint32_t(PF::BayerGB16))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerBG16, uint32_t(PF::BayerBG16))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG12, uint32_t(PF::BayerRG12))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG12Packed, uint32_t(PF::BayerRG12Packed))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgr, BayerRG8, uint32_t(PF::BayerRG8), 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgr, BayerRG16, uint32_t(PF::BayerRG16), 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bayerToBgr, BayerRG8_exportThreads, uint32_t(PF::BayerRG8), 4, SimConvert::defaultThreads())
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrxStream, BayerRG8_exportThreads, uint32_t(PF::BayerRG8))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(renderFrame, Mono8, uint32_t(PF::Mono8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(renderFrame, Mono12, uint32_t(PF::Mono12))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(streamFiveBuffers, Mono8, uint32_t(PF::Mono8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();

// Conversions of one 2448 x 2048 frame in megapixels per second of wall
// time: on one thread, or in bands on the thread count the SDK's exports use
// (the cases named defaultThreads); the stream case through the export the
// viewer calls. Beside them, the frame rate at which the simulated camera
// produces images, also per second of wall time.
#include "QuillanExports.h"
#include "SimConvert.h"
#include "SimImageGenerator.h"
#include "SimPixelFormat.h"
#include "StreamState.h"

#include <benchmark/benchmark.h>

#include <chrono>
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

using Clock = std::chrono::steady_clock;

// `name`: what one iteration makes (`perIteration`), per second of wall time
// since `start`, when the loop has ended.
void perWallSecond(benchmark::State& state, const char* name, double perIteration, Clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters[name] = seconds > 0 ? perIteration * double(state.iterations()) / seconds : 0.0;
}

using Conversion = int (*)(const SimConvert::Image&, void*, uint64_t);

void convertMono(benchmark::State& state, Conversion Convert, int OutBytes, uint32_t format)
{
    const Source src = makeSource(format);
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * OutBytes);
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Convert(src.image, dst.data(), dst.size()));
        benchmark::ClobberMemory();
    }
    perWallSecond(state, "MP/s", double(kWidth) * kHeight * 1e-6, start);
}

// Bayer to four bytes (blue, green, red, 0xFF) or three bytes per pixel, on
// one thread or in bands on several.
void bayerToBgr(benchmark::State& state, uint32_t format, int bytesPerPixel, unsigned threads = 1)
{
    const Source src = makeSource(format);
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * bytesPerPixel);
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SimConvert::colorToBgr(src.image, dst.data(), dst.size(), bytesPerPixel, threads));
        benchmark::ClobberMemory();
    }
    perWallSecond(state, "MP/s", double(kWidth) * kHeight * 1e-6, start);
}

void bayerToBgrx(benchmark::State& state, uint32_t format, unsigned threads = 1)
{
    bayerToBgr(state, format, 4, threads);
}

// As the viewer converts a stream: through the export OrvUtilBufferBayerToRGB32,
// each frame from the next of five camera buffers into the other of two
// display buffers.
void exportBayerToRgb32Stream(benchmark::State& state, uint32_t format)
{
    const Source src = makeSource(format);
    std::vector<std::vector<uint8_t>> frames(5, src.bytes);
    std::vector<std::vector<uint8_t>> displays(2, std::vector<uint8_t>(size_t(kWidth) * kHeight * 4));
    ORV_BUFFER_INFO record{};
    record.width = kWidth;
    record.height = kHeight;
    record.size = uint32_t(src.bytes.size());
    record.pixelType = format;
    size_t n = 0;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        record.pixels = frames[n % frames.size()].data();
        std::vector<uint8_t>& dst = displays[n % displays.size()];
        ++n;
        if (OrvUtilBufferBayerToRGB32(record, dst.data(), uint32_t(dst.size())) != 0) {
            state.SkipWithError("the export refused the image");
            break;
        }
        benchmark::ClobberMemory();
    }
    perWallSecond(state, "MP/s", double(kWidth) * kHeight * 1e-6, start);
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
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(gen.render(++n, frame.data(), frame.size()));
        benchmark::ClobberMemory();
    }
    perWallSecond(state, "fps", 1.0, start);
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
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        void* user;
        ORV_BUFFER_HANDLE h;
        if (stream.wait(&user, &h, 5000) != 0) {
            state.SkipWithError("no image");
            break;
        }
        stream.queue(h);
    }
    perWallSecond(state, "fps", 1.0, start);
    stream.acquisitionStop();
    stream.stop(0);
    state.counters["lost"] = double(stream.lostFrameCount());
}

} // namespace

namespace PF = SimPixelFormat;

BENCHMARK_CAPTURE(convertMono, Mono12To8, SimConvert::word16To8, 1, uint32_t(PF::Mono12))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertMono, Mono16To8, SimConvert::word16To8, 1, uint32_t(PF::Mono16))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertMono, Mono12PackedTo8, SimConvert::packed12To8, 1, uint32_t(PF::Mono12Packed))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertMono, Mono12PackedTo16, SimConvert::packed12To16, 2, uint32_t(PF::Mono12Packed))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerGR8, uint32_t(PF::BayerGR8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG8, uint32_t(PF::BayerRG8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerGB8, uint32_t(PF::BayerGB8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerBG8, uint32_t(PF::BayerBG8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerGR16, uint32_t(PF::BayerGR16))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG16, uint32_t(PF::BayerRG16))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerGB16, uint32_t(PF::BayerGB16))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerBG16, uint32_t(PF::BayerBG16))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG12, uint32_t(PF::BayerRG12))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG12Packed, uint32_t(PF::BayerRG12Packed))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgr, BayerRG8, uint32_t(PF::BayerRG8), 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgr, BayerRG16, uint32_t(PF::BayerRG16), 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(bayerToBgrx, BayerRG8_defaultThreads, uint32_t(PF::BayerRG8), SimConvert::defaultThreads())
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(exportBayerToRgb32Stream, BayerRG8, uint32_t(PF::BayerRG8))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(renderFrame, Mono8, uint32_t(PF::Mono8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(renderFrame, Mono12, uint32_t(PF::Mono12))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(streamFiveBuffers, Mono8, uint32_t(PF::Mono8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();

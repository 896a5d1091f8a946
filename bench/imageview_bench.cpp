// Time to paint one 2448 x 2048 camera frame (Mono8 and BGRX) into a
// 1920 x 1080 image view, at fit zoom and at 100 %, as one paint event does.

#include "BenchApp.h"
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

#include <cmath>
#include <cstring>
#include <vector>

#include "OrvSdk.h"
#include "ZelImageViewController.h"
#include "ZelImageViewRendererPainter.h"

namespace {

constexpr int kImageWidth = 2448;
constexpr int kImageHeight = 2048;
constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;

void paintFrame(benchmark::State& state, bool colour, bool fit)
{
    const int bpp = colour ? 4 : 1;
    std::vector<uint8_t> pixels(size_t(kImageWidth) * kImageHeight * bpp);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 31 + i / 4096);
    ORV_BUFFER_INFO info;
    std::memset(&info, 0, sizeof(info));
    info.pixels = pixels.data();
    info.width = kImageWidth;
    info.height = kImageHeight;
    info.size = uint32_t(pixels.size());
    info.pixelType = colour ? 0x01080009 : 0x01080001;

    QScrollBar vertical(Qt::Vertical);
    QScrollBar horizontal(Qt::Horizontal);
    QLabel label;
    ZelImageViewRendererPainter renderer;
    renderer.resize(kViewWidth, kViewHeight);
    ZelImageViewController controller(&vertical, &horizontal, &renderer, &label);
    // Fit zoom as the view computes it: the largest 1.25 % step that fits.
    double zoom = 1.0;
    if (fit) {
        const double f = std::min(double(kViewWidth) / kImageWidth, double(kViewHeight) / kImageHeight) * 100.0;
        zoom = (f - std::fmod(f, 1.25)) / 100.0;
    }
    controller.setZoom(zoom);
    controller.setImageSize(kImageWidth, kImageHeight, zoom);
    controller.setImage(info);
    horizontal.setValue(horizontal.maximum() / 2);
    vertical.setValue(vertical.maximum() / 2);

    // The window surface of an opaque widget.
    QImage surface(kViewWidth, kViewHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&surface);
        renderer.paintView(painter, renderer.sourceRect());
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
        benchmark::ClobberMemory();
    }
    state.counters["paints/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(QString("zoom %1 %").arg(zoom * 100.0).toStdString());
}

void BM_PaintMono8Fit(benchmark::State& state) { paintFrame(state, false, true); }
void BM_PaintMono8At100(benchmark::State& state) { paintFrame(state, false, false); }
void BM_PaintBgrxFit(benchmark::State& state) { paintFrame(state, true, true); }
void BM_PaintBgrxAt100(benchmark::State& state) { paintFrame(state, true, false); }

BENCHMARK(BM_PaintMono8Fit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PaintMono8At100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PaintBgrxFit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PaintBgrxAt100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInApplication(argc, argv);
}

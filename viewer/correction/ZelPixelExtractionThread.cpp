#include "ZelPixelExtractionThread.h"

#include "ZelUtil.h"

#include <algorithm>
#include <cstring>

namespace {

enum class Memory { None, First, Second };

struct Sampling
{
    Memory memory = Memory::None;
    int bytes = 1;  // 1: bytes, 2: 16-bit words
    int shift = 0;
};

Sampling samplingFor(uint64_t format)
{
    const int bits = ZelUtil::GetBitsPerPixel(format);
    const bool colour = ZelUtil::IsColorFormat(format);
    switch (bits) {
    case 8: return {colour ? Memory::Second : Memory::First, 1, 0};
    case 12: return {Memory::Second, 2, 4};
    case 16: return {Memory::Second, 2, 0};
    default: return {};
    }
}

// Channel (0 red, 1 green, 2 blue) of each site of a 2 x 2 cell, indexed
// [row & 1][column & 1] from the image origin.
struct BayerSites
{
    int site[2][2];
};

BayerSites sitesFor(uint64_t format)
{
    switch (uint32_t(format)) {
    case 0x01080008: case 0x0110000C: case 0x01100010: case 0x010C002A: case 0x0110002E:  // GR
        return {{{1, 0}, {2, 1}}};
    case 0x0108000B: case 0x0110000F: case 0x01100013: case 0x010C002D: case 0x01100031:  // BG
        return {{{2, 1}, {1, 0}}};
    case 0x0108000A: case 0x0110000E: case 0x01100012: case 0x010C002C: case 0x01100030:  // GB
        return {{{1, 2}, {0, 1}}};
    default:  // RG, and any other colour format
        return {{{0, 1}, {1, 2}}};
    }
}

// Partial counters keep a flat image from chaining every increment on one
// counter; they are 32-bit and flushed before they can overflow.
constexpr int Lanes = 4;

template <typename T>
void countMono(const T* base, size_t stride, const QRect& aoi, int shift, uint32_t max,
               qulonglong* out, std::vector<uint32_t>& scratch)
{
    const size_t bins = size_t(max) + 1;
    scratch.assign(bins * Lanes, 0);
    uint32_t* lane[Lanes];
    for (int i = 0; i < Lanes; ++i)
        lane[i] = scratch.data() + bins * size_t(i);
    const auto flush = [&] {
        for (size_t v = 0; v < bins; ++v) {
            out[v] += qulonglong(lane[0][v]) + lane[1][v] + lane[2][v] + lane[3][v];
            lane[0][v] = lane[1][v] = lane[2][v] = lane[3][v] = 0;
        }
    };
    const size_t width = size_t(aoi.width());
    uint64_t sinceFlush = 0;
    for (int r = 0; r < aoi.height(); ++r) {
        if (sinceFlush + width > 0xFFFFFFFFull) {
            flush();
            sinceFlush = 0;
        }
        const T* row = base + size_t(aoi.top() + r) * stride + size_t(aoi.left());
        size_t c = 0;
        if (shift == 0 && max + 1 >= (1u << (8 * sizeof(T)))) {
            // Every sample is in range: no compare needed.
            for (; c + Lanes <= width; c += Lanes) {
                ++lane[0][row[c]];
                ++lane[1][row[c + 1]];
                ++lane[2][row[c + 2]];
                ++lane[3][row[c + 3]];
            }
            for (; c < width; ++c)
                ++lane[0][row[c]];
        } else {
            for (; c < width; ++c) {
                const uint32_t v = uint32_t(row[c]) >> shift;
                if (v <= max)
                    ++lane[c % Lanes][v];
            }
        }
        sinceFlush += width;
    }
    flush();
}

template <typename T>
void countBayer(const T* base, size_t stride, const QRect& aoi, int shift, uint32_t max,
                const BayerSites& sites, qulonglong* const out[3])
{
    const int left = aoi.left();
    const int width = aoi.width();
    for (int r = 0; r < aoi.height(); ++r) {
        const int y = aoi.top() + r;
        const T* row = base + size_t(y) * stride + size_t(left);
        // Sites alternate along a row: one array for even, one for odd columns.
        qulonglong* const first = out[sites.site[y & 1][left & 1]];
        qulonglong* const second = out[sites.site[y & 1][(left + 1) & 1]];
        int c = 0;
        for (; c + 1 < width; c += 2) {
            const uint32_t a = uint32_t(row[c]) >> shift;
            const uint32_t b = uint32_t(row[c + 1]) >> shift;
            if (a <= max)
                ++first[a];
            if (b <= max)
                ++second[b];
        }
        if (c < width) {
            const uint32_t a = uint32_t(row[c]) >> shift;
            if (a <= max)
                ++first[a];
        }
    }
}

} // namespace

ZelPixelExtractionThread::ZelPixelExtractionThread(QObject* parent)
    : ZelWorkerThread(parent)
{
}

ZelPixelExtractionThread::~ZelPixelExtractionThread()
{
    {
        // The flag is set and the wake given under the mutex the worker waits
        // with, so the wake cannot fall between its test and its wait.
        std::lock_guard<std::mutex> lock(dataMutex);
        stopping = true;
        wakeUp.notify_all();
    }
    joinRun();
}

bool ZelPixelExtractionThread::Start(int priority)
{
    if (isRunning())
        return false;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        stopping = false;
    }
    beginRun();
    start(QThread::Priority(priority));
    return true;
}

void ZelPixelExtractionThread::setImage(const ORV_BUFFER_INFO& record, const QRect& newAoi, qint64 newPixelSize)
{
    ORV_BUFFER_INFO info = record;
    info.pixelType = ZelUtil::GetStreamPixelFormat(uint32_t(record.pixelType), uint32_t(record.pixelType >> 32));
    const Sampling sampling = samplingFor(info.pixelType);
    const size_t bytes = size_t(info.width) * info.height * size_t(sampling.bytes);
    const void* source = sampling.memory == Memory::First ? record.pixels
                       : sampling.memory == Memory::Second ? record.secondBlock : nullptr;

    std::lock_guard<std::mutex> lock(dataMutex);
    // The worker releases its snapshot under this mutex, so a snapshot only
    // this object holds can be filled in place.
    if (!latest || latest.use_count() > 1)
        latest = std::make_shared<Snapshot>();
    Snapshot& snap = *latest;
    std::vector<uint8_t>& target = sampling.memory == Memory::First ? snap.first : snap.second;
    (sampling.memory == Memory::First ? snap.second : snap.first).clear();
    if (source && bytes > 0) {
        target.resize(bytes);
        std::memcpy(target.data(), source, bytes);
    } else {
        target.clear();
    }
    snap.info = info;
    snap.info.pixels = snap.first.empty() ? nullptr : snap.first.data();
    snap.info.secondBlock = snap.second.empty() ? nullptr : snap.second.data();
    if (newAoi.isValid())
        aoi = newAoi;
    if (newPixelSize != 0)
        pixelSize = newPixelSize;
    pending = true;
    wakeUp.notify_all();
}

void ZelPixelExtractionThread::setAOI(const QRect& newAoi)
{
    std::lock_guard<std::mutex> lock(dataMutex);
    aoi = newAoi;
    pending = true;
    wakeUp.notify_all();
}

bool ZelPixelExtractionThread::countPixels(const ORV_BUFFER_INFO& image, const QRect& aoi, qulonglong* const counts[3])
{
    const uint64_t format = image.pixelType;
    const Sampling sampling = samplingFor(format);
    const int max = ZelUtil::GetMaxPixelValue(format);
    if (sampling.memory == Memory::None || max <= 0 || !aoi.isValid())
        return false;
    if (aoi.left() < 0 || aoi.top() < 0 || int64_t(aoi.left()) + aoi.width() > int64_t(image.width)
        || int64_t(aoi.top()) + aoi.height() > int64_t(image.height))
        return false;
    const void* memory = sampling.memory == Memory::First ? image.pixels : image.secondBlock;
    const bool colour = ZelUtil::IsColorFormat(format);
    if (!memory || !counts[0] || (colour && (!counts[1] || !counts[2])))
        return false;

    thread_local std::vector<uint32_t> scratch;
    const size_t stride = image.width;
    if (colour) {
        const BayerSites sites = sitesFor(format);
        if (sampling.bytes == 1)
            countBayer(static_cast<const uint8_t*>(memory), stride, aoi, sampling.shift, uint32_t(max), sites, counts);
        else
            countBayer(static_cast<const uint16_t*>(memory), stride, aoi, sampling.shift, uint32_t(max), sites, counts);
    } else if (sampling.bytes == 1) {
        countMono(static_cast<const uint8_t*>(memory), stride, aoi, sampling.shift, uint32_t(max), counts[0], scratch);
    } else {
        countMono(static_cast<const uint16_t*>(memory), stride, aoi, sampling.shift, uint32_t(max), counts[0], scratch);
    }
    return true;
}

void ZelPixelExtractionThread::run()
{
    std::vector<qulonglong> arrays[3];
    for (;;) {
        std::shared_ptr<Snapshot> snap;
        QRect countAoi;
        {
            std::unique_lock<std::mutex> lock(dataMutex);
            wakeUp.wait(lock, [this] { return stopping || pending; });
            if (stopping)
                break;
            pending = false;
            snap = latest;
            countAoi = aoi;
        }
        if (snap) {
            const uint64_t format = snap->info.pixelType;
            const int max = ZelUtil::GetMaxPixelValue(format);
            const int channels = ZelUtil::IsColorFormat(format) ? 3 : 1;
            if (max > 0) {
                qulonglong* counts[3] = {nullptr, nullptr, nullptr};
                for (int i = 0; i < 3; ++i) {
                    if (i < channels) {
                        arrays[i].assign(size_t(max) + 1, 0);
                        counts[i] = arrays[i].data();
                    } else {
                        arrays[i].clear();
                    }
                }
                if (countPixels(snap->info, countAoi, counts))
                    emit pixelCountReady(countAoi, counts[0], counts[1], counts[2], format, max + 1);
            }
        }
        // Released under the mutex, so setImage sees when it may refill it.
        std::lock_guard<std::mutex> lock(dataMutex);
        snap.reset();
    }
    endRun();
}

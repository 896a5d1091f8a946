#include "ZelAcqThreadConsumer.h"

#include "ZelAcqBufferManager.h"
#include "ZelAcqThreadProducer.h"
#include "ZelSdkLoader.h"
#include "ZelTrace.h"
#include "ZelUtil.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const runName = "ZelAcqThreadConsumer::run";
const char* const consumeName = "ZelAcqThreadConsumer::_consumeNewImage";

// Whether a display buffer was made for images of this size and format.
bool madeFor(const ZelAcqBuffer* display, const ORV_BUFFER_INFO& image)
{
    if (!display)
        return false;
    const ORV_BUFFER_INFO current = display->GetInfo();
    return current.width == image.width && current.height == image.height && current.pixelType == image.pixelType;
}

ZelAcqBuffer* newDisplayBuffer(const ORV_BUFFER_INFO& image)
{
    return new ZelAcqBuffer(image.width, image.height, uint32_t(image.pixelType), uint32_t(image.pixelType >> 32));
}

void boundedCopy(void* destination, uint64_t destinationSize, const void* source, uint64_t sourceSize,
                 uint64_t wanted)
{
    const uint64_t bytes = std::min({destinationSize, sourceSize, wanted});
    if (destination && source && bytes > 0)
        std::memcpy(destination, source, size_t(bytes));
}

} // namespace

ZelAcqThreadConsumer::ZelAcqThreadConsumer(ZelAcqEngine* engine, ZelAcqBufferManager* bufferManager,
                                           QObject* parent)
    : ZelWorkerThread(parent)
    , engine(engine)
    , bufferManager(bufferManager)
{
}

ZelAcqThreadConsumer::~ZelAcqThreadConsumer()
{
    requestStop();
    joinRun();
    delete displayBuffers[0];
    delete displayBuffers[1];
    delete spareDisplay;
}

bool ZelAcqThreadConsumer::start(QThread::Priority priority)
{
    if (isRunning())
        return false;
    windowImages = 0;
    reportTimer.invalidate();
    // The display buffers stay: the GUI may still show the last image of the
    // previous run from one of them.
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        pendingSet = false;
        pending = nullptr;
        deliveryAborted = false;
    }
    beginRun();
    QThread::start(priority);
    return true;
}

void ZelAcqThreadConsumer::requestStop()
{
    ZelWorkerThread::requestStop();
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        deliveryAborted = true;
        pendingSet = false;
        pending = nullptr;
        deliveryCondition.notify_all();
    }
    bufferManager->PushReady(nullptr);
}

void ZelAcqThreadConsumer::run()
{
    ZelTrace(ZEL_TRACE_DEBUG, "%s Entry!", runName);
    // Bounds display work to about 60 images a second: a cycle, the wait for
    // the image included, that ends within 16 ms sleeps until its 16 ms are
    // up. The next cycle counts from then rather than from the wake-up, so
    // that neither the conversion's time nor a late wake-up takes the display
    // below a camera's 60 images a second.
    using Clock = std::chrono::steady_clock;
    constexpr auto cycle = std::chrono::milliseconds(16);
    Clock::time_point start = Clock::now();
    while (!stopRequested()) {
        if (!consumeNewImage()) {
            start = Clock::now();
            continue;
        }
        const Clock::time_point due = start + cycle;
        if (Clock::now() < due) {
            pauseUntil(due);
            start = due;
        } else {
            start = Clock::now();
        }
    }
    ZelTrace(ZEL_TRACE_DEBUG, "%s Exit!", runName);
    endRun();
}

ZelAcqBuffer* ZelAcqThreadConsumer::displayBufferFor(int index, const ORV_BUFFER_INFO& image)
{
    ZelAcqBuffer*& display = displayBuffers[index];
    if (madeFor(display, image))
        return display;
    // Not the buffer the GUI holds, so it can go.
    delete display;
    if (madeFor(spareDisplay, image)) {
        display = spareDisplay;
    } else {
        // Prepared for images that did not come.
        delete spareDisplay;
        display = newDisplayBuffer(image);
    }
    spareDisplay = nullptr;
    return display;
}

void ZelAcqThreadConsumer::PrepareDisplayBuffers(const ORV_BUFFER_INFO& image)
{
    if (isRunning() || image.width == 0 || image.height == 0 || !ZelUtil::IsSupportedFormat(image.pixelType))
        return;
    int held;
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        held = shownIndex;
    }
    for (int index = 0; index < 2; ++index) {
        if (madeFor(displayBuffers[index], image))
            continue;
        if (index != held) {
            delete displayBuffers[index];
            displayBuffers[index] = newDisplayBuffer(image);
        } else if (!madeFor(spareDisplay, image)) {
            delete spareDisplay;
            spareDisplay = newDisplayBuffer(image);
        }
    }
}

bool ZelAcqThreadConsumer::Convert(const ORV_BUFFER_INFO& image, ZelAcqBuffer* display)
{
    const ORV_BUFFER_INFO target = display->GetInfo();
    if (!target.pixels)
        return false;
    const uint64_t pixels = uint64_t(image.width) * image.height;
    const uint32_t secondSize = display->SecondBlockSize();
    const int bits = ZelUtil::GetBitsPerPixel(image.pixelType);
    if (ZelUtil::IsColorFormat(image.pixelType)) {
        OrvUtilBufferBayerToRGB32(image, target.pixels, target.size);
        if (bits == 12)
            OrvUtilBuffer12BitTo16Bit(image, target.secondBlock, std::min<uint32_t>(secondSize, uint32_t(2 * pixels)));
        else
            boundedCopy(target.secondBlock, secondSize, image.pixels, image.size, image.size);
    } else if (bits == 8) {
        boundedCopy(target.pixels, target.size, image.pixels, image.size, target.size);
    } else if (bits == 12) {
        OrvUtilBuffer12BitTo8Bit(image, target.pixels, target.size);
        OrvUtilBuffer12BitTo16Bit(image, target.secondBlock, std::min<uint32_t>(secondSize, uint32_t(2 * pixels)));
    } else if (bits == 16) {
        OrvUtilBuffer16BitTo8Bit(image, target.pixels, target.size);
        boundedCopy(target.secondBlock, secondSize, image.pixels, image.size, 2 * pixels);
    }
    return true;
}

bool ZelAcqThreadConsumer::consumeNewImage()
{
    ZelAcqBuffer* buffer = bufferManager->WaitForReady();
    if (!buffer)
        return false;

    const ORV_BUFFER_INFO image = buffer->GetInfo();
    if (image.width == 0 || image.height == 0 || !image.pixels) {
        ZelTrace(ZEL_TRACE_ERROR, "%s GetBufferInfo Failed (ignore)!", consumeName);
        bufferManager->Queue(buffer);
        return true;
    }
    if (!ZelUtil::IsSupportedFormat(image.pixelType)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Unusupported format (ignore)!", consumeName);
        bufferManager->Queue(buffer);
        handOver(nullptr);
        return true;
    }
    // Never read past what arrived.
    if (image.size < ZelAcqBuffer::DeliveredImageSize(image.width, image.height, image.pixelType)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Incomplete image (ignore)!", consumeName);
        bufferManager->Queue(buffer);
        return true;
    }

    int index;
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        index = shownIndex == 0 ? 1 : 0;
    }
    ZelAcqBuffer* display = displayBufferFor(index, image);
    if (!Convert(image, display)) {
        ZelTrace(ZEL_TRACE_ERROR, "%s No memory for the display image (ignore)!", consumeName);
        bufferManager->Queue(buffer);
        return true;
    }
    buffer->SetDisplayBuffer(display);
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        pendingIndex = index;
    }
    if (!handOver(buffer))
        return true;
    bufferManager->SetInUse(buffer);
    reportDisplayRate();
    return true;
}

bool ZelAcqThreadConsumer::handOver(ZelAcqBuffer* buffer)
{
    std::unique_lock<std::mutex> lock(deliveryMutex);
    if (deliveryAborted)
        return false;
    pending = buffer;
    pendingSet = true;
    QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    deliveryCondition.wait(lock, [this] { return (!pendingSet && !delivering) || deliveryAborted; });
    return !deliveryAborted;
}

void ZelAcqThreadConsumer::deliver()
{
    ZelAcqBuffer* buffer;
    double rate;
    {
        std::lock_guard<std::mutex> lock(deliveryMutex);
        if (!pendingSet || deliveryAborted)
            return;
        rate = displayRate;
        displayRate = -1;
        buffer = pending;
        pending = nullptr;
        pendingSet = false;
        delivering = true;
        if (buffer)
            shownIndex = pendingIndex;
    }
    emit imageReady(buffer);
    if (rate >= 0)
        emit frameRateReady(QString::number(rate, 'f', 1));
    std::lock_guard<std::mutex> lock(deliveryMutex);
    delivering = false;
    deliveryCondition.notify_all();
}

void ZelAcqThreadConsumer::reportDisplayRate()
{
    const qint64 ms = rateTimer.isValid() ? rateTimer.elapsed() : 0;
    if (ms != 0 && (!reportTimer.isValid() || reportTimer.elapsed() >= ZelAcqThreadProducer::RateReportIntervalMs)) {
        reportTimer.start();
        std::lock_guard<std::mutex> lock(deliveryMutex);
        displayRate = double(windowImages) / (ms / 1000.0);
    }
    if (windowImages % 100 == 0) {
        rateTimer.start();
        windowImages = 1;
    } else {
        windowImages += 1;
    }
}

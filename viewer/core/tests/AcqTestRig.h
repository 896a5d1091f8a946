// A data stream of a simulated camera with an acquisition engine, whose
// signals are recorded while the test spins the event loop.
#ifndef ACQTESTRIG_H
#define ACQTESTRIG_H

#include "TestHome.h"
#include "SimSdk.h"
#include "ZelAcqBuffer.h"
#include "ZelAcqEngine.h"
#include "ZelAcqThreadConsumer.h"
#include "ZelAcqThreadProducer.h"
#include "ZelStartup.h"
#include "ZelUtil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <functional>
#include <memory>
#include <string>

// Every signal of one engine, as received on the GUI thread.
struct AcqRecord {
    QList<ZelAcqBufferPtr> images; // null entries included
    QList<quint64> imageIds;       // as each image arrived
    int nullImages = 0;
    QStringList lost;
    QStringList frameRates;
    QStringList dataRates;
    QList<int> errors;
    int produced = 0;
    int saved = 0;
    // Display buffers the GUI holds: the one of the last image.
    ZelAcqBuffer* shownDisplay = nullptr;
    // Set when an image arrived whose display buffer was rewritten or freed
    // while the previous image still referred to it.
    bool displayReused = false;

    // Lives on the test's thread, so every signal arrives there.
    QObject receiver;

    void watch(ZelAcqEngine* engine)
    {
        QObject* r = &receiver;
        QObject::connect(engine->Consumer(), &ZelAcqThreadConsumer::imageReady, r, [this](ZelAcqBufferPtr buffer) {
            images.append(buffer);
            if (!buffer) {
                ++nullImages;
                return;
            }
            imageIds.append(buffer->GetInfo().imageId);
            ZelAcqBuffer* display = buffer->GetDisplayBuffer();
            if (display && display == shownDisplay && images.size() > 1)
                displayReused = true;
            shownDisplay = display;
        });
        ZelAcqThreadProducer* producer = engine->Producer();
        QObject::connect(producer, &ZelAcqThreadProducer::imageLost, r, [this](const QString& n) { lost << n; });
        QObject::connect(producer, &ZelAcqThreadProducer::frameRateReady, r,
                         [this](const QString& rate) { frameRates << rate; });
        QObject::connect(producer, &ZelAcqThreadProducer::dataRateReady, r,
                         [this](const QString& rate) { dataRates << rate; });
        QObject::connect(producer, &ZelAcqThreadProducer::acquisitionError, r, [this](int e) { errors << e; });
        QObject::connect(producer, &ZelAcqThreadProducer::imageProduced, r, [this] { ++produced; });
        QObject::connect(producer, &ZelAcqThreadProducer::imageSaved, r, [this] { ++saved; });
    }
    int realImages() const { return images.size() - nullImages; }
};

// Spins the event loop until the condition holds; false after the time-out.
inline bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

inline void spinFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
}

// The application object and a private home folder for the settings.
inline void prepareAcqTestProcess(const char* name)
{
    static QTemporaryDir home;
    useTestHome(home.path());
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    ZelStartup::registerMetaTypes();
}

class AcqRig
{
public:
    explicit AcqRig(const std::string& device, const QString& producer = QStringLiteral("orv_gev_tl.cti"),
                    const QString& interfaceId = QStringLiteral("gev-if-0"))
        : deviceId(device)
    {
        sdk.control.run("fault.clear");
        camera = sdk.open(producer, interfaceId, QString::fromStdString(device));
        EXPECT_TRUE(sdk.ready());
        EXPECT_NE(camera.stream, 0u) << device;
        EXPECT_TRUE(sdk.problems().isEmpty()) << sdk.problems().join("\n").toStdString();
        engine = std::make_unique<ZelAcqEngine>(camera.remote, camera.stream);
        record.watch(engine.get());
    }
    ~AcqRig()
    {
        engine.reset();
        sdk.control.run("fault.clear");
        sdk.control.run("log.trace off");
        sdk.control.run("log.trace.clear");
    }

    // A test-control command that must succeed.
    std::string control(const std::string& command)
    {
        std::string reply;
        EXPECT_EQ(sdk.control.run(command, &reply), 0) << command << ": " << reply;
        return reply;
    }
    std::string stream(const std::string& verb, const std::string& arguments = std::string())
    {
        return control("stream." + verb + " " + deviceId + (arguments.empty() ? "" : " " + arguments));
    }

    ORV_DS_INFO info() const
    {
        ORV_DS_INFO ds{};
        OrvStreamGetInfo(camera.stream, &ds);
        return ds;
    }

    bool setRemote(const char* feature, qint64 value)
    {
        return ZelUtil::SetFeatureValue(camera.remote, feature, QVariant(value), false);
    }

    // A small sensor area, so the simulated camera runs fast.
    void smallImages()
    {
        EXPECT_TRUE(setRemote("Width", 320));
        EXPECT_TRUE(setRemote("Height", 240));
    }

    // Starts the stream and the camera's acquisition.
    bool start()
    {
        if (!engine->Start(~quint64(0)))
            return false;
        engine->ExecuteAcquisitionCommand(true);
        return true;
    }

    // In manual mode: asks for n images and waits until the stream made them
    // and the producer took every delivered one.
    bool frames(int n, uint64_t expectDelivered)
    {
        stream("frame", std::to_string(n));
        return spinUntil([&] {
            const ORV_DS_INFO ds = info();
            return ds.deliveredFrameCount >= expectDelivered && ds.awaitingDelivery == 0;
        });
    }

    std::string deviceId;
    SimSdk sdk;
    SimCameraHandles camera;
    std::unique_ptr<ZelAcqEngine> engine;
    AcqRecord record;
};

#endif // ACQTESTRIG_H

#include "CameraBinding.h"

#include "EventRecords.h"
#include "SimCamera.h"
#include "SimHooks.h"
#include "SimPixelFormat.h"
#include "SimWorld.h"

namespace quillan {

namespace {

// Cameras that deliver PFNC codes although the SDK has 16-bit types for
// some of their formats.
bool deliversPfnc(const SimCameraConfig& c) { return c.key == "G2" || c.key == "U2"; }

bool hasFileAccess(const SimCameraConfig& c) { return c.key == "G1"; }

HandleKind moduleKindOf(int32_t type)
{
    return type == ORV_EVENT_TYPE_DS_ACQUISITION ? HandleKind::Stream : HandleKind::Device;
}

void stopCamera(const std::shared_ptr<SimCamera>& camera, bool close)
{
    if (auto stream = camera->streamState) {
        stream->acquisitionStop();
        if (close)
            stream->close();
        else
            stream->stop(0);
    }
}

const bool hooked = [] {
    SimHooks& hooks = SimHooks::instance();
    hooks.onDeviceClosing([](const std::shared_ptr<SimCamera>& camera, uint32_t) {
        stopCamera(camera, true);
        if (auto events = camera->eventState)
            events->dropAll();
    });
    hooks.onConnection([](const std::shared_ptr<SimCamera>& camera, uint32_t state) {
        if (state == ConnectionDisconnected || state == ConnectionLost)
            stopCamera(camera, false);
        const auto record = connectionRecord(state, camera->deviceId());
        eventStateOf(camera)->post(HandleKind::Device, ORV_EVENT_TYPE_DEVICE_CONNECTION, &record);
    });
    hooks.onPowerUp([](const std::shared_ptr<SimCamera>& camera) {
        if (auto files = camera->fileStore) {
            const std::string version = files->takePendingFirmware();
            if (!version.empty())
                camera->setFirmwareVersion(version);
        }
    });
    hooks.onLibraryClosing([] {
        for (const auto& camera : SimWorld::instance().cameras()) {
            stopCamera(camera, true);
            if (auto events = camera->eventState)
                events->dropAll();
        }
    });
    return true;
}();

} // namespace

bool cameraImageSettings(const std::shared_ptr<SimCamera>& camera, SimImageSettings& s)
{
    const SimCameraConfig& c = camera->config();
    if (c.pixelFormats.empty())
        return false;
    s.sensorWidth = s.width = c.width;
    s.sensorHeight = s.height = c.height;
    const SimPixelFormat::Info* f = SimPixelFormat::findByName(c.pixelFormats.front().c_str());
    s.pixelFormat = f ? f->pfnc : uint32_t(SimPixelFormat::Mono8);
    s.colorSensor = f && f->color;
    if (auto stream = camera->streamState)
        stream->content().applyTo(s);
    return true;
}

void cameraTiming(const std::shared_ptr<SimCamera>&, StreamState::Timing& timing)
{
    timing = StreamState::Timing();
}

std::shared_ptr<StreamState> streamStateOf(const std::shared_ptr<SimCamera>& camera)
{
    return camera->ensure(camera->streamState, [&] {
        auto stream = std::make_shared<StreamState>();
        std::weak_ptr<SimCamera> weak = camera;
        StreamState::Hooks hooks;
        hooks.imageSettings = [weak](SimImageSettings& s) {
            auto cam = weak.lock();
            return cam && cameraImageSettings(cam, s);
        };
        hooks.timing = [weak](StreamState::Timing& t) {
            if (auto cam = weak.lock())
                cameraTiming(cam, t);
        };
        hooks.event = [weak](int32_t type, const void* record, size_t) {
            if (auto cam = weak.lock())
                eventStateOf(cam)->post(moduleKindOf(type), type, record);
        };
        stream->setHooks(std::move(hooks));
        stream->setDeliversSdkTypes(!deliversPfnc(camera->config()));
        return stream;
    });
}

std::shared_ptr<EventState> eventStateOf(const std::shared_ptr<SimCamera>& camera)
{
    return camera->ensure(camera->eventState, [&] { return std::make_shared<EventState>(camera->config().eventTypes); });
}

std::shared_ptr<FileStore> fileStoreOf(const std::shared_ptr<SimCamera>& camera)
{
    if (!hasFileAccess(camera->config()))
        return nullptr;
    return camera->ensure(camera->fileStore, [] { return std::make_shared<FileStore>(); });
}

} // namespace quillan

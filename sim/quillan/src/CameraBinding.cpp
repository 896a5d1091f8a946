#include "CameraBinding.h"

#include "EventRecords.h"
#include "FeatureStore.h"
#include "ShadingTable.h"
#include "SimCamera.h"
#include "SimHooks.h"
#include "SimPixelFormat.h"
#include "SimWorld.h"

namespace quillan {

namespace {

// Cameras that deliver PFNC codes although the SDK has 16-bit types for
// some of their formats.
bool deliversPfnc(const SimCameraConfig& c) { return c.key == "G2" || c.key == "U2"; }

HandleKind moduleKindOf(int32_t type)
{
    return type == ORV_EVENT_TYPE_DS_ACQUISITION ? HandleKind::Stream : HandleKind::Device;
}

void stopCamera(const std::shared_ptr<SimCamera>& camera, bool close)
{
    if (auto stream = existing(camera, camera->streamState)) {
        stream->acquisitionStop();
        if (close)
            stream->close();
        else
            stream->stop(0);
    }
}

const bool hooked = [] {
    SimHooks& hooks = SimHooks::instance();
    hooks.onDeviceOpened([](const std::shared_ptr<SimCamera>& camera, uint32_t) {
        if (camera->config().hasStream)
            bindFeatures(camera, streamStateOf(camera));
    });
    hooks.onDeviceClosing([](const std::shared_ptr<SimCamera>& camera, uint32_t) {
        stopCamera(camera, true);
        if (auto events = existing(camera, camera->eventState))
            events->dropAll();
    });
    hooks.onConnection([](const std::shared_ptr<SimCamera>& camera, uint32_t state) {
        if (state == ConnectionDisconnected || state == ConnectionLost)
            stopCamera(camera, false);
        const auto record = connectionRecord(state, camera->deviceId());
        eventStateOf(camera)->post(HandleKind::Device, ORV_EVENT_TYPE_DEVICE_CONNECTION, &record);
    });
    hooks.onPowerUp([](const std::shared_ptr<SimCamera>& camera) {
        if (auto files = existing(camera, camera->fileStore)) {
            const std::string version = files->takePendingFirmware();
            if (!version.empty())
                camera->setFirmwareVersion(version);
        }
    });
    hooks.onLibraryClosing([] {
        for (const auto& camera : SimWorld::instance().cameras()) {
            stopCamera(camera, true);
            if (auto events = existing(camera, camera->eventState))
                events->dropAll();
        }
    });
    return true;
}();

// The twelve values of the selected colour transformation while it is on
// (store lock held).
SimImageSettings::ColourTransform colourTransformOf(const SimFeatureStore& r)
{
    SimImageSettings::ColourTransform t;
    const SimFeature* enable = r.find("ColorTransformationEnable");
    const SimFeature* value = r.find("ColorTransformationValue");
    const SimFeature* index = r.find("ColorTransformationValueSelector");
    if (!enable || !value || !index || r.valueOf(enable->name).i == 0)
        return t;
    SimSelection sel = r.selectionOf(*value);
    for (size_t k = 0; k < sel.names.size(); ++k) {
        if (sel.names[k] != index->name)
            continue;
        for (const SimEnumEntry& e : index->entries) {
            if (e.value < 0 || e.value >= int64_t(t.values.size()))
                continue;
            sel.entries[k] = e.name;
            sel.values[k] = e.value;
            t.values[size_t(e.value)] = r.valueAt(*value, sel).f;
        }
        t.enabled = true;
    }
    return t;
}

} // namespace

bool cameraImageSettings(const std::shared_ptr<SimCamera>& camera, SimImageSettings& s, StreamState* stream)
{
    const SimCameraConfig& c = camera->config();
    if (!c.hasStream)
        return false;
    auto features = FeatureStore::ofCamera(camera);
    {
        SimFeatureStore& r = features->remote();
        std::lock_guard<std::mutex> lock(r.mutex());
        auto integer = [&](const char* name, int64_t fallback) { return r.find(name) ? r.intOf(name) : fallback; };
        auto real = [&](const char* name, double fallback) { return r.find(name) ? r.valueOf(name).f : fallback; };
        s.sensorWidth = uint32_t(integer("WidthMax", c.width));
        s.sensorHeight = uint32_t(integer("HeightMax", c.height));
        s.width = uint32_t(integer("Width", c.width));
        s.height = uint32_t(integer("Height", c.height));
        s.offsetX = uint32_t(integer("OffsetX", 0));
        s.offsetY = uint32_t(integer("OffsetY", 0));
        s.reverseX = integer("ReverseX", 0) != 0;
        s.reverseY = integer("ReverseY", 0) != 0;
        s.pixelFormat = uint32_t(integer("PixelFormat", SimPixelFormat::Mono8));
        s.pattern = int(integer("TestPattern", SimImageSettings::Off));
        s.exposureUs = real("ExposureTime", 10000.0);
        if (const SimFeature* e = r.find("ExposureTime"))
            s.referenceExposureUs = e->initialValue.f > 0 ? e->initialValue.f : 10000.0;
        s.gainDb = real("Gain", 0.0);
        s.colourTransform = colourTransformOf(r);
    }
    const SimPixelFormat::Info* f = SimPixelFormat::find(s.pixelFormat);
    s.colorSensor = f && f->color;
    features->fillCorrections(s);
    if (stream)
        stream->shading().apply(*features, s);
    if (stream)
        stream->content().applyTo(s);
    return s.width > 0 && s.height > 0;
}

void cameraTiming(const std::shared_ptr<SimCamera>& camera, StreamState::Timing& timing)
{
    timing = StreamState::Timing();
    auto features = FeatureStore::ofCamera(camera);
    SimFeatureStore& r = features->remote();
    std::lock_guard<std::mutex> lock(r.mutex());
    if (r.find("AcquisitionFrameRate"))
        timing.frameRate = r.valueOf("AcquisitionFrameRate").f;
    if (r.find("TriggerMode"))
        timing.triggered = r.intOf("TriggerMode") == 1;
    if (r.find("AcquisitionMode"))
        timing.singleFrame = r.intOf("AcquisitionMode") == 1;
}

void bindFeatures(const std::shared_ptr<SimCamera>& camera, const std::shared_ptr<StreamState>& stream)
{
    auto features = FeatureStore::ofCamera(camera);
    std::weak_ptr<StreamState> weak = stream;
    auto command = [weak](void (StreamState::*action)()) {
        SimExternalHooks hooks;
        hooks.execute = [weak, action](uint32_t) {
            auto s = weak.lock();
            if (!s)
                return int(ORV_ERROR_IO);
            ((*s).*action)();
            return int(ORV_SUCCESS);
        };
        return hooks;
    };
    auto counter = [weak](std::function<int64_t(StreamState&)> read) {
        SimExternalHooks hooks;
        hooks.get = [weak, read](SimValue& v) {
            auto s = weak.lock();
            if (!s)
                return int(ORV_ERROR_IO);
            v.i = read(*s);
            return int(ORV_SUCCESS);
        };
        return hooks;
    };
    features->setAcquiringProbe([weak] {
        auto s = weak.lock();
        return s && s->acquiring();
    });
    SimFeatureStore& remote = features->remote();
    remote.bindExternal("AcquisitionStart", command(&StreamState::acquisitionStart));
    remote.bindExternal("AcquisitionStop", command(&StreamState::acquisitionStop));
    remote.bindExternal("TriggerSoftware", command(&StreamState::softwareTrigger));
    remote.bindExternal("SeqTrigger", command(&StreamState::sequenceDone));
    remote.bindExternal("PayloadSize", counter([](StreamState& s) { return int64_t(s.payloadSize(true)); }));
    if (SimFeatureStore* st = features->stream()) {
        st->bindExternal("PayloadSize", counter([](StreamState& s) { return int64_t(s.payloadSize(false)); }));
        st->bindExternal("StreamLostFrameCount", counter([](StreamState& s) { return int64_t(s.lostFrameCount()); }));
        st->bindExternal("FrameLoss", counter([](StreamState& s) { return int64_t(s.frameLoss()); }));
        st->bindExternal("StreamAnnouncedBufferCount", counter([](StreamState& s) { return int64_t(s.announcedCount()); }));
        st->bindExternal("StreamDeliveredFrameCount", counter([](StreamState& s) { return int64_t(s.deliveredCount()); }));
    }
}

namespace {

std::shared_ptr<StreamState> makeStreamState(const std::shared_ptr<SimCamera>& camera)
{
    return camera->ensure(camera->streamState, [&] {
        auto stream = std::make_shared<StreamState>();
        std::weak_ptr<SimCamera> weak = camera;
        StreamState::Hooks hooks;
        StreamState* self = stream.get();  // the hooks live inside it
        hooks.imageSettings = [weak, self](SimImageSettings& s) {
            auto cam = weak.lock();
            return cam && cameraImageSettings(cam, s, self);
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

} // namespace

std::shared_ptr<StreamState> streamStateOf(const std::shared_ptr<SimCamera>& camera)
{
    auto stream = makeStreamState(camera);
    if (stream->claimBinding())
        bindFeatures(camera, stream);
    return stream;
}

std::shared_ptr<EventState> eventStateOf(const std::shared_ptr<SimCamera>& camera)
{
    return camera->ensure(camera->eventState, [&] { return std::make_shared<EventState>(camera->config().eventTypes); });
}

void refreshFileFeatures(const std::shared_ptr<SimCamera>& camera, FileStore& files)
{
    SimFeatureStore& r = FeatureStore::ofCamera(camera)->remote();
    for (const char* entry : {"Userfile", "Firmware", "UserSet1"}) {
        const auto list = files.list(entry);
        const std::string sel = std::string("[FileSelector=") + entry + "]";
        r.forceSet("FilenameCount" + sel, std::to_string(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string at = sel + "[FilenameIndex=" + std::to_string(i) + "]";
            r.forceSet("Filename" + at, list[i].name);
            r.forceSet("FileSize" + at, std::to_string(list[i].size));
        }
    }
    r.forceSet("FilesystemFreeSize", std::to_string(files.freeSize()));
}

std::shared_ptr<FileStore> fileStoreOf(const std::shared_ptr<SimCamera>& camera)
{
    auto features = FeatureStore::ofCamera(camera);
    if (!features->profile().fileAccess)
        return nullptr;
    return camera->ensure(camera->fileStore, [&] {
        auto files = std::make_shared<FileStore>();
        std::weak_ptr<SimCameraFeatures> weakFeatures = features;
        std::weak_ptr<SimCamera> weakCamera = camera;
        std::weak_ptr<FileStore> weakFiles = files;
        FileStore::Hooks hooks;
        hooks.readUserSet = [weakFeatures] {
            auto f = weakFeatures.lock();
            return f ? f->userSetText(1) : std::string();
        };
        hooks.writeUserSet = [weakFeatures](const std::string& text) {
            auto f = weakFeatures.lock();
            return f ? f->setUserSetText(1, text) : int(ORV_ERROR_IO);
        };
        hooks.resetUserSet = [weakFeatures] {
            if (auto f = weakFeatures.lock())
                f->resetUserSet(1);
        };
        hooks.changed = [weakCamera, weakFiles] {
            auto cam = weakCamera.lock();
            auto f = weakFiles.lock();
            if (cam && f)
                refreshFileFeatures(cam, *f);
        };
        files->setHooks(std::move(hooks));
        return files;
    });
}

} // namespace quillan

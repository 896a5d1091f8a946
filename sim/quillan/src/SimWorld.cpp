#include "SimWorld.h"

#include "OrvSdk.h"
#include "SimHooks.h"
#include "SimScheduler.h"
#include "SimText.h"
#include "SimWorldFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quillan {

namespace {

const char* const kMaker = "NORRIK-Ombrel";
const char* const kMakerTL = "NORRIK-OMBREL GmbH";
const char* const kOther = "Other Vendor Ltd";

SimInterfaceDesc gigeInterface(const std::string& id, const std::string& display,
                               const std::string& ip, const std::string& mask)
{
    return SimInterfaceDesc{id, display + " (" + ip + ")", "GEV", ip, mask, ""};
}

SimInterfaceDesc plainInterface(const std::string& id, const std::string& display, const std::string& tlType)
{
    return SimInterfaceDesc{id, display, tlType, "", "", ""};
}

std::vector<SimProducerDesc> builtInProducers()
{
    std::vector<SimProducerDesc> p;
    p.push_back({"orv_gev_tl.cti", kMakerTL, "GigE Vision Producer", "GEV", "2.5.15",
                 {gigeInterface("gev-if-0", "GigE adapter 0", "192.168.1.10", "255.255.255.0"),
                  gigeInterface("gev-if-1", "GigE adapter 1", "10.0.0.10", "255.0.0.0")}});
    p.push_back({"orv_gev_tl_rdma.cti", kMakerTL, "GigE Vision RDMA Producer", "GEV", "2.5.15",
                 {gigeInterface("rdma-if-0", "GigE RDMA adapter 0", "192.168.2.10", "255.255.255.0")}});
    p.push_back({"orv_gev_brox_tl.cti", kMakerTL, "GigE Vision Brox Producer", "GEV", "2.5.15",
                 {gigeInterface("brox-if-0", "GigE Brox adapter 0", "192.168.3.10", "255.255.255.0")}});
    p.push_back({"orv_u3v_tl.cti", kMakerTL, "USB3 Vision Producer", "U3V", "2.5.15",
                 {plainInterface("u3v-if-0", "USB3 host controller 0", "U3V")}});
    SimProducerDesc cl{"orv_cl_tl.cti", kMakerTL, "Camera Link Producer", "CL", "2.5.15", {}};
    for (int port = 0; port < 4; ++port)
        cl.interfaces.push_back(plainInterface("cl-port-" + std::to_string(port),
                                               "Camera Link port " + std::to_string(port) + " (ttyS"
                                                   + std::to_string(port) + ")",
                                               "CL"));
    p.push_back(cl);
    p.push_back({"orv_clhs_tl.cti", kMakerTL, "Camera Link HS Producer", "CLHS", "2.5.15",
                 {plainInterface("clhs-if-0", "Camera Link HS port 0", "CLHS")}});
    // The foreign producer that the viewer prefers by default.
    p.push_back({"coaxlink.cti", "Euresys", "CoaXPress Producer", "CXP", "2.5.15",
                 {plainInterface("cxp-if-0", "CoaXPress board 0", "CXP")}});
    p.push_back({"other_vendor_tl.cti", kOther, "Frame Grabber Producer", "PCIx", "2.5.15",
                 {plainInterface("pci-if-0", "Frame grabber 0", "PCIx")}});
    return p;
}

struct CameraRow {
    const char* key;
    const char* deviceId;
    const char* producer;
    const char* interfaceId;
    const char* vendor;
    const char* model;
    uint32_t width, height;
    std::vector<std::string> formats;
    int32_t status;
    const char* version;
    const char* ip;   // GigE only
    const char* mask;
};

const std::vector<CameraRow>& cameraRows()
{
    static const std::vector<CameraRow> rows = {
        {"G1", "GEV-G1-0001", "orv_gev_tl.cti", "gev-if-0", kMaker, "SIM-G1280M", 1280, 1024,
         {"Mono8", "Mono10", "Mono12", "Mono16", "Mono10Packed", "Mono12Packed"}, 1, "3.2.1",
         "192.168.1.101", "255.255.255.0"},
        {"G2", "GEV-G2-0002", "orv_gev_tl.cti", "gev-if-0", kMaker, "SIM-G1280C", 1280, 1024,
         {"BayerRG8", "BayerGR8", "BayerGB8", "BayerBG8", "BayerRG10", "BayerRG12", "BayerRG12Packed",
          "BayerRG16", "RGB8"},
         1, "3.2.1", "192.168.1.102", "255.255.255.0"},
        {"G3", "GEV-G3-0003", "orv_gev_tl.cti", "gev-if-0", kMaker, "SIM-G640M", 640, 480, {"Mono8"}, 2,
         "3.2.1", "192.168.1.103", "255.255.255.0"},
        {"G4", "GEV-G4-0004", "orv_gev_tl.cti", "gev-if-0", kMaker, "SIM-G640M", 640, 480, {"Mono8"}, 3,
         "3.2.1", "192.168.1.104", "255.255.255.0"},
        {"G5", "GEV-G5-0005", "orv_gev_tl.cti", "gev-if-1", kMaker, "SIM-G640M", 640, 480, {"Mono8"}, 1,
         "3.2.1", "169.254.12.34", "255.255.0.0"},
        {"G6", "GEV-G6-0006", "orv_gev_tl.cti", "gev-if-1", kMaker, "SIM-G640M", 640, 480, {"Mono8"}, 4,
         "3.2.1", "10.0.0.106", "255.0.0.0"},
        {"G7", "GEV-G7-0007", "orv_gev_tl.cti", "gev-if-1", kMaker, "SIM-G1024SEQ", 1024, 768, {"Mono8"}, 1,
         "3.2.1", "10.0.0.107", "255.0.0.0"},
        {"R1", "GEV-R1-0101", "orv_gev_tl_rdma.cti", "rdma-if-0", kMaker, "SIM-G1280M-R", 1280, 1024,
         {"Mono8"}, 1, "3.2.1", "192.168.2.101", "255.255.255.0"},
        {"B1", "GEV-B1-0201", "orv_gev_brox_tl.cti", "brox-if-0", kMaker, "SIM-G640M", 640, 480, {"Mono8"}, 1,
         "3.2.1", "192.168.3.101", "255.255.255.0"},
        {"U1", "U3V-U1-0301", "orv_u3v_tl.cti", "u3v-if-0", kMaker, "SIM-U1920M", 1920, 1200,
         {"Mono8", "Mono12", "Mono12Packed"}, 1, "3.2.1", "", ""},
        {"U2", "U3V-U2-0302", "orv_u3v_tl.cti", "u3v-if-0", kOther, "SIM-U1280-16", 1280, 960,
         {"Mono16", "Mono10"}, 1, "3.2.1", "", ""},
        {"U3", "U3V-U3-0303", "orv_u3v_tl.cti", "u3v-if-0", kMaker, "SIM-UIO", 640, 480, {}, 1, "3.2.1", "", ""},
        {"C1", "CL-C1-0401", "orv_cl_tl.cti", "cl-port-0", kMaker, "SIM-CL1024M", 1024, 768, {"Mono8"}, 1,
         "1.0.0", "", ""},
        {"C2", "CL-C2-0402", "orv_cl_tl.cti", "cl-port-2", "Ombrel", "SIM-CL1024M", 1024, 768,
         {"Mono8", "Mono10"}, 1, "2.3.0", "", ""},
        {"C3", "CL-C3-0403", "orv_cl_tl.cti", "cl-port-3", kMaker, "SIM-CL2048M", 2048, 1024, {"Mono8"}, 1,
         "3.2.1", "", ""},
        {"H1", "CLHS-H1-0501", "orv_clhs_tl.cti", "clhs-if-0", kMaker, "SIM-HS2048M", 2048, 1024, {"Mono8"}, 1,
         "3.2.1", "", ""},
        {"X1", "CXP-X1-0601", "coaxlink.cti", "cxp-if-0", kOther, "SIM-X2048M", 2048, 2048, {"Mono8"}, 1,
         "3.2.1", "", ""},
        {"P1", "PCI-P1-0701", "other_vendor_tl.cti", "pci-if-0", kOther, "SIM-P640M", 640, 480, {"Mono8"}, 1,
         "3.2.1", "", ""},
    };
    return rows;
}

SimCameraConfig configFor(const CameraRow& row, const SimProducerDesc& producer, uint32_t number)
{
    SimCameraConfig c;
    c.key = row.key;
    c.deviceId = row.deviceId;
    c.producerFile = row.producer;
    c.interfaceId = row.interfaceId;
    c.vendor = row.vendor;
    c.model = row.model;
    std::string id = row.deviceId;
    c.serialNumber = id.substr(id.size() - 4);
    c.version = row.version;
    c.tlType = producer.tlType;
    c.status = row.status;
    c.width = row.width;
    c.height = row.height;
    c.pixelFormats = row.formats;
    c.hasStream = !row.formats.empty();
    c.bigEndianMemory = !equalsIgnoreCase(c.tlType, "U3V");
    c.ipAddress = row.ip;
    c.subnetMask = row.mask;
    if (c.tlType == "GEV") {
        c.mac = 0x00111C000000ull | number;
        c.gateway = "0.0.0.0";
    }
    // Camera Link cameras answer no connection or remote-device events; the
    // RDMA camera's stream refuses acquisition events; the camera without
    // options refuses remote-device events.
    const std::string key = row.key;
    if (c.tlType == "CL")
        c.eventTypes = {5000};
    else if (key == "R1" || key == "U3")
        c.eventTypes = {4000, 4};
    else if (key == "U2")
        c.eventTypes = {4000, 5000};
    else
        c.eventTypes = {4000, 4, 5000};
    if (c.tlType == "CL" || c.tlType == "CLHS")
        c.probeTimeMs = key == "C3" ? 500 : 100;
    return c;
}

} // namespace

std::string SimInterfaceDesc::subnetText() const
{
    uint32_t ip = 0, mask = 0;
    if (tlType != "GEV" || !parseIpv4(ipAddress, &ip) || !parseIpv4(subnetMask, &mask))
        return std::string();
    return formatIpv4(ip & mask);
}

SimWorld& SimWorld::instance()
{
    static SimWorld world;
    return world;
}

SimWorld::SimWorld()
{
    startWorld_ = builtInWorld();
    if (const char* file = std::getenv("QUILLAN_SIM_WORLD")) {
        std::string error;
        if (!readWorldFile(file, &startWorld_, &error)) {
            std::fprintf(stderr, "Quillan: world file %s not used: %s\n", file, error.c_str());
            startWorld_ = builtInWorld();
        }
    }
    world_ = startWorld_;
    buildLocked();
}

SimWorldDescription SimWorld::builtInWorld()
{
    SimWorldDescription world;
    world.producers = builtInProducers();
    uint32_t number = 0;
    for (const CameraRow& row : cameraRows()) {
        ++number;
        for (const SimProducerDesc& p : world.producers)
            if (p.fileName == row.producer)
                world.cameras.push_back(configFor(row, p, number));
    }
    return world;
}

void SimWorld::buildLocked()
{
    producers_ = world_.producers;
    cameras_.clear();
    std::vector<SimCameraConfig> configs = world_.cameras;
    // Scenario variants: G1 seen on a second interface (same serial, model
    // and MAC), or a second camera with G1's model and serial but its own MAC.
    auto g1 = std::find_if(configs.begin(), configs.end(), [](const auto& c) { return c.key == "G1"; });
    if (g1 != configs.end() && scenario_ == "duplicate-camera") {
        SimCameraConfig mirror = *g1;
        mirror.interfaceId = "gev-if-1";
        mirror.ipAddress = "10.0.0.101";
        mirror.subnetMask = "255.0.0.0";
        configs.push_back(mirror);
    } else if (g1 != configs.end() && scenario_ == "duplicate-serial") {
        SimCameraConfig twin = *g1;
        twin.deviceId = "GEV-G1-0099";
        twin.interfaceId = "gev-if-1";
        twin.ipAddress = "10.0.0.199";
        twin.subnetMask = "255.0.0.0";
        twin.mac = 0x00111C000099ull;
        configs.push_back(twin);
    }
    for (const SimCameraConfig& config : configs) {
        auto camera = std::make_shared<SimCamera>(config);
        camera->createModules();
        cameras_.push_back(camera);
    }
}

bool SimWorld::load(const std::string& path, std::string* error)
{
    SimWorldDescription world;
    if (!readWorldFile(path, &world, error))
        return false;
    SimScheduler::instance().cancelAll();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        world_ = std::move(world);
        scenario_ = "default";
        buildLocked();
    }
    SimHooks::instance().worldReset();
    return true;
}

void SimWorld::reset()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        world_ = startWorld_;
    }
    setScenario("default");
}

bool SimWorld::setScenario(const std::string& name)
{
    if (name != "default" && name != "duplicate-camera" && name != "duplicate-serial")
        return false;
    SimScheduler::instance().cancelAll();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scenario_ = name;
        buildLocked();
    }
    SimHooks::instance().worldReset();
    return true;
}

std::string SimWorld::scenario() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return scenario_;
}

SimProducerDesc SimWorld::producer(const std::string& fileName) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const SimProducerDesc& p : producers_)
        if (p.fileName == fileName)
            return p;
    // A file named like a known producer in other letter case is that producer.
    for (const SimProducerDesc& p : producers_)
        if (equalsIgnoreCase(p.fileName, fileName))
            return p;
    return SimProducerDesc{fileName, "Unknown Vendor", "Unknown Producer", "GenTL", "2.5.15", {}};
}

bool SimWorld::findInterface(const std::string& fileName, const std::string& interfaceId,
                             SimInterfaceDesc* out) const
{
    for (const SimInterfaceDesc& d : producer(fileName).interfaces) {
        if (d.id == interfaceId) {
            if (out)
                *out = d;
            return true;
        }
    }
    return false;
}

bool SimWorld::addInterface(const std::string& fileName, const SimInterfaceDesc& desc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (SimProducerDesc& p : producers_) {
        if (!equalsIgnoreCase(p.fileName, fileName))
            continue;
        for (const SimInterfaceDesc& d : p.interfaces)
            if (d.id == desc.id)
                return false;
        p.interfaces.push_back(desc);
        return true;
    }
    return false;
}

bool SimWorld::removeInterface(const std::string& fileName, const std::string& interfaceId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (SimProducerDesc& p : producers_) {
        if (!equalsIgnoreCase(p.fileName, fileName))
            continue;
        for (auto it = p.interfaces.begin(); it != p.interfaces.end(); ++it) {
            if (it->id == interfaceId) {
                p.interfaces.erase(it);
                return true;
            }
        }
    }
    return false;
}

std::vector<std::shared_ptr<SimCamera>> SimWorld::cameras() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return cameras_;
}

std::vector<std::shared_ptr<SimCamera>> SimWorld::camerasOn(const std::string& fileName,
                                                           const std::string& interfaceId) const
{
    std::vector<std::shared_ptr<SimCamera>> result;
    std::string producerFile = producer(fileName).fileName;
    for (const auto& camera : cameras())
        if (camera->config().producerFile == producerFile && camera->interfaceId() == interfaceId)
            result.push_back(camera);
    return result;
}

std::shared_ptr<SimCamera> SimWorld::findCamera(const std::string& idOrKey) const
{
    auto all = cameras();
    for (const auto& camera : all)
        if (camera->deviceId() == idOrKey)
            return camera;
    for (const auto& camera : all)
        if (equalsIgnoreCase(camera->deviceId(), idOrKey))
            return camera;
    for (const auto& camera : all)
        if (camera->key() == idOrKey)
            return camera;
    return nullptr;
}

int32_t SimWorld::listedStatus(const std::shared_ptr<SimCamera>& camera) const
{
    int32_t status = camera->status();
    if (camera->config().tlType != "GEV" || status == ORV_ACCESS_STATUS_NOT_ACCESSIBLE)
        return status;
    SimInterfaceDesc iface;
    if (!findInterface(camera->config().producerFile, camera->interfaceId(), &iface))
        return status;
    uint32_t ip = 0, mask = 0, ifIp = 0;
    if (!parseIpv4(camera->ipAddress(), &ip) || !parseIpv4(iface.subnetMask, &mask)
        || !parseIpv4(iface.ipAddress, &ifIp))
        return status;
    if ((ip & mask) != (ifIp & mask))
        return ORV_ACCESS_STATUS_NOT_ACCESSIBLE;
    return status;
}

void SimWorld::unplug(const std::shared_ptr<SimCamera>& camera)
{
    camera->setConnection(false, false);
    SimHooks::instance().connection(camera, ConnectionDisconnected);
}

void SimWorld::replug(const std::shared_ptr<SimCamera>& camera)
{
    camera->setConnection(true, true);
    SimHooks::instance().connection(camera, ConnectionReconnected);
}

void SimWorld::scheduleReset(const std::shared_ptr<SimCamera>& camera)
{
    std::weak_ptr<SimCamera> weak = camera;
    uint32_t disconnectMs = camera->resetDisconnectMs();
    uint32_t returnMs = std::max(camera->resetReturnMs(), disconnectMs);
    SimScheduler::instance().schedule(disconnectMs, [weak] {
        if (auto cam = weak.lock()) {
            cam->setConnection(false, false);
            SimHooks::instance().connection(cam, ConnectionLost);
        }
    });
    SimScheduler::instance().schedule(returnMs, [weak] {
        if (auto cam = weak.lock()) {
            SimHooks::instance().powerUp(cam);
            cam->setConnection(true, true);
            SimHooks::instance().connection(cam, ConnectionReconnected);
        }
    });
}

std::string SimWorld::ipStatePath()
{
    const char* path = std::getenv("QUILLAN_SIM_STATE");
    return path ? std::string(path) : std::string();
}

namespace {

std::string fileStamp(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::string();
    return std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec)
        + '.' + std::to_string(st.st_mtim.tv_nsec);
}

} // namespace

bool SimWorld::refreshIpState(bool always)
{
    std::string path = ipStatePath();
    if (path.empty())
        return false;
    std::lock_guard<std::mutex> lock(stateMutex_);
    std::string stamp = fileStamp(path);
    if (stamp.empty() || (stamp == stateStamp_ && !always))
        return false;
    stateStamp_ = stamp;
    return loadIpState(path);
}

bool SimWorld::loadIpState(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, ip, mask, gateway;
        SimCamera::PersistentIp p;
        std::string pip, pmask, pgw;
        if (!(words >> key >> ip >> mask >> gateway >> p.flags >> pip >> pmask >> pgw))
            continue;
        auto camera = findCamera(key);
        uint32_t v = 0;
        if (!camera || camera->config().tlType != "GEV" || !parseIpv4(ip, &v) || !parseIpv4(mask, &v)
            || !parseIpv4(gateway, &v) || !parseIpv4(pip, &p.ip) || !parseIpv4(pmask, &p.mask)
            || !parseIpv4(pgw, &p.gateway))
            continue;
        camera->setIp(ip, mask);
        camera->setGateway(gateway);
        camera->setPersistentIp(p);
    }
    return true;
}

bool SimWorld::saveIpState(const std::string& path) const
{
    std::ostringstream out;
    for (const auto& camera : cameras()) {
        if (camera->config().tlType != "GEV")
            continue;
        SimCamera::PersistentIp p = camera->persistentIp();
        out << camera->key() << ' ' << camera->ipAddress() << ' ' << camera->subnetMask() << ' '
            << camera->gateway() << ' ' << p.flags << ' ' << formatIpv4(p.ip) << ' ' << formatIpv4(p.mask) << ' '
            << formatIpv4(p.gateway) << '\n';
    }
    // Written beside and renamed, so that a reader never sees half a file.
    std::string temp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream file(temp, std::ios::trunc);
        if (!(file << out.str()))
            return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace quillan

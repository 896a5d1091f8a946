// Test controls of the library, calls, faults, logging, world, discovery and
// devices.
#include "OrvSdk.h"
#include "SimCamera.h"
#include "SimControl.h"
#include "SimFaults.h"
#include "SimLibrary.h"
#include "SimLog.h"
#include "SimText.h"
#include "SimWorld.h"

namespace quillan {
namespace {

using Args = SimControlArgs;

bool code(const Args& a, size_t i, int* value, std::string& reply)
{
    int64_t v = 0;
    if (!a.integer(i, &v) || v < INT32_MIN || v > INT32_MAX) {
        reply = "expected a result code";
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

bool milliseconds(const std::string& word, uint32_t* value, std::string& reply)
{
    int64_t v = 0;
    if (!parseInt(word, &v) || v < 0 || v > UINT32_MAX) {
        reply = "expected milliseconds";
        return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

bool knownFunction(const std::string& name)
{
    return SimFaults::instance().knownFunction(name);
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// "system:orv_gev_tl.cti" or "orv_gev_tl.cti" -> file name.
std::string systemName(const std::string& word)
{
    const std::string prefix = "system:";
    return word.compare(0, prefix.size(), prefix) == 0 ? word.substr(prefix.size()) : word;
}

int needArgs(const Args& a, size_t n, const char* usage, std::string& reply)
{
    if (a.positional().size() < n) {
        reply = std::string("usage: ") + usage;
        return -1;
    }
    return 0;
}

// A command that acts on one camera.
void addCameraCommand(const std::string& verb, const std::string& usage, size_t argCount,
                      std::function<int(const std::shared_ptr<SimCamera>&, const std::vector<std::string>&,
                                        std::string&)> fn)
{
    SimControl::add(verb, usage, [verb, usage, argCount, fn](const Args& a, std::string& reply) {
        if (a.size() < argCount + 1) {
            reply = "usage: " + verb + " " + usage;
            return -1;
        }
        auto camera = SimControl::camera(a[0], reply);
        if (!camera)
            return -1;
        return fn(camera, std::vector<std::string>(a.words.begin() + 1, a.words.end()), reply);
    });
}

const bool registered = [] {
    // Library and calls.
    SimControl::add("lib.init.fail", "<code>", [](const Args& a, std::string& reply) {
        int c = 0;
        if (!code(a, 0, &c, reply))
            return -1;
        SimFaults::instance().setInitFailure(c);
        return 0;
    });
    SimControl::add("lib.systeminfo.fail", "<index> <code>", [](const Args& a, std::string& reply) {
        int64_t index = 0;
        int c = 0;
        if (!a.integer(0, &index) || index < 0 || !code(a, 1, &c, reply)) {
            reply = "usage: lib.systeminfo.fail <index> <code>";
            return -1;
        }
        SimFaults::instance().setSystemInfoFailure(static_cast<uint32_t>(index), c);
        return 0;
    });
    SimControl::add("lib.info", "", [](const Args&, std::string& reply) {
        auto args = SimLibrary::instance().lastInit();
        reply = "initialised=" + std::string(SimLibrary::instance().initialised() ? "1" : "0") + "\n";
        reply += "searchPath=" + args.searchPath + "\n";
        reply += "genicamRoot=" + args.genicamRoot + "\n";
        reply += "genicamCache=" + args.genicamCache + "\n";
        reply += "clProtocol=" + args.clProtocol + "\n";
        for (const SimSystemEntry& s : SimLibrary::instance().systems())
            reply += "system " + std::to_string(s.index) + " " + s.fullPath + "\n";
        return 0;
    });
    SimControl::add("call.fail", "<function> [module] <code> [count=n] [after=n] [always]",
                    [](const Args& a, std::string& reply) {
                        auto words = a.positional();
                        if (words.size() < 2 || words.size() > 3) {
                            reply = "usage: call.fail <function> [module] <code> [count=n] [after=n] [always]";
                            return -1;
                        }
                        if (!knownFunction(words[0])) {
                            reply = "unknown function: " + words[0];
                            return -1;
                        }
                        int64_t c = 0;
                        if (!parseInt(words.back(), &c)) {
                            reply = "expected a result code";
                            return -1;
                        }
                        SimFaultRule rule;
                        if (!SimFaultRule::parse(a, static_cast<int>(c), &rule, reply))
                            return -1;
                        SimFaults::instance().addCallFault(words[0], words.size() == 3 ? words[1] : "", rule);
                        return 0;
                    });
    SimControl::add("call.delay", "<function> <ms>", [](const Args& a, std::string& reply) {
        uint32_t ms = 0;
        if (a.size() < 2 || !knownFunction(a[0]) || !milliseconds(a[1], &ms, reply)) {
            reply = "usage: call.delay <function> <ms>";
            return -1;
        }
        SimFaults::instance().setCallDelay(a[0], ms);
        return 0;
    });
    SimControl::add("call.nullhandle", "<function>", [](const Args& a, std::string& reply) {
        if (a.size() < 1 || !knownFunction(a[0])) {
            reply = "usage: call.nullhandle <function>";
            return -1;
        }
        SimFaults::instance().armNullHandle(a[0]);
        return 0;
    });
    SimControl::add("fault.clear", "", [](const Args&, std::string&) {
        SimFaults::instance().clear();
        return 0;
    });

    // Logs.
    SimControl::add("log.calls", "on/off", [](const Args& a, std::string& reply) {
        bool on = false;
        if (!a.onOff(0, &on)) {
            reply = "usage: log.calls on/off";
            return -1;
        }
        SimFaults::instance().setLogging(on);
        return 0;
    });
    SimControl::add("log.calls.get", "", [](const Args&, std::string& reply) {
        reply = joinLines(SimFaults::instance().calls());
        return 0;
    });
    SimControl::add("log.calls.clear", "", [](const Args&, std::string&) {
        SimFaults::instance().clearCalls();
        return 0;
    });
    SimControl::add("log.trace", "on/off", [](const Args& a, std::string& reply) {
        bool on = false;
        if (!a.onOff(0, &on)) {
            reply = "usage: log.trace on/off";
            return -1;
        }
        SimLog::instance().setCapture(on);
        return 0;
    });
    SimControl::add("log.trace.get", "", [](const Args&, std::string& reply) {
        reply = SimLog::instance().switches() + "\n" + joinLines(SimLog::instance().captured());
        return 0;
    });
    SimControl::add("log.trace.clear", "", [](const Args&, std::string&) {
        SimLog::instance().clearCaptured();
        return 0;
    });

    // World.
    SimControl::add("world.reset", "", [](const Args&, std::string&) {
        SimWorld::instance().reset();
        return 0;
    });
    SimControl::add("world.load", "<file>", [](const Args& a, std::string& reply) {
        if (a.size() < 1) {
            reply = "usage: world.load <file>";
            return -1;
        }
        return SimWorld::instance().load(a[0], &reply) ? 0 : -1;
    });
    SimControl::add("world.scenario", "<name>", [](const Args& a, std::string& reply) {
        if (a.size() < 1 || !SimWorld::instance().setScenario(a[0])) {
            reply = "unknown scenario";
            return -1;
        }
        return 0;
    });
    SimControl::add("help", "", [](const Args&, std::string& reply) {
        reply = SimControl::help();
        return 0;
    });

    // Discovery and devices.
    addCameraCommand("device.unplug", "<device>", 0, [](const auto& camera, const auto&, std::string&) {
        SimWorld::instance().unplug(camera);
        return 0;
    });
    addCameraCommand("device.replug", "<device>", 0, [](const auto& camera, const auto&, std::string&) {
        SimWorld::instance().replug(camera);
        return 0;
    });
    addCameraCommand("device.move", "<device> <interface>", 1,
                     [](const auto& camera, const auto& w, std::string& reply) {
                         if (!SimWorld::instance().findInterface(camera->config().producerFile, w[0], nullptr)) {
                             reply = "no such interface of the camera's producer: " + w[0];
                             return -1;
                         }
                         camera->setInterfaceId(w[0]);
                         return 0;
                     });
    addCameraCommand("device.status", "<device> <n>", 1, [](const auto& camera, const auto& w, std::string& reply) {
        int64_t v = 0;
        if (!parseInt(w[0], &v) || v < INT32_MIN || v > INT32_MAX) {
            reply = "expected a status number";
            return -1;
        }
        camera->setStatus(static_cast<int32_t>(v));
        return 0;
    });
    addCameraCommand("device.rename", "<device> <new ID>", 1,
                     [](const auto& camera, const auto& w, std::string& reply) {
                         if (w[0].empty() || w[0].size() >= ORV_TEXT_SIZE) {
                             reply = "invalid device ID";
                             return -1;
                         }
                         camera->setDeviceId(w[0]);
                         return 0;
                     });
    for (const auto& [verb, set] :
         {std::pair{"device.latency", &SimCamera::setLatencyMs}, std::pair{"device.probetime", &SimCamera::setProbeTimeMs}}) {
        addCameraCommand(verb, "<device> <ms>", 1, [set = set](const auto& camera, const auto& w, std::string& reply) {
            uint32_t ms = 0;
            if (!milliseconds(w[0], &ms, reply))
                return -1;
            ((*camera).*set)(ms);
            return 0;
        });
    }
    addCameraCommand("device.ip", "<device> <ip> [mask]", 1, [](const auto& camera, const auto& w, std::string& reply) {
        uint32_t value = 0;
        if (camera->config().tlType != "GEV") {
            reply = "not a GigE camera";
            return -1;
        }
        if (!parseIpv4(w[0], &value) || (w.size() > 1 && !parseIpv4(w[1], &value))) {
            reply = "expected dotted IPv4 addresses";
            return -1;
        }
        camera->setIp(w[0], w.size() > 1 ? w[1] : camera->subnetMask());
        return 0;
    });
    addCameraCommand("device.subnet", "<device> <text>", 1, [](const auto& camera, const auto& w, std::string&) {
        camera->setSubnetOverride(w[0]);
        return 0;
    });
    addCameraCommand("device.reset.timing", "<device> <disconnect ms> <return ms>", 2,
                     [](const auto& camera, const auto& w, std::string& reply) {
                         int64_t d = 0, r = 0;
                         if (!parseInt(w[0], &d) || !parseInt(w[1], &r) || d < 0 || r < d || r > UINT32_MAX) {
                             reply = "expected disconnect and return times, return not before disconnect";
                             return -1;
                         }
                         camera->setResetTiming(static_cast<uint32_t>(d), static_cast<uint32_t>(r));
                         return 0;
                     });
    SimControl::add("interface.add", "<system> <interface> [display text] [ip mask]",
                    [](const Args& a, std::string& reply) {
                        if (needArgs(a, 2, "interface.add <system> <interface> [display text] [ip mask]", reply))
                            return -1;
                        std::string file = systemName(a[0]);
                        SimProducerDesc producer = SimWorld::instance().producer(file);
                        SimInterfaceDesc desc;
                        desc.id = a[1];
                        desc.displayName = a.size() > 2 ? a[2] : a[1];
                        desc.tlType = producer.tlType;
                        if (a.size() > 4) {
                            uint32_t v = 0;
                            if (!parseIpv4(a[3], &v) || !parseIpv4(a[4], &v)) {
                                reply = "expected dotted IPv4 address and mask";
                                return -1;
                            }
                            desc.ipAddress = a[3];
                            desc.subnetMask = a[4];
                        }
                        if (!SimWorld::instance().addInterface(file, desc)) {
                            reply = "unknown producer or interface exists: " + file + " " + a[1];
                            return -1;
                        }
                        return 0;
                    });
    SimControl::add("interface.remove", "<system> <interface>", [](const Args& a, std::string& reply) {
        if (needArgs(a, 2, "interface.remove <system> <interface>", reply))
            return -1;
        if (!SimWorld::instance().removeInterface(systemName(a[0]), a[1])) {
            reply = "no such interface";
            return -1;
        }
        return 0;
    });
    return true;
}();

} // namespace
} // namespace quillan

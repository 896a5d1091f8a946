// Test controls of features, registers and camera memory.
#include "FeatureStore.h"
#include "OrvSdk.h"
#include "SimCamera.h"
#include "SimControl.h"
#include "SimFaults.h"
#include "SimText.h"

#include <cstdio>

namespace quillan {

namespace {

constexpr int kRefused = ORV_ERROR_INVALID_ARGUMENT;

// The store of argument 0; a bare device ID stands for its remote device.
SimFeatureStore* storeArg(const SimControlArgs& a, std::string& reply,
                          std::shared_ptr<SimCameraFeatures>* camera = nullptr)
{
    if (a.size() < 1) {
        reply = "missing module";
        return nullptr;
    }
    const std::string address = a[0].find(':') == std::string::npos ? "remote:" + a[0] : a[0];
    return FeatureStore::byAddress(address, reply, camera);
}

std::shared_ptr<SimCameraFeatures> cameraArg(const SimControlArgs& a, std::string& reply)
{
    if (a.size() < 1) {
        reply = "missing device";
        return nullptr;
    }
    std::string name = a[0];
    const size_t colon = name.find(':');
    if (colon != std::string::npos)
        name = name.substr(colon + 1);
    auto cam = SimControl::camera(name, reply);
    return cam ? FeatureStore::ofCamera(cam) : nullptr;
}

int done(int rc, std::string& reply, const std::string& what)
{
    if (rc == 0)
        return 0;
    if (reply.empty())
        reply = what + " refused: " + std::to_string(rc);
    return kRefused;
}

bool flag(const SimControlArgs& a, size_t i, bool* value, std::string& reply)
{
    if (a.size() <= i || !a.onOff(i, value)) {
        reply = "expected 0 or 1";
        return false;
    }
    return true;
}

// "feature.<x> <module> <feature> 0/1" through one store setter.
SimControlHandler flagCommand(int (SimFeatureStore::*set)(const std::string&, bool), bool invert = false)
{
    return [set, invert](const SimControlArgs& a, std::string& reply) {
        SimFeatureStore* s = storeArg(a, reply);
        bool on = false;
        if (!s || a.size() < 3 || !flag(a, 2, &on, reply))
            return reply.empty() ? (reply = "usage: <module> <feature> 0/1", kRefused) : kRefused;
        return done((s->*set)(a[1], invert ? !on : on), reply, a[1]);
    };
}

bool parseOp(const std::string& text, SimOp* op)
{
    static const std::pair<const char*, SimOp> ops[] = {
        {"get", SimOp::Get}, {"set", SimOp::Set}, {"info", SimOp::Info}, {"enum", SimOp::Enum}, {"execute", SimOp::Execute}};
    for (const auto& o : ops)
        if (text == o.first) {
            *op = o.second;
            return true;
        }
    return false;
}

std::string hex(const std::vector<uint8_t>& bytes)
{
    std::string out;
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02X", bytes[i]);
        out += (i ? " " : "") + std::string(b);
    }
    return out;
}

void clearFeatureFaults()
{
    for (const auto& cam : SimWorld::instance().cameras()) {
        std::shared_ptr<FeatureStore> built;
        {
            std::lock_guard<std::mutex> lock(cam->deviceModule()->slotMutex);
            built = cam->deviceModule()->features;
        }
        if (built)
            built->camera->clearFaults();
    }
    FeatureStore::clearSharedFaults();
}

const bool registered = [] {
    SimFaults::instance().onClear(&clearFeatureFaults);

    SimControl::add("feature.set", "<module> <feature>[<selector>=<entry>...] <value>",
                    [](const SimControlArgs& a, std::string& reply) {
                        SimFeatureStore* s = storeArg(a, reply);
                        if (!s || a.size() < 3)
                            return reply.empty() ? (reply = "usage: <module> <feature> <value>", kRefused) : kRefused;
                        return done(s->forceSet(a[1], a[2], &reply), reply, a[1]);
                    });
    SimControl::add("feature.range", "<module> <feature> <min> <max> [increment]",
                    [](const SimControlArgs& a, std::string& reply) {
                        SimFeatureStore* s = storeArg(a, reply);
                        if (!s || a.size() < 4)
                            return reply.empty() ? (reply = "usage: <module> <feature> <min> <max> [inc]", kRefused) : kRefused;
                        return done(s->setRange(a[1], a[2], a[3], a.size() > 4 ? a[4] : "", &reply), reply, a[1]);
                    });
    auto absence = [](bool absent) {
        return [absent](const SimControlArgs& a, std::string& reply) {
            SimFeatureStore* s = storeArg(a, reply);
            if (!s || a.size() < 2)
                return reply.empty() ? (reply = "usage: <module> <feature>", kRefused) : kRefused;
            return done(s->setAbsent(a[1], absent), reply, a[1]);
        };
    };
    SimControl::add("feature.absent", "<module> <feature>", absence(true));
    SimControl::add("feature.present", "<module> <feature>", absence(false));
    SimControl::add("feature.available", "<module> <feature> 0/1", flagCommand(&SimFeatureStore::setAvailable));
    SimControl::add("feature.locked", "<module> <feature> 0/1", flagCommand(&SimFeatureStore::setLocked));
    SimControl::add("feature.readable", "<module> <feature> 0/1", flagCommand(&SimFeatureStore::setReadable));
    SimControl::add("feature.entry", "<module> <feature> <entry> available 0/1 | name <text>",
                    [](const SimControlArgs& a, std::string& reply) {
                        SimFeatureStore* s = storeArg(a, reply);
                        const char* usage = "usage: <module> <feature> <entry> available 0/1 | name <text>";
                        if (!s || a.size() < 5)
                            return reply.empty() ? (reply = usage, kRefused) : kRefused;
                        if (a[3] == "name")
                            return done(s->renameEntry(a[1], a[2], a[4]), reply, a[1]);
                        bool on = false;
                        if (a[3] != "available" || !flag(a, 4, &on, reply))
                            return reply.empty() ? (reply = usage, kRefused) : kRefused;
                        return done(s->setEntryAvailable(a[1], a[2], on), reply, a[1]);
                    });
    SimControl::add("line.level", "<device> <line> 0|1|signal", [](const SimControlArgs& a, std::string& reply) {
        auto cam = cameraArg(a, reply);
        if (!cam)
            return kRefused;
        if (a.size() < 3 || (a[2] != "0" && a[2] != "1" && a[2] != "signal")) {
            reply = "usage: <device> <line> 0|1|signal";
            return kRefused;
        }
        const int level = a[2] == "signal" ? -1 : a[2] == "1" ? 1 : 0;
        if (cam->pinLine(a[1], level) != 0) {
            reply = "no line " + a[1];
            return kRefused;
        }
        return 0;
    });
    SimControl::add("feature.fail", "<module> <feature> get/set/info/enum/execute <code> [count=n] [after=n] [always]",
                    [](const SimControlArgs& a, std::string& reply) {
                        const std::vector<std::string> pos = a.positional();
                        SimFeatureStore* s = storeArg(a, reply);
                        SimOp op;
                        int64_t code = 0;
                        if (!s || pos.size() < 4 || !parseOp(pos[2], &op) || !parseInt(pos[3], &code))
                            return reply.empty() ? (reply = "usage: <module> <feature> <op> <code>", kRefused) : kRefused;
                        SimFaultRule rule;
                        if (!SimFaultRule::parse(a, static_cast<int>(code), &rule, reply))
                            return kRefused;
                        SimFault fault{rule.code, static_cast<int>(rule.remaining), static_cast<int>(rule.skip)};
                        return done(s->addFault(pos[1], op, fault), reply, pos[1]);
                    });
    SimControl::add("feature.slow", "<module> <feature> <ms>", [](const SimControlArgs& a, std::string& reply) {
        SimFeatureStore* s = storeArg(a, reply);
        int64_t ms = 0;
        if (!s || a.size() < 3 || !a.integer(2, &ms))
            return reply.empty() ? (reply = "usage: <module> <feature> <ms>", kRefused) : kRefused;
        return done(s->setSlow(a[1], static_cast<int>(ms)), reply, a[1]);
    });
    SimControl::add("invalidate", "<module> <feature>", [](const SimControlArgs& a, std::string& reply) {
        SimFeatureStore* s = storeArg(a, reply);
        if (!s || a.size() < 2)
            return reply.empty() ? (reply = "usage: <module> <feature>", kRefused) : kRefused;
        return done(s->invalidate(a[1]), reply, a[1]);
    });
    SimControl::add("state.get", "<module> [feature]", [](const SimControlArgs& a, std::string& reply) {
        SimFeatureStore* s = storeArg(a, reply);
        if (!s)
            return kRefused;
        reply = s->stateText(a.size() > 1 ? a[1] : std::string());
        if (reply.empty() && a.size() > 1) {
            reply = "no feature " + a[1];
            return kRefused;
        }
        return 0;
    });

    SimControl::add("register.fail", "<device> <address> [length] read/write <code> [count=n] [after=n] [always]",
                    [](const SimControlArgs& a, std::string& reply) {
                        auto cam = cameraArg(a, reply);
                        const std::vector<std::string> pos = a.positional();
                        if (!cam)
                            return kRefused;
                        int64_t address = 0, length = 0, code = 0;
                        size_t i = 2;
                        if (pos.size() > 2 && pos[2] != "read" && pos[2] != "write")
                            if (!parseInt(pos[i++], &length))
                                i = 99;
                        if (pos.size() < i + 2 || !parseInt(pos[1], &address) || !parseInt(pos[i + 1], &code)
                            || (pos[i] != "read" && pos[i] != "write")) {
                            reply = "usage: <device> <address> [length] read/write <code>";
                            return kRefused;
                        }
                        SimFaultRule rule;
                        if (!SimFaultRule::parse(a, static_cast<int>(code), &rule, reply))
                            return kRefused;
                        cam->addMemoryFault(static_cast<uint64_t>(address), static_cast<size_t>(length), pos[i] == "write",
                                            rule.code, static_cast<int>(rule.remaining), static_cast<int>(rule.skip));
                        return 0;
                    });
    SimControl::add("memory.peek", "<device> <address> <length>", [](const SimControlArgs& a, std::string& reply) {
        auto cam = cameraArg(a, reply);
        int64_t address = 0, length = 0;
        if (!cam || !a.integer(1, &address) || !a.integer(2, &length) || length <= 0 || length > 65536)
            return reply.empty() ? (reply = "usage: <device> <address> <length>", kRefused) : kRefused;
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        const int rc = cam->peekMemory(static_cast<uint64_t>(address), bytes.data(), bytes.size());
        if (rc != 0)
            return done(rc, reply, "memory.peek");
        reply = hex(bytes);
        return 0;
    });
    SimControl::add("memory.poke", "<device> <address> <hex bytes>", [](const SimControlArgs& a, std::string& reply) {
        auto cam = cameraArg(a, reply);
        int64_t address = 0;
        if (!cam || !a.integer(1, &address) || a.size() < 3)
            return reply.empty() ? (reply = "usage: <device> <address> <hex bytes>", kRefused) : kRefused;
        std::string digits;
        for (size_t i = 2; i < a.size(); ++i)
            digits += a[i];
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < digits.size(); i += 2) {
            int64_t v = 0;
            if (!parseInt("0x" + digits.substr(i, 2), &v)) {
                reply = "bad hex bytes";
                return kRefused;
            }
            bytes.push_back(static_cast<uint8_t>(v));
        }
        if (bytes.empty() || digits.size() % 2) {
            reply = "bad hex bytes";
            return kRefused;
        }
        return done(cam->pokeMemory(static_cast<uint64_t>(address), bytes.data(), bytes.size()), reply, "memory.poke");
    });
    auto mapCommand = [](bool defect) {
        return [defect](const SimControlArgs& a, std::string& reply) {
            auto cam = cameraArg(a, reply);
            int64_t map = -1;
            if (!cam || (a.size() > 1 && !a.integer(1, &map)))
                return reply.empty() ? (reply = "usage: <device> [map]", kRefused) : kRefused;
            reply = defect ? cam->defectMapText(static_cast<int>(map)) : cam->shadingMapText(static_cast<int>(map));
            if (reply.empty()) {
                reply = defect ? "camera has no defect pixel correction" : "camera has no shading correction";
                return kRefused;
            }
            return 0;
        };
    };
    SimControl::add("defectmap.get", "<device> [map]", mapCommand(true));
    SimControl::add("defectmap.report", "<device> <size|real> <capacity|real>",
                    [](const SimControlArgs& a, std::string& reply) {
                        auto cam = cameraArg(a, reply);
                        if (!cam)
                            return kRefused;
                        int64_t values[2] = {-1, -1};
                        for (size_t i = 0; i < 2; ++i) {
                            if (a.size() > i + 1 && a[i + 1] == "real")
                                continue;
                            if (a.size() <= i + 1 || !a.integer(i + 1, &values[i]) || values[i] < 0
                                || values[i] > 0xFFFFFFFFll) {
                                reply = "usage: <device> <size|real> <capacity|real>";
                                return kRefused;
                            }
                        }
                        if (!cam->reportDefectMap(values[0], values[1])) {
                            reply = "camera has no defect pixel correction";
                            return kRefused;
                        }
                        return 0;
                    });
    SimControl::add("shadingmap.get", "<device> [map]", mapCommand(false));
    return true;
}();

} // namespace

} // namespace quillan

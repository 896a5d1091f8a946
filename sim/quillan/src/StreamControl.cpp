// Test controls of streams, events and device files: "stream.*", "event.*"
// and "file.*".
#include "CameraBinding.h"
#include "EventRecords.h"
#include "FeatureStore.h"
#include "SimCamera.h"
#include "SimControl.h"
#include "SimPixelFormat.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace quillan {

namespace {

using Handler = std::function<int(const SimControlArgs&, std::string&, const std::shared_ptr<SimCamera>&)>;

// Registers a verb whose first argument names a camera.
bool addCameraVerb(const std::string& verb, const std::string& usage, size_t minArgs, Handler handler)
{
    return SimControl::add(verb, usage, [verb, usage, minArgs, handler](const SimControlArgs& a, std::string& reply) {
        if (a.size() < minArgs) {
            reply = "usage: " + verb + " " + usage;
            return int(ORV_ERROR_INVALID_ARGUMENT);
        }
        auto camera = SimControl::camera(a[0], reply);
        if (!camera)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        return handler(a, reply, camera);
    });
}

int bad(std::string& reply, const std::string& why)
{
    reply = why;
    return ORV_ERROR_INVALID_ARGUMENT;
}

bool number(const std::string& text, double* value)
{
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, sep))
        parts.push_back(part);
    return parts;
}

// "stream:<id>" or "device:<id>" or a plain device ID (the device).
std::shared_ptr<SimCamera> moduleCamera(const std::string& address, HandleKind* kind, std::string& reply)
{
    std::string name = address;
    *kind = HandleKind::Device;
    if (name.rfind("stream:", 0) == 0) {
        *kind = HandleKind::Stream;
        name = name.substr(7);
    } else if (name.rfind("device:", 0) == 0) {
        name = name.substr(7);
    } else if (name.rfind("remote:", 0) == 0 || name.rfind("system:", 0) == 0 || name.rfind("interface:", 0) == 0) {
        reply = "events go to device and stream modules: " + address;
        return nullptr;
    }
    return SimControl::camera(name, reply);
}

int patternOf(const std::string& name)
{
    static const char* const names[] = {"Off", "GreyRamp", "Flat", "ColourChart", "DefectField", "Vignette"};
    for (int i = 0; i < 6; ++i)
        if (name == names[i])
            return i;
    return -1;
}

const bool registered = [] {
    // ---- streams ----
    addCameraVerb("stream.manual", "<device> on/off", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        bool on;
        if (!a.onOff(1, &on))
            return bad(reply, "on or off expected");
        streamStateOf(cam)->setManual(on);
        return 0;
    });
    addCameraVerb("stream.frame", "<device> [n]", 1, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t n = 1;
        if (a.size() > 1 && (!a.integer(1, &n) || n < 1))
            return bad(reply, "image count expected");
        streamStateOf(cam)->requestFrames(uint32_t(n));
        return 0;
    });
    addCameraVerb("stream.stall", "<device> on/off", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        bool on;
        if (!a.onOff(1, &on))
            return bad(reply, "on or off expected");
        streamStateOf(cam)->setStall(on);
        return 0;
    });
    addCameraVerb("stream.drop", "<device> <n>", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t n;
        if (!a.integer(1, &n) || n < 0)
            return bad(reply, "image count expected");
        streamStateOf(cam)->drop(uint32_t(n));
        return 0;
    });
    addCameraVerb("stream.incomplete", "<device> <n>", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t n;
        if (!a.integer(1, &n) || n < 0)
            return bad(reply, "image count expected");
        streamStateOf(cam)->incomplete(uint32_t(n));
        return 0;
    });
    addCameraVerb("stream.nextid", "<device> <id>", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t id;
        if (!a.integer(1, &id) || id < 0)
            return bad(reply, "image ID expected");
        streamStateOf(cam)->setNextId(uint64_t(id));
        return 0;
    });
    addCameraVerb("stream.announce.fail", "<device> <nth> <code>", 3,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      int64_t nth, code;
                      if (!a.integer(1, &nth) || nth < 1 || !a.integer(2, &code))
                          return bad(reply, "call number and code expected");
                      streamStateOf(cam)->failAnnounce(uint32_t(nth), int(code));
                      return 0;
                  });
    addCameraVerb("stream.dsinfo", "<device> normal/invalid/zero", 2,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      const std::string& m = a[1];
                      if (m != "normal" && m != "invalid" && m != "zero")
                          return bad(reply, "normal, invalid or zero expected");
                      streamStateOf(cam)->setInfoMode(m == "normal" ? StreamState::InfoMode::Normal
                                                      : m == "invalid" ? StreamState::InfoMode::Invalid
                                                                       : StreamState::InfoMode::Zero);
                      return 0;
                  });
    addCameraVerb("stream.payload", "<device> remote/stream <bytes>|clear", 3,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      if (a[1] != "remote" && a[1] != "stream")
                          return bad(reply, "remote or stream expected");
                      int64_t bytes = -1;
                      if (a[2] != "clear" && (!a.integer(2, &bytes) || bytes < 0 || bytes > 0xFFFFFFFFll))
                          return bad(reply, "byte count or clear expected");
                      streamStateOf(cam)->setPayloadOverride(a[1] == "remote", bytes);
                      return 0;
                  });
    addCameraVerb("stream.pixeltype", "<device> sdk/pfnc/raw [type] [word2]", 2,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      int64_t type = 0, word2 = 0;
                      StreamState::PixelTypeMode mode;
                      if (a[1] == "sdk")
                          mode = StreamState::PixelTypeMode::Sdk;
                      else if (a[1] == "pfnc")
                          mode = StreamState::PixelTypeMode::Pfnc;
                      else if (a[1] == "raw")
                          mode = StreamState::PixelTypeMode::Raw;
                      else
                          return bad(reply, "sdk, pfnc or raw expected");
                      if (mode == StreamState::PixelTypeMode::Raw && (a.size() < 3 || !a.integer(2, &type)))
                          return bad(reply, "raw needs a pixel type");
                      if (a.size() > 3 && !a.integer(3, &word2))
                          return bad(reply, "second word expected");
                      streamStateOf(cam)->setPixelType(mode, uint32_t(type), uint32_t(word2));
                      return 0;
                  });
    addCameraVerb("stream.fps", "<device> <fps> (0: the camera's rate)", 2,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      double fps;
                      if (!number(a[1], &fps) || fps < 0)
                          return bad(reply, "frame rate expected");
                      streamStateOf(cam)->setFrameRate(fps);
                      return 0;
                  });
    addCameraVerb("stream.events", "<device> <event id>[,<event id>...]|none", 2,
                  [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      std::vector<uint16_t> ids;
                      if (a[1] != "none") {
                          for (const std::string& p : split(a[1], ',')) {
                              char* end = nullptr;
                              const unsigned long v = std::strtoul(p.c_str(), &end, 0);
                              if (p.empty() || *end || v > 0xFFFF)
                                  return bad(reply, "event IDs expected: " + p);
                              ids.push_back(uint16_t(v));
                          }
                      }
                      streamStateOf(cam)->setFrameEvents(ids);
                      return 0;
                  });
    addCameraVerb("stream.pattern",
                  "<device> <Off|GreyRamp|Flat|ColourChart|DefectField|Vignette|camera> [value=<8-bit level>] "
                  "[hot=x,y]... [dead=x,y]... [cast=m00,...,m22] [noise=<sd>] [vignetting=<fall-off>]",
                  2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      StreamState::Content c;
                      if (a[1] != "camera") {
                          c.pattern = patternOf(a[1]);
                          if (c.pattern < 0)
                              return bad(reply, "unknown pattern " + a[1]);
                      }
                      for (size_t i = 2; i < a.size(); ++i) {
                          const std::string& w = a[i];
                          const size_t eq = w.find('=');
                          const std::string key = w.substr(0, eq), val = eq == std::string::npos ? "" : w.substr(eq + 1);
                          double v;
                          if (key == "value" && number(val, &v) && v >= 0) {
                              c.flatValue = v;
                          } else if (key == "noise" && number(val, &v) && v >= 0) {
                              c.noise = v;
                          } else if (key == "vignetting" && number(val, &v) && v >= 0) {
                              c.vignetting = v;
                          } else if (key == "hot" || key == "dead") {
                              const auto xy = split(val, ',');
                              double x, y;
                              if (xy.size() != 2 || !number(xy[0], &x) || !number(xy[1], &y) || x < 0 || y < 0)
                                  return bad(reply, "position x,y expected: " + w);
                              c.defectsSet = true;
                              c.defects.push_back({uint32_t(x), uint32_t(y), key == "hot"});
                          } else if (key == "cast") {
                              const auto m = split(val, ',');
                              if (m.size() != 9)
                                  return bad(reply, "nine matrix values expected");
                              for (size_t k = 0; k < 9; ++k)
                                  if (!number(m[k], &c.cast[k]))
                                      return bad(reply, "matrix value expected: " + m[k]);
                              c.castSet = true;
                          } else {
                              return bad(reply, "unknown argument " + w);
                          }
                      }
                      // The pattern is a camera-side change of TestPattern, so that a
                      // later write of the feature selects the image again; only a
                      // camera without the feature keeps it in the stream's content.
                      if (c.pattern >= 0 && FeatureStore::ofCamera(cam)->remote().forceSet("TestPattern", a[1]) == 0)
                          c.pattern = -1;
                      streamStateOf(cam)->setContent(c);
                      return 0;
                  });

    // ---- events ----
    SimControl::add("event.fire",
                    "<module> 4000 <state> | 4 <event id> [channel] [block] [timestamp] | "
                    "5000 <signal> <image id> <timestamp> | <other type>",
                    [](const SimControlArgs& a, std::string& reply) {
                        int64_t type;
                        if (a.size() < 2 || !a.integer(1, &type))
                            return bad(reply, "module and event type expected");
                        HandleKind kind;
                        auto cam = moduleCamera(a[0], &kind, reply);
                        if (!cam)
                            return int(ORV_ERROR_INVALID_ARGUMENT);
                        int64_t v[4] = {0, 0, 0, 0};
                        for (size_t i = 2; i < a.size() && i < 6; ++i)
                            if (!a.integer(i, &v[i - 2]))
                                return bad(reply, "number expected: " + a[i]);
                        int posted;
                        if (type == ORV_EVENT_TYPE_DEVICE_CONNECTION) {
                            const auto r = connectionRecord(uint32_t(v[0]), cam->deviceId());
                            posted = eventStateOf(cam)->post(HandleKind::Device, int32_t(type), &r);
                        } else if (type == ORV_EVENT_TYPE_REMOTE_DEVICE) {
                            if (a.size() < 3)
                                return bad(reply, "event ID expected");
                            const auto r = remoteDeviceRecord(uint16_t(v[0]), uint16_t(v[1]), uint16_t(v[2]), uint64_t(v[3]));
                            posted = eventStateOf(cam)->post(HandleKind::Device, int32_t(type), &r);
                        } else if (type == ORV_EVENT_TYPE_DS_ACQUISITION) {
                            if (a.size() < 5)
                                return bad(reply, "signal, image ID and timestamp expected");
                            const auto r = streamRecord(int32_t(v[0]), uint64_t(v[1]), uint64_t(v[2]));
                            posted = eventStateOf(cam)->post(HandleKind::Stream, int32_t(type), &r);
                        } else {
                            posted = eventStateOf(cam)->post(kind, int32_t(type), nullptr);
                        }
                        reply = std::to_string(posted);
                        return 0;
                    });
    addCameraVerb("event.burst", "<device> <type> <n>", 3, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t type, n;
        if (!a.integer(1, &type) || !a.integer(2, &n) || n < 0)
            return bad(reply, "event type and count expected");
        auto events = eventStateOf(cam);
        for (int64_t i = 0; i < n; ++i) {
            if (type == ORV_EVENT_TYPE_DEVICE_CONNECTION) {
                const auto r = connectionRecord(1, cam->deviceId());
                events->post(HandleKind::Device, int32_t(type), &r);
            } else if (type == ORV_EVENT_TYPE_REMOTE_DEVICE) {
                const auto r = remoteDeviceRecord(0x9005, 0, uint16_t(i), uint64_t(i));
                events->post(HandleKind::Device, int32_t(type), &r);
            } else if (type == ORV_EVENT_TYPE_DS_ACQUISITION) {
                const auto r = streamRecord(1, uint64_t(i + 1), uint64_t(i));
                events->post(HandleKind::Stream, int32_t(type), &r);
            } else {
                events->post(HandleKind::Device, int32_t(type), nullptr);
                events->post(HandleKind::Stream, int32_t(type), nullptr);
            }
        }
        return 0;
    });
    addCameraVerb("event.refuse", "<device> <type> on/off", 3, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t type;
        bool on;
        if (!a.integer(1, &type) || !a.onOff(2, &on))
            return bad(reply, "event type and on/off expected");
        eventStateOf(cam)->setRefused(int32_t(type), on);
        return 0;
    });
    addCameraVerb("event.allow", "<device> <type>", 2, [](const SimControlArgs& a, std::string& reply, const auto& cam) {
        int64_t type;
        if (!a.integer(1, &type))
            return bad(reply, "event type expected");
        eventStateOf(cam)->allow(int32_t(type));
        return 0;
    });

    // ---- device files ----
    auto files = [](const std::shared_ptr<SimCamera>& cam, std::string& reply) {
        auto store = fileStoreOf(cam);
        if (!store)
            reply = "camera has no file access: " + cam->deviceId();
        return store;
    };
    addCameraVerb("file.put", "<device> <entry> <name> <local file>", 4,
                  [files](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      auto store = files(cam, reply);
                      if (!store)
                          return int(ORV_ERROR_INVALID_ARGUMENT);
                      std::ifstream in(a[3], std::ios::binary);
                      if (!in)
                          return bad(reply, "cannot read " + a[3]);
                      const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                      if (store->put(a[1], a[2], data) != 0)
                          return bad(reply, "refused");
                      return 0;
                  });
    addCameraVerb("file.get", "<device> <entry> <name> <local file>", 4,
                  [files](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      auto store = files(cam, reply);
                      if (!store)
                          return int(ORV_ERROR_INVALID_ARGUMENT);
                      std::vector<uint8_t> data;
                      if (store->get(a[1], a[2], data) != 0)
                          return bad(reply, "no such file");
                      std::ofstream out(a[3], std::ios::binary);
                      out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
                      if (!out)
                          return bad(reply, "cannot write " + a[3]);
                      return 0;
                  });
    addCameraVerb("file.list", "<device>", 1, [files](const SimControlArgs&, std::string& reply, const auto& cam) {
        auto store = files(cam, reply);
        if (!store)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        std::string out;
        for (const char* entry : {"Userfile", "Firmware", "UserSet1"})
            for (const auto& f : store->list(entry))
                out += std::string(entry) + " " + f.name + " " + std::to_string(f.size) + "\n";
        out += "free " + std::to_string(store->freeSize()) + "\n";
        const std::string firmware = store->pendingFirmware();
        if (!firmware.empty())
            out += "pending firmware " + firmware + "\n";
        reply = out;
        return 0;
    });
    addCameraVerb("file.fail", "<device> <entry> [name] read/write/delete <code> [afterbytes=n] [count=n] [always]", 4,
                  [files](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      auto store = files(cam, reply);
                      if (!store)
                          return int(ORV_ERROR_INVALID_ARGUMENT);
                      const auto p = a.positional();
                      if (p.size() < 4 || p.size() > 5)
                          return bad(reply, "usage: file.fail <device> <entry> [name] read/write/delete <code>");
                      const std::string name = p.size() == 5 ? p[2] : std::string();
                      const std::string& op = p[p.size() - 2];
                      FileStore::Op o;
                      if (op == "read")
                          o = FileStore::Op::Read;
                      else if (op == "write")
                          o = FileStore::Op::Write;
                      else if (op == "delete")
                          o = FileStore::Op::Delete;
                      else
                          return bad(reply, "read, write or delete expected");
                      char* end = nullptr;
                      const long code = std::strtol(p.back().c_str(), &end, 0);
                      if (*end)
                          return bad(reply, "code expected");
                      std::string opt;
                      double after = 0, count = 1;
                      if (a.option("afterbytes", &opt) && (!number(opt, &after) || after < 0))
                          return bad(reply, "afterbytes=n expected");
                      if (a.option("count", &opt) && (!number(opt, &count) || count < 1))
                          return bad(reply, "count=n expected");
                      store->injectFailure(p[1], name, o, int(code), uint64_t(after), a.hasWord("always") ? -1 : int(count));
                      return 0;
                  });
    addCameraVerb("file.rate", "<device> <bytes per second> (0: defaults)", 2,
                  [files](const SimControlArgs& a, std::string& reply, const auto& cam) {
                      auto store = files(cam, reply);
                      double rate;
                      if (!store)
                          return int(ORV_ERROR_INVALID_ARGUMENT);
                      if (!number(a[1], &rate) || rate < 0)
                          return bad(reply, "rate expected");
                      store->setRate(rate);
                      return 0;
                  });
    addCameraVerb("file.free", "<device> <free bytes>", 2, [files](const SimControlArgs& a, std::string& reply, const auto& cam) {
        auto store = files(cam, reply);
        int64_t bytes;
        if (!store)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        if (!a.integer(1, &bytes) || bytes < 0)
            return bad(reply, "byte count expected");
        store->setFreeSize(uint64_t(bytes));
        return 0;
    });
    return true;
}();

} // namespace

} // namespace quillan

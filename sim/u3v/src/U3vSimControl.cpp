// Command lines that drive the simulated devices.
#include "U3vSim.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

namespace u3vsim {
namespace {

const char* const kHelp =
    "world.reset                      one default camera, cam0\n"
    "world.clear                      no device\n"
    "device.add <name> [key=value] [flag]...\n"
    "    keys: guid vendor model family version info serial user speed class=EF/02/01\n"
    "          tree=normal|zero-length|overlong|short-info|two-alts|no-control|no-config|\n"
    "               no-interfaces|unreadable\n"
    "          missing-string=1..8 response=<ms> caps=<bits>\n"
    "          event-transfer=<bytes>\n"
    "          width height pixel-format offset-x offset-y padding-x payload=<bytes>\n"
    "          align=<exponent> leader=<bytes> trailer=<bytes> fps=<frames per second>\n"
    "    flags: unopenable claimed no-event no-stream no-eirm no-sirm plain no-fill\n"
    "device.remove <name>             unplugged\n"
    "fault <name> <kind> [value] [count=n|always] [after=n] [on=read|write] [from=address]\n"
    "    kinds: write-fail read-fail silent late prefix command id status <code>\n"
    "           pending <ms> short short-written\n"
    "    stream kinds, counted in frames (refuse-submit: in submissions):\n"
    "           stall <ms> short-transfer <index> lost-trailer [gap ms] trailer-id\n"
    "           trailer-status <code> leader-magic payload-type <type>\n"
    "           short-leader [bytes] refuse-submit [1: its data is lost too]\n"
    "fault.clear <name>\n"
    "manifest <name> [size=n] [count=n] [damage]\n"
    "memory.read <name> <address> <count>    memory.write <name> <address> <hex bytes>\n"
    "record.commands|record.transfers|record.halts|record.clear <name>\n"
    "xml <name>                       the device's GenICam file, unpacked\n"
    "event <name> <id> [timestamp] [hex data]    event.raw <name> <hex bytes>\n"
    "event.reads <name>               reads of the event endpoint served\n"
    "stream <name> [fps=<n>] [fill=on|off]\n"
    "stream.counts <name>             submissions frames pending enabled\n"
    "record.sirm <name>               SIRM writes in order: offset value\n"
    "record.packets <name>            the last leader, trailer and event sent\n";

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

bool number(const std::string& text, std::uint64_t* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    *value = std::strtoull(text.c_str(), &end, 0);
    return end && *end == '\0';
}

std::string hex(const std::uint8_t* p, std::size_t n)
{
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X", p[i]);
        out += b;
    }
    return out;
}

bool parseHex(const std::string& text, std::vector<std::uint8_t>& out)
{
    if (text.size() % 2)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint64_t b = 0;
        if (!number("0x" + text.substr(i, 2), &b))
            return false;
        out.push_back(std::uint8_t(b));
    }
    return true;
}

using Words = std::vector<std::string>;
using Handler = std::function<bool(const Words&, std::string&)>;

std::shared_ptr<SimDevice> named(const Words& w, std::size_t minWords, std::string& reply)
{
    if (w.size() < minWords) {
        reply = "missing arguments";
        return nullptr;
    }
    auto d = World::instance().device(w[1]);
    if (!d)
        reply = "no device " + w[1];
    return d;
}

bool deviceAdd(const Words& w, std::string& reply)
{
    if (w.size() < 2) {
        reply = "missing name";
        return false;
    }
    DeviceSetup s;
    s.name = w[1];
    for (std::size_t i = 2; i < w.size(); ++i) {
        const std::string& a = w[i];
        const std::size_t eq = a.find('=');
        const std::string key = a.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : a.substr(eq + 1);
        std::uint64_t n = 0;
        unsigned c1, c2, c3;
        if (key == "guid") s.guid = value;
        else if (key == "vendor") s.vendor = value;
        else if (key == "model") s.model = value;
        else if (key == "family") s.family = value;
        else if (key == "version") s.version = value;
        else if (key == "info") s.info = value;
        else if (key == "serial") s.serial = value;
        else if (key == "user") s.user = value;
        else if (key == "tree") s.tree = value;
        else if (key == "speed" && number(value, &n)) s.speed = std::uint8_t(n);
        else if (key == "missing-string" && number(value, &n)) s.missingString = int(n);
        else if (key == "response" && number(value, &n)) s.responseMs = std::uint32_t(n);
        else if (key == "caps" && number(value, &n)) s.capabilities = std::uint32_t(n);
        else if (key == "event-transfer" && number(value, &n)) s.eventTransfer = std::uint32_t(n);
        else if (key == "width" && number(value, &n)) s.width = std::uint32_t(n);
        else if (key == "height" && number(value, &n)) s.height = std::uint32_t(n);
        else if (key == "pixel-format" && number(value, &n)) s.pixelFormat = std::uint32_t(n);
        else if (key == "offset-x" && number(value, &n)) s.offsetX = std::uint32_t(n);
        else if (key == "offset-y" && number(value, &n)) s.offsetY = std::uint32_t(n);
        else if (key == "padding-x" && number(value, &n)) s.paddingX = std::uint16_t(n);
        else if (key == "payload" && number(value, &n)) s.payload = n;
        else if (key == "align" && number(value, &n)) s.alignExponent = std::uint32_t(n);
        else if (key == "leader" && number(value, &n)) s.leaderSize = std::uint32_t(n);
        else if (key == "trailer" && number(value, &n)) s.trailerSize = std::uint32_t(n);
        else if (key == "fps" && !value.empty()) s.fps = std::atof(value.c_str());
        else if (key == "class" && std::sscanf(value.c_str(), "%x/%x/%x", &c1, &c2, &c3) == 3) {
            s.cls = std::uint8_t(c1);
            s.subClass = std::uint8_t(c2);
            s.protocol = std::uint8_t(c3);
        }
        else if (a == "unopenable") s.unopenable = true;
        else if (a == "claimed") s.claimedElsewhere = true;
        else if (a == "no-event") s.eventInterface = false;
        else if (a == "no-stream") s.streamInterface = false;
        else if (a == "plain") s.zipped = false;
        else if (a == "no-eirm") s.eirm = false;
        else if (a == "no-sirm") s.sirm = false;
        else if (a == "no-fill") s.fill = false;
        else {
            reply = "unknown argument " + a;
            return false;
        }
    }
    return World::instance().add(s, reply);
}

bool fault(const Words& w, std::string& reply)
{
    auto d = named(w, 3, reply);
    if (!d)
        return false;
    Fault f;
    f.kind = w[2];
    static const char* const kinds[] = {"write-fail", "read-fail", "silent", "late", "prefix",
                                        "command", "id", "status", "pending", "short",
                                        "short-written", "stall", "short-transfer",
                                        "lost-trailer", "trailer-id", "trailer-status",
                                        "leader-magic", "payload-type", "short-leader",
                                        "refuse-submit"};
    bool known = false;
    for (const char* k : kinds)
        known = known || f.kind == k;
    if (!known) {
        reply = "unknown fault " + f.kind;
        return false;
    }
    for (std::size_t i = 3; i < w.size(); ++i) {
        const std::string& a = w[i];
        std::uint64_t n = 0;
        if (a == "always") f.remaining = -1;
        else if (a.rfind("count=", 0) == 0 && number(a.substr(6), &n)) f.remaining = int(n);
        else if (a.rfind("after=", 0) == 0 && number(a.substr(6), &n)) f.after = int(n);
        else if (a.rfind("from=", 0) == 0 && number(a.substr(5), &n)) f.from = n;
        else if (a == "on=read" || a == "on=write") f.on = a.substr(3);
        else if (number(a, &n)) f.value = std::int64_t(n);
        else {
            reply = "bad argument " + a;
            return false;
        }
    }
    if (f.remaining == 0) {
        reply = "count must be at least 1";
        return false;
    }
    d->addFault(f);
    return true;
}

bool manifest(const Words& w, std::string& reply)
{
    auto d = named(w, 2, reply);
    if (!d)
        return false;
    std::uint8_t table[72];
    d->readMemory(kManifestAddress, table, sizeof table);
    for (std::size_t i = 2; i < w.size(); ++i) {
        const std::string& a = w[i];
        std::uint64_t n = 0;
        if (a.rfind("size=", 0) == 0 && number(a.substr(5), &n)) {
            for (int b = 0; b < 8; ++b)
                table[24 + b] = std::uint8_t(n >> (8 * b));
        } else if (a.rfind("count=", 0) == 0 && number(a.substr(6), &n)) {
            for (int b = 0; b < 8; ++b)
                table[b] = std::uint8_t(n >> (8 * b));
        } else if (a == "damage") {
            // Flips bytes of the packed data behind the first local header.
            std::uint8_t header[30];
            d->readMemory(kFileAddress, header, sizeof header);
            const std::uint64_t data = kFileAddress + 30 + (header[26] | header[27] << 8)
                                     + (header[28] | header[29] << 8);
            std::uint8_t bytes[16];
            d->readMemory(data, bytes, sizeof bytes);
            for (auto& b : bytes)
                b ^= 0x5A;
            d->writeMemory(data, bytes, sizeof bytes);
        } else {
            reply = "bad argument " + a;
            return false;
        }
    }
    d->writeMemory(kManifestAddress, table, sizeof table);
    return true;
}

const std::map<std::string, Handler>& handlers()
{
    static const std::map<std::string, Handler> table = {
        {"help", [](const Words&, std::string& r) { r = kHelp; return true; }},
        {"world.reset", [](const Words&, std::string&) { World::instance().reset(); return true; }},
        {"world.clear", [](const Words&, std::string&) { World::instance().clear(); return true; }},
        {"device.add", deviceAdd},
        {"device.remove", [](const Words& w, std::string& r) {
             if (w.size() >= 2 && World::instance().remove(w[1]))
                 return true;
             r = "no such device";
             return false;
         }},
        {"fault", fault},
        {"fault.clear", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 d->clearFaults();
             return bool(d);
         }},
        {"manifest", manifest},
        {"memory.read", [](const Words& w, std::string& r) {
             auto d = named(w, 4, r);
             std::uint64_t address = 0, count = 0;
             if (!d || !number(w[2], &address) || !number(w[3], &count) || count > 65536) {
                 if (d)
                     r = "bad address or count";
                 return false;
             }
             std::vector<std::uint8_t> bytes(count);
             d->readMemory(address, bytes.data(), bytes.size());
             r = hex(bytes.data(), bytes.size());
             return true;
         }},
        {"memory.write", [](const Words& w, std::string& r) {
             auto d = named(w, 4, r);
             std::uint64_t address = 0;
             if (!d || !number(w[2], &address)) {
                 if (d)
                     r = "bad address or bytes";
                 return false;
             }
             std::vector<std::uint8_t> bytes;
             if (!parseHex(w[3], bytes)) {
                 r = "bad bytes";
                 return false;
             }
             d->writeMemory(address, bytes.data(), bytes.size());
             return true;
         }},
        {"record.commands", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 for (const auto& c : d->commands())
                     r += hex(c.data(), c.size()) + "\n";
             return bool(d);
         }},
        {"record.transfers", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 for (const auto& t : d->transfers())
                     r += std::to_string(t.endpoint) + " " + std::to_string(t.size) + " "
                        + std::to_string(t.timeoutMs) + " " + std::to_string(t.result) + "\n";
             return bool(d);
         }},
        {"record.halts", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 for (unsigned e : d->clearedHalts())
                     r += hex(reinterpret_cast<const std::uint8_t*>(&e), 1) + "\n";
             return bool(d);
         }},
        {"record.clear", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 d->clearRecords();
             return bool(d);
         }},
        {"event", [](const Words& w, std::string& r) {
             auto d = named(w, 3, r);
             std::uint64_t id = 0, timestamp = 0;
             std::vector<std::uint8_t> data;
             if (!d || !number(w[2], &id) || (w.size() > 3 && !number(w[3], &timestamp))
                 || (w.size() > 4 && !parseHex(w[4], data))) {
                 if (d)
                     r = "bad event";
                 return false;
             }
             d->sendEvent(SimDevice::eventPacket(std::uint16_t(id), timestamp, data));
             return true;
         }},
        {"event.raw", [](const Words& w, std::string& r) {
             auto d = named(w, 3, r);
             std::vector<std::uint8_t> bytes;
             if (!d || !parseHex(w[2], bytes)) {
                 if (d)
                     r = "bad bytes";
                 return false;
             }
             d->sendEvent(std::move(bytes));
             return true;
         }},
        {"event.reads", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 r = std::to_string(d->eventReads());
             return bool(d);
         }},
        {"stream", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (!d)
                 return false;
             for (std::size_t i = 2; i < w.size(); ++i) {
                 if (w[i].rfind("fps=", 0) == 0)
                     d->setPace(std::atof(w[i].c_str() + 4));
                 else if (w[i] == "fill=on" || w[i] == "fill=off")
                     d->setFill(w[i] == "fill=on");
                 else {
                     r = "bad argument " + w[i];
                     return false;
                 }
             }
             return true;
         }},
        {"stream.counts", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d) {
                 const StreamCounts c = d->streamCounts();
                 r = std::to_string(c.submissions) + " " + std::to_string(c.frames) + " "
                   + std::to_string(c.pending) + " " + (c.enabled ? "1" : "0");
             }
             return bool(d);
         }},
        {"record.sirm", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d) {
                 char line[32];
                 for (const auto& [offset, value] : d->sirmWrites()) {
                     std::snprintf(line, sizeof line, "%02X %u\n", offset, value);
                     r += line;
                 }
             }
             return bool(d);
         }},
        {"record.packets", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d) {
                 const auto leader = d->lastLeader(), trailer = d->lastTrailer(),
                            event = d->lastEvent();
                 r = "leader " + hex(leader.data(), leader.size()) + "\ntrailer "
                   + hex(trailer.data(), trailer.size()) + "\nevent "
                   + hex(event.data(), event.size()) + "\n";
             }
             return bool(d);
         }},
        {"xml", [](const Words& w, std::string& r) {
             auto d = named(w, 2, r);
             if (d)
                 r = d->xml();
             return bool(d);
         }},
    };
    return table;
}

} // namespace

int control(const std::string& line, std::string& reply)
{
    reply.clear();
    const Words words = splitWords(line);
    if (words.empty()) {
        reply = "empty command";
        return -1006;
    }
    auto it = handlers().find(words[0]);
    if (it == handlers().end()) {
        reply = "unknown command " + words[0];
        return -1006;
    }
    return it->second(words, reply) ? 0 : -1006;
}

} // namespace u3vsim

int U3vSimControl(const char* command, char* reply, std::size_t* replySize)
{
    if (!command)
        return -1006;
    std::string text;
    const int rc = u3vsim::control(command, text);
    if (reply && replySize && *replySize > 0) {
        const std::size_t n = std::min(text.size(), *replySize - 1);
        std::memcpy(reply, text.data(), n);
        reply[n] = '\0';
    }
    if (replySize)
        *replySize = text.size() + 1;
    return rc;
}

#include "SimWorldFile.h"

#include "SimText.h"
#include "SimWorld.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace quillan {

namespace {

struct Reader {
    std::string error;

    bool fail(const std::string& message)
    {
        if (error.empty())
            error = message;
        return false;
    }

    bool text(const QJsonObject& o, const char* name, std::string* out, const std::string& where)
    {
        if (!o.contains(name))
            return true;
        if (!o.value(name).isString())
            return fail(where + ": \"" + name + "\" must be a text");
        *out = o.value(name).toString().toStdString();
        if (out->size() >= 512)
            return fail(where + ": \"" + name + "\" is longer than 511 bytes");
        return true;
    }

    template <class T>
    bool number(const QJsonObject& o, const char* name, T* out, double min, double max, const std::string& where)
    {
        if (!o.contains(name))
            return true;
        double v = o.value(name).toDouble(min - 1);
        if (!o.value(name).isDouble() || v < min || v > max || v != static_cast<double>(static_cast<int64_t>(v)))
            return fail(where + ": \"" + name + "\" must be a whole number");
        *out = static_cast<T>(v);
        return true;
    }

    bool flag(const QJsonObject& o, const char* name, bool* out, const std::string& where)
    {
        if (!o.contains(name))
            return true;
        if (!o.value(name).isBool())
            return fail(where + ": \"" + name + "\" must be true or false");
        *out = o.value(name).toBool();
        return true;
    }

    bool address(const std::string& text, const std::string& field, const std::string& where)
    {
        uint32_t v = 0;
        return text.empty() || parseIpv4(text, &v) || fail(where + ": \"" + field + "\" is no IPv4 address");
    }

    bool producer(const QJsonObject& o, SimProducerDesc* p)
    {
        std::string where = "producer";
        if (!text(o, "file", &p->fileName, where) || p->fileName.empty())
            return fail("a producer needs its \"file\" name");
        where = "producer " + p->fileName;
        if (!text(o, "vendor", &p->vendor, where) || !text(o, "model", &p->model, where)
            || !text(o, "type", &p->tlType, where) || !text(o, "version", &p->version, where))
            return false;
        if (o.contains("interfaces") && !o.value("interfaces").isArray())
            return fail(where + ": \"interfaces\" must be a list");
        p->interfaces.clear();
        for (const QJsonValue& v : o.value("interfaces").toArray()) {
            SimInterfaceDesc d;
            d.tlType = p->tlType;
            QJsonObject i = v.toObject();
            if (!text(i, "id", &d.id, where) || d.id.empty())
                return fail(where + ": an interface needs its \"id\"");
            std::string at = where + " interface " + d.id;
            if (!text(i, "display", &d.displayName, at) || !text(i, "ip", &d.ipAddress, at)
                || !text(i, "mask", &d.subnetMask, at) || !text(i, "gateway", &d.gateway, at)
                || !address(d.ipAddress, "ip", at) || !address(d.subnetMask, "mask", at)
                || !address(d.gateway, "gateway", at))
                return false;
            if (d.displayName.empty())
                d.displayName = d.id;
            p->interfaces.push_back(d);
        }
        return true;
    }

    bool camera(const QJsonObject& o, const SimWorldDescription& builtIn, SimCameraConfig* c)
    {
        std::string where = "camera";
        std::string profile;
        if (!text(o, "profile", &profile, where))
            return false;
        if (!profile.empty()) {
            auto base = std::find_if(builtIn.cameras.begin(), builtIn.cameras.end(),
                                     [&](const SimCameraConfig& b) { return b.key == profile; });
            if (base == builtIn.cameras.end())
                return fail("camera: unknown profile \"" + profile + "\"");
            *c = *base;
        }
        if (!text(o, "id", &c->deviceId, where) || c->deviceId.empty())
            return fail("a camera needs its \"id\" or a \"profile\"");
        where = "camera " + c->deviceId;
        if (c->key.empty())
            c->key = c->deviceId;
        if (c->serialNumber.empty())
            c->serialNumber = c->deviceId.substr(c->deviceId.size() > 4 ? c->deviceId.size() - 4 : 0);
        std::string mac;
        bool ok = text(o, "producer", &c->producerFile, where) && text(o, "interface", &c->interfaceId, where)
            && text(o, "vendor", &c->vendor, where) && text(o, "model", &c->model, where)
            && text(o, "serial", &c->serialNumber, where) && text(o, "version", &c->version, where)
            && number(o, "status", &c->status, INT32_MIN, INT32_MAX, where)
            && number(o, "width", &c->width, 1, 65535, where) && number(o, "height", &c->height, 1, 65535, where)
            && flag(o, "stream", &c->hasStream, where) && flag(o, "bigEndian", &c->bigEndianMemory, where)
            && number(o, "probeTime", &c->probeTimeMs, 0, UINT32_MAX, where)
            && number(o, "latency", &c->latencyMs, 0, UINT32_MAX, where) && text(o, "ip", &c->ipAddress, where)
            && text(o, "mask", &c->subnetMask, where) && text(o, "gateway", &c->gateway, where)
            && text(o, "mac", &mac, where) && address(c->ipAddress, "ip", where)
            && address(c->subnetMask, "mask", where) && address(c->gateway, "gateway", where);
        if (!ok)
            return false;
        if (!mac.empty()) {
            unsigned b[6];
            char end;
            if (std::sscanf(mac.c_str(), "%2x-%2x-%2x-%2x-%2x-%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &end)
                != 6)
                return fail(where + ": \"mac\" must look like 00-11-1C-00-00-01");
            c->mac = 0;
            for (unsigned byte : b)
                c->mac = (c->mac << 8) | byte;
        }
        if (o.contains("formats")) {
            if (!o.value("formats").isArray())
                return fail(where + ": \"formats\" must be a list of texts");
            c->pixelFormats.clear();
            for (const QJsonValue& v : o.value("formats").toArray())
                c->pixelFormats.push_back(v.toString().toStdString());
            if (!o.contains("stream"))
                c->hasStream = !c->pixelFormats.empty();
        }
        if (o.contains("events")) {
            if (!o.value("events").isArray())
                return fail(where + ": \"events\" must be a list of event types");
            c->eventTypes.clear();
            for (const QJsonValue& v : o.value("events").toArray())
                c->eventTypes.push_back(v.toInt());
        }
        return true;
    }
};

} // namespace

bool readWorldFile(const std::string& path, SimWorldDescription* world, std::string* error)
{
    Reader r;
    auto finish = [&](bool ok) {
        if (!ok && error)
            *error = r.error;
        return ok;
    };
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return finish(r.fail("cannot open " + path));
    QJsonParseError parse{};
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError)
        return finish(r.fail(path + ": " + parse.errorString().toStdString() + " at offset "
                             + std::to_string(parse.offset)));
    if (!doc.isObject())
        return finish(r.fail(path + ": the world must be a JSON object"));
    QJsonObject root = doc.object();
    const SimWorldDescription builtIn = SimWorld::builtInWorld();
    SimWorldDescription result;
    if (root.value("builtIn").toBool(false))
        result = builtIn;

    for (const QJsonValue& v : root.value("producers").toArray()) {
        SimProducerDesc p;
        if (!r.producer(v.toObject(), &p))
            return finish(false);
        auto same = std::find_if(result.producers.begin(), result.producers.end(),
                                 [&](const SimProducerDesc& q) { return q.fileName == p.fileName; });
        if (same != result.producers.end())
            *same = p;
        else
            result.producers.push_back(p);
    }
    for (const QJsonValue& v : root.value("cameras").toArray()) {
        SimCameraConfig c;
        if (!r.camera(v.toObject(), builtIn, &c))
            return finish(false);
        auto producer = std::find_if(result.producers.begin(), result.producers.end(),
                                     [&](const SimProducerDesc& p) { return p.fileName == c.producerFile; });
        if (producer == result.producers.end())
            return finish(r.fail("camera " + c.deviceId + ": no producer \"" + c.producerFile + "\""));
        if (std::none_of(producer->interfaces.begin(), producer->interfaces.end(),
                         [&](const SimInterfaceDesc& d) { return d.id == c.interfaceId; }))
            return finish(r.fail("camera " + c.deviceId + ": its producer has no interface \"" + c.interfaceId
                                 + "\""));
        if (c.tlType != producer->tlType && !v.toObject().contains("bigEndian"))
            c.bigEndianMemory = !equalsIgnoreCase(producer->tlType, "U3V");
        c.tlType = producer->tlType;
        auto same = std::find_if(result.cameras.begin(), result.cameras.end(),
                                 [&](const SimCameraConfig& d) { return d.deviceId == c.deviceId; });
        if (same != result.cameras.end())
            *same = c;
        else
            result.cameras.push_back(c);
    }
    *world = std::move(result);
    return finish(true);
}

} // namespace quillan

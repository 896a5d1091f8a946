#include "SimCameraProfile.h"

#include <algorithm>

namespace quillan {

namespace {

uint32_t ipv4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

SimCameraProfile base(const std::string& id, const std::string& model, const std::string& tl,
                      int64_t w, int64_t h)
{
    SimCameraProfile p;
    p.deviceId = id;
    p.model = model;
    p.tlType = tl;
    p.serial = id.substr(id.size() - 4);
    p.widthMax = w;
    p.heightMax = h;
    return p;
}

SimCameraProfile gige(const std::string& id, const std::string& model, int64_t w, int64_t h,
                      uint32_t ip, uint32_t mask, int nn)
{
    SimCameraProfile p = base(id, model, "GEV", w, h);
    p.gev = true;
    p.ip = ip;
    p.mask = mask;
    p.gateway = 0;
    p.mac = 0x00111C000000ull | uint64_t(nn);
    return p;
}

std::vector<SimLineDef> plainLines()
{
    const std::vector<std::string> out = {"Off", "ExposureActive", "UserOutput0"};
    return {{"Line0", 0, false, {}}, {"Line1", 1, false, {}}, {"Line2", 2, true, out}, {"Line3", 3, true, out}};
}

std::vector<SimCameraProfile> build()
{
    std::vector<SimCameraProfile> all;
    const uint32_t mask24 = ipv4(255, 255, 255, 0);

    SimCameraProfile g1 = gige("GEV-G1-0001", "SIM-G1280M", 1280, 1024, ipv4(192, 168, 1, 101), mask24, 1);
    g1.manufacturerInfo = "SIM mono series rev B";
    g1.formats = {"Mono8", "Mono10", "Mono12", "Mono16", "Mono10Packed", "Mono12Packed"};
    g1.lutSelectors = {"Luminance"};
    g1.lines = plainLines();
    g1.strobes = 4;
    g1.fileAccess = true;
    g1.defectRevision = 4;
    g1.defectFeatures = true;
    g1.shadingRevision = 4;
    g1.shadingMapBuffer = true;
    g1.colour = SimCameraProfile::Colour::Unavailable;
    g1.userSets = true;
    g1.extras = true;
    g1.testControl = true;
    g1.alternativeDescription = true;
    all.push_back(g1);

    SimCameraProfile g2 = gige("GEV-G2-0002", "SIM-G1280C", 1280, 1024, ipv4(192, 168, 1, 102), mask24, 2);
    g2.manufacturerInfoOnly = "SIM colour series";
    g2.formats = {"BayerRG8", "BayerGR8", "BayerGB8", "BayerBG8", "BayerRG10", "BayerRG12",
                  "BayerRG12Packed", "BayerRG16", "RGB8"};
    g2.colour = SimCameraProfile::Colour::Available;
    g2.lutSelectors = {"Red", "Green", "Blue"};
    g2.lutIndexMax = 1023;
    g2.lutIndexInc = 4;
    g2.lutValueMax = 255;
    g2.defectRevision = 3;
    g2.defectFeatures = true;
    g2.shadingRevision = 5;
    g2.frameLoss = SimCameraProfile::StreamFeature::Readable;
    all.push_back(g2);

    SimCameraProfile g3 = gige("GEV-G3-0003", "SIM-G640M", 640, 480, ipv4(192, 168, 1, 103), mask24, 3);
    g3.userSets = true;
    all.push_back(g3);
    all.push_back(gige("GEV-G4-0004", "SIM-G640M", 640, 480, ipv4(192, 168, 1, 104), mask24, 4));
    all.push_back(gige("GEV-G5-0005", "SIM-G640M", 640, 480, ipv4(169, 254, 12, 34), ipv4(255, 255, 0, 0), 5));
    all.push_back(gige("GEV-G6-0006", "SIM-G640M", 640, 480, ipv4(10, 0, 0, 106), ipv4(255, 0, 0, 0), 6));

    SimCameraProfile g7 = gige("GEV-G7-0007", "SIM-G1024SEQ", 1024, 768, ipv4(10, 0, 0, 107), ipv4(255, 0, 0, 0), 7);
    g7.sequencer = true;
    const std::vector<std::string> seqOut = {"Off", "PWM 0", "PWM 1", "PWM 2", "PWM 3", "SeqPulse A", "SeqPulse B"};
    g7.lines = {{"Sequencer Input", 0, false, {"Input 1", "Input 2"}},
                {"Trigger Input", 1, false, {"SeqPulse A", "SeqPulse B", "Input 1"}},
                {"Output 0", 8, true, seqOut},
                {"Output 1", 9, true, seqOut},
                {"Output 2", 10, true, seqOut},
                {"Output 3", 11, true, seqOut},
                {"Aux Line 35", 35, false, {}},
                {"Aux Line 64", 64, false, {}}};
    g7.strobes = 5;
    all.push_back(g7);

    SimCameraProfile r1 = gige("GEV-R1-0101", "SIM-G1280M-R", 1280, 1024, ipv4(192, 168, 2, 101), mask24, 0x11);
    r1.manufacturerInfo = "SIM mono series, rdma stream";
    all.push_back(r1);
    all.push_back(gige("GEV-B1-0201", "SIM-G640M", 640, 480, ipv4(192, 168, 3, 101), mask24, 0x21));

    SimCameraProfile u1 = base("U3V-U1-0301", "SIM-U1920M", "U3V", 1920, 1200);
    u1.formats = {"Mono8", "Mono12", "Mono12Packed"};
    u1.defectProbeRevision = 3;
    u1.shadingRevision = 4;
    u1.lutSelectors = {"Luminance"};
    u1.userSets = true;
    u1.lostFrameCount = SimCameraProfile::StreamFeature::Absent;
    all.push_back(u1);

    SimCameraProfile u2 = base("U3V-U2-0302", "SIM-U1280-16", "U3V", 1280, 960);
    u2.vendor = "Other Vendor Ltd";
    u2.manufacturerInfo = "Other Vendor";
    u2.formats = {"Mono16", "Mono10"};
    u2.mono16ReportsBpp12 = true;
    u2.events = false;
    u2.streamPayloadSize = false;
    u2.streamTLParamsLocked = false;
    all.push_back(u2);

    SimCameraProfile u3 = base("U3V-U3-0303", "SIM-UIO", "U3V", 640, 480);
    u3.hasStream = false;
    u3.lines = {{"Line0", 0, false, {}}, {"Line1", 1, false, {}}};
    all.push_back(u3);

    SimCameraProfile c1 = base("CL-C1-0401", "SIM-CL1024M", "CL", 1024, 768);
    c1.version = c1.firmware = "1.0.0";
    c1.events = false;
    all.push_back(c1);

    SimCameraProfile c2 = base("CL-C2-0402", "SIM-CL1024M", "CL", 1024, 768);
    c2.vendor = "Ombrel";
    c2.version = c2.firmware = "2.3.0";
    c2.formats = {"Mono8", "Mono10"};
    c2.defectRevision = 2;
    c2.defectFeatures = true;
    c2.defectProbeRevision = 3;
    c2.shadingRevision = 3;
    c2.lutSelectors = {"Luminance"};
    c2.lutSelectorLocked = true;
    c2.lutIndexMax = 1023;
    c2.events = false;
    all.push_back(c2);

    SimCameraProfile c3 = base("CL-C3-0403", "SIM-CL2048M", "CL", 2048, 1024);
    c3.events = false;
    all.push_back(c3);
    all.push_back(base("CLHS-H1-0501", "SIM-HS2048M", "CLHS", 2048, 1024));

    SimCameraProfile x1 = base("CXP-X1-0601", "SIM-X2048M", "CXP", 2048, 2048);
    x1.vendor = "Other Vendor Ltd";
    x1.hasVendorName = false;
    all.push_back(x1);
    SimCameraProfile p1 = base("PCI-P1-0701", "SIM-P640M", "PCIx", 640, 480);
    p1.vendor = "Other Vendor Ltd";
    all.push_back(p1);
    return all;
}

} // namespace

bool SimCameraProfile::bigEndian() const
{
    std::string t = tlType;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
    return t != "U3V";
}

bool SimCameraProfile::isColour() const
{
    return std::any_of(formats.begin(), formats.end(),
                       [](const std::string& f) { return f.rfind("Bayer", 0) == 0 || f == "RGB8"; });
}

const std::vector<SimCameraProfile>& SimCameraProfile::builtIn()
{
    static const std::vector<SimCameraProfile> profiles = build();
    return profiles;
}

SimCameraProfile SimCameraProfile::forCamera(const std::string& key, const std::string& deviceId)
{
    for (const SimCameraProfile& p : builtIn()) {
        if (p.deviceId == deviceId)
            return p;
    }
    const std::string middle = "-" + key + "-";
    for (const SimCameraProfile& p : builtIn()) {
        if (!key.empty() && p.deviceId.find(middle) != std::string::npos) {
            SimCameraProfile own = p;
            own.deviceId = deviceId;
            return own;
        }
    }
    return forDevice(deviceId);
}

SimCameraProfile SimCameraProfile::forDevice(const std::string& deviceId)
{
    for (const SimCameraProfile& p : builtIn())
        if (p.deviceId == deviceId)
            return p;
    SimCameraProfile p = base(deviceId.size() >= 4 ? deviceId : deviceId + "0000", "SIM-GENERIC", "GEV", 640, 480);
    p.deviceId = deviceId;
    return p;
}

} // namespace quillan

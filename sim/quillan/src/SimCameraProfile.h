// What one simulated camera offers: its texts, sensor, pixel formats and the
// optional feature groups. The built-in cameras are listed by builtIn().
#ifndef SIMCAMERAPROFILE_H
#define SIMCAMERAPROFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

struct SimLineDef {
    std::string name;
    int64_t value = 0;     // bit number in LineStatusAll
    bool output = false;
    std::vector<std::string> sources; // LineSource entries offered; empty: unavailable
};

struct SimCameraProfile {
    enum class Colour { None, Unavailable, Available };
    enum class StreamFeature { Absent, Readable, Unavailable };

    std::string deviceId;
    std::string vendor = "NORRIK-Ombrel";      // device record and DeviceVendorName
    bool hasVendorName = true;
    std::string model;
    std::string serial;
    std::string version = "3.2.1";
    std::string firmware = "3.2.1";
    std::string tlType = "GEV";
    std::string userName;
    std::string manufacturerInfo;              // DeviceManufacturerInfo; empty: absent
    std::string manufacturerInfoOnly;          // ManufacturerInfo when the other is absent
    uint32_t ip = 0, mask = 0, gateway = 0;    // GigE current configuration
    uint64_t mac = 0;

    int64_t widthMax = 1280, heightMax = 1024;
    std::vector<std::string> formats = {"Mono8"};
    bool mono16ReportsBpp12 = false;

    // Optional groups.
    bool extras = false;            // ExposureTimeMin/Max, GainAuto, BlackLevel
    bool testControl = false;
    bool alternativeDescription = false;
    bool sequencer = false;         // with its ExposureMode and TriggerSource
    std::vector<SimLineDef> lines;
    int strobes = 0;
    std::vector<std::string> lutSelectors;    // empty: no LUT
    bool lutSelectorLocked = false;
    int64_t lutIndexMax = 4095, lutIndexInc = 1, lutValueMax = 4095;
    Colour colour = Colour::None;
    int defectRevision = 0;          // DefectPixelCorrection_Revision; 0: absent
    bool defectFeatures = false;     // the correction's features exist
    uint32_t defectProbeRevision = 0; // register 0x10004040; 0: unmapped
    int shadingRevision = 0;         // 0: no shading correction
    bool shadingMapBuffer = false;
    bool fileAccess = false;
    bool userSets = false;
    bool gev = false;                // GigE transport features
    bool events = true;              // EventControl group

    bool hasStream = true;
    bool streamPayloadSize = true;
    bool streamTLParamsLocked = true;
    StreamFeature lostFrameCount = StreamFeature::Readable;
    StreamFeature frameLoss = StreamFeature::Absent;

    bool bigEndian() const;
    bool isColour() const;

    static const std::vector<SimCameraProfile>& builtIn();
    // The built-in profile of a device ID, or a basic Mono8 camera.
    static SimCameraProfile forDevice(const std::string& deviceId);
    // The same, or for a camera of a world file the built-in profile its
    // key names ("G1") under its own device ID.
    static SimCameraProfile forCamera(const std::string& key, const std::string& deviceId);
};

} // namespace quillan

#endif

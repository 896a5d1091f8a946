// The feature lists and memory of one simulated camera: the remote device's
// own features, the device module's, the stream's, the camera memory behind
// the register twins, settings files and user sets.
//
// The three stores share one lock. The state belongs to the camera and
// outlives the handles that reach it.
#ifndef SIMCAMERAFEATURES_H
#define SIMCAMERAFEATURES_H

#include "SimCameraProfile.h"
#include "SimDeviceMemory.h"
#include "SimFeatureStore.h"
#include "SimImageGenerator.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillan {

class SimCameraFeatures
{
public:
    static constexpr const char* kSettingsMagic = "# Quillan camera settings 1";

    explicit SimCameraFeatures(SimCameraProfile profile);
    ~SimCameraFeatures();
    SimCameraFeatures(const SimCameraFeatures&) = delete;
    SimCameraFeatures& operator=(const SimCameraFeatures&) = delete;

    const SimCameraProfile& profile() const { return profile_; }
    SimFeatureStore& remote() { return *remote_; }
    SimFeatureStore& device() { return *device_; }
    SimFeatureStore* stream() { return stream_.get(); }

    // Camera memory with its access rules; twin features are invalidated.
    int readMemory(uint64_t address, void* data, size_t length);
    int writeMemory(uint64_t address, const void* data, size_t length);
    int peekMemory(uint64_t address, void* data, size_t length);
    int pokeMemory(uint64_t address, const void* data, size_t length);
    void addMemoryFault(uint64_t address, size_t length, bool write, int code, int count, int after);
    void clearFaults();
    // "x,y" per line of the entries of a defect map (the active one for -1).
    std::string defectMapText(int map);
    // Map size and capacity the camera reports; -1 reports the real value.
    bool reportDefectMap(int64_t size, int64_t capacity);
    // Byte count and 16-bit words of a shading map (the selected one for -1).
    std::string shadingMapText(int map);
    // The selected shading map as the camera applies it, with the words
    // written since power-up and the block grid's offsets.
    struct ShadingSnapshot {
        std::vector<uint8_t> bytes;
        std::vector<bool> written;
        uint32_t offsetX = 0, offsetY = 0;
    };
    ShadingSnapshot shadingSnapshot();

    // Settings files: the text of every writable remote-device value.
    std::string settingsText();
    int applySettingsText(const std::string& text, bool readOnly, std::string* error = nullptr);
    int saveSettings(const std::string& path);
    int loadSettings(const std::string& path, bool readOnly, std::string* error = nullptr);

    // User set n (0 Default, 1, 2) as a settings text, for the "UserSet1"
    // device file; replacing one refuses (-1010) a text a settings load would
    // refuse for its header or an unknown feature; resetting copies Default.
    std::string userSetText(int set);
    int setUserSetText(int set, const std::string& text);
    void resetUserSet(int set);
    // The look-up tables and the defect pixel correction the camera applies
    // to its images.
    void fillCorrections(SimImageSettings& settings);
    // Text the alternative description adds to DeviceFirmwareVersion.
    std::string firmwareSuffix();

    // Pins the level of the line of that LineSelector entry name: 0, 1, or
    // -1 to let it follow its own signal again. -1009 for an unknown line.
    int pinLine(const std::string& line, int level);
    // Whether the camera streams now; outputs with the source ExposureActive
    // are high during each exposure while it does.
    void setAcquiringProbe(std::function<bool()> probe);

    // Power-up: the values of the set UserSetDefault names, memory reset.
    void powerUp();

    // Applies the alternative description after UpdateXML (list refresh of
    // the remote device). Returns 0 also when nothing changed.
    int refreshRemoteList();

    // Pixel format helpers shared with the stream.
    static uint32_t pixelFormatCode(const std::string& name);
    static int significantBits(const std::string& name);
    static int64_t payloadBytes(int64_t width, int64_t height, uint32_t pfnc);

private:
    void buildRemote();
    void buildDevice();
    void buildStream();
    int applyLines(const std::vector<std::string>& lines, bool readOnly, std::string* error);
    // The lines of a user set without the user-set selectors (lock held).
    std::vector<std::string> userSetLines(int64_t which) const;
    int userSetLoad();
    int userSetSave();
    void fireNames(SimFeatureStore& store, const std::vector<std::string>& names);

    SimCameraProfile profile_;
    std::shared_ptr<SimStoreGroup> group_;
    std::shared_ptr<struct SimLineSignals> lineSignals_;
    std::unique_ptr<SimFeatureStore> remote_;
    std::unique_ptr<SimFeatureStore> device_;
    std::unique_ptr<SimFeatureStore> stream_;
    SimDeviceMemory memory_;
    std::vector<std::string> userSets_[3];
    bool alternateRequested_ = false;
    bool alternateActive_ = false;
    // Tables handed to the image generator; replaced only when they change.
    std::vector<std::shared_ptr<const std::vector<uint32_t>>> lutTables_;
    std::shared_ptr<const std::vector<std::array<uint32_t, 2>>> defectMap_;
};

} // namespace quillan

#endif

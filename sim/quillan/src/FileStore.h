#pragma once

#include "OrvSdk.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The file store of one simulated camera: the "Userfile" folder, the upload-only
// "Firmware" entry and the single-file entry "UserSet1". Transfers move 64 KiB
// per step at a settable rate and report progress to the callback registered
// on the module that asked for the transfer.
namespace quillan {

class FileStore {
public:
    struct Hooks {
        std::function<std::string()> readUserSet;              // text of user set 1
        std::function<int(const std::string&)> writeUserSet;   // 0, or a refusal
        std::function<void()> resetUserSet;                    // back to power-up values
        std::function<void()> changed;                         // after an upload, delete or size change
    };
    struct Entry {
        std::string name;
        uint64_t size;
    };
    enum class Op { Read, Write, Delete };

    static constexpr uint64_t kStep = 64 * 1024;
    static constexpr uint64_t kDefaultCapacity = 1024 * 1024;

    FileStore();
    ~FileStore();

    void setHooks(Hooks hooks);
    // Power-up content: "config.txt" (1536 bytes) and "notes.bin" (100 bytes).
    void reset();

    // Files of an entry: the folder's files, the single file, none for "Firmware".
    std::vector<Entry> list(const std::string& entry) const;
    uint64_t freeSize() const;
    uint64_t capacity() const;
    void setCapacity(uint64_t bytes);
    // Capacity such that `bytes` remain free now.
    void setFreeSize(uint64_t bytes);
    void setRate(double bytesPerSecond);        // 0 restores the defaults
    // Code for the next matching transfer; afterBytes moved first. count < 0: always.
    void injectFailure(const std::string& entry, const std::string& name, Op op, int code,
                       uint64_t afterBytes, int count);
    void clearFailures();

    // Direct access for test control: no progress, no rate.
    int put(const std::string& entry, const std::string& name, const std::vector<uint8_t>& data);
    int get(const std::string& entry, const std::string& name, std::vector<uint8_t>& data) const;

    // Progress callbacks per module. Unregistering waits for a call that is
    // running on another thread; afterwards no call is made.
    void registerCallback(ORV_MODULE_HANDLE module, void* context, ORV_FILE_ACCESS_CALLBACK callback);
    void unregisterCallback(ORV_MODULE_HANDLE module);

    // Transfers block until done. transfer, when not null, receives the bytes
    // moved; ORV_TRANSFER_CANCEL stored there ends the transfer before its
    // next block with ORV_ERROR_ABORTED, and nothing of it is kept.
    int download(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name,
                 std::vector<uint8_t>& data, int64_t* transfer);
    int upload(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name,
               const std::vector<uint8_t>& data, int64_t* transfer);
    int remove(const std::string& entry, const std::string& name);

    // Firmware version that the next reset brings, empty when none; cleared.
    std::string takePendingFirmware();
    // The same, left in place.
    std::string pendingFirmware() const;

private:
    struct Failure {
        std::string entry, name;
        Op op;
        int code;
        uint64_t afterBytes;
        int count;
    };
    struct Callback {
        void* context = nullptr;
        ORV_FILE_ACCESS_CALLBACK function = nullptr;
        int running = 0;
        std::thread::id caller;
    };

    const Failure* matchFailure(const std::string& entry, const std::string& name, Op op);
    void consumeFailure(const Failure* f);
    void report(ORV_MODULE_HANDLE module, int64_t remaining, const std::string& fileName, const char* operation);
    int move(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name, Op op, uint64_t total,
             const char* operation, int64_t* transfer);
    uint64_t usedLocked() const;
    // New capacity: `bytes`, or `bytes` free beyond what is used; tells the hooks.
    void resize(uint64_t bytes, bool free);

    mutable std::mutex mutex_;
    std::condition_variable callbackDone_;
    Hooks hooks_;
    std::map<std::string, std::vector<uint8_t>> userFiles_;
    std::string userSetText_;
    std::string pendingFirmware_;
    uint64_t capacity_ = kDefaultCapacity;
    double rate_ = 0;
    std::vector<Failure> failures_;
    std::map<ORV_MODULE_HANDLE, Callback> callbacks_;
};

} // namespace quillan

#include "FileStore.h"

#include <chrono>

namespace quillan {

namespace {

const char kUserfile[] = "Userfile";
const char kFirmware[] = "Firmware";
const char kUserSet1[] = "UserSet1";

constexpr double kDefaultRate = 10.0 * 1024 * 1024;
constexpr double kFirmwareRate = 1.0 * 1024 * 1024;

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string firmwareVersion(const std::string& name, const std::vector<uint8_t>& data)
{
    const std::string head(data.begin(), data.begin() + std::min<size_t>(data.size(), 64));
    if (head.rfind("version=", 0) == 0) {
        const size_t end = head.find_first_of("\r\n", 8);
        const std::string v = head.substr(8, end == std::string::npos ? std::string::npos : end - 8);
        if (!v.empty())
            return v;
    }
    return name.substr(0, name.size() - 4);
}

// Stores the bytes moved for the caller; false when the caller has asked to
// cancel, whose request stays in place.
bool keepCount(int64_t* transfer, uint64_t moved)
{
    if (!transfer)
        return true;
    int64_t seen = __atomic_load_n(transfer, __ATOMIC_ACQUIRE);
    do {
        if (seen == ORV_TRANSFER_CANCEL)
            return false;
    } while (!__atomic_compare_exchange_n(transfer, &seen, int64_t(moved), false, __ATOMIC_ACQ_REL,
                                          __ATOMIC_ACQUIRE));
    return true;
}

} // namespace

FileStore::FileStore() { reset(); }

FileStore::~FileStore() = default;

void FileStore::setHooks(Hooks hooks)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_ = std::move(hooks);
}

void FileStore::reset()
{
    std::string config;
    while (config.size() < 1536)
        config += "# camera configuration line " + std::to_string(config.size() / 40) + "\n";
    config.resize(1535);
    config += '\n';
    std::vector<uint8_t> notes(100);
    for (size_t i = 0; i < notes.size(); ++i)
        notes[i] = uint8_t(i * 7 + 3);
    std::lock_guard<std::mutex> lock(mutex_);
    userFiles_.clear();
    userFiles_["config.txt"] = std::vector<uint8_t>(config.begin(), config.end());
    userFiles_["notes.bin"] = notes;
    userSetText_.clear();
    pendingFirmware_.clear();
    capacity_ = kDefaultCapacity;
}

uint64_t FileStore::usedLocked() const
{
    uint64_t used = 0;
    for (const auto& f : userFiles_)
        used += f.second.size();
    return used;
}

std::vector<FileStore::Entry> FileStore::list(const std::string& entry) const
{
    std::vector<Entry> out;
    std::function<std::string()> read;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entry == kUserfile) {
            for (const auto& f : userFiles_)
                out.push_back({f.first, f.second.size()});
            return out;
        }
        if (entry != kUserSet1)
            return out;
        read = hooks_.readUserSet;
        if (!read)
            return {{kUserSet1, userSetText_.size()}};
    }
    return {{kUserSet1, read().size()}};
}

uint64_t FileStore::freeSize() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t used = usedLocked();
    return used < capacity_ ? capacity_ - used : 0;
}

uint64_t FileStore::capacity() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return capacity_;
}

void FileStore::setCapacity(uint64_t bytes)
{
    resize(bytes, false);
}

void FileStore::setFreeSize(uint64_t bytes)
{
    resize(bytes, true);
}

void FileStore::resize(uint64_t bytes, bool free)
{
    std::function<void()> changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        capacity_ = free ? usedLocked() + bytes : bytes;
        changed = hooks_.changed;
    }
    if (changed)
        changed();
}

void FileStore::setRate(double bytesPerSecond)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rate_ = bytesPerSecond > 0 ? bytesPerSecond : 0;
}

void FileStore::injectFailure(const std::string& entry, const std::string& name, Op op, int code,
                                 uint64_t afterBytes, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.push_back({entry, name, op, code, afterBytes, count == 0 ? 1 : count});
}

void FileStore::clearFailures()
{
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
}

const FileStore::Failure* FileStore::matchFailure(const std::string& entry, const std::string& name, Op op)
{
    for (const Failure& f : failures_) {
        if (f.op == op && f.entry == entry && (f.name.empty() || f.name == name))
            return &f;
    }
    return nullptr;
}

void FileStore::consumeFailure(const Failure* f)
{
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (&*it == f) {
            if (it->count > 0 && --it->count == 0)
                failures_.erase(it);
            return;
        }
    }
}

int FileStore::put(const std::string& entry, const std::string& name, const std::vector<uint8_t>& data)
{
    std::function<int(const std::string&)> write;
    std::function<void()> changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entry == kUserfile) {
            if (name.empty())
                return ORV_ERROR_INVALID_ARGUMENT;
            userFiles_[name] = data;
        } else if (entry == kUserSet1) {
            write = hooks_.writeUserSet;
            if (!write)
                userSetText_.assign(data.begin(), data.end());
        } else {
            return ORV_ERROR_NOT_AVAILABLE;
        }
        changed = hooks_.changed;
    }
    if (write && write(std::string(data.begin(), data.end())) != 0)
        return ORV_ERROR_OUT_OF_RANGE;
    if (changed)
        changed();
    return ORV_SUCCESS;
}

int FileStore::get(const std::string& entry, const std::string& name, std::vector<uint8_t>& data) const
{
    std::function<std::string()> read;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entry == kUserfile) {
            const auto it = userFiles_.find(name);
            if (it == userFiles_.end())
                return ORV_ERROR_NOT_AVAILABLE;
            data = it->second;
            return ORV_SUCCESS;
        }
        if (entry != kUserSet1)
            return ORV_ERROR_NOT_AVAILABLE;
        read = hooks_.readUserSet;
        if (!read) {
            data.assign(userSetText_.begin(), userSetText_.end());
            return ORV_SUCCESS;
        }
    }
    const std::string text = read();
    data.assign(text.begin(), text.end());
    return ORV_SUCCESS;
}

void FileStore::registerCallback(ORV_MODULE_HANDLE module, void* context, ORV_FILE_ACCESS_CALLBACK callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Callback& cb = callbacks_[module];
    cb.context = context;
    cb.function = callback;
}

void FileStore::unregisterCallback(ORV_MODULE_HANDLE module)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = callbacks_.find(module);
    if (it == callbacks_.end())
        return;
    it->second.function = nullptr;
    // A callback that unregisters itself must not wait for its own return.
    callbackDone_.wait(lock, [&] {
        const auto cur = callbacks_.find(module);
        return cur == callbacks_.end() || cur->second.running == 0
            || (cur->second.running == 1 && cur->second.caller == std::this_thread::get_id());
    });
    it = callbacks_.find(module);
    if (it != callbacks_.end() && it->second.running == 0)
        callbacks_.erase(it);
}

void FileStore::report(ORV_MODULE_HANDLE module, int64_t remaining, const std::string& fileName, const char* operation)
{
    void* context;
    ORV_FILE_ACCESS_CALLBACK function;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = callbacks_.find(module);
        if (it == callbacks_.end() || !it->second.function)
            return;
        context = it->second.context;
        function = it->second.function;
        ++it->second.running;
        it->second.caller = std::this_thread::get_id();
    }
    function(context, &remaining, fileName.c_str(), operation);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = callbacks_.find(module);
        if (it != callbacks_.end()) {
            --it->second.running;
            if (it->second.running == 0 && !it->second.function)
                callbacks_.erase(it);
        }
    }
    callbackDone_.notify_all();
}

int FileStore::move(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name, Op op,
                       uint64_t total, const char* operation, int64_t* transfer)
{
    double rate;
    bool fail = false;
    Failure failure{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rate = rate_ > 0 ? rate_ : (entry == kFirmware ? kFirmwareRate : kDefaultRate);
        if (const Failure* f = matchFailure(entry, name, op)) {
            failure = *f;
            fail = true;
            consumeFailure(f);
        }
    }
    const std::string reported = name.empty() ? entry : name;
    uint64_t moved = 0;
    if (!keepCount(transfer, moved))
        return ORV_ERROR_ABORTED;
    report(module, int64_t(total), reported, operation);
    while (moved < total) {
        if (fail && moved >= failure.afterBytes)
            return failure.code;
        // A cancel ends the transfer before its next block.
        if (!keepCount(transfer, moved))
            return ORV_ERROR_ABORTED;
        const uint64_t step = std::min(kStep, total - moved);
        std::this_thread::sleep_for(std::chrono::duration<double>(double(step) / rate));
        moved += step;
        // Once the last block has moved, a cancel changes nothing.
        keepCount(transfer, moved);
        report(module, int64_t(total - moved), reported, operation);
    }
    if (fail)
        return failure.code;
    if (total == 0)
        report(module, 0, reported, operation);
    return ORV_SUCCESS;
}

int FileStore::download(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name,
                           std::vector<uint8_t>& data, int64_t* transfer)
{
    std::vector<uint8_t> content;
    if (entry == kFirmware)
        return ORV_ERROR_NOT_AVAILABLE;
    const int found = get(entry, name, content);
    if (found != ORV_SUCCESS)
        return found;
    const int rc = move(module, entry, entry == kUserSet1 ? std::string() : name, Op::Read, content.size(), "Read", transfer);
    if (rc != ORV_SUCCESS)
        return rc;
    data.swap(content);
    return ORV_SUCCESS;
}

int FileStore::upload(ORV_MODULE_HANDLE module, const std::string& entry, const std::string& name,
                         const std::vector<uint8_t>& data, int64_t* transfer)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entry == kUserfile) {
            if (name.empty())
                return ORV_ERROR_INVALID_ARGUMENT;
            const auto it = userFiles_.find(name);
            const uint64_t replaced = it == userFiles_.end() ? 0 : it->second.size();
            if (usedLocked() - replaced + data.size() > capacity_)
                return ORV_ERROR_OUT_OF_RANGE;
        } else if (entry == kFirmware) {
            if (!endsWith(name, ".ge3") || name.size() == 4 || data.empty())
                return ORV_ERROR_OUT_OF_RANGE;
        } else if (entry != kUserSet1) {
            return ORV_ERROR_NOT_AVAILABLE;
        }
    }
    const std::string shown = entry == kUserSet1 ? std::string() : name;
    const int rc = move(module, entry, shown, Op::Write, data.size(), "Write", transfer);
    if (rc != ORV_SUCCESS)
        return rc;
    if (entry == kFirmware) {
        std::lock_guard<std::mutex> lock(mutex_);
        pendingFirmware_ = firmwareVersion(name, data);
        return ORV_SUCCESS;
    }
    if (entry == kUserfile) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = userFiles_.find(name);
        const uint64_t replaced = it == userFiles_.end() ? 0 : it->second.size();
        // Space may have gone while the bytes moved.
        if (usedLocked() - replaced + data.size() > capacity_)
            return ORV_ERROR_OUT_OF_RANGE;
    }
    return put(entry, name, data);
}

int FileStore::remove(const std::string& entry, const std::string& name)
{
    std::function<void()> reset, changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const Failure* f = matchFailure(entry, name, Op::Delete)) {
            const int code = f->code;
            consumeFailure(f);
            return code;
        }
        if (entry == kUserfile) {
            if (userFiles_.erase(name) == 0)
                return ORV_ERROR_NOT_AVAILABLE;
        } else if (entry == kUserSet1) {
            reset = hooks_.resetUserSet;
            if (!reset)
                userSetText_.clear();
        } else if (entry == kFirmware) {
            return ORV_ERROR_ACCESS_DENIED;
        } else {
            return ORV_ERROR_NOT_AVAILABLE;
        }
        changed = hooks_.changed;
    }
    if (reset)
        reset();
    if (changed)
        changed();
    return ORV_SUCCESS;
}

std::string FileStore::takePendingFirmware()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string v;
    v.swap(pendingFirmware_);
    return v;
}

std::string FileStore::pendingFirmware() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pendingFirmware_;
}

} // namespace quillan

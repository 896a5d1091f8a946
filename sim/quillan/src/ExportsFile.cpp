// Device file exports: transfers between local files and the camera's file
// store, and the progress callback.
#include "CameraBinding.h"
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimLibrary.h"

#include <cstdio>
#include <memory>

using namespace quillan;

namespace {

int resolveFiles(ORV_MODULE_HANDLE module, std::shared_ptr<FileStore>* files)
{
    SimModuleRef ref;
    if (int rc = resolveModule(module, &ref))
        return rc;
    if (!ref.camera || (ref.kind != HandleKind::Device && ref.kind != HandleKind::RemoteDevice))
        return ORV_ERROR_NOT_AVAILABLE;
    *files = fileStoreOf(ref.camera);
    return *files ? ORV_SUCCESS : ORV_ERROR_NOT_AVAILABLE;
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

int readLocal(const char* path, std::vector<uint8_t>& data)
{
    File f(std::fopen(path, "rb"), &std::fclose);
    if (!f)
        return ORV_ERROR_IO;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0)
        data.insert(data.end(), chunk, chunk + n);
    return std::ferror(f.get()) ? ORV_ERROR_IO : ORV_SUCCESS;
}

int writeLocal(const char* path, const std::vector<uint8_t>& data)
{
    File f(std::fopen(path, "wb"), &std::fclose);
    if (!f)
        return ORV_ERROR_IO;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f.get()) != data.size())
        return ORV_ERROR_IO;
    return std::fclose(f.release()) == 0 ? ORV_SUCCESS : ORV_ERROR_IO;
}

std::string text(const char* s) { return s ? s : ""; }

// Runs one file call on the camera's file store of the module.
template <class Fn>
int onFiles(SimCall& call, ORV_MODULE_HANDLE module, Fn fn)
{
    if (int rc = call.enter())
        return rc;
    std::shared_ptr<FileStore> files;
    if (int rc = resolveFiles(module, &files))
        return call.result(rc);
    return call.result(fn(*files));
}

} // namespace

int OrvDeviceSaveFile(ORV_MODULE_HANDLE module, const char* localPath, const char* deviceFileName, const char* fileSelectorEntry, void* transfer)
{
    SimCall call("OrvDeviceSaveFile", module);
    call.arg("localPath", text(localPath)).arg("deviceFileName", text(deviceFileName)).arg("entry", text(fileSelectorEntry));
    return onFiles(call, module, [&](FileStore& files) {
        if (!localPath || !fileSelectorEntry)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        std::vector<uint8_t> data;
        const int rc = files.download(module, fileSelectorEntry, text(deviceFileName), data,
                                      static_cast<int64_t*>(transfer));
        return rc == ORV_SUCCESS ? writeLocal(localPath, data) : rc;
    });
}

int OrvDeviceLoadFile(ORV_MODULE_HANDLE module, const char* deviceFileName, const char* localPath, const char* fileSelectorEntry, void* transfer)
{
    SimCall call("OrvDeviceLoadFile", module);
    call.arg("deviceFileName", text(deviceFileName)).arg("localPath", text(localPath)).arg("entry", text(fileSelectorEntry));
    return onFiles(call, module, [&](FileStore& files) {
        if (!localPath || !fileSelectorEntry)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        std::vector<uint8_t> data;
        if (int rc = readLocal(localPath, data))
            return rc;
        return files.upload(module, fileSelectorEntry, text(deviceFileName), data, static_cast<int64_t*>(transfer));
    });
}

int OrvDeviceDeleteFile(ORV_MODULE_HANDLE module, const char* deviceFileName, const char* fileSelectorEntry)
{
    SimCall call("OrvDeviceDeleteFile", module);
    call.arg("deviceFileName", text(deviceFileName)).arg("entry", text(fileSelectorEntry));
    return onFiles(call, module, [&](FileStore& files) {
        return fileSelectorEntry ? files.remove(fileSelectorEntry, text(deviceFileName)) : int(ORV_ERROR_INVALID_ARGUMENT);
    });
}

int OrvDeviceRegisterFileAccessCB(ORV_MODULE_HANDLE module, void* context, ORV_FILE_ACCESS_CALLBACK callback)
{
    SimCall call("OrvDeviceRegisterFileAccessCB", module);
    return onFiles(call, module, [&](FileStore& files) {
        if (!callback)
            return int(ORV_ERROR_INVALID_ARGUMENT);
        files.registerCallback(module, context, callback);
        return int(ORV_SUCCESS);
    });
}

int OrvDeviceUnRegisterFileAccessCB(ORV_MODULE_HANDLE module)
{
    SimCall call("OrvDeviceUnRegisterFileAccessCB", module);
    return onFiles(call, module, [&](FileStore& files) {
        files.unregisterCallback(module);
        return int(ORV_SUCCESS);
    });
}

#include "DriverPackages.h"

#include "DriverStore.h"
#include "Execute.h"
#include "SetupFiles.h"
#include "SetupLog.h"
#include "Utilities.h"
#include "Win32Error.h"

#include <vector>

using namespace driversetup;

namespace {

void logStoreLookupFailure(uint32_t error)
{
    setupLog(0, "DriverPackageGetPath failed! %d\n", static_cast<int>(error));
    if (error == kErrorDriverPackageNotInStore)
        setupLog(0, "ERROR_DRIVER_PACKAGE_NOT_IN_STORE\n");
    else
        logWin32ErrorName(error);
}

} // namespace

void ForceDeleteLibUsb(const std::string& packageName, const std::string& keepStorePath)
{
    setupLog(0, "ForceDeleteLibUsb >>>\n");
    std::vector<std::string> infFiles;
    Utilities::GetOemInfFilePathNamesList(infFiles);
    std::string programFolder;
    if (!infFiles.empty())
        Utilities::GetCurrentModulePath(programFolder);

    const std::string infName = packageName + ".inf";
    for (const std::string& infPath : infFiles) {
        setupLog(0, "%s\n", infPath.c_str());
        std::string storePath;
        if (const uint32_t error = DriverPackageGetPath(infPath, storePath)) {
            logStoreLookupFailure(error);
            continue;
        }
        setupLog(0, "DifxApi::UninstallPackagesByOemInf enumerating %s \n", storePath.c_str());
        // Only the package itself: a name that merely contains it is another package.
        if (!equalsIgnoringCase(fileNameOf(storePath), infName))
            continue;
        if (storePath == keepStorePath) {
            setupLog(0, "DifxApi::UninstallPackagesByOemInf ---> keeping the package just installed \n");
            continue;
        }
        setupLog(0, "DifxApi::UninstallPackagesByOemInf ---> uninstalling \n");
        if (!programFolder.empty())
            Execute(programFolder + "/PnPutil", "PnPutil -f -d " + fileNameOf(infPath), true);
    }
    setupLog(0, "ForceDeleteLibUsb <<<\n");
}

bool LibUsb32Setup(bool hide, std::string* installedStorePath)
{
    setupLog(0, ">>> LibUsb32Setup\n");
    bool installed = false;
    std::string folder;
    if (Utilities::GetCurrentModulePath(folder)) {
        const std::string infPath = folder + "/" + kDriverPackageName + ".inf";
        installed = Execute(folder + "/x86/install-filter", "install-filter install --inf=\"" + infPath + "\"", hide);
        std::string storePath;
        if (installed) {
            if (const uint32_t error = DriverPackageGetPath(infPath, storePath)) {
                logStoreLookupFailure(error);
                installed = false;
            }
        }
        if (installed && installedStorePath)
            *installedStorePath = storePath;
    }
    setupLog(0, "<<< LibUsb32Setup\n");
    return installed;
}

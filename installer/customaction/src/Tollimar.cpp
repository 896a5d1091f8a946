#include "Tollimar.h"

#include "DriverPackages.h"
#include "SetupFiles.h"
#include "SetupLog.h"
#include "UsbHubPortsEnum.h"

#include <cstdio>
#include <ctime>

using driversetup::equalsIgnoringCase;

namespace {

// Written to standard error for a missing or unknown command.
const char* const kUsage = "usage: Tollimar -install | -install,TRUE | -uninstall | -checkUsb30\n";

} // namespace

std::vector<std::string> splitCommandTokens(const std::string& commandLine)
{
    std::vector<std::string> tokens;
    size_t start = 0;
    while (start <= commandLine.size()) {
        size_t comma = commandLine.find(',', start);
        if (comma == std::string::npos)
            comma = commandLine.size();
        if (comma > start)
            tokens.push_back(commandLine.substr(start, comma - start));
        start = comma + 1;
    }
    return tokens;
}

int TollimarMain(const std::string& commandLine)
{
    setupLog(0, ">>> _tWinMain\n");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    setupLog(0, "\nCall: %d/%d/%d %d:%d:%d Build: %s %s\n", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
             local.tm_hour, local.tm_min, local.tm_sec, __DATE__, __TIME__);

    const std::vector<std::string> tokens = splitCommandTokens(commandLine);
    for (const std::string& token : tokens)
        setupLog(0, "_tWinMain: %s\n", token.c_str());

    const std::string command = tokens.empty() ? std::string() : tokens[0];
    if (equalsIgnoringCase(command, "-install")) {
        const bool hide = tokens.size() >= 2 && equalsIgnoringCase(tokens[1], "TRUE");
        setupLog(0, ">>> NorrikOmbrelSetupInstall\n");
        // The new package goes in first; the old ones go only once it is in
        // place, so a failed install never leaves the machine without one.
        std::string installed;
        if (LibUsb32Setup(hide, &installed))
            ForceDeleteLibUsb(kDriverPackageName, installed);
        else
            setupLog(0, "NorrikOmbrelSetupInstall the new package is not installed: the installed ones are kept\n");
        setupLog(0, "<<< NorrikOmbrelSetupInstall\n");
    } else if (equalsIgnoringCase(command, "-uninstall")) {
        setupLog(0, ">>> NorrikOmbrelSetupUninstall\n");
        ForceDeleteLibUsb(kDriverPackageName);
        setupLog(0, "<<< NorrikOmbrelSetupUninstall\n");
    } else if (equalsIgnoringCase(command, "-checkUsb30")) {
        PreInstallCheckUsb3();
    } else {
        if (tokens.empty())
            setupLog(0, "_tWinMain no command\n");
        else
            setupLog(0, "_tWinMain unknown command \"%s\"\n", command.c_str());
        std::fputs(kUsage, stderr);
    }

    setupLog(0, "<<< _tWinMain\n");
    return 0;
}

#include "SetupLog.h"
#include "TollimarTestSupport.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace tollimartest;

TEST(TollimarLog, UninstallWritesThePartsLinesInOrder)
{
    TollimarTree tree;
    const RunResult result = tree.tollimar("-uninstall");
    EXPECT_EQ(result.exitCode, 0);
    const std::vector<std::string> lines = linesOf(tree.log());
    ASSERT_EQ(lines.size(), 9u) << tree.log();
    EXPECT_EQ(lines[0], ">>> _tWinMain");
    int date[6] = {};
    int build = 0;
    EXPECT_EQ(std::sscanf(lines[1].c_str(), "Call: %d/%d/%d %d:%d:%d Build: %n", &date[0], &date[1], &date[2],
                          &date[3], &date[4], &date[5], &build),
              6)
        << lines[1];
    EXPECT_GT(build, 0);
    EXPECT_TRUE(date[0] >= 1 && date[0] <= 12 && date[2] >= 2000) << lines[1];
    // Build date and time follow, as "Mmm dd yyyy hh:mm:ss".
    EXPECT_EQ(std::count(lines[1].begin() + build, lines[1].end(), ':'), 2) << lines[1];
    const std::vector<std::string> rest(lines.begin() + 2, lines.end());
    const std::vector<std::string> expected = {
        "_tWinMain: -uninstall",
        ">>> NorrikOmbrelSetupUninstall",
        "ForceDeleteLibUsb >>>",
        "Utilities::GetOemInfFilePathNamesList FindFirstFile failed 2",
        "ForceDeleteLibUsb <<<",
        "<<< NorrikOmbrelSetupUninstall",
        "<<< _tWinMain",
    };
    EXPECT_EQ(rest, expected);
    // The call line starts with a line end of its own: a blank line before it.
    EXPECT_EQ(tree.log().rfind(">>> _tWinMain\n\nCall: ", 0), 0u);

    // Standard error carries every message with the program's prefix.
    const std::vector<std::string> debug = linesOf(result.err);
    EXPECT_EQ(std::count_if(debug.begin(), debug.end(),
                            [](const std::string& line) { return line.rfind("NorrikOmbrelSetup: ", 0) == 0; }),
              9);
    EXPECT_NE(result.err.find("NorrikOmbrelSetup: ForceDeleteLibUsb <<<\n"), std::string::npos);

    // A second run appends.
    tree.tollimar("foo");
    EXPECT_EQ(countOf(tree.log(), ">>> _tWinMain\n"), 2u);
    EXPECT_EQ(countOf(tree.log(), "_tWinMain: foo\n"), 1u);
}

TEST(TollimarLog, InstallLogsEveryStep)
{
    TollimarTree tree;
    ASSERT_EQ(tree.tollimar("-install,TRUE").exitCode, 0);
    const std::string program = tree.programDir();
    const std::vector<std::string> lines = linesOf(tree.log());
    const std::vector<std::string> steps(lines.begin() + 2, lines.end());
    std::string storePath;
    for (const std::string& line : steps)
        if (line.rfind("DifxApi::UninstallPackagesByOemInf enumerating ", 0) == 0)
            storePath = line.substr(47, line.size() - 48);
    EXPECT_EQ(storePath.rfind(tree.storeDir() + "/sorbix_u3v.inf_", 0), 0u) << storePath;
    const std::vector<std::string> expected = {
        "_tWinMain: -install",
        "_tWinMain: TRUE",
        ">>> NorrikOmbrelSetupInstall",
        ">>> LibUsb32Setup",
        "Execute >>>",
        "lpFile = " + program + "/x86/install-filter",
        "lpParameters = install-filter install --inf=\"" + program + "/SORBIX_U3V.inf\"",
        "Execute <<<",
        "<<< LibUsb32Setup",
        "ForceDeleteLibUsb >>>",
        tree.infDir() + "/oem0.inf",
        "DifxApi::UninstallPackagesByOemInf enumerating " + storePath + " ",
        "DifxApi::UninstallPackagesByOemInf ---> keeping the package just installed ",
        "ForceDeleteLibUsb <<<",
        "<<< NorrikOmbrelSetupInstall",
        "<<< _tWinMain",
    };
    EXPECT_EQ(steps, expected);
}

TEST(TollimarLog, UnwritableWorkingFolderStillWritesStandardError)
{
    TollimarTree tree;
    makeFolder(tree.logPath()); // the log file's name is taken by a folder
    const RunResult result = tree.tollimar("-uninstall");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("NorrikOmbrelSetup: >>> _tWinMain\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("NorrikOmbrelSetup: <<< _tWinMain\n"), std::string::npos);
}

TEST(TollimarLog, LongMessagesAreWrittenWhole)
{
    TollimarTree tree;
    const std::string path = "/" + std::string(5000, 'p') + "/oem1.inf";
    testing::internal::CaptureStderr();
    {
        WorkingFolder folder(tree.workDir());
        setupLog(0, "%s\n", path.c_str());
        setupLog(0, "no line end");
        setupLog(0, "after");
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(tree.log(), path + "\nno line end\nafter\n");
    EXPECT_EQ(err, "NorrikOmbrelSetup: " + path + "\nNorrikOmbrelSetup: no line end\nNorrikOmbrelSetup: after\n");
}

TEST(TollimarLog, ErrorNames)
{
    using namespace driversetup;
    const std::pair<uint32_t, const char*> cases[] = {
        {kErrorFileNotFound, "ERROR_FILE_NOT_FOUND\n"},
        {kErrorAccessDenied, "ERROR_ACCESS_DENIED\n"},
        {kErrorBadEnvironment, "ERROR_BAD_ENVIRONMENT\n"},
        {kErrorOutOfMemory, "ERROR_OUTOFMEMORY\n"},
        {kErrorInvalidParameter, "ERROR_INVALID_PARAMETER\n"},
        {kErrorInsufficientBuffer, "ERROR_INSUFFICIENT_BUFFER\n"},
        {kErrorInvalidName, "ERROR_INVALID_NAME\n"},
        {kErrorFilenameExcedRange, "ERROR_FILENAME_EXCED_RANGE\n"},
        {kErrorUnsupportedType, "ERROR_UNSUPPORTED_TYPE\n"},
        {kErrorCantAccessFile, "ERROR_CANT_ACCESS_FILE\n"},
        {kCryptEFileError, "CRYPT_E_FILE_ERROR\n"},
        {kErrorCantResolveFilename, "<Unknown Error>\n"},
        {0, "<Unknown Error>\n"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_STREQ(win32ErrorName(code), name) << code;
}

#include "DriverStore.h"
#include "SetupFiles.h"
#include "SetupTestTree.h"
#include "Win32Error.h"

#include <dirent.h>
#include <gtest/gtest.h>

using namespace driversetup;
using namespace setuptest;

namespace {

const char* kRule = "SUBSYSTEM==\"usb\", ENV{ID_USB_INTERFACES}==\"*:ef05??:*\", MODE=\"0664\"\n";

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(DriverStore, DescriptorNamesPackageAndRule)
{
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"[Version]\nPackage=SORBIX_U3V\n[Rules]\nRule=60-sorbix-u3v.rules\n", true},
        {"; comment\r\n Package = A \r\nRule=x.rules", true},
        {"Rule=60-sorbix-u3v.rules\n", false},
        {"Package=SORBIX_U3V\n", false},
        {"Package=SORBIX_U3V\nRule=../../etc/passwd.rules\n", false},
        {"Package=SORBIX_U3V\nRule=60-sorbix-u3v.conf\n", false},
    };
    for (const Case& c : cases) {
        PackageDescriptor descriptor;
        EXPECT_EQ(parseDescriptor(c.text, descriptor), c.valid) << c.text;
    }
    PackageDescriptor descriptor;
    ASSERT_TRUE(parseDescriptor(cases[1].text, descriptor));
    EXPECT_EQ(descriptor.package, "A");
    EXPECT_EQ(descriptor.ruleFile, "x.rules");
}

TEST(DriverStore, InstallFilterStoresPackageWritesRuleAndDescriptor)
{
    SetupTestTree tree;
    const std::string inf = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule);
    const RunResult result = tree.installFilter(inf);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("installed as oem0.inf"), std::string::npos) << result.out;

    EXPECT_EQ(readText(tree.rulesDir() + "/60-sorbix-u3v.rules"), kRule);
    EXPECT_EQ(folderNames(tree.rulesDir()), std::vector<std::string>{"60-sorbix-u3v.rules"});
    EXPECT_EQ(readText(tree.infDir() + "/oem0.inf"), readText(inf));
    EXPECT_EQ(folderNames(tree.infDir()), std::vector<std::string>{"oem0.inf"});
    EXPECT_EQ(tree.udevadmCalls(), "control --reload-rules\n");

    // The installed descriptor and the original lead to the same store entry.
    std::string fromOem;
    std::string fromOriginal;
    ASSERT_EQ(DriverPackageGetPath(tree.infDir() + "/oem0.inf", fromOem), kErrorSuccess);
    ASSERT_EQ(DriverPackageGetPath(inf, fromOriginal), kErrorSuccess);
    EXPECT_EQ(fromOem, fromOriginal);
    EXPECT_EQ(fileNameOf(fromOem), "SORBIX_U3V.inf");
    EXPECT_EQ(readText(folderOf(fromOem) + "/60-sorbix-u3v.rules"), kRule);
    EXPECT_EQ(folderNames(tree.storeDir()).size(), 1u);
}

TEST(DriverStore, SameDescriptorReusesItsNameOthersTakeTheNextFree)
{
    SetupTestTree tree;
    const std::string first = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule);
    const std::string other = tree.writePackage("acme_gige.inf", "ACME_GIGE", "70-acme.rules", "# acme\n");
    ASSERT_EQ(tree.installFilter(first).exitCode, 0);
    ASSERT_EQ(tree.installFilter(first).exitCode, 0);
    ASSERT_EQ(tree.installFilter(other).exitCode, 0);
    EXPECT_EQ(folderNames(tree.infDir()), (std::vector<std::string>{"oem0.inf", "oem1.inf"}));
    EXPECT_EQ(readText(tree.infDir() + "/oem1.inf"), readText(other));
    EXPECT_EQ(folderNames(tree.storeDir()).size(), 2u);
}

TEST(DriverStore, InstallFilterRefusesBadInputAndLeavesNothingBehind)
{
    SetupTestTree tree;
    const std::string inf = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule);
    const std::string noRule = tree.writePackage("broken.inf", "BROKEN", "80-broken.rules", "x\n");
    ::unlink((folderOf(noRule) + "/80-broken.rules").c_str());

    EXPECT_EQ(tree.run(std::string(SUITE_BIN_DIR) + "/x86/install-filter install").exitCode, 1);
    EXPECT_EQ(tree.run(std::string(SUITE_BIN_DIR) + "/x86/install-filter remove --inf=" + inf).exitCode, 1);
    EXPECT_EQ(tree.installFilter(tree.root() + "/missing.inf").exitCode, 1);
    EXPECT_EQ(tree.installFilter(noRule).exitCode, 1);

    // A rules folder that cannot be written: the new store entry goes again.
    ::rmdir(tree.rulesDir().c_str());
    writeText(tree.rulesDir(), "not a folder");
    const RunResult result = tree.installFilter(inf);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
    EXPECT_TRUE(folderNames(tree.storeDir()).empty());
    EXPECT_TRUE(folderNames(tree.infDir()).empty());
    EXPECT_EQ(tree.udevadmCalls(), "");
}

TEST(DriverStore, StoreLookupFailuresGiveTheirCodes)
{
    SetupTestTree tree;
    const std::string inf = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule);
    const std::string notInstalled = tree.writePackage("other.inf", "OTHER", "70-other.rules", "x\n");
    ASSERT_EQ(tree.installFilter(inf).exitCode, 0);
    ASSERT_EQ(::symlink("loop.inf", (tree.infDir() + "/loop.inf").c_str()), 0);

    struct Case {
        std::string path;
        uint32_t code;
    };
    const Case cases[] = {
        {tree.infDir() + "/oem0.inf", kErrorSuccess},
        {notInstalled, kErrorDriverPackageNotInStore},
        {tree.infDir() + "/oem9.inf", kErrorFileNotFound},
        {tree.infDir() + "/loop.inf", kErrorCantResolveFilename},
        {tree.infDir() + "/" + std::string(300, 'x') + ".inf", kErrorFilenameExcedRange},
    };
    for (const Case& c : cases) {
        std::string storePath;
        EXPECT_EQ(DriverPackageGetPath(c.path, storePath), c.code) << c.path;
        EXPECT_EQ(storePath.empty(), c.code != kErrorSuccess) << c.path;
    }

    // Without a store nothing is in it.
    tree.setVariable("NORRIK_DRIVER_STORE", tree.root() + "/no-store");
    std::string storePath;
    EXPECT_EQ(DriverPackageGetPath(inf, storePath), kErrorDriverPackageNotInStore);
}

TEST(DriverStore, ErrnoCodes)
{
    const std::pair<int, uint32_t> cases[] = {
        {0, kErrorSuccess},          {ENOENT, kErrorFileNotFound},      {ENOTDIR, kErrorFileNotFound},
        {EACCES, kErrorAccessDenied}, {EPERM, kErrorAccessDenied},       {ENOMEM, kErrorOutOfMemory},
        {ENAMETOOLONG, kErrorFilenameExcedRange}, {ELOOP, kErrorCantResolveFilename}, {EIO, kErrorCantAccessFile},
    };
    for (const auto& [error, code] : cases)
        EXPECT_EQ(win32ErrorFromErrno(error), code) << error;
}

TEST(DriverStore, PnPutilDeletesOnlyWithForceWhileTheRuleIsInPlace)
{
    SetupTestTree tree;
    const std::string inf = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule);
    ASSERT_EQ(tree.installFilter(inf).exitCode, 0);

    RunResult result = tree.pnputil("-d oem0.inf");
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("in use"), std::string::npos) << result.err;
    EXPECT_TRUE(exists(tree.rulesDir() + "/60-sorbix-u3v.rules"));
    EXPECT_TRUE(exists(tree.infDir() + "/oem0.inf"));

    result = tree.pnputil("-f -d oem0.inf");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(exists(tree.rulesDir() + "/60-sorbix-u3v.rules"));
    EXPECT_TRUE(folderNames(tree.infDir()).empty());
    EXPECT_TRUE(folderNames(tree.storeDir()).empty());
    EXPECT_EQ(tree.udevadmCalls(), "control --reload-rules\ncontrol --reload-rules\n");
}

TEST(DriverStore, PnPutilKeepsARuleThatAnotherPackageWrote)
{
    SetupTestTree tree;
    const std::string oldInf =
        tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", "# old\n", "1.0");
    ASSERT_EQ(tree.installFilter(oldInf).exitCode, 0);
    const std::string newInf = tree.writePackage("SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", kRule, "2.0");
    ASSERT_EQ(tree.installFilter(newInf).exitCode, 0);

    const RunResult result = tree.pnputil("-f -d oem0.inf");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(tree.rulesDir() + "/60-sorbix-u3v.rules"), kRule);
    EXPECT_EQ(folderNames(tree.infDir()), std::vector<std::string>{"oem1.inf"});
    std::string storePath;
    EXPECT_EQ(DriverPackageGetPath(tree.infDir() + "/oem1.inf", storePath), kErrorSuccess);
}

TEST(DriverStore, PnPutilRefusesBadArguments)
{
    SetupTestTree tree;
    writeText(tree.root() + "/oem5.inf", "Package=X\nRule=x.rules\n");
    for (const char* arguments : {"", "-d", "-f", "-x -d oem0.inf", "-d ../oem5.inf", "-d oem0.inf -d oem1.inf"})
        EXPECT_EQ(tree.pnputil(arguments).exitCode, 1) << arguments;
    EXPECT_EQ(tree.pnputil("-f -d oem0.inf").exitCode, 2);
    EXPECT_TRUE(exists(tree.root() + "/oem5.inf"));
}

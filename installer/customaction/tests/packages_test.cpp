#include "DriverPackages.h"
#include "Execute.h"
#include "TollimarTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

using namespace tollimartest;

namespace {

struct Installed {
    std::string inf;
    std::string rule;
};

Installed install(TollimarTree& tree, const std::string& infName, const std::string& package,
                  const std::string& ruleName, const std::string& version)
{
    const std::string inf = tree.writePackage(infName, package, ruleName, "# " + infName + " " + version + "\n", version);
    const RunResult result = tree.installFilter(inf);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return {inf, ruleName};
}

} // namespace

// Which installed packages "-uninstall" removes: the suite's INF name in any
// case, never one whose name merely contains it.
TEST(TollimarPackages, OnlyTheSuitesPackageIsRemoved)
{
    TollimarTree tree;
    struct Case {
        const char* infName;
        const char* package;
        const char* rule;
        bool removed;
    };
    const Case cases[] = {
        {"SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", true},
        {"Sorbix_U3v.inf", "SORBIX_U3V", "59-sorbix-u3v-old.rules", true},
        {"xsorbix_u3v_beta.inf", "XSORBIX_U3V_BETA", "61-xsorbix.rules", false},
        {"acme_gige.inf", "ACME_GIGE", "70-acme.rules", false},
    };
    for (const Case& c : cases)
        install(tree, c.infName, c.package, c.rule, "1.0");

    const RunResult result = tree.tollimar("-uninstall");
    EXPECT_EQ(result.exitCode, 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].infName);
        const std::string oem = tree.infDir() + "/oem" + std::to_string(i) + ".inf";
        EXPECT_EQ(exists(oem), !cases[i].removed);
        EXPECT_EQ(exists(tree.rulesDir() + "/" + cases[i].rule), !cases[i].removed);
    }
    const std::string log = tree.log();
    EXPECT_EQ(countOf(log, "DifxApi::UninstallPackagesByOemInf enumerating "), 4u);
    EXPECT_EQ(countOf(log, "DifxApi::UninstallPackagesByOemInf ---> uninstalling \n"), 2u);
    EXPECT_NE(log.find("xsorbix_u3v_beta.inf_"), std::string::npos);
}

TEST(TollimarPackages, InstallPutsTheNewPackageInBeforeTheOldGoes)
{
    TollimarTree tree;
    install(tree, "SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", "0.9");
    ASSERT_EQ(tree.installedRule(), "# SORBIX_U3V.inf 0.9\n");

    ASSERT_EQ(tree.tollimar("-install,TRUE").exitCode, 0);
    EXPECT_EQ(tree.installedRule(), readText(tree.programDir() + "/60-sorbix-u3v.rules"));
    EXPECT_FALSE(exists(tree.infDir() + "/oem0.inf"));
    EXPECT_EQ(readText(tree.infDir() + "/oem1.inf"), readText(tree.programDir() + "/SORBIX_U3V.inf"));

    const std::string log = tree.log();
    const size_t setup = log.find("<<< LibUsb32Setup\n");
    const size_t removal = log.find("ForceDeleteLibUsb >>>\n");
    ASSERT_NE(setup, std::string::npos);
    ASSERT_NE(removal, std::string::npos);
    EXPECT_LT(setup, removal);
    EXPECT_EQ(countOf(log, "---> uninstalling"), 1u);
    EXPECT_EQ(countOf(log, "---> keeping the package just installed"), 1u);

    // Installing the same package again keeps it.
    ASSERT_EQ(tree.tollimar("-install").exitCode, 0);
    EXPECT_TRUE(exists(tree.infDir() + "/oem1.inf"));
    EXPECT_EQ(tree.installedRule(), readText(tree.programDir() + "/60-sorbix-u3v.rules"));
}

TEST(TollimarPackages, FailedInstallKeepsTheOldPackage)
{
    struct Case {
        const char* name;
        const char* script;
        const char* logged;
    };
    const Case cases[] = {
        {"tool fails", "echo broken >&2\nexit 1\n", "ended with exit code 1"},
        {"tool missing", "", "<<< Execute CreateProcess failed! 2\n"},
        {"tool claims success", "exit 0\n", "DriverPackageGetPath failed! -536870142\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TollimarTree tree;
        install(tree, "SORBIX_U3V.inf", "SORBIX_U3V", "60-sorbix-u3v.rules", "0.9");
        if (*c.script)
            tree.replaceInstallFilter(c.script);
        else
            ::unlink((tree.programDir() + "/x86/install-filter").c_str());

        EXPECT_EQ(tree.tollimar("-install").exitCode, 0);
        EXPECT_EQ(tree.installedRule(), "# SORBIX_U3V.inf 0.9\n");
        EXPECT_TRUE(exists(tree.infDir() + "/oem0.inf"));
        const std::string log = tree.log();
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_NE(log.find("NorrikOmbrelSetupInstall the new package is not installed: the installed ones are kept\n"),
                  std::string::npos);
        EXPECT_EQ(log.find("ForceDeleteLibUsb >>>"), std::string::npos);
    }
}

TEST(TollimarPackages, StoreLookupFailuresAreLoggedByName)
{
    TollimarTree tree;
    writeText(tree.infDir() + "/oem1.inf", "Package=SORBIX_U3V\nRule=60-sorbix-u3v.rules\n"); // not in the store
    ASSERT_EQ(::symlink("gone.inf", (tree.infDir() + "/oem2.inf").c_str()), 0);
    ASSERT_EQ(::symlink("oem3.inf", (tree.infDir() + "/oem3.inf").c_str()), 0);
    writeText(tree.infDir() + "/readme.txt", "not a descriptor");
    {
        WorkingFolder folder(tree.workDir());
        ForceDeleteLibUsb(kDriverPackageName);
    }
    const std::vector<std::string> expected = {
        "ForceDeleteLibUsb >>>",
        tree.infDir() + "/oem1.inf",
        "DriverPackageGetPath failed! -536870142",
        "ERROR_DRIVER_PACKAGE_NOT_IN_STORE",
        tree.infDir() + "/oem2.inf",
        "DriverPackageGetPath failed! 2",
        "ERROR_FILE_NOT_FOUND",
        tree.infDir() + "/oem3.inf",
        "DriverPackageGetPath failed! 1921",
        "<Unknown Error>",
        "ForceDeleteLibUsb <<<",
    };
    EXPECT_EQ(linesOf(tree.log()), expected);
    EXPECT_TRUE(exists(tree.infDir() + "/oem1.inf"));
}

TEST(TollimarExecute, HungToolIsStoppedAfterTheTimeOut)
{
    TollimarTree tree;
    const std::string pidFile = tree.root() + "/child.pid";
    const std::string script = tree.root() + "/hang.sh";
    makeExecutable(script, "#!/bin/sh\nsleep 60 &\necho $! > '" + pidFile + "'\nwait\n");
    const auto start = std::chrono::steady_clock::now();
    bool result = true;
    {
        WorkingFolder folder(tree.workDir());
        result = Execute(script, "hang.sh", true, 300);
    }
    EXPECT_FALSE(result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_NE(tree.log().find("Execute " + script + " did not end within 0.3 s: stopped\n"), std::string::npos)
        << tree.log();
    EXPECT_NE(tree.log().find("Execute <<<\n"), std::string::npos);
    // What the tool started was signalled with it; give it time to end.
    const std::string pid = linesOf(readText(pidFile)).at(0);
    std::string state = readText("/proc/" + pid + "/stat");
    for (int i = 0; i < 500 && !state.empty() && state.find(") Z ") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state = readText("/proc/" + pid + "/stat");
    }
    EXPECT_TRUE(state.empty() || state.find(") Z ") != std::string::npos) << state;
}

TEST(TollimarExecute, ResultLogAndOutput)
{
    struct Case {
        const char* script;
        bool hide;
        bool result;
        const char* logged;
        bool outputShown;
    };
    const Case cases[] = {
        {"echo tool-output $#\nexit 0\n", false, true, "lpParameters = tool.sh \"a b\" c\n", true},
        {"echo tool-output $#\nexit 0\n", true, true, "lpFile = ", false},
        {"echo tool-output $#\nexit 3\n", true, false, "ended with exit code 3\n", false},
        {"kill -9 $$\n", true, false, "ended by signal 9\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        TollimarTree tree;
        const std::string script = tree.root() + "/tool.sh";
        makeExecutable(script, std::string("#!/bin/sh\n") + c.script);
        testing::internal::CaptureStdout();
        bool result = false;
        {
            WorkingFolder folder(tree.workDir());
            result = Execute(script, "tool.sh \"a b\" c", c.hide);
        }
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.result);
        EXPECT_NE(tree.log().find(c.logged), std::string::npos) << tree.log();
        // A shown tool writes to this program's output, a hidden one nowhere.
        // The quoted words reach the tool as one argument.
        EXPECT_EQ(out.find("tool-output 2\n") != std::string::npos, c.outputShown) << out;
    }
}

TEST(TollimarExecute, CommandLineWords)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"PnPutil -f -d oem12.inf", {"PnPutil", "-f", "-d", "oem12.inf"}},
        {"install-filter install --inf=\"/opt/my app/SORBIX_U3V.inf\"",
         {"install-filter", "install", "--inf=/opt/my app/SORBIX_U3V.inf"}},
        {"  a\t b  ", {"a", "b"}},
        {"\"\"", {""}},
        {"", {}},
    };
    for (const auto& [line, words] : cases)
        EXPECT_EQ(splitCommandLine(line), words) << line;
}

#include "Tollimar.h"
#include "TollimarTestSupport.h"

#include <gtest/gtest.h>

using namespace tollimartest;

TEST(TollimarCommandLine, TokensSplitAtCommasWithoutEmptyOnes)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"-install", {"-install"}},
        {"-install,TRUE,x,y", {"-install", "TRUE", "x", "y"}},
        {",-install", {"-install"}},
        {"a,,b,", {"a", "b"}},
        {",,,", {}},
        {"-install TRUE", {"-install TRUE"}},
    };
    for (const auto& [commandLine, tokens] : cases)
        EXPECT_EQ(splitCommandTokens(commandLine), tokens) << commandLine;
}

// Each command line runs the real program: what it did to the rule, whether
// the install tool's output was shown, the tokens it logged, its exit code.
TEST(TollimarCommandLine, ActionsHideFlagTokensAndExitCode)
{
    struct Case {
        std::string commandLine;
        bool installs;
        bool hidden;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"-INSTALL,true", true, true, {"-INSTALL", "true"}},
        {"-install", true, false, {"-install"}},
        {"-install,FALSE", true, false, {"-install", "FALSE"}},
        {"-install,TRUE,x,y", true, true, {"-install", "TRUE", "x", "y"}},
        // The tokeniser skips the leading comma: the first token is "-install".
        {",-install", true, false, {"-install"}},
        {"", false, false, {}},
        {"foo", false, false, {"foo"}},
        {"-bogus,TRUE", false, false, {"-bogus", "TRUE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        TollimarTree tree;
        const RunResult result = tree.tollimar(c.commandLine);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(exists(tree.rulesDir() + "/60-sorbix-u3v.rules"), c.installs);
        const bool toolShown = result.out.find("install-filter: SORBIX_U3V.inf installed") != std::string::npos;
        EXPECT_EQ(toolShown, c.installs && !c.hidden) << result.out;

        const std::string log = tree.log();
        std::string logged;
        for (const std::string& line : linesOf(log))
            if (line.rfind("_tWinMain: ", 0) == 0)
                logged += line.substr(11) + "|";
        std::string expected;
        for (const std::string& token : c.tokens)
            expected += token + "|";
        EXPECT_EQ(logged, expected);
        EXPECT_EQ(countOf(log, ">>> NorrikOmbrelSetupInstall\n"), c.installs ? 1u : 0u);
        EXPECT_EQ(countOf(log, "<<< _tWinMain\n"), 1u);
        EXPECT_TRUE(log.size() >= 14 && log.compare(log.size() - 14, 14, "<<< _tWinMain\n") == 0) << log;
        std::string usage;
        for (const std::string& line : linesOf(result.err))
            if (line.rfind("usage: Tollimar ", 0) == 0)
                usage = line;
        EXPECT_EQ(!usage.empty(), !c.installs) << result.err;
        if (!usage.empty()) {
            for (const char* command : {" -install ", " -install,TRUE ", " -uninstall ", " -checkUsb30"})
                EXPECT_NE(usage.find(command), std::string::npos) << usage;
        }
        if (!c.installs) {
            // entry, call, tokens, the command refused, exit
            EXPECT_EQ(linesOf(log).size(), 4u + c.tokens.size()) << log;
            const std::string refused = c.tokens.empty() ? "_tWinMain no command\n"
                                                         : "_tWinMain unknown command \"" + c.tokens[0] + "\"\n";
            EXPECT_EQ(countOf(log, refused), 1u) << log;
        }
    }
}

TEST(TollimarCommandLine, InstallThenUninstallEndToEnd)
{
    TollimarTree tree;
    ASSERT_EQ(tree.tollimar("-install,TRUE").exitCode, 0);
    EXPECT_EQ(tree.installedRule(), readText(tree.programDir() + "/60-sorbix-u3v.rules"));
    EXPECT_EQ(readText(tree.infDir() + "/oem0.inf"), readText(tree.programDir() + "/SORBIX_U3V.inf"));
    EXPECT_EQ(tree.udevadmCalls(), "control --reload-rules\n");

    const RunResult result = tree.tollimar("-UnInstall");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(exists(tree.rulesDir() + "/60-sorbix-u3v.rules"));
    EXPECT_FALSE(exists(tree.infDir() + "/oem0.inf"));
    EXPECT_EQ(tree.udevadmCalls(), "control --reload-rules\ncontrol --reload-rules\n");
    // PnPutil always runs hidden.
    EXPECT_EQ(result.out.find("PnPutil"), std::string::npos) << result.out;
    EXPECT_NE(tree.log().find(">>> NorrikOmbrelSetupUninstall\n"), std::string::npos);
}

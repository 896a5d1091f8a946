#pragma once

// A temporary tree that every setup service root points into: descriptor
// folder, driver store, udev rules, USB devices, runtime folder, and a bin
// folder with a recording "udevadm" first on the PATH.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace setuptest {

inline std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    ASSERT_TRUE(file.good()) << path;
}

inline bool exists(const std::string& path)
{
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

inline void makeFolder(const std::string& path)
{
    ASSERT_EQ(std::system(("mkdir -p '" + path + "'").c_str()), 0) << path;
}

inline void makeExecutable(const std::string& path, const std::string& script)
{
    writeText(path, script);
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0) << path;
}

inline void copyFile(const std::string& from, const std::string& to)
{
    ASSERT_EQ(std::system(("cp '" + from + "' '" + to + "'").c_str()), 0) << from;
}

// Non-empty lines of a text.
inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

inline size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class SetupTestTree {
public:
    SetupTestTree()
    {
        char pattern[] = "/tmp/norrik-setup-XXXXXX";
        if (!::mkdtemp(pattern))
            ADD_FAILURE() << "mkdtemp failed";
        m_root = pattern;
        for (const char* folder : {"/inf", "/store", "/rules", "/run", "/bin", "/work", "/sys/bus/usb/devices"})
            makeFolder(m_root + folder);
        makeExecutable(m_root + "/bin/udevadm",
                       "#!/bin/sh\necho \"$@\" >> '" + m_root + "/udevadm.calls'\n");
        setVariable("NORRIK_INF_DIR", infDir());
        setVariable("NORRIK_DRIVER_STORE", storeDir());
        setVariable("NORRIK_UDEV_RULES_DIR", rulesDir());
        setVariable("NORRIK_USB_DEVICES_DIR", usbDevicesDir());
        setVariable("XDG_RUNTIME_DIR", runtimeDir());
        const char* path = std::getenv("PATH");
        setVariable("PATH", m_root + "/bin:" + (path ? path : "/usr/bin:/bin"));
    }

    ~SetupTestTree()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::system(("rm -rf '" + m_root + "'").c_str());
    }

    SetupTestTree(const SetupTestTree&) = delete;
    SetupTestTree& operator=(const SetupTestTree&) = delete;

    // Sets a variable for the test's duration; an empty optional unsets it.
    void setVariable(const std::string& name, const std::optional<std::string>& value)
    {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }

    const std::string& root() const { return m_root; }
    std::string infDir() const { return m_root + "/inf"; }
    std::string storeDir() const { return m_root + "/store"; }
    std::string rulesDir() const { return m_root + "/rules"; }
    std::string runtimeDir() const { return m_root + "/run"; }
    std::string usbDevicesDir() const { return m_root + "/sys/bus/usb/devices"; }
    std::string workDir() const { return m_root + "/work"; }
    std::string udevadmCalls() const { return readText(m_root + "/udevadm.calls"); }

    // A package in its own folder: descriptor and rule file. Returns the
    // descriptor's path.
    std::string writePackage(const std::string& infName, const std::string& package, const std::string& ruleName,
                             const std::string& ruleText, const std::string& version = "1.0")
    {
        const std::string folder = m_root + "/packages/" + infName + "-" + version;
        makeFolder(folder);
        writeText(folder + "/" + infName,
                  "[Version]\nPackage=" + package + "\nDriverVer=" + version + "\n[Rules]\nRule=" + ruleName + "\n");
        writeText(folder + "/" + ruleName, ruleText);
        return folder + "/" + infName;
    }

    // Runs a shell command line in the working folder.
    RunResult run(const std::string& commandLine) const
    {
        RunResult result;
        const std::string out = m_root + "/run.out";
        const std::string err = m_root + "/run.err";
        const std::string command = "cd '" + workDir() + "' && " + commandLine + " >'" + out + "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readText(out);
        result.err = readText(err);
        return result;
    }

    RunResult installFilter(const std::string& infPath) const
    {
        return run(std::string("'") + SUITE_BIN_DIR + "/x86/install-filter' install '--inf=" + infPath + "'");
    }

    RunResult pnputil(const std::string& arguments) const
    {
        return run(std::string("'") + SUITE_BIN_DIR + "/PnPutil' " + arguments);
    }

private:
    std::string m_root;
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace setuptest

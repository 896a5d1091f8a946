#pragma once

#include "SetupTestTree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <unistd.h>

namespace tollimartest {

using namespace setuptest;

// A copy of the installed program in the tree: Tollimar, its package, PnPutil
// and x86/install-filter, so that a test can swap a tool for a fake one.
class TollimarTree : public SetupTestTree {
public:
    TollimarTree()
    {
        makeFolder(programDir() + "/x86");
        for (const char* file : {"Tollimar", "PnPutil", "x86/install-filter", "SORBIX_U3V.inf", "60-sorbix-u3v.rules"})
            copyFile(std::string(SUITE_BIN_DIR) + "/" + file, programDir() + "/" + file);
    }

    std::string programDir() const { return root() + "/prog"; }
    std::string logPath() const { return workDir() + "/NorrikOmbrelSetup.log"; }
    std::string log() const { return readText(logPath()); }
    std::string markerPath() const
    {
        return runtimeDir() + "/registry/HKEY_CURRENT_USER/Software/NorrikOmbrel/USB3NotAvailable";
    }
    std::string installedRule() const { return readText(rulesDir() + "/60-sorbix-u3v.rules"); }

    // Runs Tollimar with one argument, or none when the command line is empty.
    RunResult tollimar(const std::string& commandLine) const
    {
        return run("'" + programDir() + "/Tollimar'" + (commandLine.empty() ? "" : " '" + commandLine + "'"));
    }

    void replaceInstallFilter(const std::string& script)
    {
        makeExecutable(programDir() + "/x86/install-filter", "#!/bin/sh\n" + script);
    }
};

// Runs in-process code with the tree's working folder as the current one.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& folder)
    {
        char* old = ::getcwd(nullptr, 0);
        m_old = old ? old : "/";
        std::free(old);
        EXPECT_EQ(::chdir(folder.c_str()), 0);
    }
    ~WorkingFolder() { (void)::chdir(m_old.c_str()); }

private:
    std::string m_old;
};

// A sysfs-like USB tree: host controllers with root hubs, and devices linked
// into the USB devices folder as sysfs does.
class UsbFixture {
public:
    explicit UsbFixture(const SetupTestTree& tree)
        : m_tree(tree)
    {
    }

    void rootHub(const std::string& controller, int bus, const std::string& speed, const std::string& version,
                 int ports)
    {
        const std::string folder = m_tree.root() + "/sys/devices/pci0000:00/" + controller;
        add("usb" + std::to_string(bus), folder,
            {{"speed", speed}, {"version", version}, {"maxchild", std::to_string(ports)}, {"bDeviceClass", "09"}});
    }

    void hub(const std::string& name, const std::string& parent, const std::string& speed, const std::string& version,
             int ports)
    {
        add(name, m_folders.at(parent),
            {{"speed", speed}, {"version", version}, {"maxchild", std::to_string(ports)}, {"bDeviceClass", "09"}});
    }

    void device(const std::string& name, const std::string& parent, const std::string& deviceClass)
    {
        add(name, m_folders.at(parent), {{"speed", "5000"}, {"bDeviceClass", deviceClass}, {"maxchild", "0"}});
    }

    std::string folderOf(const std::string& name) const { return m_folders.at(name); }

private:
    void add(const std::string& name, const std::string& parentFolder, const std::map<std::string, std::string>& attributes)
    {
        const std::string folder = parentFolder + "/" + name;
        makeFolder(folder);
        for (const auto& [attribute, value] : attributes)
            writeText(folder + "/" + attribute, value + "\n");
        ASSERT_EQ(::symlink(folder.c_str(), (m_tree.usbDevicesDir() + "/" + name).c_str()), 0) << name;
        m_folders[name] = folder;
    }

    const SetupTestTree& m_tree;
    std::map<std::string, std::string> m_folders;
};

} // namespace tollimartest

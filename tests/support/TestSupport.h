// Shared helpers for the tests.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// A fresh device root in a temporary folder (with the folders every device
// has), removed afterwards; it becomes the platform's device root.
class TemporaryDeviceRoot {
public:
    TemporaryDeviceRoot();
    ~TemporaryDeviceRoot();
    const std::filesystem::path& path() const { return m_path; }
    // The host path of a device path in this root.
    std::filesystem::path host(const std::string& devicePath) const;
    void writeFile(const std::string& devicePath, const std::string& contents) const;
    std::string readFile(const std::string& devicePath) const;

private:
    std::filesystem::path m_path;
};

// Runs body in a forked child process and reports whether it finished
// without a failed expectation (what it prints goes to the test's output).
// For tests of things a process can do only once, like loading a library.
bool runInChildProcess(const std::function<void()>& body);

// The build's device image (the system's libraries at their install paths).
std::filesystem::path deviceImage();
// The extension's files at their install paths, as its package holds them.
std::filesystem::path packageRoot();
// The build's bin folder (Camera, the settings editor).
std::filesystem::path binFolder();
// A shell command that runs the build's program of that name from its bin
// folder (under the build's emulator on a device build), quoted.
std::string programCommand(const std::string& name);

} // namespace testing_support

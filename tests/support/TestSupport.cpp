#include "support/TestSupport.h"

#include "device/Device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

TemporaryDeviceRoot::TemporaryDeviceRoot()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    if (!made)
        throw std::runtime_error("mkdtemp failed");
    m_path = made;
    // The folders every device has.
    std::filesystem::create_directories(m_path / "var/mobile/Library/Preferences");
    device::setRoot(m_path);
}

TemporaryDeviceRoot::~TemporaryDeviceRoot()
{
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::filesystem::path TemporaryDeviceRoot::host(const std::string& devicePath) const
{
    return m_path / std::filesystem::path(devicePath).relative_path();
}

void TemporaryDeviceRoot::writeFile(const std::string& devicePath, const std::string& contents) const
{
    auto path = host(devicePath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::string TemporaryDeviceRoot::readFile(const std::string& devicePath) const
{
    std::ifstream file(host(devicePath), std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool runInChildProcess(const std::function<void()>& body)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        body();
        bool failed = ::testing::Test::HasFailure();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(failed ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::filesystem::path binFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

std::string programCommand(const std::string& name)
{
    std::string program = "'" + (binFolder() / name).string() + "'";
    return *LUMORA_EMULATOR ? std::string(LUMORA_EMULATOR) + " " + program : program;
}

std::filesystem::path deviceImage()
{
    return binFolder().parent_path() / "device-image";
}

std::filesystem::path packageRoot()
{
    return binFolder().parent_path() / "package-root";
}

} // namespace testing_support

#include "PopoverTestSupport.h"

#include "popover/PopoverClasses.h"
#include "support/TestSupport.h"

#include <filesystem>

namespace popover_testing {

std::string picturePath(const std::string& name)
{
    auto folder = testing_support::binFolder().parent_path() / "popover-pictures";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

namespace {

// The component's classes are registered before any test runs, as a module
// registers them when it starts.
class RegisterClasses : public ::testing::Environment {
public:
    void SetUp() override { registerPopoverClasses(); }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new RegisterClasses);

} // namespace

} // namespace popover_testing

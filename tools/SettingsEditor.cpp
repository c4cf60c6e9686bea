// lumora-settings: the extension's settings editor. Writes the preference
// file and announces the change, as a settings app on the device does.
#include "device/Device.h"
#include "device/Process.h"
#include "foundation/PropertyList.h"
#include "tools/PreferenceFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

void usage(FILE* out)
{
    std::fprintf(out,
        "usage: lumora-settings --root DIR [--quiet] [--force] [--wait SECONDS] COMMAND\n"
        "\n"
        "Edits the Lumora preference file of a simulated device and posts\n"
        "com.QV.Lumora.settingschanged, so a running Camera ends and the next\n"
        "launch reads the new settings.\n"
        "\n"
        "commands:\n"
        "  set KEY bool|float|string VALUE   set one key (LMEnabled, enableTorch, torchValue, rightBtn, ...)\n"
        "  delete KEY                        remove one key\n"
        "  show                              print the file\n"
        "  notify                            only post the notification\n"
        "\n"
        "Options come before the command. set and delete post the notification\n"
        "after writing; add --quiet to skip it. A preference file that is there\n"
        "but cannot be read is never written over: set and delete stop with\n"
        "status 1, unless --force moves it aside to com.QV.Lumora.plist.unreadable\n"
        "first (an earlier one there moves on to com.QV.Lumora.plist.unreadable.1,\n"
        ".2, ...). While another program (the Camera, another editor) holds the\n"
        "file's lock, set and delete wait for it, up to --wait seconds (10 unless\n"
        "given), and then stop with status 1, writing nothing.\n");
}

// A command line that cannot be carried out: what is wrong, and where the
// help is.
int misuse(const std::string& what)
{
    std::fprintf(stderr, "lumora-settings: %s (lumora-settings --help lists the commands)\n", what.c_str());
    return 2;
}

// Reports why nothing was written; the status to exit with.
int reportUpdate(PreferenceUpdate update)
{
    std::string message = preferences::failureMessage(update);
    if (message.empty())
        return 0;
    std::fprintf(stderr, "lumora-settings: %s\n", message.c_str());
    return 1;
}

// Seconds as a wait for the lock: a finite number from 0 to a day.
std::optional<std::chrono::milliseconds> parseWait(const std::string& text)
{
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(seconds >= 0 && seconds <= 86400))
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000 + 0.5));
}

} // namespace

int main(int argc, char** argv)
{
    std::optional<std::string> root;
    bool quiet = false;
    bool force = false;
    std::optional<std::chrono::milliseconds> wait;
    // Options, then the command: what follows the command's first word is
    // the command's own, a value like "--root" included.
    int i = 1;
    for (; i < argc && std::string_view(argv[i]).starts_with("-"); ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            usage(stdout);
            return 0;
        }
        // A second root would change where the first one said to write.
        if ((option == "--root" && root) || (option == "--wait" && wait))
            return misuse(option + " is given twice");
        if (option == "--quiet") {
            quiet = true;
        } else if (option == "--force") {
            force = true;
        } else if (option == "--root" || option == "--wait") {
            if (i + 1 == argc)
                return misuse(option + (option == "--root" ? " needs the device's folder" : " needs a number of seconds"));
            std::string value = argv[++i];
            if (option == "--root") {
                root = value;
            } else if (!(wait = parseWait(value))) {
                return misuse("--wait takes seconds from 0 to 86400, not \"" + value + "\"");
            }
        } else {
            return misuse("unknown option " + option);
        }
    }
    std::vector<std::string> words(argv + i, argv + argc);
    if (!root || root->empty())
        return misuse("--root DIR is needed");
    if (words.empty())
        return misuse("no command given");
    device::setRoot(*root);
    auto patience = wait.value_or(preferences::kLockPatience);
    device::registerProcess("Preferences", "com.apple.Preferences");
    AutoreleasePool pool;

    int status = 0;
    const std::string& command = words[0];
    if (command == "set" && words.size() >= 4) {
        std::string text = words[3];
        for (size_t i = 4; i < words.size(); ++i)
            text += " " + words[i];
        std::string error;
        auto value = preferences::parseValue(words[2], text, error);
        if (!value) {
            std::fprintf(stderr, "lumora-settings: %s\n", error.c_str());
            status = 2;
        } else if ((status = reportUpdate(preferences::setValue(words[1], value.get(), force, patience))) == 0 && !quiet) {
            preferences::postChanged();
        }
    } else if (command == "delete" && words.size() == 2) {
        if ((status = reportUpdate(preferences::setValue(words[1], nullptr, force, patience))) == 0 && !quiet)
            preferences::postChanged();
    } else if (command == "show" && words.size() == 1) {
        auto contents = preferences::read();
        if (contents.state == PreferenceFileState::Unreadable) {
            std::fprintf(stderr, "lumora-settings: %s is there but is not a property list that can be read\n", preferences::kPath->UTF8String());
            status = 1;
        } else {
            std::printf("%s\n", NSPropertyListSummary(contents.dictionary.ptr()).c_str());
        }
    } else if (command == "notify" && words.size() == 1) {
        preferences::postChanged();
    } else if (command == "set") {
        status = misuse("set takes KEY bool|float|string VALUE");
    } else if (command == "delete") {
        status = misuse("delete takes one KEY");
    } else if (command == "show" || command == "notify") {
        status = misuse(command + " takes nothing more");
    } else {
        status = misuse("unknown command \"" + command + "\"");
    }
    device::unregisterProcess();
    return status;
}

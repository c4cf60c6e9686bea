// lumora-settings: the extension's settings editor. Writes the preference
// file and announces the change, as a settings app on the device does.
#include "device/Device.h"
#include "device/Process.h"
#include "foundation/PropertyList.h"
#include "tools/PreferenceFile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void usage(FILE* out)
{
    std::fprintf(out,
        "usage: lumora-settings --root DIR [--quiet] [--force] COMMAND\n"
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
        "set and delete post the notification after writing; add --quiet to skip it.\n"
        "A preference file that is there but cannot be read is never written over:\n"
        "set and delete stop with status 1, unless --force moves it aside to\n"
        "com.QV.Lumora.plist.unreadable first (an earlier one there moves on to\n"
        "com.QV.Lumora.plist.unreadable.1, .2, ...).\n");
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

} // namespace

int main(int argc, char** argv)
{
    std::string root;
    bool quiet = false;
    bool force = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--root") {
            if (i + 1 == argc)
                return misuse("--root needs the device's folder");
            root = argv[++i];
        } else if (argument == "--quiet") {
            quiet = true;
        } else if (argument == "--force") {
            force = true;
        } else if (argument == "--help" || argument == "-h") {
            usage(stdout);
            return 0;
        } else if (argument.starts_with("--") && words.empty()) {
            return misuse("unknown option " + argument);
        } else {
            words.push_back(argument);
        }
    }
    if (root.empty())
        return misuse("--root DIR is needed");
    if (words.empty())
        return misuse("no command given");
    device::setRoot(root);
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
        } else if ((status = reportUpdate(preferences::setValue(words[1], value.get(), force))) == 0 && !quiet) {
            preferences::postChanged();
        }
    } else if (command == "delete" && words.size() == 2) {
        if ((status = reportUpdate(preferences::setValue(words[1], nullptr, force))) == 0 && !quiet)
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

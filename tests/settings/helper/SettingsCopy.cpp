// Started by the settings-sharing tests as another copy of the program.
//   save-many PREFIX N   N times: loads the settings, adds the bookmark PREFIX<i>, saves
//   window CHANGE...     loads the settings, makes each change (+BOOKMARK, -BOOKMARK,
//                        recent:PATH), writes "l" to standard output, and saves once a byte
//                        arrives on standard input; exits 1 if the input closes first
#include "settings/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

bool Change(Settings& settings, const std::string& change)
{
    if (change.size() > 1 && change[0] == '+')
        settings.bookmarks.insert(change.substr(1));
    else if (change.size() > 1 && change[0] == '-')
        settings.bookmarks.erase(change.substr(1));
    else if (change.rfind("recent:", 0) == 0)
        AddRecentFile(settings.recentOpenFiles, change.substr(7));
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "save-many" && argc == 4) {
        for (int i = 0, count = std::atoi(argv[3]); i < count; ++i) {
            Settings settings;
            LoadSettings(settings);
            settings.bookmarks.insert(argv[2] + std::to_string(i));
            SaveSettings(settings);
        }
        return 0;
    }
    if (mode == "window") {
        Settings settings;
        LoadSettings(settings);
        for (int i = 2; i < argc; ++i)
            if (!Change(settings, argv[i]))
                return 2;
        char byte;
        if (::write(STDOUT_FILENO, "l", 1) != 1 || ::read(STDIN_FILENO, &byte, 1) != 1)
            return 1;
        SaveSettings(settings);
        return 0;
    }
    return 2;
}

#include "app/SettingsPath.h"

std::string settingsFilePath(const char* xdgConfigHome, const char* home)
{
    // A relative value is to be ignored, as the XDG base directory rules say.
    std::string base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home != nullptr && home[0] == '/')
    {
        base = home;
        while (!base.empty() && base.back() == '/') base.pop_back();
        base += "/.config";
    }
    else
        return {};
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();
    return base + "/flexherd/flexherd.conf";
}

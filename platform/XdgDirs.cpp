#include "platform/XdgDirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string StripTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// A relative XDG variable is to be ignored, as the base-directory rules say.
std::string XdgBase(const char* name, const char* fallbackBelowHome) {
    std::string v = Env(name);
    if (!v.empty() && v.front() == '/') return StripTrailingSlashes(v);
    return UserHomeFolder() + fallbackBelowHome;
}

void MakeFolders(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
}

}  // namespace

std::string UserHomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return StripTrailingSlashes(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return StripTrailingSlashes(pw->pw_dir);
    return "/tmp";
}

std::string XdgDataHome() {
    return XdgBase("XDG_DATA_HOME", "/.local/share");
}

std::string XdgConfigHome() {
    return XdgBase("XDG_CONFIG_HOME", "/.config");
}

std::string UserDirFolder(const std::string& key, const std::string& fallback) {
    const std::string home = UserHomeFolder();
    std::ifstream in(XdgConfigHome() + "/user-dirs.dirs");
    const std::string wanted = "XDG_" + key + "_DIR=";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(wanted, 0) != 0) continue;
        std::string v = line.substr(wanted.size());
        // The value is a quoted "$HOME/..." or absolute path; backslash escapes the next character.
        if (v.size() < 2 || v.front() != '"') continue;
        std::string text;
        bool closed = false;
        for (size_t i = 1; i < v.size(); ++i) {
            if (v[i] == '\\' && i + 1 < v.size()) {
                text += v[++i];
            } else if (v[i] == '"') {
                closed = true;
                break;
            } else {
                text += v[i];
            }
        }
        if (!closed) continue;
        if (text.rfind("$HOME", 0) == 0 && (text.size() == 5 || text[5] == '/'))
            return StripTrailingSlashes(home + text.substr(5));
        if (!text.empty() && text.front() == '/') return StripTrailingSlashes(text);
    }
    return home + "/" + fallback;
}

std::string KorvaneConfigFolder() {
    return XdgBase("XDG_CONFIG_HOME", "/.config") + "/korvane";
}

std::string KorvaneHomeFolder() {
    std::string home = Env("KORVANE_HOME");
    std::string folder =
        !home.empty() ? StripTrailingSlashes(home) : XdgBase("XDG_DATA_HOME", "/.local/share") + "/korvane";
    MakeFolders(folder);
    return folder;
}

}  // namespace platform

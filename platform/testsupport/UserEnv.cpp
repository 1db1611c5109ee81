#include "platform/testsupport/UserEnv.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace platform::testsupport {

ScopedUserEnv::ScopedUserEnv() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "korvane-env-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    for (const char* sub : {"/home", "/config", "/data", "/etc-xdg", "/share"})
        std::filesystem::create_directories(root_ + sub);
    Set("HOME", root_ + "/home");
    Set("XDG_CONFIG_HOME", root_ + "/config");
    Set("XDG_DATA_HOME", root_ + "/data");
    Set("XDG_CONFIG_DIRS", root_ + "/etc-xdg");
    Set("XDG_DATA_DIRS", root_ + "/share");
    Set("KORVANE_HOME", std::nullopt);
}

ScopedUserEnv::~ScopedUserEnv() {
    for (auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

void ScopedUserEnv::Set(const std::string& name, std::optional<std::string> value) {
    if (!saved_.count(name)) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

int RunShell(const std::string& commandLine) {
    int status = std::system(commandLine.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ShellOutput(const std::string& commandLine) {
    std::string out;
    FILE* p = ::popen(commandLine.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

void WriteTextFile(const std::string& name, const std::string& text, bool executable) {
    std::filesystem::create_directories(std::filesystem::path(name).parent_path());
    {
        std::ofstream f(name, std::ios::binary | std::ios::trunc);
        f << text;
    }
    if (executable) ::chmod(name.c_str(), 0755);
}

std::string ReadTextFile(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace platform::testsupport

#pragma once
// Test support: a private home for the duration of a test. HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CONFIG_DIRS, XDG_DATA_DIRS and KORVANE_HOME point into a fresh temporary folder, so that no
// test reads or writes the real user's settings; the previous values come back afterwards.

#include <map>
#include <optional>
#include <string>

namespace platform::testsupport {

class ScopedUserEnv {
public:
    ScopedUserEnv();
    ~ScopedUserEnv();
    ScopedUserEnv(const ScopedUserEnv&) = delete;
    ScopedUserEnv& operator=(const ScopedUserEnv&) = delete;

    const std::string& Root() const { return root_; }
    // Sets (or, with nullopt, unsets) a variable, restored at the end like the others.
    void Set(const std::string& name, std::optional<std::string> value);

private:
    std::string root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Runs a shell command line; its exit status (-1 when it could not run).
int RunShell(const std::string& commandLine);
// Runs a shell command line and returns what it wrote to standard output.
std::string ShellOutput(const std::string& commandLine);
// Writes a file whole.
void WriteTextFile(const std::string& name, const std::string& text, bool executable = false);
std::string ReadTextFile(const std::string& name);

}  // namespace platform::testsupport

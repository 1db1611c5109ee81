#pragma once
// The engine-beside-SQLite programs run each engine in a child process of its own, so that the
// peak resident memory a workload reports belongs to one engine: the child works in a new folder
// mapped as drive B: and writes one line per workload to a pipe that the parent reads back.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Paths.h"

namespace korvane_bench {

// Resets the peak resident size of this process (Linux: "5" to clear_refs). Where that is
// refused the peak is the process's since it started.
inline void ResetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    if (f) f << "5";
}

inline int64_t PeakKb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs work in a child process whose drive B: is a new folder below parent (removed afterwards)
// and returns the lines work wrote to out. A failure of work is told on standard error with the
// label and raised here as a failed run.
inline std::vector<std::string> RunInChild(
    const std::string& label, const std::string& parent,
    const std::function<void(const std::string& folder, FILE* out)>& work) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork");
    if (child == 0) {
        close(fds[0]);
        FILE* out = fdopen(fds[1], "w");
        int status = 0;
        std::string folder = parent + "/korvane-bench-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) _exit(2);
        try {
            setenv("KORVANE_DRIVES", ("B=" + folder).c_str(), 1);
            platform::ReloadDriveMap();
            work(folder, out);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", label.c_str(), e.what());
            status = 2;
        }
        std::fclose(out);
        std::filesystem::remove_all(folder);
        std::exit(status);
    }
    close(fds[1]);
    std::vector<std::string> lines;
    FILE* in = fdopen(fds[0], "r");
    char line[512];
    while (std::fgets(line, sizeof line, in) != nullptr) lines.emplace_back(line);
    std::fclose(in);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(label + " run failed (status " + std::to_string(status) + ")");
    return lines;
}

}  // namespace korvane_bench

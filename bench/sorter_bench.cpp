// The external sorter beside sort(1) on the same catalog-shaped records: fixed-length records
// (file name, folder, volume label, size, date and time) sorted by name then folder with a
// sorter of the given memory, and the same records as tab-separated lines sorted with the same
// key by `LC_ALL=C sort`, once with `-S <memory> --parallel=1` and once with its defaults. Each
// sort runs in a child process of its own (so that its peak resident memory is its own) reading
// its input from a file and writing its output to a file; both outputs must be equal by checksum.
//
//   sorter_bench [--records N] [--memory MB] [--folder DIR]
//
// Exit status 0 when the outputs agree, 1 when they do not, 2 on an error.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/CatalogEntries.h"
#include "sysutil/UtSorter.h"

namespace {

using Clock = std::chrono::steady_clock;

// Record layout: FileName (64) and FolderName (96) side by side, so that the key is the first 160
// bytes (zero-padded, so byte order equals the C locale's order of the texts), then VolumeLabel
// (11), FileSize (8), DateModified (4), TimeModified (4), little-endian.
constexpr uint32_t NameLength = 64;
constexpr uint32_t FolderLength = 96;
constexpr uint32_t KeyLength = NameLength + FolderLength;
constexpr uint32_t LabelLength = 11;
constexpr uint32_t RecordLength = KeyLength + LabelLength + 8 + 4 + 4;

int32_t CompareRecords(const void* a, const void* b) {
    return std::memcmp(a, b, KeyLength);
}

void PutLE(char* p, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
uint64_t GetLE(const char* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

void Encode(const korvane_bench::TEntry& e, char* rec) {
    std::memset(rec, 0, RecordLength);
    std::memcpy(rec, e.FileName.data(), std::min<size_t>(e.FileName.size(), NameLength));
    std::memcpy(rec + NameLength, e.FolderName.data(), std::min<size_t>(e.FolderName.size(), FolderLength));
    std::memcpy(rec + KeyLength, e.VolumeLabel.data(), std::min<size_t>(e.VolumeLabel.size(), LabelLength));
    PutLE(rec + KeyLength + LabelLength, static_cast<uint64_t>(e.FileSize), 8);
    PutLE(rec + KeyLength + LabelLength + 8, static_cast<uint32_t>(e.DateModified), 4);
    PutLE(rec + KeyLength + LabelLength + 12, static_cast<uint32_t>(e.TimeModified), 4);
}

std::string Field(const char* p, uint32_t length) {
    return std::string(p, strnlen(p, length));
}

// The record as sort(1)'s input line (without the newline).
std::string LineOf(const char* rec) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "\t%" PRIu64 "\t%u\t%u", GetLE(rec + KeyLength + LabelLength, 8),
                  static_cast<unsigned>(GetLE(rec + KeyLength + LabelLength + 8, 4)),
                  static_cast<unsigned>(GetLE(rec + KeyLength + LabelLength + 12, 4)));
    return Field(rec, NameLength) + "\t" + Field(rec + NameLength, FolderLength) + "\t" +
           Field(rec + KeyLength, LabelLength) + tail;
}

uint64_t Fnv(const std::string& s, uint64_t h = 1469598103934665603ull) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Order-sensitive over the keys (records of equal keys may come in any order) and
// order-insensitive over whole lines.
struct TChecksum {
    uint64_t Keys = 1469598103934665603ull;
    uint64_t Lines = 0;
    uint64_t Count = 0;
    void Add(const std::string& line) {
        const size_t first = line.find('\t');
        const size_t second = line.find('\t', first + 1);
        Keys = Fnv(line.substr(0, second) + "\n", Keys);
        Lines += korvane_bench::Mix(Fnv(line));
        ++Count;
    }
    bool operator==(const TChecksum&) const = default;
};

TChecksum ChecksumOfRecords(const std::string& file) {
    TChecksum c;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) throw std::runtime_error("cannot open " + file);
    std::vector<char> rec(RecordLength);
    while (std::fread(rec.data(), 1, RecordLength, f) == RecordLength) c.Add(LineOf(rec.data()));
    std::fclose(f);
    return c;
}

TChecksum ChecksumOfLines(const std::string& file) {
    TChecksum c;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) throw std::runtime_error("cannot open " + file);
    char* line = nullptr;
    size_t size = 0;
    ssize_t n;
    while ((n = getline(&line, &size, f)) > 0) c.Add(std::string(line, static_cast<size_t>(n - 1)));
    std::free(line);
    std::fclose(f);
    return c;
}

// The child's sort: records from input through a sorter of memory bytes to output.
int RunSorter(const std::string& input, const std::string& output, int32_t memory) {
    try {
        FILE* in = std::fopen(input.c_str(), "rb");
        FILE* out = std::fopen(output.c_str(), "wb");
        if (in == nullptr || out == nullptr) return 2;
        std::vector<char> rec(RecordLength);
        sysutil::TUtSorter sorter(memory, RecordLength);
        sorter.SetCompare(CompareRecords);
        while (std::fread(rec.data(), 1, RecordLength, in) == RecordLength) sorter.Put(rec.data());
        while (sorter.Get(rec.data())) std::fwrite(rec.data(), 1, RecordLength, out);
        std::fclose(in);
        return std::fclose(out) == 0 ? 0 : 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sorter: %s\n", e.what());
        return 2;
    }
}

struct TRun {
    double Seconds = 0;
    long PeakKb = 0;
};

// Runs argv in a child process; its wall time and peak resident memory.
TRun RunChild(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("wait failed");
    TRun run;
    run.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.PeakKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child-sort") == 0)
        return RunSorter(argv[2], argv[3], static_cast<int32_t>(std::atol(argv[4])));

    int64_t records = 1000000;
    int64_t memoryMb = 16;
    std::string base = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--records") == 0)
            records = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--memory") == 0)
            memoryMb = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--folder") == 0)
            base = argv[i + 1];
    }
    if (records < 1 || memoryMb < 1 || memoryMb > 1024) {
        std::fprintf(stderr, "usage: sorter_bench [--records N] [--memory MB] [--folder DIR]\n");
        return 2;
    }
    std::string work = base + "/korvane-sorter-bench-XXXXXX";
    if (mkdtemp(work.data()) == nullptr) return 2;
    int result = 2;
    try {
        const std::string records_bin = work + "/records.bin", lines_txt = work + "/lines.txt";
        const std::string sorted_bin = work + "/sorted.bin", sorted_txt = work + "/sorted.txt";
        const std::string sorted2_txt = work + "/sorted-defaults.txt";
        {
            // About 1,000 entries per volume, as the engine benchmark makes them.
            korvane_bench::EntriesPerVolume = 1000;
            FILE* bin = std::fopen(records_bin.c_str(), "wb");
            FILE* txt = std::fopen(lines_txt.c_str(), "wb");
            if (bin == nullptr || txt == nullptr) throw std::runtime_error("cannot write the input files");
            std::vector<char> rec(RecordLength);
            for (int64_t i = 0; i < records; ++i) {
                Encode(korvane_bench::MakeEntry(i), rec.data());
                std::fwrite(rec.data(), 1, RecordLength, bin);
                const std::string line = LineOf(rec.data()) + "\n";
                std::fwrite(line.data(), 1, line.size(), txt);
            }
            std::fclose(bin);
            std::fclose(txt);
        }
        const int64_t memory = memoryMb * 1024 * 1024;
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        const std::vector<std::string> env = {"LC_ALL=C", "TMPDIR=" + work};
        const TRun ours =
            RunChild({self, "--child-sort", records_bin, sorted_bin, std::to_string(memory)}, env);
        const TRun peer =
            RunChild({"sort", "-t", "\t", "-k1,1", "-k2,2", "-S", std::to_string(memoryMb) + "M",
                      "--parallel=1", "-T", work, "-o", sorted_txt, lines_txt},
                     env);
        const TRun peerDefaults =
            RunChild({"sort", "-t", "\t", "-k1,1", "-k2,2", "-T", work, "-o", sorted2_txt, lines_txt}, env);

        const TChecksum a = ChecksumOfRecords(sorted_bin), b = ChecksumOfLines(sorted_txt),
                        c = ChecksumOfLines(sorted2_txt);
        const bool agree = a == b && a == c && a.Count == static_cast<uint64_t>(records);
        std::printf("records %" PRId64 " of %u bytes, sorter memory %" PRId64 " MB\n", records, RecordLength,
                    memoryMb);
        std::printf("%-34s %9s %12s %8s\n", "run", "seconds", "peak RSS MB", "ratio");
        std::printf("%-34s %9.3f %12.1f %8s\n", "TUtSorter", ours.Seconds, ours.PeakKb / 1024.0, "");
        std::printf("%-34s %9.3f %12.1f %8.2f\n", "sort -S <memory> --parallel=1", peer.Seconds,
                    peer.PeakKb / 1024.0, ours.Seconds / peer.Seconds);
        std::printf("%-34s %9.3f %12.1f %8.2f\n", "sort (defaults)", peerDefaults.Seconds,
                    peerDefaults.PeakKb / 1024.0, ours.Seconds / peerDefaults.Seconds);
        std::printf("sorter peak RSS - memory: %.1f MB (target at most 8)\n",
                    ours.PeakKb / 1024.0 - static_cast<double>(memoryMb));
        std::printf("checksums %s (keys %016" PRIx64 ", lines %016" PRIx64 ")\n",
                    agree ? "agree" : "MISMATCH", a.Keys, a.Lines);
        result = agree ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sorter_bench: %s\n", e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
    return result;
}

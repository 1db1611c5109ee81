// Sorting a table of catalog-shaped records (file name, folder, size, time, disk) by name and by
// size descending, through the data file's run sort, beside sort(1) over the same keys as text.
// Reports wall time and peak resident memory of both.
//
//   record_sort_bench [record count, default 1000000]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbengine/data/DataFile.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"

namespace {

using namespace dbengine;
using Clock = std::chrono::steady_clock;

std::vector<TFieldDescriptor> CatalogFields() {
    std::vector<TFieldDescriptor> f(5);
    const char* names[] = {"Name", "Folder", "Size", "Modified", "Disk"};
    const uint8_t types[] = {fldString, fldString, fldLargeInt, fldTimestamp, fldInteger};
    const uint8_t sizes[] = {63, 120, 0, 0, 0};
    for (size_t i = 0; i < f.size(); ++i) {
        f[i].FieldNo = static_cast<int16_t>(i + 1);
        f[i].Name = names[i];
        f[i].FieldType = types[i];
        f[i].Size = sizes[i];
        ComputeValueSize(f[i]);
    }
    AssignFieldOffsets(f);
    return f;
}

// A deterministic generator (64-bit linear congruential).
struct TRandom {
    uint64_t State = 0x2545F4914F6CDD1Dull;
    uint32_t Next() {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(State >> 33);
    }
};

std::string FileName(TRandom& rnd) {
    static const char* stems[] = {"IMG_", "report", "setup", "track", "readme", "DSC", "invoice", "backup"};
    static const char* exts[] = {".jpg", ".doc", ".exe", ".mp3", ".txt", ".zip", ".pdf", ".dat"};
    char text[64];
    std::snprintf(text, sizeof text, "%s%05u%s", stems[rnd.Next() % 8], rnd.Next() % 100000,
                  exts[rnd.Next() % 8]);
    return text;
}

long PeakKilobytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    char folderTemplate[] = "/tmp/korvane-sort-bench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) return 1;
    const std::string folder = folderTemplate;
    // The default drive map has C: at "/".
    const std::string winFolder = "C:" + [&] {
        std::string s = folder;
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }() + "\\";

    InitializeEngine();
    TDataSession session(false);
    session.PrivateDir = winFolder;
    TDataTable table(nullptr, &session);
    table.TableName = "CATALOG";
    auto fields = CatalogFields();
    long peakBefore = 0;
    double engineSeconds = 0;
    // The same keys as text lines, for sort(1).
    const std::string keyFile = folder + "/keys.txt";
    std::ofstream keys(keyFile);
    {
        TDataFile file(&table);
        file.FileName = winFolder + "CATALOG.DAT";
        file.CreateDataFile(0, 0, 0, 0, false, "", "", 0, fields);
        file.WriteHeader(true);
        file.WriteDescriptors();
        const size_t recordSize = file.RecordSize();
        const int32_t chunk = 16384;
        std::vector<uint8_t> buffer(static_cast<size_t>(chunk) * recordSize);
        TRandom rnd;
        for (int32_t first = 1; first <= count; first += chunk) {
            int32_t n = std::min(chunk, count - first + 1);
            std::fill(buffer.begin(), buffer.end(), 0);
            for (int32_t i = 0; i < n; ++i) {
                uint8_t* r = buffer.data() + static_cast<size_t>(i) * recordSize;
                PutInt32(r + 1, first + i);
                PutInt32(r + 5, first + i);
                std::string name = FileName(rnd);
                std::string dir = "\\Photos\\" + std::to_string(rnd.Next() % 500) + "\\";
                int64_t size = static_cast<int64_t>(rnd.Next()) * 7;
                double time = 40000.0 + rnd.Next() % 9000;
                int32_t disk = static_cast<int32_t>(rnd.Next() % 300);
                r[fields[0].Offset] = 1;
                std::memcpy(r + fields[0].Offset + 1, name.data(), name.size());
                r[fields[1].Offset] = 1;
                std::memcpy(r + fields[1].Offset + 1, dir.data(), dir.size());
                r[fields[2].Offset] = 1;
                std::memcpy(r + fields[2].Offset + 1, &size, 8);
                r[fields[3].Offset] = 1;
                std::memcpy(r + fields[3].Offset + 1, &time, 8);
                r[fields[4].Offset] = 1;
                std::memcpy(r + fields[4].Offset + 1, &disk, 4);
                keys << name << '\t' << size << '\n';
            }
            file.WriteAt(file.RecordOffset(first), buffer.data(), static_cast<uint32_t>(n * recordSize));
        }
        keys.close();
        file.Header.NextRecordNo = count + 1;
        file.Header.LastRecordId = count;
        file.Header.HeaderModified = 1;
        file.WriteHeader(true);

        std::vector<TFieldDescriptor> sortFields = {fields[0], fields[2]};
        sortFields[1].SortDescending = 1;
        peakBefore = PeakKilobytes(RUSAGE_SELF);
        auto start = Clock::now();
        file.SortRecords(sortFields, false, -1, false, false, false, false, nullptr);
        engineSeconds = std::chrono::duration<double>(Clock::now() - start).count();

        // Check the order.
        std::vector<uint8_t> a(recordSize), b(recordSize);
        bool ordered = true;
        for (int32_t n = 1; n < count && ordered; ++n) {
            file.ReadAt(file.RecordOffset(n), a.data(), static_cast<uint32_t>(recordSize));
            file.ReadAt(file.RecordOffset(n + 1), b.data(), static_cast<uint32_t>(recordSize));
            int c = std::strcmp(reinterpret_cast<char*>(a.data() + fields[0].Offset + 1),
                                reinterpret_cast<char*>(b.data() + fields[0].Offset + 1));
            ordered =
                c < 0 || (c == 0 && static_cast<int64_t>(GetUInt64(a.data() + fields[2].Offset + 1)) >=
                                        static_cast<int64_t>(GetUInt64(b.data() + fields[2].Offset + 1)));
        }
        std::printf("records %d, record size %zu bytes, order %s\n", count, recordSize,
                    ordered ? "ok" : "WRONG");
        file.CloseFile();
    }
    long peakAfter = PeakKilobytes(RUSAGE_SELF);
    FinalizeEngine();

    // The same keys through sort(1).
    auto start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        setenv("LC_ALL", "C", 1);
        execlp("sort", "sort", "-t", "\t", "-k1,1", "-k2,2nr", "-o", (folder + "/sorted.txt").c_str(),
               keyFile.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage childUsage{};
    wait4(child, &status, 0, &childUsage);
    double sortSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("engine run sort : %8.2f s, process peak %ld MB (%ld MB before the sort)\n", engineSeconds,
                peakAfter / 1024, peakBefore / 1024);
    std::printf("sort(1)         : %8.2f s, peak %ld MB, exit %d\n", sortSeconds, childUsage.ru_maxrss / 1024,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::filesystem::remove_all(folder);
    return 0;
}

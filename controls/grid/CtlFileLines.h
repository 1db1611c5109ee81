#pragma once
// The lines of a text file for the file viewer, without holding the file: opening makes one pass
// that counts the lines and keeps the offset of every 256th line start; a line is read from the
// file when it is asked for, through a small cache. Lines end with LF or CR LF (a lone CR is a
// character); each line keeps at most 1023 characters. After the last line read there is always
// one more, empty line, so an open file has at least one line.

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Files.h"

namespace grid {

constexpr int CtlViewerMaxLineLength = 1023;
constexpr int CtlViewerMaxLines = 0x7FFFFFFF;

class TCtlFileLines {
public:
    // Opens the file with deny-write sharing and counts its lines. Raises EInOutError with the
    // platform's error code: 2 "Viewer: file not found", 3 "Viewer: path not found or invalid file
    // name", 4 "Viewer: too many open files", 5 "Viewer: file access denied", any other "Viewer
    // triggered I/O error %d"; a read failure during the pass raises the same way.
    explicit TCtlFileLines(const std::string& FileName);
    ~TCtlFileLines();
    TCtlFileLines(const TCtlFileLines&) = delete;
    TCtlFileLines& operator=(const TCtlFileLines&) = delete;

    int Count() const { return FCount; }
    // Line Index as the file holds it (bytes, line end removed); empty outside the lines and for a
    // line the file no longer has (it shrank while open).
    const std::string& Line(int Index);
    // Memory held by the line index, in bytes.
    size_t IndexBytes() const { return FCheckpoints.capacity() * sizeof(uint64_t); }
    static constexpr int CheckpointEvery = 256;
    static constexpr size_t CacheLines = 256;

private:
    struct TEntry {
        std::string Text;
        uint64_t Next = 0;  // offset of the following line's start
    };
    // Reads the line starting at Offset into E (at most the maximum length) and finds where the
    // next one starts.
    void ReadLineAt(uint64_t Offset, TEntry& E);
    uint64_t SkipLine(uint64_t Offset);
    bool Fill(uint64_t Offset);
    void Remember(int Index, TEntry&& E);

    platform::HANDLE FHandle = platform::INVALID_HANDLE_VALUE;
    int FCount = 0;
    std::vector<uint64_t> FCheckpoints;
    // Read buffer: the bytes of the file from FBufStart.
    std::vector<uint8_t> FBuf;
    uint64_t FBufStart = 0;
    size_t FBufLen = 0;
    std::unordered_map<int, std::list<std::pair<int, TEntry>>::iterator> FCacheMap;
    std::list<std::pair<int, TEntry>> FCache;  // most recent first
    std::string FEmpty;
};

// The exception the viewer raises for a platform error code.
[[noreturn]] void CtlRaiseViewerError(uint32_t Code);

}  // namespace grid

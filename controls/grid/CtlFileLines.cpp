#include "controls/grid/CtlFileLines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "controls/entry/CtlMessages.h"
#include "framework/core/Exception.h"
#include "platform/Process.h"

namespace grid {

namespace {
constexpr size_t BufferSize = 64 * 1024;
}

void CtlRaiseViewerError(uint32_t Code) {
    std::string text;
    switch (Code) {
        case 2:
            text = entry::CtlGetMessage(30233);
            break;
        case 3:
            text = entry::CtlGetMessage(30234);
            break;
        case 4:
            text = entry::CtlGetMessage(30235);
            break;
        case 5:
            text = entry::CtlGetMessage(30236);
            break;
        default: {
            std::string fmt = entry::CtlGetMessage(30232);
            const size_t at = fmt.find("%d");
            text =
                at == std::string::npos ? fmt : fmt.substr(0, at) + std::to_string(Code) + fmt.substr(at + 2);
        }
    }
    throw framework::EInOutError(text, static_cast<int>(Code));
}

TCtlFileLines::TCtlFileLines(const std::string& FileName) : FBuf(BufferSize) {
    FHandle = platform::CreateFile(FileName, platform::GENERIC_READ, platform::FILE_SHARE_READ,
                                   platform::OPEN_EXISTING, platform::FILE_FLAG_SEQUENTIAL_SCAN);
    if (FHandle == platform::INVALID_HANDLE_VALUE) CtlRaiseViewerError(platform::GetLastError());
    // One pass: count the lines as a line reader takes them, and note every 256th line start.
    try {
        int64_t read = 0;  // lines read so far
        uint64_t offset = 0;
        bool inLine = false;  // a line has begun and has not ended yet
        FCheckpoints.push_back(0);
        std::vector<uint8_t> chunk(BufferSize);
        for (;;) {
            uint32_t got = 0;
            if (!platform::ReadFile(FHandle, chunk.data(), static_cast<uint32_t>(chunk.size()), &got))
                CtlRaiseViewerError(platform::GetLastError());
            if (got == 0) break;
            const uint8_t* p = chunk.data();
            const uint8_t* end = p + got;
            while (p < end && read < CtlViewerMaxLines - 1) {
                const auto* lf = static_cast<const uint8_t*>(memchr(p, '\n', static_cast<size_t>(end - p)));
                if (!lf) {
                    inLine = true;
                    break;
                }
                ++read;
                inLine = false;
                if (read % CheckpointEvery == 0)
                    FCheckpoints.push_back(offset + static_cast<uint64_t>(lf - chunk.data()) + 1);
                p = lf + 1;
            }
            offset += got;
            if (read >= CtlViewerMaxLines - 1) break;
        }
        if (inLine && read < CtlViewerMaxLines - 1) ++read;
        FCount = static_cast<int>(read + 1);
        FCheckpoints.shrink_to_fit();
    } catch (...) {
        platform::CloseHandle(FHandle);
        throw;
    }
}

TCtlFileLines::~TCtlFileLines() {
    if (FHandle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FHandle);
}

bool TCtlFileLines::Fill(uint64_t Offset) {
    if (Offset >= FBufStart && Offset < FBufStart + FBufLen) return true;
    int64_t pos = 0;
    if (!platform::SetFilePointerEx(FHandle, static_cast<int64_t>(Offset), &pos, 0)) return false;
    uint32_t got = 0;
    if (!platform::ReadFile(FHandle, FBuf.data(), static_cast<uint32_t>(FBuf.size()), &got)) got = 0;
    FBufStart = Offset;
    FBufLen = got;
    return got > 0;
}

uint64_t TCtlFileLines::SkipLine(uint64_t Offset) {
    for (;;) {
        if (!Fill(Offset)) return Offset;
        const uint8_t* b = FBuf.data() + (Offset - FBufStart);
        const size_t n = FBufLen - static_cast<size_t>(Offset - FBufStart);
        const auto* lf = static_cast<const uint8_t*>(memchr(b, '\n', n));
        if (lf) return Offset + static_cast<uint64_t>(lf - b) + 1;
        Offset += n;
    }
}

void TCtlFileLines::ReadLineAt(uint64_t Offset, TEntry& E) {
    E.Text.clear();
    uint64_t at = Offset;
    bool crPending = false;
    for (;;) {
        if (!Fill(at)) {
            if (crPending && E.Text.size() < CtlViewerMaxLineLength) E.Text += '\r';
            E.Next = at;
            return;
        }
        const uint8_t c = FBuf[static_cast<size_t>(at - FBufStart)];
        ++at;
        if (c == '\n') {
            E.Next = at;
            return;
        }
        if (crPending && E.Text.size() < CtlViewerMaxLineLength) E.Text += '\r';
        crPending = c == '\r';
        if (!crPending && E.Text.size() < CtlViewerMaxLineLength) E.Text += static_cast<char>(c);
        if (E.Text.size() >= CtlViewerMaxLineLength) {
            // The rest of a long line is skipped.
            E.Next = SkipLine(at);
            return;
        }
    }
}

void TCtlFileLines::Remember(int Index, TEntry&& E) {
    FCache.emplace_front(Index, std::move(E));
    FCacheMap[Index] = FCache.begin();
    if (FCache.size() > CacheLines) {
        FCacheMap.erase(FCache.back().first);
        FCache.pop_back();
    }
}

const std::string& TCtlFileLines::Line(int Index) {
    if (Index < 0 || Index >= FCount - 1) return FEmpty;  // the last line is always empty
    if (auto it = FCacheMap.find(Index); it != FCacheMap.end()) {
        FCache.splice(FCache.begin(), FCache, it->second);
        return it->second->second.Text;
    }
    uint64_t start;
    if (auto prev = FCacheMap.find(Index - 1); prev != FCacheMap.end()) {
        start = prev->second->second.Next;
    } else {
        const size_t cp = static_cast<size_t>(Index / CheckpointEvery);
        start = cp < FCheckpoints.size() ? FCheckpoints[cp] : FCheckpoints.back();
        for (int i = Index % CheckpointEvery; i > 0; --i) start = SkipLine(start);
    }
    TEntry e;
    ReadLineAt(start, e);
    Remember(Index, std::move(e));
    return FCache.front().second.Text;
}

}  // namespace grid

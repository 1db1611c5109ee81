// Extraction of ZIP entries into a destination folder.

#include <cmath>
#include <memory>

#include "codecs/zip/ZipDecoders.h"
#include "codecs/zip/ZipReader.h"
#include "framework/core/SysUtils.h"
#include "platform/Files.h"
#include "platform/LittleEndian.h"
#include "platform/Paths.h"

namespace codecs {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// Parses a set "<...>" starting at `pos` (on the "<"); returns the position after ">" or npos for
// a set without its closing ">" or an empty one.
size_t ParseSet(const std::string& p, size_t pos, bool& negate, std::string& items) {
    size_t i = pos + 1;
    negate = i < p.size() && (p[i] == '!' || p[i] == '^');
    if (negate) ++i;
    size_t close = p.find('>', i);
    if (close == std::string::npos || close == i) return std::string::npos;
    items = p.substr(i, close - i);
    return close + 1;
}

bool InSet(char c, bool negate, const std::string& items) {
    bool in = false;
    for (size_t i = 0; i < items.size() && !in; ++i) {
        if (i + 2 < items.size() && items[i + 1] == '-') {
            in = c >= items[i] && c <= items[i + 2];
            i += 2;
        } else {
            in = c == items[i];
        }
    }
    return in != negate;
}

bool MatchFrom(const std::string& p, size_t pi, const std::string& n, size_t ni) {
    while (pi < p.size()) {
        char c = p[pi];
        if (c == '*') {
            ++pi;
            if (pi < p.size() && p[pi] == '<') {
                bool negate;
                std::string items;
                size_t after = ParseSet(p, pi, negate, items);
                if (after == std::string::npos) return false;
                // A run of characters of the set, also none.
                for (size_t k = ni;; ++k) {
                    if (MatchFrom(p, after, n, k)) return true;
                    if (k >= n.size() || !InSet(n[k], negate, items)) return false;
                }
            }
            if (pi == p.size()) return true;
            for (size_t k = ni; k <= n.size(); ++k)
                if (MatchFrom(p, pi, n, k)) return true;
            return false;
        }
        if (ni >= n.size()) return false;
        if (c == '<') {
            bool negate;
            std::string items;
            size_t after = ParseSet(p, pi, negate, items);
            if (after == std::string::npos || !InSet(n[ni], negate, items)) return false;
            pi = after;
        } else {
            if (c != '?' && c != n[ni]) return false;
            ++pi;
        }
        ++ni;
    }
    return ni == n.size();
}

int32_t RoundedPercent(int64_t part, int64_t total) {
    if (total <= 0) return 0;
    double v = std::nearbyint(double(part) * 100.0 / double(total));
    return static_cast<int32_t>(std::min(100.0, v));
}

// A stored folder made safe to join to the destination: no drive, no leading "\", no "." or ".."
// components.
std::string ContainedFolder(const std::string& folder) {
    std::string f = folder;
    if (f.size() >= 2 && f[1] == ':') f.erase(0, 2);
    std::string result;
    size_t start = 0;
    while (start <= f.size()) {
        size_t end = f.find('\\', start);
        if (end == std::string::npos) end = f.size();
        std::string part = f.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..") result += part + "\\";
        start = end + 1;
    }
    return result;
}

}  // namespace

bool IsMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*") return true;
    return MatchFrom(Lower(pattern), 0, Lower(name), 0);
}

// The state of one extraction run.
class TZipExtraction {
public:
    TZipExtraction(TZipReader& r) : R(r) {}

    int32_t Run();

private:
    void ExtractEntry(int i);
    bool CheckPassword(TZipHeaderInfo& e, int i, TArcZipKeys& keys);
    void Skip(TSkipReason reason, const std::string& name, int i, int64_t size) {
        if (R.OnSkippingFile) R.OnSkippingFile(&R, reason, name, i, SkipRetry);
        TotalBytes -= size;
    }

    TZipReader& R;
    int32_t Extracted = 0;
    int64_t TotalBytes = 0;
    int64_t WrittenBytes = 0;
    bool Retry = false;
    bool SkipRetry = false;
};

int32_t TZipReader::UnZip() {
    ReadZip();
    OpenZipFile();
    TZipExtraction run(*this);
    int32_t n = run.Run();
    CloseZipFile();
    return n;
}

int32_t TZipExtraction::Run() {
    const bool keepOpen = R.KeepZipOpen;
    R.KeepZipOpen = true;
    bool viewChanged = false;
    auto finish = [&] {
        R.FFilesList->Clear();
        if (viewChanged) R.RebuildView();
        if (R.OnUnZipComplete) R.OnUnZipComplete(&R, Extracted);
        R.KeepZipOpen = keepOpen;
    };
    try {
        if (!R.FDestDir.empty() && !DirExists(R.FDestDir)) ForceDirs(R.FDestDir);
        if (R.FEndCentral->ThisDisk != 0 && R.SortMode != ByNone) {
            R.FView = R.FDirectory.get();
            viewChanged = true;
        }
        int32_t selected = 0;
        for (int i = 0; i < R.Count(); ++i) {
            TZipHeaderInfo* e = R.FView->Entry(i);
            bool sel = R.DoAll;
            if (e->Filename().empty() && !R.RecreateDirs) {
                sel = false;
            } else if (!R.DoAll) {
                for (int k = 0; k < R.FFilesList->Count() && !sel; ++k)
                    sel = IsMatch((*R.FFilesList)[k], e->Directory() + e->Filename());
            }
            e->Selected = sel;
            if (sel) {
                TotalBytes += e->UncompressedSize;
                ++selected;
            }
        }
        bool stop = false;
        if (R.OnStartUnZipInfo) R.OnStartUnZipInfo(&R, selected, TotalBytes, stop);
        SkipRetry = false;
        if (selected > 0 && !stop) {
            for (int i = 0; i < R.Count(); ++i) {
                if (!R.DoAll && !R.FView->Entry(i)->Selected) continue;
                do {
                    ExtractEntry(i);
                } while (Retry);
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return Extracted;
}

bool TZipExtraction::CheckPassword(TZipHeaderInfo& e, int i, TArcZipKeys& keys) {
    framework::TStream* s = R.Archive();
    for (;;) {
        uint8_t header[kZipCryptHeaderSize];
        if (s->Read(header, kZipCryptHeaderSize) != kZipCryptHeaderSize) return false;
        keys.Init(R.Password);
        uint8_t last = 0;
        for (uint8_t& b : header) last = b = keys.Decrypt(b);
        const uint8_t check = e.HasDataDescriptor() ? static_cast<uint8_t>(e.DateTime >> 8)
                                                    : static_cast<uint8_t>(e.CRC32 >> 24);
        if (last == check) return true;
        std::string newPassword = R.Password;
        if (R.OnBadPassword) R.OnBadPassword(&R, i, newPassword);
        if (!R.OnBadPassword || newPassword == R.Password) return false;
        R.Password = newPassword;
        s->Seek(-kZipCryptHeaderSize, framework::soFromCurrent);
    }
}

void TZipExtraction::ExtractEntry(int i) {
    Retry = false;
    TZipHeaderInfo& e = *R.FWorkEntry;
    e.Assign(R.FView->Entry(i));
    const std::string stored = e.Directory() + e.Filename();
    uint16_t localName = 0, localExtra = 0;
    if (!e.Filename().empty()) {
        if (R.FEndCentral->ThisDisk != 0 && e.DiskNumberStart != R.FCurrentDisk)
            R.AskForDisk(e.DiskNumberStart + 1);
        framework::TStream* s = R.Archive();
        s->Seek(e.LocalHeaderOffset, framework::soFromBeginning);
        uint8_t h[kLocalHeaderSize];
        if (s->Read(h, kLocalHeaderSize) != kLocalHeaderSize || h[0] != 'P' || h[1] != 'K' || h[2] != 3 ||
            h[3] != 4)
            return;  // no local header where the directory says: the entry cannot be extracted
        localName = platform::GetUInt16(h + 26);
        localExtra = platform::GetUInt16(h + 28);
        s->Seek(int64_t(localName) + localExtra, framework::soFromCurrent);
    }

    // Destination folder; whatever the stored path says, it stays inside the destination.
    std::string dest = R.FDestDir.empty() ? platform::GetCurrentDirectory() : R.FDestDir;
    if (!dest.empty() && dest.back() == '\\') dest.pop_back();
    std::string folder = dest + "\\";
    if (R.RecreateDirs && !e.Directory().empty()) {
        std::string dir = e.Directory();
        if (!R.FRootDir.empty() && dir.size() >= R.FRootDir.size() &&
            framework::CompareText(dir.substr(0, R.FRootDir.size()), R.FRootDir) == 0)
            dir.erase(0, R.FRootDir.size());
        folder += ContainedFolder(dir);
    }
    if (e.Filename().empty()) {
        if (R.RecreateDirs && !DirExists(folder)) ForceDirs(folder);
        ++Extracted;
        return;
    }
    if (e.Filename() == "." || e.Filename() == "..") return;
    // An entry whose CRC and sizes could not be recovered from a damaged archive: its data cannot
    // be told apart from what follows it, so nothing is written for it.
    if (e.Damaged) {
        Skip(srFileOpenError, stored, i, e.UncompressedSize);
        return;
    }

    std::string outName = folder + e.Filename();
    bool skip = false;
    if (R.OnStartUnZip) R.OnStartUnZip(&R, i, outName, skip);
    if (skip) return;
    size_t slash = outName.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && !DirExists(outName.substr(0, slash)))
        ForceDirs(outName.substr(0, slash));

    // A method without a decoder is refused before anything is asked or written.
    const int method = e.CompressionMethod;
    if (!(method <= 6 || method == 8)) {
        ZipMessageBox("Unknown Compression Method", "Zip Error", 0);
        return;
    }

    TArcZipKeys keys;
    if (e.IsEncrypted()) {
        if (!CheckPassword(e, i, keys)) {
            Skip(srBadPassword, stored, i, e.UncompressedSize);
            return;
        }
        e.CompressedSize -= kZipCryptHeaderSize;
    }

    if (FileExistsCheck(outName) && R.OverwriteMode != Always) {
        bool write = false;
        framework::TDateTime entryTime = R.GetDateTime(i);
        auto fileTime = [&]() -> framework::TDateTime {
            platform::WIN32_FIND_DATA found;
            platform::HANDLE h = platform::FindFirstFile(outName, found);
            if (h == platform::INVALID_HANDLE_VALUE) return 0;
            platform::FindClose(h);
            platform::FILETIME local;
            uint16_t d = 0, t = 0;
            platform::FileTimeToLocalFileTime(found.ftLastWriteTime, local);
            platform::FileTimeToDosDateTime(local, d, t);
            return framework::FileDateToDateTime(int32_t(uint32_t(d) << 16 | t));
        };
        switch (R.OverwriteMode) {
            case Never:
                break;
            case ifNewer:
                write = entryTime > fileTime();
                break;
            case ifOlder:
                write = entryTime < fileTime();
                break;
            default:
                if (R.OnPromptForOverwrite)
                    R.OnPromptForOverwrite(&R, write, i, outName);
                else
                    write = ZipMessageBox("Replace existing file " + e.Filename() + "?", "File Exists Alert",
                                          4) == 6;
                break;
        }
        if (!write) {
            Skip(srNoOverwrite, outName, i, e.UncompressedSize);
            return;
        }
    }

    std::unique_ptr<TLFNFileStream> out;
    auto create = [&] {
        out = std::make_unique<TLFNFileStream>(outName, 8192, R.FlushFilesOnClose, framework::fmCreate);
    };
    try {
        try {
            create();
        } catch (const framework::EFCreateError&) {
            uint32_t attributes = platform::GetFileAttributes(outName);
            if (!R.ReplaceReadOnly || attributes == platform::INVALID_FILE_ATTRIBUTES ||
                !(attributes & platform::FILE_ATTRIBUTE_READONLY))
                throw;
            platform::SetFileAttributes(outName, attributes & ~platform::FILE_ATTRIBUTE_READONLY);
            create();
        }
    } catch (const std::exception&) {
        Skip(srCreateError, outName, i, e.UncompressedSize);
        return;
    }

    TZipEntryDecoder decoder(R.Archive(), out.get());
    decoder.CompressedSize = uint32_t(e.CompressedSize);
    decoder.UncompressedSize = uint32_t(e.UncompressedSize);
    decoder.Flags = static_cast<uint16_t>(e.Flags);
    decoder.Keys = e.IsEncrypted() ? &keys : nullptr;
    if (R.DoProcessMessages) decoder.OnBeforeBlock = [] { PumpZipMessages(); };
    if (R.OnDecrypt)
        decoder.OnDecrypt = [this](uint8_t* buffer, int32_t length) {
            R.OnDecrypt(&R, buffer, length, R.Password);
        };
    if (R.FEndCentral->ThisDisk != 0 && R.OnGetNextDisk)
        decoder.OnNextDisk = [this]() -> framework::TStream* {
            R.AskForDisk(R.FCurrentDisk + 2);
            return R.Archive();
        };
    const int64_t runBefore = WrittenBytes;
    decoder.OnFlushed = [&](int64_t written) {
        WrittenBytes = runBefore + written;
        if (R.OnFilePercentDone) R.OnFilePercentDone(&R, RoundedPercent(written, e.UncompressedSize));
        if (R.OnTotalPercentDone) R.OnTotalPercentDone(&R, RoundedPercent(WrittenBytes, TotalBytes));
    };
    bool tooLong = false;
    try {
        decoder.Decode(method);
    } catch (const EBiggerThanUncompressed&) {
        tooLong = true;
    } catch (...) {
        // The run ends; the partial file does not stay behind.
        out.reset();
        platform::DeleteFile(outName);
        throw;
    }
    out.reset();
    if (!tooLong) {
        platform::FILETIME local{}, utc{};
        uint32_t stamp = NormalizeDosDateTime(e.DateTime);
        if (platform::DosDateTimeToFileTime(static_cast<uint16_t>(stamp >> 16), static_cast<uint16_t>(stamp),
                                            local) &&
            platform::LocalFileTimeToFileTime(local, utc)) {
            try {
                framework::TFileStream f(outName, framework::fmOpenWrite);
                platform::SetFileTime(static_cast<platform::HANDLE>(f.Handle()), nullptr, nullptr, &utc);
            } catch (const std::exception&) {
            }
        }
        if (R.RetainAttributes)
            platform::SetFileAttributes(outName, static_cast<uint32_t>(e.ExternalAttributes));
    }
    const uint32_t crc = decoder.Crc();
    if (!tooLong && crc == e.CRC32) {
        if (R.OnEndUnZip) R.OnEndUnZip(&R, i, outName);
        ++Extracted;
        return;
    }
    if (e.IsEncrypted()) {
        std::string newPassword = R.Password;
        if (R.OnBadPassword) R.OnBadPassword(&R, i, newPassword);
        if (R.OnBadPassword && newPassword != R.Password) {
            R.Password = newPassword;
            Retry = true;
        } else if (R.OnSkippingFile) {
            R.OnSkippingFile(&R, srBadPassword, stored, i, SkipRetry);
        }
    } else if (R.OnBadCRC) {
        R.OnBadCRC(&R, static_cast<int32_t>(crc), static_cast<int32_t>(e.CRC32), i);
    }
    uint32_t attributes = platform::GetFileAttributes(outName);
    if (attributes != platform::INVALID_FILE_ATTRIBUTES && (attributes & platform::FILE_ATTRIBUTE_READONLY))
        platform::SetFileAttributes(outName, attributes & ~platform::FILE_ATTRIBUTE_READONLY);
    platform::DeleteFile(outName);
}

}  // namespace codecs

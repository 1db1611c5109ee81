#include "codecs/zip/ZipReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/zip/ZipDecoders.h"
#include "framework/core/SysUtils.h"
#include "framework/core/UiHooks.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/LittleEndian.h"
#include "platform/Volume.h"

namespace codecs {

namespace {

uint32_t gCentralSignature = kCentralSignature;
uint32_t gLocalSignature = kLocalSignature;
uint32_t gEndSignature = kEndSignature;

TZipMessageBox& MessageBoxHook() {
    static TZipMessageBox box;
    return box;
}

using platform::GetUInt16;
using platform::GetUInt32;

// Reads exactly `count` bytes or reports how many came.
int32_t ReadFully(framework::TStream* s, void* buffer, int32_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        int32_t n = s->Read(p + done, count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

bool DosToDateTime(uint32_t value, framework::TDateTime& result) {
    uint16_t date = static_cast<uint16_t>(value >> 16), time = static_cast<uint16_t>(value);
    framework::TDateTime d, t;
    if (!framework::TryEncodeDate(1980 + (date >> 9), (date >> 5) & 15, date & 31, d)) return false;
    if (!framework::TryEncodeTime(time >> 11, (time >> 5) & 63, (time & 31) * 2, 0, t)) return false;
    result = d + t;
    return true;
}

}  // namespace

void SetZipSignatures(uint32_t central, uint32_t local, uint32_t end) {
    if (central) gCentralSignature = central;
    if (local) gLocalSignature = local;
    if (end) gEndSignature = end;
}

void SetZipMessageBox(TZipMessageBox box) {
    MessageBoxHook() = std::move(box);
}

namespace {
TZipFileDialog& FileDialogHook() {
    static TZipFileDialog dialog;
    return dialog;
}
}  // namespace

void SetZipFileDialog(TZipFileDialog dialog) {
    FileDialogHook() = std::move(dialog);
}

bool AskZipFileDialog(const std::string& title, const std::string& filter, const std::string& initialFolder,
                      std::string& chosen) {
    return FileDialogHook() && FileDialogHook()(title, filter, initialFolder, chosen);
}

int ZipMessageBox(const std::string& text, const std::string& caption, int buttons) {
    if (MessageBoxHook()) return MessageBoxHook()(text, caption, buttons);
    return framework::AskMessageBox(text, caption, static_cast<uint32_t>(buttons));
}

void PumpZipMessages() {
    framework::PumpMessages();
}

namespace {
// Shows the hourglass while the directory is read and gives the old cursor back on every path.
struct HourGlass {
    static constexpr int16_t kHourGlass = -11;  // the screen's hour-glass cursor
    int16_t Saved = framework::SetScreenCursor(kHourGlass);
    ~HourGlass() { framework::SetScreenCursor(Saved); }
};
}  // namespace

uint32_t NormalizeDosDateTime(uint32_t value) {
    uint32_t time = value & 0xFFFF, date = value >> 16;
    uint32_t hour = time >> 11, minute = (time >> 5) & 63, seconds = (time & 31) * 2;
    uint32_t year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
    bool changed = false;
    auto clampHigh = [&](uint32_t& v, uint32_t high) {
        if (v > high) {
            v = high;
            changed = true;
        }
    };
    clampHigh(hour, 23);
    clampHigh(minute, 59);
    clampHigh(seconds, 59);
    clampHigh(year, 2099);
    clampHigh(month, 12);
    if (month < 1) {
        month = 1;
        changed = true;
    }
    if (day < 1) {
        day = 1;
        changed = true;
    }
    if (!changed) return value;
    uint32_t newTime = hour << 11 | minute << 5 | seconds / 2;
    uint32_t newDate = (year - 1980) << 9 | month << 5 | day;
    return newDate << 16 | newTime;
}

// ---- entries ------------------------------------------------------------------------------------

void TZipHeaderInfo::Clear() {
    VersionMadeBy = 20;
    VersionNeeded = 20;
    Flags = 0;
    CompressionMethod = 8;
    DateTime = 0;
    CRC32 = 0xFFFFFFFF;
    CompressedSize = UncompressedSize = 0;
    NameLength = 0;
    CentralExtraLength = LocalExtraLength = CommentLength = 0;
    DiskNumberStart = 0;
    InternalAttributes = 1;
    ExternalAttributes = 0x20;
    LocalHeaderOffset = CentralHeaderOffset = 0;
    FFilename.clear();
    FDirectory.clear();
    StoredName.clear();
    FileComment.reset();
    Selected = Spare1 = Spare2 = false;
    Damaged = false;
}

void TZipHeaderInfo::Assign(framework::TPersistent* Source) {
    auto* s = dynamic_cast<TZipHeaderInfo*>(Source);
    if (!s) {
        framework::TPersistent::Assign(Source);
        return;
    }
    VersionMadeBy = s->VersionMadeBy;
    VersionNeeded = s->VersionNeeded;
    Flags = s->Flags;
    CompressionMethod = s->CompressionMethod;
    DateTime = s->DateTime;
    CRC32 = s->CRC32;
    CompressedSize = s->CompressedSize;
    UncompressedSize = s->UncompressedSize;
    NameLength = s->NameLength;
    CentralExtraLength = s->CentralExtraLength;
    LocalExtraLength = s->LocalExtraLength;
    CommentLength = s->CommentLength;
    DiskNumberStart = s->DiskNumberStart;
    InternalAttributes = s->InternalAttributes;
    ExternalAttributes = s->ExternalAttributes;
    LocalHeaderOffset = s->LocalHeaderOffset;
    CentralHeaderOffset = s->CentralHeaderOffset;
    FFilename = s->FFilename;
    FDirectory = s->FDirectory;
    StoredName = s->StoredName;
    FileComment.reset();
    if (s->CommentLength != 0 && s->FileComment) FileComment = s->FileComment;
    Selected = s->Selected;
    Spare1 = s->Spare1;
    Spare2 = s->Spare2;
    OEMConvert = s->OEMConvert;
    Damaged = s->Damaged;
}

void TZipHeaderInfo::SetFilename(const std::string& value) {
    FFilename = value;
    NameLength = static_cast<int16_t>(FDirectory.size() + FFilename.size());
}

void TZipHeaderInfo::SetDirectory(const std::string& value) {
    FDirectory = value;
    if (!FDirectory.empty() && FDirectory.back() != '\\') FDirectory += '\\';
    NameLength = static_cast<int16_t>(FDirectory.size() + FFilename.size());
}

void TZipHeaderInfo::SetStoredName(const std::string& name) {
    size_t p = name.find_last_of('\\');
    if (p == std::string::npos) {
        FDirectory.clear();
        SetFilename(name);
    } else {
        FFilename = name.substr(p + 1);
        SetDirectory(name.substr(0, p + 1));
    }
}

void TEndCentral::Clear() {
    Signature = gEndSignature;
    ThisDisk = CentralDisk = EntriesOnDisk = TotalEntries = 0;
    CentralSize = CentralOffset = 0;
    CommentLength = 0;
    ZipComment.reset();
    CommentOffset = 0;
    Modified = false;
}

// ---- orders -------------------------------------------------------------------------------------

int TSortedZip::Compare(const void* itemKey, const void* key) const {
    const auto* a = static_cast<const TZipHeaderInfo*>(itemKey);
    const auto* b = static_cast<const TZipHeaderInfo*>(key);
    // A result of -1 on equal keys keeps earlier entries before later ones; 0 lets the later entry
    // go before its equals.
    switch (SortMode) {
        case ByName:
            return framework::CompareText(a->Directory() + a->Filename(), b->Directory() + b->Filename());
        case ByFileName:
            return framework::CompareText(a->Filename(), b->Filename());
        case ByDirectoryName:
            return framework::CompareText(a->Directory(), b->Directory());
        case ByDate: {
            framework::TDateTime da = 0, db = 0;
            if (!DosToDateTime(a->DateTime, da)) da = 0;
            if (!DosToDateTime(b->DateTime, db)) db = 0;
            return da > db ? -1 : da < db ? 1 : -1;
        }
        case ByCompressedSize:
            return a->CompressedSize > b->CompressedSize   ? -1
                   : a->CompressedSize < b->CompressedSize ? 1
                                                           : -1;
        case ByUnCompressedSize:
            return a->UncompressedSize > b->UncompressedSize   ? -1
                   : a->UncompressedSize < b->UncompressedSize ? 1
                                                               : -1;
        case ByRate: {
            auto rate = [](const TZipHeaderInfo* e) -> int64_t {
                if (e->UncompressedSize <= 0) return 0;
                double r = std::nearbyint(double(e->CompressedSize) * 100.0 / e->UncompressedSize);
                return std::min<int64_t>(100, static_cast<int64_t>(r));
            };
            int64_t ra = rate(a), rb = rate(b);
            return ra > rb ? -1 : ra < rb ? 1 : 0;
        }
        case ByNone:
        default:
            if (a->DiskNumberStart != b->DiskNumberStart)
                return a->DiskNumberStart < b->DiskNumberStart ? -1 : 1;
            {
                int32_t oa = static_cast<int32_t>(a->LocalHeaderOffset),
                        ob = static_cast<int32_t>(b->LocalHeaderOffset);
                return oa < ob ? -1 : oa > ob ? 1 : 0;
            }
    }
}

// ---- component ----------------------------------------------------------------------------------

TZipReader::TZipReader(framework::TComponent* AOwner) : framework::TComponent(AOwner) {
    FFilesList = std::make_unique<framework::TStringList>();
    FWorkEntry = std::make_unique<TZipHeaderInfo>();
    FEndCentral = std::make_unique<TEndCentral>();
    OnGetNextDisk = [this](framework::TObject* sender, int32_t disk, std::string& name) {
        DefaultGetNextDisk(sender, disk, name);
    };
}

TZipReader::~TZipReader() {
    ClearZip();
}

void TZipReader::Assign(framework::TPersistent* Source) {
    auto* s = dynamic_cast<TZipReader*>(Source);
    if (!s) {
        framework::TComponent::Assign(Source);
        return;
    }
    FZipName = s->FZipName;
    FDestDir = s->FDestDir;
    FRootDir = s->FRootDir;
    SortMode = s->SortMode;
    RecreateDirs = s->RecreateDirs;
    OverwriteMode = s->OverwriteMode;
    SetFilesList(s->FFilesList.get());
    DoAll = s->DoAll;
    IncompleteZipMode = s->IncompleteZipMode;
    KeepZipOpen = s->KeepZipOpen;
    DoProcessMessages = s->DoProcessMessages;
    RetainAttributes = s->RetainAttributes;
    ReplaceReadOnly = s->ReplaceReadOnly;
    OnStartUnZipInfo = s->OnStartUnZipInfo;
    OnFilePercentDone = s->OnFilePercentDone;
    OnTotalPercentDone = s->OnTotalPercentDone;
    OnStartUnZip = s->OnStartUnZip;
    OnEndUnZip = s->OnEndUnZip;
    OnPromptForOverwrite = s->OnPromptForOverwrite;
    OnSkippingFile = s->OnSkippingFile;
    OnBadPassword = s->OnBadPassword;
    OnBadCRC = s->OnBadCRC;
    OnUnZipComplete = s->OnUnZipComplete;
    OnInCompleteZip = s->OnInCompleteZip;
    OnGetNextDisk = s->OnGetNextDisk;
}

void TZipReader::Loaded() {
    framework::TComponent::Loaded();
    FThisVersion = 223;
    FWorkEntry->OEMConvert = OEMConvert;
}

void TZipReader::SetZipName(const std::string& Value) {
    if (ComponentState() & framework::csDesigning) {
        FZipName = Value;
        return;
    }
    if (framework::CompareText(Value, FZipName) == 0 && !FZipName.empty()) return;
    std::string name = Value;
    if (!name.empty() && name.back() == '?') {
        size_t slash = name.find_last_of("\\:");
        std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
        if (folder.empty() || !DirExists(folder)) folder = "C:\\";
        if (!AskZipFileDialog(
                "Open a Zip File",
                "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files (*.*)|*.*",
                folder, name))
            throw EUserCanceled("User canceled setting zip file name.");
    }
    FZipName = name;
    FreeLists();
    FReadDateTime = 0;
    FEndCentral->Clear();
    CloseArchive();
    FScanMode = false;
}

void TZipReader::SetDestDir(const std::string& Value) {
    std::string folder = Value;
    if (Value == "?") {
        folder = DirExists(FDestDir + "\\") ? FDestDir : CurrentDir();
        if (!AskZipFileDialog("", "", folder, folder))
            throw EUserCanceled("User canceled Set Desination Directory");
    }
    FDestDir = folder;
    while (FDestDir.size() > 1 && FDestDir.back() == '\\') FDestDir.pop_back();
}

void TZipReader::SetRootDir(const std::string& Value) {
    FRootDir = Value;
    if (!FRootDir.empty() && FRootDir.back() != '\\') FRootDir += '\\';
}

void TZipReader::SetFilesList(framework::TStrings* Value) {
    FFilesList->Clear();
    if (Value)
        for (int i = 0; i < Value->Count(); ++i) FFilesList->Add((*Value)[i]);
}

void TZipReader::CloseArchive() {
    FArchive.reset();
    FDirectoryFile.reset();
}

void TZipReader::FreeLists() {
    FSeparateView.reset();
    FView = nullptr;
    FDirectory.reset();
}

void TZipReader::ClearZip() {
    CloseArchive();
    FreeLists();
    FEndCentral->Clear();
    FScanMode = false;
    FReadDateTime = 0;
    FMultiMode = 0;
    FZipName.clear();
}

int TZipReader::Count() const {
    return FView ? FView->Count() : 0;
}

TZipHeaderInfo* TZipReader::ViewEntry(int Index) const {
    if (!FView || Index < 0 || Index >= FView->Count())
        throw framework::EListError(framework::Format("Index %d is out of range", {Index}));
    return FView->Entry(Index);
}

const TZipHeaderInfo& TZipReader::Entry(int Index) const {
    return *ViewEntry(Index);
}

std::string TZipReader::GetFilename(int Index) const {
    return ViewEntry(Index)->Filename();
}

std::string TZipReader::GetFullName(int Index) const {
    const TZipHeaderInfo* e = ViewEntry(Index);
    return e->Directory() + e->Filename();
}

std::string TZipReader::GetStoredName(int Index) const {
    return ViewEntry(Index)->StoredName;
}

framework::TDateTime TZipReader::GetDateTime(int Index) const {
    framework::TDateTime result;
    if (!DosToDateTime(ViewEntry(Index)->DateTime, result)) result = framework::Now();
    return result;
}

int32_t TZipReader::GetUnCompressedSize(int Index) const {
    return ViewEntry(Index)->UncompressedSize;
}

int32_t TZipReader::GetExternalFileAttributes(int Index) const {
    return ViewEntry(Index)->ExternalAttributes;
}

void TZipReader::SortEntries(TZipSortMode Mode) {
    SortMode = Mode;
    RebuildView();
}

void TZipReader::RebuildView() {
    FSeparateView.reset();
    FView = FDirectory.get();
    if (!FDirectory || SortMode == ByNone) return;
    FSeparateView = std::make_unique<TSortedZip>(SortMode);
    FSeparateView->Duplicates = dupAccept;
    FSeparateView->OwnsObjects = false;
    for (int i = 0; i < FDirectory->Count(); ++i) FSeparateView->Add(FDirectory->Entry(i));
    FView = FSeparateView.get();
}

uint64_t TZipReader::ArchiveDateTime() const {
    if (!FArchive) return 0;
    platform::FILETIME written{};
    platform::GetFileTime(static_cast<platform::HANDLE>(FArchive->Handle()), nullptr, nullptr, &written);
    return platform::FileTimeToUInt64(written);
}

// ---- reading ------------------------------------------------------------------------------------

void TZipReader::ReadZip() {
    for (;;) {
        HourGlass cursor;
        try {
            OpenZipFile();
        } catch (const EIncompleteZip&) {
            CloseArchive();
            if (OnInCompleteZip) continue;
            return;
        } catch (...) {
            ClearZip();
            throw;
        }
        CloseZipFile();
        return;
    }
}

void TZipReader::OpenZipFile() {
    if (!FArchive)
        FArchive = std::make_unique<TLFNFileStream>(FZipName, kFileBufferSize, FlushFilesOnClose,
                                                    framework::fmOpenRead | framework::fmShareDenyWrite);
    if (FDirectory && ArchiveDateTime() == FReadDateTime) return;
    ReadCentralDirectory();
}

void TZipReader::CloseZipFile() {
    if (!KeepZipOpen) CloseArchive();
}

bool TZipReader::ReadEndCentral(framework::TStream* stream) {
    int64_t size = stream->Size();
    if (size == 0) {
        FEndCentral->Clear();
        return true;
    }
    if (size < kEndRecordSize) return false;
    int32_t length = static_cast<int32_t>(std::min<int64_t>(65557, size));
    std::vector<uint8_t> tail(static_cast<size_t>(length));
    stream->Seek(size - length, framework::soFromBeginning);
    if (ReadFully(stream, tail.data(), length) < length) return false;
    const uint8_t first = static_cast<uint8_t>(gEndSignature);
    // The record nearest the end wins, but one whose comment length fits the bytes that follow it
    // is preferred, so that a signature inside an archive comment cannot pass for the record.
    int32_t chosen = -1;
    for (int32_t i = length - kEndRecordSize; i >= 0; --i) {
        if (tail[size_t(i)] != first || GetUInt32(&tail[size_t(i)]) != gEndSignature) continue;
        if (chosen < 0) chosen = i;
        if (i + kEndRecordSize + GetUInt16(&tail[size_t(i) + 20]) == length) {
            chosen = i;
            break;
        }
    }
    if (chosen < 0) return false;
    const uint8_t* p = &tail[size_t(chosen)];
    FEndCentral->Clear();
    FEndCentral->ThisDisk = GetUInt16(p + 4);
    FEndCentral->CentralDisk = GetUInt16(p + 6);
    FEndCentral->EntriesOnDisk = GetUInt16(p + 8);
    FEndCentral->TotalEntries = GetUInt16(p + 10);
    FEndCentral->CentralSize = GetUInt32(p + 12);
    FEndCentral->CentralOffset = GetUInt32(p + 16);
    FEndCentral->CommentLength = GetUInt16(p + 20);
    FEndCentral->CommentOffset = static_cast<uint32_t>(size - length + chosen + kEndRecordSize);
    return true;
}

bool TZipReader::EndRecordUsable() const {
    const TEndCentral& e = *FEndCentral;
    return !(e.ThisDisk > 999 || e.CentralDisk > 999 || e.ThisDisk < e.CentralDisk ||
             static_cast<int32_t>(e.CentralOffset) < 0);
}

// An end record with saturated fields defers to the Zip64 end record that its locator names. Its
// figures replace the saturated ones when they fit this reader: entry counts of 32 bits, sizes and
// offsets below 2 GB. An archive that needs more is refused with an error that names what is not
// supported, rather than read as empty.
void TZipReader::CheckZip64() {
    TEndCentral& e = *FEndCentral;
    if (e.TotalEntries != 0xFFFF && e.CentralOffset != 0xFFFFFFFF && e.CentralSize != 0xFFFFFFFF &&
        e.ThisDisk != 0xFFFF && e.CentralDisk != 0xFFFF)
        return;
    int64_t locator = int64_t(e.CommentOffset) - kEndRecordSize - 20;
    if (locator < 0) return;
    framework::TStream* s = Archive();
    uint8_t loc[20];
    s->Seek(locator, framework::soFromBeginning);
    if (ReadFully(s, loc, 20) != 20 || GetUInt32(loc) != kZip64LocatorSignature) return;
    auto u64 = [](const uint8_t* p) { return uint64_t(GetUInt32(p)) | uint64_t(GetUInt32(p + 4)) << 32; };
    auto refuse = [this](const char* message) {
        ClearZip();
        throw EBadZipFile(message);
    };
    uint8_t rec[56];
    const uint64_t at = u64(loc + 8);
    if (at >= uint64_t(locator)) refuse("Not a valid zip file!");
    s->Seek(static_cast<int64_t>(at), framework::soFromBeginning);
    if (ReadFully(s, rec, 56) != 56 || GetUInt32(rec) != 0x06064B50) refuse("Not a valid zip file!");
    const uint32_t thisDisk = GetUInt32(rec + 16), centralDisk = GetUInt32(rec + 20);
    const uint64_t onDisk = u64(rec + 24), total = u64(rec + 32), size = u64(rec + 40),
                   offset = u64(rec + 48);
    if (total > 0xFFFFFFFF || onDisk > 0xFFFFFFFF)
        refuse("Zip64 archives of more than 4294967295 entries are not supported");
    if (size >= 0x7FFFFFFF || offset >= 0x7FFFFFFF)
        refuse("Zip64 archives larger than 2 GB are not supported");
    if (thisDisk > 0xFFFF || centralDisk > 0xFFFF)
        refuse("Zip64 archives of more than 65535 disks are not supported");
    e.ThisDisk = static_cast<uint16_t>(thisDisk);
    e.CentralDisk = static_cast<uint16_t>(centralDisk);
    e.TotalEntries = static_cast<uint32_t>(total);
    e.EntriesOnDisk = static_cast<uint32_t>(onDisk);
    e.CentralSize = static_cast<uint32_t>(size);
    e.CentralOffset = static_cast<uint32_t>(offset);
}

// Sizes and offsets that a central header saturates come from its Zip64 extra field.
void TZipReader::ReadZip64Extra(TZipHeaderInfo& entry, const std::string& extra) {
    const bool wantUnpacked = uint32_t(entry.UncompressedSize) == 0xFFFFFFFF;
    const bool wantPacked = uint32_t(entry.CompressedSize) == 0xFFFFFFFF;
    const bool wantOffset = entry.LocalHeaderOffset == 0xFFFFFFFF;
    if (!wantUnpacked && !wantPacked && !wantOffset) return;
    const auto* p = reinterpret_cast<const uint8_t*>(extra.data());
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = GetUInt16(p + pos), length = GetUInt16(p + pos + 2);
        if (pos + 4 + length > extra.size()) break;
        if (id == 1) {
            size_t q = pos + 4, end = q + length;
            auto next = [&](uint64_t& v) {
                if (q + 8 > end) return false;
                v = uint64_t(GetUInt32(p + q)) | uint64_t(GetUInt32(p + q + 4)) << 32;
                q += 8;
                return true;
            };
            uint64_t v;
            auto take = [&](bool wanted, auto set) {
                if (!wanted) return;
                if (!next(v)) {
                    ClearZip();
                    throw EBadZipFile("Not a valid zip file!");
                }
                if (v > 0x7FFFFFFF) {
                    ClearZip();
                    throw EBadZipFile("Zip64 archives larger than 2 GB are not supported");
                }
                set(v);
            };
            take(wantUnpacked, [&](uint64_t x) { entry.UncompressedSize = static_cast<int32_t>(x); });
            take(wantPacked, [&](uint64_t x) { entry.CompressedSize = static_cast<int32_t>(x); });
            take(wantOffset, [&](uint64_t x) { entry.LocalHeaderOffset = static_cast<uint32_t>(x); });
            return;
        }
        pos += 4 + size_t(length);
    }
}

void TZipReader::ReadHeaderName(TZipHeaderInfo& entry, int length, bool convertOem, bool utf8) {
    std::string name(size_t(length), '\0');
    if (ReadFully(Archive(), name.data(), length) < length) throw EFatalUnzipError("short name");
    if (utf8)
        name = platform::Utf8ToAnsi(name);
    else if (convertOem)
        name = platform::OemToAnsi(name);
    entry.StoredName = name;
    SlashesToBackslashes(name);
    entry.SetStoredName(name);
}

bool TZipReader::ReadCentralHeader(TZipHeaderInfo& entry, bool withNextDisk) {
    framework::TStream* s = Archive();
    int64_t start = s->Position();
    uint8_t h[kCentralHeaderSize];
    int32_t got = ReadFully(s, h, kCentralHeaderSize);
    if ((got == 0 || (got < kCentralHeaderSize && got >= 4 && GetUInt32(h) == gCentralSignature)) &&
        withNextDisk) {
        // The header continues on the next disk.
        AskForDisk(FCurrentDisk + 2);
        got += ReadFully(Archive(), h + got, kCentralHeaderSize - got);
        s = Archive();
        start = 0;
    }
    if (got < kCentralHeaderSize || GetUInt32(h) != gCentralSignature) {
        s->Seek(start, framework::soFromBeginning);
        return false;
    }
    const uint16_t flags = GetUInt16(h + 8);
    try {
        ReadHeaderName(entry, GetUInt16(h + 28), h[5] == 0 && entry.OEMConvert, (flags & 0x800) != 0);
    } catch (const EFatalUnzipError&) {
        s->Seek(start, framework::soFromBeginning);
        return false;
    }
    entry.VersionMadeBy = static_cast<int16_t>(GetUInt16(h + 4));
    entry.VersionNeeded = static_cast<int16_t>(GetUInt16(h + 6));
    entry.Flags = static_cast<int16_t>(flags);
    entry.CompressionMethod = GetUInt16(h + 10);
    entry.DateTime = NormalizeDosDateTime(GetUInt32(h + 12));
    entry.CRC32 = GetUInt32(h + 16);
    entry.CompressedSize = static_cast<int32_t>(GetUInt32(h + 20));
    entry.UncompressedSize = static_cast<int32_t>(GetUInt32(h + 24));
    entry.NameLength = static_cast<int16_t>(GetUInt16(h + 28));
    entry.CentralExtraLength = GetUInt16(h + 30);
    entry.CommentLength = GetUInt16(h + 32);
    entry.DiskNumberStart = GetUInt16(h + 34);
    entry.InternalAttributes = static_cast<int16_t>(GetUInt16(h + 36));
    entry.ExternalAttributes = static_cast<int32_t>(GetUInt32(h + 38));
    entry.LocalHeaderOffset = GetUInt32(h + 42);
    entry.CentralHeaderOffset = static_cast<uint32_t>(start);
    if (entry.CentralExtraLength) {
        std::string extra(entry.CentralExtraLength, '\0');
        const int64_t afterName = s->Position();
        extra.resize(size_t(ReadFully(s, extra.data(), entry.CentralExtraLength)));
        s->Seek(afterName, framework::soFromBeginning);
        ReadZip64Extra(entry, extra);
    }
    return true;
}

bool TZipReader::ReadLocalHeader(TZipHeaderInfo& entry) {
    framework::TStream* s = Archive();
    int64_t start = s->Position();
    uint8_t h[kLocalHeaderSize];
    if (ReadFully(s, h, kLocalHeaderSize) < kLocalHeaderSize || GetUInt32(h) != gLocalSignature) {
        s->Seek(start, framework::soFromBeginning);
        return false;
    }
    const uint16_t flags = GetUInt16(h + 6);
    try {
        ReadHeaderName(entry, GetUInt16(h + 26), entry.OEMConvert, (flags & 0x800) != 0);
    } catch (const EFatalUnzipError&) {
        s->Seek(start, framework::soFromBeginning);
        return false;
    }
    entry.VersionNeeded = static_cast<int16_t>(GetUInt16(h + 4));
    entry.Flags = static_cast<int16_t>(flags);
    entry.CompressionMethod = GetUInt16(h + 8);
    entry.DateTime = NormalizeDosDateTime(GetUInt32(h + 10));
    entry.CRC32 = GetUInt32(h + 14);
    entry.CompressedSize = static_cast<int32_t>(GetUInt32(h + 18));
    entry.UncompressedSize = static_cast<int32_t>(GetUInt32(h + 22));
    entry.NameLength = static_cast<int16_t>(GetUInt16(h + 26));
    entry.LocalExtraLength = GetUInt16(h + 28);
    entry.VersionMadeBy = 0;
    entry.CommentLength = 0;
    entry.DiskNumberStart = 0;
    entry.InternalAttributes = 0;
    entry.ExternalAttributes = 0;
    entry.CentralHeaderOffset = 0;
    entry.LocalHeaderOffset = static_cast<uint32_t>(start);
    return true;
}

// Looks behind the data start for the data descriptor of a streamed entry: its signature followed
// by a CRC and sizes (32-bit, or 64-bit as Zip64 writes them) whose compressed size is the distance
// from the data start. The descriptor the local header's own compressed size points at is tried
// first. On success the entry takes the CRC and sizes and `next` is the position behind the
// descriptor.
bool TZipReader::RecoverFromDataDescriptor(TZipHeaderInfo& entry, int64_t dataAt, int64_t& next) {
    framework::TStream* s = Archive();
    auto u64 = [](const uint8_t* p) { return uint64_t(GetUInt32(p)) | uint64_t(GetUInt32(p + 4)) << 32; };
    // Whether a descriptor at `at` (its bytes in `d`, `length` of them) belongs to the data.
    auto take = [&](const uint8_t* d, int64_t length, int64_t at) {
        if (length < 16 || GetUInt32(d) != kDataDescriptorSignature) return false;
        const uint64_t distance = uint64_t(at - dataAt);
        if (GetUInt32(d + 8) == distance) {
            entry.CRC32 = GetUInt32(d + 4);
            entry.CompressedSize = static_cast<int32_t>(GetUInt32(d + 8));
            entry.UncompressedSize = static_cast<int32_t>(GetUInt32(d + 12));
            next = at + 16;
            return true;
        }
        if (length >= 24 && u64(d + 8) == distance && u64(d + 16) <= 0x7FFFFFFF && distance <= 0x7FFFFFFF) {
            entry.CRC32 = GetUInt32(d + 4);
            entry.CompressedSize = static_cast<int32_t>(u64(d + 8));
            entry.UncompressedSize = static_cast<int32_t>(u64(d + 16));
            next = at + 24;
            return true;
        }
        return false;
    };
    const int64_t size = s->Size();
    uint8_t d[24];
    if (entry.CompressedSize != 0) {
        const int64_t at = dataAt + int64_t(uint32_t(entry.CompressedSize));
        if (at + 16 <= size && s->Seek(at, framework::soFromBeginning) == at) {
            const int32_t got = ReadFully(s, d, 24);
            if (take(d, got, at)) return true;
        }
    }
    // Read in pieces that overlap by a descriptor's length less one, so that none is missed.
    constexpr int32_t kPiece = 65536, kOverlap = 23;
    std::vector<uint8_t> buffer(kPiece);
    for (int64_t start = dataAt; start + 16 <= size; start += kPiece - kOverlap) {
        s->Seek(start, framework::soFromBeginning);
        const int32_t got = ReadFully(s, buffer.data(), kPiece);
        for (int32_t i = 0; i + 16 <= got; ++i) {
            if (buffer[size_t(i)] != 'P' || GetUInt32(&buffer[size_t(i)]) != kDataDescriptorSignature)
                continue;
            if (take(&buffer[size_t(i)], got - i, start + i)) return true;
            // A Zip64 descriptor cut by the end of the piece is looked at again in the next one.
        }
        if (got < kPiece) break;
    }
    return false;
}

bool TZipReader::ScanLocalHeaders() {
    if (FScanMode) return false;
    FScanMode = true;
    FreeLists();
    framework::TStream* s = Archive();
    std::string upperName = framework::UpperCase(FZipName);
    bool exe = upperName.size() >= 4 && upperName.compare(upperName.size() - 4, 4, ".EXE") == 0;
    s->Seek(exe ? 14000 : 0, framework::soFromBeginning);
    const uint8_t sig[4] = {uint8_t(gLocalSignature), uint8_t(gLocalSignature >> 8),
                            uint8_t(gLocalSignature >> 16), uint8_t(gLocalSignature >> 24)};
    int matched = 0;
    bool hit = false;
    uint8_t b;
    int64_t examined = 0;
    while (!hit) {
        if (DoProcessMessages && ++examined % 10240 == 0) PumpZipMessages();
        if (s->Read(&b, 1) != 1) return false;
        if (b == sig[matched]) {
            ++matched;
        } else {
            matched = b == sig[0] ? 1 : 0;
            continue;
        }
        if (matched < 4) continue;
        uint8_t version[2];
        if (ReadFully(s, version, 2) < 2) return false;
        if (version[1] >= 10) {
            // An implausible host system: not a real header.
            matched = 0;
            continue;
        }
        hit = true;
        s->Seek(-6, framework::soFromCurrent);
    }
    FDirectory = std::make_unique<TSortedZip>(ByNone);
    FDirectory->Duplicates = dupError;
    FView = FDirectory.get();
    for (;;) {
        auto entry = std::make_unique<TZipHeaderInfo>();
        entry->OEMConvert = OEMConvert;
        if (!ReadLocalHeader(*entry)) break;
        const int64_t dataAt = s->Position() + entry->LocalExtraLength;
        int64_t next = dataAt + int64_t(uint32_t(entry->CompressedSize));
        // An entry written as a stream has its CRC and sizes only in the data descriptor behind
        // its data. Without one, where its data ends is unknown: it lists as damaged and the scan
        // ends with it.
        if (entry->HasDataDescriptor() && !RecoverFromDataDescriptor(*entry, dataAt, next))
            entry->Damaged = true;
        try {
            FDirectory->Add(entry.get());
        } catch (const framework::EListError&) {
            break;
        }
        const bool damaged = entry.release()->Damaged;
        if (damaged) break;
        s->Seek(next, framework::soFromBeginning);
    }
    FEndCentral->ThisDisk = 0;
    FEndCentral->CentralOffset = static_cast<uint32_t>(s->Position());
    FEndCentral->TotalEntries = static_cast<uint32_t>(FDirectory->Count());
    FCurrentDisk = 0;
    return true;
}

void TZipReader::ReadCentralDirectory() {
    FReadDateTime = ArchiveDateTime();
    if (FDirectory) FreeLists();
    FDirectoryFileMode = false;
    bool found = ReadEndCentral(Archive());
    if (found) CheckZip64();
    found = found && EndRecordUsable();
    if (!found) {
        // A ".zfc" copy of the directory stands in for a missing end record.
        std::string zfc = FZipName;
        size_t dot = zfc.find_last_of(".\\:");
        zfc = (dot != std::string::npos && zfc[dot] == '.' ? zfc.substr(0, dot) : zfc) + ".zfc";
        if (FileExistsCheck(zfc)) {
            FDirectoryFile =
                std::make_unique<TLFNFileStream>(zfc, kFileBufferSize, false, framework::fmOpenRead);
            if (ReadEndCentral(FDirectoryFile.get())) {
                found = true;
                FDirectoryFileMode = true;
                std::swap(FArchive, FDirectoryFile);
            } else {
                FDirectoryFile.reset();
            }
        }
    }
    struct RestoreArchive {
        TZipReader& R;
        ~RestoreArchive() {
            if (R.FDirectoryFileMode) {
                std::swap(R.FArchive, R.FDirectoryFile);
                R.FDirectoryFile.reset();
                R.FDirectoryFileMode = false;
            }
        }
    } restore{*this};

    if (found) {
        FCurrentDisk = FDirectoryFileMode ? 0 : FEndCentral->ThisDisk;
        if (FEndCentral->ThisDisk == 0) {
            FMultiMode = 0;
        } else {
            std::string head = framework::UpperCase(FZipName.substr(0, 3));
            if (head.size() < 2 || head[1] != ':')
                FMultiMode = 2;
            else
                FMultiMode = platform::GetDriveType(head) == platform::DRIVE_REMOVABLE ? 1 : 2;
        }
        if (FEndCentral->TotalEntries != 0) {
            if (!FDirectoryFileMode && FMultiMode != 0 && FEndCentral->CentralDisk != FCurrentDisk)
                AskForDisk(FEndCentral->CentralDisk + 1);
            Archive()->Seek(FDirectoryFileMode ? 0 : FEndCentral->CentralOffset, framework::soFromBeginning);
        }
    } else {
        if (OnInCompleteZip) OnInCompleteZip(this, IncompleteZipMode);
        if (IncompleteZipMode == izAssumeNotAZip) throw ENotAZipFile("Not a valid zip file!");
        if (IncompleteZipMode == izAssumeMulti) throw EIncompleteZip("Incomplete Zip File");
        if (!ScanLocalHeaders()) {
            ClearZip();
            throw EBadZipFile("Not a valid zip file!");
        }
    }
    if (!FDirectory) {
        FDirectory = std::make_unique<TSortedZip>(ByNone);
        FDirectory->Duplicates = dupError;
        FView = FDirectory.get();
    }
    uint16_t lastExtra = 0;
    TZipHeaderInfo* lastEntry = nullptr;
    for (uint32_t i = 0; i < FEndCentral->TotalEntries;) {
        auto entry = std::make_unique<TZipHeaderInfo>();
        entry->OEMConvert = OEMConvert;
        const bool nextDisk = !FScanMode && FMultiMode != 0;
        bool read = ReadCentralHeader(*entry, nextDisk);
        if (!read && lastEntry && lastExtra != 0) {
            // An extra field the file does not really hold: step back over it and try again.
            lastEntry->CentralExtraLength = 0;
            Archive()->Seek(-int64_t(lastExtra), framework::soFromCurrent);
            lastExtra = 0;
            read = ReadCentralHeader(*entry, nextDisk);
        }
        if (!read) {
            if (FScanMode) break;
            if (FMultiMode != 0 || !ScanLocalHeaders()) {
                ClearZip();
                throw EBadZipFile("Not a valid zip file!");
            }
            i = 0;
            lastEntry = nullptr;
            lastExtra = 0;
            continue;
        }
        const int64_t skip = int64_t(entry->CentralExtraLength) + entry->CommentLength;
        const uint16_t extra = entry->CentralExtraLength;
        TZipHeaderInfo* kept = nullptr;
        if (!FScanMode) {
            try {
                FDirectory->Add(entry.get());
                kept = entry.release();
            } catch (const framework::EListError&) {
                if (!FScanMode && FMultiMode == 0 && ScanLocalHeaders()) {
                    i = 0;
                    lastEntry = nullptr;
                    lastExtra = 0;
                    continue;
                }
                entry.reset();
                ClearZip();
                throw EBadZipFile("Not a valid zip file!");
            }
        } else {
            int index;
            if (FDirectory->Find(entry.get(), index)) {
                TZipHeaderInfo* partner = FDirectory->Entry(index);
                uint32_t offset = partner->LocalHeaderOffset;
                partner->Assign(entry.get());
                partner->LocalHeaderOffset = offset;
                kept = partner;
            }
        }
        if (FEndCentral->ThisDisk != 0 && kept && kept->CommentLength) {
            std::string comment(kept->CommentLength, '\0');
            int64_t here = Archive()->Position();
            Archive()->Seek(int64_t(kept->CentralExtraLength), framework::soFromCurrent);
            int32_t n = ReadFully(Archive(), comment.data(), kept->CommentLength);
            comment.resize(std::strlen(comment.substr(0, size_t(n)).c_str()));
            kept->FileComment = comment;
            Archive()->Seek(here, framework::soFromBeginning);
        }
        Archive()->Seek(skip, framework::soFromCurrent);
        lastEntry = kept;
        lastExtra = FScanMode ? 0 : extra;
        ++i;
    }
    if (FEndCentral->ThisDisk != 0 && FEndCentral->CommentLength != 0) {
        if (!FDirectoryFileMode && FCurrentDisk != FEndCentral->ThisDisk)
            AskForDisk(FEndCentral->ThisDisk + 1);
        std::string comment(FEndCentral->CommentLength, '\0');
        Archive()->Seek(FEndCentral->CommentOffset, framework::soFromBeginning);
        int32_t n = ReadFully(Archive(), comment.data(), FEndCentral->CommentLength);
        comment.resize(size_t(n));
        FEndCentral->ZipComment = comment;
    }
    FCurrentDisk = FDirectoryFileMode ? 0 : FEndCentral->ThisDisk;
    RebuildView();
}

// ---- comments -----------------------------------------------------------------------------------

std::string TZipReader::GetFileComment(int Index) {
    TZipHeaderInfo* e = ViewEntry(Index);
    if (e->CommentLength == 0) return {};
    if (e->FileComment) return *e->FileComment;
    OpenZipFile();
    // Opening may have read a changed archive again: the entry is taken from the current view.
    if (Index >= Count()) {
        CloseZipFile();
        return {};
    }
    e = ViewEntry(Index);
    if (e->CommentLength == 0 || e->FileComment) {
        CloseZipFile();
        return e->FileComment.value_or(std::string());
    }
    framework::TStream* s = Archive();
    const int64_t saved = s->Position();
    std::string comment;
    try {
        s->Seek(e->CentralHeaderOffset, framework::soFromBeginning);
        uint8_t h[kCentralHeaderSize];
        if (ReadFully(s, h, kCentralHeaderSize) == kCentralHeaderSize) {
            s->Seek(int64_t(GetUInt16(h + 28)) + GetUInt16(h + 30), framework::soFromCurrent);
            comment.assign(GetUInt16(h + 32), '\0');
            comment.resize(size_t(ReadFully(s, comment.data(), GetUInt16(h + 32))));
            comment.resize(std::strlen(comment.c_str()));
            e->FileComment = comment;
        }
    } catch (...) {
        s->Seek(saved, framework::soFromBeginning);
        CloseZipFile();
        throw;
    }
    s->Seek(saved, framework::soFromBeginning);
    CloseZipFile();
    return comment;
}

std::string TZipReader::GetZipComment() {
    if (FEndCentral->CommentLength == 0) return {};
    if (FEndCentral->ZipComment) return *FEndCentral->ZipComment;
    OpenZipFile();
    if (FEndCentral->CommentLength == 0 || FEndCentral->ZipComment) {
        CloseZipFile();
        return FEndCentral->ZipComment.value_or(std::string());
    }
    framework::TStream* s = Archive();
    const int64_t saved = s->Position();
    std::string comment(FEndCentral->CommentLength, '\0');
    try {
        s->Seek(FEndCentral->CommentOffset, framework::soFromBeginning);
        comment.resize(size_t(ReadFully(s, comment.data(), FEndCentral->CommentLength)));
        FEndCentral->ZipComment = comment;
    } catch (...) {
        s->Seek(saved, framework::soFromBeginning);
        CloseZipFile();
        throw;
    }
    s->Seek(saved, framework::soFromBeginning);
    CloseZipFile();
    return comment;
}

// ---- disks --------------------------------------------------------------------------------------

void TZipReader::AskForDisk(int32_t N) {
    CloseArchive();
    std::string name = FZipName;
    // A handler that keeps naming a missing part gets a bounded number of tries.
    for (int tries = 0;; ++tries) {
        if (OnGetNextDisk) OnGetNextDisk(this, N, name);
        bool labelOk = true;
        if (FCheckDiskLabels && !name.empty() && FMultiMode == 1) {
            std::string label = VolumeLabelOf(FZipName.substr(0, 3));
            labelOk = RightStr(label, 3) == framework::Format("%3.3d", {N});
        }
        if (!FCheckDiskLabels || name.empty() || labelOk) {
            if (name.empty()) throw EUserCanceled("User canceled loading new disk.");
            if (FileExistsCheck(name)) break;
        }
        if (tries >= 16) throw EUserCanceled("User canceled loading new disk.");
    }
    FArchive = std::make_unique<TLFNFileStream>(name, kFileBufferSize, false, framework::fmOpenRead);
    FCurrentDisk = N - 1;
    FReadDateTime = ArchiveDateTime();
    FZipName = name;
}

void TZipReader::DefaultGetNextDisk(framework::TObject*, int32_t NextDisk, std::string& FName) {
    if (FMultiMode != 1) {
        size_t dot = FName.find_last_of(".\\:");
        std::string base = dot != std::string::npos && FName[dot] == '.' ? FName.substr(0, dot) : FName;
        FName = base + "." + framework::Format("%3.3d", {NextDisk});
        return;
    }
    std::string text = "Please insert disk " + std::to_string(NextDisk) + " of the multi-disk set.";
    if (ZipMessageBox(text, "", 1) != 1) FName.clear();
}

}  // namespace codecs

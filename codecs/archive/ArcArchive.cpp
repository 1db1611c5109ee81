#include "codecs/archive/ArcArchive.h"

#include "codecs/archive/ArcErrors.h"
#include "codecs/archive/SpanStream.h"
#include "codecs/deflate/DeflateEngine.h"
#include "framework/core/DateTime.h"
#include "framework/core/Strings.h"
#include "framework/core/SysUtils.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/ProgramFolder.h"

namespace codecs {

// ---- list ---------------------------------------------------------------------------------------

uint32_t TArcArchiveList::BucketOf(const std::string& name) {
    uint32_t h = 0;
    for (unsigned char c : platform::AnsiUpperString(name)) {
        h = (h << 4) + c;
        uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h % kBuckets;
}

int TArcArchiveList::Add(TArcArchiveItem* item) {
    uint32_t b = BucketOf(item->GetStoredName());
    item->NextInBucket = Buckets[b];
    Buckets[b] = item;
    return Items.Add(item);
}

void TArcArchiveList::Clear() {
    Items.Clear();
    for (auto& head : Buckets) head = nullptr;
}

int TArcArchiveList::Find(const std::string& name) const {
    for (TArcArchiveItem* item = Buckets[BucketOf(name)]; item; item = item->NextInBucket)
        if (framework::CompareText(item->GetStoredName(), name) == 0) return Items.IndexOf(item);
    return -1;
}

bool TArcArchiveList::IsActiveDuplicate(const std::string& name) const {
    for (TArcArchiveItem* item = Buckets[BucketOf(name)]; item; item = item->NextInBucket)
        if (framework::CompareText(item->GetStoredName(), name) == 0 && item->PendingAction != paDelete)
            return true;
    return false;
}

TArcArchiveStreamHelper::TArcArchiveStreamHelper(framework::TStream* stream) : Stream(stream) {
    if (!stream) throw framework::Exception("nil stream");
}

// ---- archive ------------------------------------------------------------------------------------

TArcArchive::TArcArchive() {
    InitCommon();
}

TArcArchive::TArcArchive(const std::string& fileName, int32_t mode) {
    Status = 0;
    auto span = std::make_unique<TArcSpanStream>(fileName, SpanSize,
                                                 IsOnRemovableDrive(fileName) ? mkRemovable : mkLocal, mode);
    span->OnNextVolume = [this](framework::TObject*, int32_t volume, bool& stop, std::string& name) {
        RequestNextVolume(volume, stop, name);
    };
    span->OnProgress = [this](int32_t progress, bool& abort) {
        DoArchiveSaveProgress(static_cast<uint8_t>(progress), abort);
    };
    Stream = span.release();
    OwnsStream = true;
    ArchiveName = fileName;
    OnProgress = [this](uint8_t progress, bool& abort) { DoCurrentItemProgress(progress, abort); };
    Mode = mode;
    std::string program = platform::GetModuleFileName();
    size_t slash = program.find_last_of('\\');
    SetBaseDirectory(slash == std::string::npos ? std::string() : program.substr(0, slash + 1));
    InitCommon();
}

void TArcArchive::InitCommon() {
    IsDirty = false;
    AutoSave = false;
    ItemList = std::make_unique<TArcArchiveList>();
    PadLock = std::make_unique<TArcPadLock>();
    StoreOptions = 0;
    ExtractOptions = 0;
    Status = 1;
}

TArcArchive::~TArcArchive() {
    if (ItemList) {
        for (int i = ItemList->Count() - 1; i >= 0; --i) delete ItemList->Get(i);
        ItemList->Clear();
        ItemList.reset();
    }
    PadLock.reset();
    if (OwnsStream) delete Stream;
    LogStream.reset();
}

void TArcArchive::CheckOpen() const {
    if (Status == 0) throw EArcNoArchive();
}

void TArcArchive::BeginBusy() {
    PadLock->SetLocked(true);
    Status = 2;
}

void TArcArchive::EndBusy() {
    if (Status == 2) Status = 1;
    PadLock->SetLocked(false);
}

int TArcArchive::IndexOfItem(TArcArchiveItem* item) const {
    return ItemList->Find(item->GetStoredName());
}

void TArcArchive::SaveIfPending(TArcArchiveItem* item) {
    if (item->PendingAction != paNone) Save();
}

void TArcArchive::DoProcessItemFailure(TArcArchiveItem* item, int32_t processType, int32_t errorClass,
                                       int32_t errorCode) {
    if (OnItemFailure) OnItemFailure(this, item, processType, errorClass, errorCode);
}

void TArcArchive::DoArchiveSaveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (OnSaveProgress) OnSaveProgress(this, progress, abort);
}

void TArcArchive::DoArchiveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (OnArchiveProgress) OnArchiveProgress(this, progress, abort);
}

void TArcArchive::DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort) {
    abort = false;
    if (OnArchiveItemProgress) OnArchiveItemProgress(this, item, progress, abort);
}

void TArcArchive::DoConfirmProcessItem(TArcArchiveItem* item, int32_t processType, bool& confirm) {
    confirm = true;
    if (OnConfirmItem) OnConfirmItem(this, item, processType, confirm);
    if (confirm && Logging) WriteLogLine(item->GetStoredName(), processType == ptUnhandled ? 7 : processType);
}

void TArcArchive::DoConfirmSave(bool& confirm) {
    confirm = true;
    if (OnSaveQuery) OnSaveQuery(this, confirm);
}

void TArcArchive::DoLoad() {
    if (OnLoad) OnLoad(this);
}

void TArcArchive::DoCurrentItemProgress(uint8_t progress, bool& abort) {
    abort = false;
    DoArchiveItemProgress(CurrentItem, progress, abort);
}

void TArcArchive::DoSave() {
    if (OnSave) OnSave(this);
}

std::string TArcArchive::FixName(const std::string& name) const {
    std::string n = name;
    if (DosMode) {
        bool relative = !(n.size() >= 2 && n[1] == ':') && !(n.size() >= 1 && n[0] == '\\');
        if (!BaseDirectory.empty() && relative) n = WithTrailingBackslash(BaseDirectory) + n;
        n = ShortPathOf(n);
    }
    if (StoreOptions & soStripDrive) n = StripDriveOfPath(n);
    if (!n.empty() && n[0] == '\\') n.erase(0, 1);
    if (StoreOptions & soStripPath) {
        size_t p = n.find_last_of("\\:");
        if (p != std::string::npos) n = n.substr(p + 1);
    }
    if (StoreOptions & soRemoveDots) n = StripLeadingParentRefs(n);
    return n;
}

void TArcArchive::Add(TArcArchiveItem* item) {
    std::unique_ptr<TArcArchiveItem> owned(item);
    CheckOpen();
    if (ItemList->IsActiveDuplicate(item->GetStoredName())) {
        // The archive keeps the item it has; the new one is only a description of the change.
        if (StoreOptions & soFreshen)
            FreshenItem(item);
        else if (StoreOptions & soReplace)
            ReplaceItem(item);
        else
            DoProcessItemFailure(item, ptAdd, ecArcException, 7);
        return;
    }
    bool confirm = true;
    DoConfirmProcessItem(item, ptAdd, confirm);
    if (!confirm) return;
    BusyScope busy(*this);
    item->PendingAction = paAdd;
    ItemList->Add(owned.release());
    IsDirty = true;
    if (AutoSave) Save();
}

void TArcArchive::Load() {
    BusyScope busy(*this);
    struct LoadEvent {
        TArcArchive& A;
        ~LoadEvent() { A.DoLoad(); }
    } loadEvent{*this};
    LoadArchive();
    Status = 1;
}

void TArcArchive::Save() {
    if (Status == 0) return;
    if (!IsDirty && Count() > 0) return;
    BusyScope busy(*this);
    bool confirm = true;
    DoConfirmSave(confirm);
    if (confirm) {
        SaveArchive();
        IsDirty = false;
        DoSave();
    }
}

void TArcArchive::Move(TArcArchiveItem* item, const std::string& newName) {
    CheckOpen();
    const std::string fixed = FixName(newName);
    for (int i = 0; i < ItemList->Count(); ++i) {
        TArcArchiveItem* other = ItemList->Get(i);
        if (framework::CompareText(other->GetStoredName(), fixed) == 0 && other->PendingAction != paDelete) {
            DoProcessItemFailure(item, ptMove, ecArcException, 7);
            return;
        }
    }
    SaveIfPending(item);
    BusyScope busy(*this);
    bool confirm = true;
    DoConfirmProcessItem(item, ptMove, confirm);
    if (confirm) {
        item->SetStoredName(fixed);
        item->PendingAction = paMove;
        IsDirty = true;
        if (AutoSave) Save();
    }
}

void TArcArchive::FreshenItem(TArcArchiveItem* item) {
    int index = IndexOfItem(item);
    if (index != -1) FreshenAt(index);
}

void TArcArchive::ReplaceItem(TArcArchiveItem* item) {
    int index = IndexOfItem(item);
    if (index != -1) ReplaceAt(index);
}

void TArcArchive::FreshenAt(int index) {
    CheckOpen();
    TArcArchiveItem* item = ItemList->Get(index);
    SaveIfPending(item);
    BusyScope busy(*this);
    bool changed;
    try {
        ResolveSourcePath(item);
        changed = SourceIsChanged(item);
    } catch (const std::exception& e) {
        int32_t cls, code;
        ExceptionToErrorClass(e, cls, code);
        DoProcessItemFailure(item, ptFreshen, cls, code);
        return;
    }
    if (!changed) return;
    bool confirm = true;
    DoConfirmProcessItem(item, ptFreshen, confirm);
    if (confirm) {
        item->PendingAction = paFreshen;
        IsDirty = true;
        if (AutoSave) Save();
    }
}

void TArcArchive::ReplaceAt(int index) {
    CheckOpen();
    TArcArchiveItem* item = ItemList->Get(index);
    SaveIfPending(item);
    BusyScope busy(*this);
    ResolveSourcePath(item);
    bool confirm = true;
    DoConfirmProcessItem(item, ptReplace, confirm);
    if (confirm) {
        item->PendingAction = paReplace;
        IsDirty = true;
        if (AutoSave) Save();
    }
}

void TArcArchive::CheckItemProgress(uint8_t progress) {
    bool abort = false;
    DoCurrentItemProgress(progress, abort);
    if (abort) throw EArcAbortProgress(MessageForCode(kArcMsgUserAbort));
}

void TArcArchive::RequestNextVolume(int32_t, bool&, std::string&) {
    throw EArcSpanningNotSupported();
}

void TArcArchive::SetBaseDirectory(const std::string& folder) {
    std::string f = folder;
    if (f.size() > 1 && f.back() == '\\' && f[f.size() - 2] != ':') f.pop_back();
    if (!f.empty() && !FolderExists(f)) throw EArcNoSuchDirectory();
    BaseDirectory = f;
}

void TArcArchive::SetLogging(bool flag) {
    Logging = flag;
    LogStream.reset();
    if (!Logging || LogFile.empty()) return;
    try {
        LogStream = std::make_unique<framework::TFileStream>(LogFile, framework::fmCreate);
        WriteLogLine(ArchiveName, 6);
    } catch (const std::exception&) {
        LogStream.reset();
        throw EArcException(MessageForCode(kArcMsgLogFileError));
    }
}

void TArcArchive::WriteLogLine(const std::string& text, int32_t logCode) {
    if (!LogStream) return;
    int32_t message = logCode >= 0 && logCode <= 6 ? 310 + logCode : 513;
    std::string line = text + MessageForCode(message) + framework::DateTimeToStr(framework::Now()) + "\r\n";
    LogStream->WriteBuffer(line.data(), static_cast<int32_t>(line.size()));
}

namespace {
// Restores the process's current folder when a scope ends.
struct CurrentFolderScope {
    std::string Saved = platform::GetCurrentDirectory();
    ~CurrentFolderScope() { platform::SetCurrentDirectory(Saved); }
};
}  // namespace

void TArcArchive::ResolveSourcePath(TArcArchiveItem* item) {
    const std::string name = item->GetStoredName();
    if ((StoreOptions & soRecurse) && PathKind(name) == 0) {
        framework::TStringList found;
        {
            CurrentFolderScope folder;
            if (!BaseDirectory.empty()) platform::SetCurrentDirectory(BaseDirectory);
            CollectMatchingFiles(name,
                                 platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN |
                                     platform::FILE_ATTRIBUTE_SYSTEM | platform::FILE_ATTRIBUTE_VOLUME |
                                     platform::FILE_ATTRIBUTE_ARCHIVE,
                                 &found, true);
        }
        item->SourcePath =
            found.Count() == 0 ? std::string() : WithTrailingBackslash(BaseDirectory) + found[0];
    } else {
        item->SourcePath = BaseDirectory.empty() ? name : WithTrailingBackslash(BaseDirectory) + name;
    }
    item->SourcePath = ForwardToBackslashes(item->SourcePath);
}

bool TArcArchive::SourceIsChanged(TArcArchiveItem* item) {
    CurrentFolderScope folder;
    if (!BaseDirectory.empty()) platform::SetCurrentDirectory(BaseDirectory);
    framework::TFileStream file(item->SourcePath, framework::fmOpenRead | framework::fmShareDenyWrite);
    platform::FILETIME written{}, local{};
    uint16_t date = 0, time = 0;
    if (platform::GetFileTime(static_cast<platform::HANDLE>(file.Handle()), nullptr, nullptr, &written) &&
        platform::FileTimeToLocalFileTime(written, local))
        platform::FileTimeToDosDateTime(local, date, time);
    return !(date == item->GetDosDate() && time == item->GetDosTime());
}

}  // namespace codecs

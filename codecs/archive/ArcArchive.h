#pragma once
// The archive model shared by every archive kind: stored items, a list of items with a hashed
// name index, and an abstract archive that runs item operations (add, freshen, replace, move,
// save, load) under its lock, with confirmation, progress and failure events and an optional log.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "codecs/archive/ArcUtils.h"
#include "framework/core/Exception.h"
#include "framework/core/List.h"
#include "framework/core/Object.h"
#include "framework/core/Stream.h"

namespace codecs {

// Pending actions of an item.
enum : uint8_t { paNone = 1, paAdd = 2, paDelete = 3, paFreshen = 4, paMove = 5, paReplace = 6 };
// Process types of the confirm and failure events.
enum : int32_t {
    ptAdd = 0,
    ptDelete = 1,
    ptExtract = 2,
    ptFreshen = 3,
    ptMove = 4,
    ptReplace = 5,
    ptUnhandled = 6
};
// Store options (a byte set).
enum : uint8_t {
    soStripDrive = 0x01,
    soStripPath = 0x02,
    soRemoveDots = 0x04,
    soRecurse = 0x08,
    soFreshen = 0x10,
    soReplace = 0x20,
};
// Extract options.
enum : uint8_t { eoCreateDirs = 0x01, eoRestorePath = 0x02 };

class TArcArchiveItem : public framework::TObject {
public:
    ~TArcArchiveItem() override = default;

    // Every reader and writer of an item goes through these slots; derived kinds override them.
    virtual int32_t GetPackedSize() const { return FPackedSize; }
    virtual uint32_t GetCrc32() const { return FCrc32; }
    virtual uint32_t GetAttributes() const { return FAttributes; }
    virtual std::string GetStoredName() const { return FStoredName; }
    virtual bool GetEncrypted() const { return FEncrypted; }
    virtual uint16_t GetDosDate() const { return FDosDate; }
    virtual uint16_t GetDosTime() const { return FDosTime; }
    virtual uint32_t GetUnpackedSize() const { return FUnpackedSize; }
    virtual void SetPackedSize(int32_t value) { FPackedSize = value; }
    virtual void SetCrc32(uint32_t value) { FCrc32 = value; }
    virtual void SetAttributes(uint32_t value) { FAttributes = value; }
    virtual void SetStoredName(const std::string& value) { FStoredName = value; }
    virtual void SetEncrypted(bool value) { FEncrypted = value; }
    virtual void SetDosDate(uint16_t value) { FDosDate = value; }
    virtual void SetDosTime(uint16_t value) { FDosTime = value; }
    virtual void SetUnpackedSize(uint32_t value) { FUnpackedSize = value; }

    TArcArchiveItem* NextInBucket = nullptr;  // not owned
    uint8_t PendingAction = paNone;
    std::string SourcePath;

private:
    int32_t FPackedSize = 0;
    uint32_t FCrc32 = 0;
    uint32_t FAttributes = 0;
    std::string FStoredName;
    bool FEncrypted = false;
    uint16_t FDosTime = 0;
    uint16_t FDosDate = 0;
    uint32_t FUnpackedSize = 0;
};

// Items in insertion order (not owned) with 1021 hash buckets over their stored names.
class TArcArchiveList : public framework::TObject {
public:
    static constexpr int kBuckets = 1021;

    // The bucket of a name: the name upper-cased, hashed four bits at a time, modulo 1021.
    static uint32_t BucketOf(const std::string& name);

    int Add(TArcArchiveItem* item);
    void Clear();
    int Find(const std::string& name) const;
    bool IsActiveDuplicate(const std::string& name) const;
    TArcArchiveItem* Get(int index) const { return static_cast<TArcArchiveItem*>(Items.Get(index)); }
    int Count() const { return Items.Count(); }
    TArcArchiveItem* BucketHead(uint32_t bucket) const { return Buckets[bucket]; }

    framework::TList Items;

private:
    TArcArchiveItem* Buckets[kBuckets] = {};
};

// Base of the per-format stream readers; it reads one stream, which must be given.
class TArcArchiveStreamHelper : public framework::TObject {
public:
    explicit TArcArchiveStreamHelper(framework::TStream* stream);

    virtual void ExtractItemData(framework::TStream* dest) = 0;
    virtual bool FindFirstItem() = 0;
    virtual bool FindNextItem() = 0;
    virtual void ReadItemHeader() = 0;
    virtual void ReadTail() = 0;
    virtual bool FindItemAt(int index) = 0;
    virtual void WriteItemHeader() = 0;
    virtual void WriteItemData(framework::TStream* source) = 0;
    virtual void WriteTail() = 0;
    virtual int GetItemCount() = 0;

    framework::TStream* Stream;
};

class TArcArchive : public framework::TObject {
public:
    using TArcArchiveEvent = std::function<void(framework::TObject* Sender)>;
    using TArcArchiveProgressEvent =
        std::function<void(framework::TObject* Sender, uint8_t Progress, bool& Abort)>;
    using TArcArchiveItemProgressEvent =
        std::function<void(framework::TObject* Sender, TArcArchiveItem* Item, uint8_t Progress, bool& Abort)>;
    using TItemFailureEvent = std::function<void(framework::TObject* Sender, TArcArchiveItem* Item,
                                                 int32_t ProcessType, int32_t ErrorClass, int32_t ErrorCode)>;
    using TConfirmItemEvent = std::function<void(framework::TObject* Sender, TArcArchiveItem* Item,
                                                 int32_t ProcessType, bool& Confirm)>;

    // Opens a span stream on the file with the open mode (-1 creates).
    TArcArchive(const std::string& fileName, int32_t mode);
    ~TArcArchive() override;

    virtual TArcArchiveItem* CreateItem(const std::string& fileName) = 0;
    virtual void ExtractItemAt(int index) = 0;
    virtual void ExtractItemToStreamAt(int index, framework::TStream* stream) = 0;
    virtual void LoadArchive() = 0;
    virtual void SaveArchive() = 0;
    virtual void TestItemAt(int index) = 0;
    virtual void DoProcessItemFailure(TArcArchiveItem* item, int32_t processType, int32_t errorClass,
                                      int32_t errorCode);
    virtual void DoArchiveSaveProgress(uint8_t progress, bool& abort);
    virtual void DoArchiveProgress(uint8_t progress, bool& abort);
    virtual void DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort);
    virtual void DoConfirmProcessItem(TArcArchiveItem* item, int32_t processType, bool& confirm);
    virtual void DoConfirmSave(bool& confirm);
    virtual void DoLoad();
    virtual void DoCurrentItemProgress(uint8_t progress, bool& abort);
    virtual void DoSave();
    virtual std::string FixName(const std::string& name) const;
    virtual int32_t GetSpanSize() const { return SpanSize; }
    virtual void SetSpanSize(int32_t value) { SpanSize = value; }
    // Takes ownership of the item.
    virtual void Add(TArcArchiveItem* item);
    virtual void Load();
    virtual void Move(TArcArchiveItem* item, const std::string& newName);
    virtual void Save();
    // Raises EArcAbortProgress "Process aborted by user" when a handler asks to stop.
    virtual void CheckItemProgress(uint8_t progress);
    virtual void CheckItemProgress2(uint8_t progress) { CheckItemProgress(progress); }
    // Raises EArcSpanningNotSupported.
    virtual void RequestNextVolume(int32_t volumeNumber, bool& abort, std::string& fileName);

    void CheckOpen() const;
    void BeginBusy();
    void EndBusy();
    int Count() const { return ItemList ? ItemList->Count() : 0; }
    int IndexOfItem(TArcArchiveItem* item) const;
    void SaveIfPending(TArcArchiveItem* item);
    void FreshenItem(TArcArchiveItem* item);
    void FreshenAt(int index);
    void ReplaceItem(TArcArchiveItem* item);
    void ReplaceAt(int index);
    void SetBaseDirectory(const std::string& folder);
    void SetLogFile(const std::string& name) { LogFile = name; }
    void SetLogging(bool flag);
    void ResolveSourcePath(TArcArchiveItem* item);
    bool SourceIsChanged(TArcArchiveItem* item);
    void WriteLogLine(const std::string& text, int32_t logCode);

    framework::TStream* Stream = nullptr;
    uint8_t Status = 0;  // 0 invalid, 1 idle, 2 busy
    std::string ArchiveName;
    bool AutoSave = false;
    std::string BaseDirectory;
    TArcArchiveItem* CurrentItem = nullptr;
    bool DosMode = false;
    uint8_t ExtractOptions = 0;
    bool IsDirty = false;
    int32_t SpanSize = 0;
    std::unique_ptr<TArcArchiveList> ItemList;
    std::string LogFile;
    bool Logging = false;
    std::unique_ptr<framework::TFileStream> LogStream;
    int32_t Mode = 0;
    bool OwnsStream = false;
    std::unique_ptr<TArcPadLock> PadLock;
    uint8_t StoreOptions = 0;
    std::string TempDirectory;

    TItemFailureEvent OnItemFailure;
    TArcArchiveProgressEvent OnArchiveProgress;
    TArcArchiveProgressEvent OnSaveProgress;
    TArcArchiveItemProgressEvent OnArchiveItemProgress;
    TConfirmItemEvent OnConfirmItem;
    std::function<void(std::string& FileName, bool& Confirm)> OnOverwriteQuery;
    std::function<void(framework::TObject* Sender, bool& Confirm)> OnSaveQuery;
    TArcArchiveEvent OnLoad;
    std::function<void(uint8_t Progress, bool& Abort)> OnProgress;
    std::function<void(framework::TObject* Sender, int32_t VolumeNumber, bool& Abort, std::string& FileName)>
        OnRequestNextVolume;
    TArcArchiveEvent OnSave;

protected:
    // For kinds that bring their own stream (or none): only the common initialisation.
    TArcArchive();
    void InitCommon();

private:
    // Runs EndBusy when a busy section is left by any path.
    struct BusyScope {
        explicit BusyScope(TArcArchive& a) : A(a) { A.BeginBusy(); }
        ~BusyScope() { A.EndBusy(); }
        TArcArchive& A;
    };
};

}  // namespace codecs

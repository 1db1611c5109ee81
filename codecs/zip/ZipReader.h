#pragma once
// TZipReader: reads the directory of a ZIP archive (also damaged, truncated, self-extracting and
// multi-disk ones), answers questions about its entries and extracts them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "codecs/deflate/Crypt.h"
#include "codecs/zip/ZipContainers.h"
#include "framework/core/Component.h"
#include "framework/core/DateTime.h"
#include "framework/core/Strings.h"

namespace codecs {

KORVANE_DECLARE_EXCEPTION(EBadZipFile, Exception);     // "Not a valid zip file!"
KORVANE_DECLARE_EXCEPTION(ENotAZipFile, Exception);    // "Not a valid zip file!"
KORVANE_DECLARE_EXCEPTION(EIncompleteZip, Exception);  // "Incomplete Zip File"
KORVANE_DECLARE_EXCEPTION(EUserCanceled, Exception);

enum TZipSortMode {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone
};
enum TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum TSkipReason { srBadPassword, srNoOverwrite, srFileOpenError, srCreateError };

// Signatures of the three ZIP records.
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr int kLocalHeaderSize = 30;
constexpr int kCentralHeaderSize = 46;
constexpr int kEndRecordSize = 22;

// Replaces the standard signatures by every value that is not 0.
void SetZipSignatures(uint32_t central, uint32_t local, uint32_t end);

// One entry of the directory.
class TZipHeaderInfo : public framework::TPersistent {
public:
    TZipHeaderInfo() { Clear(); }
    void Clear();
    void Assign(framework::TPersistent* Source) override;

    bool IsEncrypted() const { return (Flags & 1) != 0; }
    bool HasDataDescriptor() const { return (Flags & 8) != 0; }
    bool HasComment() const { return CommentLength != 0; }
    const std::string& Filename() const { return FFilename; }
    // The name as the archive stores it (after the code page conversion), its "/" kept.
    std::string StoredName;
    const std::string& Directory() const { return FDirectory; }
    void SetFilename(const std::string& value);
    void SetDirectory(const std::string& value);
    // Splits a stored name (its "/" already turned into "\") at its last "\". A ":" is part of
    // the name: stored names carry no drive, and systems other than DOS allow it in file names.
    void SetStoredName(const std::string& name);

    int16_t VersionMadeBy;
    int16_t VersionNeeded;
    int16_t Flags;
    uint16_t CompressionMethod;
    uint32_t DateTime;
    uint32_t CRC32;
    int32_t CompressedSize;
    int32_t UncompressedSize;
    int16_t NameLength;
    uint16_t CentralExtraLength;
    uint16_t LocalExtraLength;
    uint16_t CommentLength;
    uint16_t DiskNumberStart;
    int16_t InternalAttributes;
    int32_t ExternalAttributes;
    uint32_t LocalHeaderOffset;
    uint32_t CentralHeaderOffset;
    std::optional<std::string> FileComment;
    bool Selected;
    bool Spare1, Spare2;
    bool OEMConvert = true;
    // Found by the local-header scan without a size or CRC (written as a stream, its data
    // descriptor not found): it lists, but cannot be extracted.
    bool Damaged = false;

private:
    std::string FFilename;
    std::string FDirectory;
};

// The end-of-central-directory record as read.
class TEndCentral : public framework::TPersistent {
public:
    TEndCentral() { Clear(); }
    void Clear();

    uint32_t Signature;
    uint16_t ThisDisk;
    uint16_t CentralDisk;
    // 32-bit: a Zip64 end record may count more entries than the 16-bit fields hold.
    uint32_t EntriesOnDisk;
    uint32_t TotalEntries;
    uint32_t CentralSize;
    uint32_t CentralOffset;
    uint16_t CommentLength;
    std::optional<std::string> ZipComment;
    uint32_t CommentOffset;
    bool Modified;
};

class TSortedZip : public TSortedObjectList {
public:
    explicit TSortedZip(TZipSortMode mode) : SortMode(mode) {}
    int Compare(const void* itemKey, const void* key) const override;
    TZipHeaderInfo* Entry(int index) const { return static_cast<TZipHeaderInfo*>(Get(index)); }
    TZipSortMode SortMode;
};

// Validates a DOS date (high word) and time (low word), clamping fields out of range; a value
// with nothing to clamp is returned bit for bit.
uint32_t NormalizeDosDateTime(uint32_t value);
// Whether a FilesList pattern matches a name (both compared in lower case).
bool IsMatch(const std::string& pattern, const std::string& name);

// Answers a message box: MB_OK (0), MB_OKCANCEL (1) or MB_YESNO (4); returns IDOK (1),
// IDCANCEL (2), IDYES (6) or IDNO (7). Without an installed hook the class library's message box
// shows it (through the user-interface hooks of the framework core).
using TZipMessageBox = std::function<int(const std::string& text, const std::string& caption, int buttons)>;
void SetZipMessageBox(TZipMessageBox box);
// Asks for a file (title, filter, initial folder) or a folder (title empty, filter empty, initial
// folder); returns false when cancelled. Without an installed dialog every request is cancelled.
using TZipFileDialog = std::function<bool(const std::string& title, const std::string& filter,
                                          const std::string& initialFolder, std::string& chosen)>;
void SetZipFileDialog(TZipFileDialog dialog);
int ZipMessageBox(const std::string& text, const std::string& caption, int buttons);
// Lets the program's windows handle what is pending (during long reads and extractions).
void PumpZipMessages();

class TZipReader : public framework::TComponent {
public:
    using TIncompleteZip =
        std::function<void(framework::TObject* Sender, TIncompleteZipMode& IncompleteMode)>;
    using TGetNextDisk =
        std::function<void(framework::TObject* Sender, int32_t NextDisk, std::string& FName)>;
    using TStartUnzipInfo =
        std::function<void(framework::TObject* Sender, int32_t NumFiles, int64_t TotalBytes, bool& StopNow)>;
    using TStartUnZipEvent =
        std::function<void(framework::TObject* Sender, int32_t FileIndex, std::string& FName, bool& Skip)>;
    using TEndUnZipEvent =
        std::function<void(framework::TObject* Sender, int32_t FileIndex, const std::string& FName)>;
    using TPercentDone = std::function<void(framework::TObject* Sender, int32_t Percent)>;
    using TPromptForOverwrite = std::function<void(framework::TObject* Sender, bool& OverWriteIt,
                                                   int32_t FileIndex, std::string& FName)>;
    using TSkippingFile = std::function<void(framework::TObject* Sender, TSkipReason Reason,
                                             const std::string& FName, int32_t FileIndex, bool& Retry)>;
    using TBadPassword =
        std::function<void(framework::TObject* Sender, int32_t FileIndex, std::string& NewPassword)>;
    using TBadCRC = std::function<void(framework::TObject* Sender, int32_t CalcCRC, int32_t StoredCRC,
                                       int32_t FileIndex)>;
    using TUnZipComplete = std::function<void(framework::TObject* Sender, int32_t FileCount)>;
    using TDecryptEvent = std::function<void(framework::TObject* Sender, uint8_t* Buffer, int32_t Length,
                                             const std::string& Password)>;

    explicit TZipReader(framework::TComponent* AOwner);
    ~TZipReader() override;

    void Assign(framework::TPersistent* Source) override;
    void Loaded() override;

    // Published settings.
    int32_t ThisVersion() const { return FThisVersion; }
    void SetThisVersion(int32_t) { FThisVersion = 223; }
    const std::string& ZipName() const { return FZipName; }
    virtual void SetZipName(const std::string& Value);
    const std::string& DestDir() const { return FDestDir; }
    void SetDestDir(const std::string& Value);
    const std::string& RootDir() const { return FRootDir; }
    void SetRootDir(const std::string& Value);
    framework::TStringList* FilesList() const { return FFilesList.get(); }
    void SetFilesList(framework::TStrings* Value);
    TZipSortMode SortMode = ByNone;
    bool RecreateDirs = false;
    TUZOverwriteMode OverwriteMode = Prompt;
    bool DoAll = false;
    TIncompleteZipMode IncompleteZipMode = izAssumeMulti;
    bool KeepZipOpen = false;
    bool DoProcessMessages = true;
    bool RetainAttributes = true;
    bool ReplaceReadOnly = false;
    bool FlushFilesOnClose = false;
    bool OEMConvert = true;
    std::string Password;

    TStartUnzipInfo OnStartUnZipInfo;
    TPercentDone OnFilePercentDone;
    TPercentDone OnTotalPercentDone;
    TStartUnZipEvent OnStartUnZip;
    TEndUnZipEvent OnEndUnZip;
    TPromptForOverwrite OnPromptForOverwrite;
    TSkippingFile OnSkippingFile;
    TBadPassword OnBadPassword;
    TBadCRC OnBadCRC;
    TUnZipComplete OnUnZipComplete;
    TDecryptEvent OnDecrypt;
    TIncompleteZip OnInCompleteZip;
    TGetNextDisk OnGetNextDisk;

    void ReadZip();
    int Count() const;
    std::string GetFilename(int Index) const;
    std::string GetFullName(int Index) const;
    // The entry's name as stored: folders and name with the archive's own separators.
    std::string GetStoredName(int Index) const;
    framework::TDateTime GetDateTime(int Index) const;
    int32_t GetUnCompressedSize(int Index) const;
    int32_t GetExternalFileAttributes(int Index) const;
    std::string GetFileComment(int Index);
    std::string GetZipComment();
    // The entry behind an index of the current view (for callers that need more fields).
    const TZipHeaderInfo& Entry(int Index) const;
    const TEndCentral& EndCentral() const { return *FEndCentral; }
    void ClearZip();
    void SortEntries(TZipSortMode Mode);
    int32_t GetMultiMode() const { return FMultiMode; }
    void SetMultiMode(int32_t Value) { FMultiMode = Value; }
    bool GetCheckDiskLabels() const { return FCheckDiskLabels; }
    void SetCheckDiskLabels(bool Value) { FCheckDiskLabels = Value; }
    void DefaultGetNextDisk(framework::TObject* Sender, int32_t NextDisk, std::string& FName);

    // Extracts the entries FilesList names (or all with DoAll) into DestDir; returns how many.
    int32_t UnZip();

    void OpenZipFile();
    void CloseZipFile();

private:
    friend class TZipExtraction;

    TZipHeaderInfo* ViewEntry(int Index) const;
    uint64_t ArchiveDateTime() const;
    bool ReadEndCentral(framework::TStream* stream);
    bool EndRecordUsable() const;
    void ReadCentralDirectory();
    bool ScanLocalHeaders();
    bool RecoverFromDataDescriptor(TZipHeaderInfo& entry, int64_t dataAt, int64_t& next);
    bool ReadCentralHeader(TZipHeaderInfo& entry, bool withNextDisk);
    bool ReadLocalHeader(TZipHeaderInfo& entry);
    void ReadHeaderName(TZipHeaderInfo& entry, int length, bool convertOem, bool utf8);
    void CheckZip64();
    void ReadZip64Extra(TZipHeaderInfo& entry, const std::string& extra);
    void AskForDisk(int32_t N);
    void CloseArchive();
    void FreeLists();
    void RebuildView();
    framework::TStream* Archive() const { return FArchive.get(); }

    int32_t FThisVersion = 223;
    std::string FZipName;
    std::string FDestDir;
    std::string FRootDir;
    std::unique_ptr<framework::TStringList> FFilesList;
    std::unique_ptr<TSortedZip> FDirectory;
    std::unique_ptr<TSortedZip> FSeparateView;
    TSortedZip* FView = nullptr;
    std::unique_ptr<TEndCentral> FEndCentral;
    std::unique_ptr<TLFNFileStream> FArchive;
    std::unique_ptr<TLFNFileStream> FDirectoryFile;  // the ".zfc" copy of the directory, while read
    uint64_t FReadDateTime = 0;
    std::unique_ptr<TZipHeaderInfo> FWorkEntry;
    int32_t FCurrentDisk = 0;
    int32_t FMultiMode = 0;
    bool FCheckDiskLabels = true;
    bool FScanMode = false;
    bool FDirectoryFileMode = false;
    static constexpr int32_t kFileBufferSize = 8192;
};

}  // namespace codecs

#include "dbengine/file/FileHandler.h"

#include <algorithm>
#include <cstring>

#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

namespace {

TFileList& List() {
    TFileList* list = EngineFileList();
    if (list == nullptr) RaiseEngineError(DBE_NOTINITIALIZED, {}, {}, {}, {});
    return *list;
}

}  // namespace

TFileHandler::~TFileHandler() {
    if (IsOpen) {
        try {
            CloseFile();
        } catch (...) {
            // Closing never raises today; a destructor must not either way.
        }
    }
}

void TFileHandler::Raise(int32_t code) {
    RaiseTableError(static_cast<TEngineErrorCode>(code), FileName);
}

void TFileHandler::OpenFile() {
    if (IsOpen) return;
    TFileList& list = List();
    if (!list.FileExists(FileName, InMemory)) Raise(DBE_OSENOENT);
    bool readOnly = false, byAttribute = false;
    TAbstractFile* file = nullptr;
    int32_t result = list.OpenFile(FileName, InMemory, Exclusive, Temporary, readOnly, byAttribute, file);
    if (result < 0) Raise(-result);
    File = file;
    HandleNo = result;
    ReadOnly = readOnly;
    ReadOnlyByAttribute = byAttribute;
    IsOpen = true;
}

void TFileHandler::CloseFile() {
    ImageValid = false;
    if (HandleNo > 0 && File != nullptr) {
        List().CloseFile(File, InMemory, HandleNo);
        File = nullptr;
        HandleNo = 0;
    }
    IsOpen = false;
}

void TFileHandler::CreateFile() {
    ImageValid = false;
    TAbstractFile* file = nullptr;
    int32_t result = List().CreateFile(FileName, InMemory, Temporary, &file);
    if (result < 0) Raise(-result);
    File = file;
    HandleNo = result;
    ReadOnly = false;
    ReadOnlyByAttribute = false;
    IsOpen = true;
}

void TFileHandler::DeleteFile() {
    int32_t result = List().DeleteFile(FileName, InMemory);
    if (result < 0) Raise(-result);
}

void TFileHandler::RenameFile(const std::string& newName) {
    int32_t result = List().RenameFile(FileName, InMemory, newName);
    if (result < 0) Raise(-result);
    FileName = newName;
}

void TFileHandler::CopyToFile(const std::string& destName, bool compress, uint16_t progressStep,
                              const TCopyProgressCallback& callback, void* callbackData) {
    if (!IsOpen || File == nullptr) return;
    int32_t result =
        List().CopyTo(File, HandleNo, progressStep, callback, callbackData, compress, destName, InMemory);
    if (result < 0) Raise(-result);
}

void TFileHandler::CopyFromFile(const std::string& sourceName, bool compress, uint16_t progressStep,
                                const TCopyProgressCallback& callback, void* callbackData) {
    ImageValid = false;
    if (!IsOpen || File == nullptr) return;
    int32_t result =
        List().CopyFrom(File, HandleNo, progressStep, callback, callbackData, compress, sourceName, InMemory);
    if (result < 0) Raise(-result);
}

uint32_t TFileHandler::ReadBuffer(void* buffer, uint32_t count, bool allowShort) {
    if (File == nullptr) Raise(DBE_READERR);
    int32_t got = File->Read(HandleNo, buffer, count);
    if (got < 0 || (static_cast<uint32_t>(got) != count && !allowShort)) Raise(DBE_READERR);
    return static_cast<uint32_t>(got);
}

void TFileHandler::WriteBuffer(const void* buffer, uint32_t count) {
    if (File == nullptr) Raise(DBE_WRITEERR);
    ImageValid = false;  // WriteAt notes the image again after a write of exactly its range
    if (count == 0) return;
    if (File->Write(HandleNo, buffer, count) != static_cast<int32_t>(count)) Raise(DBE_WRITEERR);
}

void TFileHandler::TruncateFile() {
    if (JournalOn) StartJournalLength();
    ImageValid = false;
    if (File == nullptr || File->Write(HandleNo, nullptr, 0) != 0) Raise(DBE_WRITEERR);
}

void TFileHandler::FlushFile() {
    if (File == nullptr) return;
    if (!File->Flush()) Raise(DBE_WRITEERR);
}

bool TFileHandler::LockFileRange(bool lock, int64_t offset, int64_t length) {
    if (File == nullptr) return false;
    return lock ? File->LockRange(offset, length) : File->UnlockRange(offset, length);
}

int64_t TFileHandler::SeekFile(int origin, int64_t offset) {
    if (File == nullptr) return 0;
    return File->Seek(HandleNo, origin, offset);
}

int64_t TFileHandler::GetFileSize() {
    if (File == nullptr) return 0;
    TFileLockScope scope(*this);
    int64_t position = SeekFile(1, 0);
    int64_t size = SeekFile(2, 0);
    SeekFile(0, position);
    return size < 0 ? 0 : size;
}

bool TFileHandler::FileExists() {
    return List().FileExists(FileName, InMemory);
}

void TFileHandler::EnterFileLock() {
    if (File != nullptr) File->Lock.Enter();
}

void TFileHandler::LeaveFileLock() {
    if (File != nullptr) File->Lock.Leave();
}

uint32_t TFileHandler::ReadAt(int64_t offset, void* buffer, uint32_t count, bool allowShort) {
    if (File == nullptr) Raise(DBE_READERR);
    TFileLockScope scope(*this);
    if (SeekFile(0, offset) != offset) Raise(DBE_READERR);
    uint32_t got = ReadBuffer(buffer, count, allowShort);
    // Before the journal's first write the file holds what it held at the start.
    if (JournalOn && !Wrote && got <= MaxKeptRead)
        KeepKnownBytes(offset, static_cast<const uint8_t*>(buffer), got);
    return got;
}

bool TFileHandler::PeekStored(int64_t offset, void* buffer, uint32_t count) {
    if (File == nullptr || !IsOpen || InMemory) return false;
    return File->PeekStart(offset, buffer, count);
}

bool TFileHandler::PeekStoredCounterIs(int64_t offset, int32_t value) {
    uint8_t bytes[4];
    return PeekStored(offset, bytes, sizeof bytes) && GetInt32(bytes) == value;
}

void TFileHandler::WriteAt(int64_t offset, const void* buffer, uint32_t count) {
    if (File == nullptr) Raise(DBE_WRITEERR);
    TFileLockScope scope(*this);
    if (JournalOn) {
        StartJournalLength();
        Wrote = true;
        KeepBeforeWrite(offset, count);
    }
    const bool imageRange = ImageValid && offset == ImageOffset && count == Image.size();
    if (ImageValid && offset < ImageOffset + static_cast<int64_t>(Image.size()) &&
        ImageOffset < offset + static_cast<int64_t>(count))
        ImageValid = false;
    // A write beside the image (a record, a page) leaves it as it is.
    const bool imageKept = ImageValid;
    if (SeekFile(0, offset) != offset) Raise(DBE_WRITEERR);
    WriteBuffer(buffer, count);
    if (imageRange) {
        std::memcpy(Image.data(), buffer, count);
        ImageValid = true;
    } else {
        ImageValid = imageKept;
    }
}

void TFileHandler::NoteStoredBytes(int64_t offset, const void* bytes, uint32_t count) {
    const auto* b = static_cast<const uint8_t*>(bytes);
    Image.assign(b, b + count);
    ImageOffset = offset;
    ImageValid = true;
}

void TFileHandler::BeginWriteJournal() {
    ForgetKept();
    JournalOn = Wrote = false;
    JournalLength = -1;
    if (File == nullptr || !IsOpen) return;
    JournalOn = true;
    if (ImageValid && ImageTrusted)
        KeepKnownBytes(ImageOffset, Image.data(), static_cast<uint32_t>(Image.size()));
}

void TFileHandler::EndWriteJournal() {
    JournalOn = false;
    ForgetKept();
}

void TFileHandler::StartJournalLength() {
    if (JournalLength >= 0) return;
    // Without the length a put-back could not tell what to cut off: nothing is changed then.
    TFileLockScope scope(*this);
    int64_t position = SeekFile(1, 0);
    int64_t size = SeekFile(2, 0);
    if (position < 0 || size < 0 || SeekFile(0, position) != position) Raise(DBE_WRITEERR);
    JournalLength = size;
}

bool TFileHandler::KeptAlready(int64_t offset, uint32_t length) const {
    auto at = KeptCover.upper_bound(offset);
    if (at == KeptCover.begin()) return false;
    --at;
    return offset + static_cast<int64_t>(length) <= at->second;
}

void TFileHandler::AddKept(int64_t offset, std::vector<uint8_t> bytes) {
    int64_t begin = offset;
    int64_t end = offset + static_cast<int64_t>(bytes.size());
    Kept.push_back({offset, std::move(bytes)});
    // Joined with every covered range it overlaps or touches.
    auto at = KeptCover.upper_bound(begin);
    if (at != KeptCover.begin() && std::prev(at)->second >= begin) --at;
    while (at != KeptCover.end() && at->first <= end) {
        begin = std::min(begin, at->first);
        end = std::max(end, at->second);
        at = KeptCover.erase(at);
    }
    KeptCover.emplace(begin, end);
}

void TFileHandler::ForgetKept() {
    Kept.clear();
    KeptCover.clear();
}

void TFileHandler::KeepKnownBytes(int64_t offset, const uint8_t* bytes, uint32_t count) {
    if (count == 0 || KeptAlready(offset, count)) return;
    AddKept(offset, std::vector<uint8_t>(bytes, bytes + count));
}

void TFileHandler::KeepBeforeWrites(std::vector<std::pair<int64_t, uint32_t>>& ranges) {
    if (!JournalOn || File == nullptr || ranges.empty()) return;
    TFileLockScope scope(*this);
    StartJournalLength();
    std::sort(ranges.begin(), ranges.end());
    std::vector<uint8_t> joined;
    size_t first = 0;
    while (first < ranges.size()) {
        // One read from the first range to the last one that lies close enough behind it.
        int64_t begin = ranges[first].first;
        int64_t end = begin + ranges[first].second;
        size_t last = first + 1;
        while (last < ranges.size() && ranges[last].first - end <= MaxJoinedGap &&
               ranges[last].first + ranges[last].second - begin <= MaxKeptRead) {
            end = std::max<int64_t>(end, ranges[last].first + ranges[last].second);
            ++last;
        }
        end = std::min(end, JournalLength);
        if (begin < end) {
            joined.resize(static_cast<size_t>(end - begin));
            int32_t want = static_cast<int32_t>(joined.size());
            if (SeekFile(0, begin) == begin &&
                File->Read(HandleNo, joined.data(), static_cast<uint32_t>(joined.size())) == want) {
                for (size_t k = first; k < last; ++k) {
                    int64_t offset = ranges[k].first;
                    int64_t stop = std::min<int64_t>(offset + ranges[k].second, end);
                    if (offset < stop)
                        KeepKnownBytes(offset, joined.data() + (offset - begin),
                                       static_cast<uint32_t>(stop - offset));
                }
            }
        }
        first = last;
    }
}

void TFileHandler::KeepBeforeWrite(int64_t offset, uint32_t count) {
    // Bytes past the length at the start are cut off again. Every byte keeps its first image:
    // a range within one kept already is not kept again, and the oldest image is put back last.
    if (count == 0 || offset >= JournalLength) return;
    uint32_t length = static_cast<uint32_t>(std::min<int64_t>(count, JournalLength - offset));
    if (KeptAlready(offset, length)) return;
    std::vector<uint8_t> bytes(length);
    // A range that cannot be read first is not written either: the write fails with nothing changed.
    if (SeekFile(0, offset) != offset) Raise(DBE_WRITEERR);
    int32_t got = File->Read(HandleNo, bytes.data(), length);
    if (got != static_cast<int32_t>(length)) Raise(DBE_WRITEERR);
    AddKept(offset, std::move(bytes));
}

bool TFileHandler::TakeBackWrites() noexcept {
    if (!JournalOn) return true;
    JournalOn = false;
    bool ok = true;
    for (auto it = Kept.rbegin(); it != Kept.rend(); ++it) {
        try {
            WriteAt(it->Offset, it->Bytes.data(), static_cast<uint32_t>(it->Bytes.size()));
        } catch (...) {
            ok = false;
        }
    }
    try {
        TFileLockScope scope(*this);
        if (JournalLength >= 0 && GetFileSize() > JournalLength) {
            if (SeekFile(0, JournalLength) != JournalLength) Raise(DBE_WRITEERR);
            TruncateFile();
        }
    } catch (...) {
        ok = false;
    }
    ForgetKept();
    Kept.shrink_to_fit();
    return ok;
}

}  // namespace dbengine

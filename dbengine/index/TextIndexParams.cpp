#include "dbengine/index/TextIndexParams.h"

#include <algorithm>
#include <cstring>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

namespace {

constexpr uint32_t MaxStopWordLength = 255;
constexpr int ChangedRetries = 100;

// Keeps the cursor's current index and the page in hand across a walk of the chain.
class TChainWalk {
public:
    TChainWalk(TIndexFile& file, TIndexCursor& cursor)
        : File(file), Cursor(cursor), SavedIndex(cursor.CurrentIndex) {
        Cursor.CurrentIndex = SysTextIndex;
    }
    ~TChainWalk() {
        File.ReleasePage(Page);
        Cursor.CurrentIndex = SavedIndex;
    }
    TChainWalk(const TChainWalk&) = delete;
    TChainWalk& operator=(const TChainWalk&) = delete;

    [[noreturn]] void Corrupt() { File.RaiseError(DBE_INDEXCORRUPT); }

    // Moves to page pageNo of the chain, which must be a data page; a chain longer than the file
    // has pages loops and is damaged.
    void Enter(int32_t pageNo) {
        if (pageNo == 0 || ++Visited > File.GetPageCount()) Corrupt();
        File.ReleasePage(Page);
        Page = nullptr;
        TPage* next = nullptr;
        for (int attempt = 0; !File.GetPage(Cursor, pageNo, false, next); ++attempt)
            if (attempt >= ChangedRetries) Corrupt();
        Page = next;
        if (Page->PageType != ptData) Corrupt();
        Position = 0;
    }

    // Makes room for an item of `size` bytes on the current page or at the start of the next.
    void ReadRoom(int64_t size) {
        if (size < 0 || size > PageDataSize) Corrupt();
        if (Position + size > PageDataSize) Enter(Page->NextPage);
    }

    int32_t ReadLength() {
        ReadRoom(4);
        int32_t value = GetLE32(Page->Data() + Position);
        Position += 4;
        return value;
    }

    void ReadBytes(void* dest, uint32_t size) {
        ReadRoom(size);
        if (size == 0) return;
        std::memcpy(dest, Page->Data() + Position, size);
        Position += size;
    }

    void NewChainPage(TPage*& page) {
        page = File.AllocatePage(Cursor);
        page->SetPageType(ptData);
        std::memset(page->Data(), 0, IndexPageSize);
        page->Dirty = true;
    }

    void WriteRoom(uint32_t size) {
        if (Position + size <= PageDataSize) return;
        int32_t next = Page->NextPage;
        TPage* following = nullptr;
        if (next != 0 && next < File.GetNextPageNo(SysTextIndex)) {
            following = File.FetchPage(SysTextIndex, next);
            if (following->PageType != ptData) {
                File.ReleasePage(following);
                Corrupt();
            }
        } else {
            NewChainPage(following);
            Page->SetNextPage(following->PageNo);
        }
        File.ReleasePage(Page);
        Page = following;
        Position = 0;
    }

    void WriteBytes(const void* source, uint32_t size) {
        WriteRoom(size);
        std::memcpy(Page->Data() + Position, source, size);
        Position += size;
        Page->Dirty = true;
    }

    void WriteLength(int32_t value) {
        uint8_t bytes[4];
        PutLE32(bytes, value);
        WriteBytes(bytes, 4);
    }

    TIndexFile& File;
    TIndexCursor& Cursor;
    uint8_t SavedIndex;
    TPage* Page = nullptr;
    int64_t Position = 0;
    int32_t Visited = 0;
};

void ReadSet(TChainWalk& walk, TCharSet& set) {
    int32_t length = walk.ReadLength();
    if (length < 0 || length > static_cast<int32_t>(PageDataSize)) walk.Corrupt();
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    walk.ReadBytes(bytes.data(), static_cast<uint32_t>(length));
    set.fill(0);
    if (!bytes.empty()) std::memcpy(set.data(), bytes.data(), std::min<size_t>(bytes.size(), set.size()));
}

}  // namespace

bool ReadTextIndexParams(TIndexFile& file, TIndexCursor& cursor, TTextIndexParams& params) {
    TChainWalk walk(file, cursor);
    int32_t root = file.GetDataRootPage(SysTextIndex);
    if (root == 0) return false;
    walk.Enter(root);
    TTextIndexParams read;
    int32_t count = walk.ReadLength();
    if (count < 0) walk.Corrupt();
    for (int32_t i = 0; i < count; ++i) {
        int32_t length = walk.ReadLength();
        if (length < 0 || length > static_cast<int32_t>(PageDataSize)) walk.Corrupt();
        std::string word(static_cast<size_t>(length), '\0');
        walk.ReadBytes(word.data(), static_cast<uint32_t>(length));
        read.StopWords.push_back(std::move(word));
    }
    ReadSet(walk, read.SpaceChars);
    ReadSet(walk, read.IncludeChars);
    params = std::move(read);
    return true;
}

void WriteTextIndexParams(TIndexFile& file, TIndexCursor& cursor, const TTextIndexParams& params) {
    TChainWalk walk(file, cursor);
    int32_t root = file.GetDataRootPage(SysTextIndex);
    if (root != 0) {
        walk.Enter(root);
    } else {
        walk.NewChainPage(walk.Page);
        file.SetDataRootPage(SysTextIndex, walk.Page->PageNo);
    }
    walk.WriteLength(static_cast<int32_t>(params.StopWords.size()));
    for (const std::string& word : params.StopWords) {
        auto length = static_cast<uint32_t>(std::min<size_t>(word.size(), MaxStopWordLength));
        walk.WriteLength(static_cast<int32_t>(length));
        walk.WriteBytes(word.data(), length);
    }
    walk.WriteLength(32);
    walk.WriteBytes(params.SpaceChars.data(), 32);
    walk.WriteLength(32);
    walk.WriteBytes(params.IncludeChars.data(), 32);
}

}  // namespace dbengine

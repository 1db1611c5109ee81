#pragma once
// The ZIP reader's own small library: an owning object list and a sorted variant with a
// comparison hook, a registry that lets such lists save and load their objects by class name, a
// buffered stream with put-back over another stream, a buffered file stream, and a few path,
// number and percentage routines.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Persistent.h"
#include "framework/core/Stream.h"

namespace codecs {

using framework::Exception;
KORVANE_DECLARE_EXCEPTION(EClassNotFound, Exception);

class TObjectList : public framework::TPersistent {
public:
    TObjectList() = default;
    ~TObjectList() override;

    int Count() const { return FCount; }
    int Capacity() const { return static_cast<int>(FItems.size()); }
    framework::TObject* Get(int index) const;
    void SetCapacity(int n);
    void SetCount(int n);
    void FreeAll();

    [[noreturn]] virtual void Error(int index) const;
    virtual void Grow();
    virtual void Put(int index, framework::TObject* item);
    virtual void FreeItem(framework::TObject* item);
    virtual int Add(framework::TObject* item);
    // Sets Count and Capacity to 0; the items are not freed.
    virtual void Clear();
    virtual int IndexOf(framework::TObject* item) const;
    virtual void Insert(int index, framework::TObject* item);
    virtual void LoadFromStream(framework::TStream* stream);
    virtual void SaveToStream(framework::TStream* stream);
    virtual framework::TObject* First() const;
    virtual framework::TObject* Last() const;
    // The item before (direction < 0) or after the given one; null past either end.
    virtual framework::TObject* Neighbour(framework::TObject* item, int direction) const;

    // Name of the binary property under which a form stores the list (through SaveToStream and
    // LoadFromStream); it is written only when the list holds items.
    static constexpr const char* kObjectContainer = "ObjectContainer";
    bool WritesObjectContainer() const { return FCount > 0; }

    bool OwnsObjects = true;

protected:
    void LoadItems(framework::TStream* stream);
    void SaveItems(framework::TStream* stream);
    std::vector<framework::TObject*> FItems;
    int FCount = 0;
};

enum : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TSortedObjectList : public TObjectList {
public:
    uint8_t Duplicates = dupIgnore;

    virtual const void* KeyOf(framework::TObject* item) const { return item; }
    // Negative when the list item sorts before the key.
    virtual int Compare(const void* itemKey, const void* key) const = 0;
    // Binary search; index is the insertion point (the first equal item with dupAccept).
    virtual bool Find(const void* key, int& index) const;

    void Put(int index, framework::TObject* item) override;
    int Add(framework::TObject* item) override;
    int IndexOf(framework::TObject* item) const override;
    // Places the item where Find puts it; an equal item makes dupIgnore drop the new item (left to
    // the caller) and dupError raise EListError "Duplicate Object index".
    void Insert(int index, framework::TObject* item) override;
    void LoadFromStream(framework::TStream* stream) override;
    void SaveToStream(framework::TStream* stream) override;
};

// Persistence of list items by class name.
struct TClassRegistration {
    std::function<framework::TObject*()> Create;
    std::function<void(framework::TObject*, framework::TStream*)> Load;
    std::function<void(framework::TObject*, framework::TStream*)> Save;
};
void RegisterListClass(const std::string& className, TClassRegistration registration);

// A buffered stream over another stream (not owned), with put-back of read bytes.
class TS_BufferStream : public framework::TStream {
public:
    TS_BufferStream(framework::TStream* stream, int32_t bufferSize);
    ~TS_BufferStream() override;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, framework::TSeekOrigin Origin) override;

    virtual bool FillBuffer();
    virtual bool FlushBuffer();
    // Steps back one byte and stores it there; raises EStreamError "Putback overflow" at the
    // buffer's start.
    virtual void PutBack(uint8_t byte);
    virtual void DoFillBuffer() {}
    virtual void DoFlushBuffer() {}

    std::function<void()> OnFillBuffer;
    std::function<void()> OnFlushBuffer;
    bool FlushToDisk = false;

protected:
    framework::TStream* FStream;
    std::vector<uint8_t> FBuffer;
    int32_t FCurrent = 0;  // next byte to read, or next free byte while writing
    int32_t FEnd = 0;      // end of read-ahead data
    uint8_t FState = 0;    // 0 idle, 1 reading, 2 writing
    bool FWritten = false;
};

class TLFNFileStream : public TS_BufferStream {
public:
    TLFNFileStream(const std::string& fileName, int32_t bufferSize, bool flushToDisk, uint16_t mode);
    ~TLFNFileStream() override;
    intptr_t Handle() const { return FFile->Handle(); }
    framework::TFileStream* File() const { return FFile.get(); }

private:
    std::unique_ptr<framework::TFileStream> FFile;
};

int32_t Percentage(int32_t total, int32_t part);
int64_t Percentage64(int64_t total, int64_t part);
void SlashesToBackslashes(std::string& text);
std::string LeftStr(const std::string& text, int n);
std::string RightStr(const std::string& text, int n);
bool ForceDirs(const std::string& path);
bool FileExistsCheck(const std::string& name);
bool DirExists(const std::string& name);
std::string CurrentDir();
std::string VolumeLabelOf(const std::string& root);

}  // namespace codecs

#pragma once
// Padding, searching, trimming and digit grouping on short strings (at most 255 characters), and
// the base of the thread-safe containers of untyped data pointers (TUtNode, TUtContainer).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "framework/core/Filer.h"
#include "framework/core/Persistent.h"
#include "framework/core/SyncObjects.h"
#include "framework/core/Component.h"

namespace sysutil {

// The base of the shell components: a read-only library version text.
class TShComponent : public framework::TComponent {
public:
    using TComponent::TComponent;
    std::string Version() const { return "1.02"; }
    // The version cannot be set: the value is ignored.
    void SetVersion(const std::string&) {}
};

// A shell component that knows the version of the system's shell (4.72, 6.0, ...), read when it
// is created; the shell views compare it with the version they need.
class TShShellComponent : public TShComponent {
public:
    explicit TShShellComponent(framework::TComponent* AOwner);
    double ShellVersion() const { return FShellVersion; }

private:
    double FShellVersion;
};

// The text right-aligned in length characters (at most 255) filled with c; unchanged when it is
// already that long.
std::string PadLeftWith(std::string_view text, char c, size_t length);
std::string PadLeft(std::string_view text, size_t length);

// True and the 1-based position of the first c; false and 0 when absent.
bool FindChar(std::string_view text, char c, size_t& position);

std::string IntText(int32_t value);

// The text without leading and trailing characters of codes 0 to 32.
std::string TrimBlanks(std::string_view text);

// Decimal digits with separator before every group of three from the right, "-" in front of a
// negative value ("1,234,567", "-1.234").
std::string GroupDigits(int32_t value, char separator);
std::string GroupDigitsComma(int32_t value);

// ---- Containers ----------------------------------------------------------------------------------

// A node holds one data pointer, owned according to its container's disposal rule. A container
// makes its nodes from its node class (a registered class reference) and then sets Data.
class TUtNode : public framework::TPersistent {
public:
    TUtNode() = default;
    void* Data = nullptr;
};

class TUtContainer;

using TUtCompareDataFunc = int32_t (*)(void* first, void* second);
using TUtDisposeDataFunc = void (*)(void* data);
using TUtLoadDataFunc = void* (*)(framework::TReader* reader);
using TUtStoreDataFunc = void (*)(framework::TWriter* writer, void* data);
using TUtCompareEvent = std::function<int32_t(framework::TObject* sender, void* first, void* second)>;
using TUtDisposeDataEvent = std::function<void(framework::TObject* sender, void* data)>;
using TUtLoadDataEvent = std::function<void*(framework::TObject* sender, framework::TReader* reader)>;
using TUtStoreDataEvent =
    std::function<void(framework::TObject* sender, framework::TWriter* writer, void* data)>;
// Returns false to stop an iteration.
using TUtIterator = std::function<bool(TUtContainer* container, void* data, void* userValue)>;

// The base of the containers. Every operation on the nodes holds the container's own re-entrant
// lock, so one container may be shared by threads and a callback may call back into it on the
// same thread. Failures raise EShContainerError (ShConst.h).
class TUtContainer : public framework::TPersistent {
public:
    explicit TUtContainer(framework::TPersistentClass nodeClass);
    // Descendants clear their nodes in their own destructors (and raise NodeGuard).
    ~TUtContainer() override;

    framework::TPersistentClass NodeClass() const { return FNodeClass; }
    int32_t Count() const { return FCount; }

    // The data hooks; a bound event takes precedence over the plain function.
    TUtCompareDataFunc CompareFunc;
    TUtLoadDataFunc LoadFunc = nullptr;
    TUtStoreDataFunc StoreFunc = nullptr;
    TUtCompareEvent OnCompare;
    TUtDisposeDataEvent OnDisposeData;
    TUtLoadDataEvent OnLoadData;
    TUtStoreDataEvent OnStoreData;
    TUtDisposeDataFunc DisposeFunc() const { return FDisposeFunc; }
    void SetDisposeFunc(TUtDisposeDataFunc f) { FDisposeFunc = f; }

    // Walks the data in the container's order (nothing in the base).
    virtual void Iterate(const TUtIterator& callback, void* userValue);
    // Whether the container holds plain data pointers that AssignFrom can copy.
    virtual bool StoresPointers() const { return false; }
    virtual bool StoresUniformData() const { return false; }
    virtual void Clear() = 0;

    virtual int32_t DoCompare(void* first, void* second);
    virtual void DoDisposeData(void* data);
    // Code 60 when neither the event nor the function is set.
    virtual void* DoLoadData(framework::TReader* reader);
    // Code 59 when neither the event nor the function is set.
    virtual void DoStoreData(framework::TWriter* writer, void* data);

    // Clears the container and appends every data pointer of a source that stores pointers
    // through add; false when the source is not such a container.
    bool AssignFrom(framework::TPersistent* source, const std::function<void(TUtContainer*, void*)>& add);

    virtual void LoadFromStream(framework::TStream* stream) = 0;
    virtual void StoreToStream(framework::TStream* stream) = 0;
    // The file is opened for reading with deny-write sharing.
    void LoadFromFile(const std::string& fileName);
    void StoreToFile(const std::string& fileName);

    void Lock() { FLock.Acquire(); }
    void Unlock() { FLock.Release(); }

protected:
    // A new node of the node class carrying data.
    TUtNode* NewNode(void* data);
    // A class name read from a stream, looked up in the class registry; unregistered raises the
    // code given (57 for containers, 58 for nodes) with the name.
    static framework::TPersistentClass ReadStreamClass(framework::TReader& reader, int32_t unregisteredCode);

    framework::TPersistentClass FNodeClass;
    int32_t FCount = 0;
    int32_t NodeGuard = 0;

private:
    TUtDisposeDataFunc FDisposeFunc = nullptr;
    framework::TCriticalSection FLock;
};

// Holds a container's lock for a scope.
class TUtContainerLock {
public:
    explicit TUtContainerLock(TUtContainer* container) : FContainer(container) { FContainer->Lock(); }
    ~TUtContainerLock() { FContainer->Unlock(); }
    TUtContainerLock(const TUtContainerLock&) = delete;
    TUtContainerLock& operator=(const TUtContainerLock&) = delete;

private:
    TUtContainer* FContainer;
};

// Registers the container and node classes with the class library (done by every container's
// constructor; needed before a stream can name them).
void RegisterContainerClasses();

}  // namespace sysutil

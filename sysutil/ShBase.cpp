#include "sysutil/ShBase.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include "framework/core/Stream.h"
#include "sysutil/ShConst.h"
#include "sysutil/ShDQue.h"
#include "sysutil/ShDict.h"
#include "sysutil/ShList.h"

#include "platform/Shell.h"

namespace sysutil {

namespace {
constexpr size_t kShortMax = 255;
}

TShShellComponent::TShShellComponent(framework::TComponent* AOwner)
    : TShComponent(AOwner), FShellVersion(platform::SHELL_VERSION) {}

std::string PadLeftWith(std::string_view text, char c, size_t length) {
    if (length > kShortMax) length = kShortMax;
    std::string s(text.substr(0, kShortMax));
    if (length <= s.size()) return s;
    return std::string(length - s.size(), c) + s;
}

std::string PadLeft(std::string_view text, size_t length) {
    return PadLeftWith(text, ' ', length);
}

bool FindChar(std::string_view text, char c, size_t& position) {
    size_t i = text.find(c);
    position = i == std::string_view::npos ? 0 : i + 1;
    return position != 0;
}

std::string IntText(int32_t value) {
    return std::to_string(value);
}

std::string TrimBlanks(std::string_view text) {
    auto low = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t a = 0, b = text.size();
    while (a < b && low(text[a])) ++a;
    while (b > a && low(text[b - 1])) --b;
    return std::string(text.substr(a, b - a));
}

std::string GroupDigits(int32_t value, char separator) {
    // The magnitude in 64 bits: the most negative 32-bit value has no 32-bit opposite.
    std::string digits = std::to_string(std::llabs(static_cast<long long>(value)));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string GroupDigitsComma(int32_t value) {
    return GroupDigits(value, ',');
}

// ---- Containers ----------------------------------------------------------------------------------

namespace {

constexpr int32_t kCompareNotSet = 51;
constexpr int32_t kStoreDataUnassigned = 59;
constexpr int32_t kLoadDataUnassigned = 60;

int32_t CompareNotSet(void*, void*) {
    RaiseContainerError(kCompareNotSet);
}

}  // namespace

void RegisterContainerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        framework::RegisterClass<TUtNode>();
        framework::RegisterClass<TUtListNode>();
        framework::RegisterClass<TUtDictNode>();
        framework::RegisterClass<TUtList>();
        framework::RegisterClass<TUtDQue>();
        framework::RegisterClass<TUtDictionary>();
    });
}

TUtContainer::TUtContainer(framework::TPersistentClass nodeClass)
    : CompareFunc(CompareNotSet), FNodeClass(nodeClass) {
    RegisterContainerClasses();
}

// The nodes are gone by now: a base destructor cannot reach the descendant's Clear, so every
// descendant clears in its own destructor and raises NodeGuard.
TUtContainer::~TUtContainer() = default;

void TUtContainer::Iterate(const TUtIterator&, void*) {}

int32_t TUtContainer::DoCompare(void* first, void* second) {
    if (OnCompare) return OnCompare(this, first, second);
    if (CompareFunc != nullptr) return CompareFunc(first, second);
    return 0;
}

void TUtContainer::DoDisposeData(void* data) {
    if (OnDisposeData)
        OnDisposeData(this, data);
    else if (FDisposeFunc != nullptr)
        FDisposeFunc(data);
}

void* TUtContainer::DoLoadData(framework::TReader* reader) {
    if (OnLoadData) return OnLoadData(this, reader);
    if (LoadFunc == nullptr) RaiseContainerError(kLoadDataUnassigned);
    return LoadFunc(reader);
}

void TUtContainer::DoStoreData(framework::TWriter* writer, void* data) {
    if (OnStoreData)
        OnStoreData(this, writer, data);
    else if (StoreFunc != nullptr)
        StoreFunc(writer, data);
    else
        RaiseContainerError(kStoreDataUnassigned);
}

bool TUtContainer::AssignFrom(framework::TPersistent* source,
                              const std::function<void(TUtContainer*, void*)>& add) {
    auto* other = dynamic_cast<TUtContainer*>(source);
    if (other == nullptr || !other->StoresPointers()) return false;
    TUtContainerLock guard(this);
    Clear();
    other->Iterate(
        [&](TUtContainer*, void* data, void*) {
            add(this, data);
            return true;
        },
        nullptr);
    return true;
}

void TUtContainer::LoadFromFile(const std::string& fileName) {
    framework::TFileStream stream(fileName, framework::fmOpenRead | framework::fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TUtContainer::StoreToFile(const std::string& fileName) {
    framework::TFileStream stream(fileName, framework::fmCreate);
    StoreToStream(&stream);
}

framework::TPersistentClass TUtContainer::ReadStreamClass(framework::TReader& reader,
                                                          int32_t unregisteredCode) {
    const std::string name = reader.ReadString();
    const framework::TPersistentClass found = framework::GetClass(name);
    if (found == nullptr) RaiseContainerErrorFmt(unregisteredCode, {framework::TVarRec(name)});
    return found;
}

TUtNode* TUtContainer::NewNode(void* data) {
    std::unique_ptr<framework::TPersistent> made(FNodeClass != nullptr ? FNodeClass->NewInstance(nullptr)
                                                                       : nullptr);
    auto* node = dynamic_cast<TUtNode*>(made.get());
    if (node == nullptr) RaiseContainerError(52);
    made.release();
    node->Data = data;
    return node;
}

}  // namespace sysutil

// Container streams from outside: loading a list, a queue or a dictionary must raise the
// container error or the class library's read error and never crash, hang, leak a loaded data
// pointer or allocate ahead of the input; a container that loads well stores the same items again
// and loads them back alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "sysutil/ShConst.h"
#include "sysutil/ShDQue.h"
#include "sysutil/ShDict.h"
#include "sysutil/ShList.h"

using namespace sysutil;

namespace {

// Data items are heap strings, so that a leaked or doubly disposed item shows under the sanitizers.
void* LoadText(framework::TReader* reader) {
    return new std::string(reader->ReadString());
}
void StoreText(framework::TWriter* writer, void* data) {
    writer->WriteString(*static_cast<std::string*>(data));
}
void DisposeText(void* data) {
    delete static_cast<std::string*>(data);
}

template <typename C>
void Prepare(C& c) {
    c.LoadFunc = LoadText;
    c.StoreFunc = StoreText;
    c.SetDisposeFunc(DisposeText);
}

template <typename C, typename Make>
void RoundTrip(const uint8_t* data, size_t size, Make make) {
    C c = make();
    Prepare(c);
    framework::TMemoryStream in;
    in.WriteBuffer(data, static_cast<int32_t>(size));
    in.SetPosition(0);
    try {
        c.LoadFromStream(&in);
    } catch (const EShContainerError&) {
        if (c.Count() != 0) std::abort();
        return;
    } catch (const framework::EReadError&) {
        if (c.Count() != 0) std::abort();
        return;
    }
    framework::TMemoryStream out;
    c.StoreToStream(&out);
    out.SetPosition(0);
    C again = make();
    Prepare(again);
    again.LoadFromStream(&out);
    if (again.Count() != c.Count()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    RoundTrip<TUtList>(data, size, [] { return TUtList(); });
    RoundTrip<TUtDQue>(data, size, [] { return TUtDQue(); });
    RoundTrip<TUtDictionary>(data, size, [] { return TUtDictionary(250); });
    return 0;
}

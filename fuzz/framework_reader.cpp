// Component streams from outside: reading must raise EReadError (or EClassNotFound for a class
// nobody registered) and never crash, hang or allocate ahead of the input; a component that reads
// well writes the same bytes again after a second round.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/core/Filer.h"

using namespace framework;

namespace {

// A component storing one property of each value kind, with children of its own class.
class TFuzzed : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<std::string> Lines;
    std::string Blob;
    long double Extended = 0;
    int64_t Number = 0;
    uint32_t Flags = 0;
    std::string Ident;
    std::u16string Wide;
    bool HasValues = false;

    void DefineProperties(TFiler* Filer) override {
        TComponent::DefineProperties(Filer);
        Filer->DefineProperty(
            "Lines",
            [this](TReader* R) {
                Lines.clear();
                R->ReadListBegin();
                while (!R->EndOfList()) Lines.push_back(R->ReadString());
                R->ReadListEnd();
            },
            [this](TWriter* W) {
                W->WriteListBegin();
                for (auto& l : Lines) W->WriteString(l);
                W->WriteListEnd();
            },
            !Lines.empty());
        Filer->DefineBinaryProperty(
            "Blob",
            [this](TStream* S) {
                Blob.resize(static_cast<size_t>(S->Size()));
                S->ReadBuffer(Blob.data(), static_cast<int32_t>(Blob.size()));
            },
            [this](TStream* S) { S->WriteBuffer(Blob.data(), static_cast<int32_t>(Blob.size())); },
            !Blob.empty());
        Filer->DefineProperty(
            "Values",
            [this](TReader* R) {
                HasValues = true;
                R->ReadListBegin();
                Extended = R->ReadFloat();
                Number = R->ReadInt64();
                Flags = R->ReadSet({"a", "b", "c", "d"});
                Ident = R->ReadIdent();
                Wide = R->ReadWideString();
                R->ReadListEnd();
            },
            [this](TWriter* W) {
                W->WriteListBegin();
                W->WriteFloat(Extended);
                W->WriteInteger(Number);
                W->WriteSet(Flags, {"a", "b", "c", "d"});
                W->WriteIdent(Ident);
                W->WriteWideString(Wide);
                W->WriteListEnd();
            },
            HasValues);
    }
    void GetChildren(const TGetChildProc& Proc, TComponent*) override {
        for (int i = 0; i < ComponentCount(); ++i) Proc(Components(i));
    }
};

std::string WriteBytes(TComponent* Root) {
    TMemoryStream s;
    TWriter w(&s, 64);
    w.WriteRootComponent(Root);
    return std::string(s.Memory(), static_cast<size_t>(s.Size()));
}

TComponent* ReadBytes(const std::string& Bytes, int BufSize) {
    TMemoryStream s;
    s.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    s.SetPosition(0);
    TReader r(&s, BufSize);
    return r.ReadRootComponent(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = [] {
        RegisterClass<TFuzzed>();
        return true;
    }();
    (void)registered;
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        if (data[0] & 1) {
            // Loose values: skip them one by one up to the end.
            TMemoryStream s;
            s.WriteBuffer(input.data(), static_cast<int32_t>(input.size()));
            s.SetPosition(0);
            TReader r(&s, 16 + data[0]);
            while (r.Position() < s.Size()) r.SkipValue();
        } else {
            TComponentPtr<TComponent> root(ReadBytes(input, 16 + data[0]));
            const std::string once = WriteBytes(root.get());
            TComponentPtr<TComponent> again(ReadBytes(once, 1024));
            if (WriteBytes(again.get()) != once) std::abort();
        }
    } catch (const EReadError&) {
    } catch (const EFilerError&) {
    }
    return 0;
}

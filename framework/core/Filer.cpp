#include "framework/core/Filer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>

#include "framework/core/Extended80.h"
#include "platform/CodePage.h"

namespace framework {

namespace {

const char* const SInvalidPropertyValue = "Invalid property value";
const char* const SInvalidImage = "Invalid stream format";
const char* const SReadError = "Stream read error";

// Lists, collections and components nest at most this deep in a stream; deeper input is refused
// rather than recursed into.
constexpr int kMaxNesting = 256;
// Values with a length are read in pieces of this size, so that a forged length costs no more
// memory than the bytes that really follow it.
constexpr int32_t kReadChunk = 64 * 1024;

[[noreturn]] void InvalidValue() {
    throw EReadError(SInvalidPropertyValue);
}

struct TDepthGuard {
    int& Depth;
    explicit TDepthGuard(int& d) : Depth(d) {
        if (++Depth > kMaxNesting) {
            --Depth;
            throw EReadError(SInvalidImage);
        }
    }
    ~TDepthGuard() { --Depth; }
};

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
std::vector<TPersistentClass>& ClassList() {
    static std::vector<TPersistentClass> list;
    return list;
}

// ---- UTF-16 and UTF-8 ----

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            r += '?';  // a lone surrogate
            continue;
        }
        if (c < 0x80) {
            r += static_cast<char>(c);
        } else if (c < 0x800) {
            r += static_cast<char>(0xC0 | (c >> 6));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            r += static_cast<char>(0xE0 | (c >> 12));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            r += static_cast<char>(0xF0 | (c >> 18));
            r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return r;
}

// Windows-1252 text as UTF-16 (every character of the code page is in the basic plane).
std::u16string AnsiToUtf16(const std::string& ansi) {
    std::string u = platform::AnsiToUtf8(ansi);
    std::u16string r;
    for (size_t i = 0; i < u.size();) {
        auto b = static_cast<unsigned char>(u[i]);
        uint32_t c;
        int n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else {
            c = b & 0x0F;
            n = 3;
        }
        for (int k = 1; k < n && i + static_cast<size_t>(k) < u.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(u[i + static_cast<size_t>(k)]) & 0x3F);
        r += static_cast<char16_t>(c);
        i += static_cast<size_t>(n);
    }
    return r;
}

void PutLE(std::vector<char>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint64_t GetLE(const unsigned char* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

// ---- Class registry ----------------------------------------------------------------------------

bool TPersistentClassRec::InheritsFrom(const TPersistentClassRec* Parent) const {
    if (Parent == nullptr) return false;
    if (Parent == this || *Parent->FType == *FType) return true;
    return Parent->FCatches(FThrow);
}

void RegisterClass(TPersistentClass AClass) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (TPersistentClass c : ClassList()) {
        if (!SameText(c->ClassName(), AClass->ClassName())) continue;
        if (c == AClass || c->Type() == AClass->Type()) return;
        throw EFilerError("A class named " + AClass->ClassName() + " already exists");
    }
    ClassList().push_back(AClass);
}

TPersistentClass GetClass(const std::string& ClassName) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (TPersistentClass c : ClassList())
        if (SameText(c->ClassName(), ClassName)) return c;
    return nullptr;
}

TPersistentClass FindClass(const std::string& ClassName) {
    TPersistentClass c = GetClass(ClassName);
    if (c == nullptr) throw EClassNotFound("Class " + ClassName + " not found");
    return c;
}

// ---- TFiler ------------------------------------------------------------------------------------

TFiler::TFiler(TStream* Stream, int BufSize)
    : FStream(Stream), FBuffer(static_cast<size_t>(std::max(BufSize, 16))) {}

// ---- TWriter -----------------------------------------------------------------------------------

TWriter::TWriter(TStream* Stream, int BufSize) : TFiler(Stream, BufSize) {}

TWriter::~TWriter() {
    try {
        FlushBuffer();
    } catch (...) {
        // Destructors do not throw; FlushBuffer is there for callers that need the error.
    }
}

void TWriter::FlushBuffer() {
    if (FBufPos > 0) {
        int32_t n = FBufPos;
        FBufPos = 0;
        FStream->WriteBuffer(FBuffer.data(), n);
    }
}

void TWriter::Write(const void* Buf, int32_t Count) {
    if (Count <= 0) return;
    if (FBufPos + Count > BufSize()) FlushBuffer();
    if (Count >= BufSize()) {
        FStream->WriteBuffer(Buf, Count);
        return;
    }
    std::memcpy(FBuffer.data() + FBufPos, Buf, static_cast<size_t>(Count));
    FBufPos += Count;
}

int64_t TWriter::Position() const {
    return FStream->Position() + FBufPos;
}

void TWriter::WriteValue(TValueType Value) {
    auto b = static_cast<uint8_t>(Value);
    Write(&b, 1);
}

void TWriter::WriteInteger(int32_t Value) {
    std::vector<char> out;
    if (Value >= -128 && Value <= 127) {
        out.push_back(static_cast<char>(vaInt8));
        PutLE(out, static_cast<uint32_t>(Value), 1);
    } else if (Value >= -32768 && Value <= 32767) {
        out.push_back(static_cast<char>(vaInt16));
        PutLE(out, static_cast<uint32_t>(Value), 2);
    } else {
        out.push_back(static_cast<char>(vaInt32));
        PutLE(out, static_cast<uint32_t>(Value), 4);
    }
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteInteger(int64_t Value) {
    if (Value >= std::numeric_limits<int32_t>::min() && Value <= std::numeric_limits<int32_t>::max()) {
        WriteInteger(static_cast<int32_t>(Value));
        return;
    }
    std::vector<char> out{static_cast<char>(vaInt64)};
    PutLE(out, static_cast<uint64_t>(Value), 8);
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteFloat(long double Value) {
    uint8_t bytes[ExtendedSize];
    ExtendedToBytes(Value, bytes);
    WriteValue(vaExtended);
    Write(bytes, ExtendedSize);
}

void TWriter::WriteSingle(float Value) {
    uint32_t bits;
    std::memcpy(&bits, &Value, 4);
    std::vector<char> out{static_cast<char>(vaSingle)};
    PutLE(out, bits, 4);
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteCurrency(Currency Value) {
    std::vector<char> out{static_cast<char>(vaCurrency)};
    PutLE(out, static_cast<uint64_t>(Value.Value), 8);
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteDate(double Value) {
    uint64_t bits;
    std::memcpy(&bits, &Value, 8);
    std::vector<char> out{static_cast<char>(vaDate)};
    PutLE(out, bits, 8);
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteString(const std::string& Value) {
    if (Value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EWriteError("Stream write error");
    std::vector<char> out;
    if (Value.size() <= 255) {
        out.push_back(static_cast<char>(vaString));
        PutLE(out, Value.size(), 1);
    } else {
        out.push_back(static_cast<char>(vaLString));
        PutLE(out, Value.size(), 4);
    }
    Write(out.data(), static_cast<int32_t>(out.size()));
    Write(Value.data(), static_cast<int32_t>(Value.size()));
}

void TWriter::WriteWideString(const std::u16string& Value) {
    if (Value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2))
        throw EWriteError("Stream write error");
    std::vector<char> out{static_cast<char>(vaWString)};
    PutLE(out, Value.size(), 4);
    for (char16_t c : Value) PutLE(out, c, 2);
    Write(out.data(), static_cast<int32_t>(out.size()));
}

void TWriter::WriteIdent(const std::string& Ident) {
    if (SameText(Ident, "False")) {
        WriteValue(vaFalse);
    } else if (SameText(Ident, "True")) {
        WriteValue(vaTrue);
    } else if (SameText(Ident, "nil")) {
        WriteValue(vaNil);
    } else if (SameText(Ident, "Null")) {
        WriteValue(vaNull);
    } else {
        WriteValue(vaIdent);
        WriteStr(Ident);
    }
}

void TWriter::WriteSet(uint32_t Value, const std::vector<std::string>& Names) {
    WriteValue(vaSet);
    for (size_t i = 0; i < Names.size() && i < 32; ++i)
        if (Value & (uint32_t{1} << i)) WriteStr(Names[i]);
    WriteStr("");
}

void TWriter::WriteBinary(const TStreamProc& WriteData) {
    TMemoryStream data;
    if (WriteData) WriteData(&data);
    std::vector<char> out{static_cast<char>(vaBinary)};
    PutLE(out, static_cast<uint64_t>(data.Size()), 4);
    Write(out.data(), static_cast<int32_t>(out.size()));
    Write(data.Memory(), static_cast<int32_t>(data.Size()));
}

void TWriter::WriteStr(const std::string& Value) {
    auto n = static_cast<uint8_t>(std::min<size_t>(Value.size(), 255));
    Write(&n, 1);
    Write(Value.data(), n);
}

void TWriter::WriteCollection(TCollection* Value) {
    WriteValue(vaCollection);
    if (Value != nullptr)
        for (int i = 0; i < Value->Count(); ++i) {
            WriteListBegin();
            WriteProperties(Value->Items(i));
            WriteListEnd();
        }
    WriteListEnd();
}

void TWriter::WriteSignature() {
    Write(FilerSignature, 4);
}

void TWriter::WritePropName(const std::string& Name) {
    WriteStr(Name);
}

void TWriter::DefineProperty(const std::string& Name, const TReaderProc&, const TWriterProc& WriteData,
                             bool HasData) {
    if (!HasData || !WriteData) return;
    WritePropName(Name);
    WriteData(this);
}

void TWriter::DefineBinaryProperty(const std::string& Name, const TStreamProc&, const TStreamProc& WriteData,
                                   bool HasData) {
    if (!HasData || !WriteData) return;
    WritePropName(Name);
    WriteBinary(WriteData);
}

void TWriter::WriteProperties(TPersistent* Instance) {
    Instance->DefineProperties(this);
}

void TWriter::WriteData(TComponent* Instance) {
    WriteProperties(Instance);
    WriteListEnd();
    Instance->GetChildren([this](TComponent* Child) { WriteComponent(Child); }, FRoot);
    WriteListEnd();
}

void TWriter::WriteComponent(TComponent* Component) {
    WriteStr(Component->ClassName());
    WriteStr(Component->Name());
    Component->WriteState(this);
}

void TWriter::WriteRootComponent(TComponent* Root) {
    FRoot = Root;
    WriteSignature();
    WriteComponent(Root);
    FlushBuffer();
}

// ---- TReader -----------------------------------------------------------------------------------

TReader::TReader(TStream* Stream, int BufSize) : TFiler(Stream, BufSize) {}

TReader::~TReader() {
    try {
        FlushBuffer();
    } catch (...) {
        // The stream is left where the buffer stopped; nothing else to undo.
    }
}

void TReader::FlushBuffer() {
    if (FBufEnd > FBufPos) FStream->Seek(FBufPos - FBufEnd, soFromCurrent);
    FBufPos = FBufEnd = 0;
}

int64_t TReader::Position() const {
    return FStream->Position() - (FBufEnd - FBufPos);
}

void TReader::Refill() {
    FBufPos = 0;
    FBufEnd = std::max<int32_t>(0, FStream->Read(FBuffer.data(), BufSize()));
    if (FBufEnd == 0) throw EReadError(SReadError);
}

void TReader::Read(void* Buf, int32_t Count) {
    auto* out = static_cast<char*>(Buf);
    while (Count > 0) {
        if (FBufPos >= FBufEnd) Refill();
        int32_t n = std::min(Count, FBufEnd - FBufPos);
        std::memcpy(out, FBuffer.data() + FBufPos, static_cast<size_t>(n));
        FBufPos += n;
        out += n;
        Count -= n;
    }
}

TValueType TReader::ReadValue() {
    uint8_t b;
    Read(&b, 1);
    if (b > vaUTF8String) InvalidValue();
    return static_cast<TValueType>(b);
}

bool TReader::EndOfList() {
    uint8_t b;
    Read(&b, 1);
    --FBufPos;  // the byte just read is still in the buffer
    return b == vaNull;
}

TValueType TReader::NextValue() {
    TValueType v = ReadValue();
    --FBufPos;  // the byte just read is still in the buffer
    return v;
}

void TReader::CheckValue(TValueType Value) {
    if (ReadValue() != Value) InvalidValue();
}

int32_t TReader::ReadLength() {
    unsigned char b[4];
    Read(b, 4);
    auto n = static_cast<int32_t>(static_cast<uint32_t>(GetLE(b, 4)));
    if (n < 0) InvalidValue();
    return n;
}

std::string TReader::ReadBytes(int64_t Count) {
    std::string r;
    while (Count > 0) {
        auto n = static_cast<int32_t>(std::min<int64_t>(Count, kReadChunk));
        size_t at = r.size();
        r.resize(at + static_cast<size_t>(n));
        Read(r.data() + at, n);
        Count -= n;
    }
    return r;
}

void TReader::ReadBytesInto(TStream* Dest, int64_t Count) {
    std::vector<char> chunk(static_cast<size_t>(std::min<int64_t>(Count, kReadChunk)));
    while (Count > 0) {
        auto n = static_cast<int32_t>(std::min<int64_t>(Count, kReadChunk));
        Read(chunk.data(), n);
        if (Dest != nullptr) Dest->WriteBuffer(chunk.data(), n);
        Count -= n;
    }
}

int64_t TReader::ReadIntegerValue(TValueType Type) {
    unsigned char b[8];
    switch (Type) {
        case vaInt8:
            Read(b, 1);
            return static_cast<int8_t>(b[0]);
        case vaInt16:
            Read(b, 2);
            return static_cast<int16_t>(static_cast<uint16_t>(GetLE(b, 2)));
        case vaInt32:
            Read(b, 4);
            return static_cast<int32_t>(static_cast<uint32_t>(GetLE(b, 4)));
        case vaInt64:
            Read(b, 8);
            return static_cast<int64_t>(GetLE(b, 8));
        default:
            InvalidValue();
    }
}

bool TReader::ReadBoolean() {
    TValueType v = ReadValue();
    if (v == vaTrue) return true;
    if (v == vaFalse) return false;
    InvalidValue();
}

char TReader::ReadChar() {
    std::string s = ReadString();
    if (s.size() != 1) InvalidValue();
    return s[0];
}

int32_t TReader::ReadInteger() {
    int64_t v = ReadInt64();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) InvalidValue();
    return static_cast<int32_t>(v);
}

int64_t TReader::ReadInt64() {
    return ReadIntegerValue(ReadValue());
}

long double TReader::ReadExtendedBits() {
    uint8_t bytes[ExtendedSize];
    Read(bytes, ExtendedSize);
    return BytesToExtended(bytes);
}

long double TReader::ReadFloat() {
    TValueType t = ReadValue();
    switch (t) {
        case vaExtended:
            return ReadExtendedBits();
        case vaSingle: {
            --FBufPos;
            return ReadSingle();
        }
        case vaDate: {
            --FBufPos;
            return ReadDate();
        }
        default:
            return static_cast<long double>(ReadIntegerValue(t));
    }
}

float TReader::ReadSingle() {
    TValueType t = ReadValue();
    if (t != vaSingle) return static_cast<float>(ReadIntegerValue(t));
    unsigned char b[4];
    Read(b, 4);
    auto bits = static_cast<uint32_t>(GetLE(b, 4));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

Currency TReader::ReadCurrency() {
    TValueType t = ReadValue();
    if (t != vaCurrency) {
        int64_t v = ReadIntegerValue(t);
        if (v > INT64_MAX / Currency::Scale || v < INT64_MIN / Currency::Scale) InvalidValue();
        return Currency::FromInt(v);
    }
    unsigned char b[8];
    Read(b, 8);
    return Currency::FromRaw(static_cast<int64_t>(GetLE(b, 8)));
}

double TReader::ReadDate() {
    TValueType t = ReadValue();
    if (t != vaDate) return static_cast<double>(ReadIntegerValue(t));
    unsigned char b[8];
    Read(b, 8);
    uint64_t bits = GetLE(b, 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

std::string TReader::ReadString() {
    TValueType t = ReadValue();
    switch (t) {
        case vaString: {
            uint8_t n;
            Read(&n, 1);
            return ReadBytes(n);
        }
        case vaLString:
            return ReadBytes(ReadLength());
        case vaUTF8String:
            return platform::Utf8ToAnsi(ReadBytes(ReadLength()));
        case vaWString: {
            --FBufPos;
            return platform::Utf8ToAnsi(Utf16ToUtf8(ReadWideString()));
        }
        default:
            InvalidValue();
    }
}

std::u16string TReader::ReadWideString() {
    if (NextValue() != vaWString) return AnsiToUtf16(ReadString());
    ReadValue();
    int64_t count = ReadLength();
    std::string bytes = ReadBytes(count * 2);
    std::u16string r(static_cast<size_t>(count), u'\0');
    for (size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<char16_t>(GetLE(reinterpret_cast<const unsigned char*>(bytes.data()) + 2 * i, 2));
    return r;
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
        case vaIdent:
            return ReadStr();
        case vaFalse:
            return "False";
        case vaTrue:
            return "True";
        case vaNil:
            return "nil";
        case vaNull:
            return "Null";
        default:
            InvalidValue();
    }
}

uint32_t TReader::ReadSet(const std::vector<std::string>& Names) {
    CheckValue(vaSet);
    uint32_t bits = 0;
    while (true) {
        std::string name = ReadStr();
        if (name.empty()) return bits;
        size_t i = 0;
        while (i < Names.size() && i < 32 && !SameText(Names[i], name)) ++i;
        if (i == Names.size() || i >= 32) InvalidValue();
        bits |= uint32_t{1} << i;
    }
}

std::unique_ptr<TMemoryStream> TReader::ReadBinary() {
    CheckValue(vaBinary);
    int32_t n = ReadLength();
    auto data = std::make_unique<TMemoryStream>();
    ReadBytesInto(data.get(), n);
    data->SetPosition(0);
    return data;
}

std::string TReader::ReadStr() {
    uint8_t n;
    Read(&n, 1);
    return ReadBytes(n);
}

void TReader::ReadSignature() {
    char sig[4];
    Read(sig, 4);
    if (std::memcmp(sig, FilerSignature, 4) != 0) throw EReadError(SInvalidImage);
}

void TReader::SkipValue() {
    TDepthGuard guard(FDepth);
    TValueType t = ReadValue();
    switch (t) {
        case vaNull:
        case vaFalse:
        case vaTrue:
        case vaNil:
            return;
        case vaList:
            while (!EndOfList()) SkipValue();
            ReadListEnd();
            return;
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            ReadIntegerValue(t);
            return;
        case vaExtended:
            ReadBytesInto(nullptr, 10);
            return;
        case vaSingle:
            ReadBytesInto(nullptr, 4);
            return;
        case vaCurrency:
        case vaDate:
            ReadBytesInto(nullptr, 8);
            return;
        case vaString:
        case vaIdent: {
            uint8_t n;
            Read(&n, 1);
            ReadBytesInto(nullptr, n);
            return;
        }
        case vaLString:
        case vaUTF8String:
        case vaBinary:
            ReadBytesInto(nullptr, ReadLength());
            return;
        case vaWString:
            ReadBytesInto(nullptr, int64_t{ReadLength()} * 2);
            return;
        case vaSet:
            while (!ReadStr().empty()) {
            }
            return;
        case vaCollection:
            while (!EndOfList()) {
                TValueType n = NextValue();
                if (n == vaInt8 || n == vaInt16 || n == vaInt32) ReadInteger();
                ReadListBegin();
                while (!EndOfList()) {
                    ReadStr();
                    SkipValue();
                }
                ReadListEnd();
            }
            ReadListEnd();
            return;
    }
    InvalidValue();
}

void TReader::ReadCollection(TCollection* Value) {
    TDepthGuard guard(FDepth);
    CheckValue(vaCollection);
    Value->BeginUpdate();
    struct TEnd {
        TCollection* C;
        ~TEnd() { C->EndUpdate(); }
    } end{Value};
    Value->Clear();
    while (!EndOfList()) {
        TValueType n = NextValue();
        if (n == vaInt8 || n == vaInt16 || n == vaInt32) ReadInteger();  // the item's stored index
        TCollectionItem* item = Value->Add();
        ReadListBegin();
        while (!EndOfList()) ReadProperty(item);
        ReadListEnd();
    }
    ReadListEnd();
}

void TReader::DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc&, bool) {
    if (FPropertyFound || !ReadData || !SameText(Name, FPropName)) return;
    FPropertyFound = true;
    ReadData(this);
}

void TReader::DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData, const TStreamProc&,
                                   bool) {
    if (FPropertyFound || !ReadData || !SameText(Name, FPropName)) return;
    FPropertyFound = true;
    std::unique_ptr<TMemoryStream> data = ReadBinary();
    ReadData(data.get());
}

void TReader::ReadProperty(TPersistent* Instance) {
    std::string name = ReadStr();
    FPropName = name;
    FPropertyFound = false;
    Instance->DefineProperties(this);
    bool found = FPropertyFound;
    FPropName.clear();
    FPropertyFound = false;
    if (!found) throw EReadError("Property " + name + " does not exist");
}

void TReader::ReadData(TComponent* Instance) {
    while (!EndOfList()) ReadProperty(Instance);
    ReadListEnd();
    while (!EndOfList()) ReadComponent(nullptr);
    ReadListEnd();
}

void TReader::ReadComponentData(TComponent* Component) {
    // Flags and name: a stream may name a component badly or twice; that is a fault of the stream.
    std::string name = ReadStr();
    if (!(Component->FComponentState & csLoading)) {
        Component->FComponentState |= csLoading;
        FLoaded.push_back(Component);
    }
    Component->FComponentState |= csReading;
    try {
        if (!name.empty() && name != Component->Name()) Component->SetName(name);
    } catch (const EComponentError& e) {
        throw EReadError(e.Message);
    }
    Component->ReadState(this);
    Component->FComponentState &= ~static_cast<TComponentState>(csReading);
}

void TReader::FreeCreated(TComponent* Component) {
    // It goes with everything it owns: none of them may stay in the lists.
    auto goes = [Component](TComponent* c) {
        for (; c != nullptr; c = c->Owner())
            if (c == Component) return true;
        return false;
    };
    FLoaded.erase(std::remove_if(FLoaded.begin(), FLoaded.end(), goes), FLoaded.end());
    FCreated.erase(std::remove_if(FCreated.begin(), FCreated.end(), goes), FCreated.end());
    Component->Free();
}

TComponent* TReader::ReadComponent(TComponent* Component) {
    TDepthGuard guard(FDepth);
    std::string className = ReadStr();
    bool created = false;
    if (Component == nullptr) {
        TPersistentClass cls = FindClass(className);
        if (!cls->InheritsFrom(ClassOf<TComponent>()) || !cls->CanCreate()) throw EReadError(SInvalidImage);
        Component = static_cast<TComponent*>(cls->NewInstance(FOwner));
        FCreated.push_back(Component);
        created = true;
    }
    // Children are owned by the reader's owner; a component read on its own owns its children.
    TComponent* savedOwner = FOwner;
    if (FOwner == nullptr) FOwner = Component;
    try {
        ReadComponentData(Component);
    } catch (...) {
        FOwner = savedOwner;
        if (created) {
            FreeCreated(Component);
        } else {
            Component->FComponentState &= ~static_cast<TComponentState>(csReading);
        }
        throw;
    }
    FOwner = savedOwner;
    return Component;
}

TComponent* TReader::ReadRootComponent(TComponent* Root) {
    FLoaded.clear();
    FCreated.clear();
    const bool rootWasLoading = Root != nullptr && (Root->FComponentState & csLoading) != 0;
    TComponent* result = nullptr;
    try {
        ReadSignature();
        TComponent* savedOwner = FOwner;
        if (Root != nullptr) {
            FRoot = Root;
            FOwner = Root;
            // The root is loaded by this read even when it was loading before (a form or data
            // module under construction).
            Root->FComponentState |= csLoading;
            FLoaded.push_back(Root);
            result = ReadComponent(Root);
        } else {
            FOwner = nullptr;  // a new root has no owner and owns what it holds
            result = ReadComponent(nullptr);
            FRoot = result;
        }
        FOwner = savedOwner;
    } catch (...) {
        // What this read made goes again, so a failed read adds nothing to Root.
        while (!FCreated.empty()) FreeCreated(FCreated.back());
        for (TComponent* c : FLoaded)
            c->FComponentState &= ~static_cast<TComponentState>(csLoading | csReading);
        if (rootWasLoading) Root->FComponentState |= csLoading;  // its own loading goes on
        FLoaded.clear();
        throw;
    }
    // Loaded once on each, in reading order; the first error is passed on after all have run.
    FCreated.clear();
    std::vector<TComponent*> loaded;
    loaded.swap(FLoaded);
    std::exception_ptr error;
    for (TComponent* c : loaded) {
        try {
            c->Loaded();
        } catch (...) {
            c->FComponentState &= ~static_cast<TComponentState>(csLoading);
            if (!error) error = std::current_exception();
        }
    }
    if (error) std::rethrow_exception(error);
    return result;
}

// ---- TComponent streaming ----------------------------------------------------------------------

void TComponent::ReadState(TReader* Reader) {
    Reader->ReadData(this);
}

void TComponent::WriteState(TWriter* Writer) {
    FComponentState |= csWriting;
    struct TClear {
        TComponentState& S;
        ~TClear() { S &= ~static_cast<TComponentState>(csWriting); }
    } clear{FComponentState};
    Writer->WriteData(this);
}

void TComponent::GetChildren(const TGetChildProc&, TComponent*) {}

// ---- TCollection -------------------------------------------------------------------------------

TCollection::TCollection(TPersistentClass ItemClass) : FItemClass(ItemClass) {
    if (ItemClass == nullptr || !ItemClass->InheritsFrom(ClassOf<TCollectionItem>()) ||
        !ItemClass->CanCreate())
        throw EFilerError("Invalid collection item class");
}

TCollection::~TCollection() {
    FUpdateCount = 1;  // no change notices while going away
    Clear();
}

TCollectionItem* TCollection::Add() {
    std::unique_ptr<TPersistent> made(FItemClass->NewInstance(nullptr));
    auto* item = dynamic_cast<TCollectionItem*>(made.get());
    if (item == nullptr) throw EFilerError("Invalid collection item class");
    made.release();
    item->SetCollection(this);
    return item;
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    while (!FItems.empty()) delete FItems.back();
    EndUpdate();
}

void TCollection::Delete(int Index) {
    delete Items(Index);
}

TCollectionItem* TCollection::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)];
}

TCollectionItem* TCollection::FindItemID(int ID) const {
    for (TCollectionItem* item : FItems)
        if (item->FID == ID) return item;
    return nullptr;
}

void TCollection::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TCollection*>(Source);
    if (source == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    BeginUpdate();
    struct TEnd {
        TCollection* C;
        ~TEnd() { C->EndUpdate(); }
    } end{this};
    Clear();
    for (TCollectionItem* item : source->FItems) Add()->Assign(item);
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Update(TCollectionItem*) {
    if (OnChange) OnChange(this);
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* Item) {
    FItems.push_back(Item);
    Item->FCollection = this;
    Item->FID = FNextID++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
    FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
    Item->FCollection = nullptr;
    Changed();
}

TCollectionItem::~TCollectionItem() {
    if (FCollection != nullptr) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value) {
    if (Value == FCollection) return;
    if (FCollection != nullptr) FCollection->RemoveItem(this);
    if (Value != nullptr) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (FCollection == nullptr) return -1;
    auto& items = FCollection->FItems;
    return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
    int current = Index();
    if (current < 0 || Value == current) return;
    auto& items = FCollection->FItems;
    Value = std::clamp(Value, 0, static_cast<int>(items.size()) - 1);
    items.erase(items.begin() + current);
    items.insert(items.begin() + Value, this);
    Changed(true);
}

void TCollectionItem::Changed(bool AllItems) {
    if (FCollection != nullptr && FCollection->FUpdateCount == 0)
        FCollection->Update(AllItems ? nullptr : this);
}

}  // namespace framework

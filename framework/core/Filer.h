#pragma once
// Component streaming: the class library's binary value encoding, read and written through a
// buffer over any TStream.
//
// Every value starts with a value-type byte (TValueType) followed by its data, little-endian:
//   vaNull                      end of a list (no data)
//   vaList                      start of a list: values up to the next vaNull
//   vaInt8 / vaInt16 / vaInt32  a signed integer in 1, 2 or 4 bytes; the writer takes the
//   vaInt64                     smallest form that holds the value (8 bytes only beyond 32 bits)
//   vaExtended                  10-byte extended float (64-bit mantissa with its integer bit,
//                               15-bit exponent biased by 16383, sign)
//   vaSingle                    4-byte float; vaDate: 8-byte double (days since 30 Dec 1899)
//   vaCurrency                  8-byte integer, the amount scaled by 10,000
//   vaString                    length byte + bytes; vaLString: 32-bit length + bytes
//   vaWString                   32-bit count of UTF-16 units + the units; vaUTF8String: 32-bit
//                               length + UTF-8 bytes (both read as Windows-1252 text)
//   vaIdent                     length byte + identifier; vaFalse, vaTrue, vaNil, vaNull stand
//                               for the identifiers False, True, nil and Null
//   vaSet                       element names (length byte + name each) up to an empty name
//   vaBinary                    32-bit length + bytes
//   vaCollection                items up to vaNull: each an optional integer (the item's
//                               index) and a list of the item's properties
// A component is: its class name and its name (length byte + text each), its properties (name
// as length byte + text, then the value) up to vaNull, its children (components) up to vaNull.
// A root component is preceded by the 4-byte signature "TPF0".
//
// Reading trusts nothing: an unexpected value type raises EReadError "Invalid property value",
// a value that runs past the end of the stream EReadError "Stream read error", and a length
// read from the stream is never allocated ahead of the bytes that actually arrive.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/SysUtils.h"

namespace framework {

KORVANE_DECLARE_EXCEPTION(EFilerError, EStreamError);
KORVANE_DECLARE_EXCEPTION(EClassNotFound, EFilerError);

enum TValueType : uint8_t {
    vaNull,
    vaList,
    vaInt8,
    vaInt16,
    vaInt32,
    vaExtended,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaLString,
    vaNil,
    vaCollection,
    vaSingle,
    vaCurrency,
    vaDate,
    vaWString,
    vaInt64,
    vaUTF8String
};

// The four bytes before a root component.
inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

// ---- Class registry ----------------------------------------------------------------------------

// A class reference: what the registry knows of a class of the TPersistent tree.
class TPersistentClassRec {
public:
    const std::string& ClassName() const { return FClassName; }
    // A new object of the class (a component with the owner given, another class without one);
    // nil when the class cannot be made without arguments of its own.
    TPersistent* NewInstance(TComponent* Owner) const { return FNew ? FNew(Owner) : nullptr; }
    bool CanCreate() const { return static_cast<bool>(FNew); }
    // Whether Object is of this class or of a descendant.
    bool IsClassOf(const TObject* Object) const { return Object != nullptr && FIsClassOf(Object); }
    // Whether this class is Parent or descends from it.
    bool InheritsFrom(const TPersistentClassRec* Parent) const;
    const std::type_info& Type() const { return *FType; }

    template <class T>
    static const TPersistentClassRec* Of();

private:
    std::string FClassName;
    const std::type_info* FType = nullptr;
    std::function<TPersistent*(TComponent*)> FNew;
    std::function<bool(const TObject*)> FIsClassOf;
    // A pointer of this class thrown as an exception; Parent's FCatches tells whether a handler
    // for its own pointer type takes it, which is exactly "derives from" for public bases.
    void (*FThrow)() = nullptr;
    bool (*FCatches)(void (*Thrower)()) = nullptr;
};
using TPersistentClass = const TPersistentClassRec*;

template <class T>
const TPersistentClassRec* TPersistentClassRec::Of() {
    static_assert(std::is_base_of_v<TPersistent, T>, "only classes of the TPersistent tree are registered");
    static const TPersistentClassRec rec = [] {
        TPersistentClassRec r;
        r.FClassName = ClassNameOf(typeid(T));
        r.FType = &typeid(T);
        if constexpr (!std::is_abstract_v<T>) {
            if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>)
                r.FNew = [](TComponent* Owner) -> TPersistent* { return NewComponent<T>(Owner); };
            else if constexpr (std::is_default_constructible_v<T>)
                r.FNew = [](TComponent*) -> TPersistent* { return new T(); };
        }
        r.FIsClassOf = [](const TObject* o) { return dynamic_cast<const T*>(o) != nullptr; };
        r.FThrow = [] { throw static_cast<T*>(nullptr); };
        r.FCatches = [](void (*Thrower)()) {
            try {
                Thrower();
            } catch (T*) {
                return true;
            } catch (...) {
                return false;
            }
            return false;
        };
        return r;
    }();
    return &rec;
}

template <class T>
TPersistentClass ClassOf() {
    return TPersistentClassRec::Of<T>();
}

// Registers a class by its class name so that a stream can name it. Registering the same class
// again does nothing; another class of the same name raises EFilerError
// "A class named %s already exists".
void RegisterClass(TPersistentClass AClass);
template <class T>
void RegisterClass() {
    RegisterClass(ClassOf<T>());
}
// The registered class of that name (no regard to case), or nil.
TPersistentClass GetClass(const std::string& ClassName);
// As GetClass; an unknown name raises EClassNotFound "Class %s not found".
TPersistentClass FindClass(const std::string& ClassName);

// ---- Filers ------------------------------------------------------------------------------------

class TReader;
class TWriter;
class TCollection;

using TReaderProc = std::function<void(TReader* Reader)>;
using TWriterProc = std::function<void(TWriter* Writer)>;
using TStreamProc = std::function<void(TStream* Stream)>;

class TFiler : public TObject {
public:
    // BufSize is the size of the buffer between the filer and the stream (at least 16).
    explicit TFiler(TStream* Stream, int BufSize = 1024);
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    // A property stored by reader and writer routines of the component: the writer writes it
    // under Name when HasData, the reader calls ReadData when the stream's property is Name.
    virtual void DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                                const TWriterProc& WriteData, bool HasData) = 0;
    // The same for a block of bytes (a binary value): WriteData writes the bytes into a stream,
    // ReadData reads them from a memory stream that holds exactly those bytes.
    virtual void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                      const TStreamProc& WriteData, bool HasData) = 0;
    virtual void FlushBuffer() = 0;

    // The component at the top of what is read or written.
    TComponent* Root() const { return FRoot; }
    void SetRoot(TComponent* Value) { FRoot = Value; }
    TStream* Stream() const { return FStream; }
    int BufSize() const { return static_cast<int>(FBuffer.size()); }

protected:
    TStream* FStream;
    std::vector<char> FBuffer;
    int FBufPos = 0;
    int FBufEnd = 0;
    TComponent* FRoot = nullptr;
};

class TWriter : public TFiler {
public:
    explicit TWriter(TStream* Stream, int BufSize = 1024);
    // Writes what is still buffered; an error there is lost, so callers that must know call
    // FlushBuffer first.
    ~TWriter() override;

    void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                        bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                              const TStreamProc& WriteData, bool HasData) override;
    // Writes the buffered bytes to the stream; raises EWriteError when the stream takes fewer.
    void FlushBuffer() override;

    // Raw bytes.
    void Write(const void* Buf, int32_t Count);
    // The stream position the next byte goes to.
    int64_t Position() const;

    void WriteValue(TValueType Value);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    void WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }
    // A character is written as a one-character string.
    void WriteChar(char Value) { WriteString(std::string(1, Value)); }
    void WriteInteger(int32_t Value);
    void WriteInteger(int64_t Value);
    // Extended precision (10 bytes).
    void WriteFloat(long double Value);
    void WriteSingle(float Value);
    void WriteCurrency(Currency Value);
    void WriteDate(double Value);
    // Up to 255 bytes as vaString, longer as vaLString.
    void WriteString(const std::string& Value);
    void WriteWideString(const std::u16string& Value);
    // An identifier; False, True, nil and Null take their own value types.
    void WriteIdent(const std::string& Ident);
    // A set by the names of its elements (bit i of Value is element Names[i]).
    void WriteSet(uint32_t Value, const std::vector<std::string>& Names);
    // A binary value: the bytes WriteData writes into a memory stream.
    void WriteBinary(const TStreamProc& WriteData);
    // A length byte and at most 255 bytes of text, without value type (names).
    void WriteStr(const std::string& Value);
    void WriteCollection(TCollection* Value);
    void WriteSignature();

    // A component with its properties and children (through its WriteState).
    void WriteComponent(TComponent* Component);
    // The signature, then Root as the root component.
    void WriteRootComponent(TComponent* Root);
    // Used by TComponent::WriteState: properties, end, children, end.
    void WriteData(TComponent* Instance);
    // The stored properties of an object (those it defines), without the end marker.
    void WriteProperties(TPersistent* Instance);

private:
    void WritePropName(const std::string& Name);
};

class TReader : public TFiler {
public:
    explicit TReader(TStream* Stream, int BufSize = 1024);
    // Puts the stream back at the first byte not read (the buffer reads ahead).
    ~TReader() override;

    void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                        bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                              const TStreamProc& WriteData, bool HasData) override;
    // Gives the bytes read ahead back to the stream (seeks it back to the reader's position).
    void FlushBuffer() override;

    // Raw bytes; raises EReadError "Stream read error" when the stream ends first.
    void Read(void* Buf, int32_t Count);
    // The stream position of the next byte to be read.
    int64_t Position() const;

    TValueType ReadValue();
    // The next value type, not consumed.
    TValueType NextValue();
    // Raises EReadError "Invalid property value" when the next value is not of that type.
    void CheckValue(TValueType Value);
    // Whether the next byte ends a list. It is only looked at, not taken as a value type: before a
    // property name it is the name's length, which may exceed every value type.
    bool EndOfList();
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }

    bool ReadBoolean();
    char ReadChar();
    // An integer of any width that fits; a 64-bit value outside 32 bits raises EReadError.
    int32_t ReadInteger();
    int64_t ReadInt64();
    // A float from vaExtended, vaSingle, vaDate or an integer.
    long double ReadFloat();
    float ReadSingle();
    Currency ReadCurrency();
    double ReadDate();
    // Any kind of string; wide and UTF-8 strings come as Windows-1252 text ("?" where the code
    // page has no character).
    std::string ReadString();
    std::u16string ReadWideString();
    std::string ReadIdent();
    // The bits of the named elements; a name not in Names raises EReadError.
    uint32_t ReadSet(const std::vector<std::string>& Names);
    // A binary value into a new memory stream positioned at 0.
    std::unique_ptr<TMemoryStream> ReadBinary();
    std::string ReadStr();
    // Adds the stored items to the collection (which is cleared first).
    void ReadCollection(TCollection* Value);
    // Skips one value of any type, lists and collections with what they hold.
    void SkipValue();
    void ReadSignature();

    // Reads one component. With Component nil, the class named by the stream is made (it must be
    // registered and a TComponent), owned by Owner(); otherwise the stream's data goes into
    // Component. The component is in the loaded list (Loaded runs when the root is done).
    TComponent* ReadComponent(TComponent* Component);
    // Reads the signature and the root component into Root (or into a new component of the
    // stream's class when Root is nil); then Loaded on every component read, once each, in the
    // order they were read. On failure every component made by this read is freed again and the
    // loading state of the others cleared.
    TComponent* ReadRootComponent(TComponent* Root);
    // Used by TComponent::ReadState: properties up to the end, then children up to the end.
    void ReadData(TComponent* Instance);
    // Reads one property (name and value) into Instance; a name that Instance does not define
    // raises EReadError "Property %s does not exist".
    void ReadProperty(TPersistent* Instance);

    // The owner given to the components the reader makes (the root while reading a root).
    TComponent* Owner() const { return FOwner; }
    void SetOwner(TComponent* Value) { FOwner = Value; }

private:
    int32_t ReadLength();
    std::string ReadBytes(int64_t Count);
    void ReadBytesInto(TStream* Dest, int64_t Count);
    int64_t ReadIntegerValue(TValueType Type);
    long double ReadExtendedBits();
    void Refill();
    void ReadComponentData(TComponent* Component);
    void FreeCreated(TComponent* Component);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FLoaded;
    std::vector<TComponent*> FCreated;  // made by the current ReadRootComponent
    std::string FPropName;
    bool FPropertyFound = false;
    int FDepth = 0;
};

// ---- Collections -------------------------------------------------------------------------------

class TCollectionItem;

// An owned list of items of one class, streamed as a collection value.
class TCollection : public TPersistent {
public:
    // ItemClass makes the items of Add.
    explicit TCollection(TPersistentClass ItemClass);
    ~TCollection() override;

    TCollectionItem* Add();
    void Clear();
    void Delete(int Index);
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..Count-1.
    TCollectionItem* Items(int Index) const;
    TPersistentClass ItemClass() const { return FItemClass; }
    // The item with that ID, or nil.
    TCollectionItem* FindItemID(int ID) const;
    // From another collection: as many items as it has, each assigned from its counterpart.
    void Assign(TPersistent* Source) override;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Called when an item changes (Item) or the list changes (nil), outside BeginUpdate/EndUpdate.
    TNotifyEvent OnChange;

protected:
    virtual void Update(TCollectionItem* Item);
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);

    TPersistentClass FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
};

class TCollectionItem : public TPersistent {
public:
    TCollectionItem() = default;
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // Moves the item into another collection (or out of any with nil).
    void SetCollection(TCollection* Value);
    int ID() const { return FID; }
    // Position in the collection; -1 outside one.
    int Index() const;
    void SetIndex(int Value);

protected:
    // Tells the collection that this item (AllItems false) or the whole list changed.
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

}  // namespace framework

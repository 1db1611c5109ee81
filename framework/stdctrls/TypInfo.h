#pragma once
// Published properties: each class registers, by name, the properties that may be read and
// written as text (integers, enumerations by name, sets as "[a,b]", strings, colours, fonts,
// string lists), so that a property is reachable by its path from a form ("Panel4.Width",
// "Font.Style", "Memo1.Lines").

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {

KORVANE_DECLARE_EXCEPTION(EPropertyError, Exception);

enum TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray
};
// A set of kinds, bit k for kind k.
using TTypeKinds = uint32_t;
constexpr TTypeKinds TypeKind(TTypeKind Kind) {
    return TTypeKinds{1} << Kind;
}
constexpr TTypeKinds tkAny = ~TTypeKinds{0};
constexpr TTypeKinds tkMethods = TypeKind(tkMethod);
// Every kind that holds a value (all but method pointers).
constexpr TTypeKinds tkProperties = tkAny & ~tkMethods;

// The precision of a floating-point property; its text has 7, 15, 18, 18 or 19 digits.
enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = tkUnknown;
    // Element names of an enumeration (by ordinal) or of a set (by bit).
    std::vector<std::string> Names;
    TFloatType FloatType = ftDouble;
    // Ordinals: integers, characters (tkChar, tkWChar), enumerations, sets.
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    // Strings; a variant goes as its text and comes back as a string variant.
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    // Floats in extended precision (a currency as its amount, a comp as its whole number).
    std::function<long double(TObject*)> GetFloat;
    std::function<void(TObject*, long double)> SetFloat;
    std::function<TObject*(TObject*)> GetObject;
    // Set for a collection-valued property: its items, each with published properties of its own,
    // reached as "Prop[i].Sub".
    std::function<int(TObject*)> GetItemCount;
    std::function<TObject*(TObject*, int)> GetItem;

    bool IsCollection() const { return static_cast<bool>(GetItemCount); }
};

// Registers the properties of the classes for which Accepts is true (a dynamic_cast test), at a
// depth below the class they derive from; a deeper registration hides a shallower one of the
// same name.
void RegisterProperties(int Depth, std::function<bool(TObject*)> Accepts, std::vector<TPropInfo> Props);

template <class T>
void RegisterPublished(int Depth, std::vector<TPropInfo> Props) {
    RegisterProperties(
        Depth, [](TObject* O) { return dynamic_cast<T*>(O) != nullptr; }, std::move(Props));
}

// Every published property of the object, sorted by name (no regard to case); with Kinds, only
// those of the kinds in the set (tkProperties leaves out the methods).
std::vector<const TPropInfo*> GetPropList(TObject* Instance);
std::vector<const TPropInfo*> GetPropList(TObject* Instance, TTypeKinds Kinds);
// The property of that name (no regard to case), or nil.
const TPropInfo* GetPropInfo(TObject* Instance, const std::string& Name);

// The value as text: decimal for integers (colours included), the name of an enumeration value,
// "[a,b]" for a set, the text of a string, the character of a char or wide char (its low byte),
// a float in general format with the digits of its precision (7 single, 15 double, 18 extended
// and comp, 19 currency), a variant as text; empty for an object, a method and the kinds
// without text.
std::string GetPropText(TObject* Instance, const TPropInfo& Prop);
// Sets the value from text. An unknown enumeration name or malformed number leaves the property
// unchanged and returns false; set words that name no element are skipped; a char takes the
// first character's code (0 for empty text); a variant becomes a string variant.
bool SetPropText(TObject* Instance, const TPropInfo& Prop, const std::string& Text);

// One property reached from an object: its path below the object, the object that has it, and
// the property.
struct TPropertyRef {
    std::string Path;
    TObject* Instance = nullptr;
    const TPropInfo* Prop = nullptr;
};
// The published properties of Instance but methods, sorted by name, each path Prefix + "." +
// name (just the name without Prefix); then every collection-valued property is replaced by
// its items' properties, item after item at the end of the list, with the prefix
// "Prop[i]" (i from 0).
std::vector<TPropertyRef> GetPropertyList(TObject* Instance, const std::string& Prefix = "");

// A path from a component: an owned component's name first when there is one ("Panel4.Width"),
// else a property of the component itself ("Font.Style"); object-valued properties lead on, and
// an item of a collection-valued property is "Prop[i]" ("Header.Sections[1].Width").
// Raises EPropertyError for a path that names no property or an item that is not there.
std::string GetPropertyPath(TComponent* Root, const std::string& Path);
void SetPropertyPath(TComponent* Root, const std::string& Path, const std::string& Value);
// The object and the property a path ends at.
TObject* ResolvePropertyPath(TComponent* Root, const std::string& Path, const TPropInfo*& Prop);

// Helpers for registering.
template <class T, class V>
TPropInfo IntProp(const std::string& Name, V (T::*Get)() const, void (T::*Set)(V)) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkInteger;
    p.GetOrd = [Get](TObject* o) { return static_cast<int64_t>((static_cast<T*>(o)->*Get)()); };
    p.SetOrd = [Set](TObject* o, int64_t v) { (static_cast<T*>(o)->*Set)(static_cast<V>(v)); };
    return p;
}
template <class T, class V>
TPropInfo IntField(const std::string& Name, V T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkInteger;
    p.GetOrd = [Field](TObject* o) { return static_cast<int64_t>(static_cast<T*>(o)->*Field); };
    p.SetOrd = [Field](TObject* o, int64_t v) { static_cast<T*>(o)->*Field = static_cast<V>(v); };
    return p;
}
template <class T, class V>
TPropInfo EnumProp(const std::string& Name, std::vector<std::string> Names, V (T::*Get)() const,
                   void (T::*Set)(V)) {
    TPropInfo p = IntProp<T, V>(Name, Get, Set);
    p.Kind = tkEnumeration;
    p.Names = std::move(Names);
    return p;
}
template <class T, class V>
TPropInfo EnumField(const std::string& Name, std::vector<std::string> Names, V T::*Field) {
    TPropInfo p = IntField<T, V>(Name, Field);
    p.Kind = tkEnumeration;
    p.Names = std::move(Names);
    return p;
}
template <class T>
TPropInfo BoolProp(const std::string& Name, bool (T::*Get)() const, void (T::*Set)(bool)) {
    return EnumProp<T, bool>(Name, {"False", "True"}, Get, Set);
}
template <class T>
TPropInfo BoolField(const std::string& Name, bool T::*Field) {
    return EnumField<T, bool>(Name, {"False", "True"}, Field);
}
template <class T, class S>
TPropInfo StrProp(const std::string& Name, S (T::*Get)() const, void (T::*Set)(const std::string&)) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkLString;
    p.GetStr = [Get](TObject* o) { return std::string((static_cast<T*>(o)->*Get)()); };
    p.SetStr = [Set](TObject* o, const std::string& v) { (static_cast<T*>(o)->*Set)(v); };
    return p;
}
template <class T>
TPropInfo StrField(const std::string& Name, std::string T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkLString;
    p.GetStr = [Field](TObject* o) { return static_cast<T*>(o)->*Field; };
    p.SetStr = [Field](TObject* o, const std::string& v) { static_cast<T*>(o)->*Field = v; };
    return p;
}
template <class T, class V>
TPropInfo CharField(const std::string& Name, V T::*Field, TTypeKind Kind = tkChar) {
    TPropInfo p = IntField<T, V>(Name, Field);
    p.Kind = Kind;
    return p;
}
template <class T, class V>
TPropInfo FloatField(const std::string& Name, TFloatType FloatType, V T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkFloat;
    p.FloatType = FloatType;
    p.GetFloat = [Field](TObject* o) { return static_cast<long double>(static_cast<T*>(o)->*Field); };
    p.SetFloat = [Field](TObject* o, long double v) { static_cast<T*>(o)->*Field = static_cast<V>(v); };
    return p;
}
// A variant field: any type with IsNull, AsString and a constructor from a string.
template <class T, class V>
TPropInfo VariantField(const std::string& Name, V T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkVariant;
    p.GetStr = [Field](TObject* o) {
        const V& v = static_cast<T*>(o)->*Field;
        return v.IsNull() ? std::string() : std::string(v.AsString());
    };
    p.SetStr = [Field](TObject* o, const std::string& s) { static_cast<T*>(o)->*Field = V(s); };
    return p;
}
// A currency field (the amount as a float, kept to four decimals).
template <class T>
TPropInfo CurrencyField(const std::string& Name, Currency T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkFloat;
    p.FloatType = ftCurr;
    p.GetFloat = [Field](TObject* o) {
        return static_cast<long double>((static_cast<T*>(o)->*Field).Value) / Currency::Scale;
    };
    p.SetFloat = [Field](TObject* o, long double v) {
        static_cast<T*>(o)->*Field = Currency::FromRaw(std::llround(v * Currency::Scale));
    };
    return p;
}
// An event (method pointer) property: listed, but without text.
template <class T>
TPropInfo MethodProp(const std::string& Name) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkMethod;
    return p;
}
template <class T, class R>
TPropInfo ObjProp(const std::string& Name, R& (T::*Get)()) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkClass;
    p.GetObject = [Get](TObject* o) -> TObject* { return &(static_cast<T*>(o)->*Get)(); };
    return p;
}
// A collection-valued property: C has Count() and Items(i) giving the item objects.
template <class T, class C>
TPropInfo CollectionProp(const std::string& Name, C& (T::*Get)()) {
    TPropInfo p = ObjProp<T, C>(Name, Get);
    p.GetItemCount = [Get](TObject* o) { return static_cast<int>((static_cast<T*>(o)->*Get)().Count()); };
    p.GetItem = [Get](TObject* o, int i) -> TObject* { return (static_cast<T*>(o)->*Get)().Items(i); };
    return p;
}

}  // namespace framework

#pragma once
// Published properties: each class registers, by name, the properties that may be read and
// written as text (integers, enumerations by name, sets as "[a,b]", strings, colours, fonts,
// string lists), so that a property is reachable by its path from a form ("Panel4.Width",
// "Font.Style", "Memo1.Lines").

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"

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
    tkLString
};

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = tkUnknown;
    // Element names of an enumeration (by ordinal) or of a set (by bit).
    std::vector<std::string> Names;
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    std::function<double(TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<TObject*(TObject*)> GetObject;
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

// Every published property of the object, sorted by name (no regard to case).
std::vector<const TPropInfo*> GetPropList(TObject* Instance);
// The property of that name (no regard to case), or nil.
const TPropInfo* GetPropInfo(TObject* Instance, const std::string& Name);

// The value as text: decimal for integers (colours included), the name of an enumeration value,
// "[a,b]" for a set, the text of a string, the character of a char; empty for an object.
std::string GetPropText(TObject* Instance, const TPropInfo& Prop);
// Sets the value from text. An unknown enumeration name or malformed number leaves the property
// unchanged and returns false; set words that name no element are skipped.
bool SetPropText(TObject* Instance, const TPropInfo& Prop, const std::string& Text);

// A path from a component: an owned component's name first when there is one ("Panel4.Width"),
// else a property of the component itself ("Font.Style"); object-valued properties lead on.
// Raises EPropertyError for a path that names no property.
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
template <class T, class R>
TPropInfo ObjProp(const std::string& Name, R& (T::*Get)()) {
    TPropInfo p;
    p.Name = Name;
    p.Kind = tkClass;
    p.GetObject = [Get](TObject* o) -> TObject* { return &(static_cast<T*>(o)->*Get)(); };
    return p;
}

}  // namespace framework

#pragma once
// The root of the class tree: every class of the class library and of the system derives from
// TObject, which knows its own class name (used in messages and in class registries).

#include <functional>
#include <string>
#include <typeinfo>

namespace framework {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;

    // The class's own name without namespaces, e.g. "TComponent".
    std::string ClassName() const;
};

// The plain event: the handler learns which object raised it. Events are members that the owner
// of the object binds; an empty handler means "not assigned".
using TNotifyEvent = std::function<void(TObject* Sender)>;

// The unqualified class name of a dynamic type (namespaces and template arguments removed).
std::string ClassNameOf(const std::type_info& type);

}  // namespace framework

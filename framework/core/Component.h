#pragma once
// TComponent: an object with an owner, a name, owned components and notifications.
//
// Ownership model
// ---------------
// - A component is created with `new TFoo(owner)`. When `owner` is not null, the owner takes the
//   component into its Components list and frees it when the owner itself is freed; the creator
//   keeps only a plain, non-owning pointer. Owned components are freed in reverse order of
//   creation (the last one inserted is freed first).
// - A component created without an owner is held by its creator, normally in a
//   `TComponentPtr<TFoo>` (a unique_ptr whose deleter calls Free); a plain std::unique_ptr works
//   as well.
// - A component may be freed early with `Free()` (or `delete`); it then leaves its owner.
// - Freeing a component, in this order: csDestroying is set on it and on everything it owns;
//   every component that asked for a free notification gets Notification(it, opRemove); its owner
//   removes it (the owner's Notification(it, opRemove) is forwarded to the owner's other
//   components); then its destructor runs, and after the derived destructors the components it owns
//   are freed, last first, the same way.
// - `NewComponent<TFoo>(owner, args...)` is `new TFoo(owner, args...)` with one difference: the
//   owner's tree hears of the insertion (opInsert) after TFoo's constructor has finished, so
//   receivers may test the new component's class. With a plain `new`, opInsert goes out from
//   TComponent's constructor, when the component is only a TComponent yet.
// - Free() does the notifications before any destructor runs, so handlers that receive the
//   component may still test its class. A plain `delete` (or std::unique_ptr) does them from
//   ~TComponent, when only the TComponent part is left; pointer comparisons still work there.
//
// Notifications
// -------------
// Notification(AComponent, Operation) tells a component that AComponent was inserted into or is
// being removed from the component tree. The owner receives it for its own components and, by the
// base implementation, forwards it to everything it owns, so components with the same owner learn
// of each other's insertion and removal. A component that refers to a component elsewhere (another
// owner, or none) calls that component's FreeNotification(this) to be told when it goes away;
// RemoveFreeNotification undoes the request. Overrides of Notification call the inherited one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/Persistent.h"

namespace framework {

enum TOperation { opInsert, opRemove };

class TReader;
class TWriter;
class TComponent;
// Called by GetChildren for each component to be streamed as a child.
using TGetChildProc = std::function<void(TComponent* Child)>;

// Component state flags, combined in a TComponentState bit set.
enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,  // being built from a stored description; Loaded clears it
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,  // being freed; set before any notification goes out
    csDesigning = 1u << 4,   // lives in a designer rather than in a running program
    csAncestor = 1u << 5,    // comes from the ancestor of an inherited form
};
using TComponentState = uint32_t;

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    // Frees this component (see "Ownership model"). After the call the object no longer exists.
    void Free();

    TComponent* Owner() const { return FOwner; }

    const std::string& Name() const { return FName; }
    // A name is empty or an identifier (letter or "_", then letters, digits and "_"), unique among
    // the components of the same owner without regard to case. Raises EComponentError
    // "'%s' is not a valid component name" or "A component named %s already exists".
    virtual void SetName(const std::string& NewName);

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..ComponentCount-1.
    TComponent* Components(int Index) const;
    // Position in the owner's Components list; -1 without owner.
    int ComponentIndex() const;

    // The owned component with that name (no regard to case), or null. An empty name finds nothing.
    TComponent* FindComponent(const std::string& AName) const;

    // Takes AComponent from its current owner (if any) and makes this its owner; the owner's tree
    // is told with opInsert. Raises EComponentError when the name is already used here.
    void InsertComponent(TComponent* AComponent);
    // Tells the tree (opRemove) and gives up ownership; AComponent lives on without owner and its
    // new holder must free it.
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last first.
    void DestroyComponents();

    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    TComponentState ComponentState() const { return FComponentState; }
    // Marks the start of loading (sets csLoading); Loaded marks its end.
    void Loading() { FComponentState |= csLoading; }
    // Called once the component's stored properties are all set; overrides call the inherited one
    // first and then resolve what needed the other components.
    virtual void Loaded();
    void SetDesigning(bool Value, bool SetChildren = true);
    void SetAncestor(bool Value);
    // Sets csDestroying on this component and everything it owns.
    void Destroying();

    // Streaming: ReadState reads the component's properties and children from Reader (with
    // csReading set and csLoading set until Loaded); WriteState writes them. GetChildren passes
    // the components streamed as this component's children, nothing by default.
    virtual void ReadState(TReader* Reader);
    virtual void WriteState(TWriter* Writer);
    virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root);

    // A number (or pointer-sized value) that the program may use freely.
    intptr_t Tag = 0;

    // Sends opInsert for AComponent, already one of this component's components, to the tree
    // (used by NewComponent once the new component is whole).
    void NotifyInserted(TComponent* AComponent);

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);

private:
    friend class TReader;  // sets and clears the reading and loading flags
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void ValidateName(const std::string& NewName, const TComponent* Owner) const;
    void NotifyFreeNotifiers();
    void LeaveOwner();

    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState = 0;
};

namespace detail {
// Set by NewComponent; the next TComponent constructor takes it and defers its opInsert.
extern thread_local bool DeferInsertNotification;
}  // namespace detail

template <class T, class... Args>
T* NewComponent(TComponent* AOwner, Args&&... args) {
    // The flag must not outlive this call, also when the allocation fails.
    struct Reset {
        ~Reset() { detail::DeferInsertNotification = false; }
    } reset;
    detail::DeferInsertNotification = AOwner != nullptr;
    T* component = new T(AOwner, std::forward<Args>(args)...);
    if (AOwner != nullptr) AOwner->NotifyInserted(component);
    return component;
}

// Deleter that frees a component the way Free does.
struct TComponentDeleter {
    void operator()(TComponent* Component) const {
        if (Component != nullptr) Component->Free();
    }
};
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

}  // namespace framework

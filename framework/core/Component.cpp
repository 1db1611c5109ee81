#include "framework/core/Component.h"

#include <algorithm>

#include "framework/core/Exception.h"

namespace framework {

namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

bool IsValidIdent(const std::string& s) {
    if (s.empty() || !IsIdentStart(s[0])) return false;
    return std::all_of(s.begin() + 1, s.end(), IsIdentChar);
}

// Component names are identifiers, so ASCII case folding is the whole story.
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

void EraseOne(std::vector<TComponent*>& list, TComponent* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end()) list.erase(it);
}

}  // namespace

namespace detail {
thread_local bool DeferInsertNotification = false;
}

TComponent::TComponent(TComponent* AOwner) {
    bool defer = detail::DeferInsertNotification;
    detail::DeferInsertNotification = false;  // components made by this one's constructor notify normally
    if (AOwner == nullptr) return;
    if (defer) {
        AOwner->Insert(this);
    } else {
        AOwner->InsertComponent(this);
    }
}

void TComponent::NotifyInserted(TComponent* AComponent) {
    if (AComponent != nullptr && AComponent->FOwner == this) Notification(AComponent, opInsert);
}

TComponent::~TComponent() {
    // Free() has normally done the first steps already; they are idempotent.
    Destroying();
    NotifyFreeNotifiers();
    DestroyComponents();
    LeaveOwner();
}

void TComponent::Free() {
    Destroying();
    NotifyFreeNotifiers();
    LeaveOwner();
    delete this;
}

void TComponent::LeaveOwner() {
    if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

void TComponent::NotifyFreeNotifiers() {
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        EraseOne(other->FFreeNotifies, this);
        other->Notification(this, opRemove);
    }
}

void TComponent::Destroying() {
    if (FComponentState & csDestroying) return;
    FComponentState |= csDestroying;
    for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::DestroyComponents() {
    // Each child leaves this list as it is freed (through RemoveComponent), so the loop always
    // takes the component inserted last.
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        last->Free();
        // Only the address is compared: a handler that kept the child in this list cannot make
        // the loop run forever.
        if (!FComponents.empty() && FComponents.back() == last) FComponents.pop_back();
    }
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
    if (FOwner == nullptr) return -1;
    auto& list = FOwner->FComponents;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameName(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::ValidateName(const std::string& NewName, const TComponent* Owner) const {
    if (NewName.empty()) return;
    if (!IsValidIdent(NewName)) throw EComponentError("'" + NewName + "' is not a valid component name");
    if (Owner != nullptr) {
        TComponent* existing = Owner->FindComponent(NewName);
        if (existing != nullptr && existing != this)
            throw EComponentError("A component named " + NewName + " already exists");
    }
}

void TComponent::SetName(const std::string& NewName) {
    if (NewName == FName) return;
    ValidateName(NewName, FOwner);
    FName = NewName;
}

void TComponent::Insert(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
    EraseOne(FComponents, AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent->FOwner == this) return;
    AComponent->ValidateName(AComponent->FName, this);
    if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent->FOwner != this) return;
    Notification(AComponent, opRemove);
    Remove(AComponent);
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (AComponent == nullptr || AComponent == this) return;
    // Components of the same owner already hear of each other through the owner's forwarding.
    if (FOwner != nullptr && AComponent->FOwner == FOwner) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    // Both sides keep the link, so whichever goes first tells the other.
    auto& theirs = AComponent->FFreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (AComponent == nullptr) return;
    EraseOne(FFreeNotifies, AComponent);
    EraseOne(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent != nullptr) RemoveFreeNotification(AComponent);
    // Backwards, re-checking the bound: a handler may free components of this owner.
    for (int i = ComponentCount() - 1; i >= 0; --i) {
        if (i >= ComponentCount()) continue;
        FComponents[static_cast<size_t>(i)]->Notification(AComponent, Operation);
    }
}

void TComponent::Loaded() {
    FComponentState &= ~static_cast<TComponentState>(csLoading);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
    if (Value) {
        FComponentState |= csDesigning;
    } else {
        FComponentState &= ~static_cast<TComponentState>(csDesigning);
    }
    if (SetChildren)
        for (TComponent* c : FComponents) c->SetDesigning(Value, true);
}

void TComponent::SetAncestor(bool Value) {
    if (Value) {
        FComponentState |= csAncestor;
    } else {
        FComponentState &= ~static_cast<TComponentState>(csAncestor);
    }
    for (TComponent* c : FComponents) c->SetAncestor(Value);
}

}  // namespace framework

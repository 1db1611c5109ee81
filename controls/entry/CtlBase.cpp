#include "controls/entry/CtlBase.h"

#include <algorithm>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

bool IsIdent(const std::string& s) {
    auto start = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (s.empty() || !start(s[0])) return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char c) { return start(c) || (c >= '0' && c <= '9'); });
}

// The default controller is freed when the library ends.
struct TDefaultControllerHolder {
    TCtlController* Controller = nullptr;
    ~TDefaultControllerHolder() {
        if (Controller) Controller->Free();
    }
};
TDefaultControllerHolder gDefaultController;

// Attached labels stream with forms.
const bool gLabelRegistered = [] {
    if (!GetClass("TCtlAttachedLabel")) RegisterClass<TCtlAttachedLabel>();
    return true;
}();

bool IsLoading(const TComponent* c) {
    return (c->ComponentState() & csLoading) != 0;
}

TCtlStreamerOwner* StreamerOwnerOf(TComponent* Owner) {
    if (auto* c = dynamic_cast<TCtlComponent*>(Owner)) return c;
    if (auto* c = dynamic_cast<TCtlCustomControl*>(Owner)) return c;
    return nullptr;
}

bool NameInTree(const TComponent* Root, const std::string& Name) {
    for (int i = 0; i < Root->ComponentCount(); ++i) {
        const TComponent* c = Root->Components(i);
        if (SameText(c->Name(), Name) || NameInTree(c, Name)) return true;
    }
    return false;
}

}  // namespace

// ---- Free routines ----

TWinControl* CtlGetParentForm(const TControl* Control) {
    if (!Control) return nullptr;
    for (TWinControl* p = Control->Parent(); p; p = p->Parent())
        if (dynamic_cast<TCustomForm*>(p) || dynamic_cast<TCustomFrame*>(p)) return p;
    return nullptr;
}

TCtlController* CtlFindController(const TComponent* Form) {
    if (!Form) return nullptr;
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TCtlController*>(Form->Components(i))) return c;
    return nullptr;
}

void CtlResolveController(const TComponent* Form, TCtlController*& Controller) {
    if (!Controller) Controller = CtlFindController(Form);
}

TCtlController* CtlGetDefaultController() {
    if (!gDefaultController.Controller) gDefaultController.Controller = new TCtlController(nullptr);
    return gDefaultController.Controller;
}

void CtlFreeDefaultController() {
    TCtlController* c = gDefaultController.Controller;
    gDefaultController.Controller = nullptr;
    if (c) c->Free();
}

void CtlUniqueComponentName(const TComponent* Owner, const std::string& BaseName, std::string& Name) {
    if (!IsIdent(BaseName)) throw EComponentError("''" + BaseName + "'' is not a valid component name");
    for (int i = 1;; ++i) {
        Name = BaseName + std::to_string(i);
        if (!Owner || !Owner->FindComponent(Name)) return;
    }
}

// ---- TCtlLabelInfo ----

void TCtlLabelInfo::SetOffsetX(int32_t Value) {
    if (Value == FOffsetX) return;
    FOffsetX = Value;
    OffsetChanged();
}

void TCtlLabelInfo::SetOffsetY(int32_t Value) {
    if (Value == FOffsetY) return;
    FOffsetY = Value;
    OffsetChanged();
}

void TCtlLabelInfo::SetOffsets(int32_t X, int32_t Y) {
    if (X == FOffsetX && Y == FOffsetY) return;
    FOffsetX = X;
    FOffsetY = Y;
    OffsetChanged();
}

void TCtlLabelInfo::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    if (OnVisibleChanged) OnVisibleChanged();
}

void TCtlLabelInfo::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineProperty(
        "OffsetX", [this](TReader* R) { FOffsetX = R->ReadInteger(); },
        [this](TWriter* W) { W->WriteInteger(FOffsetX); }, FVisible);
    Filer->DefineProperty(
        "OffsetY", [this](TReader* R) { FOffsetY = R->ReadInteger(); },
        [this](TWriter* W) { W->WriteInteger(FOffsetY); }, FVisible);
    Filer->DefineProperty(
        "Visible", [this](TReader* R) { FVisible = R->ReadBoolean(); },
        [this](TWriter* W) { W->WriteBoolean(FVisible); }, FVisible);
}

// ---- TCtlAttachedLabel ----

TCtlAttachedLabel::TCtlAttachedLabel(TComponent* AOwner, TWinControl* AControl)
    : TLabel(AOwner), FControl(AControl) {
    SetAutoSize(true);
    SetParentFont(true);
    SetTransparent(false);
}

TCtlAttachedLabel* TCtlAttachedLabel::CreateAttached(TComponent* AOwner, TWinControl* AControl) {
    auto* label = NewComponent<TCtlAttachedLabel>(AOwner, AControl);
    label->SetFocusControl(AControl);
    if (AControl) AControl->FreeNotification(label);
    return label;
}

void TCtlAttachedLabel::Loaded() {
    TLabel::Loaded();
    Announce();
}

void TCtlAttachedLabel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TLabel::SetBounds(ALeft, ATop, AWidth, AHeight);
    Announce();
}

void TCtlAttachedLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FControl) FControl = nullptr;
}

void TCtlAttachedLabel::Announce() {
    if (ComponentState() & (csLoading | csDestroying)) return;
    if (!FControl || (FControl->ComponentState() & csDestroying)) return;
    TWinControl* form = CtlGetParentForm(this);
    if (!form) return;
    for (int i = 0; i < form->ComponentCount(); ++i) {
        if (form->Components(i) != FControl) continue;
        FControl->Perform(OM_ASSIGNLABEL, 0, reinterpret_cast<LPARAM>(this));
        // Only a control with a window can take the posted notice; one without gets its label
        // placed when it is shown or moved.
        if (FControl->HandleAllocated()) PostMessage(FControl->Handle(), OM_RECORDLABELPOSITION, 0, 0);
        return;
    }
}

// ---- TCtlLabelSupport ----

TCtlLabelSupport::TCtlLabelSupport(TWinControl* Control) : FControl(Control) {
    FInfo.OnOffsetChanged = [this] { PositionLabel(); };
    FInfo.OnVisibleChanged = [this] { VisibleChanged(); };
}

TCtlLabelSupport::~TCtlLabelSupport() {
    FInfo.OnOffsetChanged = nullptr;
    FInfo.OnVisibleChanged = nullptr;
}

TCtlAttachedLabel* TCtlLabelSupport::AttachedLabel() const {
    if (!FInfo.Visible()) throw Exception(CtlGetMessage(30244));
    return FLabel;
}

bool TCtlLabelSupport::ControlLoading() const {
    return IsLoading(FControl);
}

TPoint TCtlLabelSupport::CurrentOffsets() const {
    return TPoint{FLabel->Left() - FControl->Left(), FLabel->Top() + FLabel->Height() - FControl->Top()};
}

void TCtlLabelSupport::PlaceLabel() {
    FLabel->SetBounds(FControl->Left() + FInfo.OffsetX(),
                      FControl->Top() + FInfo.OffsetY() - FLabel->Height(), FLabel->Width(),
                      FLabel->Height());
}

void TCtlLabelSupport::PositionLabel() {
    if (!FInfo.Visible() || !FLabel || !FLabel->Parent() || ControlLoading()) return;
    if (CurrentOffsets() != TPoint{FInfo.OffsetX(), FInfo.OffsetY()}) PlaceLabel();
}

void TCtlLabelSupport::RecordPosition() {
    if (!FLabel || !FLabel->Parent()) return;
    FInfo.SetVisibleQuiet(true);
    TPoint p = CurrentOffsets();
    FInfo.SetOffsets(p.X, p.Y);
}

void TCtlLabelSupport::VisibleChanged() {
    if (ControlLoading()) return;
    TWinControl* form = CtlGetParentForm(FControl);
    if (!form) return;
    if (FLabel) {
        TCtlAttachedLabel* old = FLabel;
        FLabel = nullptr;
        old->Free();
    }
    if (!FInfo.Visible()) return;
    TCtlAttachedLabel* label = TCtlAttachedLabel::CreateAttached(form, FControl);
    FLabel = label;
    label->SetParent(FControl->Parent());
    std::string name;
    CtlUniqueComponentName(form, FControl->Name() + "Label", name);
    label->SetName(name);
    label->SetCaption(name);
    FInfo.SetOffsets(0, 0);
    PlaceLabel();
    label->BringToFront();
    label->SetAutoSize(true);
}

bool TCtlLabelSupport::HandleMessage(TMessage& Message) {
    switch (Message.Msg) {
        case OM_POSITIONLABEL:
            PositionLabel();
            return true;
        case OM_RECORDLABELPOSITION:
            RecordPosition();
            return true;
        case OM_ASSIGNLABEL:
            FLabel = reinterpret_cast<TCtlAttachedLabel*>(Message.LParam);
            if (FLabel) FLabel->FreeNotification(FControl);
            return true;
        default:
            return false;
    }
}

void TCtlLabelSupport::ControlVisibleChanged() {
    if (ControlLoading() || !FInfo.Visible() || !FLabel) return;
    FLabel->SetVisible(FControl->Visible());
}

void TCtlLabelSupport::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation != opRemove || !FLabel || AComponent != FLabel) return;
    TWinControl* form = CtlGetParentForm(FControl);
    if (form && !(form->ComponentState() & csDestroying)) FInfo.SetVisibleQuiet(false);
    // The reference goes in every case: the label no longer exists.
    FLabel = nullptr;
}

void TCtlLabelSupport::ControlMoved() {
    if (FControl->HandleAllocated()) PostMessage(FControl->Handle(), OM_POSITIONLABEL, 0, 0);
}

void TCtlLabelSupport::ControlDestroying() {
    TCtlAttachedLabel* label = FLabel;
    FLabel = nullptr;
    FInfo.SetVisibleQuiet(false);
    // A label already on its way out (its form is being freed) is left to its owner.
    if (label && !(label->ComponentState() & csDestroying)) label->Free();
}

// ---- Streamer owners ----

TCtlCollectionStreamer* TCtlStreamerOwner::EnsureStreamer(TComponent* Owner) {
    if (!FStreamer) FStreamer = std::make_unique<TCtlCollectionStreamer>(Owner);
    return FStreamer.get();
}

TCtlStreamerOwner::~TCtlStreamerOwner() {
    if (FStreamer)
        for (TCtlCollection* c : FStreamer->Collections()) c->FStreamer = nullptr;
}

void TCtlStreamerOwner::LoadCollections() {
    if (!FStreamer) return;
    for (TCtlCollection* c : std::vector<TCtlCollection*>(FStreamer->Collections())) {
        c->FLoading = true;
        try {
            c->Changed();
        } catch (...) {
            c->FLoading = false;
            throw;
        }
        c->FLoading = false;
        c->FLoaded = true;
    }
}

bool TCtlStreamerOwner::GetCollectionChildren(const TGetChildProc& Proc) {
    if (!FStreamer) return false;
    for (TCtlCollection* c : FStreamer->Collections()) {
        if (!c->Stored) continue;
        for (int i = 0; i < c->Count(); ++i) Proc(c->Items(i));
    }
    return true;
}

void TCtlCollectionStreamer::Remove(TCtlCollection* Collection) {
    auto it = std::find(FCollections.begin(), FCollections.end(), Collection);
    if (it != FCollections.end()) FCollections.erase(it);
}

// ---- TCtlComponent ----

TCtlComponent::TCtlComponent(TComponent* AOwner) : TCtlCollectionsHost(AOwner) {
    if (AOwner && IsLoading(AOwner)) Loading();  // set up with its form
}

// ---- Windowed bases ----

TCtl32CustomControl::TCtl32CustomControl(TComponent* AOwner) : TCustomControl(AOwner), FLabel(this) {}

TCtl32CustomControl::~TCtl32CustomControl() {
    FLabel.ControlDestroying();
}

void TCtl32CustomControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_SETFOCUS:
            TCustomControl::Dispatch(Message);
            if (HandleAllocated()) PostMessage(FHandle, OM_AFTERENTER, 0, 0);
            return;
        case WM_KILLFOCUS:
            TCustomControl::Dispatch(Message);
            if (HandleAllocated()) PostMessage(FHandle, OM_AFTEREXIT, 0, 0);
            return;
        case OM_AFTERENTER:
            if (AfterEnter) AfterEnter(this);
            return;
        case OM_AFTEREXIT:
            if (AfterExit) AfterExit(this);
            return;
        case WM_MOUSEWHEEL:
            DoOnMouseWheel(KeysToShiftState(Message.WParamLo()), Message.WParamHi(), Message.LParamLo(),
                           Message.LParamHi());
            TCustomControl::Dispatch(Message);
            return;
        case CM_VISIBLECHANGED:
            TCustomControl::Dispatch(Message);
            FLabel.ControlVisibleChanged();
            return;
        default:
            if (!FLabel.HandleMessage(Message)) TCustomControl::Dispatch(Message);
    }
}

void TCtl32CustomControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    FLabel.ControlMoved();
}

void TCtl32CustomControl::DoOnMouseWheel(TShiftState Shift, uint16_t Delta, uint16_t XPos, uint16_t YPos) {
    if (OnMouseWheel) OnMouseWheel(this, Shift, Delta, XPos, YPos);
}

void TCtl32CustomControl::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    FLabel.Notification(AComponent, Operation);
}

TCtlCustomControlEx::TCtlCustomControlEx(TComponent* AOwner) : TCtlCustomControl(AOwner) {}

TCtlCustomControlEx::~TCtlCustomControlEx() = default;

TCtlController* TCtlCustomControlEx::GetController() const {
    return FController ? FController : CtlGetDefaultController();
}

void TCtlCustomControlEx::SetController(TComponent* Value) {
    auto* controller = dynamic_cast<TCtlController*>(Value);
    if (controller == FController) return;
    if (FController) FController->RemoveFreeNotification(this);
    FController = controller;
    if (FController) FController->FreeNotification(this);
}

TCtlController* CtlControllerForWindow(const TControl* Control, TCtlController* Linked) {
    if (Linked || IsLoading(Control)) return Linked;
    TCtlController* c = CtlFindController(CtlGetParentForm(Control));
    if (!c && !(Control->ComponentState() & csDesigning)) c = CtlGetDefaultController();
    return c;
}

void TCtlCustomControlEx::CreateWnd() {
    SetController(CtlControllerForWindow(this, FController));
    TCtlCustomControl::CreateWnd();
}

void TCtlCustomControlEx::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FController) {
        FController = nullptr;
    } else if (Operation == opInsert && !FController) {
        if (auto* c = dynamic_cast<TCtlController*>(AComponent)) SetController(c);
    }
}

// ---- Collections ----

TCtlCollection::TCtlCollection(TComponent* AOwner, TPersistentClass ItemClass)
    : FItemClass(ItemClass), FOwner(AOwner) {
    TCtlStreamerOwner* owner = StreamerOwnerOf(AOwner);
    if (!owner) throw Exception(CtlGetMessage(30242));
    FStreamer = owner->EnsureStreamer(AOwner);
    FStreamer->Add(this);
}

TCtlCollection::~TCtlCollection() {
    if (FStreamer) FStreamer->Remove(this);
    FStreamer = nullptr;
    Clear();
    // Items that stay (inherited ones) no longer belong to a collection.
    for (TCtlCollectibleControl* item : FItems) item->FCollection = nullptr;
}

TCtlCollectibleControl* TCtlCollection::ItemByName(const std::string& Name) const {
    for (TCtlCollectibleControl* item : FItems)
        if (item->Name() == Name) return item;
    return nullptr;
}

void TCtlCollection::Changed() {
    if (FInChanged) return;
    FInChanged = true;
    try {
        if (OnChanged) OnChanged(this);
    } catch (...) {
        FInChanged = false;
        throw;
    }
    FInChanged = false;
}

void TCtlCollection::Clear() {
    for (size_t i = FItems.size(); i > 0; --i) {
        if (i > FItems.size()) continue;  // an item's going took others with it
        TCtlCollectibleControl* item = FItems[i - 1];
        if (item->ComponentState() & csAncestor) continue;
        item->Free();
    }
}

void TCtlCollection::RemoveItem(TCtlCollectibleControl* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it != FItems.end()) FItems.erase(it);
}

TCtlCollectibleControl::TCtlCollectibleControl(TComponent* AOwner, TPersistentClass Self)
    : TCtlCustomControl(AOwner) {
    if (!Self) Self = ClassOf<TCtlCollectibleControl>();
    TCtlStreamerOwner* owner = StreamerOwnerOf(AOwner);
    if (!owner) throw Exception(CtlGetMessage(30242));
    TCtlCollectionStreamer* streamer = owner->CollectionStreamer();
    if (!streamer) throw Exception(CtlGetMessage(30241));
    for (TCtlCollection* c : streamer->Collections()) {
        if (!Self->InheritsFrom(c->ItemClass())) continue;
        FCollection = c;
        c->AddItem(this);
        break;
    }
    if (!FCollection) throw Exception(CtlGetMessage(30246));
    // At design time a new item names itself (components made in code do not inherit the state).
    if ((AOwner->ComponentState() & csDesigning) && !IsLoading(AOwner)) SetName(GetUniqueName());
}

TCtlCollectibleControl::~TCtlCollectibleControl() {
    if (!FCollection) return;
    TCtlCollection* c = FCollection;
    FCollection = nullptr;
    c->RemoveItem(this);
    if (ComponentState() & csDesigning) c->Changed();
}

void TCtlCollectibleControl::SetCollection(TCtlCollection* Value) {
    if (Value == FCollection) return;
    if (Value && !Value->ItemClass()->IsClassOf(this)) throw Exception(CtlGetMessage(30243));
    if (FCollection) FCollection->RemoveItem(this);
    FCollection = Value;
    if (FCollection) FCollection->AddItem(this);
}

void TCtlCollectibleControl::SetName(const std::string& NewName) {
    TCtlCustomControl::SetName(NewName);
    if (!IsLoading(this)) ItemChanged();
}

void TCtlCollectibleControl::ItemChanged() {
    if (FInChange || !FCollection) return;
    FInChange = true;
    try {
        FCollection->Changed();
    } catch (...) {
        FInChange = false;
        throw;
    }
    FInChange = false;
}

std::string TCtlCollectibleControl::GetUniqueName() const {
    const TComponent* root = Owner();
    while (root && !dynamic_cast<const TCustomForm*>(root) && root->Owner()) root = root->Owner();
    for (int i = 1;; ++i) {
        std::string name = Format("%s%d", {GetBaseName(), i});
        if (!root || !NameInTree(root, name)) return name;
    }
}

}  // namespace entry

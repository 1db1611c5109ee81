#pragma once
// The bases every control of the entry and grid libraries stands on: the attached label and its
// position, the focus notices that arrive after the focus change has settled, the link to the
// form's controller, lists of child controls (collections) that stream with their owner, and the
// library's private window messages.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Filer.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace entry {

class TCtlController;
class TCtlCollection;
class TCtlCollectibleControl;

// ---- Private window messages ----
constexpr framework::UINT OM_REPORTERROR = 0x7F00;
constexpr framework::UINT OM_SETFOCUS = 0x7F01;
constexpr framework::UINT OM_RECREATEWND = 0x7F05;
constexpr framework::UINT OM_PREEDIT = 0x7F06;
constexpr framework::UINT OM_POSTEDIT = 0x7F07;
constexpr framework::UINT OM_AFTERENTER = 0x7F08;
constexpr framework::UINT OM_AFTEREXIT = 0x7F09;
constexpr framework::UINT OM_DELAYNOTIFY = 0x7F0A;
constexpr framework::UINT OM_POSITIONLABEL = 0x7F0B;
constexpr framework::UINT OM_RECORDLABELPOSITION = 0x7F0C;
constexpr framework::UINT OM_ASSIGNLABEL = 0x7F0D;
constexpr framework::UINT OM_ITEMSCHANGED = 0x7F10;
constexpr framework::UINT OM_GETATTACHEDBUTTON = 0x7F11;

// What every component of the library reads for About.
inline constexpr const char* CtlVersion = "v4.06";

// Sender, shift keys, wheel distance, pointer position (as the message carries them).
using TCtlMouseWheelEvent = std::function<void(framework::TObject* Sender, framework::TShiftState Shift,
                                               uint16_t Delta, uint16_t XPos, uint16_t YPos)>;

// ---- Free routines ----
// The first form or frame on the control's Parent chain (starting with its parent), or nil.
framework::TWinControl* CtlGetParentForm(const framework::TControl* Control);
// The first component of Form (in Components order) that is a controller, or nil.
TCtlController* CtlFindController(const framework::TComponent* Form);
// Sets Controller to CtlFindController(Form) when it is nil.
void CtlResolveController(const framework::TComponent* Form, TCtlController*& Controller);
// The controller a control links to when its window is made: its own link; else, unless it is
// loading, its form's; else, outside design time, the default controller.
TCtlController* CtlControllerForWindow(const framework::TControl* Control, TCtlController* Linked);
// The process-wide controller of controls whose form has none: made on first use, freed when the
// library ends (or by CtlFreeDefaultController).
TCtlController* CtlGetDefaultController();
void CtlFreeDefaultController();
// BaseName followed by the first number from 1 that no component of Owner bears; EComponentError
// when BaseName is not an identifier.
void CtlUniqueComponentName(const framework::TComponent* Owner, const std::string& BaseName,
                            std::string& Name);

// ---- Attached label ----

// Where the attached label sits: OffsetX from the control's left edge to the label's, OffsetY from
// the control's top edge to the label's bottom edge (0: directly above the control).
class TCtlLabelInfo : public framework::TPersistent {
public:
    int32_t OffsetX() const { return FOffsetX; }
    int32_t OffsetY() const { return FOffsetY; }
    bool Visible() const { return FVisible; }
    void SetOffsetX(int32_t Value);
    void SetOffsetY(int32_t Value);
    // Both at once, with one notice (none when both are unchanged).
    void SetOffsets(int32_t X, int32_t Y);
    void SetVisible(bool Value);
    // Stores the value without telling the owner.
    void SetVisibleQuiet(bool Value) { FVisible = Value; }

    std::function<void()> OnOffsetChanged;
    std::function<void()> OnVisibleChanged;

    // OffsetX and OffsetY are stored only while Visible.
    void DefineProperties(framework::TFiler* Filer) override;

private:
    void OffsetChanged() {
        if (OnOffsetChanged) OnOffsetChanged();
    }
    int32_t FOffsetX = 0;
    int32_t FOffsetY = 0;
    bool FVisible = false;
};

// A label that belongs to a control: it follows the control and tells it where it was moved.
class TCtlAttachedLabel : public framework::TLabel {
public:
    explicit TCtlAttachedLabel(framework::TComponent* AOwner, framework::TWinControl* AControl = nullptr);
    // The label of AControl, owned by AOwner.
    static TCtlAttachedLabel* CreateAttached(framework::TComponent* AOwner, framework::TWinControl* AControl);

    framework::TWinControl* Control() const { return FControl; }
    void SetControl(framework::TWinControl* Value) { FControl = Value; }

    void Loaded() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    // Tells the control that this is its label and where it now stands.
    void Announce();
    framework::TWinControl* FControl = nullptr;
};

// The attached-label behaviour of a windowed control, shared by the library's windowed bases and
// its edit: the control forwards its messages, notifications and moves here.
class TCtlLabelSupport {
public:
    explicit TCtlLabelSupport(framework::TWinControl* Control);
    ~TCtlLabelSupport();
    TCtlLabelSupport(const TCtlLabelSupport&) = delete;
    TCtlLabelSupport& operator=(const TCtlLabelSupport&) = delete;

    TCtlLabelInfo& LabelInfo() { return FInfo; }
    // Raises "Label not attached" while LabelInfo.Visible is False.
    TCtlAttachedLabel* AttachedLabel() const;
    // The label object, nil when there is none (no check).
    TCtlAttachedLabel* LabelObject() const { return FLabel; }

    // Handles the label's messages; false for any other.
    bool HandleMessage(framework::TMessage& Message);
    // After the control's CM_VISIBLECHANGED, Notification and SetBounds.
    void ControlVisibleChanged();
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation);
    void ControlMoved();
    // Hides the label before the control goes.
    void ControlDestroying();

private:
    void PositionLabel();
    void RecordPosition();
    void VisibleChanged();
    void PlaceLabel();
    bool ControlLoading() const;
    framework::TPoint CurrentOffsets() const;

    framework::TWinControl* FControl;
    TCtlLabelInfo FInfo;
    TCtlAttachedLabel* FLabel = nullptr;
};

// ---- Component and control bases ----

class TCtlCollectionStreamer;

// What the three bases with collection streaming share.
class TCtlStreamerOwner {
public:
    TCtlCollectionStreamer* CollectionStreamer() const { return FStreamer.get(); }
    TCtlCollectionStreamer* EnsureStreamer(framework::TComponent* Owner);

protected:
    ~TCtlStreamerOwner();
    // For Loaded: each collection's Changed once, with its loading flag set.
    void LoadCollections();
    // For GetChildren: true when a streamer passed the collections' items.
    bool GetCollectionChildren(const framework::TGetChildProc& Proc);

    std::unique_ptr<TCtlCollectionStreamer> FStreamer;
};

// A base whose collections stream as its children and hear Changed once it is loaded.
template <class Base>
class TCtlCollectionsHost : public Base, public TCtlStreamerOwner {
public:
    using Base::Base;
    void Loaded() override {
        LoadCollections();
        Base::Loaded();
    }
    void GetChildren(const framework::TGetChildProc& Proc, framework::TComponent* Root) override {
        if (!GetCollectionChildren(Proc)) Base::GetChildren(Proc, Root);
    }
};

class TCtlComponent : public TCtlCollectionsHost<framework::TComponent> {
public:
    explicit TCtlComponent(framework::TComponent* AOwner);
    std::string About() const { return CtlVersion; }
    void SetAbout(const std::string&) {}
};

class TCtlGraphicControl : public TCtlCollectionsHost<framework::TGraphicControl> {
public:
    using TCtlCollectionsHost::TCtlCollectionsHost;
    std::string About() const { return CtlVersion; }
    void SetAbout(const std::string&) {}
};

// The windowed base without collection streaming: attached label, AfterEnter/AfterExit posted
// after the focus change, and the wheel event.
class TCtl32CustomControl : public framework::TCustomControl {
public:
    explicit TCtl32CustomControl(framework::TComponent* AOwner);
    ~TCtl32CustomControl() override;

    std::string About() const { return CtlVersion; }
    void SetAbout(const std::string&) {}
    TCtlLabelInfo& LabelInfo() { return FLabel.LabelInfo(); }
    TCtlAttachedLabel* AttachedLabel() const { return FLabel.AttachedLabel(); }

    framework::TNotifyEvent AfterEnter;
    framework::TNotifyEvent AfterExit;
    TCtlMouseWheelEvent OnMouseWheel;

    void Dispatch(framework::TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    virtual void DoOnMouseWheel(framework::TShiftState Shift, uint16_t Delta, uint16_t XPos, uint16_t YPos);
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TCtlLabelSupport FLabel;
};

// The windowed base of the library's controls; its collections stream with it.
class TCtlCustomControl : public TCtlCollectionsHost<TCtl32CustomControl> {
public:
    using TCtlCollectionsHost::TCtlCollectionsHost;
};

// A control linked to a controller; without a link it uses the form's or the default one.
class TCtlCustomControlEx : public TCtlCustomControl {
public:
    explicit TCtlCustomControlEx(framework::TComponent* AOwner);
    ~TCtlCustomControlEx() override;

    // The linked controller, or the default controller when none is linked.
    TCtlController* GetController() const;
    // The link itself (nil when none).
    TCtlController* Controller() const { return FController; }
    // A component that is not a controller is taken as nil.
    virtual void SetController(framework::TComponent* Value);

protected:
    void CreateWnd() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TCtlController* FController = nullptr;
};

// ---- Collections ----

// The collections registered with one owner (not owned: each leaves when it is destroyed).
class TCtlCollectionStreamer : public framework::TObject {
public:
    explicit TCtlCollectionStreamer(framework::TComponent* Owner) : FOwner(Owner) {}
    framework::TComponent* Owner() const { return FOwner; }
    const std::vector<TCtlCollection*>& Collections() const { return FCollections; }
    void Add(TCtlCollection* Collection) { FCollections.push_back(Collection); }
    void Remove(TCtlCollection* Collection);

private:
    framework::TComponent* FOwner;
    std::vector<TCtlCollection*> FCollections;
};

// A list of child controls of one class, owned by a component or control of the library.
class TCtlCollection : public framework::TPersistent {
public:
    // Raises "Owner must be a TCtlComponent or TCtlCustomComponent descendant" for another owner.
    TCtlCollection(framework::TComponent* AOwner, framework::TPersistentClass ItemClass);
    ~TCtlCollection() override;

    int Count() const { return static_cast<int>(FItems.size()); }
    TCtlCollectibleControl* Items(int Index) const { return FItems.at(static_cast<size_t>(Index)); }
    // The first item whose Name is exactly Name (case counts), or nil.
    TCtlCollectibleControl* ItemByName(const std::string& Name) const;
    framework::TPersistentClass ItemClass() const { return FItemClass; }
    framework::TComponent* Owner() const { return FOwner; }
    bool Stored = true;
    framework::TNotifyEvent OnChanged;

    virtual void Changed();
    // Frees the items, last first, except those inherited from an ancestor form.
    virtual void Clear();

    bool Loading() const { return FLoading; }
    bool LoadedOnce() const { return FLoaded; }

private:
    friend class TCtlCollectibleControl;
    friend class TCtlStreamerOwner;
    void AddItem(TCtlCollectibleControl* Item) { FItems.push_back(Item); }
    void RemoveItem(TCtlCollectibleControl* Item);

    framework::TPersistentClass FItemClass;
    std::vector<TCtlCollectibleControl*> FItems;
    framework::TComponent* FOwner;
    TCtlCollectionStreamer* FStreamer = nullptr;
    bool FLoading = false;
    bool FLoaded = false;
    bool FInChanged = false;
};

// A control that is an item of its owner's collection for its class.
class TCtlCollectibleControl : public TCtlCustomControl {
public:
    // Joins the owner's first collection whose item class this control's class (Self, passed by
    // each descendant as its own class) is or descends from; raises "No collection exists in the
    // owner component", "Owner must be ..." or "No collection found for this type".
    explicit TCtlCollectibleControl(framework::TComponent* AOwner,
                                    framework::TPersistentClass Self = nullptr);
    ~TCtlCollectibleControl() override;

    TCtlCollection* Collection() const { return FCollection; }
    // Raises "Item incompatible with collection" when the control is not of its item class.
    void SetCollection(TCtlCollection* Value);
    virtual std::string GetDisplayName() const { return ClassName(); }
    void SetName(const std::string& NewName) override;

protected:
    virtual void ItemChanged();
    virtual std::string GetBaseName() const { return "CollectionItem"; }
    // The base name and the first number that no component of the owner form's tree bears
    // (compared without regard to case).
    virtual std::string GetUniqueName() const;

private:
    friend class TCtlCollection;
    TCtlCollection* FCollection = nullptr;
    bool FInChange = false;
};

}  // namespace entry

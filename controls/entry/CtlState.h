#pragma once
// Window and control state kept between runs. A store (a key of the registry) and state
// components placed on a form: the form state keeps the window's placement, show state, colour,
// active control and monitor, the component state a list of "Component.Property" paths whose
// values are kept. The states take over the form's OnCreate (restore), OnCloseQuery and OnDestroy
// (save) handlers, so a form needs no code of its own. Every value is text.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "framework/core/Strings.h"
#include "framework/stdctrls/TypInfo.h"
#include "framework/ui/Forms.h"

namespace platform {
class TRegIniFile;
}

namespace entry {

// ---- Stores ----

// Where state values live: sections of named text values. Open and Close bracket the reads and
// writes; OpenStore/CloseStore count nested use so that only the outermost pair opens and closes.
class TCtlAbstractStore : public TCtlComponent {
public:
    explicit TCtlAbstractStore(framework::TComponent* AOwner);

    virtual void Open() = 0;
    virtual void Close() = 0;
    // The value, or Default when the value or its section is missing.
    virtual std::string ReadString(const std::string& Section, const std::string& Name,
                                   const std::string& Default) = 0;
    virtual void WriteString(const std::string& Section, const std::string& Name,
                             const std::string& Value) = 0;
    // Removes a section with all its values; nothing here.
    virtual void EraseSection(const std::string& Section);

    void OpenStore();
    void CloseStore();
    int32_t OpenCount() const { return FOpenCount; }
    // Decimal text; text that is not a 32-bit integer reads as Default.
    int32_t ReadInteger(const std::string& Section, const std::string& Name, int32_t Default);
    void WriteInteger(const std::string& Section, const std::string& Name, int32_t Value);

private:
    int32_t FOpenCount = 0;
};

enum TCtlRegistryRoot { rrCurrentUser, rrLocalMachine };

// A key of the registry: each section is a sub-key, each name a text value in it.
class TCtlRegistryStore : public TCtlAbstractStore {
public:
    explicit TCtlRegistryStore(framework::TComponent* AOwner);
    ~TCtlRegistryStore() override;

    // The key below the root: the set text, or (when empty and not designing) "Software\" and the
    // program file's name without folder and extension.
    std::string KeyName() const;
    // Leading and trailing backslashes are dropped.
    void SetKeyName(const std::string& Value);
    TCtlRegistryRoot RegistryRoot = rrCurrentUser;

    void Open() override;
    void Close() override;
    std::string ReadString(const std::string& Section, const std::string& Name,
                           const std::string& Default) override;
    // Raises ECtlException "Failed to set data for '<Name>'" when the settings cannot be written.
    void WriteString(const std::string& Section, const std::string& Name, const std::string& Value) override;
    void EraseSection(const std::string& Section) override;

private:
    std::string FKeyName;
    std::unique_ptr<platform::TRegIniFile> FRegIni;  // only between Open and Close
};

// ---- Value names and property lists ----

// Reads and writes the values of one section, each named by a prefix and a property name.
class TCtlDataFiler : public framework::TObject {
public:
    TCtlDataFiler(TCtlAbstractStore* Store, const std::string& Section, const std::string& Prefix = "");

    virtual std::unique_ptr<TCtlDataFiler> NewFiler(const std::string& Prefix) const;
    virtual void EraseSection(const std::string& Section);
    virtual std::string GetValueName(const std::string& PropName) const { return FPrefix + PropName; }
    // Without a store: Default, and writes go nowhere.
    virtual std::string ReadString(const std::string& Section, const std::string& Name,
                                   const std::string& Default);
    virtual void WriteString(const std::string& Section, const std::string& Name, const std::string& Value);

    const std::string& Section() const { return FSection; }
    const std::string& Prefix() const { return FPrefix; }
    TCtlAbstractStore* Store() const { return FStore; }

private:
    TCtlAbstractStore* FStore;
    std::string FSection;
    std::string FPrefix;
};

// The published properties of one object but its events, sorted by name; a collection-valued
// property gives way to its items' properties ("Columns[0].Width"), appended at the end.
class TCtlPropertyList : public framework::TObject {
public:
    explicit TCtlPropertyList(framework::TObject* Instance, const std::string& Prefix = "");
    int Count() const { return static_cast<int>(FItems.size()); }
    const framework::TPropertyRef& Items(int Index) const { return FItems.at(static_cast<size_t>(Index)); }
    // The entry of that name (no regard to case), or nil.
    const framework::TPropertyRef* Find(const std::string& Name) const;

private:
    std::vector<framework::TPropertyRef> FItems;
};

// ---- States ----

// A state component: it sits on a form (or a frame, and then works on the frame's owner), hooks
// the form's OnCreate, OnCloseQuery and OnDestroy when it is loaded, restores on create and saves
// on close or destroy. A state that never restored never saves (it would overwrite the values).
class TCtlAbstractState : public TCtlComponent {
public:
    // Raises ECtlException "This component can only be used on forms" for another owner.
    explicit TCtlAbstractState(framework::TComponent* AOwner);
    ~TCtlAbstractState() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    // The set text, or the class name of the form worked on.
    std::string Section() const;
    void SetSection(const std::string& Value) { FSection = Value; }
    TCtlAbstractStore* Storage() const { return FStorage; }
    void SetStorage(TCtlAbstractStore* Value);

    framework::TNotifyEvent OnSaveState;
    framework::TNotifyEvent OnRestoreState;

    virtual void RestoreState() = 0;
    virtual void SaveState() = 0;
    // RestoreState with the bookkeeping around it.
    void Restore();
    // SaveState with the bookkeeping, only after a restore (or while not Active).
    void Save();
    bool Restored() const { return FRestored; }
    bool Saved() const { return FSaved; }

    void Loaded() override;

protected:
    virtual void DoOnSaveState();
    virtual void DoOnRestoreState();
    virtual void HookFormEvents();
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    // The owner, or the frame's owner when the owner is a frame.
    framework::TComponent* WorkForm() const;
    // The set section text (empty when none was set).
    const std::string& SectionText() const { return FSection; }
    bool SavingOnDestroy() const { return FSavingOnDestroy; }

private:
    void FormCreate(framework::TObject* Sender);
    void FormCloseQuery(framework::TObject* Sender, bool& CanClose);
    void FormDestroy(framework::TObject* Sender);
    // Runs a restore or a save; what it raises goes to the application's handler.
    template <class F>
    void Guarded(F Work);

    bool FActive = true;
    std::string FSection;
    TCtlAbstractStore* FStorage = nullptr;
    framework::TNotifyEvent FSaveFormCreate;
    framework::TNotifyEvent FSaveFormDestroy;
    framework::TCloseQueryEvent FSaveFormCloseQuery;
    framework::TCustomForm* FHookedForm = nullptr;
    bool FRestored = false;
    bool FSaved = false;
    bool FSavingOnDestroy = false;
};

enum TCtlFormStateOption : uint8_t {
    fsState = 1u << 0,
    fsPosition = 1u << 1,
    fsNoSize = 1u << 2,
    fsColor = 1u << 3,
    fsActiveControl = 1u << 4,
    fsDefaultMonitor = 1u << 5,
};
using TCtlFormStateOptions = uint8_t;

// The window's placement ("Flags", "ShowCmd", "NormalPos"), "PixelsPerInch", "Color" and, by
// option, "DefaultMonitor" and "ActiveControl".
class TCtlFormState : public TCtlAbstractState {
public:
    explicit TCtlFormState(framework::TComponent* AOwner);
    TCtlFormStateOptions Options = fsState | fsPosition;

    void RestoreState() override;
    void SaveState() override;

private:
    // Steps that place the window; false when the stored placement is not taken at all.
    void RestorePlacement(framework::TCustomForm* Form);
    void RestoreActiveControl(framework::TComponent* Form);
    void FixMaximizedPosition(framework::TCustomForm* Form);
};

// The values of the properties named in StoredProperties, one path per line ("DDirname.Caption"),
// each line carrying the component it names.
class TCtlComponentState : public TCtlAbstractState {
public:
    explicit TCtlComponentState(framework::TComponent* AOwner);
    ~TCtlComponentState() override;

    framework::TStrings& StoredProperties() { return *FStoredProperties; }
    // Copies the lines and their components; lines without one are resolved at once when the
    // state is already loaded.
    void SetStoredProperties(framework::TStrings* Value);

    void RestoreState() override;
    void SaveState() override;
    void Loaded() override;

protected:
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    // Attaches each line's component (found by name among the owner's components); drops lines
    // that name none.
    void ResolveLines();
    // Rewrites each line under its component's current name; drops lines without a component.
    void RefreshLines();
    // Refreshes the lines, then runs Work on each line's property with a filer for its component.
    void ForEachStoredProperty(
        TCtlDataFiler& Filer,
        const std::function<void(TCtlDataFiler&, const framework::TPropertyRef&)>& Work);
    void RestoreProperty(TCtlDataFiler& Filer, const framework::TPropertyRef& Ref, int Depth);
    void SaveProperty(TCtlDataFiler& Filer, const framework::TPropertyRef& Ref, int Depth);
    void RestoreObject(TCtlDataFiler& Filer, framework::TObject* Object, const std::string& ValueName,
                       int Depth);
    void SaveObject(TCtlDataFiler& Filer, framework::TObject* Object, const std::string& ValueName,
                    int Depth);

    std::unique_ptr<framework::TStringList> FStoredProperties;
};

// The most lines a kept string list reads back: a larger (or negative) "Count" counts as none.
constexpr int32_t CtlMaxStoredLines = 100000;

}  // namespace entry

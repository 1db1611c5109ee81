#include "controls/entry/CtlState.h"

#include <map>

#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Windows.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlOnlyOnForms = 30337;
// How deep object-valued properties are followed (a font's properties are one level down).
constexpr int kMaxObjectDepth = 8;
// A window larger than this in either direction is taken for a damaged value.
constexpr int kMaxWindowExtent = 32767;

// Closes the store however the work ends.
struct TStoreUse {
    explicit TStoreUse(TCtlAbstractStore* S) : Store(S) { Store->OpenStore(); }
    ~TStoreUse() { Store->CloseStore(); }
    TStoreUse(const TStoreUse&) = delete;
    TStoreUse& operator=(const TStoreUse&) = delete;
    TCtlAbstractStore* Store;
};

bool IsDesigning(const TComponent* C) {
    return (C->ComponentState() & csDesigning) != 0;
}

// The program file's name without folder and extension ("Korvane").
std::string ProgramBaseName() {
    std::string file = platform::GetModuleFileName();
    if (file.empty()) file = platform::kProgramFileName;
    size_t slash = file.find_last_of("\\/:");
    if (slash != std::string::npos) file.erase(0, slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) file.erase(dot);
    return file;
}

// The words of a text separated by blanks and commas.
std::vector<std::string> Words(const std::string& Text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : Text) {
        if (c == ' ' || c == ',') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// Word Index (from 1) as an integer, else Default.
int32_t WordInt(const std::vector<std::string>& W, size_t Index, int32_t Default) {
    int32_t v;
    if (Index < 1 || Index > W.size() || !TryStrToInt(W[Index - 1], v)) return Default;
    return v;
}

// A line "Component.Path": both parts trimmed and not empty.
bool SplitLine(const std::string& Line, std::string& Component, std::string& Path) {
    size_t dot = Line.find('.');
    if (dot == std::string::npos) return false;
    Component = Trim(Line.substr(0, dot));
    Path = Trim(Line.substr(dot + 1));
    return !Component.empty() && !Path.empty();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Stores

TCtlAbstractStore::TCtlAbstractStore(TComponent* AOwner) : TCtlComponent(AOwner) {}

void TCtlAbstractStore::EraseSection(const std::string&) {}

void TCtlAbstractStore::OpenStore() {
    if (FOpenCount++ == 0) Open();
}

void TCtlAbstractStore::CloseStore() {
    if (FOpenCount <= 0) return;
    if (--FOpenCount == 0) Close();
}

int32_t TCtlAbstractStore::ReadInteger(const std::string& Section, const std::string& Name, int32_t Default) {
    int32_t v;
    if (TryStrToInt(ReadString(Section, Name, IntToStr(Default)), v)) return v;
    return Default;
}

void TCtlAbstractStore::WriteInteger(const std::string& Section, const std::string& Name, int32_t Value) {
    WriteString(Section, Name, IntToStr(Value));
}

TCtlRegistryStore::TCtlRegistryStore(TComponent* AOwner) : TCtlAbstractStore(AOwner) {}

TCtlRegistryStore::~TCtlRegistryStore() = default;

std::string TCtlRegistryStore::KeyName() const {
    if (FKeyName.empty() && !IsDesigning(this)) return "Software\\" + ProgramBaseName();
    return FKeyName;
}

void TCtlRegistryStore::SetKeyName(const std::string& Value) {
    size_t a = Value.find_first_not_of('\\');
    if (a == std::string::npos) {
        FKeyName.clear();
        return;
    }
    size_t b = Value.find_last_not_of('\\');
    FKeyName = Value.substr(a, b - a + 1);
}

void TCtlRegistryStore::Open() {
    platform::HKEY root =
        RegistryRoot == rrLocalMachine ? platform::HKEY_LOCAL_MACHINE : platform::HKEY_CURRENT_USER;
    FRegIni = std::make_unique<platform::TRegIniFile>(KeyName(), root);
}

void TCtlRegistryStore::Close() {
    FRegIni.reset();
}

std::string TCtlRegistryStore::ReadString(const std::string& Section, const std::string& Name,
                                          const std::string& Default) {
    if (!FRegIni) return Default;
    return FRegIni->ReadString(Section, Name, Default);
}

void TCtlRegistryStore::WriteString(const std::string& Section, const std::string& Name,
                                    const std::string& Value) {
    if (!FRegIni) return;
    if (!FRegIni->WriteString(Section, Name, Value))
        throw ECtlException("Failed to set data for '" + Name + "'");
}

void TCtlRegistryStore::EraseSection(const std::string& Section) {
    if (FRegIni) FRegIni->EraseSection(Section);
}

// ---------------------------------------------------------------------------------------------
// Filer and property list

TCtlDataFiler::TCtlDataFiler(TCtlAbstractStore* Store, const std::string& Section, const std::string& Prefix)
    : FStore(Store), FSection(Section), FPrefix(Prefix) {}

std::unique_ptr<TCtlDataFiler> TCtlDataFiler::NewFiler(const std::string& Prefix) const {
    return std::make_unique<TCtlDataFiler>(FStore, FSection, Prefix);
}

void TCtlDataFiler::EraseSection(const std::string& Section) {
    if (FStore) FStore->EraseSection(Section);
}

std::string TCtlDataFiler::ReadString(const std::string& Section, const std::string& Name,
                                      const std::string& Default) {
    return FStore ? FStore->ReadString(Section, Name, Default) : std::string();
}

void TCtlDataFiler::WriteString(const std::string& Section, const std::string& Name,
                                const std::string& Value) {
    if (FStore) FStore->WriteString(Section, Name, Value);
}

TCtlPropertyList::TCtlPropertyList(TObject* Instance, const std::string& Prefix)
    : FItems(GetPropertyList(Instance, Prefix)) {}

const TPropertyRef* TCtlPropertyList::Find(const std::string& Name) const {
    for (const TPropertyRef& r : FItems)
        if (CompareText(r.Path, Name) == 0) return &r;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TCtlAbstractState

TCtlAbstractState::TCtlAbstractState(TComponent* AOwner) : TCtlComponent(AOwner) {
    if (!dynamic_cast<TCustomForm*>(AOwner) && !dynamic_cast<TCustomFrame*>(AOwner))
        throw ECtlException(CtlGetMessage(SCtlOnlyOnForms));
}

TCtlAbstractState::~TCtlAbstractState() {
    // A form that is going away keeps what it has; a state freed alone gives the handlers back.
    if (FHookedForm && !(FHookedForm->ComponentState() & csDestroying)) {
        FHookedForm->OnCreate = std::move(FSaveFormCreate);
        FHookedForm->OnCloseQuery = std::move(FSaveFormCloseQuery);
        FHookedForm->OnDestroy = std::move(FSaveFormDestroy);
    }
}

TComponent* TCtlAbstractState::WorkForm() const {
    TComponent* owner = Owner();
    if (dynamic_cast<TCustomFrame*>(owner)) return owner->Owner();
    return owner;
}

std::string TCtlAbstractState::Section() const {
    if (!FSection.empty()) return FSection;
    TComponent* form = WorkForm();
    return form ? form->ClassName() : std::string();
}

void TCtlAbstractState::SetStorage(TCtlAbstractStore* Value) {
    if (FStorage == Value) return;
    if (FStorage) FStorage->RemoveFreeNotification(this);
    FStorage = Value;
    if (FStorage) FStorage->FreeNotification(this);
}

void TCtlAbstractState::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FStorage) {
        FStorage = nullptr;
        FActive = false;
    }
}

void TCtlAbstractState::Loaded() {
    const bool wasLoading = (ComponentState() & csLoading) != 0;
    TCtlComponent::Loaded();
    if (wasLoading && !IsDesigning(this)) HookFormEvents();
}

void TCtlAbstractState::HookFormEvents() {
    auto* form = dynamic_cast<TCustomForm*>(WorkForm());
    if (!form || FHookedForm) return;
    FHookedForm = form;
    FSaveFormCreate = form->OnCreate;
    FSaveFormCloseQuery = form->OnCloseQuery;
    FSaveFormDestroy = form->OnDestroy;
    form->OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
    form->OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
    form->OnDestroy = [this](TObject* Sender) { FormDestroy(Sender); };
}

template <class F>
void TCtlAbstractState::Guarded(F Work) {
    try {
        Work();
    } catch (...) {
        Application->HandleException(this);
    }
}

void TCtlAbstractState::FormCreate(TObject* Sender) {
    if (FSaveFormCreate) FSaveFormCreate(Sender);
    if (FActive) Guarded([this] { Restore(); });
}

void TCtlAbstractState::FormCloseQuery(TObject* Sender, bool& CanClose) {
    if (FSaveFormCloseQuery) FSaveFormCloseQuery(Sender, CanClose);
    if (CanClose && FActive) Guarded([this] { Save(); });
}

void TCtlAbstractState::FormDestroy(TObject* Sender) {
    if (FActive && !FSaved) {
        FSavingOnDestroy = true;
        Guarded([this] { Save(); });
        FSavingOnDestroy = false;
    }
    if (FSaveFormDestroy) FSaveFormDestroy(Sender);
}

void TCtlAbstractState::Restore() {
    FSaved = false;
    RestoreState();
    FRestored = true;
    DoOnRestoreState();
}

void TCtlAbstractState::Save() {
    if (!FRestored && FActive) return;
    SaveState();
    DoOnSaveState();
    FSaved = true;
}

void TCtlAbstractState::DoOnSaveState() {
    if (OnSaveState) OnSaveState(this);
}

void TCtlAbstractState::DoOnRestoreState() {
    if (OnRestoreState) OnRestoreState(this);
}

// ---------------------------------------------------------------------------------------------
// TCtlFormState

namespace {

// The form's placement; a form without a window yet reports the bounds and state it keeps.
TWindowPlacement FormPlacement(TCustomForm* Form) {
    TWindowPlacement p;
    if (Form->HandleAllocated() && GetWindowPlacement(Form->Handle(), &p)) return p;
    p.rcNormalPosition = Form->NormalBounds();
    p.ptMaxPosition = Form->MaxPosition();
    p.showCmd = Form->WindowState() == wsMinimized   ? SW_SHOWMINIMIZED
                : Form->WindowState() == wsMaximized ? SW_SHOWMAXIMIZED
                                                     : SW_SHOWNORMAL;
    return p;
}

// The focus may go to a control whose every parent up to the form is visible and enabled (the
// form itself need not be shown yet).
bool MayTakeFocus(TWinControl* Control, TComponent* Form) {
    for (TControl* c = Control; c && c != Form; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

}  // namespace

TCtlFormState::TCtlFormState(TComponent* AOwner) : TCtlAbstractState(AOwner) {}

void TCtlFormState::RestoreState() {
    if (!Storage()) return;
    TStoreUse use(Storage());
    if (auto* form = dynamic_cast<TCustomForm*>(WorkForm())) {
        if (Options & (fsState | fsPosition)) {
            if (Storage()->ReadInteger(Section(), "PixelsPerInch", form->PixelsPerInch) ==
                form->PixelsPerInch)
                RestorePlacement(form);
        }
    }
    RestoreActiveControl(WorkForm());
    if (auto* form = dynamic_cast<TCustomForm*>(WorkForm())) FixMaximizedPosition(form);
}

void TCtlFormState::RestorePlacement(TCustomForm* Form) {
    const std::string section = Section();
    TCtlAbstractStore* store = Storage();
    TWindowPlacement p = FormPlacement(Form);
    p.showCmd = SW_HIDE;
    if (Options & fsPosition) {
        p.flags = static_cast<uint32_t>(store->ReadInteger(section, "Flags", static_cast<int32_t>(p.flags)));
        const std::string normal = store->ReadString(section, "NormalPos", "");
        if (normal.empty()) return;
        if (dynamic_cast<TForm*>(Form)) Form->Position = poDesigned;
        const std::vector<std::string> w = Words(normal);
        if (Options & fsNoSize) {
            Form->SetTop(WordInt(w, 2, Form->Top()));
            Form->SetLeft(WordInt(w, 1, Form->Left()));
        } else {
            TRect r;
            r.Left = WordInt(w, 1, Form->Left());
            r.Top = WordInt(w, 2, Form->Top());
            r.Right = WordInt(w, 3, Form->Left() + Form->Width());
            r.Bottom = WordInt(w, 4, Form->Top() + Form->Height());
            if (Form->BorderStyle() != bsSizeable && Form->BorderStyle() != bsSizeToolWin) {
                r.Right = r.Left + Form->Width();
                r.Bottom = r.Top + Form->Height();
            }
            // Differences taken in 64 bits: the words may lie anywhere in the 32-bit range.
            const int64_t width = int64_t{r.Right} - r.Left, height = int64_t{r.Bottom} - r.Top;
            if (width > 0 && width <= kMaxWindowExtent && height >= 0 && height <= kMaxWindowExtent) {
                p.rcNormalPosition = r;
                SetWindowPlacement(Form->Handle(), &p);
            }
        }
    }
    if (Options & fsState) {
        const int32_t show = store->ReadInteger(section, "ShowCmd", SW_HIDE);
        if (show == SW_SHOWMINIMIZED || show == SW_MINIMIZE) {
            if (Application && Form == Application->MainForm()) {
                PostMessage(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
                return;
            }
            Form->SetWindowState(wsMinimized);
        } else if (show == SW_SHOWMAXIMIZED) {
            Form->SetWindowState(wsMaximized);
        } else {
            Form->SetWindowState(wsNormal);
        }
    }
    if (Options & fsDefaultMonitor) {
        int32_t v;
        const std::string text = store->ReadString(section, "DefaultMonitor", "");
        if (TryStrToInt(text, v) && v >= dmDesktop && v <= dmActiveForm)
            Form->DefaultMonitor = static_cast<TDefaultMonitor>(v);
    }
    if (Options & fsColor) Form->SetColor(store->ReadInteger(section, "Color", Form->Color()));
    Form->Update();
}

void TCtlFormState::RestoreActiveControl(TComponent* Form) {
    auto* form = dynamic_cast<TCustomForm*>(Form);
    if (!(Options & fsActiveControl) || !form) return;
    const std::string name = Storage()->ReadString(Section(), "ActiveControl", "");
    auto* control = dynamic_cast<TWinControl*>(form->FindComponent(name));
    if (control && MayTakeFocus(control, form)) form->SetActiveControl(control);
}

void TCtlFormState::FixMaximizedPosition(TCustomForm* Form) {
    if (!Form->HandleAllocated() || (Form->ComponentState() & csLoading)) return;
    int x = 0, y = 0;
    switch (Form->BorderStyle()) {
        case bsNone:
            break;
        case bsSingle:
        case bsToolWindow:
            x = GetSystemMetrics(SM_CXBORDER);
            y = GetSystemMetrics(SM_CYBORDER);
            break;
        case bsSizeable:
        case bsSizeToolWin:
            x = GetSystemMetrics(SM_CXFRAME);
            y = GetSystemMetrics(SM_CYFRAME);
            break;
        case bsDialog:
            x = GetSystemMetrics(SM_CXDLGFRAME);
            y = GetSystemMetrics(SM_CYDLGFRAME);
            break;
    }
    TWindowPlacement p = FormPlacement(Form);
    p.ptMaxPosition = TPoint{-x, -y};
    if (Form->Visible()) SetWindowPlacement(Form->Handle(), &p);
}

void TCtlFormState::SaveState() {
    if (!Storage()) return;
    auto* form = dynamic_cast<TCustomForm*>(WorkForm());
    if (!form) return;
    TStoreUse use(Storage());
    TCtlAbstractStore* store = Storage();
    const std::string section = Section();
    TWindowPlacement p = FormPlacement(form);
    if (form->FormStyle() == fsMDIChild && form->WindowState() == wsMinimized) p.flags |= WPF_SETMINPOSITION;
    if (Application && form == Application->MainForm() && Application->Minimized())
        p.showCmd = SW_SHOWMINIMIZED;
    const TRect& r = p.rcNormalPosition;
    store->WriteInteger(section, "Flags", static_cast<int32_t>(p.flags));
    store->WriteInteger(section, "ShowCmd", static_cast<int32_t>(p.showCmd));
    store->WriteString(section, "NormalPos", Format("%d,%d,%d,%d", {r.Left, r.Top, r.Right, r.Bottom}));
    store->WriteInteger(section, "PixelsPerInch", form->PixelsPerInch);
    if (Options & fsDefaultMonitor) store->WriteInteger(section, "DefaultMonitor", form->DefaultMonitor);
    store->WriteInteger(section, "Color", form->Color());
    if ((Options & fsActiveControl) && form->ActiveControl())
        store->WriteString(section, "ActiveControl", form->ActiveControl()->Name());
}

// ---------------------------------------------------------------------------------------------
// TCtlComponentState

TCtlComponentState::TCtlComponentState(TComponent* AOwner)
    : TCtlAbstractState(AOwner), FStoredProperties(std::make_unique<TStringList>()) {}

TCtlComponentState::~TCtlComponentState() {
    for (int i = 0; i < FStoredProperties->Count(); ++i)
        if (auto* c = dynamic_cast<TComponent*>(FStoredProperties->Objects(i)))
            c->RemoveFreeNotification(this);
}

void TCtlComponentState::SetStoredProperties(TStrings* Value) {
    FStoredProperties->Assign(Value);
    for (int i = 0; i < FStoredProperties->Count(); ++i)
        if (auto* c = dynamic_cast<TComponent*>(FStoredProperties->Objects(i))) c->FreeNotification(this);
    if (!(ComponentState() & csLoading)) ResolveLines();
}

void TCtlComponentState::Loaded() {
    TCtlAbstractState::Loaded();
    ResolveLines();
}

void TCtlComponentState::ResolveLines() {
    TComponent* owner = Owner();
    for (int i = FStoredProperties->Count() - 1; i >= 0; --i) {
        if (FStoredProperties->Objects(i)) continue;
        std::string name, path;
        TComponent* c = nullptr;
        if (SplitLine(FStoredProperties->Get(i), name, path) && owner) c = owner->FindComponent(name);
        if (!c) {
            FStoredProperties->Delete(i);
            continue;
        }
        FStoredProperties->PutObject(i, c);
        c->FreeNotification(this);
    }
}

void TCtlComponentState::RefreshLines() {
    // Lines added at run time find their components here.
    ResolveLines();
    for (int i = FStoredProperties->Count() - 1; i >= 0; --i) {
        std::string name, path;
        auto* c = dynamic_cast<TComponent*>(FStoredProperties->Objects(i));
        if (c && SplitLine(FStoredProperties->Get(i), name, path))
            FStoredProperties->Put(i, c->Name() + "." + path);
        else
            FStoredProperties->Delete(i);
    }
}

void TCtlComponentState::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlAbstractState::Notification(AComponent, Operation);
    if (Operation != opRemove || !FStoredProperties) return;
    for (int i = FStoredProperties->Count() - 1; i >= 0; --i)
        if (FStoredProperties->Objects(i) == AComponent) FStoredProperties->Delete(i);
}

void TCtlComponentState::ForEachStoredProperty(
    TCtlDataFiler& Filer, const std::function<void(TCtlDataFiler&, const TPropertyRef&)>& Work) {
    RefreshLines();
    // One property list per component, however many of its properties are kept.
    std::map<TComponent*, TCtlPropertyList> lists;
    for (int i = 0; i < FStoredProperties->Count(); ++i) {
        auto* c = static_cast<TComponent*>(FStoredProperties->Objects(i));
        if (!lists.count(c)) lists.emplace(c, TCtlPropertyList(c));
    }
    for (int i = 0; i < FStoredProperties->Count(); ++i) {
        auto* c = static_cast<TComponent*>(FStoredProperties->Objects(i));
        std::string name, path;
        SplitLine(FStoredProperties->Get(i), name, path);
        const TPropertyRef* ref = lists.at(c).Find(path);
        if (!ref) continue;
        std::unique_ptr<TCtlDataFiler> own = Filer.NewFiler(c->Name() + ".");
        Work(*own, *ref);
    }
}

void TCtlComponentState::RestoreState() {
    if (!Storage()) return;
    TCtlDataFiler filer(Storage(), Section());
    TStoreUse use(Storage());
    try {
        ForEachStoredProperty(
            filer, [this](TCtlDataFiler& Own, const TPropertyRef& Ref) { RestoreProperty(Own, Ref, 0); });
    } catch (...) {
        // A damaged value costs only what it names; the window opens with the rest.
    }
}

void TCtlComponentState::RestoreProperty(TCtlDataFiler& Filer, const TPropertyRef& Ref, int Depth) {
    try {
        const TPropInfo& prop = *Ref.Prop;
        const std::string valueName = Filer.GetValueName(Ref.Path);
        if (prop.Kind == tkClass) {
            if (prop.GetObject) RestoreObject(Filer, prop.GetObject(Ref.Instance), valueName, Depth);
            return;
        }
        const std::string current = GetPropText(Ref.Instance, prop);
        if (prop.Kind == tkVariant && current.empty()) return;
        const std::string stored = Filer.ReadString(Filer.Section(), valueName, current);
        // A missing value leaves the property as it stands.
        if (stored == current) return;
        const std::string text = Trim(stored);
        if (prop.Kind == tkInteger) {
            int64_t v = 0;
            int32_t v32;
            if (TryStrToInt(text, v32)) v = v32;
            prop.SetOrd(Ref.Instance, v);
            return;
        }
        SetPropText(Ref.Instance, prop, text);
    } catch (...) {
        // One bad value skips only its own property.
    }
}

void TCtlComponentState::RestoreObject(TCtlDataFiler& Filer, TObject* Object, const std::string& ValueName,
                                       int Depth) {
    if (!Object || dynamic_cast<TComponent*>(Object) || Depth >= kMaxObjectDepth) return;
    if (auto* lines = dynamic_cast<TStrings*>(Object)) {
        const std::string section = Filer.Section() + "." + ValueName;
        int32_t count;
        if (TryStrToInt(Trim(Filer.ReadString(section, "Count", "0")), count) && count > 0 &&
            count <= CtlMaxStoredLines) {
            TStringList read;
            for (int32_t i = 0; i < count; ++i) read.Add(Filer.ReadString(section, "Item" + IntToStr(i), ""));
            lines->Assign(&read);
        }
    }
    std::unique_ptr<TCtlDataFiler> sub = Filer.NewFiler(ValueName);
    TCtlPropertyList list(Object);
    for (int i = 0; i < list.Count(); ++i) RestoreProperty(*sub, list.Items(i), Depth + 1);
}

void TCtlComponentState::SaveState() {
    if (!Storage()) return;
    TCtlDataFiler filer(Storage(), Section());
    TStoreUse use(Storage());
    ForEachStoredProperty(filer,
                          [this](TCtlDataFiler& Own, const TPropertyRef& Ref) { SaveProperty(Own, Ref, 0); });
}

void TCtlComponentState::SaveProperty(TCtlDataFiler& Filer, const TPropertyRef& Ref, int Depth) {
    const TPropInfo& prop = *Ref.Prop;
    const std::string valueName = Filer.GetValueName(Ref.Path);
    if (prop.Kind == tkClass) {
        if (prop.GetObject) SaveObject(Filer, prop.GetObject(Ref.Instance), valueName, Depth);
        return;
    }
    const std::string text = Trim(GetPropText(Ref.Instance, prop));
    // Strings are written also when empty: an empty value is not a missing one.
    if (!text.empty() || prop.Kind == tkString || prop.Kind == tkLString || prop.Kind == tkWChar)
        Filer.WriteString(Filer.Section(), valueName, text);
}

void TCtlComponentState::SaveObject(TCtlDataFiler& Filer, TObject* Object, const std::string& ValueName,
                                    int Depth) {
    if (!Object || dynamic_cast<TComponent*>(Object) || Depth >= kMaxObjectDepth) return;
    if (auto* lines = dynamic_cast<TStrings*>(Object)) {
        const std::string section = Filer.Section() + "." + ValueName;
        Filer.EraseSection(section);
        if (lines->Count() > 0) {
            Filer.WriteString(section, "Count", IntToStr(lines->Count()));
            for (int i = 0; i < lines->Count(); ++i)
                Filer.WriteString(section, "Item" + IntToStr(i), lines->Get(i));
        }
    }
    std::unique_ptr<TCtlDataFiler> sub = Filer.NewFiler(ValueName);
    TCtlPropertyList list(Object);
    for (int i = 0; i < list.Count(); ++i) SaveProperty(*sub, list.Items(i), Depth + 1);
}

}  // namespace entry

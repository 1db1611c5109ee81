#include "controls/entry/CtlState.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/TypInfo.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"

namespace entry {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

// ---- Components with the kinds of published properties a window keeps ----

enum TGradientDirection { dHorizontal, dVertical };

class TTestGradient : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    TColor FromColor = clBlue;
    TColor ToColor = clBlack;
    TGradientDirection Direction = dVertical;
};

class TTestTips : public TComponent {
public:
    using TComponent::TComponent;
    bool ShowAtStart = false;
};

struct TTestVariant {
    TTestVariant() = default;
    explicit TTestVariant(const std::string& S) : Text(S), Null(false) {}
    bool IsNull() const { return Null; }
    const std::string& AsString() const { return Text; }
    std::string Text;
    bool Null = true;
};

// One property of every kind the state reads and writes by text.
class TTestKinds : public TComponent {
public:
    using TComponent::TComponent;
    char Ch = 'x';
    char WCh = 'w';
    float Single = 0;
    double Double = 0;
    long double Extended = 0;
    Currency Curr = Currency::FromRaw(0);
    TTestVariant Var{"v"};
    int32_t Count = 5;
};

// A published collection: its items' properties are kept as "Cols[i].Width".
class TTestColumn : public TObject {
public:
    int32_t Width = 10;
};
class TTestColumns : public TObject {
public:
    int Count() const { return static_cast<int>(Items_.size()); }
    TObject* Items(int i) { return &Items_.at(static_cast<size_t>(i)); }
    std::vector<TTestColumn> Items_{TTestColumn{}, TTestColumn{}};
};
class TTestGrid : public TComponent {
public:
    using TComponent::TComponent;
    TTestColumns& Cols() { return Cols_; }
    TTestColumns Cols_;
};

const bool kRegistered = [] {
    RegisterPublished<TTestGradient>(
        3, {IntField<TTestGradient, TColor>("FromColor", &TTestGradient::FromColor),
            IntField<TTestGradient, TColor>("ToColor", &TTestGradient::ToColor),
            EnumField<TTestGradient, TGradientDirection>("Direction", {"dHorizontal", "dVertical"},
                                                         &TTestGradient::Direction)});
    RegisterPublished<TTestTips>(2, {BoolField<TTestTips>("ShowAtStart", &TTestTips::ShowAtStart)});
    RegisterPublished<TTestKinds>(
        2, {CharField<TTestKinds, char>("Ch", &TTestKinds::Ch),
            CharField<TTestKinds, char>("WCh", &TTestKinds::WCh, tkWChar),
            FloatField<TTestKinds, float>("Single", ftSingle, &TTestKinds::Single),
            FloatField<TTestKinds, double>("Double", ftDouble, &TTestKinds::Double),
            FloatField<TTestKinds, long double>("Extended", ftExtended, &TTestKinds::Extended),
            CurrencyField<TTestKinds>("Curr", &TTestKinds::Curr),
            VariantField<TTestKinds, TTestVariant>("Var", &TTestKinds::Var),
            IntField<TTestKinds, int32_t>("Count", &TTestKinds::Count), MethodProp<TTestKinds>("OnChange")});
    RegisterPublished<TTestColumn>(0, {IntField<TTestColumn, int32_t>("Width", &TTestColumn::Width)});
    RegisterPublished<TTestGrid>(2, {CollectionProp<TTestGrid, TTestColumns>("Cols", &TTestGrid::Cols)});
    return true;
}();

// The main window's kind of form: a store, a component state and the controls it keeps. The form
// state is added by the tests that want it.
class TMainForm : public TForm {
public:
    explicit TMainForm(TComponent* AOwner, bool WithFormState = false, bool WithComponentState = true)
        : TForm(AOwner) {
        (void)kRegistered;
        Store = NewComponent<TCtlRegistryStore>(this);
        Store->SetName("Store");
        DDirname = Add<TLabel>("DDirname");
        ActiveCatalogName = Add<TLabel>("ActiveCatalogName");
        Panel1 = Add<TPanel>("Panel1");
        Gradient = Add<TTestGradient>("Gradient");
        Grid = Add<TPanel>("Grid");
        Tips = NewComponent<TTestTips>(this);
        Tips->SetName("Tips");
        Cafe = Add<TLabel>("Cafe");
        Empty = Add<TLabel>("Empty");
        Memo1 = Add<TMemo>("Memo1");
        Memo1->Lines().SetText("designed one\r\ndesigned two\r\n");
        Check1 = Add<TCheckBox>("Check1");
        Kinds = NewComponent<TTestKinds>(this);
        Kinds->SetName("Kinds");
        Edit1 = Add<TEdit>("Edit1");
        Edit2 = Add<TEdit>("Edit2");
        Empty->SetCaption("designed");
        if (WithFormState) {
            FormState = NewComponent<TCtlFormState>(this);
            FormState->SetStorage(Store);
            FormState->SetSection("TMainFormPlacement");
        }
        if (WithComponentState) {
            State = NewComponent<TCtlComponentState>(this);
            State->SetStorage(Store);
            State->StoredProperties().SetText(
                "DDirname.Caption\nActiveCatalogName.Caption\nPanel1.Visible\nPanel1.Color\n"
                "Gradient.FromColor\nGradient.ToColor\nGradient.Direction\nGrid.Font\n"
                "Tips.ShowAtStart\nCafe.Caption\nEmpty.Caption\nMemo1.Lines\n");
        }
        OnCreate = [this](TObject*) { Log.push_back("form create, caption " + DDirname->Caption()); };
        OnDestroy = [this](TObject*) { Log.push_back("form destroy"); };
    }
    template <class T>
    T* Add(const std::string& Name) {
        T* c = NewComponent<T>(this);
        c->SetName(Name);
        c->SetParent(this);
        return c;
    }
    TCtlRegistryStore* Store;
    TCtlFormState* FormState = nullptr;
    TCtlComponentState* State = nullptr;
    TLabel *DDirname, *ActiveCatalogName, *Cafe, *Empty;
    TPanel *Panel1, *Grid;
    TTestGradient* Gradient;
    TTestTips* Tips;
    TMemo* Memo1;
    TCheckBox* Check1;
    TTestKinds* Kinds;
    TEdit *Edit1, *Edit2;
    std::vector<std::string> Log;
};

class CtlStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->OnException = [this](TObject*, const std::exception& E) { Errors.push_back(E.what()); };
    }
    void TearDown() override {
        Application->OnException = nullptr;
        platform::SetRegistryWriteHook(nullptr);
        Driver.RunPending();
        if (Application->Minimized()) Application->Restore();
    }
    template <class... A>
    TMainForm* NewForm(A... Args) {
        return TCustomForm::Create<TMainForm>(Application, Args...);
    }
    static std::string Value(const std::string& Section, const std::string& Name,
                             const std::string& Default = "?") {
        platform::TRegIniFile ini("Software\\Korvane");
        return ini.ReadString(Section, Name, Default);
    }
    static void SetValue(const std::string& Section, const std::string& Name, const std::string& V) {
        platform::TRegIniFile ini("Software\\Korvane");
        ini.WriteString(Section, Name, V);
    }
    static std::vector<std::string> ValueNames(const std::string& Section) {
        platform::TRegIniFile ini("Software\\Korvane");
        return ini.ReadSection(Section);
    }
    ScopedUserEnv Env;
    TFormDriver Driver;
    std::vector<std::string> Errors;
};

// ---- Round trip of the main window's values ----

TEST_F(CtlStateTest, MainWindowValuesComeBackInTheNextInstance) {
    TMainForm* f = NewForm();
    f->DDirname->SetCaption("D:\\Catalogs\\My Disks");
    f->ActiveCatalogName->SetCaption("Photos  2003");
    f->Panel1->SetVisible(false);
    f->Panel1->SetColor(clBtnFace);
    f->Gradient->FromColor = clRed;
    f->Gradient->ToColor = 0x123456;
    f->Gradient->Direction = dHorizontal;
    f->Grid->Font().Name = "Courier New";
    f->Grid->Font().SetSize(14);
    f->Grid->Font().Style = fsBold;
    f->Grid->Font().Color = clMaroon;
    f->Tips->ShowAtStart = true;
    f->Cafe->SetCaption("Caf\xE9 \x80");
    f->Empty->SetCaption("");
    f->Memo1->Lines().SetText("  first  \r\nsecond\r\n");
    f->Free();
    EXPECT_TRUE(Errors.empty());

    EXPECT_NE(ReadTextFile(platform::RegistryFileName(platform::HKEY_CURRENT_USER))
                  .find("[Software\\Korvane\\TMainForm]"),
              std::string::npos);
    EXPECT_EQ(ValueNames("TMainForm"),
              (std::vector<std::string>{
                  "DDirname.Caption", "ActiveCatalogName.Caption", "Panel1.Visible", "Panel1.Color",
                  "Gradient.FromColor", "Gradient.ToColor", "Gradient.Direction", "Grid.FontCharset",
                  "Grid.FontColor", "Grid.FontHeight", "Grid.FontName", "Grid.FontPitch", "Grid.FontSize",
                  "Grid.FontStyle", "Tips.ShowAtStart", "Cafe.Caption", "Empty.Caption"}));
    EXPECT_EQ(Value("TMainForm", "Panel1.Color"), "-2147483633");
    EXPECT_EQ(Value("TMainForm", "Gradient.Direction"), "dHorizontal");
    EXPECT_EQ(Value("TMainForm", "Grid.FontStyle"), "[fsBold]");
    EXPECT_EQ(Value("TMainForm", "Tips.ShowAtStart"), "True");
    EXPECT_EQ(Value("TMainForm", "Empty.Caption"), "");
    EXPECT_EQ(ValueNames("TMainForm.Memo1.Lines"), (std::vector<std::string>{"Count", "Item0", "Item1"}));
    EXPECT_EQ(Value("TMainForm.Memo1.Lines", "Item0"), "  first  ");

    TMainForm* g = NewForm();
    EXPECT_EQ(g->DDirname->Caption(), "D:\\Catalogs\\My Disks");
    EXPECT_EQ(g->ActiveCatalogName->Caption(), "Photos  2003");
    EXPECT_FALSE(g->Panel1->Visible());
    EXPECT_EQ(g->Panel1->Color(), clBtnFace);
    EXPECT_EQ(g->Gradient->FromColor, clRed);
    EXPECT_EQ(g->Gradient->ToColor, 0x123456);
    EXPECT_EQ(g->Gradient->Direction, dHorizontal);
    EXPECT_EQ(g->Grid->Font().Name, "Courier New");
    EXPECT_EQ(g->Grid->Font().Size(), 14);
    EXPECT_EQ(g->Grid->Font().Style, fsBold);
    EXPECT_EQ(g->Grid->Font().Color, clMaroon);
    EXPECT_TRUE(g->Tips->ShowAtStart);
    EXPECT_EQ(g->Cafe->Caption(), "Caf\xE9 \x80");
    EXPECT_EQ(g->Empty->Caption(), "") << "an empty value is not a missing one";
    EXPECT_EQ(g->Memo1->Lines().Text(), "  first  \r\nsecond\r\n");
    // The form's own OnCreate ran before the restore.
    EXPECT_EQ(g->Log, (std::vector<std::string>{"form create, caption "}));
    g->Free();
}

TEST_F(CtlStateTest, EmptiedListWritesNoLinesAndTheDesignedLinesSurvive) {
    TMainForm* f = NewForm();
    f->Memo1->Lines().SetText("kept\r\n");
    f->Free();
    TMainForm* g = NewForm();
    EXPECT_EQ(g->Memo1->Lines().Text(), "kept\r\n");
    g->Memo1->Lines().Clear();
    g->Free();
    EXPECT_TRUE(ValueNames("TMainForm.Memo1.Lines").empty());
    TMainForm* h = NewForm();
    EXPECT_EQ(h->Memo1->Lines().Text(), "designed one\r\ndesigned two\r\n");
    h->Free();
}

TEST_F(CtlStateTest, ComponentValuesByKind) {
    struct Case {
        const char* Name;
        const char* Stored;
        std::function<std::string(TMainForm*)> Read;
        const char* Expected;
    };
    const std::vector<Case> cases{
        {"Check1.Checked", "TRUE", [](TMainForm* f) { return f->Check1->Checked() ? "on" : "off"; }, "on"},
        {"Check1.Checked", "yes", [](TMainForm* f) { return f->Check1->Checked() ? "on" : "off"; }, "off"},
        {"Kinds.Ch", "   ", [](TMainForm* f) { return std::to_string(int(f->Kinds->Ch)); }, "0"},
        {"Kinds.Ch", "qrs", [](TMainForm* f) { return std::string(1, f->Kinds->Ch); }, "q"},
        {"Kinds.WCh", "", [](TMainForm* f) { return std::to_string(int(f->Kinds->WCh)); }, "0"},
        {"Gradient.Direction", "dDiagonal",
         [](TMainForm* f) { return std::to_string(f->Gradient->Direction); }, "1"},
        {"Gradient.Direction", "DHORIZONTAL",
         [](TMainForm* f) { return std::to_string(f->Gradient->Direction); }, "0"},
        {"Kinds.Double", "1.5e", [](TMainForm* f) { return std::to_string(f->Kinds->Double); }, "0.000000"},
        {"Kinds.Double", " 2.25 ", [](TMainForm* f) { return std::to_string(f->Kinds->Double); }, "2.250000"},
        {"Kinds.Count", "many", [](TMainForm* f) { return std::to_string(f->Kinds->Count); }, "0"},
        {"Kinds.Count", "99999999999", [](TMainForm* f) { return std::to_string(f->Kinds->Count); }, "0"},
        {"Grid.Font", "", [](TMainForm* f) { return std::to_string(f->Grid->Font().Style); }, "5"},
        {"Kinds.Var", "text", [](TMainForm* f) { return f->Kinds->Var.Text; }, "text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + "=" + c.Stored);
        std::string name = c.Name;
        if (name == "Grid.Font") {
            // Set words that name no style are skipped.
            SetValue("TKinds", "Grid.FontStyle", "[fsBold, fsNothing,fsUnderline]");
        } else {
            SetValue("TKinds", name, c.Stored);
        }
        TMainForm* f = NewForm(false, false);
        auto* state = NewComponent<TCtlComponentState>(f);
        state->SetSection("TKinds");
        state->SetStorage(f->Store);
        state->StoredProperties().SetText(name + "\n");
        state->Restore();
        EXPECT_EQ(c.Read(f), c.Expected);
        f->Free();
        platform::TRegIniFile("Software\\Korvane").EraseSection("TKinds");
    }
}

TEST_F(CtlStateTest, FloatsAndCharactersAreWrittenByTheirKind) {
    TMainForm* f = NewForm(false, false);
    f->Kinds->Single = 1.0f / 3;
    f->Kinds->Double = 1.0 / 3;
    f->Kinds->Extended = 1.0L / 3;
    f->Kinds->Curr = Currency::FromRaw(9223372036854775LL);
    f->Kinds->Ch = 'Z';
    f->Kinds->WCh = ' ';
    f->Kinds->Var = TTestVariant();
    auto* state = NewComponent<TCtlComponentState>(f);
    state->SetSection("TKinds");
    state->SetStorage(f->Store);
    state->StoredProperties().SetText(
        "Kinds.Single\nKinds.Double\nKinds.Extended\nKinds.Curr\nKinds.Ch\n"
        "Kinds.WCh\nKinds.Var\nKinds.OnChange\n");
    state->Restore();
    state->Save();
    EXPECT_EQ(Value("TKinds", "Kinds.Single"), "0.3333333");
    EXPECT_EQ(Value("TKinds", "Kinds.Double"), "0.333333333333333");
    EXPECT_EQ(Value("TKinds", "Kinds.Extended"), "0.333333333333333333");
    EXPECT_EQ(Value("TKinds", "Kinds.Curr"), "922337203685.4775");
    EXPECT_EQ(Value("TKinds", "Kinds.Ch"), "Z");
    EXPECT_EQ(Value("TKinds", "Kinds.WCh"), "") << "a blank wide character is written, trimmed";
    EXPECT_EQ(Value("TKinds", "Kinds.Var"), "?") << "an empty variant is not written";
    EXPECT_EQ(Value("TKinds", "Kinds.OnChange"), "?") << "events have no text";
    f->Free();
}

TEST_F(CtlStateTest, CollectionItemsAndRenamedComponentsKeepTheirValues) {
    TMainForm* f = NewForm(false, false);
    auto* grid = NewComponent<TTestGrid>(f);
    grid->SetName("Header");
    grid->Cols_.Items_[1].Width = 77;
    auto* state = NewComponent<TCtlComponentState>(f);
    state->SetSection("TCols");
    state->SetStorage(f->Store);
    TStringList lines;
    lines.SetText("Header.Cols[1].Width\nNobody.Caption\nbroken line\n");
    state->SetStoredProperties(&lines);
    EXPECT_EQ(state->StoredProperties().Count(), 1) << "lines naming no component are dropped";
    state->Restore();
    grid->SetName("Columns");
    state->Save();
    EXPECT_EQ(state->StoredProperties()[0], "Columns.Cols[1].Width");
    EXPECT_EQ(Value("TCols", "Columns.Cols[1].Width"), "77");
    // A component that goes takes its line with it.
    grid->Free();
    EXPECT_EQ(state->StoredProperties().Count(), 0);
    f->Free();
}

// ---- Hooks ----

TEST_F(CtlStateTest, HooksChainInLoadOrderAndSaveOnce) {
    std::vector<std::string> log;
    class TTwoStates : public TForm {
    public:
        TTwoStates(TComponent* AOwner, std::vector<std::string>* Log) : TForm(AOwner) {
            auto* store = NewComponent<TCtlRegistryStore>(this);
            for (const char* name : {"A", "B"}) {
                auto* s = NewComponent<TCtlComponentState>(this);
                s->SetStorage(store);
                s->OnRestoreState = [Log, name](TObject*) { Log->push_back(std::string("restore ") + name); };
                s->OnSaveState = [Log, name](TObject*) { Log->push_back(std::string("save ") + name); };
            }
            OnCreate = [Log](TObject*) { Log->push_back("create"); };
            OnCloseQuery = [this, Log](TObject*, bool& CanClose) {
                Log->push_back("close query");
                CanClose = Allow;
            };
            OnDestroy = [Log](TObject*) { Log->push_back("destroy"); };
        }
        bool Allow = false;
    };
    auto* f = TCustomForm::Create<TTwoStates>(Application, &log);
    EXPECT_EQ(log, (std::vector<std::string>{"create", "restore A", "restore B"}));
    log.clear();
    EXPECT_FALSE(f->CloseQuery());
    EXPECT_EQ(log, (std::vector<std::string>{"close query"})) << "a refused close saves nothing";
    log.clear();
    f->Free();
    EXPECT_EQ(log, (std::vector<std::string>{"save B", "save A", "destroy"}));

    log.clear();
    f = TCustomForm::Create<TTwoStates>(Application, &log);
    f->Allow = true;
    log.clear();
    EXPECT_TRUE(f->CloseQuery());
    f->Free();
    EXPECT_EQ(log, (std::vector<std::string>{"close query", "save A", "save B", "destroy"}))
        << "saved once, on close";
}

TEST_F(CtlStateTest, AStateThatNeverRestoredOrHasNoStorageWritesNothing) {
    TMainForm* f = NewForm(false, false);
    auto* state = NewComponent<TCtlComponentState>(f);
    state->SetStorage(f->Store);
    state->StoredProperties().SetText("DDirname.Caption\n");
    f->DDirname->SetCaption("not restored");
    state->Save();
    EXPECT_FALSE(state->Saved());
    EXPECT_EQ(Value("TMainForm", "DDirname.Caption"), "?");

    state->SetStorage(nullptr);
    state->Restore();
    state->Save();
    EXPECT_EQ(Value("TMainForm", "DDirname.Caption"), "?");

    // The store going away makes the state inactive.
    state->SetStorage(f->Store);
    f->Store->Free();
    EXPECT_FALSE(state->Active());
    EXPECT_EQ(state->Storage(), nullptr);
    f->Free();
}

TEST_F(CtlStateTest, StateOnlyOnFormsAndFrames) {
    TComponent plain(nullptr);
    try {
        TCtlFormState s(&plain);
        FAIL() << "no exception";
    } catch (const ECtlException& e) {
        EXPECT_STREQ(e.what(), "This component can only be used on forms");
    }
    // On a frame it works on the frame's owner.
    TMainForm* f = NewForm(false, false);
    auto* frame = NewComponent<TFrame>(f);
    auto* state = NewComponent<TCtlComponentState>(frame);
    EXPECT_EQ(state->Section(), "TMainForm");
    f->Free();
}

TEST_F(CtlStateTest, KeyNameDefaultsToTheProgramAndDropsBackslashes) {
    TCtlRegistryStore store(nullptr);
    EXPECT_EQ(store.KeyName(), "Software\\Korvane");
    store.SetKeyName("\\\\Software\\Other\\\\");
    EXPECT_EQ(store.KeyName(), "Software\\Other");
    store.OpenStore();
    store.OpenStore();
    store.WriteString("S", "N", "v");
    store.CloseStore();
    EXPECT_EQ(store.ReadString("S", "N", "d"), "v") << "still open after the inner close";
    EXPECT_EQ(store.ReadInteger("S", "N", 7), 7);
    store.CloseStore();
    EXPECT_EQ(store.OpenCount(), 0);
    store.CloseStore();
    EXPECT_EQ(store.OpenCount(), 0);
}

TEST_F(CtlStateTest, SectionSharedByTwoFormsKeepsBothSetsOfValues) {
    std::vector<TCtlComponentState*> states;
    auto make = [&states](const std::string& Line) {
        TMainForm* f = TCustomForm::Create<TMainForm>(Application, false, false);
        auto* s = NewComponent<TCtlComponentState>(f);
        s->SetSection("Printed Report");
        s->SetStorage(f->Store);
        s->StoredProperties().SetText(Line + "\n");
        s->Restore();
        states.push_back(s);
        return f;
    };
    TMainForm* a = make("DDirname.Caption");
    TMainForm* b = make("Cafe.Caption");
    a->DDirname->SetCaption("from a");
    b->Cafe->SetCaption("from b");
    states[0]->Save();
    states[1]->Save();
    a->Free();
    b->Free();
    EXPECT_EQ(Value("Printed Report", "DDirname.Caption"), "from a");
    EXPECT_EQ(Value("Printed Report", "Cafe.Caption"), "from b");
}

// ---- Errors ----

TEST_F(CtlStateTest, DamagedSettingsFileOpensTheWindowWithDesignedValues) {
    const std::string file = platform::RegistryFileName(platform::HKEY_CURRENT_USER);
    TMainForm* f = NewForm();
    f->Free();
    WriteTextFile(file,
                  "; Korvane registry\n\n[Software\\Korvane\\TMainForm]\n\"DDirname.Caption\n"
                  "ActiveCatalogName.Caption \"no equals\"\n\"Panel1.Visible\"=\"Fa\n"
                  "\n[Software\\Korvane\\TMainForm.Memo1.Lines]\n\"Count\"=\"999999999\"\n\"Item0\"=\"x\"\n");
    TMainForm* g = NewForm();
    EXPECT_EQ(g->DDirname->Caption(), "");
    EXPECT_TRUE(g->Panel1->Visible());
    EXPECT_EQ(g->Memo1->Lines().Text(), "designed one\r\ndesigned two\r\n");
    g->Free();
    EXPECT_TRUE(Errors.empty());

    WriteTextFile(file,
                  "; Korvane registry\n\n[Software\\Korvane\\TMainForm.Memo1.Lines]\n\"Count\"=\"-3\"\n");
    g = NewForm();
    EXPECT_EQ(g->Memo1->Lines().Text(), "designed one\r\ndesigned two\r\n");
    g->Free();
}

void UnlinkTemporaryFile() {
    // The settings file is written to "<file>.<pid>.tmp" and renamed: without it the write fails.
    ::unlink(
        (platform::RegistryFileName(platform::HKEY_CURRENT_USER) + "." + std::to_string(::getpid()) + ".tmp")
            .c_str());
}

TEST_F(CtlStateTest, AFailedSaveReachesTheApplicationAndTheFormStillCloses) {
    TMainForm* f = NewForm();
    platform::SetRegistryWriteHook(&UnlinkTemporaryFile);
    f->Free();
    platform::SetRegistryWriteHook(nullptr);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Failed to set data for 'DDirname.Caption'");
    TMainForm* g = NewForm();
    EXPECT_EQ(g->Log.size(), 1u);
    g->Free();
}

// ---- Form state ----

class FormStateTest : public CtlStateTest {
protected:
    TMainForm* NewPlaced(TFormBorderStyle Border = bsSizeable,
                         TCtlFormStateOptions Options = fsState | fsPosition) {
        TMainForm* f = NewForm(true, false);
        f->SetBorderStyle(Border);
        f->FormState->Options = Options;
        return f;
    }
    static std::string Placement() { return Value("TMainFormPlacement", "NormalPos"); }
};

TEST_F(FormStateTest, PlacementWrittenInOrderAndRestored) {
    TMainForm* f = NewForm(true, false);
    f->FormState->Options = fsState | fsPosition | fsActiveControl | fsColor;
    f->SetBounds(30, 40, 400, 300);
    f->SetColor(clTeal);
    f->SetActiveControl(f->Edit2);
    f->Free();
    EXPECT_EQ(ValueNames("TMainFormPlacement"),
              (std::vector<std::string>{"Flags", "ShowCmd", "NormalPos", "PixelsPerInch", "Color",
                                        "ActiveControl"}));
    EXPECT_EQ(Placement(), "30,40,430,340");
    EXPECT_EQ(Value("TMainFormPlacement", "ShowCmd"), "1");
    EXPECT_EQ(Value("TMainFormPlacement", "PixelsPerInch"), "96");

    // The next instance: fsColor and fsActiveControl are set in its constructor's options, as the
    // designed form would have them.
    class TPlaced : public TMainForm {
    public:
        explicit TPlaced(TComponent* AOwner) : TMainForm(AOwner, true, false) {
            FormState->Options = fsState | fsPosition | fsActiveControl | fsColor;
        }
    };
    auto* g = TCustomForm::Create<TPlaced>(Application);
    EXPECT_EQ(g->BoundsRect(), Rect(30, 40, 430, 340));
    EXPECT_EQ(g->Color(), clTeal);
    EXPECT_EQ(g->ActiveControl(), g->Edit2);
    EXPECT_EQ(g->WindowState(), wsNormal);
    g->Free();
}

TEST_F(FormStateTest, OtherResolutionKeepsDesignedPlacementButRestoresActiveControl) {
    SetValue("TMainFormPlacement", "PixelsPerInch", "120");
    SetValue("TMainFormPlacement", "NormalPos", "5,6,205,106");
    SetValue("TMainFormPlacement", "ShowCmd", "3");
    SetValue("TMainFormPlacement", "ActiveControl", "Edit2");
    class TPlaced : public TMainForm {
    public:
        explicit TPlaced(TComponent* AOwner) : TMainForm(AOwner, true, false) {
            FormState->Options = fsState | fsPosition | fsActiveControl;
            SetBounds(50, 60, 320, 240);
        }
    };
    auto* g = TCustomForm::Create<TPlaced>(Application);
    EXPECT_EQ(g->BoundsRect(), Rect(50, 60, 370, 300));
    EXPECT_EQ(g->WindowState(), wsNormal);
    EXPECT_EQ(g->ActiveControl(), g->Edit2);
    g->Free();
}

TEST_F(FormStateTest, ShowStatesAndFixedBorders) {
    struct Case {
        const char* NormalPos;
        const char* ShowCmd;
        TFormBorderStyle Border;
        TRect Bounds;
        TWindowState State;
    };
    const std::vector<Case> cases{
        {"10,20,510,420", "3", bsSizeable, Rect(10, 20, 510, 420), wsMaximized},
        {"10,20,510,420", "1", bsDialog, Rect(10, 20, 330, 260), wsNormal},
        {"10,20,510,420", "", bsSingle, Rect(10, 20, 330, 260), wsNormal},
        {"10 20 x 420", "1", bsSizeable, Rect(10, 20, 320, 420), wsNormal},
        // Missing NormalPos: show state and colour are skipped.
        {"", "3", bsSizeable, Rect(0, 0, 320, 240), wsNormal},
        // Too large to be a window: the designed placement stays.
        {"0,0,40000,300", "1", bsSizeable, Rect(0, 0, 320, 240), wsNormal},
        {"-2147483648,0,2147483647,300", "1", bsSizeable, Rect(0, 0, 320, 240), wsNormal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.NormalPos);
        platform::TRegIniFile("Software\\Korvane").EraseSection("TMainFormPlacement");
        if (*c.NormalPos) SetValue("TMainFormPlacement", "NormalPos", c.NormalPos);
        if (*c.ShowCmd) SetValue("TMainFormPlacement", "ShowCmd", c.ShowCmd);
        SetValue("TMainFormPlacement", "Color", "255");
        class TPlaced : public TMainForm {
        public:
            TPlaced(TComponent* AOwner, TFormBorderStyle Border) : TMainForm(AOwner, true, false) {
                FormState->Options = fsState | fsPosition | fsColor;
                SetBorderStyle(Border);
                SetBounds(0, 0, 320, 240);
            }
        };
        auto* g = TCustomForm::Create<TPlaced>(Application, c.Border);
        EXPECT_EQ(g->NormalBounds(), c.Bounds);
        EXPECT_EQ(g->WindowState(), c.State);
        EXPECT_EQ(g->Color() == clRed, *c.NormalPos != 0);
        g->Free();
    }
}

TEST_F(FormStateTest, PositionOnlyAndDefaultMonitor) {
    class TPlaced : public TMainForm {
    public:
        explicit TPlaced(TComponent* AOwner) : TMainForm(AOwner, true, false) {
            FormState->Options = fsPosition | fsNoSize | fsDefaultMonitor | fsState;
            SetBounds(0, 0, 320, 240);
        }
    };
    SetValue("TMainFormPlacement", "NormalPos", "10, 20, 510,420");
    SetValue("TMainFormPlacement", "DefaultMonitor", "1");
    auto* g = TCustomForm::Create<TPlaced>(Application);
    EXPECT_EQ(g->BoundsRect(), Rect(10, 20, 330, 260)) << "fsNoSize takes the position only";
    EXPECT_EQ(g->DefaultMonitor, dmPrimary);
    g->Free();
    EXPECT_EQ(Value("TMainFormPlacement", "DefaultMonitor"), "1");
    EXPECT_EQ(Value("TMainFormPlacement", "NormalPos"), "10,20,330,260");

    SetValue("TMainFormPlacement", "DefaultMonitor", "9");
    g = TCustomForm::Create<TPlaced>(Application);
    EXPECT_EQ(g->DefaultMonitor, dmActiveForm) << "a bad monitor is ignored";
    g->Free();
}

TEST_F(FormStateTest, OffScreenPlacementIsMovedIntoTheWorkArea) {
    SetValue("TMainFormPlacement", "NormalPos", "30000,30000,30300,30200");
    TMainForm* g = NewForm(true, false);
    TRect work = Screen->WorkAreaRect();
    EXPECT_LE(g->Left() + g->Width(), work.Right);
    EXPECT_LE(g->Top() + g->Height(), work.Bottom);
    EXPECT_EQ(g->Width(), 300);
    g->Free();
}

TEST_F(FormStateTest, MainFormSavedMinimizedRestoresByMinimizingTheApplication) {
    ASSERT_EQ(Application->MainForm(), nullptr) << "the tests' application has no main form";
    class TPlacedMain : public TMainForm {
    public:
        explicit TPlacedMain(TComponent* AOwner) : TMainForm(AOwner, true, false) {}
    };
    TPlacedMain* main = nullptr;
    Application->CreateForm(main);
    main->FormState->Options = fsState | fsPosition;
    Application->Minimize();
    main->FormState->Save();
    EXPECT_EQ(Value("TMainFormPlacement", "ShowCmd"), "2");
    Application->Restore();
    EXPECT_FALSE(Application->Minimized());

    main->FormState->Restore();
    EXPECT_EQ(main->WindowState(), wsNormal) << "the main form itself is not minimized";
    Driver.RunPending();
    EXPECT_TRUE(Application->Minimized()) << "the application window was asked to minimize";
    Application->Restore();

    // Another form saved minimized restores minimized itself.
    TMainForm* other = NewForm(true, false);
    other->FormState->Restore();
    EXPECT_EQ(other->WindowState(), wsMinimized);
    other->Free();
    main->Free();
}

}  // namespace
}  // namespace entry

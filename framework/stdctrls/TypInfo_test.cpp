#include "framework/stdctrls/TypInfo.h"

#include <gtest/gtest.h>

#include "framework/core/Filer.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Variant.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Forms.h"

namespace framework {
namespace {

class TStateForm : public TForm {
public:
    explicit TStateForm(TComponent* AOwner) : TForm(AOwner) {
        Panel4 = NewComponent<TPanel>(this);
        Panel4->SetName("Panel4");
        Panel4->SetParent(this);
        Check = NewComponent<TCheckBox>(this);
        Check->SetName("ShowHidden");
        Check->SetParent(this);
        Memo = NewComponent<TMemo>(this);
        Memo->SetName("Notes");
        Memo->SetParent(this);
        DDirname = NewComponent<TLabel>(this);
        DDirname->SetName("DDirname");
        DDirname->SetParent(this);
        auto* status = NewComponent<TStatusBar>(this);
        status->SetName("Status");
        status->SetParent(this);
        auto* pages = NewComponent<TPageControl>(this);
        pages->SetName("Pages");
        pages->SetParent(this);
        for (int i = 0; i < 2; ++i) NewComponent<TTabSheet>(this)->SetPageControl(pages);
        auto* progress = NewComponent<TProgressBar>(this);
        progress->SetName("Progress");
        progress->SetParent(this);
        auto* shape = NewComponent<TShape>(this);
        shape->SetName("Shape1");
        shape->SetParent(this);
    }
    TPanel* Panel4;
    TCheckBox* Check;
    TMemo* Memo;
    TLabel* DDirname;
};

class TypInfoTest : public ::testing::Test {
protected:
    TStateForm* Form = TCustomForm::Create<TStateForm>(nullptr);
    void TearDown() override { Form->Free(); }
};

TEST_F(TypInfoTest, PathsReadAndWriteAsTextAndRoundTrip) {
    struct TCase {
        const char* Path;
        const char* Value;
    };
    for (const TCase& c : std::vector<TCase>{
             {"Panel4.Width", "240"},
             {"Font.Style", "[fsBold,fsUnderline]"},
             {"Panel4.Font.Style", "[fsItalic]"},
             {"Panel4.BevelOuter", "bvLowered"},
             {"Panel4.Color", "255"},
             {"Panel4.Caption", "Totals"},
             {"Panel4.Align", "alBottom"},
             {"ShowHidden.Checked", "True"},
             {"ShowHidden.State", "cbChecked"},
             {"DDirname.Caption", "C:\\KORVANE\\DATA"},
             {"Notes.Lines", "one\r\ntwo\r\n"},
             {"Font.Name", "Arial"},
             {"Font.Size", "10"},
             {"Caption", "Find files"},
             {"Panel4.Anchors", "[akLeft,akTop,akRight]"},
             {"Panel4.Font.Color", "-2147483640"},
             {"Status.SimpleText", "3 disks selected"},
             {"Pages.ActivePageIndex", "1"},
             {"Progress.Position", "40"},
             {"Shape1.Brush.Color", "65535"},
         }) {
        SCOPED_TRACE(c.Path);
        SetPropertyPath(Form, c.Path, c.Value);
        EXPECT_EQ(GetPropertyPath(Form, c.Path), c.Value);
    }
    EXPECT_EQ(Form->Panel4->Align(), alBottom);  // aligned at the bottom: the form's width now
    EXPECT_EQ(Form->Panel4->Width(), Form->ClientWidth());
    EXPECT_EQ(Form->Font().Style, fsBold | fsUnderline);
    EXPECT_EQ(Form->Panel4->BevelOuter(), bvLowered);
    EXPECT_TRUE(Form->Check->Checked());
    EXPECT_EQ(Form->Memo->Lines()[1], "two");
}

TEST_F(TypInfoTest, TextIsReadLikeTheStoreReadsIt) {
    // Names without regard to case, blanks trimmed, set words that name nothing skipped, "$" hex.
    SetPropertyPath(Form, "panel4.bevelinner", " BVRAISED ");
    EXPECT_EQ(Form->Panel4->BevelInner(), bvRaised);
    SetPropertyPath(Form, "Font.Style", "[ fsItalic , fsHeavy,fsStrikeOut]");
    EXPECT_EQ(Form->Font().Style, fsItalic | fsStrikeOut);
    SetPropertyPath(Form, "Font.Style", "[]");
    EXPECT_EQ(GetPropertyPath(Form, "Font.Style"), "[]");
    SetPropertyPath(Form, "Panel4.Color", "$00FF00");
    EXPECT_EQ(Form->Panel4->Color(), 0x00FF00);

    // A bad value leaves the property as it was and says so.
    int width = Form->Panel4->Width();
    EXPECT_THROW(SetPropertyPath(Form, "Panel4.Width", "wide"), EPropertyError);
    EXPECT_THROW(SetPropertyPath(Form, "Panel4.BevelOuter", "bvSideways"), EPropertyError);
    EXPECT_EQ(Form->Panel4->Width(), width);
    EXPECT_EQ(Form->Panel4->BevelOuter(), bvRaised);

    EXPECT_THROW(GetPropertyPath(Form, "Panel4.Depth"), EPropertyError);
    EXPECT_THROW(GetPropertyPath(Form, "Panel4.Width.Value"), EPropertyError);
    EXPECT_THROW(GetPropertyPath(Form, "Panel9.Width"), EPropertyError);
}

TEST_F(TypInfoTest, PropertyListsAreSortedAndFollowTheClass) {
    auto names = [](TObject* o) {
        std::vector<std::string> r;
        for (const TPropInfo* p : GetPropList(o)) r.push_back(p->Name);
        return r;
    };
    std::vector<std::string> check = names(Form->Check);
    EXPECT_TRUE(std::is_sorted(check.begin(), check.end(), [](const std::string& a, const std::string& b) {
        return CompareText(a, b) < 0;
    }));
    for (const char* n : {"Caption", "Checked", "Font", "Height", "Name", "State", "TabOrder", "Visible"})
        EXPECT_NE(std::find(check.begin(), check.end(), n), check.end()) << n;
    EXPECT_EQ(GetPropInfo(Form->Memo, "Caption"), nullptr);  // an edit has Text, not Caption
    EXPECT_NE(GetPropInfo(Form->Memo, "Lines"), nullptr);
    EXPECT_EQ(GetPropInfo(Form->Memo, "Lines")->Kind, tkClass);
    EXPECT_EQ(GetPropInfo(Form->Check, "State")->Kind, tkEnumeration);
    EXPECT_EQ(GetPropInfo(&Form->Font(), "Style")->Kind, tkSet);

    // A program's class adds its own on top of its ancestors'.
    struct TGauge : TPanel {
        using TPanel::TPanel;
        int Progress = 0;
    };
    RegisterPublished<TGauge>(6, {IntField<TGauge, int>("Progress", &TGauge::Progress)});
    auto* g = NewComponent<TGauge>(Form);
    g->SetName("Gauge");
    SetPropertyPath(Form, "Gauge.Progress", "42");
    EXPECT_EQ(g->Progress, 42);
    EXPECT_EQ(GetPropertyPath(Form, "Gauge.BevelOuter"), "bvRaised");
}

// A component with one published property of each kind the state store meets.
class TKinds : public TComponent {
public:
    using TComponent::TComponent;
    float Single = 1.0f / 3.0f;
    double Double = 1.0 / 3.0;
    long double Extended = 1.0L / 3.0L;
    int64_t Comp = 1;
    Currency Curr = Currency::FromRaw(3333);
    char Char = 'a';
    char16_t WideChar = u'\u20ac';
    Variant Value;
};

class TColumn : public TCollectionItem {
public:
    int Width = 64;
    std::string Title;
};

class TGridLike : public TComponent {
public:
    explicit TGridLike(TComponent* AOwner) : TComponent(AOwner) {
        for (int i = 0; i < 3; ++i) static_cast<TColumn*>(FColumns.Add())->Title = "C" + std::to_string(i);
    }
    TCollection& Columns() { return FColumns; }
    TFont& TitleFont() { return FTitleFont; }

private:
    TCollection FColumns{ClassOf<TColumn>()};
    TFont FTitleFont;
};

void RegisterTestKinds() {
    static bool once = [] {
        RegisterPublished<TKinds>(
            2, {
                   FloatField<TKinds, float>("Single", ftSingle, &TKinds::Single),
                   FloatField<TKinds, double>("Double", ftDouble, &TKinds::Double),
                   FloatField<TKinds, long double>("Extended", ftExtended, &TKinds::Extended),
                   FloatField<TKinds, int64_t>("Comp", ftComp, &TKinds::Comp),
                   CurrencyField<TKinds>("Curr", &TKinds::Curr),
                   CharField<TKinds, char>("Char", &TKinds::Char),
                   CharField<TKinds, char16_t>("WideChar", &TKinds::WideChar, tkWChar),
                   VariantField<TKinds, Variant>("Value", &TKinds::Value),
                   MethodProp<TKinds>("OnChange"),
               });
        RegisterPublished<TColumn>(0, {
                                          IntField<TColumn, int>("Width", &TColumn::Width),
                                          StrField<TColumn>("Title", &TColumn::Title),
                                      });
        RegisterPublished<TGridLike>(
            2, {
                   CollectionProp<TGridLike, TCollection>("Columns", &TGridLike::Columns),
                   ObjProp<TGridLike, TFont>("TitleFont", &TGridLike::TitleFont),
                   MethodProp<TGridLike>("OnDrawCell"),
               });
        return true;
    }();
    (void)once;
}

TEST_F(TypInfoTest, FloatsCharsAndVariantsAsTheStateStoreKeepsThem) {
    RegisterTestKinds();
    auto* k = NewComponent<TKinds>(Form);
    k->SetName("Kinds");
    // One third by precision: 7, 15 and 18 digits; comp is a whole number, currency has four
    // decimals.
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Single"), "0.3333333");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Double"), "0.333333333333333");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Extended"), "0.333333333333333333");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Comp"), "1");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Curr"), "0.3333");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Char"), "a");
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.WideChar"), "\xAC");  // the low byte
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Value"), "");         // null
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.OnChange"), "");

    // And back: every digit an extended holds, malformed or oversized text refused.
    SetPropertyPath(Form, "Kinds.Extended", " 0.1 ");
    EXPECT_EQ(k->Extended, 0.1L);
    SetPropertyPath(Form, "Kinds.Single", "2.5E-3");
    EXPECT_EQ(k->Single, 2.5e-3f);
    SetPropertyPath(Form, "Kinds.Curr", "12.3456");
    EXPECT_EQ(k->Curr.Value, 123456);
    SetPropertyPath(Form, "Kinds.Comp", "-42");
    EXPECT_EQ(k->Comp, -42);
    EXPECT_THROW(SetPropertyPath(Form, "Kinds.Double", "1,5,6"), EPropertyError);
    EXPECT_THROW(SetPropertyPath(Form, "Kinds.Single", "1E39"), EPropertyError);
    EXPECT_EQ(k->Single, 2.5e-3f);
    for (const char* path : {"Kinds.Single", "Kinds.Double", "Kinds.Extended", "Kinds.Curr"}) {
        SCOPED_TRACE(path);
        std::string text = GetPropertyPath(Form, path);
        SetPropertyPath(Form, path, text);
        EXPECT_EQ(GetPropertyPath(Form, path), text);
    }

    SetPropertyPath(Form, "Kinds.WideChar", "");
    EXPECT_EQ(k->WideChar, 0);
    SetPropertyPath(Form, "Kinds.Char", "xyz");
    EXPECT_EQ(k->Char, 'x');
    SetPropertyPath(Form, "Kinds.Value", "42");
    EXPECT_EQ(k->Value.VarType(), TVarType::varString);
    EXPECT_EQ(GetPropertyPath(Form, "Kinds.Value"), "42");
}

TEST_F(TypInfoTest, CollectionItemsAndObjectsAreReachedByTheirPaths) {
    RegisterTestKinds();
    auto* grid = NewComponent<TGridLike>(Form);
    grid->SetName("Grid");
    EXPECT_EQ(GetPropertyPath(Form, "Grid.Columns[1].Title"), "C1");
    SetPropertyPath(Form, "Grid.Columns[2].Width", "120");
    EXPECT_EQ(static_cast<TColumn*>(grid->Columns().Items(2))->Width, 120);
    EXPECT_EQ(GetPropertyPath(Form, "Grid.Columns[2].Width"), "120");
    SetPropertyPath(Form, "Grid.TitleFont.Pitch", "fpFixed");
    EXPECT_EQ(grid->TitleFont().Pitch, fpFixed);
    SetPropertyPath(Form, "Grid.TitleFont.Charset", "238");
    EXPECT_EQ(grid->TitleFont().Charset, 238);
    for (const char* bad : {"Grid.Columns[3].Width", "Grid.Columns[-1].Width", "Grid.Columns[x].Width",
                            "Grid.Columns[1]", "Grid.TitleFont[0].Size", "Grid.Columns[0].Depth"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(GetPropertyPath(Form, bad), EPropertyError);
    }

    // The list the state store walks: no methods, sorted, the collection's items at the end.
    std::vector<std::string> paths;
    for (const TPropertyRef& r : GetPropertyList(grid)) paths.push_back(r.Path);
    EXPECT_EQ(std::find(paths.begin(), paths.end(), "OnDrawCell"), paths.end());
    EXPECT_EQ(std::find(paths.begin(), paths.end(), "Columns"), paths.end());
    ASSERT_GE(paths.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(paths.end() - 6, paths.end()),
              (std::vector<std::string>{"Columns[0].Title", "Columns[0].Width", "Columns[1].Title",
                                        "Columns[1].Width", "Columns[2].Title", "Columns[2].Width"}));
    EXPECT_NE(std::find(paths.begin(), paths.end(), "TitleFont"), paths.end());
    EXPECT_EQ(GetPropList(grid, tkMethods).size(), 1u);

    // An object-valued property's own published properties, as the store names them.
    std::vector<std::string> font;
    for (const TPropertyRef& r : GetPropertyList(&grid->TitleFont(), "TitleFont")) font.push_back(r.Path);
    EXPECT_EQ(font, (std::vector<std::string>{"TitleFont.Charset", "TitleFont.Color", "TitleFont.Height",
                                              "TitleFont.Name", "TitleFont.Pitch", "TitleFont.Size",
                                              "TitleFont.Style"}));
}

}  // namespace
}  // namespace framework

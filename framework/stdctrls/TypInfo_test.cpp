#include "framework/stdctrls/TypInfo.h"

#include <gtest/gtest.h>

#include "framework/core/SysUtils.h"
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

}  // namespace
}  // namespace framework

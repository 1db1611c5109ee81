// The appearance dialog through its command (loading from the main window, samples, Defaults, OK
// and Cancel), and the commands that open the tool settings and the diagnosis windows.

#include "app/AppearanceOptionsUnit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/testsupport/MainWindowFixture.h"
#include "controls/kit/KitColorCombo.h"
#include "controls/kit/StyledGrad.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"

using namespace app;
using namespace framework;

namespace {

using CommandsTest = app::testsupport::TMainWindowFixture;

// ---- Appearance, tool settings and diagnosis ----

// What the appearance dialog may change on the main window, in one comparable list.
std::vector<int64_t> Look(TMainForm& F) {
    std::vector<int64_t> out{F.MainOptPanel->Visible(), F.SubOptPanel->Visible(),
                             int64_t{F.Constraints().MinHeight}};
    for (kit::TStyledGradient* g :
         {F.MainOptGradient, F.SubOptGradient, F.ACGradient, F.DCGradient, F.FCGradient})
        out.insert(out.end(), {g->FromColor(), g->ToColor(), g->Direction()});
    if (F.Frame) out.insert(out.end(), {F.Frame->Gradient->FromColor(), F.Frame->Gradient->ToColor()});
    for (TLabel* l :
         {F.ACHeader, F.DCHeader, F.FCHeader, F.ActiveCatalogName, F.DisksInCatalog, F.FilesInCatalog})
        out.push_back(l->Font().Color);
    return out;
}

void SetGradient(kit::TStyledGradient& G, TColor From, TColor To, kit::TGradDirection Direction) {
    G.SetFromColor(From);
    G.SetToColor(To);
    G.SetDirection(Direction);
}

TEST_F(CommandsTest, AppearanceDialogLoadsFromTheMainWindowAndItsSamplesFollowEveryChoice) {
    SetGradient(*Form->MainOptGradient, clRed, clLime, kit::dVertical);
    SetGradient(*Form->SubOptGradient, clPurple, clNavy, kit::dHorizontal);
    SetGradient(*Form->ACGradient, clYellow, clAqua, kit::dVertical);
    Form->DCHeader->Font().Color = clGreen;
    Form->DisksInCatalog->Font().Color = clMaroon;
    Form->SimulateBtnClick(4);  // the frame the command shows
    const std::vector<int64_t> before = Look(*Form);
    bool seen = false;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& d = static_cast<TAppearanceOptionsForm&>(F);
            seen = true;
            EXPECT_EQ(d.Caption(), "Main Window Appearance Options");
            EXPECT_EQ(d.HelpContext, 8);
            EXPECT_EQ(d.MainGroup->Caption(), "Main Option Panel Background Colors");
            EXPECT_EQ(d.SubGroup->Caption(), "Sub-Option Panel Background Colors");
            EXPECT_EQ(d.StatusGroup->Caption(), "Status Panel Colors");
            EXPECT_EQ(d.ShowPanels->Caption(), "Show Menu Button Panels On Main Window");
            EXPECT_EQ(d.BitBtn4->Caption(), "&Defaults");
            EXPECT_EQ(d.DCHeader->Caption(), "Disks Cataloged");
            EXPECT_EQ(d.DisksInCatalog->Caption(), "123456789");
            for (TComboBox* c : {d.MainDirection, d.SubDirection, d.StatusDirection}) {
                ASSERT_EQ(c->Items().Count(), 2);
                EXPECT_EQ(c->Items().Strings(0), "Left To Right");
                EXPECT_EQ(c->Items().Strings(1), "Top To Bottom");
            }
            // Loaded from the main window, the samples drawn from the loaded choices.
            EXPECT_EQ(d.MainFromColor->SelectedColor(), clRed);
            EXPECT_EQ(d.MainToColor->SelectedColor(), clLime);
            EXPECT_EQ(d.MainDirection->ItemIndex(), 1);
            EXPECT_EQ(d.SubFromColor->SelectedColor(), clPurple);
            EXPECT_EQ(d.SubDirection->ItemIndex(), 0);
            EXPECT_EQ(d.StatusToColor->SelectedColor(), clAqua);
            EXPECT_EQ(d.StatusDirection->ItemIndex(), 1);
            EXPECT_EQ(d.StatusHeaderColor->SelectedColor(), clGreen);
            EXPECT_EQ(d.StatusInfoColor->SelectedColor(), clMaroon);
            EXPECT_TRUE(d.ShowPanels->Checked());
            EXPECT_EQ(d.MainSample->FromColor(), clRed);
            EXPECT_EQ(d.MainSample->Direction(), kit::dVertical);
            EXPECT_EQ(d.SubSample->ToColor(), clNavy);
            EXPECT_EQ(d.StatusSample->FromColor(), clYellow);
            EXPECT_EQ(d.DCHeader->Font().Color, clGreen);
            EXPECT_EQ(d.DisksInCatalog->Font().Color, clMaroon);
            EXPECT_TRUE(Driver.Grab(d, std::string(KORVANE_BUILD_DIR) + "/appearance.png"));
            // Every colour box chosen from by key moves its sample.
            const std::pair<kit::TKitColorComboBox*, std::function<TColor()>> colours[] = {
                {d.MainFromColor, [&] { return d.MainSample->FromColor(); }},
                {d.MainToColor, [&] { return d.MainSample->ToColor(); }},
                {d.SubFromColor, [&] { return d.SubSample->FromColor(); }},
                {d.SubToColor, [&] { return d.SubSample->ToColor(); }},
                {d.StatusFromColor, [&] { return d.StatusSample->FromColor(); }},
                {d.StatusToColor, [&] { return d.StatusSample->ToColor(); }},
                {d.StatusHeaderColor, [&] { return d.DCHeader->Font().Color; }},
                {d.StatusInfoColor, [&] { return d.DisksInCatalog->Font().Color; }},
            };
            for (const auto& [combo, shown] : colours) {
                SCOPED_TRACE(combo->Name());
                const TColor old = shown();
                Driver.KeyTo(*combo, VK_DOWN);
                Driver.RunPending();
                EXPECT_NE(shown(), old);
                EXPECT_EQ(shown(), combo->SelectedColor());
            }
            const std::pair<TComboBox*, kit::TStyledGradient*> directions[] = {
                {d.MainDirection, d.MainSample},
                {d.SubDirection, d.SubSample},
                {d.StatusDirection, d.StatusSample}};
            for (const auto& [combo, sample] : directions) {
                SCOPED_TRACE(combo->Name());
                const bool down = combo->ItemIndex() == 0;
                Driver.KeyTo(*combo, down ? VK_DOWN : VK_UP);
                Driver.RunPending();
                EXPECT_EQ(sample->Direction(), down ? kit::dVertical : kit::dHorizontal);
            }
            Driver.Click(*d.ShowPanels);
            Driver.Click(*d.CancelBtn);
        },
        mrCancel);
    Form->RunCommand("MainWindowAppearanceOptions1", nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Form->CurrentFrame, 4);
    // Cancel changes nothing.
    EXPECT_EQ(Look(*Form), before);
}

TEST_F(CommandsTest, AppearanceDefaultsAreAppliedOnlyByOk) {
    SetGradient(*Form->MainOptGradient, clRed, clLime, kit::dHorizontal);
    SetGradient(*Form->SubOptGradient, clPurple, clBlack, kit::dHorizontal);
    for (kit::TStyledGradient* g : {Form->ACGradient, Form->DCGradient, Form->FCGradient})
        SetGradient(*g, clYellow, clAqua, kit::dHorizontal);
    for (TLabel* l : {Form->ACHeader, Form->DCHeader, Form->FCHeader, Form->ActiveCatalogName,
                      Form->DisksInCatalog, Form->FilesInCatalog})
        l->Font().Color = clOlive;
    Form->MainOptPanel->SetVisible(false);
    Form->SubOptPanel->SetVisible(false);
    Form->Constraints().SetMinHeight(170);
    Form->SimulateBtnClick(4);  // the frame the command shows
    for (const TModalResult answer : {mrCancel, mrOk}) {
        const std::vector<int64_t> before = Look(*Form);
        Driver.AnswerWith(
            [&](TCustomForm& F) {
                auto& d = static_cast<TAppearanceOptionsForm&>(F);
                EXPECT_FALSE(d.ShowPanels->Checked());
                Driver.Click(*d.BitBtn4);
                EXPECT_EQ(d.MainFromColor->SelectedColor(), clTeal);
                EXPECT_EQ(d.MainSample->ToColor(), clTeal);
                EXPECT_EQ(d.SubSample->FromColor(), clNavy);
                EXPECT_EQ(d.StatusSample->ToColor(), clBtnFace);
                EXPECT_EQ(d.DCHeader->Font().Color, clBlue);
                EXPECT_EQ(d.DisksInCatalog->Font().Color, clWindowText);
                EXPECT_TRUE(d.ShowPanels->Checked());
                EXPECT_EQ(Look(*Form), before) << "nothing applied before OK";
                Driver.Click(answer == mrOk ? static_cast<TControl&>(*d.OKBtn) : *d.CancelBtn);
            },
            answer);
        Form->RunCommand("MainWindowAppearanceOptions1", nullptr);
        if (answer == mrCancel) {
            EXPECT_EQ(Look(*Form), before);
        }
    }
    EXPECT_TRUE(Form->MainOptPanel->Visible());
    EXPECT_TRUE(Form->SubOptPanel->Visible());
    EXPECT_EQ(Form->Constraints().MinHeight, 375);
    for (kit::TStyledGradient* g : {Form->MainOptGradient, Form->SubOptGradient, Form->Frame->Gradient,
                                    Form->ACGradient, Form->DCGradient, Form->FCGradient})
        EXPECT_EQ(g->Direction(), kit::dVertical) << g->Name();
    EXPECT_EQ(Form->MainOptGradient->FromColor(), clTeal);
    EXPECT_EQ(Form->MainOptGradient->ToColor(), clTeal);
    EXPECT_EQ(Form->SubOptGradient->FromColor(), clNavy);
    EXPECT_EQ(Form->Frame->Gradient->ToColor(), clNavy);
    for (kit::TStyledGradient* g : {Form->ACGradient, Form->DCGradient, Form->FCGradient}) {
        EXPECT_EQ(g->FromColor(), clBtnFace);
        EXPECT_EQ(g->ToColor(), clBtnFace);
    }
    for (TLabel* l : {Form->ACHeader, Form->DCHeader, Form->FCHeader}) EXPECT_EQ(l->Font().Color, clBlue);
    for (TLabel* l : {Form->ActiveCatalogName, Form->DisksInCatalog, Form->FilesInCatalog})
        EXPECT_EQ(l->Font().Color, clWindowText);
}

TEST_F(CommandsTest, AppearanceOkWithoutPanelsHidesThemAndColoursTheStatusTexts) {
    Driver.AnswerWith([&](TCustomForm& F) {
        auto& d = static_cast<TAppearanceOptionsForm&>(F);
        d.ShowPanels->SetChecked(false);
        d.SubFromColor->SetSelectedColor(clGreen);
        d.SubToColor->SetSelectedColor(clOlive);
        d.SubDirection->SetItemIndex(1);
        d.StatusFromColor->SetSelectedColor(clSilver);
        d.StatusToColor->SetSelectedColor(clGray);
        d.StatusHeaderColor->SetSelectedColor(clRed);
        d.StatusInfoColor->SetSelectedColor(clYellow);
        Driver.Click(*d.OKBtn);
    });
    Form->RunCommand("MainWindowAppearanceOptions1", nullptr);
    EXPECT_FALSE(Form->MainOptPanel->Visible());
    EXPECT_FALSE(Form->SubOptPanel->Visible());
    EXPECT_EQ(Form->Constraints().MinHeight, 170);
    // The Settings frame, shown while the command ran, takes the sub-option colours.
    ASSERT_EQ(Form->CurrentFrame, 4);
    for (kit::TStyledGradient* g : {Form->SubOptGradient, Form->Frame->Gradient}) {
        EXPECT_EQ(g->FromColor(), clGreen);
        EXPECT_EQ(g->ToColor(), clOlive);
        EXPECT_EQ(g->Direction(), kit::dVertical);
    }
    for (kit::TStyledGradient* g : {Form->ACGradient, Form->DCGradient, Form->FCGradient}) {
        EXPECT_EQ(g->FromColor(), clSilver);
        EXPECT_EQ(g->ToColor(), clGray);
    }
    for (TLabel* l : {Form->ACHeader, Form->DCHeader, Form->FCHeader}) EXPECT_EQ(l->Font().Color, clRed);
    for (TLabel* l : {Form->ActiveCatalogName, Form->DisksInCatalog, Form->FilesInCatalog})
        EXPECT_EQ(l->Font().Color, clYellow);
    // Every command stays reachable through the menu.
    Driver.AnswerWith([](TCustomForm&) {}, mrCancel);
    Form->RunCommand("MainWindowAppearanceOptions1", nullptr);
    EXPECT_EQ(Driver.Shown.size(), 2u);
}

TEST_F(CommandsTest, ToolSettingsAndDiagnoseOpenTheirWindows) {
    dbsql::TDbTable options;
    options.SetDatabaseName("D:\\");
    options.SetTableName("KorvaneOptions");
    catalog::DefineTable(options, catalog::KorvaneOptionsSchema());
    options.CreateTable();
    options.Open();
    catalog::InsertNewOptionsRecord(options);
    options.Close();
    std::vector<std::string> opened;
    for (const char* command : {"ToolsSettings1", "DiagnoseRepairTables1"}) {
        NoFrame();
        Driver.AnswerWith([&](TCustomForm& F) { opened.push_back(F.ClassName()); }, mrCancel);
        Form->RunCommand(command, nullptr);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"TToolsSettingsForm", "TRepairForm"}));
    EXPECT_EQ(Form->CurrentFrame, 0) << "diagnosis keeps the frame";
    EXPECT_EQ(ShownTexts().size(), 2u) << "no error box";
}

}  // namespace

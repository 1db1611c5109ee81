// The shared message, progress and prompt windows and the catalog folder dialog, shown headless
// and driven by keys and clicks.

#include <gtest/gtest.h>

#include "catalog/CatalogFolderForm.h"
#include "catalog/GetStringForm.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/TestDrives.h"

using namespace catalog;
using namespace framework;

namespace {

template <class T>
struct FormFixture : ::testing::Test {
    TFormDriver Driver;
    T* Form = TCustomForm::Create<T>(Application);
    ~FormFixture() override { Form->Free(); }
    void Grab(const std::string& Name) {
        EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/" + Name + ".png"));
    }
};

using MsgTest = FormFixture<catalog::TMsg>;
using ProgressTest = FormFixture<TProgressForm>;

TEST_F(MsgTest, ShowsAndChangesTheTextWithoutHidingAndHides) {
    EXPECT_EQ(Form->Caption(), "Message");
    EXPECT_EQ(Form->BorderStyle(), bsNone);
    EXPECT_EQ(Form->BorderIcons(), 0);
    EXPECT_EQ(Form->Position, poScreenCenter);
    EXPECT_EQ(Form->ClientWidth(), 506);
    EXPECT_EQ(Form->ClientHeight(), 67);
    EXPECT_EQ(Form->MsgText->BevelWidth(), 4);
    EXPECT_FALSE(Form->MsgShown);
    EXPECT_FALSE(Form->Visible());

    int hidden = 0;
    Form->OnHide = [&](TObject*) { ++hidden; };
    Form->show_msg("Updating Summary File Format");
    EXPECT_TRUE(Form->MsgShown);
    EXPECT_TRUE(Form->Visible());
    EXPECT_EQ(Form->MsgText->Caption(), "Updating Summary File Format");
    Grab("MsgWindow");
    Form->show_msg("Second step");
    EXPECT_EQ(Form->MsgText->Caption(), "Second step");
    EXPECT_TRUE(Form->Visible());
    EXPECT_EQ(hidden, 0);

    Form->remove_msg();
    EXPECT_FALSE(Form->MsgShown);
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(hidden, 1);
}

TEST(GaugeColorPairsTest, HoldTheFourteenPairsOfPureColours) {
    const auto rgb = [](TColor c) { return ColorToRGB(c); };
    EXPECT_EQ(rgb(GaugeColorPairs[0].first), 0x0000FFu);   // red (0x00BBGGRR)
    EXPECT_EQ(rgb(GaugeColorPairs[0].second), 0x00FFFFu);  // yellow
    EXPECT_EQ(GaugeColorPairs[4], std::make_pair(clLime, clAqua));
    EXPECT_EQ(GaugeColorPairs[9], std::make_pair(clBlue, clAqua));
    EXPECT_EQ(GaugeColorPairs[13], std::make_pair(clAqua, clWhite));
    for (size_t i = 0; i < GaugeColorPairs.size(); ++i)
        for (size_t j = i + 1; j < GaugeColorPairs.size(); ++j)
            EXPECT_NE(GaugeColorPairs[i], GaugeColorPairs[j]);
}

TEST_F(ProgressTest, DesignOfTheWindow) {
    EXPECT_EQ(Form->BorderStyle(), bsDialog);
    EXPECT_EQ(Form->BorderIcons(), 0);
    EXPECT_EQ(Form->Position, poScreenCenter);
    EXPECT_EQ(Form->ClientWidth(), 492);
    EXPECT_EQ(Form->ClientHeight(), 118);
    EXPECT_EQ(Form->ProgressBar->Text(), "%d%%");
    EXPECT_EQ(Form->ProgressBar->BackColor(), clBtnFace);
    EXPECT_EQ(Form->ProgressBar->BorderStyle(), bsNone);
    EXPECT_EQ(Form->CancelBtn->Caption(), "Cancel");
    EXPECT_EQ(Form->CancelBtn->BoundsRect(), (TRect{186, 72, 186 + 127, 72 + 37}));
    EXPECT_FALSE(Form->ProgressShown);
    EXPECT_FALSE(Form->CancelPressed);
}

TEST_F(ProgressTest, ColoursFollowTheTwoDraws) {
    bool sawSwapped = false, sawStraight = false;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        RandSeed = seed;
        const auto& pair = GaugeColorPairs[static_cast<size_t>(Random(14))];
        const bool swapped = Random(2) == 1;
        (swapped ? sawSwapped : sawStraight) = true;
        RandSeed = seed;
        Form->ShowForm("Copying", true);
        EXPECT_EQ(Form->ProgressBar->ForeColor1(), swapped ? pair.second : pair.first) << seed;
        EXPECT_EQ(Form->ProgressBar->ForeColor2(), swapped ? pair.first : pair.second) << seed;
        Form->HideForm();
    }
    EXPECT_TRUE(sawSwapped && sawStraight);
}

TEST_F(ProgressTest, CancellableAndPlainDisplays) {
    Form->ProgressBar->SetProgress(60);
    Form->ProgressBar->SetMaxValue(250);
    Form->ShowForm("Copying", true);
    EXPECT_TRUE(Form->ProgressShown);
    EXPECT_TRUE(Form->Visible());
    EXPECT_EQ(Form->Caption(), "Copying");
    EXPECT_EQ(Form->Height(), 145);
    EXPECT_TRUE(Form->CancelBtn->Visible());
    EXPECT_TRUE(Form->CancelBtn->Enabled());
    EXPECT_EQ(Form->ProgressBar->MaxValue(), 100);
    EXPECT_EQ(Form->ProgressBar->Progress(), 0);
    Form->ProgressBar->SetProgress(45);
    Grab("ProgressCancellable");
    Form->HideForm();
    EXPECT_FALSE(Form->Visible());

    Form->ShowForm("Sorting", false);
    EXPECT_EQ(Form->Caption(), "Sorting");
    EXPECT_EQ(Form->Height(), 85);
    EXPECT_FALSE(Form->CancelBtn->Visible());
    EXPECT_FALSE(Form->CancelBtn->Enabled());
    Grab("ProgressPlain");
}

TEST_F(ProgressTest, SecondShowFormChangesNothingAndCancelSurvivesHide) {
    RandSeed = 7;
    Form->ShowForm("Copying", true);
    Form->ProgressBar->SetProgress(30);
    Driver.Click(*Form->CancelBtn);
    EXPECT_TRUE(Form->CancelPressed);
    EXPECT_TRUE(Form->Visible());  // the caller decides when to stop
    const TColor c1 = Form->ProgressBar->ForeColor1(), c2 = Form->ProgressBar->ForeColor2();
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        RandSeed = seed;
        Form->ShowForm("Other", false);
        EXPECT_EQ(Form->Caption(), "Copying");
        EXPECT_EQ(Form->ProgressBar->ForeColor1(), c1);
        EXPECT_EQ(Form->ProgressBar->ForeColor2(), c2);
        EXPECT_EQ(Form->ProgressBar->Progress(), 30);
        EXPECT_TRUE(Form->CancelBtn->Visible());
        EXPECT_EQ(Form->Height(), 145);
        EXPECT_TRUE(Form->CancelPressed);
    }
    Form->HideForm();
    EXPECT_FALSE(Form->ProgressShown);
    EXPECT_TRUE(Form->CancelPressed);
    int hidden = 0;
    Form->OnHide = [&](TObject*) { ++hidden; };
    Form->HideForm();  // on a hidden window
    EXPECT_EQ(hidden, 0);
    EXPECT_FALSE(Form->Visible());
    EXPECT_TRUE(Form->CancelPressed);
    Form->ShowForm("Again", true);
    EXPECT_FALSE(Form->CancelPressed);
}

TEST_F(ProgressTest, EscapeCancelsOnlyACancellableDisplay) {
    Form->ShowForm("Sorting", false);
    Driver.KeyTo(*Form, VK_ESCAPE);
    EXPECT_FALSE(Form->CancelPressed);
    Form->HideForm();
    Form->ShowForm("Copying", true);
    Driver.KeyTo(*Form, VK_ESCAPE);
    EXPECT_TRUE(Form->CancelPressed);
    EXPECT_TRUE(Form->Visible());
}

TEST(GetStringFormTest, TypedTextComesBackInUpperCaseOnOk) {
    TFormDriver driver;
    std::vector<int> helped;
    Application->HelpFile = "C:\\KORVANE\\Korvane.HLP";
    Application->SetHelpHandler([&](const std::string&, uint32_t, uintptr_t Data) {
        helped.push_back(static_cast<int>(Data));
        return true;
    });
    auto* form = TCustomForm::Create<TGetStringForm>(Application);
    EXPECT_EQ(form->Caption(), "Information Needed");
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->ClientWidth(), 343);
    EXPECT_EQ(form->ClientHeight(), 148);
    EXPECT_EQ(form->HelpContext, 71);
    EXPECT_EQ(form->ActiveControl(), form->ResultString);
    EXPECT_EQ(form->Prompt->Width(), 331);
    EXPECT_EQ(form->ResultString->Width(), 319);
    EXPECT_EQ(form->PromptPanel->Height(), 97);
    form->Prompt->SetCaption("Enter the volume label");
    form->ResultString->SetCharCase(ecUpperCase);
    form->ResultString->SetText("*");
    driver.AnswerWith([&](TCustomForm&) {
        EXPECT_TRUE(form->ResultString->Focused());
        driver.Click(*form->HelpBtn);
        EXPECT_TRUE(form->ResultString->Focused() || form->HelpBtn->Focused());
        form->ResultString->SetFocus();
        driver.Key(VK_END);
        driver.Type("abc");
        EXPECT_TRUE(driver.Grab(*form, std::string(KORVANE_BUILD_DIR) + "/GetString.png"));
        driver.Click(*form->OKBtn);
    });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(form->ResultString->Text(), "*ABC");
    EXPECT_EQ(helped, std::vector<int>{71});
    Application->SetHelpHandler(nullptr);
    Application->HelpFile.clear();

    driver.AnswerWith([&](TCustomForm&) { driver.Click(*form->CancelBtn); });
    EXPECT_EQ(form->ShowModal(), mrCancel);
    form->Free();
}

struct CatalogFolderTest : ::testing::Test {
    platform::testsupport::TTempFolder D;
    std::unique_ptr<platform::testsupport::TScopedDrives> Drives;
    TFormDriver Driver;
    CatalogFolderTest() {
        D.MakeFolder("KORVANE");
        D.MakeFolder("DATA");
        D.MakeFolder("PICS");
        Drives = std::make_unique<platform::testsupport::TScopedDrives>("D=" + D.Path() + "|label=WORK");
    }
    int ItemOf(TDirectoryListBox& List, const std::string& Name) {
        for (int i = 0; i < List.Items().Count(); ++i)
            if (List.Items()[i] == Name) return i;
        ADD_FAILURE() << Name;
        return 0;
    }
    // Shows the dialog from D:\KORVANE; Act picks in it; the folder it returns (empty: none).
    std::string Pick(const std::function<void(TCatalogFolderForm&)>& Act) {
        auto* form = TCustomForm::Create<TCatalogFolderForm>(Application);
        form->DList->SetDirectory("D:\\KORVANE");
        Driver.AnswerWith([&](TCustomForm&) { Act(*form); });
        std::string result;
        if (form->ShowModal() == mrOk) result = form->DList->Directory();
        form->Free();
        return result;
    }
    void Go(TCatalogFolderForm& F, const std::string& Name, bool Double) {
        const TRect r = F.DList->ItemRect(ItemOf(*F.DList, Name));
        if (Double)
            Driver.DoubleClick(*F.DList, 5, r.Top + 2);
        else
            Driver.Click(*F.DList, 5, r.Top + 2);
    }
};

TEST_F(CatalogFolderTest, DesignOfTheDialog) {
    auto* form = TCustomForm::Create<TCatalogFolderForm>(Application);
    EXPECT_EQ(form->Caption(), "Select Folder For Korvane Data");
    EXPECT_EQ(form->HelpContext, 6);
    EXPECT_EQ(form->ApplyBtn->Caption(), "&Apply");
    EXPECT_EQ(form->ApplyBtn->ModalResult, mrOk);
    EXPECT_EQ(form->CancelBtn->Caption(), "Cancel");
    EXPECT_EQ(form->HelpBtn->Caption(), "&Help");
    EXPECT_EQ(form->NoteLabel->Caption().rfind("Note that you must double click on the desired \n", 0), 0u);
    EXPECT_EQ(form->DriveComboBox1->DirList, form->DList);
    form->DList->SetDirectory("D:\\KORVANE");
    form->Show();
    EXPECT_TRUE(Driver.Grab(*form, std::string(KORVANE_BUILD_DIR) + "/CatalogFolder.png"));
    form->Free();
}

TEST_F(CatalogFolderTest, OnlyAnOpenedFolderIsChosen) {
    // A single click only highlights: Apply returns the folder open before.
    EXPECT_EQ(Pick([&](TCatalogFolderForm& f) {
                  Go(f, "D:\\", true);
                  Go(f, "DATA", false);
                  Driver.Click(*f.ApplyBtn);
              }),
              "D:\\");
    EXPECT_EQ(Pick([&](TCatalogFolderForm& f) {
                  Go(f, "D:\\", true);
                  Go(f, "DATA", true);
                  Driver.Click(*f.ApplyBtn);
              }),
              "D:\\DATA");
    EXPECT_EQ(Pick([&](TCatalogFolderForm& f) {
                  Go(f, "D:\\", true);
                  Go(f, "PICS", true);
                  Driver.Click(*f.CancelBtn);
              }),
              "");
}

}  // namespace

// The tips dialog run modally through the form driver: when it runs at all, the order of tips,
// the window's layout and captions, closing, placement and failures while it is built.
#include "controls/kit/KitTipDlg.h"

#include <gtest/gtest.h>

#include <set>

#include "controls/kit/KitButton.h"
#include "controls/kit/KitCheckBox.h"
#include "controls/kit/KitImage.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class KitTipDlgTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TKitTipDlg* Tips = NewComponent<TKitTipDlg>(nullptr);
    void SetUp() override { RandSeed = 1234; }
    void TearDown() override {
        Tips->Free();
        Driver.RunPending();
    }
    void SetTips(int Count) {
        Tips->Tips().Clear();
        for (int i = 0; i < Count; ++i) Tips->Tips().Add("Tip number " + std::to_string(i));
    }
    // Runs the dialog; Act sees it open, then it is closed with OK unless Act closed it.
    void Run(std::function<void(TKitTipDlg&)> Act) {
        Driver.AnswerWith(
            [this, Act](TCustomForm&) {
                Driver.RunPending();
                Act(*Tips);
            },
            mrOk);
        EXPECT_FALSE(Tips->Execute());
    }
    int TipShown() const {
        const std::string text = Tips->TipLabel()->Caption();
        return std::stoi(text.substr(text.rfind(' ') + 1));
    }
};

TEST_F(KitTipDlgTest, NothingRunsInStartModeWithoutShowAtStartAndNoTipsOnlyWarn) {
    SetTips(3);
    Tips->Mode = moStart;
    Tips->ShowAtStart = false;
    EXPECT_FALSE(Tips->Execute());
    EXPECT_TRUE(Driver.Shown.empty());

    Tips->Tips().Clear();
    EXPECT_FALSE(Tips->Execute());
    EXPECT_TRUE(Driver.Shown.empty()) << "not even the warning in start mode";

    Tips->Mode = moNormal;
    Driver.Answer(mrOk);
    EXPECT_FALSE(Tips->Execute());
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].Text, "No Tips available - Dialog will not be displayed...");
    EXPECT_EQ(Driver.Shown[0].DlgType, static_cast<int>(mtWarning));
    EXPECT_FALSE(Tips->ShowAtStart);
    EXPECT_EQ(Tips->Window(), nullptr);
}

TEST_F(KitTipDlgTest, AOnlyTipDisablesBothStepButtons) {
    SetTips(1);
    Run([this](TKitTipDlg& d) {
        EXPECT_EQ(d.TipLabel()->Caption(), "Tip number 0");
        EXPECT_FALSE(d.NextButton()->Enabled());
        EXPECT_FALSE(d.PreviousButton()->Enabled());
        EXPECT_TRUE(d.OkButton()->Focused());
    });
}

TEST_F(KitTipDlgTest, TheFirstTipIsTheAskedOneOrARandomOne) {
    SetTips(5);
    Tips->FirstHintNumber = 2;
    Run([this](TKitTipDlg&) { EXPECT_EQ(TipShown(), 2); });

    // Out of range: the seeded generator's first draw.
    Tips->FirstHintNumber = 7;
    RandSeed = 99;
    const int expected = Random(5);
    RandSeed = 99;
    Run([this, expected](TKitTipDlg&) { EXPECT_EQ(TipShown(), expected); });
}

TEST_F(KitTipDlgTest, SteppingBackAndForthReplaysTheHistoryAndNoTipComesTwice) {
    SetTips(5);
    Run([this](TKitTipDlg& d) {
        const int first = TipShown();
        EXPECT_FALSE(d.PreviousButton()->Enabled());
        Driver.Click(*d.NextButton());
        const int second = TipShown();
        EXPECT_TRUE(d.PreviousButton()->Enabled());
        Driver.Click(*d.NextButton());
        const int third = TipShown();
        Driver.Click(*d.PreviousButton());
        EXPECT_EQ(TipShown(), second);
        Driver.Click(*d.NextButton());
        EXPECT_EQ(TipShown(), third) << "the way forward is the history, not a new draw";
        EXPECT_EQ(d.History().size(), 3u);

        while (d.NextButton()->Enabled()) Driver.Click(*d.NextButton());
        const std::set<int> distinct(d.History().begin(), d.History().end());
        EXPECT_EQ(d.History().size(), 5u);
        EXPECT_EQ(distinct.size(), 5u);
        EXPECT_EQ(d.History()[0], first);
    });
}

TEST_F(KitTipDlgTest, TheWindowIsLaidOutFromTheButtonWidth) {
    SetTips(2);
    for (bool hide : {false, true}) {
        Tips->HideShowAtStart = hide;
        Tips->ShowAtStart = true;
        Run([hide](TKitTipDlg& d) {
            TBitmap measure;
            measure.SetSize(1, 1);
            measure.Canvas().Font.Assign(d.Window()->Font());
            const int w = std::max({80, measure.Canvas().TextWidth("&Next Tip") + 6,
                                    measure.Canvas().TextWidth("&Previous Tip") + 6});
            const std::pair<TKitButton*, int> buttons[] = {
                {d.OkButton(), 9}, {d.NextButton(), 42}, {d.PreviousButton(), 69}};
            for (auto [b, top] : buttons) {
                EXPECT_EQ(b->BoundsRect(), Bounds(417 - w, top, w, 24)) << b->Caption();
            }
            EXPECT_FALSE(d.ExtraButton()->Visible());
            EXPECT_FALSE(d.HelpButton()->Visible());
            EXPECT_EQ(d.Window()->ClientWidth(), 424);
            EXPECT_EQ(d.Window()->ClientHeight(), hide ? 202 : 226);
            EXPECT_EQ(d.CheckBox()->Visible(), !hide);
            EXPECT_EQ(d.CheckBox()->Left(), 5);
            EXPECT_EQ(d.CheckBox()->Top(), 202);
            EXPECT_EQ(d.Panel()->BoundsRect(), Bounds(5, 8, 405 - w, 187));
            EXPECT_EQ(d.Panel()->Bevel().Extent(), 2);
            // The user's choice in a hidden box does not count.
            d.CheckBox()->SetState(cbUnchecked);
        });
        EXPECT_EQ(Tips->ShowAtStart, hide) << "hidden: kept; shown: taken from the box";
    }
}

TEST_F(KitTipDlgTest, CaptionsAndHeader) {
    SetTips(2);
    Application->Title = "Korvane";
    Run([](TKitTipDlg& d) {
        EXPECT_EQ(d.HeaderLabel()->Caption(), "Tip...");
        EXPECT_EQ(d.Window()->Caption(), "Tips&Tricks Korvane...");
        d.SetCaptionTitle("Korvane Tips");
        EXPECT_EQ(d.Window()->Caption(), "Korvane Tips");
    });
    Tips->CaptionHeader = "Did You Know?";
    Run([](TKitTipDlg& d) {
        EXPECT_EQ(d.HeaderLabel()->Caption(), "Did You Know?");
        EXPECT_EQ(d.Window()->Caption(), "Korvane Tips");
    });
    EXPECT_EQ(Tips->CaptionTitle(), "Korvane Tips");
}

TEST_F(KitTipDlgTest, EscapeClosesLikeOkAndKeepsTheCheckBox) {
    SetTips(3);
    Tips->ShowAtStart = true;
    Driver.AnswerWith([this](TCustomForm&) {
        Driver.RunPending();
        Driver.Click(*Tips->CheckBox());
        EXPECT_EQ(Tips->CheckBox()->State(), cbUnchecked);
        Driver.KeyTo(*Tips->OkButton(), VK_ESCAPE);
    });
    Tips->Execute();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Answer, mrOk);
    EXPECT_FALSE(Tips->ShowAtStart);
    EXPECT_EQ(Tips->Window(), nullptr);
}

TEST_F(KitTipDlgTest, BottomRightOnTheMainWindowIsClampedToTheScreen) {
    ASSERT_EQ(Application->MainForm(), nullptr);
    TForm* main = nullptr;
    Application->CreateForm(main);
    SetTips(2);
    Tips->RelatePos = brMainForm;
    Tips->Position = bpBottomRight;
    struct Case {
        TRect Main;
        bool Clamped;
    };
    for (const Case& c : {Case{Bounds(200, 150, 700, 500), false}, Case{Bounds(0, 0, 120, 100), true}}) {
        main->SetBoundsRect(c.Main);
        Run([&c](TKitTipDlg& d) {
            const TRect r = d.Window()->BoundsRect();
            if (c.Clamped) {
                EXPECT_EQ(r.Left, 0);
                EXPECT_EQ(r.Top, 0);
            } else {
                EXPECT_EQ(r.Right, c.Main.Right);
                EXPECT_EQ(r.Bottom, c.Main.Bottom);
            }
        });
    }
    main->Free();
}

TEST_F(KitTipDlgTest, AFailureWhileBuildingFreesTheWindowAndPassesOn) {
    SetTips(2);
    TCustomForm* built = nullptr;
    Tips->OnCustomize = [&built](TObject* Sender) {
        built = dynamic_cast<TCustomForm*>(Sender);
        throw Exception("no window today");
    };
    const int forms = Screen->FormCount();
    EXPECT_THROW(Tips->Execute(), Exception);
    EXPECT_NE(built, nullptr);
    EXPECT_EQ(Tips->Window(), nullptr);
    EXPECT_EQ(Screen->FormCount(), forms);
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(KitTipDlgTest, TheWindowShowsThePanelTheBulbAndTheButtons) {
    Tips->Tips().Add("Every disk you catalog stays searchable after it is put away.");
    Tips->CaptionHeader = "Did You Know?";
    Tips->ShowAtStart = true;
    Run([this](TKitTipDlg& d) {
        ASSERT_TRUE(Driver.Grab(*d.Window(), ::testing::TempDir() + "kit_tips.png"));
        TKitSimplePanel& panel = *d.Panel();
        EXPECT_EQ(Driver.PixelAt(panel, panel.Width() / 2, panel.Height() - 6), 0x00DFFFFFu);
        // The bulb: no red left, the glass and the panel around it.
        const TRect bulb = d.Image()->BoundsRect();
        EXPECT_EQ(bulb, Bounds(5, 7, 30, 40));
        int yellow = 0, pale = 0;
        for (int y = bulb.Top; y < bulb.Bottom; ++y)
            for (int x = bulb.Left; x < bulb.Right; ++x) {
                const uint32_t p = Driver.PixelAt(panel, x, y);
                EXPECT_NE(p, 0x000000FFu) << x << "," << y;
                yellow += p == 0x0000FFFFu;
                pale += p == 0x00DFFFFFu;
            }
        EXPECT_GT(yellow, 100);
        EXPECT_GT(pale, 100);
        // The OK button's face.
        EXPECT_EQ(Driver.PixelAt(*d.OkButton(), d.OkButton()->Width() / 2, 3), ColorToRGB(clBtnFace));
    });
}

}  // namespace
}  // namespace kit

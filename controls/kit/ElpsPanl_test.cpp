// The ellipsis panel: shortening at the end or in the middle of a path, and the hint it offers.
#include "controls/kit/ElpsPanl.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class EllipsisPanelTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TEllipsisPanel* Panel = nullptr;
    const std::string LongPath =
        "C:\\Archives\\Backups of the old office machine\\Projects and letters 1998\\Quarterly\\report.zip";
    void SetUp() override {
        Form->SetBounds(40, 40, 700, 200);
        Panel = NewComponent<TEllipsisPanel>(Form);
        Panel->SetBounds(10, 10, 601, 41);
        Panel->SetBevelOuter(bvLowered);
        Panel->SetBevelWidth(2);
        Panel->Hint = "|";
        Panel->Loaded();  // as when read from its form: "|" is the saved hint
        Panel->SetParent(Form);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(EllipsisPanelTest, FittingCaptionIsShownWholeWithTheSavedHint) {
    EXPECT_TRUE(Panel->ShowHint());
    EXPECT_EQ(Panel->AutoHintOptoins(), ahEnabled | ahWindowOnly | ahOnEllipsis);
    Panel->SetCaption("C:\\short.zip");
    EXPECT_EQ(Panel->Caption(), "C:\\short.zip");
    EXPECT_EQ(Panel->Text(), "C:\\short.zip");
    EXPECT_EQ(Panel->Hint, "|");
}

TEST_F(EllipsisPanelTest, LongCaptionEndsInEllipsisAndTheHintCarriesIt) {
    const std::string text(200, 'W');
    Panel->SetCaption(text);
    const std::string shown = Panel->Text();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_LT(shown.size(), text.size());
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(shown.substr(0, shown.size() - 3), text.substr(0, shown.size() - 3));
    EXPECT_EQ(Panel->Caption(), text);
    EXPECT_EQ(Panel->Hint, text + "|");

    // Without ahWindowOnly the "|" goes; without ahEnabled the saved hint comes back.
    Panel->SetAutoHintOptoins(ahEnabled | ahOnEllipsis);
    EXPECT_EQ(Panel->Hint, text);
    Panel->SetAutoHintOptoins(ahEnabled | ahWindowOnly);
    EXPECT_EQ(Panel->Hint, text + "|");
    Panel->SetAutoHintOptoins(0);
    EXPECT_EQ(Panel->Hint, "|");
}

TEST_F(EllipsisPanelTest, PathKeepsItsStartAndLastPart) {
    Panel->SetIsPath(true);
    Panel->SetWidth(300);
    Driver.RunPending();
    Panel->SetCaption(LongPath);
    const std::string shown = Panel->Text();
    Driver.Grab(*Form, ::testing::TempDir() + "kit_ellipsis_path.png");
    EXPECT_LT(shown.size(), LongPath.size());
    EXPECT_EQ(shown.substr(0, 3), "C:\\");
    EXPECT_NE(shown.find("..."), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 10), "report.zip");
    EXPECT_EQ(Panel->Hint, "|");  // does not end in "...": the saved hint stays
}

TEST_F(EllipsisPanelTest, ShrinkingAndGrowingRefitsAtOnce) {
    Panel->SetCaption(LongPath);
    EXPECT_EQ(Panel->Text(), LongPath);  // 601 pixels hold it
    Panel->SetWidth(150);
    EXPECT_NE(Panel->Text(), LongPath);
    EXPECT_EQ(Panel->Text().substr(Panel->Text().size() - 3), "...");
    Panel->SetWidth(601);
    EXPECT_EQ(Panel->Text(), LongPath);
    EXPECT_EQ(Panel->Hint, "|");
}

}  // namespace
}  // namespace kit

// The bottom button row of the report windows: placement, Close and Help.
#include "reports/output/ReportButtonRow.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/stdctrls/ExtCtrls.h"

namespace {

using namespace framework;

TEST(ReportButtonRowTest, PlacesButtonsInStepsAndWiresCloseAndHelp) {
    auto* form = TCustomForm::Create<TForm>(Application);
    auto* panel = NewComponent<TPanel>(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 600, 44);
    int helpTopic = 57;
    reports::TReportButtonRow row(*form, *panel, &helpTopic, 104, 8, 74, 80);
    TBitBtn* print = row.Add("PrintBtn", bkCustom, "&Print");
    TBitBtn* close = row.Add("CloseBtn", bkClose);
    TBitBtn* help = row.Add("HelpBtn", bkHelp);
    EXPECT_EQ(print->Caption(), "&Print");
    EXPECT_EQ(print->Parent(), panel);
    EXPECT_EQ(form->FindComponent("CloseBtn"), close);
    const std::vector<TBitBtn*> buttons = {print, close, help};
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->Left(), 104 + 80 * static_cast<int>(i));
        EXPECT_EQ(buttons[i]->Top(), 8);
        EXPECT_EQ(buttons[i]->Width(), 74);
        EXPECT_EQ(buttons[i]->Height(), 28);
    }

    // Help asks for the form's topic as it stands when clicked.
    std::vector<intptr_t> asked;
    auto savedHelp = Application->OnHelp;
    Application->OnHelp = [&](uint32_t, intptr_t Data, bool& CallHelp) {
        asked.push_back(Data);
        CallHelp = false;
        return true;
    };
    helpTopic = 61;
    help->Click();
    Application->OnHelp = savedHelp;
    EXPECT_EQ(asked, std::vector<intptr_t>{61});

    form->Show();
    ASSERT_TRUE(form->Visible());
    close->Click();
    EXPECT_FALSE(form->Visible());
    form->Free();
}

}  // namespace

// The activity log window over a log written by cataloguing runs on different days: its order, the
// purge up to a date and the printed log.

#include "cataloging/editors/ActivityLogForms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cataloging/testsupport/CatalogedVolumes.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/grid/CtlDbTable.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Dialogs.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace runtest;

class ActivityLogTest : public CatalogedVolumesTest {
protected:
    TViewCatalogActivityLogForm* Form = nullptr;

    void TearDown() override {
        if (Form) Form->Free();
        CatalogedVolumesTest::TearDown();
    }
    // Three volumes catalogued on 14, 15 and 16 September 2003 (the last at two times of the day).
    void LogOnThreeDays() {
        const struct {
            int Day, Hour;
            const char* Label;
        } runs[] = {
            {16, 9, "GAMMA"}, {14, 12, "ALPHA"}, {15, 8, "BETA"}, {15, 23, "DELTA"}, {16, 7, "EPSILON"}};
        for (const auto& r : runs) {
            Now = EncodeDate(2003, 9, r.Day) + EncodeTime(r.Hour, 0, 0, 0);
            CatalogVolume({r.Label, {{"F.TXT", "f"}}});
        }
        Driver.Shown.clear();
    }
    void Open() {
        Form = TCustomForm::Create<TViewCatalogActivityLogForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    V Shown() {
        V out;
        auto* t = Form->LogTable;
        for (t->First(); !t->Eof(); t->Next()) out.push_back(t->FieldByName("Operation")->AsString());
        return out;
    }
    static std::string Line(const char* Label) {
        return std::string("CATALOGED: Volume ID = \"") + Label + "\" From Drive D:";
    }
};

TEST_F(ActivityLogTest, TheWindowShowsTheLogOldestFirstWithTodayAsTheCutoff) {
    LogOnThreeDays();
    Now = EncodeDate(2003, 9, 15) + EncodeTime(12, 0, 0, 0);
    Open();
    EXPECT_EQ(Form->Caption(), "View/Purge Catalog Activity Log");
    EXPECT_EQ(Shown(), (V{Line("ALPHA"), Line("BETA"), Line("DELTA"), Line("EPSILON"), Line("GAMMA")}));
    EXPECT_EQ(Form->CutoffDate->GetDate(), EncodeDate(2003, 9, 15));
    const char* headings[] = {"Operation Date", "Operation Time", "Operation Description"};
    const int widths[] = {80, 80, 440};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Form->Grid->Column(i)->Field()->DisplayLabel(), headings[i]);
        EXPECT_EQ(Form->Grid->Column(i)->Width(), widths[i]);
    }
    Form->LogTable->First();
    Grab(*Form, "ViewCatalogActivityLogForm");
}

TEST_F(ActivityLogTest, PurgingRemovesEveryLineUpToTheCutoffAfterYes) {
    LogOnThreeDays();
    Now = EncodeDate(2003, 9, 15) + EncodeTime(12, 0, 0, 0);
    Open();
    Driver.Answer(mrNo);
    Form->PurgeClick();
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text, TViewCatalogActivityLogForm::PurgeQuestion);
    EXPECT_EQ(Rows("CAT1_LOG", {"Operation"}).size(), 5u) << "No changes nothing";

    // Today's lines go, whatever their time; later ones stay.
    Driver.Answer(mrYes);
    Form->PurgeClick();
    EXPECT_EQ(Shown(), (V{Line("EPSILON"), Line("GAMMA")}));
    EXPECT_TRUE(Form->LogTable->Active());

    // An earlier date removes nothing more; a later one the rest.
    Form->CutoffDate->SetDate(EncodeDate(2003, 9, 1));
    Driver.Answer(mrYes);
    Form->PurgeClick();
    EXPECT_EQ(Shown().size(), 2u);
    Form->CutoffDate->SetDate(EncodeDate(2003, 9, 16));
    Driver.Answer(mrYes);
    Form->PurgeClick();
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(Rows("CAT1_LOG", {"Operation"}).empty());
}

TEST_F(ActivityLogTest, AnEmptyLogIsNotPrintedAndThePrinterDialogStaysClosed) {
    Open();
    Form->PrintClick();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].Text, "No Log Entries To Print");
}

TEST_F(ActivityLogTest, ThePrintedLogHasItsTitleHeadingsAndOneLinePerRecord) {
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    LogOnThreeDays();
    const std::string pdf = Program.Path() + "/log.pdf";
    setenv("KORVANE_PRINT_TO", pdf.c_str(), 1);
    Open();
    Driver.AnswerDialog([](TCommonDialog&) { return true; });
    Form->PrintClick();
    unsetenv("KORVANE_PRINT_TO");
    ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + pdf + ".txt").c_str()), 0);
    std::ifstream in(pdf + ".txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Catalog Activity Report For Catalog: CAT1"), std::string::npos) << text;
    EXPECT_NE(text.find("Page"), std::string::npos);
    size_t last = 0;
    for (const char* heading : {"Operation Date", "Operation Time", "Operation Description"}) {
        const size_t at = text.find(heading);
        ASSERT_NE(at, std::string::npos) << heading;
        EXPECT_GT(at, last) << "headings in order";
        last = at;
    }
    for (const char* label : {"ALPHA", "BETA", "DELTA", "EPSILON", "GAMMA"}) {
        const size_t at = text.find(Line(label));
        ASSERT_NE(at, std::string::npos) << label;
        EXPECT_GT(at, last) << label << " in date order";
        last = at;
        EXPECT_EQ(text.find(Line(label), at + 1), std::string::npos) << "one line each";
    }
    EXPECT_NE(text.find("9/14/2003"), std::string::npos) << "the date column";
    EXPECT_NE(text.find("9/16/2003"), std::string::npos);

    Driver.AnswerDialog([](TCommonDialog&) { return false; });
    std::remove(pdf.c_str());
    setenv("KORVANE_PRINT_TO", pdf.c_str(), 1);
    Form->PrintClick();
    unsetenv("KORVANE_PRINT_TO");
    EXPECT_FALSE(std::ifstream(pdf).good()) << "a cancelled printer dialog prints nothing";
}

}  // namespace
}  // namespace cataloging

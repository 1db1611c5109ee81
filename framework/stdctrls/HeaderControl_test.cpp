#include "framework/stdctrls/HeaderControl.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

class HeaderControlTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    THeaderControl* Header = nullptr;
    void SetUp() override {
        Form->SetClientSize(400, 100);
        Header = NewComponent<THeaderControl>(Form);
        Header->SetParent(Form);
        Header->SetBounds(0, 0, 400, 20);
        Header->Sections().Add("Name", 120);
        Header->Sections().Add("Size", 80, taRightJustify);
        Header->Sections().Add("Type", 100);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(HeaderControlTest, DraggingAnEdgeResizesWithinTheLimitsAndTellsEachStep) {
    THeaderSection* size = Header->Sections()[1];
    size->SetMinWidth(40);
    size->SetMaxWidth(150);
    EXPECT_EQ(size->Left(), 120);
    std::vector<std::string> log;
    Header->OnSectionTrack = [&](TObject*, THeaderSection* S, int Width, TSectionTrackState State) {
        log.push_back(S->Text() + " " + std::to_string(Width) + " " + std::to_string(State));
    };
    Header->OnSectionResize = [&](TObject*, THeaderSection* S) {
        log.push_back("resized " + std::to_string(S->Width()));
    };
    int clicks = 0;
    Header->OnSectionClick = [&](TObject*, THeaderSection*) { ++clicks; };

    EXPECT_EQ(Driver.CursorShown(*Header), crDefault);
    Driver.MouseMove(*Header, 201, 10);  // beside the edge at 200
    EXPECT_EQ(Driver.CursorShown(*Header), crHSplit);
    Driver.MouseDown(*Header, 201, 10);
    Driver.MouseMove(*Header, 231, 10, ssLeft);
    EXPECT_EQ(size->Width(), 110);
    EXPECT_EQ(Header->Sections()[2]->Left(), 230);  // the sections to the right follow
    Driver.MouseMove(*Header, 60, 10, ssLeft);      // far past the minimum
    EXPECT_EQ(size->Width(), 40);
    Driver.MouseMove(*Header, 390, 10, ssLeft);  // and past the maximum
    EXPECT_EQ(size->Width(), 150);
    Driver.MouseUp(*Header, 390, 10);
    EXPECT_EQ(log, (std::vector<std::string>{"Size 80 0", "Size 110 1", "Size 40 1", "Size 150 1",
                                             "Size 150 2", "resized 150"}));
    EXPECT_EQ(clicks, 0);  // a drag is no click

    // Setting a width keeps the limits too.
    size->SetWidth(10);
    EXPECT_EQ(size->Width(), 40);
}

TEST_F(HeaderControlTest, AClickNamesTheSectionAndIsLostWhenReleasedElsewhere) {
    std::vector<std::string> clicked;
    Header->OnSectionClick = [&](TObject*, THeaderSection* S) { clicked.push_back(S->Text()); };
    Driver.Click(*Header, 150, 10);
    Driver.Click(*Header, 10, 10);
    Driver.MouseDown(*Header, 250, 10);
    Driver.MouseUp(*Header, 50, 10);  // released over another section: no click
    Header->Sections()[0]->AllowClick = false;
    Driver.Click(*Header, 10, 10);
    Driver.Click(*Header, 350, 10);  // past the last section
    EXPECT_EQ(clicked, (std::vector<std::string>{"Size", "Name"}));
    EXPECT_EQ(Header->SectionAt(330), nullptr);
    Header->Sections().Delete(0);
    EXPECT_EQ(Header->SectionAt(10)->Text(), "Size");
}

}  // namespace
}  // namespace framework

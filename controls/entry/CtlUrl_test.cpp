// The URL label: what it shows, opening the address (through a fake desktop opener), the beep
// when nothing opens it, and the hover and visited colours.
#include "controls/entry/CtlUrl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/UserEnv.h"

namespace entry {
namespace {

using namespace framework;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

class UrlTest : public ::testing::Test {
protected:
    ScopedUserEnv Env;
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlURL* Url = nullptr;
    int Clicks = 0;
    std::string Fifo;
    void SetUp() override {
        // The opener writes the address it was given into a pipe that the test reads.
        Fifo = Env.Root() + "/opened";
        ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
        WriteTextFile(Env.Root() + "/bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + Fifo + "\"\n",
                      true);
        Env.Set("PATH", Env.Root() + "/bin:/usr/bin:/bin");
        Form->SetBounds(40, 40, 400, 200);
        Form->SetColor(clWhite);
        Url = NewComponent<TCtlURL>(Form);
        Url->SetParent(Form);
        Url->SetBounds(20, 20, 10, 10);
        Url->Font().Name = "Arial";
        Url->Font().SetHeight(-16);
        Url->Font().Color = clBlue;
        Url->SetURL("http://www.example.com/");
        Url->OnClick = [this](TObject*) { ++Clicks; };
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    std::string Opened() {
        std::ifstream f(Fifo);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    // Pixels of a colour over the label.
    int Count(uint32_t Color) {
        Driver.RunPending();
        int n = 0;
        for (int y = Url->Top(); y < Url->Top() + Url->Height(); ++y)
            for (int x = Url->Left(); x < Url->Left() + Url->Width(); ++x)
                n += Driver.PixelAt(*Form, x, y) == Color;
        return n;
    }
};

TEST_F(UrlTest, ShowsTheUrlUntilACaptionIsSet) {
    TCtlURL plain(nullptr);
    EXPECT_EQ(plain.HighlightColor(), clRed);
    EXPECT_EQ(plain.Cursor(), crHandPoint);
    EXPECT_TRUE(plain.UnderlineURL());
    EXPECT_EQ(plain.About(), "v4.06");

    EXPECT_EQ(Url->Text(), "http://www.example.com/");
    EXPECT_TRUE(Url->UnderlineURL());  // on a parent with a font of its own
    Url->SetCaption("Korvane on the web");
    EXPECT_EQ(Url->Text(), "Korvane on the web");
    Url->SetURL("mailto:help@example.com");
    EXPECT_EQ(Url->Text(), "Korvane on the web");
    Url->SetCaption("");
    EXPECT_EQ(Url->Text(), "mailto:help@example.com");
    Url->SetUnderlineURL(false);
    EXPECT_FALSE(Url->Font().Style & fsUnderline);
}

TEST_F(UrlTest, ClickOpensTheAddressAndBeepsWhenNothingCan) {
    Driver.Click(*Url);
    EXPECT_EQ(Opened(), "http://www.example.com/");
    EXPECT_EQ(Clicks, 1);
    EXPECT_TRUE(platform::BeepHistory().empty());

    // The first 1023 characters only.
    Url->SetURL("http://example.com/" + std::string(2000, 'a'));
    Driver.Click(*Url);
    EXPECT_EQ(Opened(), "http://example.com/" + std::string(1023 - 19, 'a'));

    // No opener: the click still counts.
    Env.Set("PATH", Env.Root() + "/nobin");
    Driver.Click(*Url);
    EXPECT_EQ(Clicks, 3);
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{0});
    // No address: nothing to open, no beep.
    Url->SetCaption("no link");
    Url->SetURL("");
    Driver.Click(*Url);
    EXPECT_EQ(Clicks, 4);
    EXPECT_EQ(platform::BeepHistory().size(), 1u);
}

TEST_F(UrlTest, HoverLightsTheLinkUntilThePointerLeaves) {
    EXPECT_GT(Count(clBlue), 10);
    Driver.MouseMove(*Url, 3, 3);
    EXPECT_TRUE(Url->Hovering());
    EXPECT_EQ(Url->Font().Color, clRed);
    EXPECT_GT(Count(clRed), 10);
    EXPECT_EQ(Count(clBlue), 0);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_url_hover.png");
    // Still over it: the tick changes nothing.
    Driver.Advance(300, 100);
    EXPECT_EQ(Url->Font().Color, clRed);
    Driver.MouseMove(*Form, 300, 150);
    Driver.Advance(100);
    EXPECT_FALSE(Url->Hovering());
    EXPECT_EQ(Url->Font().Color, clBlue);
    EXPECT_GT(Count(clBlue), 10);
}

TEST_F(UrlTest, VisitedColourOnceThePointerLeavesAfterAClick) {
    Url->SetUseVisitedColor(true);
    Url->SetVisitedColor(clPurple);
    Driver.MouseMove(*Url, 3, 3);
    Driver.Click(*Url, 3, 3);
    Opened();
    EXPECT_EQ(Url->Font().Color, clRed);
    Driver.MouseMove(*Form, 300, 150);
    Driver.Advance(100);
    EXPECT_EQ(Url->Font().Color, clPurple);
    EXPECT_GT(Count(clPurple), 10);
    // Without the option the link goes back to its own colour.
    TCtlURL* other = NewComponent<TCtlURL>(Form);
    other->SetParent(Form);
    other->SetBounds(20, 60, 10, 10);
    other->Font().Color = clGreen;
    other->SetURL("http://other.example.com/");
    Driver.MouseMove(*other, 2, 2);
    Driver.Click(*other, 2, 2);
    Opened();
    Driver.MouseMove(*Form, 300, 150);
    Driver.Advance(100);
    EXPECT_EQ(other->Font().Color, clGreen);
}

}  // namespace
}  // namespace entry

#include "sysutil/shell/UtAbout.h"

#include <gtest/gtest.h>

#include <QImage>

#include <memory>

#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Shell.h"
#include "platform/testsupport/TestDrives.h"

using namespace framework;
using namespace sysutil;

namespace {

// Records the title handed to the box, then shows it.
class TRecordingShellAbout : public TUtShellAbout {
public:
    using TUtShellAbout::TUtShellAbout;
    std::string Title;

protected:
    int DoShellAbout(TWinControl* Owner, const std::string& ATitle, const std::string& OtherStuff,
                     const TIcon* AIcon) override {
        Title = ATitle;
        return TUtShellAbout::DoShellAbout(Owner, ATitle, OtherStuff, AIcon);
    }
};

// What the box showed: its title, its lines and its icon.
struct TSeen {
    std::string Caption;
    std::vector<std::string> Lines;
    bool IconShown = false;
    int IconPixel = -1;  // the colour of the icon's centre
};

class ShellAboutTest : public ::testing::Test {
protected:
    // Queues an answer that notes what the next box shows and presses its OK button.
    void SeeAndClose(TSeen& Seen) {
        Driver.AnswerWith([this, &Seen](TCustomForm& Form) {
            Seen.Caption = Form.Caption();
            for (int i = 1;; ++i) {
                auto* line = dynamic_cast<TLabel*>(Form.FindComponent("Line" + std::to_string(i)));
                if (!line) break;
                Seen.Lines.push_back(line->Caption());
            }
            auto* image = dynamic_cast<TImage*>(Form.FindComponent("Image"));
            Seen.IconShown = image && image->Picture().Graphic() && !image->Picture().Graphic()->Empty();
            if (image)
                Seen.IconPixel =
                    static_cast<int>(Driver.PixelAt(Form, image->Left() + 16, image->Top() + 16));
            Driver.Click(*dynamic_cast<TControl*>(Form.FindComponent("OK")));
        });
    }
    static std::string ProgramName() { return Application->Title.empty() ? "Korvane" : Application->Title; }

    TFormDriver Driver;
};

// A red 32 x 32 icon without transparent pixels.
std::unique_ptr<TIcon> RedIcon() {
    auto icon = std::make_unique<TIcon>();
    icon->Image().SetPixelFormat(pf24bit);
    icon->Image().SetSize(32, 32);
    icon->Image().Canvas().Brush.Color = clRed;
    icon->Image().Canvas().FillRect(Rect(0, 0, 32, 32));
    icon->MaskBitmap().SetPixelFormat(pf1bit);
    icon->MaskBitmap().SetSize(32, 32);
    icon->MaskBitmap().Canvas().Brush.Color = clBlack;
    icon->MaskBitmap().Canvas().FillRect(Rect(0, 0, 32, 32));
    return icon;
}

TEST_F(ShellAboutTest, WithEverythingEmptyTheBoxShowsTheDefaults) {
    TRecordingShellAbout about(nullptr);
    EXPECT_GE(about.ShellVersion(), 4.7);
    TSeen seen;
    SeeAndClose(seen);
    EXPECT_NE(about.Execute(), 0);
    EXPECT_EQ(about.Title, "");
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "form");
    EXPECT_EQ(seen.Caption, ProgramName());
    EXPECT_EQ(seen.Lines, platform::SystemAboutLines()) << "only the system's own lines";
    EXPECT_TRUE(seen.IconShown) << "the theme's application icon";
}

TEST_F(ShellAboutTest, TheTitleTextFollowsAHashAndBecomesTheFirstLine) {
    TRecordingShellAbout about(nullptr);
    about.SetTitleText("T");
    TSeen seen;
    SeeAndClose(seen);
    EXPECT_NE(about.Execute(), 0);
    EXPECT_EQ(about.Title, "#T");
    EXPECT_EQ(seen.Caption, ProgramName());
    ASSERT_FALSE(seen.Lines.empty());
    EXPECT_EQ(seen.Lines.front(), "T");

    about.SetCaption("Korvane Catalogs");
    about.SetTitleText("Version 1.0");
    about.SetAdditionalText("Licensed to the test");
    TSeen full;
    SeeAndClose(full);
    about.Execute();
    EXPECT_EQ(about.Title, "Korvane Catalogs#Version 1.0");
    EXPECT_EQ(full.Caption, "Korvane Catalogs");
    std::vector<std::string> expected{"Version 1.0"};
    for (auto& l : platform::SystemAboutLines()) expected.push_back(l);
    expected.push_back("Licensed to the test");
    EXPECT_EQ(full.Lines, expected);

    about.SetTitleText("");
    TSeen plain;
    SeeAndClose(plain);
    about.Execute();
    EXPECT_EQ(about.Title, "Korvane Catalogs") << "no hash without a title text";
}

TEST_F(ShellAboutTest, TheComponentKeepsItsOwnCopyOfTheIcon) {
    TUtShellAbout about(nullptr);
    EXPECT_TRUE(about.Icon()->Empty());
    {
        auto icon = RedIcon();
        about.SetIcon(icon.get());
    }  // the caller's icon is gone
    ASSERT_FALSE(about.Icon()->Empty());
    EXPECT_EQ(about.Icon()->Width(), 32);
    TSeen seen;
    SeeAndClose(seen);
    EXPECT_NE(about.Execute(), 0);
    EXPECT_TRUE(seen.IconShown);
    EXPECT_EQ(seen.IconPixel, static_cast<int>(clRed));
}

TEST_F(ShellAboutTest, AGrabShowsTheTexts) {
    platform::testsupport::TTempFolder tmp;
    TUtShellAbout about(nullptr);
    about.SetCaption("Korvane");
    about.SetTitleText("Disk catalogs");
    about.SetAdditionalText("Extra text");
    TSeen seen;
    const std::string png = tmp / "about.png";
    std::vector<TRect> lines;
    Driver.AnswerWith([&](TCustomForm& Form) {
        for (int i = 1;; ++i) {
            auto* line = dynamic_cast<TLabel*>(Form.FindComponent("Line" + std::to_string(i)));
            if (!line) break;
            lines.push_back(line->BoundsRect());
        }
        EXPECT_TRUE(Driver.Grab(Form, png));
        Driver.Click(*dynamic_cast<TControl*>(Form.FindComponent("OK")));
    });
    EXPECT_NE(about.Execute(), 0);
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    ASSERT_GE(lines.size(), 2u);
    // Each line has dark pixels of text inside its bounds (the grab holds the client area).
    for (const TRect& r : lines) {
        int dark = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (image.valid(x, y) && qGray(image.pixel(x, y)) < 100) ++dark;
        EXPECT_GT(dark, 10) << "line at " << r.Top;
    }
}

}  // namespace

// The splash and About windows: their design, the labels their OnShow fills, and the program's
// picture as the windows show it, checked against the GIF decoded by Qt's own reader.

#include <gtest/gtest.h>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <set>

#include "app/AboutForm.h"
#include "app/SplashScreenForm.h"
#include "controls/entry/CtlUrl.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"

using namespace app;
using namespace framework;

namespace {

QByteArray PictureBytes() {
    const auto data = ProgramPictureData();
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

QImage DecodedPicture() {
    return QImage::fromData(PictureBytes(), "GIF").convertToFormat(QImage::Format_RGB32);
}

// The picture as Image1 shows it matches the decoded GIF at points on the letters, the bar, a star
// and the background; the grab is written beside the tests for a look.
void ExpectPictureShown(TFormDriver& Driver, TCustomForm& Form, TImage& Image, const std::string& GrabName) {
    EXPECT_TRUE(Driver.Grab(Form, std::string(KORVANE_BUILD_DIR) + "/" + GrabName + ".png"));
    const QImage gif = DecodedPicture();
    ASSERT_EQ(gif.width(), 410);
    ASSERT_EQ(gif.height(), 60);
    TWinControl& host = *Image.Parent();
    const struct {
        int X, Y;
    } probes[] = {{0, 0}, {12, 8}, {83, 10}, {150, 30}, {330, 20}, {40, 51}, {380, 52}, {200, 57}, {409, 59}};
    std::set<uint32_t> seen;
    for (const auto& p : probes) {
        const QRgb c = gif.pixel(p.X, p.Y);
        const uint32_t expected = static_cast<uint32_t>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
        seen.insert(expected);
        EXPECT_EQ(Driver.PixelAt(host, Image.Left() + p.X, Image.Top() + p.Y), expected) << p.X << "," << p.Y;
    }
    EXPECT_GE(seen.size(), 5u);  // the probes see the picture, not one flat colour
}

TEST(ProgramIdentityTest, VersionAndPictureData) {
    EXPECT_EQ(EditionText(), "2003");
    EXPECT_EQ(VersionNumberText(), "1.03A");
    const auto data = ProgramPictureData();
    ASSERT_GT(data.size(), 13u + 768u + 11u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), 6), "GIF89a");
    EXPECT_EQ(data[10], 0xF7);               // a global table of 256 entries
    EXPECT_EQ(data[13 + 768], 0x2C);         // the one frame follows the table
    EXPECT_EQ(data[13 + 768 + 10], 8);       // minimum code size 8
    EXPECT_EQ(data[data.size() - 1], 0x3B);  // and then the trailer
    QByteArray bytes = PictureBytes();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "GIF");
    EXPECT_EQ(reader.imageCount(), 1);

    TPicture picture;
    LoadProgramPicture(picture);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TGIFImage");
    EXPECT_EQ(picture.Width(), 410);
    EXPECT_EQ(picture.Height(), 60);
}

TEST(SplashScreenFormTest, DesignLabelsAndPicture) {
    TFormDriver driver;
    auto* form = TCustomForm::Create<TSplashScreenForm>(Application);
    EXPECT_EQ(form->BorderStyle(), bsNone);
    EXPECT_EQ(form->BorderIcons(), 0);
    EXPECT_EQ(form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(form->Position, poScreenCenter);
    EXPECT_EQ(form->VersionLabel->Caption(), "");  // filled when shown
    form->Show();
    EXPECT_EQ(form->VersionLabel->Caption(), "Version 1.03A");
    EXPECT_EQ(form->CreatedOnLabel->Caption(), "(Created 15 September 2003)");
    EXPECT_EQ(form->CopyrightLabel->Caption(), CopyrightLine);
    EXPECT_EQ(form->Image1->Width(), 410);
    EXPECT_EQ(form->Image1->Height(), 60);
    ExpectPictureShown(driver, *form, *form->Image1, "Splash");
    form->Free();
}

TEST(AboutFormTest, DesignLabelsLinksAndPicture) {
    TFormDriver driver;
    auto* form = TCustomForm::Create<TAboutForm>(Application);
    EXPECT_EQ(form->Caption(), "About");
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->Position, poScreenCenter);
    std::vector<std::string> captions;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* label = dynamic_cast<TLabel*>(form->Components(i))) captions.push_back(label->Caption());
    for (const char* heading : {"Snail Mail:", "Phone:", "Fax:", "E-Mail:", "Web Site:"})
        EXPECT_NE(std::find(captions.begin(), captions.end(), heading), captions.end()) << heading;
    EXPECT_EQ(form->WebLink->URL(), WebAddress);
    EXPECT_EQ(form->MailLink->URL(), MailAddress);
    EXPECT_EQ(form->WebLink->Parent(), static_cast<TWinControl*>(form->ContactPanel));

    driver.AnswerWith([&](TCustomForm&) {
        EXPECT_EQ(form->VersionLabel->Caption(), "Version 1.03A");
        EXPECT_EQ(form->CreatedOnLabel->Caption(), "(Created 15 September 2003)");
        EXPECT_EQ(form->CopyrightLabel->Caption(), CopyrightLine);
        ExpectPictureShown(driver, *form, *form->Image1, "About");
        driver.Click(*form->OKBtn);
    });
    EXPECT_EQ(form->ShowModal(), mrOk);
    form->Free();
}

}  // namespace

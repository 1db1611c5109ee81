#include "sysutil/shell/UtAbout.h"

#include <QIcon>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"
#include "platform/Shell.h"

namespace sysutil {

using namespace framework;

namespace {

constexpr int kIconSize = 32;

// The icon theme's icon for programs; a drawn window when the theme has none.
void ThemeApplicationIcon(TIcon& Icon) {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QIcon theme = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    QPainter p(&image);
    if (!theme.isNull()) {
        theme.paint(&p, 0, 0, kIconSize, kIconSize);
    } else {
        p.setPen(QColor(0, 0, 0));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(2, 4, 27, 23);
        p.fillRect(3, 5, 26, 5, QColor(0, 0, 128));
    }
    p.end();
    // The picture in blue-green-red rows and a monochrome mask, white where transparent.
    TBitmap& bits = Icon.Image();
    bits.SetPixelFormat(pf24bit);
    bits.SetSize(kIconSize, kIconSize);
    TBitmap& mask = Icon.MaskBitmap();
    mask.SetPixelFormat(pf1bit);
    mask.SetColorTable({clBlack, clWhite});
    mask.SetSize(kIconSize, kIconSize);
    for (int y = 0; y < kIconSize; ++y) {
        uint8_t* row = bits.ScanLine(y);
        for (int x = 0; x < kIconSize; ++x) {
            QRgb c = image.pixel(x, y);
            row[3 * x] = static_cast<uint8_t>(qBlue(c));
            row[3 * x + 1] = static_cast<uint8_t>(qGreen(c));
            row[3 * x + 2] = static_cast<uint8_t>(qRed(c));
        }
    }
    for (int y = 0; y < kIconSize; ++y) {
        uint8_t* row = mask.ScanLine(y);
        std::fill(row, row + kIconSize / 8, 0);
        for (int x = 0; x < kIconSize; ++x)
            if (qAlpha(image.pixel(x, y)) < 128) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
}

class TShellAboutForm : public TForm {
public:
    TShellAboutForm(TComponent* AOwner, const std::string& Title, const std::string& OtherStuff,
                    const TIcon* Icon)
        : TForm(AOwner) {
        SetName("ShellAboutForm");
        SetBorderStyle(bsDialog);
        Position = poScreenCenter;
        size_t hash = Title.find('#');
        std::string caption = Title.substr(0, hash);
        if (caption.empty())
            caption = Application->Title.empty() ? std::string("Korvane") : Application->Title;
        SetCaption(caption);

        constexpr int kMargin = 12, kLeft = kMargin + kIconSize + 12;
        Image = NewComponent<TImage>(this);
        Image->SetName("Image");
        Image->SetParent(this);
        Image->SetBounds(kMargin, kMargin, kIconSize, kIconSize);
        TIcon icon;
        if (Icon && !Icon->Empty())
            icon.Assign(*Icon);
        else
            ThemeApplicationIcon(icon);
        Image->Picture().SetGraphic(&icon);

        std::vector<std::string> lines;
        if (hash != std::string::npos) lines.push_back(Title.substr(hash + 1));
        for (std::string& l : platform::SystemAboutLines()) lines.push_back(std::move(l));
        if (!OtherStuff.empty()) lines.push_back(OtherStuff);
        int top = kMargin, width = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            auto* label = NewComponent<TLabel>(this);
            label->SetName("Line" + std::to_string(i + 1));
            label->SetParent(this);
            label->SetShowAccelChar(false);
            label->SetCaption(lines[i]);
            label->SetLeft(kLeft);
            label->SetTop(top);
            top += label->Height() + 4;
            width = std::max(width, label->Width());
            Lines.push_back(label);
        }
        top = std::max(top, kMargin + kIconSize) + 12;
        const int clientWidth = std::max(kLeft + width + kMargin, 300);
        Ok = NewComponent<TButton>(this);
        Ok->SetName("OK");
        Ok->SetParent(this);
        Ok->SetCaption("OK");
        Ok->ModalResult = mrOk;
        Ok->SetDefault(true);
        Ok->Cancel = true;
        Ok->SetBounds(clientWidth - kMargin - 75, top, 75, 25);
        SetActiveControl(Ok);
        SetClientSize(clientWidth, top + 25 + kMargin);
    }

    TImage* Image;
    std::vector<TLabel*> Lines;
    TButton* Ok;
};

}  // namespace

int ShellAbout(TWinControl* Owner, const std::string& Title, const std::string& OtherStuff,
               const TIcon* Icon) {
    (void)Owner;  // the box is modal to the whole application
    auto* form = TCustomForm::Create<TShellAboutForm>(Application, Title, OtherStuff, Icon);
    try {
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return 1;
}

TUtCustomShellAbout::TUtCustomShellAbout(TComponent* AOwner)
    : TShShellComponent(AOwner), FIcon(std::make_unique<TIcon>()) {}

TUtCustomShellAbout::~TUtCustomShellAbout() = default;

int TUtCustomShellAbout::DoShellAbout(TWinControl* Owner, const std::string& Title,
                                      const std::string& OtherStuff, const TIcon* Icon) {
    return ShellAbout(Owner, Title, OtherStuff, Icon);
}

int TUtCustomShellAbout::Execute() {
    std::string title = FCaption;
    if (!FTitleText.empty()) title = FCaption + "#" + FTitleText;
    return DoShellAbout(dynamic_cast<TWinControl*>(Owner()), title, FAdditionalText, FIcon.get());
}

void TUtShellAbout::SetIcon(const TIcon* Value) {
    if (!FIcon) FIcon = std::make_unique<TIcon>();
    if (Value)
        FIcon->Assign(*Value);
    else
        FIcon = std::make_unique<TIcon>();
}

}  // namespace sysutil

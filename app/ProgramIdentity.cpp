#include "app/ProgramIdentity.h"

#include "catalog/FormParts.h"
#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace app {

using namespace framework;

std::string EditionText() {
    return std::string(VersionText).substr(0, 4);
}

std::string VersionNumberText() {
    return std::string(VersionText).substr(5, 5);
}

void LoadProgramPicture(TPicture& Picture) {
    codecs::GIFImageStartup();
    static const std::string kClassName = "TGIFImage";
    const std::span<const uint8_t> data = ProgramPictureData();
    TMemoryStream stream;
    const uint8_t length = static_cast<uint8_t>(kClassName.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(kClassName.data(), static_cast<int32_t>(kClassName.size()));
    stream.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    stream.SetPosition(0);
    Picture.ReadData(stream);
}

namespace {

TLabel* NewCentredLabel(TComponent& Owner, TWinControl& Parent, const char* Name, int Top, TColor Color,
                        bool Bold) {
    auto* label = NewComponent<TLabel>(&Owner);
    label->SetName(Name);
    label->SetParent(&Parent);
    label->SetAutoSize(false);
    label->SetAlignment(taCenter);
    label->SetTransparent(true);
    label->SetParentFont(false);
    label->Font().Color = Color;
    label->Font().Style = Bold ? fsBold : 0;
    label->SetBounds(4, Top, Parent.Width() - 8, 18);
    label->SetCaption("");
    return label;
}

}  // namespace

TIdentityBlock BuildIdentityBlock(TComponent& Owner, TWinControl& Parent, int Left, int Top) {
    TIdentityBlock b;
    b.Panel = catalog::NewPanel(Owner, Parent, "IdentityPanel", Left, Top, 430, 170, bvNone);
    b.Panel->SetParentColor(false);
    b.Panel->SetColor(clBlack);
    b.Image1 = NewComponent<TImage>(&Owner);
    b.Image1->SetName("Image1");
    b.Image1->SetParent(b.Panel);
    b.Image1->SetBounds(10, 8, 410, 60);
    b.Image1->Center = true;
    LoadProgramPicture(b.Image1->Picture());
    b.VersionLabel = NewCentredLabel(Owner, *b.Panel, "VersionLabel", 76, clYellow, true);
    b.CreatedOnLabel = NewCentredLabel(Owner, *b.Panel, "CreatedOnLabel", 96, clWhite, false);
    b.CopyrightLabel = NewCentredLabel(Owner, *b.Panel, "CopyrightLabel", 116, clWhite, false);
    b.SloganLabel = NewCentredLabel(Owner, *b.Panel, "SloganLabel", 142, clAqua, false);
    b.SloganLabel->SetCaption(Slogan);
    return b;
}

void FillIdentityLabels(const TIdentityBlock& Block) {
    Block.VersionLabel->SetCaption("Version " + VersionNumberText());
    Block.CreatedOnLabel->SetCaption(CreatedOnText);
    Block.CopyrightLabel->SetCaption(CopyrightLine);
}

}  // namespace app

#pragma once
// TCoolGauge: a horizontal progress bar drawn by itself. The bar fills from the left in proportion
// to Progress (of MaxValue), in one colour or in a run of colours, with a centred text ("45%").
// Everything is composed off-screen and copied to the window in one block transfer.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace kit {

using framework::TColor;
using TBorderStyle = framework::TFormBorderStyle;  // bsNone or bsSingle

enum tCoolGaugeStyle { sSolid, sDithered };

class TCoolGauge : public framework::TCustomControl {
public:
    explicit TCoolGauge(framework::TComponent* AOwner);
    ~TCoolGauge() override;

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value);
    int Progress() const { return FProgress; }
    void SetProgress(int Value);
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor Value);
    TColor ForeColor1() const { return FForeColor1; }
    void SetForeColor1(TColor Value);
    TColor ForeColor2() const { return FForeColor2; }
    void SetForeColor2(TColor Value);
    tCoolGaugeStyle Style() const { return FStyle; }
    void SetStyle(tCoolGaugeStyle Value);
    // Format of the percentage ("%d%%"); empty shows no text.
    const std::string& Text() const { return FFormat; }
    void SetText(const std::string& Value) override;
    bool Frame() const { return FFrame; }
    void SetFrame(bool Value);

    void Dispatch(framework::TMessage& Message) override;

    // The filled width in pixels for the current values, 0..Width.
    int FillWidth() const;
    // The percentage shown (Progress of MaxValue), 0 when MaxValue is 0.
    int64_t Percent() const;

protected:
    void Paint() override;
    // How often the bar image has been drawn (it is kept while size, colours and style stay).
    int FBarBuilds = 0;

private:
    void BuildBar(int W, int H);

    TBorderStyle FBorderStyle = framework::bsSingle;
    int FMinValue = 0;
    int FMaxValue = 100;
    int FProgress = 0;
    TColor FBackColor = framework::clWhite;
    TColor FForeColor1 = framework::clBlue;
    TColor FForeColor2 = framework::clRed;
    tCoolGaugeStyle FStyle = sDithered;
    std::string FFormat = "%d%%";
    bool FFrame = true;
    std::unique_ptr<framework::TBitmap> FBar;
    bool FRebuild = false;
};

}  // namespace kit

#pragma once
// Common controls: images and image lists, progress and track bars, scroll bars, page controls
// with tab sheets, status bars with panels, splitters and scroll boxes.

#include <memory>
#include <string>
#include <vector>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace framework {

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    TPicture& Picture() { return *FPicture; }
    bool Stretch = false;
    bool Center = false;
    bool Transparent = false;
    bool AutoSize = false;

protected:
    void Paint() override;

private:
    std::unique_ptr<TPicture> FPicture;
};

// Images of one size kept side by side; each may have a mask (white where transparent).
class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* AOwner);
    ~TImageList() override;
    int Width = 16;
    int Height = 16;
    int Count() const { return static_cast<int>(FImages.size()); }
    // Copies the image (and its mask); returns its index.
    int Add(TBitmap* Image, TBitmap* Mask);
    // The colour MaskColor of the image is transparent.
    int AddMasked(TBitmap* Image, TColor MaskColor);
    void Delete(int Index);
    void Clear();
    void Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled = true);
    void GetBitmap(int Index, TBitmap& Image);

private:
    struct TEntry {
        std::unique_ptr<TBitmap> Image;
        TColor Transparent = clNone;
    };
    std::vector<TEntry> FImages;
};

// Points a control's image-list field at Value, moving Owner's free notification from the old list
// to the new one (the owner's Notification then clears Field when the list goes).
void SetImageListField(TComponent& Owner, TImageList*& Field, TImageList* Value);

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetRange(int AMin, int AMax);
    void SetMin(int Value) { SetRange(Value, FMax); }
    void SetMax(int Value) { SetRange(FMin, Value); }
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Step = 10;
    void StepIt();
    void StepBy(int Delta);
    void Dispatch(TMessage& Message) override;

private:
    int FMin = 0, FMax = 100, FPosition = 0;
};

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

// A position between Min and Max moved by keys and the mouse (track bar and scroll bar share it).
class TCustomRangeControl : public TCustomControl {
public:
    explicit TCustomRangeControl(TComponent* AOwner);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetMin(int Value) { SetParams(FPosition, Value, FMax); }
    void SetMax(int Value) { SetParams(FPosition, FMin, Value); }
    int Position() const { return FPosition; }
    void SetPosition(int Value) { SetParams(Value, FMin, FMax); }
    void SetParams(int APosition, int AMin, int AMax);
    int SmallChange = 1;
    int LargeChange = 1;
    TNotifyEvent OnChange;
    TScrollEvent OnScroll;
    void Dispatch(TMessage& Message) override;

protected:
    virtual bool Horizontal() const = 0;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Scroll(TScrollCode Code, int Pos);
    int FMin = 0, FMax = 100, FPosition = 0;
};

class TScrollBar : public TCustomRangeControl {
public:
    explicit TScrollBar(TComponent* AOwner);
    TScrollBarKind Kind = sbHorizontal;
    int PageSize = 0;

protected:
    bool Horizontal() const override { return Kind == sbHorizontal; }
    void Paint() override;
};

class TTrackBar : public TCustomRangeControl {
public:
    explicit TTrackBar(TComponent* AOwner);
    TTrackBarOrientation Orientation = trHorizontal;
    int Frequency = 1;

protected:
    bool Horizontal() const override { return Orientation == trHorizontal; }
    void Paint() override;
};

class TPageControl;

class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* Value);
    int PageIndex() const;
    bool TabVisible = true;
    int ImageIndex = -1;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TCustomControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int Index) const { return FPages.at(static_cast<size_t>(Index)); }
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* Page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int Index);
    // Moves to the next (or previous) visible page, as Ctrl+Tab does; asks OnChanging first.
    void SelectNextPage(bool GoForward);
    // The tab rectangle of a page (client coordinates), empty for a hidden tab.
    TRect TabRect(int Index);
    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;

private:
    friend class TTabSheet;
    bool ChangeTo(TTabSheet* Page);
    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
};

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusPanel {
public:
    std::string Text;
    int Width = 50;
    TAlignment Alignment = taLeftJustify;
    TStatusPanelBevel Bevel = pbLowered;
};

class TStatusBar : public TCustomControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    // Panels from left to right; the last one takes what is left of the width.
    std::vector<TStatusPanel> Panels;
    TStatusPanel& AddPanel(const std::string& Text, int Width);
    bool SimplePanel = false;
    std::string SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& Value);
    bool SizeGrip = true;
    // Repaints after the panels were changed in place.
    void PanelsChanged() { Invalidate(); }
    TRect PanelRect(int Index) const;

protected:
    void Paint() override;

private:
    std::string FSimpleText;
};

// Drags the edge between its neighbour (the control aligned the same way before it) and the rest.
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* AOwner);
    int MinSize = 30;
    TNotifyEvent OnMoved;
    // The control the splitter resizes, or nil.
    TControl* FindControl() const;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    // Inverts the drag line at FLinePos on the parent's window (drawing it twice removes it).
    void DrawLine();
    TControl* FControl = nullptr;
    TPoint FDownPos;
    int FStartSize = 0;
    int FNewSize = 0;
    int FLinePos = -1;  // left (or top) of the drag line in the parent's client area; -1: none
};

// Scrolls its children: when they reach beyond the client area, scroll bars show and move them.
class TScrollBox : public TWinControl {
public:
    explicit TScrollBox(TComponent* AOwner);
    TFormBorderStyle BorderStyle = bsSingle;
    bool AutoScroll = true;
    // How far the children are scrolled (pixels).
    TPoint ScrollPos() const { return FScrollPos; }
    // Re-reads the extent of the children and sets the scroll bars (done after every layout).
    void UpdateScrollBars();
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void CreateWnd() override;
    void ChildLayoutChanged(TControl* Child) override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

private:
    void ScrollTo(int X, int Y);
    void PostUpdate();
    TPoint FScrollPos;
    TSize FExtent;
    bool FUpdatePosted = false;
};

}  // namespace framework

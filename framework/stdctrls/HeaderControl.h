#pragma once
// Header controls: a row of sections (text, width, alignment, limits) that are clicked and dragged
// wider or narrower by their right edges. The details view of a list view shows one.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Alignment.h"
#include "framework/ui/Controls.h"

namespace framework {

class TImageList;
class THeaderControl;

class THeaderSection {
public:
    THeaderSection(THeaderControl* AOwner) : FOwner(AOwner) {}
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    int Width() const { return FWidth; }
    // Kept within MinWidth and MaxWidth.
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int Value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int Value);
    int ImageIndex = -1;
    bool AllowClick = true;
    int Index() const;
    // The left and right edges in the header's client coordinates.
    int Left() const;
    int Right() const { return Left() + FWidth; }

private:
    THeaderControl* FOwner;
    std::string FText;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    int FMinWidth = 0;
    int FMaxWidth = 10000;
};

class THeaderSections {
public:
    explicit THeaderSections(THeaderControl* AOwner) : FOwner(AOwner) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    THeaderSection* Items(int Index) const;
    THeaderSection* operator[](int Index) const { return Items(Index); }
    THeaderSection* Add();
    THeaderSection* Add(const std::string& Text, int Width, TAlignment Alignment = taLeftJustify);
    void Delete(int Index);
    void Clear();
    int IndexOf(const THeaderSection* Section) const;

private:
    THeaderControl* FOwner;
    std::vector<std::unique_ptr<THeaderSection>> FItems;
};

enum TSectionTrackState { tsTrackBegin, tsTrackMove, tsTrackEnd };
using TSectionNotifyEvent = std::function<void(TObject* Sender, THeaderSection* Section)>;
using TSectionTrackEvent =
    std::function<void(TObject* Sender, THeaderSection* Section, int Width, TSectionTrackState State)>;

class THeaderControl : public TCustomControl {
public:
    explicit THeaderControl(TComponent* AOwner);
    ~THeaderControl() override;
    THeaderSections& Sections() { return FSections; }
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* Value);
    bool HotTrack = false;
    // The section under a client point, or nil.
    THeaderSection* SectionAt(int X) const;

    TSectionNotifyEvent OnSectionClick;
    // After a drag of a section's edge has ended (the new width is the section's).
    TSectionNotifyEvent OnSectionResize;
    // While the edge is dragged: each move with the width it would have.
    TSectionTrackEvent OnSectionTrack;

    void Dispatch(TMessage& Message) override;
    // A section changed: repaints.
    void SectionsChanged();

protected:
    virtual void SectionClick(THeaderSection* Section);
    virtual void SectionResize(THeaderSection* Section);
    virtual void SectionTrack(THeaderSection* Section, int Width, TSectionTrackState State);
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // The section whose right edge is within reach of X, or nil.
    THeaderSection* DividerAt(int X) const;
    THeaderSections FSections;
    TImageList* FImages = nullptr;
    THeaderSection* FTracking = nullptr;  // the section whose edge is being dragged
    int FTrackOffset = 0;                 // pointer X minus the edge at the start of the drag
    THeaderSection* FPressed = nullptr;   // the section pressed for a click
    THeaderSection* FHot = nullptr;
};

}  // namespace framework

#pragma once
// The tabbed notebook: one page shown at a time, a strip of tabs along one side (in one or more
// rows), page changes by click, command keys, mnemonics and PageIndex, with vetoable events. The
// pages are collectible controls kept in the notebook's page collection.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"

namespace grid {

enum TCtlTabOrientation : uint8_t { toTop, toRight, toBottom, toLeft };
enum TTabTextOrientation : uint8_t { ttoHorizontal, ttoVerticalRight, ttoVerticalLeft };

using TDrawTabEvent = std::function<void(framework::TObject* Sender, int Index, const std::string& Title,
                                         const framework::TRect& R, bool Enabled, bool Active)>;
using TMouseOverTabEvent = std::function<void(framework::TObject* Sender, int Index)>;
using TPageChangeEvent = std::function<void(framework::TObject* Sender, int Index, bool& AllowChange)>;
using TPageChangedEvent = std::function<void(framework::TObject* Sender, int Index)>;
using TTabClickEvent = std::function<void(framework::TObject* Sender, int Index)>;
using TUserCommandEvent = std::function<void(framework::TObject* Sender, uint16_t Command)>;

class TCtlNotebook;

class TCtlTabPage : public entry::TCtlCollectibleControl {
public:
    // The owner must be a notebook (EInvalidCast otherwise).
    explicit TCtlTabPage(framework::TComponent* AOwner);

    void SetCaption(const std::string& Value);
    const std::string& Caption() const { return FText; }
    void SetEnabled(bool Value);
    bool PageVisible() const { return FPageVisible; }
    void SetPageVisible(bool Value);
    framework::TColor TabColor() const { return FTabColor; }
    void SetTabColor(framework::TColor Value);
    framework::TColor TextColor() const { return FTextColor; }
    void SetTextColor(framework::TColor Value);

    std::string GetDisplayName() const override;
    // Drops the page's window (kept resources low while the page is hidden).
    void ReleaseHandle() { DestroyHandle(); }
    void DefineProperties(framework::TFiler* Filer) override;
    void Dispatch(framework::TMessage& Message) override;

    // Kept by the notebook's layout and painting.
    framework::TRect TabRect;
    int TabRow = 0;
    int TabWidth = 65;

protected:
    std::string GetBaseName() const override;

private:
    TCtlNotebook* Notebook() const;
    void InvalidateTab();
    bool FPageVisible = true;
    framework::TColor FTabColor = framework::clBtnFace;
    framework::TColor FTextColor = framework::clBtnText;
};

class TCtlNotebook : public entry::TCtlCustomControlEx {
public:
    explicit TCtlNotebook(framework::TComponent* AOwner);
    ~TCtlNotebook() override;

    entry::TCtlCollection& PageCollection() { return *FPages; }
    int PageCount() const { return FPages->Count(); }
    TCtlTabPage* Pages(int Index) const { return static_cast<TCtlTabPage*>(FPages->Items(Index)); }

    framework::TFont& ActiveTabFont() { return FActiveTabFont; }
    void SetActiveTabFont(const framework::TFont& Value);
    bool ConserveResources() const { return FConserveResources; }
    void SetConserveResources(bool Value);
    int DefaultPageIndex = 0;
    framework::TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(framework::TColor Value);
    bool OldStyle() const { return FOldStyle; }
    void SetOldStyle(bool Value);
    int PageIndex() const { return FActiveIndex; }
    void SetPageIndex(int Value);
    bool PageUsesTabColor() const { return FPageUsesTabColor; }
    void SetPageUsesTabColor(bool Value);
    framework::TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(framework::TColor Value);
    bool ShadowedText() const { return FShadowedText; }
    void SetShadowedText(bool Value);
    bool TabAutoHeight() const { return FTabAutoHeight; }
    void SetTabAutoHeight(bool Value);
    int TabHeight() const { return FTabHeight; }
    void SetTabHeight(int Value);
    TCtlTabOrientation TabOrientation() const { return FTabOrientation; }
    void SetTabOrientation(TCtlTabOrientation Value);
    TTabTextOrientation TabTextOrientation() const { return FTabTextOrientation; }
    void SetTabTextOrientation(TTabTextOrientation Value);
    int TabRowCount() const { return FTabRowCount; }
    void SetTabRowCount(int Value);
    bool TabUseDefaultColor() const { return FTabUseDefaultColor; }
    void SetTabUseDefaultColor(bool Value);
    framework::TColor TextShadowColor() const { return FTextShadowColor; }
    void SetTextShadowColor(framework::TColor Value);
    bool UseActiveTabFont() const { return FUseActiveTabFont; }
    void SetUseActiveTabFont(bool Value);

    TDrawTabEvent OnDrawTab;
    TMouseOverTabEvent OnMouseOverTab;
    TPageChangeEvent OnPageChange;
    TPageChangedEvent OnPageChanged;
    TTabClickEvent OnTabClick;
    TUserCommandEvent OnUserCommand;

    bool IsPageSelectable(int Index) const;
    int NextSelectablePage(int From) const;
    int PrevSelectablePage(int From) const;

    // Layout (rows are numbered from the page outward only while painting).
    void LayoutTabs();
    void PlacePages();
    framework::TRect GetTabTextRect(int Index) const;
    void InvalidateTabArea(int Index);
    int RowCount() const { return FRows; }
    int ActiveRow() const { return FActiveRow; }

    // The page collection's hooks for a collection editor (there is none here): its caption, and
    // the item chosen in it (shown at design time).
    std::string CollectionEditorCaption() const;
    void CollectionItemSelected(int Index);

    void Loaded() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;
    void ShowControl(framework::TControl* Control);
    // Scaling by M / D (tab height and the active tab font).
    void ChangeScale(int M, int D);

    // Tests the fonts the tabs on the side would draw rotated; a font that is not TrueType gets
    // "Arial" (and the error at run time when Raise).
    static bool IsTrueType(const framework::TFont& Font);

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void MouseMove(framework::TShiftState Shift, int X, int Y) override;

    virtual bool DoDrawTab(int Index, const std::string& Title, bool Enabled, bool Active);
    virtual void DoMouseOverTab(int Index);
    virtual void DoPageChange(int Index, bool& AllowChange);
    virtual void DoPageChanged(int Index);
    virtual void DoTabClick(int Index);
    virtual void DoUserCommand(uint16_t Command);

private:
    friend class TCtlTabPage;
    bool IsLoadingNow() const { return (ComponentState() & framework::csLoading) != 0; }
    bool Designing() const { return (ComponentState() & framework::csDesigning) != 0; }
    bool PageVisibleForLayout(int Index) const;
    bool SideTabs() const { return FTabOrientation == toRight || FTabOrientation == toLeft; }
    void ApplyFont(framework::TCanvas& C, const framework::TFont& Font);
    int TabTextHeight(framework::TCanvas& C, const framework::TFont& Font);
    int CaptionWidth(framework::TCanvas& C, const framework::TFont& Font, const std::string& Caption);
    void CheckSideFont(framework::TFont& Font, bool Raise);
    void FocusFirstOnPage();
    void ClickOutward();
    void KeyCommand(uint16_t Command);
    bool DialogChar(framework::TMessage& Message);
    void SetOwnColor(framework::TColor Value);
    void PaintTabs();
    void DrawTab(int Index, const framework::TRect& R, int Inset, bool Active, bool Enabled, int Page);
    void DrawCaption(int Index, const framework::TRect& R, int Inset, bool Enabled);

    std::unique_ptr<entry::TCtlCollection> FPages;
    framework::TFont FActiveTabFont;
    bool FConserveResources = false;
    framework::TColor FHighlightColor = framework::clBtnHighlight;
    bool FOldStyle = false;
    bool FPageUsesTabColor = true;
    framework::TColor FShadowColor = framework::clBtnShadow;
    bool FShadowedText = false;
    bool FTabAutoHeight = true;
    int FTabHeight = 20;
    TCtlTabOrientation FTabOrientation = toTop;
    TTabTextOrientation FTabTextOrientation = ttoHorizontal;
    int FTabRowCount = 0;
    bool FTabUseDefaultColor = true;
    framework::TColor FTextShadowColor = framework::clBtnShadow;
    bool FUseActiveTabFont = true;

    int FActiveIndex = -1;
    int FRows = 0;
    int FActiveRow = 0;
    int FLastRow = -1;
    bool FChanging = false;
    bool FSettingColor = false;
};

}  // namespace grid

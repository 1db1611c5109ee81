#pragma once
// Tree views: nodes with text, images and a has-children flag, expanded and collapsed by keys and
// the mouse (with events that may refuse), one selected node, label editing, hot tracking and the
// start of a drag. The tree draws itself on its canvas.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/stdctrls/CustomDraw.h"
#include "framework/stdctrls/LabelEdit.h"
#include "framework/ui/Controls.h"

namespace framework {

class TImageList;
class TCustomTreeView;
class TTreeNodes;

class TTreeNode {
public:
    TTreeNode(TTreeNodes* AOwner, TTreeNode* AParent);
    ~TTreeNode();
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int Value);
    int OverlayIndex = -1;
    void* Data = nullptr;
    // Shows an expand button even before any child is added (children loaded on demand).
    bool HasChildren() const { return FHasChildren || !FChildren.empty(); }
    void SetHasChildren(bool Value);
    bool Expanded() const { return FExpanded; }
    // Expands or collapses through the view's checks (OnExpanding/OnCollapsing may refuse).
    void SetExpanded(bool Value);
    void Expand(bool Recurse);
    void Collapse(bool Recurse);
    bool Selected() const;
    void SetSelected(bool Value);
    bool Focused() const { return Selected(); }
    // Shown in a drop-target colour (a drag hovering over it).
    bool DropTarget() const { return FDropTarget; }
    void SetDropTarget(bool Value);
    bool Cut = false;

    TTreeNode* Parent() const { return FParent; }
    int Count() const { return static_cast<int>(FChildren.size()); }
    TTreeNode* Item(int Index) const;
    TTreeNode* operator[](int Index) const { return Item(Index); }
    int Index() const;
    int Level() const;
    TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front().get(); }
    TTreeNode* GetLastChild() const { return FChildren.empty() ? nullptr : FChildren.back().get(); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next node in the whole tree (depth first), or nil.
    TTreeNode* GetNext() const;
    TTreeNode* GetPrev() const;
    // The next and previous nodes shown (every parent expanded), or nil.
    TTreeNode* GetNextVisible() const;
    TTreeNode* GetPrevVisible() const;
    bool IsVisible() const;
    int AbsoluteIndex() const;
    bool HasAsParent(const TTreeNode* Value) const;
    TTreeNodes* Owner() const { return FOwner; }
    TCustomTreeView* TreeView() const;

    void Delete();
    void DeleteChildren();
    void MakeVisible();
    // The row (or only the text, with TextOnly) in the tree's client coordinates; empty when hidden.
    TRect DisplayRect(bool TextOnly) const;
    bool EditText();
    void EndEdit(bool Cancel);
    // Sorts the children with the tree's compare (OnCompare, else by text); Recurse goes down.
    bool AlphaSort(bool Recurse = false);
    // Sorts the children with Compare (negative: Node1 first).
    bool CustomSort(const std::function<int(TTreeNode* Node1, TTreeNode* Node2)>& Compare,
                    bool Recurse = false);

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNodes* FOwner;
    TTreeNode* FParent;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
    std::string FText;
    int FImageIndex = -1;
    int FSelectedIndex = -1;
    bool FHasChildren = false;
    bool FExpanded = false;
    bool FDropTarget = false;
};

// The nodes of one tree view, top-level nodes being the children of a hidden root.
class TTreeNodes {
public:
    explicit TTreeNodes(TCustomTreeView* AOwner);
    ~TTreeNodes();
    TCustomTreeView* Owner() const { return FOwner; }
    // Every node of the tree.
    int Count() const;
    // The node at an absolute (depth-first) index.
    TTreeNode* Item(int Index) const;
    TTreeNode* operator[](int Index) const { return Item(Index); }
    TTreeNode* GetFirstNode() const;
    // A top-level node (or, for the Add forms, a node beside Sibling) at the end.
    TTreeNode* Add(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddObject(TTreeNode* Sibling, const std::string& S, void* Ptr);
    TTreeNode* AddFirst(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddChild(TTreeNode* Parent, const std::string& S);
    TTreeNode* AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr);
    TTreeNode* AddChildFirst(TTreeNode* Parent, const std::string& S);
    // Before Sibling.
    TTreeNode* Insert(TTreeNode* Sibling, const std::string& S);
    void Delete(TTreeNode* Node);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    // The children of the hidden root: the top-level nodes.
    TTreeNode* Root() const { return FRoot.get(); }

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    TTreeNode* InsertAt(TTreeNode* Parent, int Index, const std::string& S, void* Ptr);
    TCustomTreeView* FOwner;
    std::unique_ptr<TTreeNode> FRoot;
    int FUpdateCount = 0;
};

enum THitTest : uint16_t {
    htAbove = 1,
    htBelow = 2,
    htNowhere = 4,
    htOnItem = 8,
    htOnButton = 16,
    htOnIcon = 32,
    htOnIndent = 64,
    htOnLabel = 128,
    htOnRight = 256,
    htToLeft = 512,
    htToRight = 1024,
};
using THitTests = uint16_t;

using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
using TTVCompareEvent =
    std::function<void(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2, int Data, int& Compare)>;
using TTVItemEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVCustomDrawItemEvent =
    std::function<void(TCustomTreeView* Sender, TTreeNode* Node, TCustomDrawState State, bool& DefaultDraw)>;
using TTVInfoTipEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& InfoTip)>;

class TCustomTreeView : public TCustomControl {
public:
    explicit TCustomTreeView(TComponent* AOwner);
    ~TCustomTreeView() override;

    TTreeNodes& Items() { return *FNodes; }
    TTreeNode* Selected() const { return FSelected; }
    // Selects Node (nil clears the selection) through OnChanging; shows it.
    void SetSelected(TTreeNode* Value);
    TTreeNode* TopItem() const;
    void SetTopItem(TTreeNode* Value);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* Value);
    TImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TImageList* Value);
    // Lines and buttons for the top-level nodes too (false hides the root lines).
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool Value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool Value);
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool Value);
    int Indent() const { return FIndent; }
    void SetIndent(int Value);
    bool HotTrack = false;
    bool ReadOnly = false;
    bool HideSelection = true;
    // Selecting a node by a click expands it and collapses the one selected before.
    bool AutoExpand = false;
    bool RightClickSelect = false;
    // No drag starts from the tree (OnStartItemDrag is not called).
    bool DisableDragDrop = false;
    TBorderStyle BorderStyle = bsSingle;
    int ItemHeight() const;

    TTreeNode* GetNodeAt(int X, int Y) const;
    THitTests GetHitTestInfoAt(int X, int Y) const;
    // The node now drawn under the pointer with hot tracking, or nil.
    TTreeNode* HotNode() const { return FHot; }
    TTreeNode* DropTarget() const;
    void SetDropTarget(TTreeNode* Value);
    bool IsEditing() const;
    TTreeNode* EditingNode() const { return FEditing; }
    void FullExpand();
    void FullCollapse();
    bool AlphaSort(bool Recurse = true);
    bool CustomSort(const std::function<int(TTreeNode* Node1, TTreeNode* Node2)>& Compare,
                    bool Recurse = true);

    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVCompareEvent OnCompare;
    TTVItemEvent OnDeletion;
    TTVItemEvent OnGetImageIndex;
    TTVItemEvent OnGetSelectedIndex;
    // A drag begins: the left button went down on Node and the pointer moved past the drag
    // threshold with the button held.
    TTVItemEvent OnStartItemDrag;
    // The hint for the node under the pointer (starting as the tree's own short hint); the hint
    // shows again for each node the pointer rests on.
    TTVInfoTipEvent OnInfoTip;
    // Before a node's text is drawn, with the canvas set up for it: the handler may change the
    // canvas's font and brush, or draw the text itself and clear DefaultDraw.
    TTVCustomDrawItemEvent OnCustomDrawItem;

    void Dispatch(TMessage& Message) override;

protected:
    // The steps behind the events; descendants override them and call the inherited ones.
    virtual bool CanChange(TTreeNode* Node);
    virtual void Change(TTreeNode* Node);
    virtual bool CanExpand(TTreeNode* Node);
    virtual void Expand(TTreeNode* Node);
    virtual bool CanCollapse(TTreeNode* Node);
    virtual void Collapse(TTreeNode* Node);
    virtual bool CanEdit(TTreeNode* Node);
    virtual void Edit(TTreeNode* Node, std::string& S);
    virtual void Delete(TTreeNode* Node);
    virtual void GetImageIndex(TTreeNode* Node);
    virtual void GetSelectedIndex(TTreeNode* Node);
    virtual void StartItemDrag(TTreeNode* Node);
    virtual void InfoTip(TTreeNode* Node, std::string& Tip);
    virtual bool CustomDrawItem(TTreeNode* Node, TCustomDrawState State);
    // Draws one row (its lines, button, image and text) in Rect.
    virtual void DrawNode(TTreeNode* Node, const TRect& Rect);

    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    void Resize() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    // Rows shown, top to bottom (rebuilt when the tree's shape changed).
    const std::vector<TTreeNode*>& Rows() const;
    int RowOf(const TTreeNode* Node) const;
    void ShapeChanged();
    void UpdateScrollBar();
    void ScrollTo(int TopRow);
    int VisibleRowCount() const;
    int LevelX(const TTreeNode* Node) const;
    TRect TextRectOf(const TTreeNode* Node, int Row);
    bool DoExpand(TTreeNode* Node, bool Value);
    void NodeDeleting(TTreeNode* Node);
    void SortChildren(TTreeNode* Parent, const std::function<int(TTreeNode*, TTreeNode*)>& Compare,
                      bool Recurse);
    void FinishEdit(bool Cancel);

    std::unique_ptr<TTreeNodes> FNodes;
    TTreeNode* FSelected = nullptr;
    TTreeNode* FHot = nullptr;
    TTreeNode* FDropTarget = nullptr;
    TTreeNode* FEditing = nullptr;
    TTreeNode* FDragNode = nullptr;  // pressed, a drag may begin from it
    TTreeNode* FTipNode = nullptr;   // the node the pointer was last over, for item hints
    TPoint FDragOrigin;
    TImageList* FImages = nullptr;
    TImageList* FStateImages = nullptr;
    TLabelEdit* FEditor = nullptr;
    bool FShowRoot = true;
    bool FShowLines = true;
    bool FShowButtons = true;
    int FIndent = 19;
    int FTopRow = 0;
    mutable std::vector<TTreeNode*> FRows;
    mutable bool FRowsValid = false;
    bool FClearing = false;
};

class TTreeView : public TCustomTreeView {
public:
    using TCustomTreeView::TCustomTreeView;
};

}  // namespace framework

#include "framework/stdctrls/TreeView.h"

#include <algorithm>

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ScrollCode.h"
#include "framework/ui/Hints.h"

namespace framework {

namespace {
[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// Dotted lines as the platform's tree draws them: every other pixel.
void DottedHLine(TCanvas& C, int X1, int X2, int Y, TColor Color) {
    for (int x = X1 + ((X1 + Y) & 1); x < X2; x += 2) C.SetPixel(x, Y, Color);
}
void DottedVLine(TCanvas& C, int X, int Y1, int Y2, TColor Color) {
    for (int y = Y1 + ((X + Y1) & 1); y < Y2; y += 2) C.SetPixel(X, y, Color);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// TTreeNode

TTreeNode::TTreeNode(TTreeNodes* AOwner, TTreeNode* AParent) : FOwner(AOwner), FParent(AParent) {}
TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const {
    return FOwner->Owner();
}

void TTreeNode::SetText(const std::string& Value) {
    FText = Value;
    TreeView()->Invalidate();
}

void TTreeNode::SetImageIndex(int Value) {
    FImageIndex = Value;
    TreeView()->Invalidate();
}

void TTreeNode::SetSelectedIndex(int Value) {
    FSelectedIndex = Value;
    TreeView()->Invalidate();
}

void TTreeNode::SetHasChildren(bool Value) {
    FHasChildren = Value;
    if (!Value && FChildren.empty()) FExpanded = false;
    TreeView()->ShapeChanged();
}

void TTreeNode::SetExpanded(bool Value) {
    if (Value)
        Expand(false);
    else
        Collapse(false);
}

void TTreeNode::Expand(bool Recurse) {
    TreeView()->DoExpand(this, true);
    if (Recurse)
        for (size_t i = 0; i < FChildren.size(); ++i) FChildren[i]->Expand(true);
}

void TTreeNode::Collapse(bool Recurse) {
    if (Recurse)
        for (auto& c : FChildren) c->Collapse(true);
    TreeView()->DoExpand(this, false);
}

bool TTreeNode::Selected() const {
    return TreeView()->Selected() == this;
}

void TTreeNode::SetSelected(bool Value) {
    if (Value)
        TreeView()->SetSelected(this);
    else if (Selected())
        TreeView()->SetSelected(nullptr);
}

void TTreeNode::SetDropTarget(bool Value) {
    if (Value)
        TreeView()->SetDropTarget(this);
    else if (FDropTarget)
        TreeView()->SetDropTarget(nullptr);
}

TTreeNode* TTreeNode::Item(int Index) const {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    return FChildren[static_cast<size_t>(Index)].get();
}

int TTreeNode::Index() const {
    if (!FParent) return -1;
    const auto& s = FParent->FChildren;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i].get() == this) return static_cast<int>(i);
    return -1;
}

int TTreeNode::Level() const {
    int level = -1;  // the hidden root's children are level 0
    for (const TTreeNode* p = FParent; p; p = p->FParent) ++level;
    return level;
}

TTreeNode* TTreeNode::GetNextSibling() const {
    if (!FParent) return nullptr;
    int i = Index() + 1;
    return i < FParent->Count() ? FParent->Item(i) : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    if (!FParent) return nullptr;
    int i = Index() - 1;
    return i >= 0 ? FParent->Item(i) : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!FChildren.empty()) return FChildren.front().get();
    for (const TTreeNode* n = this; n && n->FParent; n = n->FParent)
        if (TTreeNode* s = n->GetNextSibling()) return s;
    return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const {
    TTreeNode* s = GetPrevSibling();
    if (!s) return FParent && FParent->FParent ? FParent : nullptr;
    while (!s->FChildren.empty()) s = s->FChildren.back().get();
    return s;
}

TTreeNode* TTreeNode::GetNextVisible() const {
    const auto& rows = TreeView()->Rows();
    int r = TreeView()->RowOf(this);
    return r >= 0 && r + 1 < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(r + 1)] : nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
    const auto& rows = TreeView()->Rows();
    int r = TreeView()->RowOf(this);
    return r > 0 ? rows[static_cast<size_t>(r - 1)] : nullptr;
}

bool TTreeNode::IsVisible() const {
    for (const TTreeNode* p = FParent; p && p->FParent; p = p->FParent)
        if (!p->FExpanded) return false;
    return FParent != nullptr;
}

int TTreeNode::AbsoluteIndex() const {
    int i = 0;
    for (const TTreeNode* n = FOwner->GetFirstNode(); n; n = n->GetNext(), ++i)
        if (n == this) return i;
    return -1;
}

bool TTreeNode::HasAsParent(const TTreeNode* Value) const {
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        if (p == Value) return true;
    return false;
}

void TTreeNode::Delete() {
    FOwner->Delete(this);
}

void TTreeNode::DeleteChildren() {
    TCustomTreeView* tv = TreeView();
    while (!FChildren.empty()) FOwner->Delete(FChildren.back().get());
    FExpanded = FExpanded && FHasChildren;
    tv->ShapeChanged();
}

void TTreeNode::MakeVisible() {
    TCustomTreeView* tv = TreeView();
    for (TTreeNode* p = FParent; p && p->FParent; p = p->FParent)
        if (!p->FExpanded) p->Expand(false);
    int r = tv->RowOf(this);
    if (r < 0) return;
    if (r < tv->FTopRow)
        tv->ScrollTo(r);
    else if (r >= tv->FTopRow + tv->VisibleRowCount())
        tv->ScrollTo(r - tv->VisibleRowCount() + 1);
}

TRect TTreeNode::DisplayRect(bool TextOnly) const {
    TCustomTreeView* tv = TreeView();
    int r = tv->RowOf(this);
    if (r < 0) return TRect{};
    if (TextOnly) return tv->TextRectOf(this, r);
    int h = tv->ItemHeight();
    int y = (r - tv->FTopRow) * h;
    return Rect(0, y, tv->ClientWidth(), y + h);
}

bool TTreeNode::EditText() {
    TCustomTreeView* tv = TreeView();
    if (tv->ReadOnly || !tv->CanEdit(this)) return false;
    MakeVisible();
    TRect r = DisplayRect(true);
    r.Right = std::max(r.Right + 24, r.Left + 60);
    r.Right = std::min(r.Right, std::max(r.Left + 20, tv->ClientWidth()));
    tv->FEditing = this;
    if (!tv->FEditor) tv->FEditor = NewComponent<TLabelEdit>(tv);
    tv->FEditor->Font().Assign(tv->Font());
    tv->FEditor->Start(tv, r, FText, [tv](bool Cancel) { tv->FinishEdit(Cancel); });
    return true;
}

void TTreeNode::EndEdit(bool Cancel) {
    TCustomTreeView* tv = TreeView();
    if (tv->FEditing == this && tv->FEditor) tv->FEditor->Finish(Cancel);
}

bool TTreeNode::AlphaSort(bool Recurse) {
    TCustomTreeView* tv = TreeView();
    tv->SortChildren(this, nullptr, Recurse);
    return true;
}

bool TTreeNode::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& Compare, bool Recurse) {
    TreeView()->SortChildren(this, Compare, Recurse);
    return true;
}

// ---------------------------------------------------------------------------------------------
// TTreeNodes

TTreeNodes::TTreeNodes(TCustomTreeView* AOwner)
    : FOwner(AOwner), FRoot(std::make_unique<TTreeNode>(this, nullptr)) {
    FRoot->FExpanded = true;
}
TTreeNodes::~TTreeNodes() = default;

int TTreeNodes::Count() const {
    int n = 0;
    for (const TTreeNode* p = GetFirstNode(); p; p = p->GetNext()) ++n;
    return n;
}

TTreeNode* TTreeNodes::Item(int Index) const {
    int i = 0;
    for (TTreeNode* p = GetFirstNode(); p; p = p->GetNext(), ++i)
        if (i == Index) return p;
    IndexError(Index);
}

TTreeNode* TTreeNodes::GetFirstNode() const {
    return FRoot->GetFirstChild();
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* Parent, int Index, const std::string& S, void* Ptr) {
    if (!Parent) Parent = FRoot.get();
    auto node = std::make_unique<TTreeNode>(this, Parent);
    node->FText = S;
    node->Data = Ptr;
    TTreeNode* result = node.get();
    Index = std::clamp(Index, 0, Parent->Count());
    Parent->FChildren.insert(Parent->FChildren.begin() + Index, std::move(node));
    FOwner->ShapeChanged();
    return result;
}

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const std::string& S) {
    return AddObject(Sibling, S, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const std::string& S, void* Ptr) {
    TTreeNode* parent = Sibling ? Sibling->FParent : nullptr;
    return InsertAt(parent, parent ? parent->Count() : FRoot->Count(), S, Ptr);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* Sibling, const std::string& S) {
    return InsertAt(Sibling ? Sibling->FParent : nullptr, 0, S, nullptr);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::string& S) {
    return AddChildObject(Parent, S, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr) {
    return InsertAt(Parent, Parent ? Parent->Count() : FRoot->Count(), S, Ptr);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const std::string& S) {
    return InsertAt(Parent, 0, S, nullptr);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const std::string& S) {
    if (!Sibling) return Add(nullptr, S);
    return InsertAt(Sibling->FParent, Sibling->Index(), S, nullptr);
}

void TTreeNodes::Delete(TTreeNode* Node) {
    if (!Node || !Node->FParent) return;
    FOwner->NodeDeleting(Node);
    TTreeNode* parent = Node->FParent;
    int i = Node->Index();
    std::unique_ptr<TTreeNode> gone = std::move(parent->FChildren[static_cast<size_t>(i)]);
    parent->FChildren.erase(parent->FChildren.begin() + i);
    if (parent->FChildren.empty() && !parent->FHasChildren && parent->FParent) parent->FExpanded = false;
    FOwner->ShapeChanged();
}

void TTreeNodes::Clear() {
    FOwner->FClearing = true;
    while (FRoot->Count() > 0) Delete(FRoot->GetLastChild());
    FOwner->FClearing = false;
    FOwner->FTopRow = 0;
    FOwner->ShapeChanged();
}

void TTreeNodes::BeginUpdate() {
    ++FUpdateCount;
}

void TTreeNodes::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) FOwner->ShapeChanged();
}

// ---------------------------------------------------------------------------------------------
// TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent* AOwner)
    : TCustomControl(AOwner), FNodes(std::make_unique<TTreeNodes>(this)) {
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FColor = clWindow;
    ControlStyle |= csDoubleClicks;
}

TCustomTreeView::~TCustomTreeView() {
    FClearing = true;
    // An edit still open ends here, while the nodes exist: the editor goes only after them.
    FEditing = nullptr;
    if (FEditor) FEditor->Finish(true);
    OnDeletion = nullptr;
    OnChange = nullptr;
    OnChanging = nullptr;
}

// The window's scroll bars are set once it exists.
void TCustomTreeView::CreateWnd() {
    TCustomControl::CreateWnd();
    ShapeChanged();
}

void TCustomTreeView::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) FImages = nullptr;
    if (AComponent == FStateImages) FStateImages = nullptr;
    if (AComponent == FEditor) FEditor = nullptr;
}

void TCustomTreeView::SetImages(TImageList* Value) {
    SetImageListField(*this, FImages, Value);
    ShapeChanged();
}

void TCustomTreeView::SetStateImages(TImageList* Value) {
    SetImageListField(*this, FStateImages, Value);
    Invalidate();
}

void TCustomTreeView::SetShowRoot(bool Value) {
    FShowRoot = Value;
    Invalidate();
}
void TCustomTreeView::SetShowLines(bool Value) {
    FShowLines = Value;
    Invalidate();
}
void TCustomTreeView::SetShowButtons(bool Value) {
    FShowButtons = Value;
    Invalidate();
}
void TCustomTreeView::SetIndent(int Value) {
    FIndent = std::max(Value, 8);
    Invalidate();
}

int TCustomTreeView::ItemHeight() const {
    int h = std::max(16, -FFont.Height() + 5);
    if (FImages) h = std::max(h, FImages->Height);
    return h;
}

const std::vector<TTreeNode*>& TCustomTreeView::Rows() const {
    if (!FRowsValid) {
        FRows.clear();
        std::function<void(TTreeNode*)> walk = [&](TTreeNode* n) {
            for (auto& c : n->FChildren) {
                FRows.push_back(c.get());
                if (c->FExpanded) walk(c.get());
            }
        };
        walk(FNodes->Root());
        FRowsValid = true;
    }
    return FRows;
}

int TCustomTreeView::RowOf(const TTreeNode* Node) const {
    const auto& rows = Rows();
    auto it = std::find(rows.begin(), rows.end(), Node);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

int TCustomTreeView::VisibleRowCount() const {
    return std::max(1, ClientHeight() / ItemHeight());
}

void TCustomTreeView::ShapeChanged() {
    FRowsValid = false;
    if (FNodes && FNodes->FUpdateCount > 0) return;
    int rows = static_cast<int>(Rows().size());
    FTopRow = std::clamp(FTopRow, 0, std::max(0, rows - VisibleRowCount()));
    UpdateScrollBar();
    Invalidate();
}

void TCustomTreeView::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    int rows = static_cast<int>(Rows().size());
    int page = VisibleRowCount();
    bool want = rows > page;
    bool shown = (GetWindowLong(Handle(), GWL_STYLE) & WS_VSCROLL) != 0;
    if (want != shown) ShowScrollBar(Handle(), SB_VERT, want);  // may resize: Resize comes back here
    if (!want) return;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = rows - 1;
    si.nPage = static_cast<uint32_t>(VisibleRowCount());
    si.nPos = FTopRow;
    SetScrollInfo(Handle(), SB_VERT, si, true);
}

void TCustomTreeView::ScrollTo(int TopRow) {
    int rows = static_cast<int>(Rows().size());
    TopRow = std::clamp(TopRow, 0, std::max(0, rows - VisibleRowCount()));
    if (TopRow == FTopRow) return;
    FTopRow = TopRow;
    if (FEditor) FEditor->Finish(false);
    UpdateScrollBar();
    Invalidate();
}

void TCustomTreeView::Resize() {
    TCustomControl::Resize();
    ShapeChanged();
}

TTreeNode* TCustomTreeView::TopItem() const {
    const auto& rows = Rows();
    return FTopRow < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(FTopRow)] : nullptr;
}

void TCustomTreeView::SetTopItem(TTreeNode* Value) {
    if (!Value) return;
    Value->MakeVisible();
    int r = RowOf(Value);
    if (r >= 0) ScrollTo(r);
}

int TCustomTreeView::LevelX(const TTreeNode* Node) const {
    return (Node->Level() + (FShowRoot ? 1 : 0)) * FIndent + 2;
}

TRect TCustomTreeView::TextRectOf(const TTreeNode* Node, int Row) {
    int h = ItemHeight();
    int x = LevelX(Node);
    if (FStateImages) x += FStateImages->Width;
    if (FImages) x += FImages->Width + 2;
    Canvas().Font.Assign(FFont);
    int y = (Row - FTopRow) * h;
    return Rect(x, y, x + Canvas().TextWidth(Node->FText) + 4, y + h);
}

TTreeNode* TCustomTreeView::GetNodeAt(int X, int Y) const {
    THitTests ht = GetHitTestInfoAt(X, Y);
    if (!(ht & (htOnItem | htOnButton | htOnIndent | htOnRight))) return nullptr;
    int r = FTopRow + Y / ItemHeight();
    (void)X;
    return Rows()[static_cast<size_t>(r)];
}

THitTests TCustomTreeView::GetHitTestInfoAt(int X, int Y) const {
    THitTests result = 0;
    if (Y < 0) result |= htAbove;
    if (Y >= ClientHeight()) result |= htBelow;
    if (X < 0) result |= htToLeft;
    if (X >= ClientWidth()) result |= htToRight;
    if (result) return result;
    int r = FTopRow + Y / ItemHeight();
    const auto& rows = Rows();
    if (r >= static_cast<int>(rows.size())) return htNowhere;
    TTreeNode* n = rows[static_cast<size_t>(r)];
    auto* self = const_cast<TCustomTreeView*>(this);
    TRect text = self->TextRectOf(n, r);
    int x = LevelX(n);
    int imageLeft = x + (FStateImages ? FStateImages->Width : 0);
    if (X >= text.Left && X < text.Right) return htOnItem | htOnLabel;
    if (FImages && X >= imageLeft && X < text.Left) return htOnItem | htOnIcon;
    if (X >= text.Right) return htOnRight;
    bool button = FShowButtons && n->HasChildren() && (FShowRoot || n->Level() > 0);
    if (button && X >= x - FIndent && X < x) return htOnButton;
    return htOnIndent;
}

TTreeNode* TCustomTreeView::DropTarget() const {
    return FDropTarget;
}

void TCustomTreeView::SetDropTarget(TTreeNode* Value) {
    if (FDropTarget) FDropTarget->FDropTarget = false;
    FDropTarget = Value;
    if (Value) Value->FDropTarget = true;
    Invalidate();
}

bool TCustomTreeView::IsEditing() const {
    return FEditing != nullptr;
}

void TCustomTreeView::FullExpand() {
    for (TTreeNode* n = FNodes->GetFirstNode(); n; n = n->GetNextSibling()) n->Expand(true);
}

void TCustomTreeView::FullCollapse() {
    for (TTreeNode* n = FNodes->GetFirstNode(); n; n = n->GetNextSibling()) n->Collapse(true);
}

bool TCustomTreeView::AlphaSort(bool Recurse) {
    SortChildren(FNodes->Root(), nullptr, Recurse);
    return true;
}

bool TCustomTreeView::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& Compare, bool Recurse) {
    SortChildren(FNodes->Root(), Compare, Recurse);
    return true;
}

void TCustomTreeView::SortChildren(TTreeNode* Parent,
                                   const std::function<int(TTreeNode*, TTreeNode*)>& Compare, bool Recurse) {
    auto cmp = [&](TTreeNode* a, TTreeNode* b) {
        if (Compare) return Compare(a, b);
        int result = AnsiCompareText(a->FText, b->FText);
        if (OnCompare) OnCompare(this, a, b, 0, result);
        return result;
    };
    std::stable_sort(Parent->FChildren.begin(), Parent->FChildren.end(),
                     [&](const auto& a, const auto& b) { return cmp(a.get(), b.get()) < 0; });
    if (Recurse)
        for (auto& c : Parent->FChildren) SortChildren(c.get(), Compare, true);
    ShapeChanged();
}

// ---- The steps behind the events ----

bool TCustomTreeView::CanChange(TTreeNode* Node) {
    bool allow = true;
    if (OnChanging) OnChanging(this, Node, allow);
    return allow;
}

void TCustomTreeView::Change(TTreeNode* Node) {
    if (OnChange) OnChange(this, Node);
}

bool TCustomTreeView::CanExpand(TTreeNode* Node) {
    bool allow = true;
    if (OnExpanding) OnExpanding(this, Node, allow);
    return allow;
}

void TCustomTreeView::Expand(TTreeNode* Node) {
    if (OnExpanded) OnExpanded(this, Node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* Node) {
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, Node, allow);
    return allow;
}

void TCustomTreeView::Collapse(TTreeNode* Node) {
    if (OnCollapsed) OnCollapsed(this, Node);
}

bool TCustomTreeView::CanEdit(TTreeNode* Node) {
    bool allow = true;
    if (OnEditing) OnEditing(this, Node, allow);
    return allow;
}

void TCustomTreeView::Edit(TTreeNode* Node, std::string& S) {
    if (OnEdited) OnEdited(this, Node, S);
}

void TCustomTreeView::Delete(TTreeNode* Node) {
    if (OnDeletion) OnDeletion(this, Node);
}

void TCustomTreeView::GetImageIndex(TTreeNode* Node) {
    if (OnGetImageIndex) OnGetImageIndex(this, Node);
}

void TCustomTreeView::GetSelectedIndex(TTreeNode* Node) {
    if (OnGetSelectedIndex) OnGetSelectedIndex(this, Node);
}

void TCustomTreeView::StartItemDrag(TTreeNode* Node) {
    if (OnStartItemDrag) OnStartItemDrag(this, Node);
}

bool TCustomTreeView::CustomDrawItem(TTreeNode* Node, TCustomDrawState State) {
    bool defaultDraw = true;
    if (OnCustomDrawItem) OnCustomDrawItem(this, Node, State, defaultDraw);
    return defaultDraw;
}

void TCustomTreeView::InfoTip(TTreeNode* Node, std::string& Tip) {
    if (OnInfoTip) OnInfoTip(this, Node, Tip);
}

// ---- Selection, expansion, deletion, editing ----

void TCustomTreeView::SetSelected(TTreeNode* Value) {
    if (Value == FSelected) return;
    if (!FClearing && !CanChange(Value)) return;
    FSelected = Value;
    if (Value) Value->MakeVisible();
    Invalidate();
    if (!FClearing) Change(Value);
}

bool TCustomTreeView::DoExpand(TTreeNode* Node, bool Value) {
    if (!Node || !Node->FParent || Node->FExpanded == Value) return false;
    if (Value) {
        if (!Node->HasChildren()) return false;
        if (!CanExpand(Node)) return false;
        // The handler may have loaded the children, or found there are none.
        if (Node->FChildren.empty()) {
            Invalidate();
            return false;
        }
        Node->FExpanded = true;
        ShapeChanged();
        Expand(Node);
    } else {
        if (!CanCollapse(Node)) return false;
        Node->FExpanded = false;
        // A selection hidden by the collapse moves up to the collapsed node.
        bool moveSelection = FSelected && FSelected->HasAsParent(Node);
        if (FEditing && FEditing->HasAsParent(Node) && FEditor) FEditor->Finish(true);
        ShapeChanged();
        if (moveSelection) SetSelected(Node);
        Collapse(Node);
    }
    return true;
}

void TCustomTreeView::NodeDeleting(TTreeNode* Node) {
    for (auto& c : Node->FChildren) NodeDeleting(c.get());
    if (FEditing == Node) {
        FEditing = nullptr;
        if (FEditor) FEditor->Finish(true);
    }
    if (FHot == Node) FHot = nullptr;
    if (FDragNode == Node) FDragNode = nullptr;
    if (FTipNode == Node) FTipNode = nullptr;
    if (FDropTarget == Node) FDropTarget = nullptr;
    if (!FClearing) Delete(Node);
    if (FSelected == Node) {
        // The platform's tree moves the selection to a neighbour, else to the parent.
        TTreeNode* next = Node->GetNextSibling();
        if (!next) next = Node->GetPrevSibling();
        if (!next && Node->FParent && Node->FParent->FParent) next = Node->FParent;
        FSelected = nullptr;
        if (!FClearing) {
            FSelected = next;
            Change(next);
        }
    }
}

void TCustomTreeView::FinishEdit(bool Cancel) {
    TTreeNode* node = std::exchange(FEditing, nullptr);
    if (!node) return;
    if (!Cancel) {
        std::string s = FEditor->Text();
        Edit(node, s);
        node->SetText(s);
    }
    Invalidate();
}

// ---- Painting ----

void TCustomTreeView::DrawNode(TTreeNode* Node, const TRect& R) {
    TCanvas& c = Canvas();
    int x = LevelX(Node);
    int midY = R.Top + R.Height() / 2;
    TColor lineColor = clGray;
    bool rootLevel = Node->Level() == 0;
    bool drawLevel = FShowRoot || !rootLevel;
    if (FShowLines) {
        // Vertical lines of the ancestors that have siblings below.
        for (TTreeNode* p = Node->FParent; p && p->FParent; p = p->FParent)
            if ((FShowRoot || p->Level() > 0) && p->GetNextSibling())
                DottedVLine(c, LevelX(p) - FIndent / 2 - 1, R.Top, R.Bottom, lineColor);
        if (drawLevel) {
            int cx = x - FIndent / 2 - 1;
            bool first = !Node->GetPrevSibling() && rootLevel;
            DottedVLine(c, cx, first ? midY : R.Top, Node->GetNextSibling() ? R.Bottom : midY + 1, lineColor);
            DottedHLine(c, cx, x - 1, midY, lineColor);
        }
    }
    if (FShowButtons && drawLevel && Node->HasChildren()) {
        int cx = x - FIndent / 2 - 1;
        TRect box = Rect(cx - 4, midY - 4, cx + 5, midY + 5);
        c.Brush.Color = clWindow;
        c.FillRect(box);
        c.Brush.Color = clGray;
        c.FrameRect(box);
        c.Pen.Color = clBlack;
        c.MoveTo(cx - 2, midY);
        c.LineTo(cx + 3, midY);
        if (!Node->FExpanded) {
            c.MoveTo(cx, midY - 2);
            c.LineTo(cx, midY + 3);
        }
    }
    if (FStateImages) x += FStateImages->Width;
    bool selected = Node == FSelected;
    if (FImages) {
        GetImageIndex(Node);
        if (selected) GetSelectedIndex(Node);
        int index = selected && Node->FSelectedIndex >= 0 ? Node->FSelectedIndex : Node->FImageIndex;
        FImages->Draw(c, x, R.Top + (R.Height() - FImages->Height) / 2, index, !Node->Cut);
        if (Node->OverlayIndex >= 0)
            FImages->Draw(c, x, R.Top + (R.Height() - FImages->Height) / 2, Node->OverlayIndex);
    }
    if (Node == FEditing) return;
    if (FImages) x += FImages->Width + 2;
    c.Font.Assign(FFont);
    TRect text = Rect(x, R.Top, x + c.TextWidth(Node->FText) + 4, R.Bottom);
    bool focused = Focused();
    bool hot = HotTrack && Node == FHot;
    c.Font.Assign(FFont);
    if (Node->FDropTarget || (selected && (focused || !HideSelection) && !FDropTarget)) {
        c.Brush.Color = (focused || Node->FDropTarget) ? clHighlight : clBtnFace;
        c.Font.Color = (focused || Node->FDropTarget) ? clHighlightText : clWindowText;
        c.FillRect(text);
    } else {
        c.Brush.Color = FColor;
        if (hot) {
            c.Font.Color = clBlue;
            c.Font.Style = c.Font.Style | fsUnderline;
        }
    }
    TCustomDrawState state =
        (selected ? cdsSelected : 0) | (selected && focused ? cdsFocused : 0) | (hot ? cdsHot : 0);
    if (CustomDrawItem(Node, state)) {
        c.Brush.Style = bsClear;
        c.TextOut(text.Left + 2, text.Top + (text.Height() - c.TextHeight("Wg")) / 2, Node->FText);
    }
    c.Brush.Style = bsSolid;
    if (selected && focused) c.DrawFocusRect(text);
}

void TCustomTreeView::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(client);
    const auto& rows = Rows();
    int h = ItemHeight();
    for (int r = FTopRow, y = 0; r < static_cast<int>(rows.size()) && y < client.Bottom; ++r, y += h) {
        c.Brush.Color = FColor;
        c.Font.Assign(FFont);
        DrawNode(rows[static_cast<size_t>(r)], Rect(0, y, client.Right, y + h));
    }
}

// ---- Keys and mouse ----

void TCustomTreeView::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    const auto& rows = Rows();
    if (rows.empty()) return;
    TTreeNode* sel = FSelected;
    int r = sel ? RowOf(sel) : -1;
    int last = static_cast<int>(rows.size()) - 1;
    auto go = [&](int row) { SetSelected(rows[static_cast<size_t>(std::clamp(row, 0, last))]); };
    int page = std::max(1, VisibleRowCount() - 1);
    switch (Key) {
        case VK_UP:
            go(r < 0 ? 0 : r - 1);
            break;
        case VK_DOWN:
            go(r + 1);
            break;
        case VK_HOME:
            go(0);
            break;
        case VK_END:
            go(last);
            break;
        case VK_PRIOR:
            go(r - page);
            break;
        case VK_NEXT:
            go(r + page);
            break;
        case VK_RIGHT:
            // Opens a closed node; on an open one moves to its first child.
            if (!sel)
                go(0);
            else if (!sel->FExpanded && sel->HasChildren())
                sel->Expand(false);
            else if (sel->FExpanded && sel->GetFirstChild())
                SetSelected(sel->GetFirstChild());
            break;
        case VK_LEFT:
            // Closes an open node; on a closed one (or a leaf) moves to its parent.
            if (!sel)
                go(0);
            else if (sel->FExpanded)
                sel->Collapse(false);
            else if (sel->FParent && sel->FParent->FParent)
                SetSelected(sel->FParent);
            break;
        case VK_ADD:
            if (sel) sel->Expand(false);
            break;
        case VK_SUBTRACT:
            if (sel) sel->Collapse(false);
            break;
        case VK_MULTIPLY:
            if (sel) sel->Expand(true);
            break;
        case VK_F2:
            if (sel) sel->EditText();
            break;
        default:
            return;
    }
    Key = 0;
}

void TCustomTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanFocus() && !Focused()) SetFocus();
    THitTests ht = GetHitTestInfoAt(X, Y);
    TTreeNode* n = GetNodeAt(X, Y);
    if (Button == TMouseButton::mbLeft && n) {
        if (ht & htOnButton) {
            n->SetExpanded(!n->FExpanded);
        } else if (Shift & ssDouble) {
            if (ht & htOnItem) n->SetExpanded(!n->FExpanded);
        } else if (ht & (htOnItem | htOnIndent | htOnRight)) {
            TTreeNode* before = FSelected;
            SetSelected(n);
            if (FSelected == n && (ht & htOnItem)) {
                FDragNode = n;
                FDragOrigin = Point(X, Y);
            }
            if (FSelected == n && AutoExpand && before != n) {
                if (before && !n->HasAsParent(before)) before->Collapse(false);
                n->Expand(false);
            }
        }
    } else if (Button == TMouseButton::mbRight && n && RightClickSelect) {
        SetSelected(n);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTreeView::MouseMove(TShiftState Shift, int X, int Y) {
    if (FDragNode && (Shift & ssLeft)) {
        if (std::abs(X - FDragOrigin.X) > GetSystemMetrics(SM_CXDRAG) ||
            std::abs(Y - FDragOrigin.Y) > GetSystemMetrics(SM_CYDRAG)) {
            TTreeNode* n = std::exchange(FDragNode, nullptr);
            if (!DisableDragDrop) StartItemDrag(n);
        }
    } else {
        FDragNode = nullptr;
    }
    if (OnInfoTip) {
        // Another node under the pointer: its own hint shows after the pause.
        TTreeNode* tip = (GetHitTestInfoAt(X, Y) & htOnItem) ? GetNodeAt(X, Y) : nullptr;
        if (tip != FTipNode && FTipNode && Application) Application->CancelHint();
        FTipNode = tip;
    }
    if (HotTrack) {
        TTreeNode* hot = (GetHitTestInfoAt(X, Y) & htOnItem) ? GetNodeAt(X, Y) : nullptr;
        if (hot != FHot) {
            FHot = hot;
            Invalidate();
        }
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomTreeView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FDragNode = nullptr;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TCustomTreeView::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    ScrollTo(FTopRow - 3 * (WheelDelta / 120));
    return true;
}

void TCustomTreeView::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_VSCROLL:
            if (auto to = ScrollCodePosition(M, FTopRow, 1, std::max(1, VisibleRowCount() - 1)))
                ScrollTo(*to);
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        case CM_HINTSHOW:
            if (OnInfoTip) {
                auto* info = reinterpret_cast<THintInfo*>(M.LParam);
                TPoint p = info->CursorPos;
                if (TTreeNode* n = (GetHitTestInfoAt(p.X, p.Y) & htOnItem) ? GetNodeAt(p.X, p.Y) : nullptr) {
                    InfoTip(n, info->HintStr);
                    FTipNode = n;
                }
            }
            break;
        case CM_MOUSELEAVE:
            FTipNode = nullptr;
            if (FHot) {
                FHot = nullptr;
                Invalidate();
            }
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

}  // namespace framework

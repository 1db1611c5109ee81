#include "framework/ui/DragDrop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/stdctrls/TreeView.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

using namespace platform;

// Offers nothing; the drag loop only hands it on.
class TNoData : public IDataObject {
public:
    HRESULT GetData(const FORMATETC&, STGMEDIUM&) override { return DV_E_FORMATETC; }
    HRESULT GetDataHere(const FORMATETC&, STGMEDIUM&) override { return E_NOTIMPL; }
    HRESULT QueryGetData(const FORMATETC&) override { return DV_E_FORMATETC; }
    HRESULT GetCanonicalFormatEtc(const FORMATETC&, FORMATETC&) override { return E_NOTIMPL; }
    HRESULT SetData(const FORMATETC&, STGMEDIUM&, bool) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(uint32_t, std::shared_ptr<IEnumFORMATETC>&) override { return E_NOTIMPL; }
    HRESULT DAdvise() override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise() override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(void**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

class TSource : public IDropSource {
public:
    HRESULT QueryContinueDrag(bool Escape, uint32_t KeyState) override {
        if (Escape) return DRAGDROP_S_CANCEL;
        return KeyState & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT GiveFeedback(uint32_t) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

class TRecordingTarget : public IDropTarget {
public:
    std::vector<std::string>& Log;
    uint32_t Accept;
    TRecordingTarget(std::vector<std::string>& ALog, uint32_t AAccept) : Log(ALog), Accept(AAccept) {}
    HRESULT DragEnter(IDataObject*, uint32_t, TPoint Pt, uint32_t& Effect) override {
        Log.push_back("enter " + std::to_string(Pt.X));
        Effect &= Accept;
        return S_OK;
    }
    HRESULT DragOver(uint32_t, TPoint Pt, uint32_t& Effect) override {
        Log.push_back("over " + std::to_string(Pt.X));
        Effect &= Accept;
        return S_OK;
    }
    HRESULT DragLeave() override {
        Log.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject*, uint32_t, TPoint Pt, uint32_t& Effect) override {
        Log.push_back("drop " + std::to_string(Pt.X));
        Effect &= Accept;
        return S_OK;
    }
};

class DragDropTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TTreeView* Tree = nullptr;
    TTreeView* Other = nullptr;
    std::vector<std::string> Log;
    HRESULT Result = 0;
    uint32_t Effect = 99;

    void SetUp() override {
        Form->SetClientSize(300, 200);
        Tree = NewComponent<TTreeView>(Form);
        Tree->SetParent(Form);
        Tree->SetBounds(0, 0, 140, 200);
        Tree->Items().AddChild(nullptr, "item");
        Other = NewComponent<TTreeView>(Form);
        Other->SetParent(Form);
        Other->SetBounds(150, 0, 140, 200);
        Form->Show();
        Tree->OnStartItemDrag = [this](TObject*, TTreeNode*) {
            Result = DoDragDrop(std::make_shared<TNoData>(), std::make_shared<TSource>(),
                                DROPEFFECT_COPY | DROPEFFECT_MOVE, &Effect);
        };
        ASSERT_TRUE(
            RegisterDragDrop(Other->Handle(), std::make_shared<TRecordingTarget>(Log, DROPEFFECT_COPY)));
    }
    void TearDown() override { RevokeDragDrop(Other->Handle()); }

    void StartOnItem() {
        const TRect r = Tree->Items().GetFirstNode()->DisplayRect(true);
        Driver.DragStart(*Tree, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        Driver.MouseUp(*Tree, 0, 0);
    }
};

TEST_F(DragDropTest, ReleasingOverATargetDropsWithItsEffect) {
    Driver.DragOver(*Tree, 5, 5);  // no target there
    Driver.DragOver(*Other, 10, 5);
    Driver.DragOver(*Other, 20, 5);
    Driver.DragDrop(*Other, 30, 5);
    StartOnItem();
    EXPECT_EQ(Result, DRAGDROP_S_DROP);
    EXPECT_EQ(Effect, DROPEFFECT_COPY);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 10", "over 20", "over 30", "drop 30"}));
    EXPECT_EQ(Driver.PendingDragSteps(), 0u);
}

TEST_F(DragDropTest, EscapeOrRunningOutOfStepsCancels) {
    Driver.DragOver(*Other, 10, 5);
    Driver.DragEscape();
    StartOnItem();
    EXPECT_EQ(Result, DRAGDROP_S_CANCEL);
    EXPECT_EQ(Effect, DROPEFFECT_NONE);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 10", "leave"}));

    Log.clear();
    Driver.DragOver(*Other, 10, 5);
    StartOnItem();
    EXPECT_EQ(Result, DRAGDROP_S_CANCEL);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 10", "leave"}));
}

TEST_F(DragDropTest, ReleasingOutsideATargetDropsNothing) {
    Driver.DragDrop(*Tree, 5, 5);
    StartOnItem();
    EXPECT_EQ(Result, DRAGDROP_S_DROP);
    EXPECT_EQ(Effect, DROPEFFECT_NONE);
    EXPECT_TRUE(Log.empty());
    EXPECT_FALSE(RegisterDragDrop(Other->Handle(), std::make_shared<TRecordingTarget>(Log, 0)));
    EXPECT_NE(
        ClipboardFormatMimeType(RegisterClipboardFormat("Shell IDList Array")).find("Shell%20IDList%20Array"),
        std::string::npos);
}

TEST_F(DragDropTest, ATargetGoesWithItsWindow) {
    auto* box = NewComponent<TTreeView>(Form);
    box->SetParent(Form);
    box->SetBounds(0, 0, 20, 20);
    auto target = std::make_shared<TRecordingTarget>(Log, DROPEFFECT_COPY);
    std::weak_ptr<TRecordingTarget> watch = target;
    const HWND wnd = box->Handle();
    ASSERT_TRUE(RegisterDragDrop(wnd, std::move(target)));
    EXPECT_FALSE(RegisterDragDrop(wnd, std::make_shared<TRecordingTarget>(Log, DROPEFFECT_COPY)));
    box->Free();
    // The registration went with the window: the target is released and the handle is free again.
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(RevokeDragDrop(wnd));
}

}  // namespace
}  // namespace framework

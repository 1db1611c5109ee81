#include "framework/ui/DragDrop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <string>
#include <vector>

#include "framework/stdctrls/TreeView.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/WindowsImpl.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Paths.h"
#include "platform/testsupport/TestDrives.h"

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

// What a data object offers, as "format: text" lines (the file-drop list's names joined by '|').
std::vector<std::string> Offered(IDataObject& Data) {
    std::vector<std::string> out;
    std::shared_ptr<IEnumFORMATETC> formats;
    if (Data.EnumFormatEtc(DATADIR_GET, formats) != S_OK) return out;
    FORMATETC f;
    uint32_t fetched = 0;
    while (formats->Next(1, &f, &fetched) == S_OK && fetched == 1) {
        STGMEDIUM m;
        EXPECT_EQ(Data.GetData(f, m), S_OK);
        const std::vector<uint8_t>& bytes = *m.hGlobal;
        std::string text;
        if (f.cfFormat == CF_HDROP) {
            std::vector<std::string> names;
            EXPECT_TRUE(ReadFileDropList(bytes.data(), bytes.size(), names));
            for (const auto& n : names) text += (text.empty() ? "" : "|") + n;
            out.push_back("files: " + text);
        } else if (f.cfFormat == CF_TEXT) {
            out.push_back("text: " + std::string(reinterpret_cast<const char*>(bytes.data())));
        } else {
            out.push_back("lists: " + std::to_string(bytes.size()));
        }
    }
    return out;
}

TEST(ExternalDrop, MimeDataBecomesTheFileDropListTheIDListsAndText) {
    platform::testsupport::TTempFolder disk;
    platform::testsupport::TScopedDrives drives("D=" + disk.Path());
    disk.WriteFile("a.txt", "a");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(disk / "a.txt")),
                  QUrl::fromLocalFile("/nowhere/on/a/drive.txt"), QUrl("https://example.invalid/x")});
    mime.setText(QString::fromUtf8("caf\xc3\xa9"));
    const QString lists =
        QString::fromStdString(ClipboardFormatMimeType(RegisterClipboardFormat("Shell IDList Array")));
    mime.setData(lists, QByteArray("\x05\x00\x00\x00", 4));  // not well formed: left out
    auto data = DataObjectFromMime(mime);
    EXPECT_EQ(Offered(*data), (std::vector<std::string>{"files: D:\\a.txt", "text: caf\xe9"}));
    FORMATETC f;
    f.cfFormat = CF_HDROP;
    f.tymed = 0;
    EXPECT_EQ(data->QueryGetData(f), DV_E_TYMED);
    f.cfFormat = 77;
    f.tymed = TYMED_HGLOBAL;
    EXPECT_EQ(data->QueryGetData(f), DV_E_FORMATETC);

    // A well-formed array passes unchanged: one item under the desktop.
    const uint8_t good[] = {1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 4, 0, 'X', 0, 0, 0};
    QMimeData second;
    second.setData(lists, QByteArray(reinterpret_cast<const char*>(good), sizeof good));
    EXPECT_EQ(Offered(*DataObjectFromMime(second)), std::vector<std::string>{"lists: 20"});
}

// Another program's drag reaching a window: its Qt events go to the window's registered target.
TEST_F(DragDropTest, AnotherProgramsDragReachesTheTargetOfTheWindowUnderIt) {
    QWidget* widget = FindRecord(Other->Handle())->Widget;
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->acceptDrops());
    QWidget* plain = FindRecord(Tree->Handle())->Widget;
    EXPECT_FALSE(plain->acceptDrops());
    // Points in the widget: the client area lies inside the window's border.
    const QPoint o = ClientOffset(*FindRecord(Other->Handle()));
    QMimeData mime;
    mime.setText("hello");
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(o + QPoint(10, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(o + QPoint(20, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(o + QPoint(30, 5)), actions, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 10", "over 20", "drop 30"}));

    // A target that takes nothing refuses the moves; leaving tells it.
    Log.clear();
    RevokeDragDrop(Other->Handle());
    EXPECT_FALSE(widget->acceptDrops());
    ASSERT_TRUE(RegisterDragDrop(Other->Handle(), std::make_shared<TRecordingTarget>(Log, 0)));
    QDragEnterEvent enter2(o + QPoint(10, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter2);
    QDragMoveEvent move2(o + QPoint(12, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move2);
    EXPECT_FALSE(move2.isAccepted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(widget, &leave);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 10", "over 12", "leave"}));
}

}  // namespace
}  // namespace framework

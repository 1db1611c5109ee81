#include "framework/ui/DragDrop.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "framework/ui/Clipbrd.h"
#include "framework/ui/Windows.h"
#include "framework/ui/WindowsImpl.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace framework {

using namespace platform;

namespace {

std::map<HWND, std::shared_ptr<IDropTarget>>& Targets() {
    static std::map<HWND, std::shared_ptr<IDropTarget>> targets;
    return targets;
}

TDragDriver& Driver() {
    static TDragDriver driver;
    return driver;
}

IDropTarget* TargetOf(HWND Wnd) {
    const auto it = Targets().find(Wnd);
    return it == Targets().end() ? nullptr : it->second.get();
}

// Every format the data object offers, as MIME data.
QMimeData* MimeDataOf(IDataObject& Data) {
    auto* mime = new QMimeData;
    std::shared_ptr<IEnumFORMATETC> formats;
    if (Data.EnumFormatEtc(DATADIR_GET, formats) != S_OK || !formats) return mime;
    FORMATETC format;
    uint32_t fetched = 0;
    for (;;) {
        formats->Next(1, &format, &fetched);
        if (fetched == 0) break;
        STGMEDIUM medium;
        if (Data.GetData(format, medium) != S_OK || !medium.hGlobal) continue;
        const std::vector<uint8_t>& bytes = *medium.hGlobal;
        const QByteArray block(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qsizetype>(bytes.size()));
        if (format.cfFormat == CF_TEXT) {
            std::string text(bytes.begin(), bytes.end());
            if (const size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
            mime->setText(QString::fromStdString(AnsiToUtf8(text)));
            continue;
        }
        mime->setData(QString::fromStdString(ClipboardFormatMimeType(format.cfFormat)), block);
        if (format.cfFormat == CF_HDROP) {
            std::vector<std::string> names;
            QList<QUrl> urls;
            if (ReadFileDropList(bytes.data(), bytes.size(), names)) {
                for (const auto& name : names) {
                    std::string native;
                    if (ResolveExistingPath(name, native))
                        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(native)));
                }
            }
            mime->setUrls(urls);
        }
    }
    return mime;
}

class TFormatList : public IEnumFORMATETC {
public:
    TFormatList(std::vector<FORMATETC> Formats, uint32_t Position)
        : FFormats(std::move(Formats)), FPosition(Position) {}
    HRESULT Next(uint32_t Count, FORMATETC* Records, uint32_t* Fetched) override {
        uint32_t n = 0;
        while (n < Count && FPosition < FFormats.size()) Records[n++] = FFormats[FPosition++];
        if (Fetched) *Fetched = n;
        return n == Count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t Count) override {
        FPosition = std::min<size_t>(FFormats.size(), size_t(FPosition) + Count);
        return FPosition < FFormats.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        FPosition = 0;
        return S_OK;
    }
    HRESULT Clone(std::shared_ptr<IEnumFORMATETC>& Result) override {
        Result = std::make_shared<TFormatList>(FFormats, FPosition);
        return S_OK;
    }

private:
    std::vector<FORMATETC> FFormats;
    uint32_t FPosition;
};

// What another program's drag carries, in the formats of this program's drop targets.
class TMimeDataObject : public IDataObject {
public:
    explicit TMimeDataObject(const QMimeData& Mime) {
        std::vector<std::string> paths;
        for (const QUrl& url : Mime.urls()) {
            if (!url.isLocalFile()) continue;
            const std::string path = NativeToWindowsPath(url.toLocalFile().toStdString());
            if (!path.empty()) paths.push_back(path);
        }
        if (!paths.empty()) {
            // The file-drop list: the offset of the names (20) in a 20-byte header, the names.
            std::vector<uint8_t> block(20, 0);
            block[0] = 20;
            for (const auto& path : paths) {
                block.insert(block.end(), path.begin(), path.end());
                block.push_back(0);
            }
            block.push_back(0);
            Add(CF_HDROP, std::move(block));
        }
        const unsigned lists = RegisterClipboardFormat("Shell IDList Array");
        const QString listsType = QString::fromStdString(ClipboardFormatMimeType(lists));
        if (Mime.hasFormat(listsType)) {
            const QByteArray bytes = Mime.data(listsType);
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
            TIDListArray check;
            if (ReadIDListArray(data, static_cast<size_t>(bytes.size()), check))
                Add(static_cast<uint16_t>(lists), std::vector<uint8_t>(data, data + bytes.size()));
        }
        if (Mime.hasText()) {
            const std::string text = Utf8ToAnsi(Mime.text().toStdString());
            std::vector<uint8_t> block(text.begin(), text.end());
            block.push_back(0);
            Add(CF_TEXT, std::move(block));
        }
    }

    HRESULT GetData(const FORMATETC& Format, STGMEDIUM& Medium) override {
        const HRESULT query = QueryGetData(Format);
        if (query != S_OK) return query;
        Medium = STGMEDIUM{};
        Medium.tymed = TYMED_HGLOBAL;
        for (const auto& [format, bytes] : FData)
            if (format.cfFormat == Format.cfFormat) Medium.hGlobal = bytes;
        return S_OK;
    }
    HRESULT GetDataHere(const FORMATETC&, STGMEDIUM&) override { return E_NOTIMPL; }
    HRESULT QueryGetData(const FORMATETC& Format) override {
        for (const auto& entry : FData)
            if (entry.first.cfFormat == Format.cfFormat)
                return Format.tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
        return DV_E_FORMATETC;
    }
    HRESULT GetCanonicalFormatEtc(const FORMATETC&, FORMATETC& Out) override {
        Out.ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetData(const FORMATETC&, STGMEDIUM&, bool) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(uint32_t Direction, std::shared_ptr<IEnumFORMATETC>& Result) override {
        if (Direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        for (const auto& entry : FData) formats.push_back(entry.first);
        Result = std::make_shared<TFormatList>(std::move(formats), 0);
        return S_OK;
    }
    HRESULT DAdvise() override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise() override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(void**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    void Add(uint16_t Format, std::vector<uint8_t> Bytes) {
        FORMATETC f;
        f.cfFormat = Format;
        f.dwAspect = DVASPECT_CONTENT;
        f.tymed = TYMED_HGLOBAL;
        FData.emplace_back(f, std::move(Bytes));
    }
    std::vector<std::pair<FORMATETC, std::vector<uint8_t>>> FData;
};

// The drag of another program now over one of this program's windows.
struct TExternalDrag {
    HWND Wnd = 0;
    std::shared_ptr<IDataObject> Data;
};
TExternalDrag& External() {
    static TExternalDrag drag;
    return drag;
}

HRESULT DesktopDrag(IDataObject& Data, uint32_t OkEffects, uint32_t* Effect) {
    Qt::DropActions actions;
    if (OkEffects & DROPEFFECT_COPY) actions |= Qt::CopyAction;
    if (OkEffects & DROPEFFECT_MOVE) actions |= Qt::MoveAction;
    if (OkEffects & DROPEFFECT_LINK) actions |= Qt::LinkAction;
    auto* drag = new QDrag(qApp);
    drag->setMimeData(MimeDataOf(Data));
    const Qt::DropAction done = drag->exec(actions);
    drag->deleteLater();
    uint32_t effect = DROPEFFECT_NONE;
    if (done == Qt::CopyAction) effect = DROPEFFECT_COPY;
    if (done == Qt::MoveAction || done == Qt::TargetMoveAction) effect = DROPEFFECT_MOVE;
    if (done == Qt::LinkAction) effect = DROPEFFECT_LINK;
    if (Effect) *Effect = effect;
    return effect == DROPEFFECT_NONE ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
}

}  // namespace

bool RegisterDragDrop(HWND Wnd, std::shared_ptr<IDropTarget> Target) {
    if (!IsWindow(Wnd) || !Target || Targets().count(Wnd)) return false;
    Targets()[Wnd] = std::move(Target);
    // Other programs' drags reach the window from now on.
    if (WindowRecord* r = FindRecord(Wnd); r && r->Widget) r->Widget->setAcceptDrops(true);
    return true;
}

bool RevokeDragDrop(HWND Wnd) {
    if (WindowRecord* r = FindRecord(Wnd); r && r->Widget) r->Widget->setAcceptDrops(false);
    if (External().Wnd == Wnd) External() = TExternalDrag{};
    return Targets().erase(Wnd) > 0;
}

std::shared_ptr<IDataObject> DataObjectFromMime(const QMimeData& Mime) {
    return std::make_shared<TMimeDataObject>(Mime);
}

void ExternalDragEvent(HWND Wnd, QDropEvent* Event, int Kind, TPoint ClientPt) {
    IDropTarget* target = TargetOf(Wnd);
    if (!target || !Event->mimeData()) {
        Event->ignore();
        return;
    }
    const Qt::DropActions possible = Event->possibleActions();
    uint32_t ok = DROPEFFECT_NONE;
    if (possible & Qt::CopyAction) ok |= DROPEFFECT_COPY;
    if (possible & Qt::MoveAction) ok |= DROPEFFECT_MOVE;
    if (possible & Qt::LinkAction) ok |= DROPEFFECT_LINK;
    uint32_t keys = 0;
    if (Event->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
    if (Event->modifiers() & Qt::ControlModifier) keys |= framework::MK_CONTROL;
    if (Event->modifiers() & Qt::ShiftModifier) keys |= framework::MK_SHIFT;
    TExternalDrag& drag = External();
    uint32_t effect = ok;
    if (Kind == 2) {
        std::shared_ptr<IDataObject> data =
            drag.Wnd == Wnd && drag.Data ? drag.Data : DataObjectFromMime(*Event->mimeData());
        drag = TExternalDrag{};
        target->Drop(data.get(), keys & ~MK_LBUTTON, ClientPt, effect);
    } else if (Kind == 0 || drag.Wnd != Wnd || !drag.Data) {
        if (drag.Wnd && drag.Wnd != Wnd)
            if (IDropTarget* old = TargetOf(drag.Wnd)) old->DragLeave();
        drag.Wnd = Wnd;
        drag.Data = DataObjectFromMime(*Event->mimeData());
        target->DragEnter(drag.Data.get(), keys, ClientPt, effect);
    } else {
        target->DragOver(keys, ClientPt, effect);
    }
    effect &= ok;
    Qt::DropAction action = Qt::IgnoreAction;
    if (effect & DROPEFFECT_MOVE)
        action = Qt::MoveAction;
    else if (effect & DROPEFFECT_COPY)
        action = Qt::CopyAction;
    else if (effect & DROPEFFECT_LINK)
        action = Qt::LinkAction;
    // The enter is taken even where nothing may drop, so that the moves that follow arrive.
    if (action == Qt::IgnoreAction && Kind != 0) {
        Event->ignore();
        return;
    }
    Event->setDropAction(action);
    Event->accept();
}

void ExternalDragLeave(HWND Wnd) {
    TExternalDrag& drag = External();
    if (drag.Wnd != Wnd) return;
    drag = TExternalDrag{};
    if (IDropTarget* target = TargetOf(Wnd)) target->DragLeave();
}

void SetDragDriver(TDragDriver NewDriver) {
    Driver() = std::move(NewDriver);
}

HRESULT DoDragDrop(const std::shared_ptr<IDataObject>& Data, const std::shared_ptr<IDropSource>& Source,
                   uint32_t OkEffects, uint32_t* Effect) {
    if (Effect) *Effect = DROPEFFECT_NONE;
    if (!Data || !Source) return E_OUTOFMEMORY;
    if (!Driver()) return DesktopDrag(*Data, OkEffects, Effect);

    HWND over = 0;
    uint32_t effect = DROPEFFECT_NONE;
    for (;;) {
        TDragStep step;
        // A driver that has run out of steps ends the drag as Escape would.
        if (!Driver()(step)) step.Kind = TDragStep::Escape;
        if (step.Kind != TDragStep::Escape) {
            // The pointer reaches the step's window first.
            if (step.Target != over) {
                if (IDropTarget* old = TargetOf(over)) old->DragLeave();
                over = step.Target;
                effect = OkEffects;
                if (IDropTarget* target = TargetOf(over))
                    target->DragEnter(Data.get(), MK_LBUTTON, step.Pt, effect);
                else
                    effect = DROPEFFECT_NONE;
            } else if (IDropTarget* target = TargetOf(over)) {
                effect = OkEffects;
                target->DragOver(MK_LBUTTON, step.Pt, effect);
            }
            effect &= OkEffects;
            Source->GiveFeedback(effect);
        }
        const uint32_t keyState = step.Kind == TDragStep::Release ? 0 : MK_LBUTTON;
        const HRESULT answer = Source->QueryContinueDrag(step.Kind == TDragStep::Escape, keyState);
        if (answer == DRAGDROP_S_CANCEL) {
            if (IDropTarget* target = TargetOf(over)) target->DragLeave();
            return DRAGDROP_S_CANCEL;
        }
        if (answer == DRAGDROP_S_DROP) {
            IDropTarget* target = TargetOf(over);
            if (target && effect != DROPEFFECT_NONE) {
                effect = OkEffects;
                target->Drop(Data.get(), 0, step.Pt, effect);
                if (Effect) *Effect = effect & OkEffects;
            } else if (target) {
                target->DragLeave();
            }
            return DRAGDROP_S_DROP;
        }
    }
}

}  // namespace framework

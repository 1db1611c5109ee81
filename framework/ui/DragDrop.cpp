#include "framework/ui/DragDrop.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "framework/ui/Clipbrd.h"
#include "framework/ui/Windows.h"
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
    return true;
}

bool RevokeDragDrop(HWND Wnd) {
    return Targets().erase(Wnd) > 0;
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

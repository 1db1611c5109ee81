#include "framework/ui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "framework/ui/Windows.h"

namespace framework {

namespace {
QClipboard* Board() {
    EnsureGuiApplication();
    return QGuiApplication::clipboard();
}
}  // namespace

std::string TClipboard::AsText() const {
    QClipboard* b = Board();
    return b ? Utf16ToAnsi(b->text().toStdU16String()) : std::string();
}

void TClipboard::SetAsText(const std::string& Value) {
    if (QClipboard* b = Board()) b->setText(QString::fromStdU16String(AnsiToUtf16(Value)));
}

bool TClipboard::HasFormat(unsigned Format) const {
    QClipboard* b = Board();
    if (!b || Format != CF_TEXT) return false;
    const QMimeData* d = b->mimeData();
    return d && d->hasText();
}

void TClipboard::Clear() {
    if (QClipboard* b = Board()) b->clear();
}

TClipboard* Clipboard() {
    static TClipboard clipboard;
    return &clipboard;
}

}  // namespace framework

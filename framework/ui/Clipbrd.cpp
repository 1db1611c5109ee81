#include "framework/ui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <map>

#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"

namespace framework {

namespace {
QClipboard* Board() {
    EnsureGuiApplication();
    return QGuiApplication::clipboard();
}

constexpr unsigned kFirstRegistered = 0xC000;

std::string UpperName(const std::string& Name) {
    std::string k = Name;
    for (char& c : k)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return k;
}

struct FormatNames {
    std::map<std::string, unsigned> ByName;  // upper-case name → number
    std::vector<std::string> Names;          // number − 0xC000 → name as first registered
};
FormatNames& Registered() {
    static FormatNames names;
    return names;
}

// The MIME type that carries a format's data: the registered name, percent-encoded, so that
// another process finds the data under its own number for the same name; a predefined format by
// its number.
QString MimeOf(unsigned Format) {
    const auto& names = Registered().Names;
    if (Format >= kFirstRegistered && Format - kFirstRegistered < names.size()) {
        const std::string& name = names[Format - kFirstRegistered];
        QByteArray encoded = QByteArray(name.data(), static_cast<qsizetype>(name.size())).toPercentEncoding();
        return QStringLiteral("application/x-korvane-format;name=") + QString::fromLatin1(encoded);
    }
    return QStringLiteral("application/x-korvane-format;number=") + QString::number(Format);
}
}  // namespace

std::string ClipboardFormatMimeType(unsigned Format) {
    return MimeOf(Format).toStdString();
}

unsigned RegisterClipboardFormat(const std::string& Name) {
    if (Name.empty()) return 0;
    auto& r = Registered();
    const std::string key = UpperName(Name);
    auto it = r.ByName.find(key);
    if (it != r.ByName.end()) return it->second;
    const unsigned number = kFirstRegistered + static_cast<unsigned>(r.Names.size());
    r.ByName.emplace(key, number);
    r.Names.push_back(Name);
    return number;
}

// What Open/Close collects before handing it to the clipboard.
struct TClipboard::TPending {
    bool Text = false;
    std::string TextValue;
    std::map<unsigned, std::vector<uint8_t>> Data;
    bool Changed = false;
};

TClipboard::TClipboard() : FPending(std::make_unique<TPending>()) {}
TClipboard::~TClipboard() = default;

void TClipboard::Open() {
    if (FOpenCount++ == 0) *FPending = TPending{};
}

void TClipboard::Close() {
    if (FOpenCount == 0 || --FOpenCount > 0) return;
    if (!FPending->Changed) return;
    QClipboard* b = Board();
    if (!b) return;
    auto* mime = new QMimeData;  // the clipboard takes ownership
    if (FPending->Text) mime->setText(QString::fromStdU16String(AnsiToUtf16(FPending->TextValue)));
    for (const auto& [format, bytes] : FPending->Data)
        mime->setData(MimeOf(format), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<qsizetype>(bytes.size())));
    b->setMimeData(mime);
    *FPending = TPending{};
}

std::string TClipboard::AsText() const {
    QClipboard* b = Board();
    return b ? Utf16ToAnsi(b->text().toStdU16String()) : std::string();
}

void TClipboard::SetAsText(const std::string& Value) {
    Open();
    FPending->Text = true;
    FPending->TextValue = Value;
    FPending->Changed = true;
    Close();
}

std::vector<uint8_t> TClipboard::GetAsData(unsigned Format) const {
    QClipboard* b = Board();
    const QMimeData* d = b ? b->mimeData() : nullptr;
    if (!d) return {};
    if (Format == CF_TEXT) {
        if (!d->hasText()) return {};
        std::string text = AsText();
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    const QString mime = MimeOf(Format);
    if (!d->hasFormat(mime)) return {};
    const QByteArray bytes = d->data(mime);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void TClipboard::SetAsData(unsigned Format, const std::vector<uint8_t>& Data) {
    Open();
    if (Format == CF_TEXT) {
        FPending->Text = true;
        FPending->TextValue.assign(Data.begin(), Data.end());
    } else {
        FPending->Data[Format] = Data;
    }
    FPending->Changed = true;
    Close();
}

bool TClipboard::HasFormat(unsigned Format) const {
    QClipboard* b = Board();
    const QMimeData* d = b ? b->mimeData() : nullptr;
    if (!d) return false;
    if (Format == CF_TEXT) return d->hasText();
    return d->hasFormat(MimeOf(Format));
}

void TClipboard::Clear() {
    if (FOpenCount > 0) *FPending = TPending{};
    if (QClipboard* b = Board()) b->clear();
}

void TClipboard::Assign(TPicture& Picture) {
    unsigned format = 0;
    std::vector<uint8_t> data;
    HPALETTE palette = 0;
    // Held open so that formats the graphic puts on the clipboard itself join its returned one.
    Open();
    try {
        Picture.SaveToClipboardFormat(format, data, palette);
        SetAsData(format, data);
    } catch (...) {
        *FPending = TPending{};  // nothing of a failed transfer reaches the clipboard
        Close();
        throw;
    }
    Close();
}

TClipboard* Clipboard() {
    static TClipboard clipboard;
    return &clipboard;
}

}  // namespace framework

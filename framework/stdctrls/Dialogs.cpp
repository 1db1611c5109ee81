#include "framework/stdctrls/Dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <algorithm>

#include "framework/core/SysUtils.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace framework {

namespace {
TCommonDialogAnswerer gDialogAnswerer;

QString Q(const std::string& S) {
    return QString::fromStdU16String(AnsiToUtf16(S));
}
std::string A(const QString& S) {
    return Utf16ToAnsi(S.toStdU16String());
}

constexpr TMsgDlgBtn kButtonOrder[] = {mbYes,    mbNo,  mbOK,      mbCancel,   mbAbort, mbRetry,
                                       mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp};
}  // namespace

std::string MsgDlgButtonCaption(TMsgDlgBtn B) {
    switch (B) {
        case mbYes:
            return "&Yes";
        case mbNo:
            return "&No";
        case mbOK:
            return "OK";
        case mbCancel:
            return "Cancel";
        case mbAbort:
            return "&Abort";
        case mbRetry:
            return "&Retry";
        case mbIgnore:
            return "&Ignore";
        case mbAll:
            return "&All";
        case mbNoToAll:
            return "N&o to All";
        case mbYesToAll:
            return "Yes to &All";
        case mbHelp:
            return "&Help";
    }
    return "";
}

TModalResult MsgDlgButtonResult(TMsgDlgBtn B) {
    switch (B) {
        case mbYes:
            return mrYes;
        case mbNo:
            return mrNo;
        case mbOK:
            return mrOk;
        case mbCancel:
            return mrCancel;
        case mbAbort:
            return mrAbort;
        case mbRetry:
            return mrRetry;
        case mbIgnore:
            return mrIgnore;
        case mbAll:
            return mrAll;
        case mbNoToAll:
            return mrNoToAll;
        case mbYesToAll:
            return mrYesToAll;
        case mbHelp:
            return mrNone;
    }
    return mrNone;
}

std::string MsgDlgTypeCaption(TMsgDlgType T) {
    switch (T) {
        case mtWarning:
            return "Warning";
        case mtError:
            return "Error";
        case mtInformation:
            return "Information";
        case mtConfirmation:
            return "Confirm";
        case mtCustom:
            break;
    }
    return Application ? Application->Title : "";
}

TMessageIcon::TMessageIcon(TComponent* AOwner, TMsgDlgType Kind) : TGraphicControl(AOwner), FKind(Kind) {
    FWidth = 32;
    FHeight = 32;
}

void TMessageIcon::Paint() {
    TCanvas& c = Canvas();
    c.Pen.Color = clBlack;
    c.Font.Name = "Arial";
    c.Font.Style = fsBold;
    c.Font.SetSize(16);
    auto mark = [&](const std::string& Text, TColor Color, int Y) {
        c.Brush.Style = bsClear;
        c.Font.Color = Color;
        c.TextOut((32 - c.TextWidth(Text)) / 2, Y, Text);
        c.Brush.Style = bsSolid;
    };
    switch (FKind) {
        case mtWarning:
            c.Brush.Color = clYellow;
            c.Polygon({Point(15, 1), Point(16, 1), Point(31, 29), Point(0, 29)});
            mark("!", clBlack, 6);
            break;
        case mtError:
            c.Brush.Color = clRed;
            c.Ellipse(1, 1, 31, 31);
            c.Pen.Color = clWhite;
            c.Pen.Width = 3;
            c.MoveTo(10, 10);
            c.LineTo(22, 22);
            c.MoveTo(22, 10);
            c.LineTo(10, 22);
            c.Pen.Width = 1;
            break;
        case mtInformation:
        case mtConfirmation:
            // A balloon: a white disc with a tail at the bottom left, the mark in blue.
            c.Brush.Color = clWhite;
            c.Polygon({Point(6, 22), Point(4, 31), Point(14, 25)});
            c.Ellipse(1, 1, 31, 27);
            mark(FKind == mtInformation ? "i" : "?", clBlue, 2);
            break;
        case mtCustom:
            break;
    }
}

TMessageForm::TMessageForm(TComponent* AOwner, const std::string& Msg, TMsgDlgType DlgType,
                           TMsgDlgButtons Buttons)
    : TForm(AOwner), FDlgType(DlgType), FButtons(Buttons), FMessage(Msg) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption(MsgDlgTypeCaption(DlgType));
    constexpr int kMargin = 8, kButtonW = 75, kButtonH = 25, kGap = 6, kIcon = 40;
    int left = DlgType == mtCustom ? kMargin : kMargin + kIcon;
    FLabel = NewComponent<TLabel>(this);
    FLabel->SetName("Message");
    FLabel->SetParent(this);
    FLabel->SetShowAccelChar(false);
    FLabel->SetAutoSize(false);
    FLabel->SetWordWrap(false);
    FLabel->SetCaption(Msg);
    // The form is still being built, when a label does not size itself yet: the label takes the
    // size of its text here, measured with its own font. Long lines wrap at 400 pixels.
    auto widest = [this] {
        int w = 0;
        for (const std::string& line : FLabel->WrappedLines())
            w = std::max(w, FLabel->Canvas().TextWidth(line));
        return w;
    };
    int labelWidth = widest();
    if (labelWidth > 400) {
        FLabel->SetWidth(400);
        FLabel->SetWordWrap(true);
        labelWidth = widest();
    }
    const int lineCount = static_cast<int>(FLabel->WrappedLines().size());
    FLabel->SetBounds(left, kMargin + 4, labelWidth, lineCount * FLabel->Canvas().TextHeight("Wg"));
    if (DlgType != mtCustom) {
        FIcon = NewComponent<TMessageIcon>(this, DlgType);
        FIcon->SetName("Image");
        FIcon->SetParent(this);
        FIcon->SetBounds(kMargin, kMargin, 32, 32);
    }

    TMsgDlgBtn def = Buttons.Contains(mbOK) ? mbOK : Buttons.Contains(mbYes) ? mbYes : mbRetry;
    TMsgDlgBtn cancel = Buttons.Contains(mbCancel) ? mbCancel : Buttons.Contains(mbNo) ? mbNo : mbOK;
    int count = 0;
    for (TMsgDlgBtn b : kButtonOrder)
        if (Buttons.Contains(b)) ++count;
    int rowWidth = count * kButtonW + std::max(0, count - 1) * kGap;
    int textBottom = std::max(FLabel->Top() + FLabel->Height(), DlgType == mtCustom ? 0 : kMargin + 32);
    int width = std::max(left + FLabel->Width() + kMargin, rowWidth + 2 * kMargin);
    SetClientSize(width, textBottom + 16 + kButtonH + kMargin);
    int x = (width - rowWidth) / 2;
    for (TMsgDlgBtn b : kButtonOrder) {
        if (!Buttons.Contains(b)) continue;
        TButton* button = NewComponent<TButton>(this);
        button->SetParent(this);
        button->SetCaption(MsgDlgButtonCaption(b));
        button->ModalResult = MsgDlgButtonResult(b);
        button->SetBounds(x, textBottom + 16, kButtonW, kButtonH);
        if (b == def) button->SetDefault(true);
        if (b == cancel) button->Cancel = true;
        if (b == def) SetActiveControl(button);
        FButtonList.emplace_back(b, button);
        x += kButtonW + kGap;
    }
}

TButton* TMessageForm::Button(TMsgDlgBtn B) const {
    for (const auto& [b, button] : FButtonList)
        if (b == B) return button;
    return nullptr;
}

TMessageForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    return TCustomForm::Create<TMessageForm>(Application, Msg, DlgType, Buttons);
}

TModalResult MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                           int X, int Y) {
    TMessageForm* form = CreateMessageDialog(Msg, DlgType, Buttons);
    (void)HelpCtx;
    if (X >= 0) form->SetLeft(X);
    if (Y >= 0) form->SetTop(Y);
    if (X >= 0 || Y >= 0) form->Position = poDesigned;
    TModalResult r = mrNone;
    try {
        r = form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return r;
}

TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    return MessageDlgPos(Msg, DlgType, Buttons, HelpCtx, -1, -1);
}

void ShowMessage(const std::string& Msg) {
    MessageDlg(Msg, mtCustom, {mbOK}, 0);
}

int MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags) {
    TMessageBoxRequest r;
    r.Text = Text;
    r.Caption = Caption;
    r.Flags = Flags;
    return ShowMessageBox(r);
}

bool MessageBeep(uint32_t Type) {
    return platform::MessageBeep(Type);
}

namespace {
class TInputQueryForm : public TForm {
public:
    TInputQueryForm(TComponent* AOwner, const std::string& ACaption, const std::string& APrompt,
                    const std::string& Value)
        : TForm(AOwner) {
        SetBorderStyle(bsDialog);
        Position = poScreenCenter;
        SetCaption(ACaption);
        SetClientSize(260, 100);
        Prompt = NewComponent<TLabel>(this);
        Prompt->SetParent(this);
        Prompt->SetBounds(8, 8, 240, 13);
        Prompt->SetCaption(APrompt);
        Edit = NewComponent<TEdit>(this);
        Edit->SetName("Edit");
        Edit->SetParent(this);
        Edit->SetBounds(8, 26, 244, 21);
        Edit->SetText(Value);
        Edit->SetMaxLength(255);
        Prompt->SetFocusControl(Edit);
        auto* ok = NewComponent<TButton>(this);
        ok->SetParent(this);
        ok->SetCaption("OK");
        ok->ModalResult = mrOk;
        ok->SetDefault(true);
        ok->SetBounds(96, 64, 75, 25);
        auto* cancel = NewComponent<TButton>(this);
        cancel->SetParent(this);
        cancel->SetCaption("Cancel");
        cancel->ModalResult = mrCancel;
        cancel->Cancel = true;
        cancel->SetBounds(177, 64, 75, 25);
        SetActiveControl(Edit);
    }
    TLabel* Prompt;
    TEdit* Edit;
};
}  // namespace

bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value) {
    auto* form = TCustomForm::Create<TInputQueryForm>(Application, ACaption, APrompt, Value);
    bool ok = false;
    try {
        ok = form->ShowModal() == mrOk;
        if (ok) Value = form->Edit->Text();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return ok;
}

std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& ADefault) {
    std::string v = ADefault;
    InputQuery(ACaption, APrompt, v);
    return v;
}

// ---------------------------------------------------------------------------------------------
// Common dialogs

void SetCommonDialogAnswerer(TCommonDialogAnswerer Answerer) {
    gDialogAnswerer = std::move(Answerer);
}
bool HasCommonDialogAnswerer() {
    return static_cast<bool>(gDialogAnswerer);
}

TCommonDialog::TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TCommonDialog::AskAnswerer(bool& Answered) {
    Answered = static_cast<bool>(gDialogAnswerer);
    if (!Answered) return false;
    if (OnShow) OnShow(this);
    bool r = gDialogAnswerer(*this);
    if (OnClose) OnClose(this);
    return r;
}

namespace {
std::string NativeOf(const std::string& WindowsPath) {
    if (WindowsPath.empty()) return "";
    platform::TNativePath p;
    if (platform::ResolveWindowsPath(WindowsPath, p)) return p.Native;
    return "";
}

// "Text files (*.txt)|*.txt|All files|*.*" in the form the platform's dialog takes.
QStringList QtFilters(const std::string& Filter) {
    QStringList r;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= Filter.size()) {
        size_t bar = Filter.find('|', start);
        parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string masks = parts[i + 1];
        std::replace(masks.begin(), masks.end(), ';', ' ');
        r << Q(parts[i] + " (" + masks + ")");
    }
    return r;
}
}  // namespace

TOpenDialog::TOpenDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), FFiles(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Accept() {
    if (FileName.empty()) return false;
    // A name without an extension takes the default one.
    size_t slash = FileName.find_last_of("\\/:");
    size_t dot = FileName.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (!DefaultExt.empty() && dot == std::string::npos) FileName += "." + DefaultExt;
    if (FFiles->Count() == 0) FFiles->Add(FileName);
    if (IsSave() && (Options & ofOverwritePrompt) &&
        platform::GetFileAttributes(FileName) != platform::INVALID_FILE_ATTRIBUTES) {
        TMessageBoxRequest q;
        q.Caption = DisplayTitle();
        q.Text = FileName + " already exists.\nDo you want to replace it?";
        q.Flags = MB_YESNO | MB_ICONWARNING;
        if (ShowMessageBox(q) != IDYES) return false;
    }
    return true;
}

bool TOpenDialog::Execute() {
    FFiles->Clear();
    bool answered;
    bool ok = AskAnswerer(answered);
    if (!answered) {
        EnsureGuiApplication();
        QFileDialog d(nullptr, Q(DisplayTitle()));
        d.setAcceptMode(IsSave() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        d.setFileMode(IsSave()                         ? QFileDialog::AnyFile
                      : (Options & ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                       : QFileDialog::ExistingFile);
        d.setOption(QFileDialog::DontConfirmOverwrite, true);
        QStringList filters = QtFilters(Filter);
        if (!filters.isEmpty()) {
            d.setNameFilters(filters);
            if (FilterIndex >= 1 && FilterIndex <= filters.size())
                d.selectNameFilter(filters[FilterIndex - 1]);
        }
        std::string dir = NativeOf(InitialDir);
        if (!dir.empty()) d.setDirectory(QString::fromStdString(dir));
        if (!FileName.empty()) {
            size_t slash = FileName.find_last_of("\\/:");
            d.selectFile(Q(slash == std::string::npos ? FileName : FileName.substr(slash + 1)));
        }
        if (OnShow) OnShow(this);
        ok = d.exec() == QDialog::Accepted;
        if (OnClose) OnClose(this);
        if (ok) {
            FilterIndex = std::max(1, static_cast<int>(filters.indexOf(d.selectedNameFilter())) + 1);
            for (const QString& f : d.selectedFiles())
                FFiles->Add(platform::NativeToWindowsPath(f.toStdString()));
            if (FFiles->Count() > 0) FileName = FFiles->Get(0);
        }
    }
    return ok && Accept();
}

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

bool TFontDialog::Execute() {
    bool answered;
    bool ok = AskAnswerer(answered);
    if (answered) return ok;
    EnsureGuiApplication();
    QFont f(Q(FFont.Name), FFont.Size());
    f.setBold(FFont.Style & fsBold);
    f.setItalic(FFont.Style & fsItalic);
    f.setUnderline(FFont.Style & fsUnderline);
    f.setStrikeOut(FFont.Style & fsStrikeOut);
    QFont chosen = QFontDialog::getFont(&ok, f, nullptr, Q(DisplayTitle()));
    if (!ok) return false;
    FFont.Name = A(chosen.family());
    FFont.SetSize(chosen.pointSize());
    FFont.Style = static_cast<TFontStyles>((chosen.bold() ? fsBold : 0) | (chosen.italic() ? fsItalic : 0) |
                                           (chosen.underline() ? fsUnderline : 0) |
                                           (chosen.strikeOut() ? fsStrikeOut : 0));
    return true;
}

TColorDialog::TColorDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), FCustomColors(std::make_unique<TStringList>()) {}
TColorDialog::~TColorDialog() = default;

bool TColorDialog::Execute() {
    bool answered;
    bool ok = AskAnswerer(answered);
    if (answered) return ok;
    EnsureGuiApplication();
    // Custom colours "ColorA".."ColorP" = hex RRGGBB, to and from the platform dialog's slots.
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
        std::string v = FCustomColors->Values(std::string("Color") + static_cast<char>('A' + i));
        if (v.empty() || v == "FFFFFFFF") continue;
        uint32_t rgb = static_cast<uint32_t>(std::stoul(v, nullptr, 16));
        QColorDialog::setCustomColor(i, QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    }
    uint32_t c = ColorToRGB(Color);
    QColor chosen = QColorDialog::getColor(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF), nullptr,
                                           Q(DisplayTitle()));
    if (!chosen.isValid()) return false;
    Color = static_cast<TColor>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
        QColor q = QColorDialog::customColor(i);
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X%02X%02X", q.red(), q.green(), q.blue());
        FCustomColors->SetValue(std::string("Color") + static_cast<char>('A' + i), hex);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Printer dialogs

TPrinterSetupForm::TPrinterSetupForm(TComponent* AOwner, TPrinterDialogBase& Dialog) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption(Dialog.DisplayTitle());
    SetClientSize(320, 186);
    auto label = [&](const std::string& Caption, int Top, TWinControl* Focus) {
        auto* l = NewComponent<TLabel>(this);
        l->SetParent(this);
        l->SetCaption(Caption);
        l->SetBounds(8, Top, 80, 13);
        l->SetFocusControl(Focus);
    };
    PrinterList = NewComponent<TComboBox>(this);
    label("&Printer:", 12, PrinterList);
    PrinterList->SetName("PrinterList");
    PrinterList->SetParent(this);
    PrinterList->SetStyle(csDropDownList);
    PrinterList->SetBounds(88, 8, 224, 21);
    for (const std::string& name : Dialog.Printers) PrinterList->Items().Add(name);
    PrinterList->SetItemIndex(Dialog.PrinterIndex);

    auto* group = NewComponent<TGroupBox>(this);
    group->SetParent(this);
    group->SetCaption("Orientation");
    group->SetBounds(8, 40, 304, 64);
    Portrait = NewComponent<TRadioButton>(this);
    Portrait->SetName("Portrait");
    Portrait->SetParent(group);
    Portrait->SetCaption("P&ortrait");
    Portrait->SetBounds(12, 18, 120, 17);
    Landscape = NewComponent<TRadioButton>(this);
    Landscape->SetName("Landscape");
    Landscape->SetParent(group);
    Landscape->SetCaption("&Landscape");
    Landscape->SetBounds(12, 40, 120, 17);
    (Dialog.Orientation == poPortrait ? Portrait : Landscape)->SetChecked(true);

    PaperList = NewComponent<TComboBox>(this);
    label("Pape&r:", 120, PaperList);
    PaperList->SetName("PaperList");
    PaperList->SetParent(this);
    PaperList->SetStyle(csDropDownList);
    PaperList->SetBounds(88, 116, 224, 21);
    for (TPrinterPaper p : {ppLetter, ppLegal, ppA4}) PaperList->Items().Add(PaperName(p));
    PaperList->SetItemIndex(Dialog.Paper);

    auto* ok = NewComponent<TButton>(this);
    ok->SetName("OkBtn");
    ok->SetParent(this);
    ok->SetCaption("OK");
    ok->ModalResult = mrOk;
    ok->SetDefault(true);
    ok->SetBounds(156, 152, 75, 25);
    auto* cancel = NewComponent<TButton>(this);
    cancel->SetName("CancelBtn");
    cancel->SetParent(this);
    cancel->SetCaption("Cancel");
    cancel->ModalResult = mrCancel;
    cancel->Cancel = true;
    cancel->SetBounds(237, 152, 75, 25);
    SetActiveControl(PrinterList);
}

void TPrinterSetupForm::Store(TPrinterDialogBase& Dialog) const {
    if (PrinterList->ItemIndex() >= 0) Dialog.PrinterIndex = PrinterList->ItemIndex();
    Dialog.Orientation = Landscape->Checked() ? poLandscape : poPortrait;
    if (PaperList->ItemIndex() >= 0) Dialog.Paper = static_cast<TPrinterPaper>(PaperList->ItemIndex());
}

bool TPrinterDialogBase::Execute() {
    TPrinter& printer = Printer();
    Printers.clear();
    for (int i = 0; i < printer.Printers().Count(); ++i) Printers.push_back(printer.Printers().Get(i));
    PrinterIndex = printer.PrinterIndex();
    Orientation = printer.Orientation();
    Paper = printer.Paper();
    bool answered;
    bool ok = AskAnswerer(answered);
    if (!answered) {
        auto* form = TCustomForm::Create<TPrinterSetupForm>(Application, *this);
        try {
            if (OnShow) OnShow(this);
            ok = form->ShowModal() == mrOk;
            if (ok) form->Store(*this);
            if (OnClose) OnClose(this);
        } catch (...) {
            form->Free();
            throw;
        }
        form->Free();
    }
    if (!ok || !Accept()) return false;
    // The printer index first: an index outside the list raises before anything has changed.
    printer.SetPrinterIndex(PrinterIndex);
    printer.SetOrientation(Orientation);
    printer.SetPaper(Paper);
    return true;
}

bool TPrintDialog::Accept() {
    if (PrintRange == prPageNums) {
        FromPage = std::max(FromPage, MinPage);
        if (MaxPage > 0) ToPage = std::min(ToPage, MaxPage);
    }
    return true;
}

bool TSelectDirectoryDialog::Execute() {
    bool answered;
    bool ok = AskAnswerer(answered);
    if (answered) return ok && !Directory.empty();
    EnsureGuiApplication();
    std::string start = NativeOf(Directory.empty() ? Root : Directory);
    QString chosen = QFileDialog::getExistingDirectory(nullptr, Q(Caption), QString::fromStdString(start));
    if (chosen.isEmpty()) return false;
    Directory = platform::NativeToWindowsPath(chosen.toStdString());
    return true;
}

bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory) {
    TSelectDirectoryDialog d(nullptr);
    d.Caption = Caption;
    d.Root = Root;
    d.Directory = Directory;
    if (!d.Execute()) return false;
    Directory = d.Directory;
    return true;
}

}  // namespace framework

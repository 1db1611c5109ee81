#pragma once
// Message dialogs (MessageDlg, ShowMessage, InputQuery) built as forms of our own controls, and
// the common dialogs (open, save, font, colour, printer, folder). Modal forms go through
// ShowModal, so a test's modal answerer sees them; the common dialogs ask an answerer first when
// one is installed, else they open the platform's own dialog.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"

namespace framework {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};

// A set of dialog buttons.
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> Buttons) {
        for (TMsgDlgBtn b : Buttons) FBits |= 1u << b;
    }
    constexpr bool Contains(TMsgDlgBtn B) const { return (FBits >> B) & 1u; }
    constexpr uint32_t Bits() const { return FBits; }
    static constexpr TMsgDlgButtons FromBits(uint32_t Bits) {
        TMsgDlgButtons b;
        b.FBits = Bits;
        return b;
    }
    friend constexpr bool operator==(TMsgDlgButtons, TMsgDlgButtons) = default;

private:
    uint32_t FBits = 0;
};
constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// Caption and modal result of a button; the dialog type's caption ("Warning", "Confirm", ...).
std::string MsgDlgButtonCaption(TMsgDlgBtn Button);
TModalResult MsgDlgButtonResult(TMsgDlgBtn Button);
std::string MsgDlgTypeCaption(TMsgDlgType DlgType);

// The form MessageDlg shows: the text, one button per member of the set. Enter presses OK (else
// Yes, else Retry); Escape presses Cancel (else No, else OK) when the set has it.
// The 32 by 32 picture of a message dialog's kind: a warning triangle, an error disc, an
// information or a question balloon. Nothing for mtCustom.
class TMessageIcon : public TGraphicControl {
public:
    TMessageIcon(TComponent* AOwner, TMsgDlgType Kind);
    TMsgDlgType Kind() const { return FKind; }

protected:
    void Paint() override;

private:
    TMsgDlgType FKind;
};

class TMessageForm : public TForm {
public:
    TMessageForm(TComponent* AOwner, const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
    TMsgDlgType DlgType() const { return FDlgType; }
    TMsgDlgButtons Buttons() const { return FButtons; }
    const std::string& Message() const { return FMessage; }
    TButton* Button(TMsgDlgBtn B) const;
    TLabel* MessageLabel() const { return FLabel; }
    // The picture of the kind (nil for mtCustom).
    TMessageIcon* Icon() const { return FIcon; }

private:
    TMsgDlgType FDlgType;
    TMsgDlgButtons FButtons;
    std::string FMessage;
    TLabel* FLabel = nullptr;
    TMessageIcon* FIcon = nullptr;
    std::vector<std::pair<TMsgDlgBtn, TButton*>> FButtonList;
};

TMessageForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
TModalResult MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                           int X, int Y);
// A message with an OK button; the caption is the application's title.
void ShowMessage(const std::string& Msg);
// The platform's message box (MB_ flags); returns the ID of the button pressed.
int MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags);
// The platform's beep (MB_ICON... kind, or 0xFFFFFFFF for the simple beep).
bool MessageBeep(uint32_t Type);

// A prompt with an edit, OK and Cancel. True (Value updated) when OK closed it.
bool InputQuery(const std::string& ACaption, const std::string& APrompt, std::string& Value);
std::string InputBox(const std::string& ACaption, const std::string& APrompt, const std::string& ADefault);

// ---- Common dialogs ----

class TCommonDialog : public TComponent {
public:
    explicit TCommonDialog(TComponent* AOwner);
    // Shows the dialog; true when the user accepted it.
    virtual bool Execute() = 0;
    int HelpContext = 0;
    bool Ctl3D = true;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
    // The title the dialog shows (its own default when Title is empty).
    virtual std::string DisplayTitle() const { return ""; }

protected:
    // Asks the installed answerer; false in Answered when none is installed.
    bool AskAnswerer(bool& Answered);
};

// Sees every common dialog before it opens: fills in the dialog's fields (as a user would) and
// returns whether the user accepted it.
using TCommonDialogAnswerer = std::function<bool(TCommonDialog& Dialog)>;
void SetCommonDialogAnswerer(TCommonDialogAnswerer Answerer);
bool HasCommonDialogAnswerer();

enum TOpenOption : uint32_t {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofShowHelp = 1u << 4,
    ofNoValidate = 1u << 5,
    ofAllowMultiSelect = 1u << 6,
    ofExtensionDifferent = 1u << 7,
    ofPathMustExist = 1u << 8,
    ofFileMustExist = 1u << 9,
    ofCreatePrompt = 1u << 10,
    ofShareAware = 1u << 11,
    ofNoReadOnlyReturn = 1u << 12,
    ofNoTestFileCreate = 1u << 13,
    ofNoNetworkButton = 1u << 14,
    ofNoLongNames = 1u << 15,
    ofOldStyleDialog = 1u << 16,
    ofNoDereferenceLinks = 1u << 17,
    ofEnableIncludeNotify = 1u << 18,
    ofEnableSizing = 1u << 19,
};
using TOpenOptions = uint32_t;

class TOpenDialog : public TCommonDialog {
public:
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;
    std::string Title;
    // "Description|mask;mask|Description|mask"
    std::string Filter;
    int FilterIndex = 1;     // 1-based
    std::string DefaultExt;  // without the dot
    std::string FileName;
    std::string InitialDir;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    // The names chosen (several with ofAllowMultiSelect).
    TStrings& Files() { return *FFiles; }
    bool Execute() override;
    std::string DisplayTitle() const override { return Title.empty() ? "Open" : Title; }

protected:
    virtual bool IsSave() const { return false; }
    // After the choice: the default extension, then (save) the overwrite question.
    bool Accept();

private:
    std::unique_ptr<TStringList> FFiles;
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    std::string DisplayTitle() const override { return Title.empty() ? "Save As" : Title; }

protected:
    bool IsSave() const override { return true; }
};

class TFontDialog : public TCommonDialog {
public:
    explicit TFontDialog(TComponent* AOwner);
    TFont& Font() { return FFont; }
    int MinFontSize = 0, MaxFontSize = 0;
    bool Execute() override;
    std::string DisplayTitle() const override { return "Font"; }

private:
    TFont FFont;
};

class TColorDialog : public TCommonDialog {
public:
    explicit TColorDialog(TComponent* AOwner);
    ~TColorDialog() override;
    TColor Color = clBlack;
    // Sixteen custom colours as "ColorA=RRGGBB" ... "ColorP=RRGGBB" (hex, red first).
    TStrings& CustomColors() { return *FCustomColors; }
    bool Execute() override;
    std::string DisplayTitle() const override { return "Color"; }

private:
    std::unique_ptr<TStringList> FCustomColors;
};

enum TPrintRange { prAllPages, prSelection, prPageNums };

// The printer dialogs show the printer list, the orientation and the paper of the application's
// printer. Execute reads them from Printer() into the fields below, lets the user (or an answerer)
// change the fields, and on OK sets them on Printer(); Cancel changes nothing.
class TPrinterDialogBase : public TCommonDialog {
public:
    using TCommonDialog::TCommonDialog;
    std::vector<std::string> Printers;
    int PrinterIndex = 0;
    TPrinterOrientation Orientation = poPortrait;
    TPrinterPaper Paper = ppLetter;
    bool Execute() override;

protected:
    // After OK, before the printer is set: false keeps the dialog from being accepted.
    virtual bool Accept() { return true; }
};

class TPrinterSetupDialog : public TPrinterDialogBase {
public:
    using TPrinterDialogBase::TPrinterDialogBase;
    std::string DisplayTitle() const override { return "Print Setup"; }
};

class TPrintDialog : public TPrinterDialogBase {
public:
    using TPrinterDialogBase::TPrinterDialogBase;
    int Copies = 1;
    bool Collate = false;
    int FromPage = 0, ToPage = 0, MinPage = 0, MaxPage = 0;
    TPrintRange PrintRange = prAllPages;
    bool PrintToFile = false;
    std::string DisplayTitle() const override { return "Print"; }

protected:
    bool Accept() override;
};

// The form a printer dialog shows when no answerer is installed: the printer list ("PrinterList"),
// the orientation ("Portrait", "Landscape") and the paper ("PaperList"), OK and Cancel.
class TPrinterSetupForm : public TForm {
public:
    TPrinterSetupForm(TComponent* AOwner, TPrinterDialogBase& Dialog);
    TComboBox* PrinterList = nullptr;
    TRadioButton* Portrait = nullptr;
    TRadioButton* Landscape = nullptr;
    TComboBox* PaperList = nullptr;
    // The choices back into the dialog's fields.
    void Store(TPrinterDialogBase& Dialog) const;
};

// The dialog SelectDirectory shows, for answerers: Directory in and out.
class TSelectDirectoryDialog : public TCommonDialog {
public:
    using TCommonDialog::TCommonDialog;
    std::string Caption;
    std::string Root;
    std::string Directory;
    bool Execute() override;
    std::string DisplayTitle() const override { return Caption; }
};
bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory);

}  // namespace framework

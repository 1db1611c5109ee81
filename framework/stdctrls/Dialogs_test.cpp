#include "framework/stdctrls/Dialogs.h"

#include <gtest/gtest.h>

#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"

namespace framework {
namespace {

class DialogsTest : public ::testing::Test {
protected:
    TFormDriver Driver;
};

TEST_F(DialogsTest, MessageDlgReturnsTheQueuedAnswerAndRecordsWhatItShowed) {
    Driver.Answer(mrNo);
    EXPECT_EQ(MessageDlg("Delete the catalog?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    const auto& s = Driver.Shown[0];
    EXPECT_EQ(s.Kind, "message");
    EXPECT_EQ(s.Caption, "Confirm");
    EXPECT_EQ(s.Text, "Delete the catalog?");
    EXPECT_EQ(s.DlgType, mtConfirmation);
    EXPECT_EQ(TMsgDlgButtons::FromBits(s.Buttons), (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_EQ(s.Answer, mrNo);

    struct TCase {
        TMsgDlgType Type;
        const char* Caption;
    };
    for (const TCase& c : std::vector<TCase>{{mtWarning, "Warning"},
                                             {mtError, "Error"},
                                             {mtInformation, "Information"},
                                             {mtConfirmation, "Confirm"}}) {
        Driver.Answer(mrOk);
        MessageDlg("x", c.Type, {mbOK}, 0);
        EXPECT_EQ(Driver.Shown.back().Caption, c.Caption);
    }
    Application->Title = "Korvane";
    Driver.Answer(mrOk);
    ShowMessage("Done.");
    EXPECT_EQ(Driver.Shown.back().Caption, "Korvane");
    EXPECT_EQ(Driver.Shown.back().DlgType, mtCustom);
}

TEST_F(DialogsTest, EscapeAndEnterOnMessageDialogsPressTheButtonsTheSetHas) {
    struct TCase {
        const char* Name;
        TMsgDlgButtons Buttons;
        int Key;
        TModalResult Expected;  // mrAbort: the dialog stayed open (closed by the fallback)
    };
    for (const TCase& c : std::vector<TCase>{
             {"escape on yes/no gives no", {mbYes, mbNo}, VK_ESCAPE, mrNo},
             {"escape on yes/no/cancel gives cancel", mbYesNoCancel, VK_ESCAPE, mrCancel},
             {"escape on ok gives ok", {mbOK}, VK_ESCAPE, mrOk},
             {"escape without cancel, no or ok does nothing", {mbYes, mbYesToAll}, VK_ESCAPE, mrAbort},
             {"enter on yes/no gives yes", {mbYes, mbNo}, VK_RETURN, mrYes},
             {"enter on ok/cancel gives ok", mbOKCancel, VK_RETURN, mrOk},
             {"enter on abort/retry/ignore gives retry", mbAbortRetryIgnore, VK_RETURN, mrRetry},
         }) {
        SCOPED_TRACE(c.Name);
        Driver.AnswerWith([&](TCustomForm&) { Driver.Key(c.Key); }, mrAbort);
        EXPECT_EQ(MessageDlg("Question", mtConfirmation, c.Buttons, 0), c.Expected);
    }
    // An accelerator presses its button.
    Driver.AnswerWith([&](TCustomForm&) { Driver.Key('N', ssAlt); });
    EXPECT_EQ(MessageDlg("Question", mtConfirmation, mbYesNoCancel, 0), mrNo);
}

TEST_F(DialogsTest, AMessageBoxSizesToItsWholeText) {
    struct TCase {
        const char* Text;
        TMsgDlgType Type;
        size_t Lines;
    };
    const std::string longText =
        "An Error Occurred While Trying To Set Up To Edit The Disk Comment - Continuing, and the rest of "
        "this text runs on well past the width at which a box wraps its lines";
    for (const TCase& c :
         std::vector<TCase>{{"Error Opening Summary File For The Selected Catalog", mtError, 1},
                            {"Done.", mtCustom, 1},
                            {"First line\nSecond, longer line of the box", mtWarning, 2},
                            {longText.c_str(), mtConfirmation, 0}}) {
        SCOPED_TRACE(c.Text);
        TMessageForm* f = CreateMessageDialog(c.Text, c.Type, {mbOK, mbCancel});
        f->Show();
        Driver.RunPending();
        TLabel& label = *f->MessageLabel();
        const std::vector<std::string> lines = label.WrappedLines();
        if (c.Lines > 0)
            EXPECT_EQ(lines.size(), c.Lines);
        else
            EXPECT_GT(lines.size(), 1u);
        std::string shown;
        for (const std::string& line : lines) {
            EXPECT_LE(label.Canvas().TextWidth(line), label.Width()) << line;
            shown += (shown.empty() ? "" : " ") + line;
        }
        if (c.Lines == 0) {
            EXPECT_EQ(shown, c.Text);  // wrapping loses no word
        }
        EXPECT_GE(label.Height(), static_cast<int>(lines.size()) * label.Canvas().TextHeight("Wg"));
        EXPECT_LE(label.Left() + label.Width(), f->ClientWidth());
        for (TMsgDlgBtn b : {mbOK, mbCancel}) {
            const TButton* button = f->Button(b);
            EXPECT_GE(button->Top(), label.Top() + label.Height());
            EXPECT_LE(button->Top() + button->Height(), f->ClientHeight());
        }
        f->Free();
    }
}

TEST_F(DialogsTest, MessageBoxInputQueryAndBeep) {
    Driver.Answer(IDYES);
    EXPECT_EQ(MessageBox("Replace?", "Copy", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Driver.Shown.back().Kind, "message");
    EXPECT_EQ(Driver.Shown.back().Flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(Driver.Shown.back().Caption, "Copy");

    std::string value = "Disk";
    Driver.AnswerWith([&](TCustomForm&) {
        Driver.Key(VK_END);  // the text comes selected; End keeps it
        Driver.Type(" 7");
        Driver.Key(VK_RETURN);
    });
    EXPECT_TRUE(InputQuery("Rename", "New name:", value));
    EXPECT_EQ(value, "Disk 7");
    Driver.AnswerWith([&](TCustomForm&) {
        Driver.Type("lost");
        Driver.Key(VK_ESCAPE);
    });
    EXPECT_FALSE(InputQuery("Rename", "New name:", value));
    EXPECT_EQ(value, "Disk 7");
    Driver.AnswerWith([&](TCustomForm&) {
        Driver.Type("Tape");  // typing replaces the selected text
        Driver.Key(VK_RETURN);
    });
    EXPECT_EQ(InputBox("Rename", "New name:", value), "Tape");

    platform::ClearBeepHistory();
    MessageBeep(MB_ICONHAND);
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{MB_ICONHAND});
}

TEST_F(DialogsTest, SaveDialogAddsTheDefaultExtensionAndAsksBeforeReplacing) {
    platform::testsupport::TTempFolder dir;
    platform::testsupport::TScopedDrives drives("D=" + dir.Path());
    TSaveDialog save(nullptr);
    save.Title = "Export catalog";
    save.DefaultExt = "txt";
    save.Filter = "Text files (*.txt)|*.txt|All files|*.*";
    save.Options |= ofOverwritePrompt;
    std::string folder = "D:";
    Driver.AnswerDialog([&](TCommonDialog& d) {
        auto& s = dynamic_cast<TSaveDialog&>(d);
        s.FileName = folder + "\\report";
        s.FilterIndex = 2;
        return true;
    });
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName, folder + "\\report.txt");
    EXPECT_EQ(save.FilterIndex, 2);
    EXPECT_EQ(Driver.Shown.back().Kind, "dialog");
    EXPECT_EQ(Driver.Shown.back().ClassName, "TSaveDialog");
    EXPECT_EQ(Driver.Shown.back().Caption, "Export catalog");

    // The file exists now: the user is asked, and No cancels the dialog.
    dir.WriteFile("report.txt", "x");
    Driver.AnswerDialog([&](TCommonDialog& d) {
        dynamic_cast<TSaveDialog&>(d).FileName = folder + "\\report.txt";
        return true;
    });
    Driver.Answer(IDNO);
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(Driver.Shown.back().Text, folder + "\\report.txt already exists.\nDo you want to replace it?");
    EXPECT_EQ(Driver.Shown.back().Caption, "Export catalog");

    Driver.AnswerDialog([](TCommonDialog&) { return false; });
    EXPECT_FALSE(save.Execute());
}

TEST_F(DialogsTest, FontColorPrintAndFolderDialogsAreAnswerable) {
    TFontDialog font(nullptr);
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& f = dynamic_cast<TFontDialog&>(d).Font();
        f.Name = "Arial";
        f.Style = fsBold;
        return true;
    });
    EXPECT_TRUE(font.Execute());
    EXPECT_EQ(font.Font().Name, "Arial");

    TColorDialog color(nullptr);
    color.CustomColors().Add("ColorA=FF0000");
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& c = dynamic_cast<TColorDialog&>(d);
        EXPECT_EQ(c.CustomColors().Values("ColorA"), "FF0000");
        c.Color = clTeal;
        return true;
    });
    EXPECT_TRUE(color.Execute());
    EXPECT_EQ(color.Color, clTeal);

    TPrintDialog print(nullptr);
    print.MinPage = 1;
    print.MaxPage = 10;
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& p = dynamic_cast<TPrintDialog&>(d);
        p.PrintRange = prPageNums;
        p.FromPage = 0;
        p.ToPage = 40;
        return true;
    });
    EXPECT_TRUE(print.Execute());
    EXPECT_EQ(print.FromPage, 1);
    EXPECT_EQ(print.ToPage, 10);

    TPrinterSetupDialog setup(nullptr);
    Driver.AnswerDialog([](TCommonDialog&) { return false; });
    EXPECT_FALSE(setup.Execute());

    std::string dir = "C:\\";
    Driver.AnswerDialog([](TCommonDialog& d) {
        dynamic_cast<TSelectDirectoryDialog&>(d).Directory = "D:\\DOCS";
        return true;
    });
    EXPECT_TRUE(SelectDirectory("Choose a folder", "", dir));
    EXPECT_EQ(dir, "D:\\DOCS");
    EXPECT_EQ(Driver.Shown.back().Caption, "Choose a folder");
}

TEST_F(DialogsTest, PrinterDialogsShowThePrintersAndSetThePrinterOnOk) {
    TPrinterQueuesFunc saved = SetPrinterQueueSource([](std::string& Default) {
        Default = "Office Laser";
        return std::vector<std::string>{"Office Laser", "\\\\SERVER\\Colour"};
    });
    TPrinter& printer = Printer();
    printer.Refresh();
    printer.SetPrinterIndex(-1);
    printer.SetOrientation(poPortrait);
    printer.SetPaper(ppLetter);

    TPrinterSetupDialog setup(nullptr);
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& s = dynamic_cast<TPrinterSetupDialog&>(d);
        EXPECT_EQ(s.Printers, (std::vector<std::string>{"Office Laser", "\\\\SERVER\\Colour", "PDF File"}));
        EXPECT_EQ(s.PrinterIndex, 0);
        EXPECT_EQ(s.Orientation, poPortrait);
        EXPECT_EQ(s.Paper, ppLetter);
        s.PrinterIndex = 1;
        s.Orientation = poLandscape;
        s.Paper = ppLegal;
        return false;
    });
    EXPECT_FALSE(setup.Execute());
    EXPECT_EQ(printer.PrinterIndex(), 0) << "Cancel changes nothing";
    EXPECT_EQ(printer.Orientation(), poPortrait);
    EXPECT_EQ(printer.Paper(), ppLetter);
    EXPECT_EQ(Driver.Shown.back().Caption, "Print Setup");

    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& s = dynamic_cast<TPrinterSetupDialog&>(d);
        s.PrinterIndex = 1;
        s.Orientation = poLandscape;
        return true;
    });
    EXPECT_TRUE(setup.Execute());
    EXPECT_EQ(printer.PrinterName(), "\\\\SERVER\\Colour");
    EXPECT_EQ(printer.Orientation(), poLandscape);
    EXPECT_EQ(printer.PageWidth(), 1056);

    // An index outside the list is refused and changes nothing.
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& s = dynamic_cast<TPrinterSetupDialog&>(d);
        s.PrinterIndex = 5;
        s.Orientation = poPortrait;
        return true;
    });
    EXPECT_THROW(setup.Execute(), EPrinter);
    EXPECT_EQ(printer.PrinterIndex(), 1);
    EXPECT_EQ(printer.Orientation(), poLandscape);

    TPrintDialog print(nullptr);
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& p = dynamic_cast<TPrintDialog&>(d);
        EXPECT_EQ(p.PrinterIndex, 1);
        EXPECT_EQ(p.Orientation, poLandscape);
        p.PrinterIndex = 2;
        p.Paper = ppA4;
        return true;
    });
    EXPECT_TRUE(print.Execute());
    EXPECT_EQ(printer.PrinterName(), "PDF File");
    EXPECT_EQ(printer.Paper(), ppA4);

    // Without an answerer the dialog shows a form of its own, driven here as a user would.
    SetCommonDialogAnswerer({});
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& form = dynamic_cast<TPrinterSetupForm&>(f);
        EXPECT_EQ(form.Caption(), "Print Setup");
        EXPECT_EQ(form.PrinterList->Items().Count(), 3);
        EXPECT_EQ(form.PrinterList->ItemIndex(), 2);
        EXPECT_TRUE(form.Landscape->Checked());
        EXPECT_EQ(form.PaperList->Text(), "A4");
        Driver.KeyTo(*form.PrinterList, VK_HOME);
        Driver.Click(*form.Portrait);
        Driver.KeyTo(*form.PaperList, VK_HOME);
        Driver.Key(VK_RETURN);
    });
    EXPECT_TRUE(setup.Execute());
    EXPECT_EQ(printer.PrinterIndex(), 0);
    EXPECT_EQ(printer.Orientation(), poPortrait);
    EXPECT_EQ(printer.Paper(), ppLetter);
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& form = dynamic_cast<TPrinterSetupForm&>(f);
        Driver.Click(*form.Landscape);
        Driver.Key(VK_ESCAPE);
    });
    EXPECT_FALSE(setup.Execute());
    EXPECT_EQ(printer.Orientation(), poPortrait);

    SetPrinterQueueSource(saved);
    printer.Refresh();
    printer.SetPrinterIndex(-1);
}

}  // namespace
}  // namespace framework

#include "framework/stdctrls/StdCtrls.h"

#include <gtest/gtest.h>

#include <cstring>

#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// A find dialog as the program's windows build them: a labelled edit, two check boxes, a combo
// box, OK (default) and Cancel (cancel).
class TFindForm : public TForm {
public:
    explicit TFindForm(TComponent* AOwner) : TForm(AOwner) {
        SetCaption("Find");
        SetBorderStyle(bsDialog);
        SetClientSize(300, 150);
        auto make = [this](auto* c, int x, int y, int w, int h) {
            c->SetParent(this);
            c->SetBounds(x, y, w, h);
            return c;
        };
        NameLabel = make(NewComponent<TLabel>(this), 8, 12, 60, 13);
        NameLabel->SetCaption("&Name:");
        NameEdit = make(NewComponent<TEdit>(this), 70, 8, 130, 21);
        NameLabel->SetFocusControl(NameEdit);
        CaseBox = make(NewComponent<TCheckBox>(this), 70, 36, 130, 17);
        CaseBox->SetCaption("&Match case");
        WholeBox = make(NewComponent<TCheckBox>(this), 70, 56, 130, 17);
        WholeBox->SetCaption("&Whole words");
        WhereCombo = make(NewComponent<TComboBox>(this), 70, 78, 130, 21);
        WhereCombo->SetStyle(csDropDownList);
        for (const char* s : {"Names", "Descriptions", "Both"}) WhereCombo->Items().Add(s);
        WhereCombo->SetItemIndex(0);
        OKBtn = make(NewComponent<TButton>(this), 215, 8, 75, 25);
        OKBtn->SetCaption("OK");
        OKBtn->SetDefault(true);
        OKBtn->ModalResult = mrOk;
        CancelBtn = make(NewComponent<TButton>(this), 215, 40, 75, 25);
        CancelBtn->SetCaption("Cancel");
        CancelBtn->Cancel = true;
        CancelBtn->ModalResult = mrCancel;
        SetActiveControl(NameEdit);
    }
    TLabel* NameLabel;
    TEdit* NameEdit;
    TCheckBox* CaseBox;
    TCheckBox* WholeBox;
    TComboBox* WhereCombo;
    TButton* OKBtn;
    TButton* CancelBtn;
};

class StdCtrlsTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    template <class T = TForm>
    T* NewForm() {
        T* f = TCustomForm::Create<T>(Application);
        forms.push_back(f);
        return f;
    }
    void TearDown() override {
        for (auto* f : forms) f->Free();
        Driver.RunPending();
    }
    std::vector<TCustomForm*> forms;
};

TEST_F(StdCtrlsTest, ModalDialogTypedTextTabOrderAcceleratorsAndEnter) {
    TFindForm* f = NewForm<TFindForm>();
    std::vector<TWinControl*> order;
    Driver.AnswerWith([&](TCustomForm&) {
        Driver.Type("Disk 1");
        order.push_back(FindControl(GetFocus()));
        for (int i = 0; i < 5; ++i) {
            Driver.Key(VK_TAB);
            order.push_back(FindControl(GetFocus()));
        }
        // Alt+M toggles "Match case"; in the list-only combo Down moves the selection.
        Driver.Key('M', ssAlt);
        Driver.KeyTo(*f->WhereCombo, VK_DOWN);
        // Alt+N (the label's accelerator) returns to the edit; Enter presses OK from there.
        Driver.Key('N', ssAlt);
        EXPECT_EQ(FindControl(GetFocus()), f->NameEdit);
        Driver.Key(VK_RETURN);
    });
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_EQ(f->NameEdit->Text(), "Disk 1");
    EXPECT_TRUE(f->NameEdit->Modified());
    std::vector<TWinControl*> expected{f->NameEdit,   f->CaseBox, f->WholeBox,
                                       f->WhereCombo, f->OKBtn,   f->CancelBtn};
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(f->CaseBox->Checked());
    EXPECT_FALSE(f->WholeBox->Checked());
    EXPECT_EQ(f->WhereCombo->ItemIndex(), 1);
    EXPECT_EQ(f->WhereCombo->Text(), "Descriptions");
}

TEST_F(StdCtrlsTest, EscapeCancelsAndAFocusedButtonTakesEnter) {
    struct TCase {
        const char* Name;
        std::function<void(TFindForm&)> Act;
        TModalResult Expected;
    };
    std::vector<TCase> cases = {
        {"escape from the edit", [&](TFindForm&) { Driver.Key(VK_ESCAPE); }, mrCancel},
        {"enter on the focused cancel button",
         [&](TFindForm& f) {
             f.CancelBtn->SetFocus();
             Driver.Key(VK_RETURN);
         },
         mrCancel},
        {"space on the focused OK button",
         [&](TFindForm& f) {
             f.OKBtn->SetFocus();
             Driver.Key(VK_SPACE);
         },
         mrOk},
        {"a hidden cancel button ignores escape",
         [&](TFindForm& f) {
             f.CancelBtn->Hide();
             Driver.Key(VK_ESCAPE);
         },
         mrAbort},
        {"a disabled cancel button ignores escape",
         [&](TFindForm& f) {
             f.CancelBtn->SetEnabled(false);
             Driver.Key(VK_ESCAPE);
         },
         mrAbort},
        {"a disabled default button ignores enter",
         [&](TFindForm& f) {
             f.OKBtn->SetEnabled(false);
             Driver.Key(VK_RETURN);
         },
         mrAbort},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFindForm* f = NewForm<TFindForm>();
        Driver.AnswerWith([&](TCustomForm&) { c.Act(*f); }, mrAbort);
        EXPECT_EQ(f->ShowModal(), c.Expected);
    }
}

TEST_F(StdCtrlsTest, AClickFocusesAFocusableButtonButNeverASpeedButton) {
    struct TCase {
        const char* Name;
        std::function<TControl*(TFindForm&)> Make;
        bool TakesFocus;
    };
    auto place = [](TFindForm& f, auto* c) {
        c->SetParent(&f);
        c->SetBounds(8, 110, 75, 25);
        return c;
    };
    const std::vector<TCase> cases = {
        {"push button", [&](TFindForm& f) { return place(f, NewComponent<TButton>(&f)); }, true},
        {"bitmap button", [&](TFindForm& f) { return place(f, NewComponent<TBitBtn>(&f)); }, true},
        {"check box", [&](TFindForm& f) { return place(f, NewComponent<TCheckBox>(&f)); }, true},
        {"radio button", [&](TFindForm& f) { return place(f, NewComponent<TRadioButton>(&f)); }, true},
        {"disabled button",
         [&](TFindForm& f) {
             auto* b = place(f, NewComponent<TButton>(&f));
             b->SetEnabled(false);
             return b;
         },
         false},
        {"speed button", [&](TFindForm& f) { return place(f, NewComponent<TSpeedButton>(&f)); }, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFindForm* f = NewForm<TFindForm>();
        TControl* button = c.Make(*f);
        int clicks = 0;
        button->OnClick = [&](TObject*) { ++clicks; };
        f->Show();
        f->NameEdit->SetFocus();
        Driver.Click(*button);
        EXPECT_EQ(clicks, button->Enabled() ? 1 : 0);
        auto* win = dynamic_cast<TWinControl*>(button);
        EXPECT_EQ(win != nullptr && win->Focused(), c.TakesFocus);
        EXPECT_EQ(f->NameEdit->Focused(), !c.TakesFocus);
    }
    // The clicked button holds the focus, so Enter presses it again rather than the default OK.
    TFindForm* f = NewForm<TFindForm>();
    TButton* apply = place(*f, NewComponent<TButton>(f));
    int applied = 0;
    apply->OnClick = [&](TObject*) { ++applied; };
    f->Show();
    Driver.Click(*apply);
    Driver.Key(VK_RETURN);
    EXPECT_EQ(applied, 2);
    EXPECT_EQ(f->ModalResult(), mrNone);
}

TEST_F(StdCtrlsTest, EditLimitsCaseReadOnlySelectionAndUndo) {
    TForm* f = NewForm();
    auto* e = NewComponent<TEdit>(f);
    e->SetParent(f);
    int changes = 0;
    e->OnChange = [&](TObject*) { ++changes; };
    f->Show();
    e->SetFocus();

    e->SetMaxLength(5);
    e->SetCharCase(ecUpperCase);
    Driver.Type("abcdefg");
    EXPECT_EQ(e->Text(), "ABCDE");  // typing stops at MaxLength
    EXPECT_EQ(changes, 5);
    EXPECT_TRUE(e->Modified());

    Driver.Key(VK_HOME);
    Driver.Key(VK_RIGHT, ssShift);
    Driver.Key(VK_RIGHT, ssShift);
    EXPECT_EQ(e->SelText(), "AB");
    uint32_t a = 0, b = 0;
    e->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 2u);
    Driver.Type("z");
    EXPECT_EQ(e->Text(), "ZCDE");
    EXPECT_EQ(e->Perform(EM_CANUNDO, 0, 0), 1);
    e->Perform(EM_UNDO, 0, 0);
    EXPECT_EQ(e->Text(), "ABCDE");

    // Setting the text from the program keeps its length, clears Modified, applies the case.
    e->SetText("lower text");
    EXPECT_EQ(e->Text(), "LOWER TEXT");
    EXPECT_FALSE(e->Modified());
    EXPECT_EQ(e->Perform(EM_GETMODIFY, 0, 0), 0);

    e->SetReadOnly(true);
    Driver.Key(VK_END);
    Driver.Type("x");
    Driver.Key(VK_BACK);
    EXPECT_EQ(e->Text(), "LOWER TEXT");

    e->SetReadOnly(false);
    e->SetMaxLength(0);
    e->SetPasswordChar('*');
    e->SelectAll();
    e->CopyToClipboard();  // a password is never copied
    Clipboard()->SetAsText("keep");
    e->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "keep");
    e->Perform(EM_SETSEL, 0, -1);
    e->Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("new"));
    EXPECT_EQ(e->Text(), "NEW");
}

TEST_F(StdCtrlsTest, MemoLinesAndLineMessages) {
    TForm* f = NewForm();
    auto* m = NewComponent<TMemo>(f);
    m->SetParent(f);
    f->Show();
    m->SetFocus();
    Driver.Type("one");
    Driver.Key(VK_RETURN);  // a memo takes Enter as a line break, not as the form's default
    Driver.Type("two");
    EXPECT_EQ(m->Text(), "one\r\ntwo");
    EXPECT_EQ(m->Lines().Count(), 2);
    EXPECT_EQ(m->Lines()[1], "two");
    EXPECT_EQ(m->Perform(EM_GETLINECOUNT, 0, 0), 2);
    EXPECT_EQ(m->Perform(EM_LINEINDEX, 1, 0), 5);
    EXPECT_EQ(m->Perform(EM_LINEFROMCHAR, 6, 0), 1);
    EXPECT_EQ(m->Perform(EM_LINELENGTH, 5, 0), 3);
    char buf[16] = {};
    uint16_t size = sizeof buf;
    std::memcpy(buf, &size, 2);
    EXPECT_EQ(m->Perform(EM_GETLINE, 0, reinterpret_cast<LPARAM>(buf)), 3);
    EXPECT_EQ(std::string(buf, 3), "one");
    Driver.Key(VK_UP);
    Driver.Type("!");
    EXPECT_EQ(m->Lines()[0], "one!");

    m->Lines().Add("three");
    EXPECT_EQ(m->Text(), "one!\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(m->Lines().Count(), 3);  // the empty line after the last break does not count
    m->Lines().Delete(0);
    EXPECT_EQ(m->Lines()[0], "two");
    m->Lines().Clear();
    EXPECT_EQ(m->Lines().Count(), 0);
    EXPECT_EQ(m->Text(), "");
}

TEST_F(StdCtrlsTest, CheckBoxRadioButtonsAndLabelAccelerator) {
    TForm* f = NewForm();
    auto* cb = NewComponent<TCheckBox>(f);
    cb->SetParent(f);
    cb->SetBounds(8, 8, 100, 17);
    int clicks = 0;
    cb->OnClick = [&](TObject*) { ++clicks; };
    cb->SetChecked(true);  // a change from the program fires OnClick, too
    EXPECT_EQ(clicks, 1);
    cb->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    cb->AllowGrayed = true;
    f->Show();
    Driver.Click(*cb);
    EXPECT_EQ(cb->State(), cbUnchecked);
    Driver.Click(*cb);
    EXPECT_EQ(cb->State(), cbGrayed);
    Driver.KeyTo(*cb, VK_SPACE);
    EXPECT_EQ(cb->State(), cbChecked);
    EXPECT_EQ(cb->Perform(BM_GETCHECK, 0, 0), 1);
    EXPECT_EQ(clicks, 4);

    auto* panel = NewComponent<TPanel>(f);
    panel->SetParent(f);
    panel->SetBounds(8, 40, 200, 80);
    std::vector<TRadioButton*> rb;
    for (int i = 0; i < 3; ++i) {
        rb.push_back(NewComponent<TRadioButton>(f));
        rb[static_cast<size_t>(i)]->SetParent(panel);
        rb[static_cast<size_t>(i)]->SetBounds(4, 4 + 20 * i, 100, 17);
        rb[static_cast<size_t>(i)]->SetCaption(std::string("&") + static_cast<char>('A' + i));
    }
    rb[0]->SetChecked(true);
    Driver.Click(*rb[2]);
    EXPECT_FALSE(rb[0]->Checked());
    EXPECT_TRUE(rb[2]->Checked());
    Driver.Key('B', ssAlt);
    EXPECT_TRUE(rb[1]->Checked());
    EXPECT_FALSE(rb[2]->Checked());
    EXPECT_EQ(FindControl(GetFocus()), rb[1]);
}

TEST_F(StdCtrlsTest, LabelAutoSizeAndWordWrap) {
    TForm* f = NewForm();
    auto* l = NewComponent<TLabel>(f);
    l->SetParent(f);
    l->SetCaption("&Short");
    int oneLine = l->Height();
    EXPECT_EQ(l->Width(), l->Canvas().TextWidth("Short"));  // "&" is not drawn
    l->SetAutoSize(false);
    l->SetWidth(60);
    l->SetWordWrap(true);
    l->SetAutoSize(true);
    l->SetCaption("a few words that will not fit on one line");
    EXPECT_EQ(l->Width(), 60);
    EXPECT_GT(l->Height(), 2 * oneLine);
    for (const std::string& line : l->WrappedLines()) EXPECT_LE(l->Canvas().TextWidth(line), 60) << line;
}

// Labels of a form built in code: the caption, bounds, alignment and font are set in the order the
// form's code happens to use, all before the form is shown.
class TLabelledForm : public TForm {
public:
    explicit TLabelledForm(TComponent* AOwner) : TForm(AOwner) {
        SetClientSize(300, 200);
        auto make = [this] {
            auto* l = NewComponent<TLabel>(this);
            l->SetParent(this);
            return l;
        };
        BoundsFirst = make();
        BoundsFirst->SetBounds(8, 12, 120, 13);
        BoundsFirst->SetCaption("&Volume label:");
        CaptionFirst = make();
        CaptionFirst->SetCaption("Serial number:");
        CaptionFirst->SetBounds(8, 40, 150, 10);
        RightAligned = make();
        RightAligned->SetBounds(100, 70, 150, 13);
        RightAligned->SetAlignment(taRightJustify);
        RightAligned->SetCaption("Free:");
        BigFont = make();
        BigFont->SetBounds(8, 100, 40, 13);
        BigFont->SetCaption("Totals");
        BigFont->Font().SetSize(14);
        Fixed = make();
        Fixed->SetAutoSize(false);
        Fixed->SetBounds(8, 140, 120, 13);
        Fixed->SetCaption("Kept at its size");
    }
    TLabel* BoundsFirst;
    TLabel* CaptionFirst;
    TLabel* RightAligned;
    TLabel* BigFont;
    TLabel* Fixed;
};

TEST_F(StdCtrlsTest, LabelsOfAFormBeingBuiltTakeTheSizeOfTheirText) {
    auto* f = NewForm<TLabelledForm>();
    auto textSize = [](TLabel* l, const std::string& text) {
        return TSize{l->Canvas().TextWidth(text), l->Canvas().TextHeight("Wg")};
    };
    struct TCase {
        TLabel* Label;
        std::string Text;  // as drawn
        TRect Designed;    // what it would keep without sizing itself
        TPoint Anchor;     // the corner it keeps: top left, or top right when right-justified
        bool Sized;
    };
    auto check = [&](bool built) {
        SCOPED_TRACE(built ? "shown" : "before the form is shown");
        std::vector<TCase> cases{{f->BoundsFirst, "Volume label:", Bounds(8, 12, 120, 13), {8, 12}, true},
                                 {f->RightAligned, "Free:", Bounds(100, 70, 150, 13), {250, 70}, true},
                                 {f->BigFont, "Totals", Bounds(8, 100, 40, 13), {8, 100}, true},
                                 {f->Fixed, "", Bounds(8, 140, 120, 13), {8, 140}, false}};
        // A size set after the caption stands until the form has been built.
        if (built)
            cases.push_back({f->CaptionFirst, "Serial number:", Bounds(8, 40, 150, 10), {8, 40}, true});
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Label->Caption());
            if (!c.Sized) {
                EXPECT_EQ(c.Label->BoundsRect(), c.Designed);
                continue;
            }
            const TSize size = textSize(c.Label, c.Text);
            EXPECT_EQ(c.Label->Width(), size.cx);
            EXPECT_EQ(c.Label->Height(), size.cy);
            const bool right = c.Label->Alignment() == taRightJustify;
            EXPECT_EQ(right ? c.Label->Left() + c.Label->Width() : c.Label->Left(), c.Anchor.X);
            EXPECT_EQ(c.Label->Top(), c.Anchor.Y);
        }
    };
    check(false);
    EXPECT_GT(f->BigFont->Height(), f->BoundsFirst->Height());
    f->Show();
    Driver.RunPending();
    check(true);
}

TEST_F(StdCtrlsTest, ALabelThatShrinksLeavesNothingAtItsOldPlace) {
    // An opaque control paints only its own bounds; what it painted where it no longer stands
    // must give way to the parent's background.
    TForm* f = NewForm();
    f->Show();
    auto* l = NewComponent<TLabel>(f);
    l->SetParent(f);
    l->SetLeft(10);
    l->SetTop(10);
    l->SetColor(clRed);
    l->SetCaption("Updating Summary File");
    Driver.RunPending();
    const int oldRight = l->Left() + l->Width();
    ASSERT_EQ(Driver.PixelAt(*f, oldRight - 2, 11), static_cast<uint32_t>(clRed));
    l->SetCaption("Up");
    Driver.RunPending();
    ASSERT_LT(l->Left() + l->Width(), oldRight - 2);
    EXPECT_EQ(Driver.PixelAt(*f, oldRight - 2, 11), ColorToRGB(clBtnFace));
    EXPECT_EQ(Driver.PixelAt(*f, l->Left() + 1, 11), static_cast<uint32_t>(clRed));
}

TEST_F(StdCtrlsTest, SpeedButtonGroupsAndBitBtnKinds) {
    TForm* f = NewForm();
    f->Show();
    std::vector<TSpeedButton*> b;
    for (int i = 0; i < 3; ++i) {
        b.push_back(NewComponent<TSpeedButton>(f));
        b.back()->SetParent(f);
        b.back()->SetBounds(4 + 25 * i, 4, 23, 22);
        b.back()->SetGroupIndex(1);
    }
    Driver.Click(*b[0]);
    EXPECT_TRUE(b[0]->Down());
    Driver.Click(*b[1]);
    EXPECT_FALSE(b[0]->Down());
    EXPECT_TRUE(b[1]->Down());
    Driver.Click(*b[1]);  // without AllowAllUp the down button stays down
    EXPECT_TRUE(b[1]->Down());
    b[0]->SetAllowAllUp(true);
    Driver.Click(*b[1]);
    EXPECT_FALSE(b[1]->Down());

    auto* ok = NewComponent<TBitBtn>(f);
    ok->SetKind(bkOK);
    EXPECT_EQ(ok->Caption(), "OK");
    EXPECT_EQ(ok->ModalResult, mrOk);
    EXPECT_TRUE(ok->Default());
    auto* no = NewComponent<TBitBtn>(f);
    no->SetKind(bkNo);
    EXPECT_EQ(no->ModalResult, mrNo);
    EXPECT_TRUE(no->Cancel);
}

TEST_F(StdCtrlsTest, BitBtnGlyphShowsTheImageForItsStateWithTransparentCorners) {
    TForm* f = NewForm();
    auto* b = NewComponent<TBitBtn>(f);
    b->SetParent(f);
    b->SetBounds(10, 10, 40, 30);
    // Two 16x16 images: red for up, blue for disabled, each on a fuchsia (transparent) frame.
    TBitmap& g = b->Glyph();
    g.SetPixelFormat(pf24bit);
    g.SetSize(32, 16);
    g.Canvas().Brush.Color = clFuchsia;
    g.Canvas().FillRect(Rect(0, 0, 32, 16));
    g.Canvas().Brush.Color = clRed;
    g.Canvas().FillRect(Rect(4, 4, 12, 12));
    g.Canvas().Brush.Color = clBlue;
    g.Canvas().FillRect(Rect(20, 4, 28, 12));
    b->NumGlyphs = 2;
    f->Show();
    // No caption: the glyph is centred, its top-left at (12, 7) inside the 40x30 button.
    EXPECT_EQ(Driver.PixelAt(*b, 20, 15), static_cast<uint32_t>(clRed));
    EXPECT_EQ(Driver.PixelAt(*b, 13, 8), ColorToRGB(clBtnFace));  // transparent corner
    b->SetEnabled(false);
    EXPECT_EQ(Driver.PixelAt(*b, 20, 15), static_cast<uint32_t>(clBlue));
}

}  // namespace
}  // namespace framework

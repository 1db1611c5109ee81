#include "framework/ui/Forms.h"

#include <gtest/gtest.h>

#include "framework/core/UiHooks.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace framework {
namespace {

// Two edits, OK (default) and Cancel (cancel) buttons, as dialogs of the program are laid out.
class TDialogForm : public TForm {
public:
    explicit TDialogForm(TComponent* AOwner) : TForm(AOwner) {
        SetCaption("Dialog");
        SetBorderStyle(bsDialog);
        SetClientSize(260, 110);
        Edit1 = NewComponent<TTestEdit>(this);
        Edit1->SetParent(this);
        Edit1->SetBounds(10, 10, 150, 22);
        Edit2 = NewComponent<TTestEdit>(this);
        Edit2->SetParent(this);
        Edit2->SetBounds(10, 40, 150, 22);
        OKBtn = NewComponent<TTestButton>(this);
        OKBtn->SetParent(this);
        OKBtn->SetCaption("OK");
        OKBtn->SetBounds(175, 10, 75, 25);
        OKBtn->Default = true;
        OKBtn->ModalResult = mrOk;
        CancelBtn = NewComponent<TTestButton>(this);
        CancelBtn->SetParent(this);
        CancelBtn->SetCaption("&Cancel");
        CancelBtn->SetBounds(175, 42, 75, 25);
        CancelBtn->Cancel = true;
        CancelBtn->ModalResult = mrCancel;
    }
    void Loaded() override {
        TForm::Loaded();
        ++LoadedCount;
        Events.push_back("Loaded");
    }
    TTestEdit* Edit1;
    TTestEdit* Edit2;
    TTestButton* OKBtn;
    TTestButton* CancelBtn;
    int LoadedCount = 0;
    std::vector<std::string> Events;
};

class FormsTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TDialogForm* NewDialog() {
        auto* f = TCustomForm::Create<TDialogForm>(Application);
        forms.push_back(f);
        return f;
    }
    void TearDown() override {
        for (auto* f : forms) f->Free();
        Driver.RunPending();
    }
    std::vector<TCustomForm*> forms;
};

TEST_F(FormsTest, TabMovesFocusInTabOrderAndFocusMessagesCarryTheOtherHandle) {
    TDialogForm* f = NewDialog();
    std::vector<TWinControl*> order;
    Driver.AnswerWith([&](TCustomForm& form) {
        Driver.Type("Disk 1");
        EXPECT_TRUE(Driver.Grab(static_cast<TWinControl&>(form),
                                std::string(KORVANE_BUILD_DIR) + "/dialog-grab.png"));
        order.push_back(FindControl(GetFocus()));
        for (int i = 0; i < 4; ++i) {
            Driver.Key(VK_TAB);
            order.push_back(FindControl(GetFocus()));
        }
        Driver.Key(VK_TAB, ssShift);
        order.push_back(FindControl(GetFocus()));
        Driver.Key(VK_ESCAPE);
    });
    EXPECT_EQ(f->ShowModal(), mrCancel);
    std::vector<TWinControl*> expected{f->Edit1, f->Edit2, f->OKBtn, f->CancelBtn, f->Edit1, f->CancelBtn};
    EXPECT_EQ(order, expected);

    auto e1 = f->Edit1->Only({WM_SETFOCUS, WM_KILLFOCUS});
    ASSERT_GE(e1.size(), 2u);
    EXPECT_EQ(e1[0].Msg, WM_SETFOCUS);
    EXPECT_EQ(e1[1].Msg, WM_KILLFOCUS);
    EXPECT_EQ(e1[1].WParam, f->Edit2->Handle());  // the window gaining the focus
    auto e2 = f->Edit2->Only({WM_SETFOCUS, WM_KILLFOCUS});
    ASSERT_GE(e2.size(), 2u);
    EXPECT_EQ(e2[0].Msg, WM_SETFOCUS);
    EXPECT_EQ(e2[0].WParam, f->Edit1->Handle());  // the window losing it
    EXPECT_EQ(e2[1].WParam, f->OKBtn->Handle());
}

TEST_F(FormsTest, EnterPressesTheDefaultButtonAndEscapeTheCancelButton) {
    struct Case {
        int Key;
        TModalResult Expected;
        int OkClicks, CancelClicks;
    };
    for (Case c : {Case{VK_RETURN, mrOk, 1, 0}, Case{VK_ESCAPE, mrCancel, 0, 1}}) {
        TDialogForm* f = NewDialog();
        Driver.AnswerWith([&](TCustomForm&) {
            Driver.Type("ab");
            Driver.Key(c.Key);
        });
        EXPECT_EQ(f->ShowModal(), c.Expected);
        EXPECT_EQ(f->Edit1->Text(), "ab");  // typed characters went to the focused edit
        EXPECT_EQ(f->OKBtn->Clicks, c.OkClicks);
        EXPECT_EQ(f->CancelBtn->Clicks, c.CancelClicks);
        EXPECT_FALSE(f->Visible());
        // The dialog key was taken by the form: the edit saw neither its key-down nor a character.
        for (const auto& m : f->Edit1->Only({WM_KEYDOWN, WM_CHAR}))
            EXPECT_NE(m.WParam, static_cast<WPARAM>(c.Key));
    }
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[0].Kind, "form");
    EXPECT_EQ(Driver.Shown[0].ClassName, "TDialogForm");
    EXPECT_EQ(Driver.Shown[0].Answer, mrOk);
    EXPECT_EQ(Driver.Shown[1].Answer, mrCancel);
}

TEST_F(FormsTest, ControlThatWantsAllKeysKeepsEnterAndAcceleratorsNeedAltInsideEdits) {
    TDialogForm* f = NewDialog();
    f->Edit1->DlgCode = DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    Driver.AnswerWith(
        [&](TCustomForm&) {
            Driver.Key(VK_RETURN);  // the edit keeps it
            Driver.Type("c");       // a character for the edit, not the "&Cancel" accelerator
            EXPECT_EQ(f->ModalResult(), mrNone);
            Driver.Key('C', ssAlt);  // Alt+C is the accelerator
        },
        mrNone);
    EXPECT_EQ(f->ShowModal(), mrCancel);
    EXPECT_EQ(f->Edit1->Text(), "c");
    EXPECT_EQ(f->CancelBtn->Clicks, 1);
    auto keys = f->Edit1->Only({WM_KEYDOWN});
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys[0].WParam, static_cast<WPARAM>(VK_RETURN));
    auto sys = f->Edit1->Only({WM_SYSKEYDOWN, WM_SYSCHAR});
    ASSERT_EQ(sys.size(), 1u);  // the accelerator ate the WM_SYSCHAR
    EXPECT_EQ(sys[0].Msg, WM_SYSKEYDOWN);
    EXPECT_EQ(sys[0].WParam, static_cast<WPARAM>('C'));
    EXPECT_TRUE(static_cast<uint32_t>(sys[0].LParam) & (1u << 29));  // context code: Alt held
}

TEST_F(FormsTest, ShowModalReturnsTheModalResultOfTheButtonPressed) {
    for (TModalResult r :
         {mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrYes, mrNo, mrAll, mrNoToAll, mrYesToAll}) {
        TDialogForm* f = NewDialog();
        f->OKBtn->ModalResult = r;
        Driver.AnswerWith([&](TCustomForm&) { Driver.Click(*f->OKBtn); });
        EXPECT_EQ(f->ShowModal(), r);
    }
    EXPECT_EQ(mrYes, 6);
    EXPECT_EQ(mrYesToAll, 10);
}

TEST_F(FormsTest, CloseQueryCanRefuseAndCloseGivesCancel) {
    TDialogForm* f = NewDialog();
    int queries = 0;
    std::vector<TCloseAction> actions;
    f->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++queries > 1; };  // refuses once
    f->OnClose = [&](TObject*, TCloseAction& Action) { actions.push_back(Action); };
    // Close asks for mrCancel; the refusal keeps the form open, so the answer's fallback closes it.
    Driver.AnswerWith([&](TCustomForm& form) { form.Close(); }, mrAbort);
    EXPECT_EQ(f->ShowModal(), mrAbort);
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(actions, std::vector<TCloseAction>{caHide});

    TDialogForm* g = NewDialog();
    Driver.AnswerWith([&](TCustomForm& form) { form.Close(); });
    EXPECT_EQ(g->ShowModal(), mrCancel);
}

TEST_F(FormsTest, LifecycleEventsRunInOrderAndLoadedOnce) {
    std::vector<std::string> events;
    auto* f = NewComponent<TDialogForm>(Application);
    forms.push_back(f);
    EXPECT_TRUE(f->ComponentState() & csLoading);
    EXPECT_TRUE(f->Edit1->ComponentState() & csLoading);  // components set up in code are loading too
    f->OnCreate = [&](TObject*) { events.push_back("Create"); };
    f->OnShow = [&](TObject*) { events.push_back("Show"); };
    f->OnActivate = [&](TObject*) { events.push_back("Activate"); };
    f->OnHide = [&](TObject*) { events.push_back("Hide"); };
    f->OnClose = [&](TObject*, TCloseAction&) { events.push_back("Close"); };
    f->OnDestroy = [&](TObject* s) {
        // Freed through Free/Release: the form is still whole here.
        events.push_back("Destroy " + static_cast<TDialogForm*>(s)->Edit1->ClassName());
    };
    f->AfterConstruction();
    f->AfterConstruction();
    EXPECT_EQ(f->LoadedCount, 1);
    EXPECT_FALSE(f->Edit1->ComponentState() & csLoading);
    f->Show();
    Driver.RunPending();
    EXPECT_EQ(Screen->ActiveForm(), f);
    EXPECT_EQ(FindControl(GetFocus()), f->Edit1);  // the first control in tab order
    f->Close();
    f->Release();
    Driver.RunPending();  // CM_RELEASE frees it
    forms.clear();
    EXPECT_EQ(events,
              (std::vector<std::string>{"Create", "Show", "Activate", "Close", "Hide", "Destroy TTestEdit"}));
    for (int i = 0; i < Screen->FormCount(); ++i) EXPECT_NE(Screen->Forms(i), f);
}

TEST_F(FormsTest, ModalFormDisablesTheOtherFormsUntilItCloses) {
    TDialogForm* owner = NewDialog();
    owner->Show();
    TDialogForm* modal = NewDialog();
    bool ownerEnabledDuring = true;
    Driver.AnswerWith([&](TCustomForm&) {
        ownerEnabledDuring = IsWindowEnabled(owner->Handle());
        Driver.Key(VK_RETURN);
    });
    EXPECT_EQ(modal->ShowModal(), mrOk);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
    EXPECT_THROW(owner->ShowModal(), EInvalidOperation);  // already visible
}

TEST_F(FormsTest, BringToFrontActivatesAShownFormAndItsFocusedControl) {
    TDialogForm* back = NewDialog();
    TDialogForm* front = NewDialog();
    std::vector<std::string> events;
    for (TDialogForm* f : {back, front}) {
        const std::string name = f == back ? "back" : "front";
        f->OnActivate = [&events, name](TObject*) { events.push_back(name + " activated"); };
        f->OnDeactivate = [&events, name](TObject*) { events.push_back(name + " deactivated"); };
    }
    back->Show();
    back->Edit2->SetFocus();
    front->Show();
    Driver.RunPending();
    ASSERT_EQ(Screen->ActiveForm(), front);
    events.clear();

    back->BringToFront();
    Driver.RunPending();
    EXPECT_EQ(events, (std::vector<std::string>{"front deactivated", "back activated"}));
    EXPECT_EQ(GetActiveWindow(), back->Handle());
    EXPECT_EQ(Screen->ActiveForm(), back);
    EXPECT_TRUE(back->Active());
    EXPECT_FALSE(front->Active());
    EXPECT_EQ(FindControl(GetFocus()), back->Edit2) << "the control that had the focus gets it back";

    // Already in front: nothing happens again. Show on a shown form brings it to the front.
    events.clear();
    back->BringToFront();
    EXPECT_TRUE(events.empty());
    front->Show();
    EXPECT_EQ(Screen->ActiveForm(), front);
    EXPECT_EQ(events, (std::vector<std::string>{"back deactivated", "front activated"}));
}

TEST_F(FormsTest, BringToFrontLeavesHiddenFormsAndFormsBehindAModalOneAlone) {
    TDialogForm* hidden = NewDialog();
    TDialogForm* owner = NewDialog();
    hidden->Show();
    hidden->Hide();
    owner->Show();
    Driver.RunPending();
    ASSERT_EQ(Screen->ActiveForm(), owner);
    hidden->BringToFront();
    EXPECT_EQ(Screen->ActiveForm(), owner);
    EXPECT_FALSE(hidden->Visible());

    TDialogForm* modal = NewDialog();
    TCustomForm* activeDuring = nullptr;
    Driver.AnswerWith([&](TCustomForm&) {
        owner->BringToFront();
        activeDuring = Screen->ActiveForm();
        Driver.Key(VK_ESCAPE);
    });
    EXPECT_EQ(modal->ShowModal(), mrCancel);
    EXPECT_EQ(activeDuring, modal);
}

TEST_F(FormsTest, PositionClientSizeAndConstraints) {
    TDialogForm* f = NewDialog();
    f->Position = poScreenCenter;
    f->Show();
    Driver.RunPending();
    EXPECT_EQ(f->ClientWidth(), 260);
    EXPECT_EQ(f->ClientHeight(), 110);
    // A dialog frame: 3 pixels on every side and a 19-pixel caption.
    EXPECT_EQ(f->Width(), 266);
    EXPECT_EQ(f->Height(), 135);
    EXPECT_EQ(f->Left(), (Screen->Width() - 266) / 2);
    EXPECT_EQ(f->Top(), (Screen->Height() - 135) / 2);
    f->Constraints().SetMinWidth(300);
    EXPECT_EQ(f->Width(), 300);
    f->SetWidth(100);
    EXPECT_EQ(f->Width(), 300);
}

TEST_F(FormsTest, UnhandledExceptionsBecomeAnErrorBoxExceptAbort) {
    Application->Title = "Korvane";
    TDialogForm* f = NewDialog();
    f->OKBtn->ModalResult = mrNone;
    f->OKBtn->OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
    f->CancelBtn->ModalResult = mrNone;
    f->CancelBtn->OnClick = [](TObject*) { Abort(); };
    // Answers are taken in the order things are shown: the form, then its error box.
    Driver.AnswerWith(
        [&](TCustomForm&) {
            Driver.Click(*f->OKBtn);
            Driver.Click(*f->CancelBtn);
        },
        mrIgnore);
    Driver.Answer(IDOK);
    EXPECT_EQ(f->ShowModal(), mrIgnore);
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[1].Kind, "message");
    EXPECT_EQ(Driver.Shown[1].Text, "'x' is not a valid integer value.");
    EXPECT_EQ(Driver.Shown[1].Caption, "Korvane");
    EXPECT_EQ(Driver.Shown[1].Flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
}

TEST_F(FormsTest, OnExceptionReplacesTheErrorBox) {
    std::string seen;
    Application->OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
    try {
        throw Exception("Disk full");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    Application->OnException = nullptr;
    EXPECT_EQ(seen, "Disk full");
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(FormsTest, CreateFormMakesTheFirstFormTheMainForm) {
    TApplication app(nullptr);
    TDialogForm* first = nullptr;
    TDialogForm* second = nullptr;
    app.CreateForm(first);
    app.CreateForm(second);
    EXPECT_EQ(app.MainForm(), first);
    EXPECT_EQ(first->Owner(), &app);
    EXPECT_EQ(first->LoadedCount, 1);
    (void)second;

    // Run shows the main form and delivers messages until Terminate.
    int idles = 0;
    std::vector<UINT> posted;
    HWND w = AllocateHWnd([&](TMessage& m) { posted.push_back(m.Msg); });
    PostMessage(w, WM_USER, 0, 0);
    app.OnIdle = [&](TObject*) {
        ++idles;
        app.Terminate();
    };
    app.Run();
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(idles, 1);
    EXPECT_EQ(posted, std::vector<UINT>{WM_USER});
    EXPECT_TRUE(first->Visible());
    EXPECT_FALSE(second->Visible());
    EXPECT_FALSE(Application->Terminated());  // the quit request went to the loop that ran
    DeallocateHWnd(w);
}

// The libraries below the user interface (archive readers) reach it through the core's hooks.
TEST_F(FormsTest, TheCoreHooksReachTheMessageBoxesAndTheScreenCursor) {
    Driver.Answer(IDNO);
    EXPECT_EQ(AskMessageBox("Overwrite?", "Zip", MB_YESNO), IDNO);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].Text, "Overwrite?");
    EXPECT_EQ(Driver.Shown[0].Caption, "Zip");
    EXPECT_EQ(Driver.Shown[0].Flags, static_cast<uint32_t>(MB_YESNO));

    TCursor before = Screen->Cursor();
    EXPECT_EQ(SetScreenCursor(crHourGlass), before);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(SetScreenCursor(before), crHourGlass);
    EXPECT_EQ(Screen->Cursor(), before);
    PumpMessages();  // the application's pump; nothing waits
}

}  // namespace
}  // namespace framework

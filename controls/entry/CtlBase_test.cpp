#include "controls/entry/CtlBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class TProbe : public TCtlCustomControlEx {
public:
    explicit TProbe(TComponent* AOwner) : TCtlCustomControlEx(AOwner) { SetTabStop(true); }
};

class CtlBaseTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (TForm* f : Forms) f->Free();
        Driver.RunPending();
        CtlFreeDefaultController();
    }
    TForm* NewForm() {
        TForm* f = TCustomForm::Create<TForm>(Application);
        f->SetClientSize(300, 200);
        Forms.push_back(f);
        return f;
    }
    template <class T = TProbe>
    T* NewControl(TForm* Form, const std::string& Name, int Left = 20, int Top = 40) {
        T* c = NewComponent<T>(Form);
        c->SetName(Name);
        c->SetParent(Form);
        c->SetBounds(Left, Top, 100, 22);
        return c;
    }
    TFormDriver Driver;
    std::vector<TForm*> Forms;
};

// ---- Controller links ----

TEST_F(CtlBaseTest, ControlsOnFormsWithoutControllerShareTheDefaultOne) {
    TForm* f1 = NewForm();
    TForm* f2 = NewForm();
    TProbe* a = NewControl(f1, "A");
    TProbe* b = NewControl(f2, "B");
    f1->Show();
    f2->Show();
    Driver.RunPending();
    ASSERT_NE(a->Controller(), nullptr);
    EXPECT_EQ(a->Controller(), b->Controller());
    EXPECT_EQ(a->GetController(), CtlGetDefaultController());
    EXPECT_EQ(a->Controller()->Owner(), nullptr);

    // Freed and made anew: the links are cleared, and the next use makes a new one.
    CtlFreeDefaultController();
    EXPECT_EQ(a->Controller(), nullptr);
    EXPECT_NE(a->GetController(), nullptr);
}

TEST_F(CtlBaseTest, AControllerOnTheFormIsFoundOrLinkedWhenInserted) {
    TForm* f = NewForm();
    TCtlController* first = NewComponent<TCtlController>(f);
    TProbe* a = NewControl(f, "A");
    EXPECT_EQ(a->Controller(), nullptr) << "nothing linked before the window";
    f->Show();
    EXPECT_EQ(a->Controller(), first);
    EXPECT_EQ(CtlFindController(f), first);

    TForm* g = NewForm();
    TProbe* c = NewControl(g, "C");
    ASSERT_FALSE(c->HandleAllocated());
    TCtlController* inserted = NewComponent<TCtlController>(g);
    EXPECT_EQ(c->Controller(), inserted) << "linked on insertion, before its window exists";
    // Another controller does not replace the link.
    NewComponent<TCtlController>(g);
    EXPECT_EQ(c->Controller(), inserted);

    inserted->Free();
    EXPECT_EQ(c->Controller(), nullptr);
    EXPECT_EQ(c->GetController(), CtlGetDefaultController());

    c->SetController(g);  // not a controller: taken as nil
    EXPECT_EQ(c->Controller(), nullptr);
}

TEST_F(CtlBaseTest, ResolveAndParentFormRoutines) {
    TForm* f = NewForm();
    TProbe* a = NewControl(f, "A");
    EXPECT_EQ(CtlGetParentForm(a), f);
    EXPECT_EQ(CtlGetParentForm(f), nullptr) << "the walk starts with the parent";
    TCtlController* c = nullptr;
    CtlResolveController(f, c);
    EXPECT_EQ(c, nullptr);
    TCtlController* mine = NewComponent<TCtlController>(f);
    CtlResolveController(f, c);
    EXPECT_EQ(c, mine);

    std::string name;
    CtlUniqueComponentName(f, "A", name);
    EXPECT_EQ(name, "A1");
    try {
        CtlUniqueComponentName(f, "1A", name);
        FAIL() << "a bad identifier was taken";
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message, "''1A'' is not a valid component name");
    }
}

// ---- Controller ----

TEST_F(CtlBaseTest, ErrorsGoToOnErrorOrToAnErrorBox) {
    TCtlController* c = CtlGetDefaultController();
    Driver.Answer(IDOK);
    c->DoOnError(c, 30180, "Value is not valid for this field type");
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].Text, "Value is not valid for this field type");
    EXPECT_EQ(Driver.Shown[0].DlgType, mtError);
    EXPECT_EQ(Driver.Shown[0].Buttons, TMsgDlgButtons{mbOK}.Bits());

    uint16_t code = 0;
    c->OnError = [&](TObject*, uint16_t Code, const std::string&) { code = Code; };
    c->DoOnError(c, 30181, "x");
    EXPECT_EQ(code, 30181);
    EXPECT_EQ(Driver.Shown.size(), 1u);
}

TEST_F(CtlBaseTest, EpochStartsAtTheCenturyAndTakesOnlyYearsFrom1600To3999) {
    TClockFunc old = SetClock([] { return EncodeDate(2026, 12, 10); });
    TComponentPtr<TCtlController> c(new TCtlController(nullptr));
    SetClock(old);
    EXPECT_EQ(c->Epoch(), 2000);
    for (int32_t bad : {1599, 4000, -1}) {
        c->SetEpoch(bad);
        EXPECT_EQ(c->Epoch(), 2000);
    }
    c->SetEpoch(1600);
    EXPECT_EQ(c->Epoch(), 1600);
    c->SetEpoch(3999);
    EXPECT_EQ(c->GetEpoch(), 3999);
    c->OnGetEpoch = [](TObject*, int32_t& Epoch) { Epoch = 1900; };
    EXPECT_EQ(c->GetEpoch(), 1900);
    EXPECT_EQ(c->Epoch(), 3999);
}

TEST_F(CtlBaseTest, PostedEditNoticesReachTheEventsAndFailuresTheApplication) {
    TForm* f = NewForm();
    TCtlController* c = NewComponent<TCtlController>(f);
    TProbe* a = NewControl(f, "A");
    TProbe* b = NewControl(f, "B", 20, 80);
    f->Show();
    std::vector<std::string> log;
    c->OnPreEdit = [&](TObject* Sender, TWinControl* Losing) {
        log.push_back("pre " + static_cast<TComponent*>(Sender)->Name() + " " +
                      (Losing ? Losing->Name() : "-"));
    };
    c->OnPostEdit = [&](TObject* Sender, TWinControl* Gaining) {
        log.push_back("post " + static_cast<TComponent*>(Sender)->Name() + " " +
                      (Gaining ? Gaining->Name() : "-"));
    };
    c->DoOnPreEdit(a, b);
    c->DoOnPostEdit(a, nullptr);
    EXPECT_TRUE(log.empty()) << "posted, not sent";
    Driver.RunPending();
    EXPECT_EQ(log, (std::vector<std::string>{"pre A B", "post A -"}));

    bool special = true;
    c->OnIsSpecialControl = [&](TObject*, TWinControl* Control, bool& Special) { Special = Control == b; };
    special = c->DoIsSpecialControl(b->Handle());
    EXPECT_TRUE(special);
    EXPECT_FALSE(c->DoIsSpecialControl(a->Handle()));

    // A failing handler goes to the application's handler (an error box), not up the pump.
    c->OnDelayNotify = [](TObject*, uint16_t Code) { throw Exception("notify " + std::to_string(Code)); };
    Driver.Answer(IDOK);
    PostMessage(c->Handle(), OM_DELAYNOTIFY, 0x10007, reinterpret_cast<LPARAM>(a));
    Driver.RunPending();
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text, "notify 7.");  // the handler ends the text with a full stop

    // OM_SETFOCUS shows the control and gives it the focus.
    b->Hide();
    PostMessage(c->Handle(), OM_SETFOCUS, 0, reinterpret_cast<LPARAM>(b));
    Driver.RunPending();
    EXPECT_TRUE(b->Visible());
    EXPECT_EQ(GetFocus(), b->Handle());
}

TEST_F(CtlBaseTest, TimerTriggersOfThePoolReachOnTimerTrigger) {
    TComponentPtr<TCtlController> c(new TCtlController(nullptr));
    std::vector<int32_t> fired;
    c->OnTimerTrigger = [&](TObject*, int32_t Handle, uint32_t, int32_t) { fired.push_back(Handle); };
    const int32_t h = c->TimerPool().AddOneTime(nullptr, 110);
    Driver.Advance(220, 55);
    EXPECT_EQ(fired, std::vector<int32_t>{h});
}

// ---- Focus notices and the wheel ----

TEST_F(CtlBaseTest, TabbingFiresAfterExitThenAfterEnterOnceTheFocusHasSettled) {
    TForm* f = NewForm();
    TProbe* a = NewControl(f, "A");
    TProbe* b = NewControl(f, "B", 20, 80);
    f->Show();
    a->SetFocus();
    Driver.RunPending();
    std::vector<std::string> log;
    auto note = [&](const char* What) {
        return [&log, What](TObject* Sender) {
            // The focus has settled on its new window by the time the notice arrives.
            log.push_back(std::string(What) + " " + static_cast<TComponent*>(Sender)->Name() + " focus " +
                          FindControl(GetFocus())->Name());
        };
    };
    a->AfterExit = note("exit");
    b->AfterEnter = note("enter");
    Driver.Key(VK_TAB);
    EXPECT_EQ(log, (std::vector<std::string>{"exit A focus B", "enter B focus B"}));
}

TEST_F(CtlBaseTest, TheWheelReportsShiftDeltaAndPosition) {
    TForm* f = NewForm();
    TProbe* a = NewControl(f, "A");
    f->Show();
    TShiftState shift = 0;
    uint16_t delta = 0;
    a->OnMouseWheel = [&](TObject*, TShiftState Shift, uint16_t Delta, uint16_t, uint16_t) {
        shift = Shift;
        delta = Delta;
    };
    a->Perform(WM_MOUSEWHEEL, MakeWParam(MK_CONTROL, 120), MakeLParam(5, 6));
    EXPECT_EQ(delta, 120);
    EXPECT_EQ(shift & ssCtrl, ssCtrl);
    Driver.Wheel(*a, -120);
    EXPECT_EQ(delta, static_cast<uint16_t>(-120));
}

// ---- Attached label ----

TEST_F(CtlBaseTest, AVisibleLabelIsMadeNamedAndPlacedAboveTheControl) {
    TForm* f = NewForm();
    TProbe* edit = NewControl(f, "Edit1");
    f->Show();
    try {
        edit->AttachedLabel();
        FAIL() << "no error without a label";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Label not attached");
    }
    // A component already bears the first name.
    NewComponent<TCtlController>(f)->SetName("Edit1Label1");
    edit->LabelInfo().SetVisible(true);
    TCtlAttachedLabel* label = edit->AttachedLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Name(), "Edit1Label2");
    EXPECT_EQ(label->Caption(), "Edit1Label2");
    EXPECT_EQ(label->Owner(), f);
    EXPECT_EQ(label->Parent(), f);
    EXPECT_EQ(label->Control(), edit);
    EXPECT_EQ(label->FocusControl(), edit);
    EXPECT_EQ(label->Left(), edit->Left());
    EXPECT_EQ(label->Top() + label->Height(), edit->Top());
    EXPECT_GT(label->Height(), 0);

    // Hiding frees the label.
    edit->LabelInfo().SetVisible(false);
    EXPECT_EQ(f->FindComponent("Edit1Label2"), nullptr);
}

TEST_F(CtlBaseTest, TheLabelFollowsTheControlAndMovingTheLabelChangesTheOffsets) {
    TForm* f = NewForm();
    TProbe* edit = NewControl(f, "Edit1", 30, 60);
    f->Show();
    edit->LabelInfo().SetVisible(true);
    Driver.RunPending();
    TCtlAttachedLabel* label = edit->AttachedLabel();
    const int left = label->Left(), top = label->Top();

    edit->SetBounds(edit->Left() + 10, edit->Top() + 10, edit->Width(), edit->Height());
    EXPECT_EQ(label->Left(), left) << "moved by a posted message";
    Driver.RunPending();
    EXPECT_EQ(label->Left(), left + 10);
    EXPECT_EQ(label->Top(), top + 10);
    EXPECT_EQ(edit->LabelInfo().OffsetX(), 0);
    EXPECT_EQ(edit->LabelInfo().OffsetY(), 0);

    label->SetBounds(label->Left() + 7, label->Top() - 3, label->Width(), label->Height());
    Driver.RunPending();
    EXPECT_EQ(edit->LabelInfo().OffsetX(), 7);
    EXPECT_EQ(edit->LabelInfo().OffsetY(), -3);

    // Setting the offsets moves the label; hiding the control hides it.
    edit->LabelInfo().SetOffsets(-5, 2);
    EXPECT_EQ(label->Left(), edit->Left() - 5);
    EXPECT_EQ(label->Top() + label->Height(), edit->Top() + 2);
    edit->Hide();
    EXPECT_FALSE(label->Visible());
    edit->Show();
    EXPECT_TRUE(label->Visible());

    // Freeing the label clears the link and LabelInfo.Visible.
    label->Free();
    EXPECT_FALSE(edit->LabelInfo().Visible());
    EXPECT_THROW(edit->AttachedLabel(), Exception);
}

TEST_F(CtlBaseTest, LabelInfoNoticesOnlyOnChange) {
    TCtlLabelInfo info;
    int offsets = 0, visible = 0;
    info.OnOffsetChanged = [&] { ++offsets; };
    info.OnVisibleChanged = [&] { ++visible; };
    info.SetOffsets(0, 0);
    info.SetOffsetX(0);
    EXPECT_EQ(offsets, 0);
    info.SetOffsets(3, 4);
    EXPECT_EQ(offsets, 1);
    info.SetOffsets(3, 4);
    info.SetOffsetY(4);
    EXPECT_EQ(offsets, 1);
    info.SetOffsetY(5);
    EXPECT_EQ(offsets, 2);
    info.SetVisible(false);
    EXPECT_EQ(visible, 0);
    info.SetVisible(true);
    EXPECT_EQ(visible, 1);
}

TEST_F(CtlBaseTest, FreeingTheControlOrTheFormWithALabelLeavesNothingBehind) {
    TForm* f = NewForm();
    TProbe* a = NewControl(f, "A");
    TProbe* b = NewControl(f, "B", 20, 80);
    f->Show();
    a->LabelInfo().SetVisible(true);
    b->LabelInfo().SetVisible(true);
    Driver.RunPending();
    a->Free();
    EXPECT_EQ(f->FindComponent("ALabel1"), nullptr);
    EXPECT_NE(f->FindComponent("BLabel1"), nullptr);
    // The form goes with B and its label in TearDown (sanitizers catch a double free).
}

// ---- Collections ----

class TPage : public TCtlCollectibleControl {
public:
    explicit TPage(TComponent* AOwner) : TCtlCollectibleControl(AOwner, ClassOf<TPage>()) {}
};
class TSpecialPage : public TPage {
public:
    using TPage::TPage;
};
class TOther : public TCtlCollectibleControl {
public:
    explicit TOther(TComponent* AOwner) : TCtlCollectibleControl(AOwner, ClassOf<TOther>()) {}
};

class TBook : public TCtlCustomControl {
public:
    explicit TBook(TComponent* AOwner) : TCtlCustomControl(AOwner) {
        Pages = std::make_unique<TCtlCollection>(this, ClassOf<TPage>());
        Pages->OnChanged = [this](TObject*) { ++Changes; };
    }
    ~TBook() override { Pages.reset(); }
    std::unique_ptr<TCtlCollection> Pages;
    int Changes = 0;
};

class TBookForm : public TForm {
public:
    explicit TBookForm(TComponent* AOwner) : TForm(AOwner) {
        Book = NewComponent<TBook>(this);
        Book->SetParent(this);
        auto* p = NewComponent<TPage>(Book);
        p->SetName("Page1");
        p->SetParent(Book);
        NewComponent<TSpecialPage>(Book)->SetName("Page2");
    }
    TBook* Book;
};

TEST_F(CtlBaseTest, ItemsJoinTheCollectionOfTheirClassAndStreamAsChildren) {
    TBookForm* f = TCustomForm::Create<TBookForm>(Application);
    Forms.push_back(f);
    TBook* book = f->Book;
    ASSERT_EQ(book->Pages->Count(), 2);
    EXPECT_EQ(book->Pages->Items(1)->Collection(), book->Pages.get());
    EXPECT_EQ(book->Changes, 1) << "Loaded runs Changed once";
    EXPECT_TRUE(book->Pages->LoadedOnce());
    EXPECT_EQ(book->Pages->ItemByName("Page2"), book->Pages->Items(1));
    EXPECT_EQ(book->Pages->ItemByName("page1"), nullptr) << "names compare with case";
    EXPECT_EQ(book->FindComponent("page1"), book->Pages->Items(0));
    EXPECT_EQ(book->Pages->Items(0)->GetDisplayName(), "TPage");

    std::vector<TComponent*> children;
    book->GetChildren([&](TComponent* c) { children.push_back(c); }, f);
    EXPECT_EQ(children, (std::vector<TComponent*>{book->Pages->Items(0), book->Pages->Items(1)}));
    book->Pages->Stored = false;
    children.clear();
    book->GetChildren([&](TComponent* c) { children.push_back(c); }, f);
    EXPECT_TRUE(children.empty());

    // Renaming an item tells the collection; freeing one takes it out.
    book->Pages->Items(0)->SetName("First");
    EXPECT_EQ(book->Changes, 2);
    book->Pages->Items(0)->Free();
    ASSERT_EQ(book->Pages->Count(), 1);
    EXPECT_EQ(book->Pages->Items(0)->Name(), "Page2");

    // An item of another class has no collection here; moving an item needs a matching class.
    try {
        NewComponent<TOther>(book);
        FAIL() << "no error without a collection for the class";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "No collection found for this type");
    }
    TCtlCollection others(book, ClassOf<TOther>());
    try {
        book->Pages->Items(0)->SetCollection(&others);
        FAIL() << "an incompatible item was moved";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Item incompatible with collection");
    }
    EXPECT_EQ(book->Pages->Count(), 1);

    // Clear frees the items.
    book->Pages->Clear();
    EXPECT_EQ(book->Pages->Count(), 0);
    EXPECT_EQ(f->Book->ComponentCount(), 0);
}

TEST_F(CtlBaseTest, AtDesignTimeNewItemsNameThemselvesUniqueInTheFormsTree) {
    TBookForm* f = TCustomForm::Create<TBookForm>(Application);
    Forms.push_back(f);
    f->Book->SetDesigning(true, false);
    NewComponent<TCtlController>(f)->SetName("collectionitem2");  // elsewhere in the tree, other case
    EXPECT_EQ(NewComponent<TPage>(f->Book)->Name(), "CollectionItem1");
    EXPECT_EQ(NewComponent<TPage>(f->Book)->Name(), "CollectionItem3");
    // Attached labels can be streamed with their forms.
    EXPECT_NE(GetClass("TCtlAttachedLabel"), nullptr);
}

TEST_F(CtlBaseTest, ItemsAndCollectionsRefuseOwnersThatCannotHoldThem) {
    TForm* f = NewForm();
    TProbe* plain = NewControl(f, "Plain");
    try {
        NewComponent<TPage>(plain);
        FAIL() << "no error for an owner without collections";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "No collection exists in the owner component");
    }
    TComponentPtr<TComponent> bare(new TComponent(nullptr));
    try {
        NewComponent<TPage>(bare.get());
        FAIL() << "no error for a plain component";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Owner must be a TCtlComponent or TCtlCustomComponent descendant");
    }
    EXPECT_THROW(TCtlCollection(bare.get(), ClassOf<TPage>()), Exception);
    EXPECT_EQ(plain->ComponentCount(), 0);
    EXPECT_EQ(bare->ComponentCount(), 0);

    // A component of the library may hold collections too.
    TComponentPtr<TCtlComponent> holder(new TCtlComponent(nullptr));
    TCtlCollection pages(holder.get(), ClassOf<TPage>());
    TPage* p = NewComponent<TPage>(holder.get());
    EXPECT_EQ(pages.Count(), 1);
    EXPECT_EQ(holder->About(), "v4.06");
    p->Free();
    EXPECT_EQ(pages.Count(), 0);
}

}  // namespace
}  // namespace entry

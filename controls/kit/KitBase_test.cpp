// Component bases: the container component's image list and indexes, the hook component on a
// form's window, the missing theme library and the system information.
#include "controls/kit/KitBase.h"

#include <gtest/gtest.h>

#include "controls/kit/KitApp.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class TTestContainerComponent : public TKitContainerComponent {
public:
    using TKitContainerComponent::TKitContainerComponent;
    int Changed = 0;

protected:
    void ImageChanged(int Reason) override {
        EXPECT_EQ(Reason, 0);
        ++Changed;
    }
};

TEST(KitBaseTest, ContainerComponentFollowsItsImageList) {
    TComponentPtr<TKitCustomImageList> list(NewComponent<TKitCustomImageList>(nullptr, lkBitmapList));
    TComponentPtr<TTestContainerComponent> c(NewComponent<TTestContainerComponent>(nullptr));
    c->SetImageIndex(3);  // no list yet: stored without notification
    EXPECT_EQ(c->ImageIndex(), 3);
    EXPECT_EQ(c->Changed, 0);
    c->SetImageList(list.get());
    EXPECT_EQ(c->Changed, 1);
    c->SetImageIndex(-1);
    c->SetListIndex(-5);
    c->SetImageIndex(3);
    EXPECT_EQ(c->ImageIndex(), 3);
    EXPECT_EQ(c->ListIndex(), 0);
    EXPECT_EQ(c->Changed, 1);
    c->SetListIndex(2);
    EXPECT_EQ(c->Changed, 2);
    list->Change();  // through the change link
    EXPECT_EQ(c->Changed, 3);
    EXPECT_TRUE(c->ImageListStored());
    list.reset();  // freeing the list clears the reference
    EXPECT_EQ(c->ImageList(), nullptr);
    EXPECT_EQ(c->Changed, 4);
}

TEST(KitBaseTest, GlobalListsAreStoredAsTheirSignature) {
    TComponentPtr<TKitCustomImageList> bitmaps(NewComponent<TKitCustomImageList>(nullptr, lkBitmapList));
    TComponentPtr<TKitCustomImageList> images(NewComponent<TKitCustomImageList>(nullptr, lkImageList));
    TComponentPtr<TKitCustomImageList> local(NewComponent<TKitCustomImageList>(nullptr, lkImageList));
    RegisterGlobalImageList(bitmaps.get());
    RegisterGlobalImageList(images.get());
    TComponentPtr<TTestContainerComponent> c(NewComponent<TTestContainerComponent>(nullptr));
    struct Case {
        TKitCustomImageList* List;
        std::string Stored;  // the bytes of "Internal" (property name and string value)
    };
    for (const auto& [list, stored] :
         {Case{bitmaps.get(), std::string("\x08InternalKitBML30", 17)},
          Case{images.get(), std::string("\x08InternalKitIML30", 17)}, Case{local.get(), ""}}) {
        c->SetImageList(list);
        TMemFiler filer;
        filer.Writer().WriteProperties(c.get());
        std::string bytes = filer.Bytes();
        if (stored.empty()) {
            EXPECT_EQ(bytes, "");
            EXPECT_TRUE(c->ImageListStored());
            continue;
        }
        EXPECT_FALSE(c->ImageListStored());
        EXPECT_EQ(bytes, std::string("\x08Internal\x06\x08", 11) + stored.substr(9));
        TComponentPtr<TTestContainerComponent> read(NewComponent<TTestContainerComponent>(nullptr));
        filer.Reader().ReadProperty(read.get());
        EXPECT_EQ(read->ImageList(), list);
    }
    EXPECT_EQ(GlobalImageList("KitXXX30"), nullptr);
    UnregisterGlobalImageList(bitmaps.get());
    UnregisterGlobalImageList(images.get());
    EXPECT_EQ(GlobalImageList("KitBML30"), nullptr);
}

TEST(KitBaseTest, ChangeLinksDetachOnBothSides) {
    TKitChangeLink outer;
    int heard = 0;
    outer.OnChange = [&](TObject*) { ++heard; };
    {
        TComponentPtr<TKitBaseContainer> container(NewComponent<TKitBaseContainer>(nullptr));
        {
            TKitChangeLink inner;
            container->RegisterLink(&inner);
            container->RegisterLink(&outer);
            EXPECT_EQ(outer.Sender, container.get());
        }  // the inner link leaves when destroyed
        container->Change();
        EXPECT_EQ(heard, 1);
        container->UnregisterLink(&outer);
        container->UnregisterLink(&outer);  // a second detach does nothing
        EXPECT_EQ(outer.Sender, nullptr);
        container->RegisterLink(&outer);
    }
    EXPECT_EQ(outer.Sender, nullptr);  // the container detached it when it went
}

class TTestHook : public TKitWndProcComponent {
public:
    using TKitWndProcComponent::TKitWndProcComponent;
    std::vector<UINT> Seen;

protected:
    void WndProc(TMessage& Message) override {
        Seen.push_back(Message.Msg);
        TKitWndProcComponent::WndProc(Message);
    }
};

class KitHookTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
    }
};

constexpr UINT WM_PROBE = WM_USER + 77;

TEST_F(KitHookTest, DisabledAtLoadHooksNothingUntilEnabled) {
    auto* hook = NewComponent<TTestHook>(Form);
    hook->Loading();
    hook->SetEnabled(false);
    hook->Loaded();
    EXPECT_FALSE(hook->Hooked());
    SendMessage(Form->Handle(), WM_PROBE, 0, 0);
    EXPECT_TRUE(hook->Seen.empty());

    hook->SetEnabled(true);
    EXPECT_TRUE(hook->Hooked());
    EXPECT_EQ(SendMessage(Form->Handle(), WM_GETDLGCODE, 0, 0), Form->Perform(WM_GETDLGCODE, 0, 0));
    SendMessage(Form->Handle(), WM_PROBE, 1, 2);
    EXPECT_EQ(hook->Seen, (std::vector<UINT>{WM_GETDLGCODE, WM_PROBE}));
    Form->Show();
    Driver.RunPending();
    EXPECT_GT(hook->Seen.size(), 2u);  // the form's own traffic goes through it too

    hook->SetEnabled(false);
    EXPECT_FALSE(hook->Hooked());
    hook->Seen.clear();
    SendMessage(Form->Handle(), WM_PROBE, 0, 0);
    EXPECT_TRUE(hook->Seen.empty());
}

TEST_F(KitHookTest, EnabledAtLoadHooksAndEveryMessageReachesThePreviousProcedure) {
    HWND h = Form->Handle();
    // A procedure under the hook that takes the destroy messages itself.
    std::vector<UINT> below;
    TWndMethod original = SetWindowProc(h, nullptr);
    SetWindowProc(h, [&, original](TMessage& m) {
        below.push_back(m.Msg);
        if (m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) return;
        m.Result = CallWindowProc(original, h, m.Msg, m.WParam, m.LParam);
    });
    auto* hook = NewComponent<TTestHook>(Form);
    hook->Loading();
    hook->Loaded();
    ASSERT_TRUE(hook->Hooked());
    for (UINT msg : {WM_PROBE, WM_DESTROY, WM_PROBE, WM_NCDESTROY}) SendMessage(h, msg, 0, 0);
    EXPECT_EQ(below, (std::vector<UINT>{WM_PROBE, WM_DESTROY, WM_PROBE, WM_NCDESTROY}));
    hook->Free();  // unhooks
    below.clear();
    SendMessage(h, WM_PROBE, 0, 0);
    EXPECT_EQ(below, (std::vector<UINT>{WM_PROBE}));
    SetWindowProc(h, original);
}

TEST_F(KitHookTest, WithoutOwnerNothingIsHooked) {
    TComponentPtr<TTestHook> hook(NewComponent<TTestHook>(nullptr));
    EXPECT_EQ(hook->HookTarget(), 0u);
    hook->SetEnabled(true);
    EXPECT_FALSE(hook->Hooked());
    EXPECT_FALSE(hook->CanPaint());
}

TEST(KitBaseTest, NoThemeLibraryMeansClassicFaces) {
    EXPECT_FALSE(ThemeLibraryPresent());
    for (const char* name : ThemeEntryPointNames) EXPECT_EQ(ThemeEntryPoint(name), nullptr);
    TComponentPtr<TKitCustomComponent> c(NewComponent<TKitCustomComponent>(nullptr));
    EXPECT_TRUE(c->ThemeAware);
    EXPECT_FALSE(c->UseThemes());
    EXPECT_TRUE(KitApplication()->UseXPThemes());
    EXPECT_FALSE(KitApplication()->UseThemes());
    KitApplication()->SetUseXPThemes(false);
    KitApplication()->SetUseXPThemes(true);  // switching on without themes is ignored
    EXPECT_FALSE(KitApplication()->UseXPThemes());
    KitApplication()->RefreshThemeState();
    EXPECT_FALSE(KitApplication()->UseXPThemes());
}

TEST(KitBaseTest, SystemInformation) {
    EXPECT_TRUE(SystemFlags().IsWinNT);
    EXPECT_FALSE(SystemFlags().IsWin98OrLater);
    EXPECT_FALSE(SystemFlags().IsWin2000);
    EXPECT_EQ(ColorDepth(), 24);
    std::string user = CurrentUserName();
    EXPECT_FALSE(user.empty());
    EXPECT_NE(user, "(Unknown)");
}

TEST_F(KitHookTest, CaptionGeometryOfASizeableForm) {
    Form->SetBounds(10, 10, 300, 200);
    Form->Show();
    Driver.RunPending();
    TRect bar, text;
    uint32_t flags = cgBarToTextEnd;
    CaptionGeometry(Form->Handle(), bar, text, flags);
    EXPECT_GT(bar.Left, 0);
    EXPECT_GT(bar.Bottom, bar.Top);
    EXPECT_LT(bar.Right, 300);
    EXPECT_EQ(text.Bottom, bar.Bottom);
    EXPECT_EQ(bar.Right, text.Right);
    EXPECT_GT(text.Left, bar.Left);
    EXPECT_TRUE(flags & cgIconShown);
    EXPECT_FALSE(flags & cgSmallCaption);
}

}  // namespace
}  // namespace kit

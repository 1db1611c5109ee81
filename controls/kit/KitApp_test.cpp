// The kit's application object and timer pool: ticks on the framework clock, intervals, call
// limits, callbacks that change the pool while it ticks, errors; log name, pattern bitmap, timer
// slots, the instance mutex between processes, the settings configuration and the one-instance error.
#include "controls/kit/KitApp.h"

#include <gtest/gtest.h>

#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/UserEnv.h"

namespace kit {
namespace {

using namespace framework;

class KitTimerPoolTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TComponentPtr<TKitTimerPool> Pool{NewComponent<TKitTimerPool>(nullptr, TKitTimerInterval{50})};
    // Runs n ticks of the pool's window timer.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Driver.Advance(50);
    }
};

TEST_F(KitTimerPoolTest, ItemsFireEveryIntervalDivMinIntervalTicks) {
    EXPECT_EQ(Pool->MinInterval(), 50u);
    Pool->SetMinInterval(100);  // only while loading or designing
    EXPECT_EQ(Pool->MinInterval(), 50u);
    int slow = 0, fast = 0;
    Pool->AddTimerItem(1, 500, [&](TObject* Sender) {
        EXPECT_EQ(Sender, Pool.get());
        ++slow;
    });
    Pool->AddTimerItem(2, 50, [&](TObject*) { ++fast; });
    EXPECT_TRUE(Pool->Active());
    Ticks(9);
    EXPECT_EQ(slow, 0);
    Ticks(1);
    EXPECT_EQ(slow, 1);  // the tenth tick
    Ticks(20);
    EXPECT_EQ(slow, 3);
    EXPECT_EQ(fast, 30);

    TKitTimerItem* item = Pool->ItemByIdent(1);
    item->SetInterval(120);  // not a multiple of 50
    EXPECT_EQ(item->Interval(), 500u);
    EXPECT_EQ(item->Ticks(), 10);
    item->SetInterval(0);
    EXPECT_EQ(item->Interval(), 50u);

    Pool->RemoveTimerItem(1);
    Pool->RemoveTimerItem(2);
    EXPECT_FALSE(Pool->Active());  // the last item gone stops the timer
    Ticks(5);
    EXPECT_EQ(fast, 30);
}

TEST_F(KitTimerPoolTest, CallLimitAndThePoolEvent) {
    std::vector<std::pair<uint16_t, int>> calls;
    Pool->OnTimer = [&](TObject*, uint16_t Ident, int Counter) { calls.emplace_back(Ident, Counter); };
    Pool->AddTimerItem(7, 100, nullptr);  // no callback of its own: the pool's event fires
    TKitTimerItem* item = Pool->ItemByIdent(7);
    item->CallLimit = 3;
    Ticks(20);
    EXPECT_EQ(calls, (std::vector<std::pair<uint16_t, int>>{{7, 1}, {7, 2}, {7, 3}}));
    EXPECT_FALSE(item->Enabled());
    EXPECT_EQ(Pool->ActiveTimers(), 0);
    item->CallLimit = 0;
    item->SetEnabled(true);  // a limit of 0 keeps it off
    EXPECT_FALSE(item->Enabled());
    item->CallLimit = -1;
    item->SetEnabled(true);
    EXPECT_EQ(item->Counter(), 0);
}

TEST_F(KitTimerPoolTest, WrongIntervalsAndIdentsAreRefused) {
    for (uint32_t interval : {70u, 30u, 0u}) {
        try {
            Pool->AddTimerItem(1, interval, nullptr);
            ADD_FAILURE() << interval;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Interval not compatible with MinInterval property!");
        }
    }
    Pool->AddTimerItem(1, 150, nullptr);
    try {
        Pool->AddTimerItem(1, 50, nullptr);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message.rfind("List index out of bounds", 0), 0u);
    }
    EXPECT_EQ(Pool->Count(), 1);
    try {
        TKitTimerItem orphan(nullptr, 1);
        ADD_FAILURE();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "TKitTimerItem: Invalid Owner or List");
    }
}

TEST_F(KitTimerPoolTest, CallbacksMayRemoveAndAddItemsWhileTheyTick) {
    std::string log;
    Pool->AddTimerItem(1, 50, [&](TObject*) { log += 'A'; });
    Pool->AddTimerItem(2, 50, [&](TObject*) {
        log += 'B';
        Pool->RemoveTimerItem(2);  // itself
        Pool->RemoveTimerItem(1);  // and the neighbour that has already fired
    });
    Pool->AddTimerItem(3, 50, [&](TObject*) {
        log += 'C';
        if (Pool->ItemByIdent(5) == nullptr) Pool->AddTimerItem(5, 50, [&](TObject*) { log += 'E'; });
    });
    Pool->AddTimerItem(4, 50, [&](TObject*) {
        log += 'D';
        Pool->RemoveTimerItem(4);
    });
    Ticks(1);
    EXPECT_EQ(log, "ABCD");  // nothing skipped or repeated; the new item waits for the next tick
    EXPECT_EQ(Pool->Count(), 2);
    Ticks(1);
    EXPECT_EQ(log, "ABCDCE");
}

TEST_F(KitTimerPoolTest, AnExceptionInACallbackGoesToTheApplicationAndTheNextTickRuns) {
    std::vector<std::string> errors;
    TExceptionEvent saved = Application->OnException;
    Application->OnException = [&](TObject*, const std::exception& E) { errors.push_back(E.what()); };
    int calls = 0;
    Pool->AddTimerItem(1, 50, [&](TObject*) {
        if (++calls == 1) throw Exception("timer failed");
    });
    Ticks(3);
    Application->OnException = saved;
    EXPECT_EQ(errors, std::vector<std::string>{"timer failed"});
    EXPECT_EQ(calls, 3);
}

class KitApplicationTest : public ::testing::Test {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TFormDriver Driver;
    TComponentPtr<TKitApplication> App{NewComponent<TKitApplication>(nullptr)};
};

TEST_F(KitApplicationTest, Defaults) {
    EXPECT_EQ(App->TimerPool()->MinInterval(), 50u);
    EXPECT_EQ(App->EffectDelay, 3);
    EXPECT_EQ(App->DefaultMask, "#tdl");
    EXPECT_EQ(App->LogMaxSize, -1);
    EXPECT_EQ(App->CheckWidth(), 13);
    EXPECT_EQ(App->CheckHeight(), 13);
    EXPECT_EQ(App->PatternColor(), clNone);
    EXPECT_EQ(App->LogFileName(), ProgramFolder() + "Korvane.LOG");
    EXPECT_EQ(App->IniCtrl()->EffectiveTarget(), itRegistry);
}

TEST_F(KitApplicationTest, LogFileNames) {
    App->SetLogFileName("trace");
    EXPECT_EQ(App->LogFileName(), ProgramFolder() + "trace.LOG");
    App->SetLogFileName("D:\\LOGS\\run.txt");
    EXPECT_EQ(App->LogFileName(), ProgramFolder() + "run.txt");
    App->LogPrefix = ppFixed;
    App->SetLogFileName("D:\\LOGS\\run");
    EXPECT_EQ(App->LogFileName(), "D:\\LOGS\\run.LOG");
    App->SetLogFileName("  ");
    EXPECT_EQ(App->LogFileName(), "Korvane.LOG");
}

TEST_F(KitApplicationTest, PatternBitmapIsACheckerOfTheColour) {
    TBitmap* pattern = App->PatternBitmap(clRed);
    ASSERT_EQ(pattern->Width(), 8);
    ASSERT_EQ(pattern->Height(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pattern->Canvas().Pixel(x, y), (x + y) % 2 ? clRed : clWhite) << x << "," << y;
    EXPECT_EQ(App->PatternColor(), clRed);
    EXPECT_EQ(App->PatternBitmap(clBlue), pattern);
    EXPECT_EQ(pattern->Canvas().Pixel(1, 0), clBlue);
    EXPECT_EQ(pattern->Canvas().Pixel(1, 1), clWhite);
}

TEST_F(KitApplicationTest, TimerSlots) {
    int fired = 0;
    uint16_t first = App->AddTimer(100, [&](TObject*) { ++fired; });
    EXPECT_EQ(first, 0xFD01);
    ASSERT_NE(App->TimerItem(first), nullptr);
    for (int i = 1; i < KitTimerSlots; ++i) EXPECT_NE(App->AddTimer(1000, nullptr), 0);
    EXPECT_EQ(App->AddTimer(1000, nullptr), 0);  // all 250 slots taken
    EXPECT_EQ(App->TimerPool()->Count(), KitTimerSlots);
    Driver.Advance(200, 50);
    EXPECT_EQ(fired, 2);
    App->RemoveTimer(first);
    App->RemoveTimer(0x0005);  // not one of the kit's idents
    EXPECT_EQ(App->TimerItem(first), nullptr);
    EXPECT_EQ(App->AddTimer(50, nullptr), first);  // the freed slot is taken again
}

TEST_F(KitApplicationTest, ASecondProcessIsTheSecondInstance) {
    EXPECT_FALSE(App->IsSecondInstance());
    int result = platform::testsupport::RunInChildProcess([] {
        TComponentPtr<TKitApplication> second(NewComponent<TKitApplication>(nullptr));
        return second->IsSecondInstance() ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
}

TEST(KitIniCtrlTest, Settings) {
    TComponentPtr<TKitIniCtrl> ini(NewComponent<TKitIniCtrl>(nullptr));
    ini->SetIniFile("settings");
    EXPECT_EQ(ini->IniFile(), "settings.INI");
    ini->SetIniFile("C:\\A.B\\kit.cfg");
    EXPECT_EQ(ini->IniFile(), "C:\\A.B\\kit.cfg");
    ini->SetMaxEntries(40);
    ini->SetAlphaCounter(true);
    EXPECT_EQ(ini->MaxEntries(), 26);
    ini->SetMaxEntries(30);
    EXPECT_EQ(ini->MaxEntries(), 26);
    ini->SetTarget(itIniFile);
    EXPECT_EQ(ini->EffectiveTarget(), itIniFile);
    ini->SetNetUser(true);
    EXPECT_EQ(ini->User, CurrentUserName());
}

TEST(KitOneInstanceTest, ErrorTextsAndTheOwnerCheck) {
    EXPECT_EQ(std::string(KitEOneInstError("X", 1).what()), "X:\rAlready one X control in this project!");
    EXPECT_EQ(std::string(KitEOneInstError("Styler", 0).what()),
              "Styler:\rInvalid owner (<>TForm) or second instance on a form");

    TFormDriver driver;
    TForm* form = TCustomForm::Create<TForm>(Application);
    NewComponent<TKitIniCtrl>(form);
    EXPECT_FALSE(CheckSingleOnOwner(form, ClassOf<TKitIniCtrl>(), false));
    NewComponent<TKitIniCtrl>(form);
    EXPECT_TRUE(CheckSingleOnOwner(form, ClassOf<TKitIniCtrl>(), false));
    EXPECT_FALSE(CheckSingleOnOwner(form, nullptr, false));
    EXPECT_TRUE(CheckSingleOnOwner(nullptr, ClassOf<TKitIniCtrl>(), false));
    EXPECT_FALSE(CheckSingleOnOwner(nullptr, ClassOf<TKitIniCtrl>(), true));
    form->Free();
}

}  // namespace
}  // namespace kit

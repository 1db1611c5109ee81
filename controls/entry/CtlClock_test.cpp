// The clock: elapsed time and countdown on the fake clock, offsets, the events, the digital and
// analog faces.
#include "controls/entry/CtlClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/entry/CtlController.h"
#include "framework/core/Seams.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class ClockTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlController* Controller = NewComponent<TCtlController>(Form);
    TCtlClock* Clock = nullptr;
    int Seconds = 0, Minutes = 0, Hours = 0, Done = 0;
    void SetUp() override {
        Form->SetBounds(40, 40, 400, 300);
        Clock = NewComponent<TCtlClock>(Form);
        Clock->SetParent(Form);
        Clock->SetBounds(10, 10, 136, 136);
        Clock->OnSecondChange = [this](TObject*) { ++Seconds; };
        Clock->OnMinuteChange = [this](TObject*) { ++Minutes; };
        Clock->OnHourChange = [this](TObject*) { ++Hours; };
        Clock->OnCountdownDone = [this](TObject*) { ++Done; };
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // The clock of the cataloguing progress window.
    void MakeProgressClock() {
        Clock->SetClockMode(cmTimer);
        Clock->SetDisplayMode(dmDigital);
        TCtlDigitalOptions& o = Clock->DigitalOptions();
        o.SetMilitaryTime(true);
        o.SetShowSeconds(true);
        o.SetSize(2);
        o.SetOnColor(clBlue);
        o.SetOffColor(clBtnFace);
        o.SetBgColor(clBtnFace);
    }
    std::string Shown() { return Clock->Display() ? Clock->Display()->Text() : "(analog)"; }
};

// The wall clock at a fixed time (the driver keeps the tick count that drives the timers).
class TWallClock {
public:
    explicit TWallClock(TDateTime At) : FOld(SetClock([At] { return At; })) {}
    ~TWallClock() { SetClock(FOld); }

private:
    TClockFunc FOld;
};

TEST_F(ClockTest, ElapsedTimeOnTheDigitalFace) {
    MakeProgressClock();
    EXPECT_EQ(Clock->Width(), 136);
    EXPECT_EQ(Clock->Height(), 30);
    Clock->SetActive(true);
    EXPECT_EQ(Shown(), "00:00:00");
    EXPECT_EQ(Clock->GetController(), Controller);
    EXPECT_EQ(Controller->TimerPool().TriggerCount(), 1);
    Driver.Advance(65'000, 500);
    EXPECT_EQ(Shown(), "00:01:05");
    // Once per second shown, not per trigger.
    EXPECT_EQ(Seconds, 65);
    EXPECT_EQ(Minutes, 1);
    EXPECT_EQ(Hours, 0);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_clock_digital.png");
    EXPECT_EQ(Driver.PixelAt(*Form, 10 + 135, 10 + 29), ColorToRGB(clBtnFace));

    Clock->SetActive(false);
    EXPECT_EQ(Controller->TimerPool().TriggerCount(), 0);
    Driver.Advance(5'000, 500);
    EXPECT_EQ(Shown(), "00:01:05");
    // Started again, it counts from zero.
    Clock->SetActive(true);
    EXPECT_EQ(Shown(), "00:00:00");
    Driver.Advance(2'000, 500);
    EXPECT_EQ(Shown(), "00:00:02");
}

TEST_F(ClockTest, CountdownStopsAtZeroAndReportsOnce) {
    Clock->SetDisplayMode(dmDigital);
    Clock->SetClockMode(cmCountdownTimer);
    Clock->SetSecondOffset(2);
    EXPECT_EQ(Shown(), "00:00:02");
    Clock->SetActive(true);
    std::vector<std::string> seen;
    for (int i = 0; i < 10; ++i) {
        Driver.Advance(500);
        if (seen.empty() || seen.back() != Shown()) seen.push_back(Shown());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"00:00:01", "00:00:00"}));
    EXPECT_FALSE(Clock->Active());
    EXPECT_EQ(Clock->TriggerHandle(), -1);
    EXPECT_EQ(Done, 1);
}

TEST_F(ClockTest, OffsetsOutsideTheirRangesAreIgnored) {
    struct Case {
        void (TCtlCustomClock::*set)(int32_t);
        int32_t (TCtlCustomClock::*get)() const;
        int32_t value;
        bool taken;
    };
    const Case cases[] = {
        {&TCtlCustomClock::SetMinuteOffset, &TCtlCustomClock::MinuteOffset, 61, false},
        {&TCtlCustomClock::SetMinuteOffset, &TCtlCustomClock::MinuteOffset, -60, true},
        {&TCtlCustomClock::SetHourOffset, &TCtlCustomClock::HourOffset, -24, true},
        {&TCtlCustomClock::SetHourOffset, &TCtlCustomClock::HourOffset, 25, false},
        {&TCtlCustomClock::SetSecondOffset, &TCtlCustomClock::SecondOffset, 59, true},
        {&TCtlCustomClock::SetSecondOffset, &TCtlCustomClock::SecondOffset, -60, false},
    };
    for (const Case& c : cases) {
        TCtlClock clock(nullptr);
        (clock.*c.set)(c.value);
        EXPECT_EQ((clock.*c.get)(), c.taken ? c.value : 0) << c.value;
    }
}

TEST_F(ClockTest, TimeOfDayWithOffsetsWrapsRoundTheDay) {
    struct Case {
        int hour, minute;
        int32_t hourOffset, minuteOffset;
        const char* shown;
    };
    const Case cases[] = {
        {10, 3, 0, 0, "10:03:20"},     {10, 3, 0, -5, "09:58:20"},  {23, 50, 0, 15, "00:05:20"},
        {0, 30, -24, -60, "23:30:20"}, {12, 0, 24, 60, "13:00:20"}, {1, 0, -2, 0, "23:00:20"},
    };
    Clock->SetDisplayMode(dmDigital);
    for (const Case& c : cases) {
        TWallClock time(EncodeDate(2026, 3, 4) + EncodeTime(c.hour, c.minute, 20, 0));
        Clock->SetHourOffset(c.hourOffset);
        Clock->SetMinuteOffset(c.minuteOffset);
        Clock->SetActive(true);
        Driver.Advance(500);
        EXPECT_EQ(Shown(), c.shown) << c.hour << ":" << c.minute;
        Clock->SetActive(false);
    }
}

TEST_F(ClockTest, DisplayModesAndDigitalOptionsSizeTheClock) {
    EXPECT_EQ(Clock->Width(), 136);
    EXPECT_EQ(Clock->Height(), 136);
    Clock->SetDisplayMode(dmDigital);
    ASSERT_NE(Clock->Display(), nullptr);
    EXPECT_EQ(Clock->Display()->CellColumns(), 8);
    EXPECT_EQ(Clock->Height(), 30);
    TCtlDigitalOptions& o = Clock->DigitalOptions();
    struct Case {
        bool seconds, military;
        int columns;
    };
    for (const Case c :
         {Case{true, false, 11}, Case{false, true, 5}, Case{false, false, 8}, Case{true, true, 8}}) {
        o.SetShowSeconds(c.seconds);
        o.SetMilitaryTime(c.military);
        EXPECT_EQ(Clock->Display()->CellColumns(), c.columns);
        EXPECT_EQ(Clock->Width(), c.columns * 17);
    }
    o.SetSize(3);
    EXPECT_EQ(Clock->Width(), 8 * 17 * 2);
    EXPECT_EQ(Clock->Height(), 60);
    // In digital mode the clock keeps the display's size.
    Clock->SetBounds(10, 10, 300, 200);
    Driver.RunPending();
    EXPECT_EQ(Clock->Width(), 8 * 17 * 2);
    // Back to the face: the size saved when it turned digital.
    Clock->SetDisplayMode(dmAnalog);
    EXPECT_EQ(Clock->Display(), nullptr);
    EXPECT_EQ(Clock->Width(), 136);
    EXPECT_EQ(Clock->Height(), 136);
}

TEST_F(ClockTest, AnalogFaceShowsHandsAndMarks) {
    TWallClock time(EncodeDate(2026, 3, 4) + EncodeTime(3, 0, 30, 0));
    Clock->SetColor(clWhite);
    Clock->SetActive(true);
    Driver.RunPending();
    const auto at = [&](int X, int Y) { return Driver.PixelAt(*Clock, X, Y); };
    EXPECT_EQ(at(68, 68), clRed);  // the hub takes the second hand's colour
    // 3:00:30: the hour hand points right, the minute hand up, the second hand down.
    EXPECT_EQ(at(68 + 30, 68), clBlack);
    EXPECT_EQ(at(68, 68 - 40), clBlack);
    EXPECT_EQ(at(68, 68 + 40), clRed);
    EXPECT_EQ(at(68 - 30, 68), clWhite);
    // The hour mark at twelve.
    EXPECT_EQ(at(68, 1), clGray);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_clock_analog.png");
    Clock->HandOptions().SetSolidHands(false);
    Driver.Grab(*Form, ::testing::TempDir() + "entry_clock_analog_open.png");
}

TEST_F(ClockTest, ControllerFreedWhileRunning) {
    MakeProgressClock();
    Clock->SetActive(true);
    Controller->Free();
    EXPECT_EQ(Clock->TriggerHandle(), -1);
    EXPECT_FALSE(Clock->Active());
    Driver.Advance(2'000, 500);
    EXPECT_EQ(Shown(), "00:00:00");
}

}  // namespace
}  // namespace entry

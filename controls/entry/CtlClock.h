#pragma once
// The clock: the time of day, the time elapsed since it started, or a countdown, shown on an
// analog face with hands or in LED digits. It runs on a 500 ms trigger of its controller's timer
// pool.

#include <cstdint>
#include <functional>
#include <memory>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlLedLabel.h"
#include "framework/core/DateTime.h"
#include "framework/ui/Graphics.h"

namespace entry {

class TCtlController;

enum TCtlClockMode : uint8_t { cmClock, cmTimer, cmCountdownTimer };
enum TCtlClockDisplayMode : uint8_t { dmAnalog, dmDigital };
using TCtlPercent = int32_t;  // 0..100

// Options of the clock: every writer stores a changed value and tells the clock.
class TCtlClockOptions : public framework::TPersistent {
public:
    std::function<void()> OnChange;

protected:
    template <class T>
    void Set(T& Field, T Value) {
        if (Field == Value) return;
        Field = Value;
        if (OnChange) OnChange();
    }
};

class TCtlHandOptions : public TCtlClockOptions {
public:
    framework::TColor HourHandColor() const { return FHourHandColor; }
    void SetHourHandColor(framework::TColor Value) { Set(FHourHandColor, Value); }
    TCtlPercent HourHandLength() const { return FHourHandLength; }
    void SetHourHandLength(TCtlPercent Value) { SetLength(FHourHandLength, Value); }
    int32_t HourHandWidth() const { return FHourHandWidth; }
    void SetHourHandWidth(int32_t Value) { SetWidth(FHourHandWidth, Value); }
    framework::TColor MinuteHandColor() const { return FMinuteHandColor; }
    void SetMinuteHandColor(framework::TColor Value) { Set(FMinuteHandColor, Value); }
    TCtlPercent MinuteHandLength() const { return FMinuteHandLength; }
    void SetMinuteHandLength(TCtlPercent Value) { SetLength(FMinuteHandLength, Value); }
    int32_t MinuteHandWidth() const { return FMinuteHandWidth; }
    void SetMinuteHandWidth(int32_t Value) { SetWidth(FMinuteHandWidth, Value); }
    framework::TColor SecondHandColor() const { return FSecondHandColor; }
    void SetSecondHandColor(framework::TColor Value) { Set(FSecondHandColor, Value); }
    TCtlPercent SecondHandLength() const { return FSecondHandLength; }
    void SetSecondHandLength(TCtlPercent Value) { SetLength(FSecondHandLength, Value); }
    int32_t SecondHandWidth() const { return FSecondHandWidth; }
    void SetSecondHandWidth(int32_t Value) { SetWidth(FSecondHandWidth, Value); }
    bool ShowSecondHand() const { return FShowSecondHand; }
    void SetShowSecondHand(bool Value) { Set(FShowSecondHand, Value); }
    bool SolidHands() const { return FSolidHands; }
    void SetSolidHands(bool Value) { Set(FSolidHands, Value); }

    // Copies the eleven values and the change notice.
    void Assign(framework::TPersistent* Source) override;

private:
    void SetLength(TCtlPercent& Field, TCtlPercent Value) {
        if (Value >= 0 && Value <= 100) Set(Field, Value);
    }
    void SetWidth(int32_t& Field, int32_t Value) {
        if (Value >= 1) Set(Field, Value);
    }

    framework::TColor FHourHandColor = framework::clBlack;
    TCtlPercent FHourHandLength = 60;
    int32_t FHourHandWidth = 4;
    framework::TColor FMinuteHandColor = framework::clBlack;
    TCtlPercent FMinuteHandLength = 80;
    int32_t FMinuteHandWidth = 3;
    framework::TColor FSecondHandColor = framework::clRed;
    TCtlPercent FSecondHandLength = 90;
    int32_t FSecondHandWidth = 1;
    bool FShowSecondHand = true;
    bool FSolidHands = true;
};

class TCtlDigitalOptions : public TCtlClockOptions {
public:
    framework::TColor OnColor() const { return FOnColor; }
    void SetOnColor(framework::TColor Value) { Set(FOnColor, Value); }
    framework::TColor OffColor() const { return FOffColor; }
    void SetOffColor(framework::TColor Value) { Set(FOffColor, Value); }
    framework::TColor BgColor() const { return FBgColor; }
    void SetBgColor(framework::TColor Value) { Set(FBgColor, Value); }
    TSegmentSize Size() const { return FSize; }
    void SetSize(TSegmentSize Value) {
        if (Value >= 2 && Value <= 10) Set(FSize, Value);
    }
    bool ShowSeconds() const { return FShowSeconds; }
    void SetShowSeconds(bool Value) { Set(FShowSeconds, Value); }
    bool MilitaryTime() const { return FMilitaryTime; }
    void SetMilitaryTime(bool Value) { Set(FMilitaryTime, Value); }

    void Assign(framework::TPersistent* Source) override;

private:
    framework::TColor FOnColor = framework::clYellow;
    framework::TColor FOffColor = 0x104E4A;
    framework::TColor FBgColor = framework::clBlack;
    TSegmentSize FSize = 2;
    bool FShowSeconds = true;
    bool FMilitaryTime = true;
};

// The LED label a digital clock shows its time in.
class TCtlLEDClockDisplay : public TCtl32CustomLEDLabel {
public:
    using TCtl32CustomLEDLabel::TCtl32CustomLEDLabel;
};

class TCtlCustomClock : public TCtlCustomControlEx {
public:
    explicit TCtlCustomClock(framework::TComponent* AOwner);
    ~TCtlCustomClock() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TCtlClockMode ClockMode() const { return FClockMode; }
    void SetClockMode(TCtlClockMode Value);
    TCtlClockDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TCtlClockDisplayMode Value);
    // A copy of the picture is kept; an empty bitmap clears the face.
    framework::TBitmap& ClockFace() { return *FClockFace; }
    void SetClockFace(const framework::TBitmap* Value);
    bool DrawMarks() const { return FDrawMarks; }
    void SetDrawMarks(bool Value);
    TCtlHandOptions& HandOptions() { return FHandOptions; }
    TCtlDigitalOptions& DigitalOptions() { return FDigitalOptions; }
    // Ranges: hours -24..24, minutes -60..60, seconds -59..59; other values are ignored.
    int32_t HourOffset() const { return FHourOffset; }
    void SetHourOffset(int32_t Value);
    int32_t TimeOffset() const { return FHourOffset; }
    void SetTimeOffset(int32_t Value) { SetHourOffset(Value); }
    int32_t MinuteOffset() const { return FMinuteOffset; }
    void SetMinuteOffset(int32_t Value);
    int32_t SecondOffset() const { return FSecondOffset; }
    void SetSecondOffset(int32_t Value);

    // The time shown, and the LED display (nil on the analog face).
    framework::TDateTime ShownTime() const { return FTime; }
    TCtlLEDClockDisplay* Display() const { return FDisplay; }
    // The handle of the clock's trigger in its controller's timer pool, -1 while stopped.
    int32_t TriggerHandle() const { return FTrigger; }

    framework::TNotifyEvent OnHourChange;
    framework::TNotifyEvent OnMinuteChange;
    framework::TNotifyEvent OnSecondChange;
    framework::TNotifyEvent OnCountdownDone;

    void Loaded() override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void ShowTime(framework::TDateTime Time);
    void Paint() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    void Start();
    void Stop();
    void Trigger(int32_t ElapsedTime);
    void ShowCountdownStart();
    void UpdateDisplayText();
    void DigitalOptionsChanged();
    void SizeToDisplay();
    void PaintAnalog(framework::TCanvas& Canvas);
    bool Loading() const { return (ComponentState() & framework::csLoading) != 0; }

    bool FActive = false;
    TCtlClockMode FClockMode = cmClock;
    TCtlClockDisplayMode FDisplayMode = dmAnalog;
    std::unique_ptr<framework::TBitmap> FClockFace;
    bool FDrawMarks = true;
    TCtlHandOptions FHandOptions;
    TCtlDigitalOptions FDigitalOptions;
    int32_t FHourOffset = 0;
    int32_t FMinuteOffset = 0;
    int32_t FSecondOffset = 0;

    framework::TDateTime FTime = 0;
    int64_t FCountdownMs = 0;                 // the countdown's start, in milliseconds
    int FHour = 0, FMinute = 0, FSecond = 0;  // last reported
    int32_t FTrigger = -1;
    TCtlController* FTriggerOwner = nullptr;  // whose pool holds the trigger
    std::unique_ptr<framework::TBitmap> FBitmap;
    TCtlLEDClockDisplay* FDisplay = nullptr;  // owned as a component
    int FSavedWidth = 136, FSavedHeight = 136;
    bool FMilitaryTime = true;
    bool FSizing = false;
};

class TCtlClock : public TCtlCustomClock {
public:
    using TCtlCustomClock::TCtlCustomClock;
};

}  // namespace entry

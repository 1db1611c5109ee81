#include "controls/entry/CtlCommands.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "framework/testsupport/MemFiler.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace entry {
namespace {

using namespace framework;

// A control that translates every key pressed on it through its controller.
class TKeyProbe : public TCtlCustomControlEx {
public:
    using TCtlCustomControlEx::TCtlCustomControlEx;
    std::vector<std::string> UseTables;  // empty: the active tables
    std::vector<std::pair<int, uint16_t>> Results;

    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_GETDLGCODE) {
            M.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB;
            return;
        }
        if (M.Msg == WM_KEYDOWN) {
            TCtlCommandProcessor& p = GetController()->EntryCommands();
            Results.emplace_back(static_cast<int>(M.WParam),
                                 UseTables.empty() ? p.Translate(M) : p.TranslateUsing(UseTables, M));
            return;
        }
        TCtlCustomControlEx::Dispatch(M);
    }
    // The results for keys other than Shift, Ctrl and Alt.
    std::vector<uint16_t> Commands() const {
        std::vector<uint16_t> r;
        for (auto [key, command] : Results)
            if (key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU) r.push_back(command);
        return r;
    }
};

class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Controller = NewComponent<TCtlController>(Form);
        Probe = NewComponent<TKeyProbe>(Form);
        Probe->SetParent(Form);
        Probe->SetBounds(10, 10, 100, 20);
        Controller->EntryCommands().GetCommandTable("WordStar")->IsActive = true;
        Form->Show();
        Probe->SetFocus();
        Driver.RunPending();
    }
    void TearDown() override {
        // Keys typed with Ctrl or Shift leave them held; later tests expect a keyboard at rest.
        Driver.KeyUp(VK_CONTROL);
        Driver.KeyUp(VK_SHIFT);
        Form->Free();
        Driver.RunPending();
    }
    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TKeyProbe* Probe = nullptr;
};

TEST_F(TranslateTest, WordStarSequencesCtrlCharAndUnboundKeys) {
    struct Stroke {
        int Key;
        TShiftState Shift;
    };
    struct Case {
        const char* Name;
        std::vector<Stroke> Keys;
        std::vector<uint16_t> Expected;
    };
    const std::vector<Case> cases = {
        {"Ctrl+Q then S", {{'Q', ssCtrl}, {'S', 0}}, {ccPartialSequence, ccHome}},
        {"Ctrl+Q then Ctrl+S", {{'Q', ssCtrl}, {'S', ssCtrl}}, {ccPartialSequence, ccHome}},
        {"Ctrl+Q then Shift+S, then S alone",
         {{'Q', ssCtrl}, {'S', ssShift}, {'S', 0}},
         {ccPartialSequence, ccSequenceBroken, ccNoCommand}},
        {"Ctrl+Q alone", {{'Q', ssCtrl}}, {ccPartialSequence}},
        {"Ctrl+P takes the next key literally, then normal again",
         {{'P', ssCtrl}, {VK_LEFT, 0}, {VK_LEFT, 0}},
         {ccCtrlChar, ccNoCommand, ccLeft}},
        {"an unbound key", {{VK_F5, 0}}, {ccNoCommand}},
        {"Grid's F2 is not consulted", {{VK_F2, 0}}, {ccNoCommand}},
        {"Ctrl+K then 3 (WordStar) and Ctrl+Shift+3 (Default)",
         {{'K', ssCtrl}, {'3', 0}, {'3', ssCtrl | ssShift}},
         {ccPartialSequence, ccSetMarker0 + 3, ccSetMarker0 + 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Controller->EntryCommands().ResetCommandProcessor();
        Probe->Results.clear();
        for (const Stroke& s : c.Keys) Driver.Key(s.Key, s.Shift);
        EXPECT_EQ(Probe->Commands(), c.Expected);
    }
}

TEST_F(TranslateTest, ALoneShiftBetweenTheTwoKeysKeepsTheSequence) {
    Driver.Key('Q', ssCtrl);
    Driver.Key(VK_SHIFT, ssShift);
    Driver.Key('S', 0);
    std::vector<std::pair<int, uint16_t>> expected = {
        {'Q', ccPartialSequence}, {VK_SHIFT, ccPartialSequence}, {'S', ccHome}};
    std::vector<std::pair<int, uint16_t>> got;
    for (auto r : Probe->Results)
        if (r.first != VK_CONTROL) got.push_back(r);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(Controller->EntryCommands().State(), 0);
}

TEST_F(TranslateTest, TranslateUsingConsultsTheNamedTablesOnlyActiveOrNot) {
    Probe->UseTables = {"Nothing", "grid"};
    Driver.Key(VK_F2);
    Driver.Key(VK_LEFT, ssCtrl);  // ccPageLeft in Grid, ccWordLeft in Default
    Driver.Key('Q', ssCtrl);      // WordStar's is not consulted
    EXPECT_EQ(Probe->Commands(), (std::vector<uint16_t>{ccTableEdit, ccPageLeft, ccNoCommand}));
}

TEST(CommandProcessor, TranslateKeyBuildsTheMaskFromTheShiftState) {
    TCtlCommandProcessor p;
    EXPECT_EQ(p.TranslateKey(VK_BACK, ssAlt), ccRestore);
    EXPECT_EQ(p.TranslateKey(VK_LEFT, ssCtrl | ssShift), ccExtWordLeft);
    EXPECT_EQ(p.TranslateKey('Z', ssCtrl | ssShift), ccRedo);
    EXPECT_EQ(p.TranslateKey('Z', ssAlt), ccNoCommand);
}

TEST(CommandProcessor, BuiltInTablesAndTheirSizes) {
    TCtlCommandProcessor p;
    ASSERT_EQ(p.Count(), 3);
    struct Case {
        const char* Name;
        bool Active;
        int Count;
    };
    for (Case c : {Case{"Default", true, 64}, Case{"WordStar", false, 40}, Case{"Grid", false, 38}}) {
        SCOPED_TRACE(c.Name);
        TCtlCommandTable* t = p.GetCommandTable(c.Name);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->IsActive, c.Active);
        EXPECT_EQ(t->Count(), c.Count);
    }
    // Every second key of WordStar may be typed with Ctrl or without a shift key.
    const TCtlCommandTable* ws = p.GetCommandTable("wordstar");
    for (int i = 0; i < ws->Count(); ++i) {
        if (ws->Commands(i).Key2) {
            EXPECT_EQ(ws->Commands(i).Shift2, ksNoneOrCtrl);
        }
    }
}

TEST(CommandProcessor, TableNamesAreMadeUnique) {
    TCtlCommandProcessor p;
    p.CreateCommandTable("Default", true);
    EXPECT_EQ(p.Table(3)->TableName, "Default1");
    p.CreateCommandTable("default", true);
    EXPECT_EQ(p.Table(4)->TableName, "default2");
    p.CreateCommandTable("Mine7", false);
    EXPECT_EQ(p.Table(5)->TableName, "Mine7");

    TCtlCommandProcessor q;
    q.Clear();
    q.CreateCommandTable("Grid2", true);
    EXPECT_EQ(q.Table(0)->TableName, "Grid2") << "no Grid table: the name stays";
    q.CreateCommandTable("7", true);
    EXPECT_EQ(q.Table(1)->TableName, "7") << "at least one character is kept";
    q.CreateCommandTable("7", true);
    EXPECT_EQ(q.Table(2)->TableName, "71");
}

TEST(CommandProcessor, AddCommandRefusesDuplicatesAndUnknownTables) {
    TCtlCommandProcessor p;
    const TCtlCommandEntry left{VK_LEFT, 0, 0, 0, ccRight};
    try {
        p.AddCommand("Default", left);
        FAIL() << "duplicate accepted";
    } catch (const EDuplicateCommand& e) {
        EXPECT_EQ(e.Message, CtlGetMessage(30169));
    }
    try {
        p.AddCommand("Nope", left);
        FAIL() << "unknown table accepted";
    } catch (const ETableNotFound& e) {
        EXPECT_EQ(e.Message, CtlGetMessage(30170));
    }
    EXPECT_EQ(p.AddCommand("Grid", {VK_F5, 0, 0, 0, 300}), 38);
    // The table's own AddCommand does not check.
    EXPECT_EQ(p.GetCommandTable("Grid")->AddCommand({VK_F5, 0, 0, 0, 301}), 39);
    EXPECT_EQ(p.GetCommandTable("Grid")->IndexOf({VK_F5, 0, 0, 0, 0}), 38);
}

// ---- Streaming ----

// The defined properties of Instance (ended as a component's are), through the in-memory filer.
std::string WriteProps(TPersistent* Instance) {
    TMemFiler f;
    f.Writer().WriteProperties(Instance);
    f.Writer().WriteListEnd();
    return f.Bytes();
}

void ReadProps(TPersistent* Instance, const std::string& Bytes) {
    TMemFiler f;
    f.Writer().Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    TReader& r = f.Reader();
    while (!r.EndOfList()) r.ReadProperty(Instance);
    r.ReadListEnd();
}

// The bytes of a property name.
std::string Name(const std::string& n) {
    return std::string(1, static_cast<char>(n.size())) + n;
}
std::string Str(const std::string& s) {
    return std::string(1, '\x06') + Name(s);
}

TEST(CommandStreaming, UntouchedBuiltInTablesWriteEmptyLists) {
    TCtlCommandProcessor p;
    const std::string expected = Name("TableList") + "\x01" + Str("Default") +
                                 std::string("\x09\x01\x00", 3) + Str("WordStar") +
                                 std::string("\x08\x01\x00", 3) + Str("Grid") +
                                 std::string("\x08\x01\x00", 3) + std::string("\x00\x00", 2);
    EXPECT_EQ(WriteProps(&p), expected);
}

TEST(CommandStreaming, OneChangedCommandWritesOnePairAndReadingAppliesPairs) {
    TCtlCommandProcessor p;
    TCtlCommandTable* def = p.GetCommandTable("Default");
    def->PutCommand(0, {VK_LEFT, 0, 0, 0, 300});  // Left -> user command 300
    const std::string bytes = WriteProps(def);
    // CommandList ( 37 : vaInt8, 300 : vaInt16 )
    EXPECT_EQ(bytes, Name("CommandList") + std::string("\x01\x02\x25\x03\x2C\x01\x00\x00", 8));

    // A removed built-in entry is written as its key sequence with command 0.
    const TCtlCommandEntry wsHome = p.GetCommandTable("WordStar")->Commands(10);  // Ctrl+Q, S
    p.GetCommandTable("WordStar")->Delete(10);
    p.GetCommandTable("WordStar")->AddCommand({VK_F9, ksAlt, 0, 0, 999});

    TCtlCommandProcessor q;
    ReadProps(&q, WriteProps(&p));
    ASSERT_EQ(q.Count(), 3);
    EXPECT_EQ(q.GetCommandTable("Default")->Commands(0).Command, 300);
    EXPECT_EQ(q.GetCommandTable("Default")->Count(), 64);
    TCtlCommandTable* ws = q.GetCommandTable("WordStar");
    EXPECT_EQ(ws->IndexOf(wsHome), -1);
    EXPECT_EQ(ws->Count(), 40);
    EXPECT_EQ(ws->Commands(39), (TCtlCommandEntry{VK_F9, ksAlt, 0, 0, 999}));
    EXPECT_EQ(wsHome.KeySequence(), 'Q' | (ksCtrl << 8) | ('S' << 16) | (uint32_t{ksNoneOrCtrl} << 24));
}

TEST(CommandStreaming, OtherTablesWriteEveryEntryAndTheControllerStreamsItsTables) {
    TComponentPtr<TCtlController> c(new TCtlController(nullptr));
    c->EntryCommands().Clear();
    const int i = c->EntryCommands().CreateCommandTable("Mine", true);
    c->EntryCommands().Table(i)->AddCommand({VK_F3, ksShift, 0, 0, 257});
    c->EntryCommands().Table(i)->AddCommand({'K', ksCtrl, 'B', ksNoneOrCtrl, 258});
    const std::string bytes = WriteProps(c.get());

    TComponentPtr<TCtlController> d(new TCtlController(nullptr));
    ReadProps(d.get(), bytes);
    ASSERT_EQ(d->EntryCommands().Count(), 1);
    TCtlCommandTable* t = d->EntryCommands().Table(0);
    EXPECT_EQ(t->TableName, "Mine");
    EXPECT_TRUE(t->IsActive);
    ASSERT_EQ(t->Count(), 2);
    EXPECT_EQ(t->Commands(1), (TCtlCommandEntry{'K', ksCtrl, 'B', ksNoneOrCtrl, 258}));

    // Nothing is written without tables.
    c->EntryCommands().Clear();
    EXPECT_EQ(WriteProps(c.get()), std::string(1, '\0'));
}

TEST(CommandStreaming, ACommandOutsideSixteenBitsIsRefused) {
    TCtlCommandTable t;
    t.TableName = "Mine";
    const std::string bytes =
        Name("CommandList") + std::string("\x01\x02\x25\x04\x00\x00\x01\x00\x00\x00", 10);
    EXPECT_THROW(ReadProps(&t, bytes), EReadError);
}

// ---- Files ----

class CommandFileTest : public ::testing::Test {
protected:
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"C=" + Root.Path()};
};

TEST_F(CommandFileTest, SaveWritesRightAlignedColumnsAndLoadReadsThemBack) {
    TCtlCommandProcessor p;
    p.SaveCommandTable("Default", "C:\\DEFAULT.TBL");
    const std::string text = platform::testsupport::ReadNativeFile(Root / "DEFAULT.TBL");
    EXPECT_EQ(text.substr(0, 9 + 24), "Default\r\n  37   0   0   0    46\r\n");
    p.SaveCommandTable("Nothing", "C:\\NOTHING.TBL");  // no such table: no file
    EXPECT_EQ(platform::testsupport::ReadNativeFile(Root / "NOTHING.TBL"), "");

    const int i = p.LoadCommandTable("C:\\DEFAULT.TBL");
    TCtlCommandTable* t = p.Table(i);
    EXPECT_EQ(t->TableName, "Default1");
    ASSERT_EQ(t->Count(), 64);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(t->Commands(k), p.Table(0)->Commands(k));
}

TEST_F(CommandFileTest, BadLinesAndMissingFilesRaiseAndAddNoTable) {
    struct Case {
        const char* Text;
        const char* Why;
    };
    for (Case c : {Case{"T\n1 2 3 4\n", "four numbers"}, Case{"T\n1 2 3 4 5 6\n", "six numbers"},
                   Case{"T\n1 2 x 4 5\n", "not a number"}, Case{"T\n1 2 3 4 70000\n", "command too large"},
                   Case{"T\n256 0 0 0 1\n", "key too large"}}) {
        SCOPED_TRACE(c.Why);
        Root.WriteFile("BAD.TBL", c.Text);
        TCtlCommandProcessor p;
        EXPECT_THROW(p.LoadCommandTable("C:\\BAD.TBL"), EConvertError);
        EXPECT_EQ(p.Count(), 3);
    }
    TCtlCommandProcessor p;
    try {
        p.LoadCommandTable("C:\\MISSING.TBL");
        FAIL() << "no error for a missing file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, static_cast<int>(platform::ERROR_FILE_NOT_FOUND));
    }
    EXPECT_EQ(p.Count(), 3);
}

TEST_F(CommandFileTest, LongLinesAreCutAndBlankLinesSkipped) {
    std::string text = std::string(300, 'N') + "\n\n  1   2   0   0   9\r\n\n";
    Root.WriteFile("LONG.TBL", text);
    TCtlCommandTable t;
    t.LoadFromFile("C:\\LONG.TBL");
    EXPECT_EQ(t.TableName, std::string(255, 'N'));
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Commands(0), (TCtlCommandEntry{1, 2, 0, 0, 9}));
}

}  // namespace
}  // namespace entry

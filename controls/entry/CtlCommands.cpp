#include "controls/entry/CtlCommands.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Windows.h"
#include "platform/Process.h"
#include "platform/SimpleFiles.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint8_t S = ksShift, C = ksCtrl, A = ksAlt, CS = ksCtrl | ksShift;
constexpr uint8_t kLeft = VK_LEFT, kRight = 0x27, kUp = 0x26, kDown = 0x28, kHome = 0x24, kEnd = 0x23,
                  kPgUp = VK_PRIOR, kPgDn = 0x22, kIns = VK_INSERT, kDel = VK_DELETE, kBack = VK_BACK,
                  kTab = VK_TAB, kEnter = VK_RETURN, kF2 = VK_F2;

TCtlCommandEntry K(uint8_t Key, uint8_t Shift, uint16_t Command) {
    return {Key, Shift, 0, 0, Command};
}
// A WordStar sequence: Ctrl+First, then Second with or without Ctrl.
TCtlCommandEntry WS(char First, char Second, uint16_t Command) {
    return {static_cast<uint8_t>(First), C, static_cast<uint8_t>(Second), ksNoneOrCtrl, Command};
}

// Selection by Shift and Ctrl+Shift: the same in the Default and the Grid table.
std::vector<TCtlCommandEntry> ExtendEntries() {
    return {
        K(kLeft, S, ccExtendLeft),    K(kRight, S, ccExtendRight),  K(kHome, S, ccExtendHome),
        K(kEnd, S, ccExtendEnd),      K(kLeft, CS, ccExtWordLeft),  K(kRight, CS, ccExtWordRight),
        K(kPgUp, S, ccExtendPgUp),    K(kPgDn, S, ccExtendPgDn),    K(kUp, S, ccExtendUp),
        K(kDown, S, ccExtendDown),    K(kHome, CS, ccExtFirstPage), K(kEnd, CS, ccExtLastPage),
        K(kPgUp, CS, ccExtTopOfPage), K(kPgDn, CS, ccExtBotOfPage),
    };
}

void Append(std::vector<TCtlCommandEntry>& Table, const std::vector<TCtlCommandEntry>& More) {
    Table.insert(Table.end(), More.begin(), More.end());
}

std::vector<TCtlCommandEntry> MakeDefault() {
    std::vector<TCtlCommandEntry> t = {
        K(kLeft, 0, ccLeft),       K(kRight, 0, ccRight),    K(kLeft, C, ccWordLeft),
        K(kRight, C, ccWordRight), K(kHome, 0, ccHome),      K(kEnd, 0, ccEnd),
        K(kDel, 0, ccDel),         K(kBack, 0, ccBack),      K(kBack, S, ccBack),
        K(kPgUp, C, ccTopOfPage),  K(kPgDn, C, ccBotOfPage), K(kIns, 0, ccIns),
        K('Z', C, ccUndo),         K(kBack, A, ccRestore),   K(kUp, 0, ccUp),
        K(kDown, 0, ccDown),       K(kEnter, C, ccNewLine),
    };
    Append(t, ExtendEntries());
    Append(t, {
                  K(kDel, S, ccCut),
                  K('X', C, ccCut),
                  K(kIns, C, ccCopy),
                  K('C', C, ccCopy),
                  K(kIns, S, ccPaste),
                  K('V', C, ccPaste),
                  K(kPgUp, 0, ccPrevPage),
                  K(kPgDn, 0, ccNextPage),
                  K(kHome, C, ccFirstPage),
                  K(kEnd, C, ccLastPage),
                  K(kTab, 0, ccTab),
                  K(kTab, C, ccTab),
                  K('Z', CS, ccRedo),
              });
    for (int i = 0; i < 10; ++i)
        t.push_back(K(static_cast<uint8_t>('0' + i), C, static_cast<uint16_t>(ccGotoMarker0 + i)));
    for (int i = 0; i < 10; ++i)
        t.push_back(K(static_cast<uint8_t>('0' + i), CS, static_cast<uint16_t>(ccSetMarker0 + i)));
    return t;
}

std::vector<TCtlCommandEntry> MakeWordStar() {
    std::vector<TCtlCommandEntry> t = {
        K('S', C, ccLeft),     K('D', C, ccRight),     K('E', C, ccUp),       K('X', C, ccDown),
        K('R', C, ccPrevPage), K('C', C, ccNextPage),  K('W', C, ccScrollUp), K('Z', C, ccScrollDown),
        K('A', C, ccWordLeft), K('F', C, ccWordRight), WS('Q', 'S', ccHome),  WS('Q', 'D', ccEnd),
        K('G', C, ccDel),      K('H', C, ccBack),      K('Y', C, ccDelLine),  WS('Q', 'Y', ccDelEol),
        K('V', C, ccIns),      K('T', C, ccDelWord),   K('P', C, ccCtrlChar), WS('Q', 'L', ccRestore),
    };
    for (int i = 0; i < 10; ++i)
        t.push_back(WS('Q', static_cast<char>('0' + i), static_cast<uint16_t>(ccGotoMarker0 + i)));
    for (int i = 0; i < 10; ++i)
        t.push_back(WS('K', static_cast<char>('0' + i), static_cast<uint16_t>(ccSetMarker0 + i)));
    return t;
}

std::vector<TCtlCommandEntry> MakeGrid() {
    std::vector<TCtlCommandEntry> t = {
        K(kLeft, 0, ccLeft),       K(kRight, 0, ccRight), K(kLeft, C, ccPageLeft),
        K(kRight, C, ccPageRight), K(kHome, 0, ccHome),   K(kEnd, 0, ccEnd),
        K(kDel, 0, ccDel),         K(kBack, 0, ccBack),   K(kPgDn, C, ccBotOfPage),
        K(kPgUp, C, ccTopOfPage),  K(kIns, 0, ccIns),     K('Z', C, ccRestore),
        K(kUp, 0, ccUp),           K(kDown, 0, ccDown),
    };
    Append(t, ExtendEntries());
    Append(t, {
                  K('X', C, ccCut),
                  K('C', C, ccCopy),
                  K('V', C, ccPaste),
                  K(kPgUp, 0, ccPrevPage),
                  K(kHome, C, ccFirstPage),
                  K(kPgDn, 0, ccNextPage),
                  K(kEnd, C, ccLastPage),
                  K(kUp, C, ccTopLeftCell),
                  K(kDown, C, ccBotRightCell),
                  K(kF2, 0, ccTableEdit),
              });
    return t;
}

struct TBuiltIn {
    const char* Name;
    bool Active;
    std::vector<TCtlCommandEntry> Entries;
};

const std::vector<TBuiltIn>& BuiltIns() {
    static const std::vector<TBuiltIn> tables = {
        {"Default", true, MakeDefault()}, {"WordStar", false, MakeWordStar()}, {"Grid", false, MakeGrid()}};
    return tables;
}

bool IsShiftOrLockKey(uint8_t Key) {
    return Key == VK_SHIFT || Key == VK_CONTROL || Key == VK_MENU || Key == VK_CAPITAL || Key == VK_NUMLOCK ||
           Key == VK_SCROLL;
}

[[noreturn]] void RaiseInOutError() {
    const auto code = static_cast<int>(platform::GetLastError());
    throw EInOutError(Format("I/O error %d", {code}), code);
}

// Lines longer than this are cut there; the rest of such a line is skipped.
constexpr size_t kMaxLine = 255;

// Reads lines of at most kMaxLine characters from a byte source (CR LF or LF endings).
class TLineReader {
public:
    explicit TLineReader(const std::function<uint32_t(char*, uint32_t)>& Read) : FRead(Read) {}
    bool Next(std::string& Line) {
        Line.clear();
        bool any = false;
        for (;;) {
            if (FPos == FEnd) {
                FEnd = FRead(FBuf, sizeof FBuf);
                FPos = 0;
                if (FEnd == 0) return any;
            }
            char c = FBuf[FPos++];
            any = true;
            if (c == '\n') break;
            if (Line.size() < kMaxLine) Line.push_back(c);
        }
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        return true;
    }

private:
    const std::function<uint32_t(char*, uint32_t)>& FRead;
    char FBuf[4096];
    uint32_t FPos = 0, FEnd = 0;
};

TCtlCommandEntry ParseEntryLine(const std::string& Line) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < Line.size()) {
        while (i < Line.size() && (Line[i] == ' ' || Line[i] == '\t')) ++i;
        size_t start = i;
        while (i < Line.size() && Line[i] != ' ' && Line[i] != '\t') ++i;
        if (i > start) parts.push_back(Line.substr(start, i - start));
    }
    if (parts.size() != 5) throw EConvertError(Format("'%s' is not a valid integer value", {Line}));
    int32_t v[5];
    for (int k = 0; k < 5; ++k) {
        v[k] = StrToInt(parts[static_cast<size_t>(k)]);
        const int32_t max = k < 4 ? 255 : 65535;
        if (v[k] < 0 || v[k] > max)
            throw EConvertError(Format("'%s' is not a valid integer value", {parts[static_cast<size_t>(k)]}));
    }
    return {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]),
            static_cast<uint8_t>(v[3]), static_cast<uint16_t>(v[4])};
}

}  // namespace

const std::vector<TCtlCommandEntry>* CtlBuiltInTable(const std::string& Name) {
    for (const TBuiltIn& b : BuiltIns())
        if (SameText(Name, b.Name)) return &b.Entries;
    return nullptr;
}

// ---- TCtlCommandTable ----

TCtlCommandTable::TCtlCommandTable() : TableName(CtlGetMessage(30277)) {}

int TCtlCommandTable::AddCommand(const TCtlCommandEntry& Entry) {
    FCommands.push_back(Entry);
    return Count() - 1;
}

void TCtlCommandTable::InsertCommand(int Index, const TCtlCommandEntry& Entry) {
    if (Index < 0 || Index > Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    FCommands.insert(FCommands.begin() + Index, Entry);
}

void TCtlCommandTable::PutCommand(int Index, const TCtlCommandEntry& Entry) {
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    FCommands[static_cast<size_t>(Index)] = Entry;
}

void TCtlCommandTable::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    FCommands.erase(FCommands.begin() + Index);
}

int TCtlCommandTable::IndexOf(const TCtlCommandEntry& Entry) const {
    for (int i = 0; i < Count(); ++i)
        if (FCommands[static_cast<size_t>(i)].KeySequence() == Entry.KeySequence()) return i;
    return -1;
}

namespace detail {
void ReadCommandTableText(TCtlCommandTable& Table, const std::function<uint32_t(char*, uint32_t)>& Read) {
    Table.Clear();
    TLineReader reader(Read);
    std::string line;
    if (!reader.Next(line)) return;
    Table.TableName = line;
    while (reader.Next(line)) {
        if (Trim(line).empty()) continue;
        Table.AddCommand(ParseEntryLine(line));
    }
}
}  // namespace detail

void TCtlCommandTable::LoadFromFile(const std::string& FileName) {
    platform::HFILE f = platform::_lopen(FileName, platform::OF_READ | platform::OF_SHARE_DENY_WRITE);
    if (f == platform::HFILE_ERROR) RaiseInOutError();
    struct TCloser {
        platform::HFILE F;
        ~TCloser() { platform::_lclose(F); }
    } closer{f};
    detail::ReadCommandTableText(*this, [f](char* Buf, uint32_t Size) -> uint32_t {
        uint32_t n = platform::_lread(f, Buf, Size);
        if (n == static_cast<uint32_t>(platform::HFILE_ERROR)) RaiseInOutError();
        return n;
    });
}

void TCtlCommandTable::SaveToFile(const std::string& FileName) const {
    std::string text = TableName + "\r\n";
    char line[64];
    for (const TCtlCommandEntry& e : FCommands) {
        std::snprintf(line, sizeof line, "%4d%4d%4d%4d%6d\r\n", e.Key1, e.Shift1, e.Key2, e.Shift2,
                      e.Command);
        text += line;
    }
    platform::HFILE f = platform::_lcreat(FileName, 0);
    if (f == platform::HFILE_ERROR) RaiseInOutError();
    const uint32_t written = platform::_lwrite(f, text.data(), static_cast<uint32_t>(text.size()));
    const bool closed = platform::_lclose(f) != platform::HFILE_ERROR;
    if (written != text.size() || !closed) RaiseInOutError();
}

void TCtlCommandTable::WritePairs(TWriter* Writer) const {
    auto pair = [Writer](const TCtlCommandEntry& e, uint16_t Command) {
        Writer->WriteInteger(static_cast<int32_t>(e.KeySequence()));
        Writer->WriteInteger(static_cast<int32_t>(Command));
    };
    Writer->WriteListBegin();
    if (const auto* builtIn = CtlBuiltInTable(TableName)) {
        for (const TCtlCommandEntry& b : *builtIn)
            if (IndexOf(b) < 0) pair(b, 0);
        for (const TCtlCommandEntry& e : FCommands)
            if (std::find(builtIn->begin(), builtIn->end(), e) == builtIn->end()) pair(e, e.Command);
    } else {
        for (const TCtlCommandEntry& e : FCommands) pair(e, e.Command);
    }
    Writer->WriteListEnd();
}

void TCtlCommandTable::ReadPairs(TReader* Reader) {
    const auto* builtIn = CtlBuiltInTable(TableName);
    // Entries by key sequence, so that a long list is applied in linear time; deleted entries are
    // marked and dropped at the end (the order is that of deleting and appending one by one).
    std::vector<std::pair<TCtlCommandEntry, bool>> entries;
    std::unordered_map<uint32_t, size_t> index;
    if (builtIn)
        for (const TCtlCommandEntry& e : *builtIn) {
            index.emplace(e.KeySequence(), entries.size());
            entries.emplace_back(e, true);
        }
    Reader->ReadListBegin();
    while (!Reader->EndOfList()) {
        const auto sequence = static_cast<uint32_t>(Reader->ReadInteger());
        const int32_t command = Reader->ReadInteger();
        if (command < 0 || command > 0xFFFF) throw EReadError("Invalid property value");
        const TCtlCommandEntry e = TCtlCommandEntry::FromSequence(sequence, static_cast<uint16_t>(command));
        auto found = builtIn ? index.find(sequence) : index.end();
        if (found == index.end()) {
            if (builtIn) index.emplace(sequence, entries.size());
            entries.emplace_back(e, true);
        } else if (command != 0) {
            entries[found->second].first.Command = e.Command;
        } else {
            entries[found->second].second = false;
            index.erase(found);
        }
    }
    Reader->ReadListEnd();
    FCommands.clear();
    for (const auto& [entry, alive] : entries)
        if (alive) FCommands.push_back(entry);
}

void TCtlCommandTable::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineProperty(
        "CommandList", [this](TReader* R) { ReadPairs(R); }, [this](TWriter* W) { WritePairs(W); },
        !FCommands.empty());
}

// ---- TCtlCommandProcessor ----

TCtlCommandProcessor::TCtlCommandProcessor() {
    for (const TBuiltIn& b : BuiltIns()) {
        CreateCommandTable(b.Name, b.Active);
        for (const TCtlCommandEntry& e : b.Entries) AddCommand(b.Name, e);
    }
    ResetCommandProcessor();
}

TCtlCommandProcessor::~TCtlCommandProcessor() = default;

void TCtlCommandProcessor::ResetCommandProcessor() {
    FState = 0;
    FPendingKey = 0;
    FPendingShift = 0;
}

std::vector<TCtlCommandTable*> TCtlCommandProcessor::ActiveTables() const {
    std::vector<TCtlCommandTable*> tables;
    for (const auto& t : FTables)
        if (t->IsActive) tables.push_back(t.get());
    return tables;
}

namespace {
uint8_t KeyboardShift() {
    uint8_t shift = 0;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ksCtrl;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ksShift;
    if (GetKeyState(VK_MENU) < 0) shift |= ksAlt;
    return shift;
}
}  // namespace

uint16_t TCtlCommandProcessor::Translate(TMessage& Msg) {
    return TranslateWith(static_cast<uint8_t>(Msg.WParam & 0xFF), KeyboardShift(), ActiveTables());
}

uint16_t TCtlCommandProcessor::TranslateKey(uint16_t Key, TShiftState ShiftState) {
    uint8_t shift = 0;
    if (ShiftState & ssShift) shift |= ksShift;
    if (ShiftState & ssCtrl) shift |= ksCtrl;
    if (ShiftState & ssAlt) shift |= ksAlt;
    return TranslateWith(static_cast<uint8_t>(Key & 0xFF), shift, ActiveTables());
}

uint16_t TCtlCommandProcessor::TranslateUsing(const std::vector<std::string>& TableNames, TMessage& Msg) {
    std::vector<TCtlCommandTable*> tables;
    for (const std::string& name : TableNames)
        if (TCtlCommandTable* t = GetCommandTable(name)) tables.push_back(t);
    return TranslateWith(static_cast<uint8_t>(Msg.WParam & 0xFF), KeyboardShift(), tables);
}

uint16_t TCtlCommandProcessor::Lookup(const TCtlCommandTable& Table, uint8_t Key, uint8_t Shift) {
    for (int i = 0; i < Table.Count(); ++i) {
        const TCtlCommandEntry& e = Table.Commands(i);
        if (FState == 1) {
            const bool shiftMatches =
                e.Shift2 == Shift || (e.Shift2 == ksNoneOrCtrl && (Shift == 0 || Shift == ksCtrl));
            if (e.Key1 != FPendingKey || e.Shift1 != FPendingShift || e.Key2 != Key || !shiftMatches)
                continue;
            FState = e.Command == ccCtrlChar ? 2 : 0;
            return e.Command;
        }
        if (e.Key1 != Key || e.Shift1 != Shift) continue;
        if (e.Key2 != 0) {
            FState = 1;
            FPendingKey = Key;
            FPendingShift = Shift;
            return ccPartialSequence;
        }
        if (e.Command == ccCtrlChar) FState = 2;
        return e.Command;
    }
    return 0;
}

uint16_t TCtlCommandProcessor::TranslateWith(uint8_t Key, uint8_t Shift,
                                             const std::vector<TCtlCommandTable*>& Tables) {
    if (IsShiftOrLockKey(Key)) return FState == 1 ? ccPartialSequence : ccNoCommand;
    if (FState == 2) {
        FState = 0;
        return ccNoCommand;
    }
    for (TCtlCommandTable* t : Tables)
        if (uint16_t command = Lookup(*t, Key, Shift)) return command;
    const uint16_t result = FState == 1 ? ccSequenceBroken : ccNoCommand;
    FState = 0;
    return result;
}

int TCtlCommandProcessor::AddCommand(const std::string& TableName, const TCtlCommandEntry& Entry) {
    TCtlCommandTable* t = GetCommandTable(TableName);
    if (!t) throw ETableNotFound();
    if (t->IndexOf(Entry) >= 0) throw EDuplicateCommand();
    return t->AddCommand(Entry);
}

int TCtlCommandProcessor::CreateCommandTable(const std::string& Name, bool Active) {
    auto t = std::make_unique<TCtlCommandTable>();
    t->TableName = Name;
    t->IsActive = Active;
    AddTable(std::move(t));
    return Count() - 1;
}

namespace {
// The names of a processor's tables (upper case) and, per base name, the last number tried, so
// that a long run of tables of one name is named in linear time.
struct TTableNames {
    std::unordered_set<std::string> Taken;
    std::unordered_map<std::string, int> LastNumber;
};

// Strips trailing digits (keeping one character); when a table of that base exists, the first free
// base + number, else Name itself.
std::string UniqueTableName(const std::string& Name, TTableNames& Names) {
    std::string base = Name;
    while (base.size() > 1 && base.back() >= '0' && base.back() <= '9') base.pop_back();
    const std::string key = UpperCase(base);
    std::string name = Name;
    if (Names.Taken.count(key)) {
        int& i = Names.LastNumber[key];
        do {
            name = base + std::to_string(++i);
        } while (Names.Taken.count(UpperCase(name)));
    }
    Names.Taken.insert(UpperCase(name));
    return name;
}
}  // namespace

void TCtlCommandProcessor::AddTable(std::unique_ptr<TCtlCommandTable> Table) {
    TTableNames names;
    for (const auto& t : FTables) names.Taken.insert(UpperCase(t->TableName));
    Table->TableName = UniqueTableName(Table->TableName, names);
    FTables.push_back(std::move(Table));
}

TCtlCommandTable* TCtlCommandProcessor::GetCommandTable(const std::string& Name) const {
    for (const auto& t : FTables)
        if (SameText(t->TableName, Name)) return t.get();
    return nullptr;
}

int TCtlCommandProcessor::LoadCommandTable(const std::string& FileName) {
    // The table is freed again when reading fails.
    auto t = std::make_unique<TCtlCommandTable>();
    t->LoadFromFile(FileName);
    AddTable(std::move(t));
    return Count() - 1;
}

void TCtlCommandProcessor::SaveCommandTable(const std::string& TableName, const std::string& FileName) {
    if (TCtlCommandTable* t = GetCommandTable(TableName)) t->SaveToFile(FileName);
}

void TCtlCommandProcessor::WriteTables(TWriter* Writer) const {
    Writer->WriteListBegin();
    for (const auto& t : FTables) {
        Writer->WriteString(t->TableName);
        Writer->WriteBoolean(t->IsActive);
        t->WritePairs(Writer);
    }
    Writer->WriteListEnd();
}

void TCtlCommandProcessor::ReadTables(TReader* Reader) {
    Clear();
    ResetCommandProcessor();
    TTableNames names;
    Reader->ReadListBegin();
    while (!Reader->EndOfList()) {
        auto t = std::make_unique<TCtlCommandTable>();
        t->TableName = Reader->ReadString();
        t->IsActive = Reader->ReadBoolean();
        t->ReadPairs(Reader);
        // As AddTable does, without going over the tables already read again.
        t->TableName = UniqueTableName(t->TableName, names);
        FTables.push_back(std::move(t));
    }
    Reader->ReadListEnd();
}

void TCtlCommandProcessor::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineProperty(
        "TableList", [this](TReader* R) { ReadTables(R); }, [this](TWriter* W) { WriteTables(W); },
        !FTables.empty());
}

}  // namespace entry

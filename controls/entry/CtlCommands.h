#pragma once
// Key commands: named tables of key sequences (one key, or two keys in a row) with the command
// each stands for, and the processor that turns key presses into commands through its active
// tables. Three tables are built in: "Default" (active), "WordStar" and "Grid".

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Filer.h"
#include "framework/core/Persistent.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"

namespace entry {

// ---- Command codes ----
enum : uint16_t {
    ccNone = 0,
    ccBack,
    ccBotOfPage,
    ccBotRightCell,
    ccCompleteDate,
    ccCompleteTime,
    ccCopy,
    ccCtrlChar,
    ccCut,
    ccDec,
    ccDel,
    ccDelBol,
    ccDelEol,
    ccDelLine,
    ccDelWord,
    ccDown,
    ccEnd,
    ccExtendDown,
    ccExtendEnd,
    ccExtendHome,
    ccExtendLeft,
    ccExtendPgDn,
    ccExtendPgUp,
    ccExtendRight,
    ccExtendUp,
    ccExtBotOfPage,
    ccExtFirstPage,
    ccExtLastPage,
    ccExtTopOfPage,
    ccExtWordLeft,
    ccExtWordRight,
    ccFirstPage,
    ccGotoMarker0,  // .. ccGotoMarker9 = 41
    ccHome = 42,
    ccInc,
    ccIns,
    ccLastPage,
    ccLeft,
    ccNewLine,
    ccNextPage,
    ccPageLeft,
    ccPageRight,
    ccPaste,
    ccPrevPage,
    ccRedo,
    ccRestore,
    ccRight,
    ccScrollDown,
    ccScrollUp,
    ccSetMarker0,  // .. ccSetMarker9 = 67
    ccTab = 68,
    ccTableEdit,
    ccTopLeftCell,
    ccTopOfPage,
    ccUndo,
    ccUp,
    ccWordLeft,
    ccWordRight,
    // Results only the translator gives.
    ccNoCommand = 252,        // no command: the key goes on as an ordinary key
    ccSequenceBroken = 254,   // the second key completed no sequence; the key is dropped
    ccPartialSequence = 255,  // wait for the next key
    ccUserFirst = 256,        // application-defined commands from here
};

// Shift masks of a key entry; in Shift2, 128 means "no shift key, or Ctrl alone".
constexpr uint8_t ksShift = 2;
constexpr uint8_t ksCtrl = 4;
constexpr uint8_t ksAlt = 8;
constexpr uint8_t ksNoneOrCtrl = 128;

struct TCtlCommandEntry {
    uint8_t Key1 = 0;
    uint8_t Shift1 = 0;
    uint8_t Key2 = 0;  // 0: a one-key entry
    uint8_t Shift2 = 0;
    uint16_t Command = 0;

    // Key1, Shift1, Key2, Shift2 from the low byte up.
    uint32_t KeySequence() const {
        return Key1 | (uint32_t{Shift1} << 8) | (uint32_t{Key2} << 16) | (uint32_t{Shift2} << 24);
    }
    static TCtlCommandEntry FromSequence(uint32_t Sequence, uint16_t Command) {
        return {static_cast<uint8_t>(Sequence), static_cast<uint8_t>(Sequence >> 8),
                static_cast<uint8_t>(Sequence >> 16), static_cast<uint8_t>(Sequence >> 24), Command};
    }
    friend bool operator==(const TCtlCommandEntry&, const TCtlCommandEntry&) = default;
};

// A named list of key entries. A table named like a built-in one ("Default", "WordStar", "Grid",
// without regard to case) streams only how it differs from the built-in table.
class TCtlCommandTable : public framework::TPersistent {
public:
    TCtlCommandTable();

    bool IsActive = true;
    std::string TableName;

    int Count() const { return static_cast<int>(FCommands.size()); }
    const TCtlCommandEntry& Commands(int Index) const { return FCommands.at(static_cast<size_t>(Index)); }
    // Appends without a duplicate check.
    int AddCommand(const TCtlCommandEntry& Entry);
    void InsertCommand(int Index, const TCtlCommandEntry& Entry);
    void PutCommand(int Index, const TCtlCommandEntry& Entry);
    void Delete(int Index);
    void Clear() { FCommands.clear(); }
    // The first entry with the same key sequence (command ignored), -1 when none.
    int IndexOf(const TCtlCommandEntry& Entry) const;

    // Text file: the name on the first line, then one entry a line as five right-aligned numbers
    // (widths 4, 4, 4, 4, 6). A line that is not five integers raises EConvertError; an I/O
    // failure raises EInOutError with the system's code.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;

    // "CommandList", a list of (key sequence, command) pairs; written only when there are entries.
    void DefineProperties(framework::TFiler* Filer) override;
    void WritePairs(framework::TWriter* Writer) const;
    void ReadPairs(framework::TReader* Reader);

private:
    std::vector<TCtlCommandEntry> FCommands;
};

// The tables of a form's controls and the key-sequence state between key presses.
class TCtlCommandProcessor : public framework::TPersistent {
public:
    // Builds the three built-in tables.
    TCtlCommandProcessor();
    ~TCtlCommandProcessor() override;

    // The virtual-key code from the low byte of wParam, the shift keys as the keyboard is now.
    uint16_t Translate(framework::TMessage& Msg);
    uint16_t TranslateKey(uint16_t Key, framework::TShiftState ShiftState);
    // As Translate, through the named tables only (in that order, active or not).
    uint16_t TranslateUsing(const std::vector<std::string>& TableNames, framework::TMessage& Msg);
    void ResetCommandProcessor();

    // ETableNotFound when no table has the name, EDuplicateCommand when it holds the key sequence.
    int AddCommand(const std::string& TableName, const TCtlCommandEntry& Entry);
    int CreateCommandTable(const std::string& Name, bool Active);
    // Makes the table's name unique among the tables, then appends it (the processor owns it).
    void AddTable(std::unique_ptr<TCtlCommandTable> Table);
    // Names compare without regard to case; nil when none.
    TCtlCommandTable* GetCommandTable(const std::string& Name) const;
    int Count() const { return static_cast<int>(FTables.size()); }
    TCtlCommandTable* Table(int Index) const { return FTables.at(static_cast<size_t>(Index)).get(); }
    void Clear() { FTables.clear(); }
    virtual int LoadCommandTable(const std::string& FileName);
    virtual void SaveCommandTable(const std::string& TableName, const std::string& FileName);

    uint8_t State() const { return FState; }

    // "TableList": per table its name, IsActive and its pairs; written only when there are tables.
    void DefineProperties(framework::TFiler* Filer) override;
    void WriteTables(framework::TWriter* Writer) const;
    void ReadTables(framework::TReader* Reader);

private:
    uint16_t TranslateWith(uint8_t Key, uint8_t Shift, const std::vector<TCtlCommandTable*>& Tables);
    uint16_t Lookup(const TCtlCommandTable& Table, uint8_t Key, uint8_t Shift);
    std::vector<TCtlCommandTable*> ActiveTables() const;

    std::vector<std::unique_ptr<TCtlCommandTable>> FTables;
    uint8_t FState = 0;  // 0 idle, 1 waiting for a second key, 2 the next key is literal
    uint8_t FPendingKey = 0;
    uint8_t FPendingShift = 0;
};

namespace detail {
// What LoadFromFile does with the file's bytes; Read fills a buffer and returns the bytes it gave
// (0 at the end).
void ReadCommandTableText(TCtlCommandTable& Table, const std::function<uint32_t(char*, uint32_t)>& Read);
}  // namespace detail

// The built-in table of that name (without regard to case), nil for another name.
const std::vector<TCtlCommandEntry>* CtlBuiltInTable(const std::string& Name);

}  // namespace entry

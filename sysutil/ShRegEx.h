#pragma once
// A line-oriented regular-expression engine. TUtStreamRegEx compiles its pattern lists into linked
// token lists and tests, selects and rewrites lines of text; TUtRegEx holds the same settings and
// forwards to a TUtStreamRegEx of its own; TUtNodeHeap recycles token nodes.
//
// Pattern syntax: ordinary characters; '\' escapes (\b backspace, \l LF, \r CR, \s blank, \t tab,
// \n CR then LF, \h a hexadecimal digit, \w a delimiter, any other character itself); '.' any
// character but CR and LF; '^' the start of the line; '$' before CR LF; '[...]' and '[^...]'
// classes with ranges of letters or digits; '*', '+', '?' after a token; '(...)' groups; '{' '}'
// tags; '|' between single tokens ('ab|cd' is a, then b or c, then d).
//
// Matching commits to the first way a token, an option, an alternative or a group matches; only a
// closure gives back, one repetition of its operand at a time. Every text is matched with CR LF
// after it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "sysutil/ShConst.h"

namespace sysutil {

class TShTextStream;

// Token kinds.
inline constexpr uint8_t rkStart = 0;      // start of a (sub)pattern; matches empty
inline constexpr uint8_t rkChar = 1;       // the literal Ch
inline constexpr uint8_t rkClass = 2;      // a character of ClassText
inline constexpr uint8_t rkNotClass = 3;   // a character that is not CR, LF or in ClassText
inline constexpr uint8_t rkClosure = 4;    // '*' over the node that follows
inline constexpr uint8_t rkOption = 5;     // '?' over the node that follows
inline constexpr uint8_t rkAnyChar = 6;    // '.'
inline constexpr uint8_t rkBegOfLine = 7;  // '^'
inline constexpr uint8_t rkEndOfLine = 8;  // '$'
inline constexpr uint8_t rkGroup = 9;      // '(...)', the list at Child
inline constexpr uint8_t rkBegTag = 10;    // '{'
inline constexpr uint8_t rkEndTag = 11;    // '}'

struct TUtRegExNode {
    std::string ClassText;  // members of a class (kinds 2 and 3); any number of them
    TUtRegExNode* Child = nullptr;
    TUtRegExNode* Next = nullptr;
    uint8_t Kind = rkStart;
    uint8_t Ch = 0;
    bool IsAlternative = false;  // followed by '|'
};

// A free list of token nodes over blocks that live as long as the heap.
class TUtNodeHeap {
public:
    TUtNodeHeap() = default;
    TUtNodeHeap(const TUtNodeHeap&) = delete;
    TUtNodeHeap& operator=(const TUtNodeHeap&) = delete;

    // A cleared node from the free list, or from a new block when the list is empty.
    TUtRegExNode* AllocNode();
    // Returns one node (not its Next chain, not its children) to the free list.
    void FreeNode(TUtRegExNode* Node);
    // Returns a list: every node of the Next chain with its children.
    void FreeList(TUtRegExNode* Head);
    // A copy of kind, character, flag, class and children; Next is null.
    TUtRegExNode* CloneNode(const TUtRegExNode* Node);
    // A copy of the Next chain with every node's children.
    TUtRegExNode* CloneList(const TUtRegExNode* Head);

    // Nodes in all blocks, and those on the free list.
    size_t NodesAllocated() const { return FAllocated; }
    size_t NodesFree() const { return FFree; }

private:
    std::vector<std::unique_ptr<TUtRegExNode[]>> FBlocks;
    TUtRegExNode* FFreeList = nullptr;
    size_t FAllocated = 0;
    size_t FFree = 0;
};

// Bits of OutputOptions.
inline constexpr uint8_t ooUnselected = 1;          // also write the lines that were not selected
inline constexpr uint8_t ooReplaceMatchedOnly = 2;  // rewrite only lines that match MatchPattern
inline constexpr uint8_t ooCountOnly = 4;           // write nothing

// Where a match lies: 1-based start, the position of its last character, and its length. All
// zero when there was no match.
struct TUtMatchPosition {
    int32_t StartPos = 0;
    int32_t EndPos = 0;
    int32_t Length = 0;
};

// The settings that TUtRegEx copies into its engine before every operation.
struct TUtRegExSettings {
    bool IgnoreCase = false;
    bool Avoid = false;
    bool LineNumbers = false;
    int32_t MaxLineLength = 1024;
    uint8_t InLineTerminator = 3;  // kinds of TShTextStream (ShStrms.h)
    char InLineTermChar = '\n';
    int32_t InFixedLineLength = 80;
    uint8_t OutLineTerminator = 3;
    char OutLineTermChar = '\n';
    int32_t OutFixedLineLength = 80;
};

class TUtStreamRegEx : public TUtRegExSettings {
public:
    TUtStreamRegEx();
    ~TUtStreamRegEx();
    TUtStreamRegEx(const TUtStreamRegEx&) = delete;
    TUtStreamRegEx& operator=(const TUtStreamRegEx&) = delete;

    // The pattern lists: the lines of each, trimmed and joined, make one pattern.
    framework::TStringList* MatchPattern() { return &FMatchPattern; }
    framework::TStringList* SelAvoidPattern() { return &FSelAvoidPattern; }
    framework::TStringList* ReplacePattern() { return &FReplacePattern; }

    uint8_t OutputOptions() const { return FOutputOptions; }
    // A value holding ooCountOnly is stored as ooCountOnly alone.
    void SetOutputOptions(uint8_t Value);

    // Counters of the last check or run.
    int32_t SelectCount() const { return FSelectCount; }
    int32_t MatchCount() const { return FMatchCount; }
    int32_t ReplaceCount() const { return FReplaceCount; }
    int32_t LineCount() const { return FLineCount; }

    // Turns a ";"-separated list of file masks ("*.DTA;?X*.TXT") into MatchPattern and compiles it;
    // false, and the pattern unchanged, when the text holds no mask.
    bool SetMatchMasks(std::string_view Masks);

    // Whether the text is selected (by SelAvoidPattern and Avoid) and matches MatchPattern, and
    // where MatchPattern matched. Raises EShRegExError: a compile error, or 297 when neither
    // MatchPattern nor SelAvoidPattern holds a pattern.
    bool CheckString(std::string_view Text, TUtMatchPosition& Position);

    // Reads the lines of InStream from its position and writes the selected, matching or rewritten
    // lines to OutStream. Raises EShRegExError 297 when no pattern list holds a pattern.
    void Execute(framework::TStream* InStream, framework::TStream* OutStream);

    // The compiled lists of the last check or run (null when the list held no pattern).
    const TUtRegExNode* MatchList() const { return FMatchList; }
    const TUtRegExNode* SelAvoidList() const { return FSelAvoidList; }
    const TUtRegExNode* ReplaceList() const { return FReplaceList; }
    const TUtNodeHeap& NodeHeap() const { return FNodeHeap; }

private:
    class TMatcher;

    void CompileLists(bool WithReplace);
    void ResetCounters();
    // Decides one line (which ends with CR LF); writes through Out unless it is null.
    bool ProcessLine(std::string_view Line, TShTextStream* Out, TUtMatchPosition* Position);
    void WriteOutLine(TShTextStream* Out, std::string_view Text);

    framework::TStringList FMatchPattern;
    framework::TStringList FSelAvoidPattern;
    framework::TStringList FReplacePattern;
    uint8_t FOutputOptions = 0;
    int32_t FSelectCount = 0;
    int32_t FMatchCount = 0;
    int32_t FReplaceCount = 0;
    int32_t FLineCount = 0;

    TUtNodeHeap FNodeHeap;  // declared before the lists, which go back to it
    TUtRegExNode* FMatchList = nullptr;
    TUtRegExNode* FSelAvoidList = nullptr;
    TUtRegExNode* FReplaceList = nullptr;
    std::string FReplaceText;  // the replace pattern's literal characters
    std::unique_ptr<TMatcher> FMatcher;
};

// The front end: the same settings and pattern lists, copied into its own engine before every
// operation.
class TUtRegEx : public TUtRegExSettings {
public:
    TUtRegEx();
    ~TUtRegEx();
    TUtRegEx(const TUtRegEx&) = delete;
    TUtRegEx& operator=(const TUtRegEx&) = delete;

    framework::TStringList* MatchPattern() { return &FMatchPattern; }
    framework::TStringList* SelAvoidPattern() { return &FSelAvoidPattern; }
    framework::TStringList* ReplacePattern() { return &FReplacePattern; }
    uint8_t OutputOptions() const { return FOutputOptions; }
    void SetOutputOptions(uint8_t Value);

    int32_t SelectCount() const { return FEngine->SelectCount(); }
    int32_t MatchCount() const { return FEngine->MatchCount(); }
    int32_t ReplaceCount() const { return FEngine->ReplaceCount(); }
    int32_t LineCount() const { return FEngine->LineCount(); }

    bool SetMatchMasks(std::string_view Masks);
    bool CheckString(std::string_view Text, TUtMatchPosition& Position);
    void Execute(framework::TStream* InStream, framework::TStream* OutStream);

private:
    void CopyToEngine();

    framework::TStringList FMatchPattern;
    framework::TStringList FSelAvoidPattern;
    framework::TStringList FReplacePattern;
    uint8_t FOutputOptions = 0;
    std::unique_ptr<TUtStreamRegEx> FEngine;
};

}  // namespace sysutil

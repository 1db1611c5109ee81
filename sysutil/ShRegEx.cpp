#include "sysutil/ShRegEx.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/CodePage.h"
#include "sysutil/ShBase.h"
#include "sysutil/ShStrms.h"

namespace sysutil {

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

constexpr size_t kNodesPerBlock = 64;

// A compiled pattern may hold this many nodes ('+' copies its operand, so nested groups under
// '+' double with every level) ...
constexpr size_t kMaxNodes = 65536;
// ... and this many closures and groups together. The matcher and the list routines recurse
// once for each closure and group on their way, so this bounds their depth.
constexpr size_t kMaxNesting = 2000;

[[noreturn]] void RaiseRegExError(int32_t code) {
    RaiseSsError<EShRegExError>(code);
}

// Letters and digits of Windows-1252.
bool IsCharAlphaNumericA(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    if (c < 0x80) return false;
    if (platform::AnsiUpperChar(c) != c || platform::AnsiLowerChar(c) != c) return true;
    // Letters without a partner of the other case: f with hook, the ordinal indicators, micro,
    // sharp s.
    return c == 0x83 || c == 0xAA || c == 0xB5 || c == 0xBA || c == 0xDF;
}

// The character that '\' + c stands for (also inside a class).
char EscapedChar(char c) {
    switch (c) {
        case 'b':
            return 8;
        case 'l':
            return LF;
        case 'r':
            return CR;
        case 's':
            return ' ';
        case 't':
            return '\t';
        default:
            return c;
    }
}

// The members of '\w': tab, blank and the punctuation that delimits words.
std::string DelimiterClass() {
    std::string s = {'\t', ' ', '!', '"', '&'};
    for (int c = 40; c <= 47; ++c) s += static_cast<char>(c);
    for (int c = 58; c <= 64; ++c) s += static_cast<char>(c);
    for (int c = 91; c <= 94; ++c) s += static_cast<char>(c);
    s += '`';
    for (int c = 123; c <= 126; ++c) s += static_cast<char>(c);
    return s;
}

// From the '[' at from: the position of the class's closing ']' (the first one that no '\'
// escapes), or npos.
size_t ClassEnd(std::string_view p, size_t from, size_t to) {
    size_t k = from + 1;
    if (k < to && p[k] == '^') ++k;
    while (k < to) {
        if (p[k] == '\\')
            k += 2;
        else if (p[k] == ']')
            return k;
        else
            ++k;
    }
    return std::string_view::npos;
}

// Returns a list to the heap unless released.
class TListHolder {
public:
    TListHolder(TUtNodeHeap& heap, TUtRegExNode* head) : FHeap(heap), FHead(head) {}
    ~TListHolder() {
        if (FHead) FHeap.FreeList(FHead);
    }
    TListHolder(const TListHolder&) = delete;
    TListHolder& operator=(const TListHolder&) = delete;
    TUtRegExNode* Head() const { return FHead; }
    TUtRegExNode* Release() {
        TUtRegExNode* h = FHead;
        FHead = nullptr;
        return h;
    }

private:
    TUtNodeHeap& FHeap;
    TUtRegExNode* FHead;
};

size_t CountNodes(const TUtRegExNode* n, size_t& nesting) {
    size_t count = 1;
    if (n->Kind == rkClosure || n->Kind == rkGroup) ++nesting;
    for (const TUtRegExNode* c = n->Child; c; c = c->Next) count += CountNodes(c, nesting);
    return count;
}

class TCompiler {
public:
    TCompiler(TUtNodeHeap& heap, bool ignoreCase) : FHeap(heap), FIgnoreCase(ignoreCase) {}

    // The token list of a whole pattern.
    TUtRegExNode* Compile(std::string_view pattern) {
        TListHolder list(FHeap, CompileSub(pattern, 0, pattern.size()));
        if (FTagOpen) RaiseRegExError(296);
        return list.Release();
    }

private:
    TUtRegExNode* NewNode(uint8_t kind) {
        if (++FNodes > kMaxNodes) RaiseRegExError(290);
        if ((kind == rkClosure || kind == rkGroup) && ++FNesting > kMaxNesting) RaiseRegExError(290);
        TUtRegExNode* n = FHeap.AllocNode();
        n->Kind = kind;
        return n;
    }

    char Fold(char c) const {
        return FIgnoreCase ? static_cast<char>(platform::AnsiUpperChar(static_cast<unsigned char>(c))) : c;
    }

    // The list of p[from, to).
    TUtRegExNode* CompileSub(std::string_view p, size_t from, size_t to) {
        TListHolder list(FHeap, NewNode(rkStart));
        TUtRegExNode* last = list.Head();  // the last token
        TUtRegExNode* prev = nullptr;      // the node before it
        auto append = [&](TUtRegExNode* n) {
            last->Next = n;
            prev = last;
            last = n;
        };
        auto appendChar = [&](char c) {
            TUtRegExNode* n = NewNode(rkChar);
            n->Ch = static_cast<uint8_t>(Fold(c));
            append(n);
        };
        auto appendClass = [&](uint8_t kind, std::string members) {
            TUtRegExNode* n = NewNode(kind);
            n->ClassText = std::move(members);
            append(n);
        };

        size_t i = from;
        while (i < to) {
            const char c = p[i];
            const bool hasToken = last != list.Head();
            if ((c == '*' || c == '+' || c == '?') && hasToken) {
                if (last->Kind == rkClosure || last->Kind == rkOption || last->Kind == rkBegOfLine ||
                    last->Kind == rkEndOfLine || prev->Kind == rkClosure || prev->Kind == rkOption)
                    RaiseRegExError(294);
                if (c == '+') {
                    size_t nesting = 0;
                    const size_t count = CountNodes(last, nesting);
                    if (FNodes + count + 1 > kMaxNodes || FNesting + nesting + 1 > kMaxNesting)
                        RaiseRegExError(290);
                    TUtRegExNode* closure = NewNode(rkClosure);
                    closure->Next = last->Next;
                    last->Next = closure;
                    prev = closure;
                    TUtRegExNode* copy = FHeap.CloneNode(last);
                    FNodes += count;
                    FNesting += nesting;
                    closure->Next = copy;
                    last = copy;
                } else {
                    TUtRegExNode* n = NewNode(c == '*' ? rkClosure : rkOption);
                    n->Next = last;
                    prev->Next = n;
                    prev = n;
                }
                ++i;
                continue;
            }
            switch (c) {
                case '\\':
                    if (i + 1 >= to) {
                        appendChar(c);  // a '\' at the end stands for itself
                        ++i;
                        break;
                    }
                    switch (p[i + 1]) {
                        case 'n':
                            appendChar(CR);
                            appendChar(LF);
                            break;
                        case 'h':
                            appendClass(rkClass, FoldClass("0123456789ABCDEF"));
                            break;
                        case 'w':
                            appendClass(rkClass, FoldClass(DelimiterClass()));
                            break;
                        default:
                            appendChar(EscapedChar(p[i + 1]));
                    }
                    i += 2;
                    break;
                case '.':
                    append(NewNode(rkAnyChar));
                    ++i;
                    break;
                case '^':
                    append(NewNode(rkBegOfLine));
                    ++i;
                    break;
                case '$':
                    append(NewNode(rkEndOfLine));
                    ++i;
                    break;
                case '[': {
                    const size_t end = ClassEnd(p, i, to);
                    if (end == std::string_view::npos) RaiseRegExError(291);
                    const bool negated = p[i + 1] == '^';
                    std::string members = ClassMembers(p, i + (negated ? 2 : 1), end);
                    appendClass(negated ? rkNotClass : rkClass, FoldClass(std::move(members)));
                    i = end + 1;
                    break;
                }
                case '(': {
                    const size_t close = GroupEnd(p, i, to);
                    const std::string_view inner = p.substr(i + 1, close - i - 1);
                    auto emptyable = [](char e) { return e == '*' || e == '?'; };
                    if (((inner.size() == 2 && emptyable(inner[1])) ||
                         (inner.size() == 3 && inner[0] == '\\' && emptyable(inner[2]))) &&
                        close + 1 < to && (p[close + 1] == '*' || p[close + 1] == '+'))
                        RaiseRegExError(302);
                    TUtRegExNode* group = NewNode(rkGroup);
                    append(group);
                    group->Child = CompileSub(p, i + 1, close);
                    i = close + 1;
                    break;
                }
                case '{':
                case '}':
                    if (c == '{' && !FTagOpen) {
                        append(NewNode(rkBegTag));
                        FTagOpen = true;
                    } else if (c == '}' && FTagOpen) {
                        append(NewNode(rkEndTag));
                        FTagOpen = false;
                    } else {
                        appendChar(c);
                    }
                    ++i;
                    break;
                case '|':
                    if (prev && (prev->Kind == rkClosure || prev->Kind == rkOption)) RaiseRegExError(292);
                    last->IsAlternative = true;
                    ++i;
                    break;
                default:
                    appendChar(c);
                    ++i;
            }
        }
        return list.Release();
    }

    // The ')' that closes the '(' at from, passing over escapes, classes and inner groups.
    static size_t GroupEnd(std::string_view p, size_t from, size_t to) {
        int depth = 0;
        size_t k = from;
        while (k < to) {
            switch (p[k]) {
                case '\\':
                    k += 2;
                    continue;
                case '[': {
                    const size_t end = ClassEnd(p, k, to);
                    if (end == std::string_view::npos) RaiseRegExError(291);
                    k = end + 1;
                    continue;
                }
                case '(':
                    ++depth;
                    break;
                case ')':
                    if (--depth == 0) return k;
                    break;
            }
            ++k;
        }
        RaiseRegExError(295);
    }

    // The members written in p[from, end): escapes and ranges x-y of letters or digits.
    static std::string ClassMembers(std::string_view p, size_t from, size_t end) {
        std::string members;
        for (size_t k = from; k < end;) {
            const char c = p[k];
            if (c == '\\') {
                members += EscapedChar(p[k + 1]);
                k += 2;
                continue;
            }
            if (c == '-' && k + 1 < end && !members.empty()) {
                const auto x = static_cast<unsigned char>(p[k - 1]);
                const auto y = static_cast<unsigned char>(p[k + 1]);
                if (IsCharAlphaNumericA(x) && IsCharAlphaNumericA(y) && y >= x) {
                    for (unsigned m = x + 1u; m <= y; ++m) members += static_cast<char>(m);
                    k += 2;
                    continue;
                }
            }
            members += c;
            ++k;
        }
        return members;
    }

    // Upper-cased without repeats when case is ignored.
    std::string FoldClass(std::string members) const {
        if (!FIgnoreCase) return members;
        bool seen[256] = {};
        std::string folded;
        for (char m : members) {
            const unsigned char u = platform::AnsiUpperChar(static_cast<unsigned char>(m));
            if (!seen[u]) folded += static_cast<char>(u);
            seen[u] = true;
        }
        return folded;
    }

    TUtNodeHeap& FHeap;
    bool FIgnoreCase;
    bool FTagOpen = false;
    size_t FNodes = 0;
    size_t FNesting = 0;
};

// The literal characters of a replace list, in order, also those inside groups and closures.
void CollectLiterals(const TUtRegExNode* n, std::string& out) {
    for (; n; n = n->Next) {
        if (n->Kind == rkChar) out += static_cast<char>(n->Ch);
        if (n->Child) CollectLiterals(n->Child, out);
    }
}

// One file mask as a pattern line (without the "|" that joins masks).
std::string ConvertMask(std::string_view mask) {
    auto special = [](char c) { return c != 0 && std::strchr(".\\[](){}*+?|^$", c) != nullptr; };
    std::string out;
    size_t i = 0;
    if (mask[0] == '*' || mask[0] == '?') {
        out = "(";
    } else {
        out = "((^[";
        if (special(mask[0])) out += '\\';
        out += mask[0];
        out += "])";
        i = 1;
    }
    for (; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == '*') {
            out += ".*";
        } else if (c == '?') {
            out += i == 0 ? "(^.)" : ".?";
        } else {
            if (special(c)) out += '\\';
            out += c;
        }
    }
    out += "\\n)";
    return out;
}

std::string JoinPattern(framework::TStringList& lines) {
    std::string joined;
    for (int i = 0; i < lines.Count(); ++i) joined += TrimBlanks(lines[i]);
    return joined;
}

// Lines of a byte stream, read from its position and ended as a text stream's LineTerminator
// says; CR LF lines also end at a lone LF.
class TLineReader {
public:
    TLineReader(framework::TStream* stream, uint8_t kind, char termChar, int32_t fixedLength)
        : FStream(stream), FKind(kind), FTermChar(termChar), FFixed(std::max<int32_t>(fixedLength, 1)) {
        if (kind > ltOther) RaiseSsError<EShBufStreamError>(274);
    }

    bool ReadLine(std::string& line) {
        line.clear();
        for (;;) {
            if (FPos == FBuf.size() && !Fill()) return !line.empty();
            if (FKind == ltNone) {
                const size_t take = std::min(FBuf.size() - FPos, static_cast<size_t>(FFixed) - line.size());
                line.append(FBuf, FPos, take);
                FPos += take;
                if (line.size() == static_cast<size_t>(FFixed)) return true;
                continue;
            }
            const char end = FKind == ltCR ? CR : FKind == ltOther ? FTermChar : LF;
            const size_t at = FBuf.find(end, FPos);
            if (at == std::string::npos) {
                line.append(FBuf, FPos, std::string::npos);
                FPos = FBuf.size();
                continue;
            }
            line.append(FBuf, FPos, at - FPos);
            FPos = at + 1;
            if (FKind == ltCRLF && !line.empty() && line.back() == CR) line.pop_back();
            return true;
        }
    }

private:
    bool Fill() {
        FBuf.resize(65536);
        const int32_t got = FStream->Read(FBuf.data(), static_cast<int32_t>(FBuf.size()));
        FBuf.resize(got > 0 ? static_cast<size_t>(got) : 0);
        FPos = 0;
        return got > 0;
    }

    framework::TStream* FStream;
    uint8_t FKind;
    char FTermChar;
    int32_t FFixed;
    std::string FBuf;
    size_t FPos = 0;
};

}  // namespace

// ---- Node heap ------------------------------------------------------------------------------------

TUtRegExNode* TUtNodeHeap::AllocNode() {
    if (FFreeList == nullptr) {
        auto block = std::make_unique<TUtRegExNode[]>(kNodesPerBlock);
        for (size_t i = 0; i < kNodesPerBlock; ++i) {
            block[i].Next = FFreeList;
            FFreeList = &block[i];
        }
        FBlocks.push_back(std::move(block));
        FAllocated += kNodesPerBlock;
        FFree += kNodesPerBlock;
    }
    TUtRegExNode* n = FFreeList;
    FFreeList = n->Next;
    --FFree;
    n->ClassText.clear();
    n->Child = nullptr;
    n->Next = nullptr;
    n->Kind = rkStart;
    n->Ch = 0;
    n->IsAlternative = false;
    return n;
}

void TUtNodeHeap::FreeNode(TUtRegExNode* Node) {
    Node->Child = nullptr;
    Node->Next = FFreeList;
    FFreeList = Node;
    ++FFree;
}

void TUtNodeHeap::FreeList(TUtRegExNode* Head) {
    while (Head) {
        TUtRegExNode* next = Head->Next;
        if (Head->Child) FreeList(Head->Child);
        FreeNode(Head);
        Head = next;
    }
}

TUtRegExNode* TUtNodeHeap::CloneNode(const TUtRegExNode* Node) {
    TUtRegExNode* c = AllocNode();
    c->Kind = Node->Kind;
    c->Ch = Node->Ch;
    c->IsAlternative = Node->IsAlternative;
    c->ClassText = Node->ClassText;
    if (Node->Child) c->Child = CloneList(Node->Child);
    return c;
}

TUtRegExNode* TUtNodeHeap::CloneList(const TUtRegExNode* Head) {
    TUtRegExNode* first = nullptr;
    TUtRegExNode* tail = nullptr;
    for (; Head; Head = Head->Next) {
        TUtRegExNode* c = CloneNode(Head);
        (tail ? tail->Next : first) = c;
        tail = c;
    }
    return first;
}

// ---- Matcher --------------------------------------------------------------------------------------

// Matches token lists against one text. Since groups, options and alternatives commit to their
// first way, what a list matches from a position depends on nothing else; the results of
// closures and groups are kept per text, so that each closure and group is decided at most once
// for each position of the text, however many closures give back in front of it.
class TUtStreamRegEx::TMatcher {
public:
    void Reset(std::string_view text, bool ignoreCase) {
        FText = reinterpret_cast<const unsigned char*>(text.data());
        FLength = static_cast<int32_t>(text.size());
        FUpper = ignoreCase ? platform::AnsiUpperTable() : nullptr;
        FMemo.clear();
    }

    // The end of the match of the list from p, or -1.
    int32_t MatchList(const TUtRegExNode* n, int32_t p) {
        while (n) {
            switch (n->Kind) {
                case rkClosure:
                    return MatchClosure(n, p);
                case rkOption: {
                    const TUtRegExNode* operand = n->Next;
                    if (!operand) return p;
                    const int32_t r = MatchToken(operand, p);
                    if (r >= 0) p = r;
                    n = operand->Next;
                    break;
                }
                default: {
                    const int32_t r = MatchToken(n, p);
                    if (r >= 0) {
                        p = r;
                        n = n->IsAlternative ? AfterAlternatives(n) : n->Next;
                    } else if (n->IsAlternative) {
                        n = n->Next;
                    } else {
                        return -1;
                    }
                }
            }
        }
        return p;
    }

    // The first start from which the list matches.
    bool Search(const TUtRegExNode* list, TUtMatchPosition& position) {
        for (int32_t start = 0; start < FLength; ++start) {
            const int32_t end = MatchList(list, start);
            if (end >= 0) {
                position = {start + 1, end, end - start};
                return true;
            }
        }
        position = {};
        return false;
    }

private:
    struct TKey {
        const TUtRegExNode* node;
        int32_t position;
        bool operator==(const TKey&) const = default;
    };
    struct TKeyHash {
        size_t operator()(const TKey& k) const {
            return std::hash<const void*>()(k.node) ^
                   (static_cast<size_t>(k.position) * 0x9E3779B97F4A7C15ull);
        }
    };

    unsigned char At(int32_t p) const { return FUpper ? FUpper[FText[p]] : FText[p]; }

    // After a matched alternative: past the rest of its chain, the last member (with its operand
    // when it is a closure or an option) included.
    static const TUtRegExNode* AfterAlternatives(const TUtRegExNode* n) {
        const TUtRegExNode* m = n->Next;
        while (m && m->IsAlternative) m = m->Next;
        if (!m) return nullptr;
        if ((m->Kind == rkClosure || m->Kind == rkOption) && m->Next) return m->Next->Next;
        return m->Next;
    }

    int32_t MatchToken(const TUtRegExNode* n, int32_t p) {
        const bool atEnd = p >= FLength;
        switch (n->Kind) {
            case rkStart:
            case rkBegTag:
            case rkEndTag:
                return p;
            case rkChar:
                return !atEnd && At(p) == n->Ch ? p + 1 : -1;
            case rkClass:
                return !atEnd && InClass(n, At(p)) ? p + 1 : -1;
            case rkNotClass:
                return !atEnd && FText[p] != CR && FText[p] != LF && !InClass(n, At(p)) ? p + 1 : -1;
            case rkAnyChar:
                return !atEnd && FText[p] != CR && FText[p] != LF ? p + 1 : -1;
            case rkBegOfLine:
                return p == 0 ? p : -1;
            case rkEndOfLine:
                return p + 1 < FLength && FText[p] == CR && FText[p + 1] == LF ? p : -1;
            case rkGroup: {
                if (auto it = FMemo.find({n, p}); it != FMemo.end()) return it->second;
                const int32_t r = n->Child ? MatchList(n->Child, p) : p;
                FMemo.emplace(TKey{n, p}, r);
                return r;
            }
            default:  // a closure or option is never the operand of another
                return -1;
        }
    }

    static bool InClass(const TUtRegExNode* n, unsigned char c) {
        return std::memchr(n->ClassText.data(), c, n->ClassText.size()) != nullptr;
    }

    // Repeats the operand while it advances, then tries the rest of the list after each of the
    // repetitions, the longest first. The repetitions from the end of the first one are the same
    // as those from p without it, so the answer at p is the answer there or, failing that, the
    // rest of the list from p itself: walking the chain of repetitions forward until it ends or
    // meets a decided position, then deciding its positions backward, settles every position of
    // the chain once.
    int32_t MatchClosure(const TUtRegExNode* closure, int32_t p) {
        if (auto it = FMemo.find({closure, p}); it != FMemo.end()) return it->second;
        const TUtRegExNode* operand = closure->Next;
        if (!operand) return p;
        std::vector<int32_t> chain{p};
        int32_t result = -1;
        for (int32_t q = p; q < FLength;) {
            const int32_t r = MatchToken(operand, q);
            if (r <= q) break;  // failed, or matched without advancing
            if (auto it = FMemo.find({closure, r}); it != FMemo.end()) {
                result = it->second;
                break;
            }
            chain.push_back(r);
            q = r;
        }
        for (auto e = chain.rbegin(); e != chain.rend(); ++e) {
            if (result < 0) result = MatchList(operand->Next, *e);
            FMemo.emplace(TKey{closure, *e}, result);
        }
        return result;
    }

    const unsigned char* FText = nullptr;
    int32_t FLength = 0;
    const unsigned char* FUpper = nullptr;
    std::unordered_map<TKey, int32_t, TKeyHash> FMemo;
};

// ---- Engine ---------------------------------------------------------------------------------------

TUtStreamRegEx::TUtStreamRegEx() : FMatcher(std::make_unique<TMatcher>()) {}

TUtStreamRegEx::~TUtStreamRegEx() {
    FNodeHeap.FreeList(FMatchList);
    FNodeHeap.FreeList(FSelAvoidList);
    FNodeHeap.FreeList(FReplaceList);
}

void TUtStreamRegEx::SetOutputOptions(uint8_t Value) {
    FOutputOptions = (Value & ooCountOnly) ? ooCountOnly : Value;
}

void TUtStreamRegEx::ResetCounters() {
    FSelectCount = FMatchCount = FReplaceCount = FLineCount = 0;
}

void TUtStreamRegEx::CompileLists(bool WithReplace) {
    auto compile = [&](TUtRegExNode*& list, framework::TStringList& lines, bool ignoreCase) {
        FNodeHeap.FreeList(list);
        list = nullptr;
        const std::string joined = JoinPattern(lines);
        if (!joined.empty()) list = TCompiler(FNodeHeap, ignoreCase).Compile(joined);
    };
    compile(FMatchList, FMatchPattern, IgnoreCase);
    compile(FSelAvoidList, FSelAvoidPattern, IgnoreCase);
    if (WithReplace) {
        // The replacement is written as typed: case is ignored in what is matched only.
        compile(FReplaceList, FReplacePattern, false);
        FReplaceText.clear();
        CollectLiterals(FReplaceList, FReplaceText);
    }
}

bool TUtStreamRegEx::SetMatchMasks(std::string_view Masks) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= Masks.size()) {
        size_t end = Masks.find(';', start);
        if (end == std::string_view::npos) end = Masks.size();
        if (end > start)
            lines.push_back((lines.empty() ? "" : "|") + ConvertMask(Masks.substr(start, end - start)));
        start = end + 1;
    }
    if (lines.empty()) return false;
    FMatchPattern.Clear();
    for (const auto& line : lines) FMatchPattern.Add(line);
    FNodeHeap.FreeList(FMatchList);
    FMatchList = nullptr;
    FMatchList = TCompiler(FNodeHeap, IgnoreCase).Compile(JoinPattern(FMatchPattern));
    return true;
}

bool TUtStreamRegEx::CheckString(std::string_view Text, TUtMatchPosition& Position) {
    Position = {};
    std::string line(Text);
    line += "\r\n";
    CompileLists(false);
    ResetCounters();
    if (!FMatchList && !FSelAvoidList) RaiseRegExError(297);
    return ProcessLine(line, nullptr, &Position);
}

void TUtStreamRegEx::Execute(framework::TStream* InStream, framework::TStream* OutStream) {
    CompileLists(true);
    ResetCounters();
    if (!FMatchList && !FSelAvoidList && !FReplaceList) RaiseRegExError(297);
    TShTextStream out(OutStream);
    out.LineTerminator = OutLineTerminator;
    out.LineTermChar = OutLineTermChar;
    out.FixedLineLength = OutFixedLineLength;
    TLineReader in(InStream, InLineTerminator, InLineTermChar, InFixedLineLength);
    std::string line;
    while (in.ReadLine(line)) {
        ++FLineCount;
        line += "\r\n";
        ProcessLine(line, &out, nullptr);
    }
}

void TUtStreamRegEx::WriteOutLine(TShTextStream* Out, std::string_view Text) {
    if (!Out || (FOutputOptions & ooCountOnly)) return;
    const size_t limit = static_cast<size_t>(std::max<int32_t>(MaxLineLength, 0));
    if (!LineNumbers) {
        Text = Text.substr(0, limit);
        Out->WriteLine(Text.data(), static_cast<int32_t>(Text.size()));
        return;
    }
    std::string numbered = PadLeft(IntText(FLineCount), 6) + "  ";
    numbered += Text.substr(0, limit > 8 ? limit - 8 : 0);
    Out->WriteLine(numbered.data(), static_cast<int32_t>(numbered.size()));
}

bool TUtStreamRegEx::ProcessLine(std::string_view Line, TShTextStream* Out, TUtMatchPosition* Position) {
    // Line ends with the CR LF that was appended to it.
    const std::string_view text = Line.substr(0, Line.size() - 2);
    FMatcher->Reset(Line, IgnoreCase);
    TUtMatchPosition where;

    bool selected = true;
    if (FSelAvoidList) selected = FMatcher->Search(FSelAvoidList, where) != Avoid;
    if (!selected) {
        if (FOutputOptions & ooUnselected) WriteOutLine(Out, text);
        return false;
    }
    ++FSelectCount;

    auto matches = [&] {
        const bool matched = FMatcher->Search(FMatchList, where);
        if (matched) ++FMatchCount;
        if (Position) *Position = where;
        return matched;
    };

    if (!FReplaceList || !Out) {
        if (!FMatchList) {
            WriteOutLine(Out, text);
            return true;
        }
        const bool matched = matches();
        if (matched) WriteOutLine(Out, text);
        return matched;
    }

    if ((FOutputOptions & ooReplaceMatchedOnly) && FMatchList && !matches()) return false;

    const size_t limit = static_cast<size_t>(std::max<int32_t>(MaxLineLength, 0));
    std::string rewritten;
    auto put = [&](std::string_view s) {
        rewritten.append(s.substr(0, limit - std::min(limit, rewritten.size())));
    };
    const auto length = static_cast<int32_t>(Line.size());
    int32_t previousEnd = -1;
    for (int32_t p = 0; p < length;) {
        const int32_t end = FMatchList ? FMatcher->MatchList(FMatchList, p) : -1;
        if (end > p) {
            p = end;
            if (end != previousEnd) {
                ++FReplaceCount;
                put(FReplaceText);
            }
            previousEnd = end;
        } else {
            const int32_t n = Line[p] == CR && p + 1 < length ? 2 : 1;
            put(Line.substr(p, n));
            p += n;
        }
    }
    if (rewritten.size() >= 2 && rewritten.ends_with("\r\n")) rewritten.resize(rewritten.size() - 2);
    WriteOutLine(Out, rewritten);
    return true;
}

// ---- Front end ------------------------------------------------------------------------------------

TUtRegEx::TUtRegEx() : FEngine(std::make_unique<TUtStreamRegEx>()) {}

TUtRegEx::~TUtRegEx() = default;

void TUtRegEx::SetOutputOptions(uint8_t Value) {
    FOutputOptions = (Value & ooCountOnly) ? ooCountOnly : Value;
}

void TUtRegEx::CopyToEngine() {
    static_cast<TUtRegExSettings&>(*FEngine) = *this;
    FEngine->SetOutputOptions(FOutputOptions);
    FEngine->MatchPattern()->Assign(&FMatchPattern);
    FEngine->SelAvoidPattern()->Assign(&FSelAvoidPattern);
    FEngine->ReplacePattern()->Assign(&FReplacePattern);
}

bool TUtRegEx::SetMatchMasks(std::string_view Masks) {
    CopyToEngine();
    if (!FEngine->SetMatchMasks(Masks)) return false;
    FMatchPattern.Assign(FEngine->MatchPattern());
    return true;
}

bool TUtRegEx::CheckString(std::string_view Text, TUtMatchPosition& Position) {
    CopyToEngine();
    return FEngine->CheckString(Text, Position);
}

void TUtRegEx::Execute(framework::TStream* InStream, framework::TStream* OutStream) {
    CopyToEngine();
    FEngine->Execute(InStream, OutStream);
}

}  // namespace sysutil

// Regular-expression patterns and file masks (typed by the user) over a text: compiling either
// raises the engine's own error or gives a token list; checking and a replace run never crash or
// hang; every mask compiles; output lines stay within MaxLineLength; and the node heap neither
// loses nodes nor grows when the same patterns are compiled again.
//
// Input: one byte of settings, then the pattern, a NUL, and the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/core/Stream.h"
#include "sysutil/ShConst.h"
#include "sysutil/ShRegEx.h"

using namespace sysutil;

static void Check(bool condition) {
    if (!condition) std::abort();
}

static size_t CountList(const TUtRegExNode* n) {
    size_t count = 0;
    for (; n; n = n->Next) count += 1 + CountList(n->Child);
    return count;
}

static size_t NodesInUse(const TUtStreamRegEx& engine) {
    return engine.NodeHeap().NodesAllocated() - engine.NodeHeap().NodesFree();
}

static size_t NodesInLists(const TUtStreamRegEx& engine) {
    return CountList(engine.MatchList()) + CountList(engine.SelAvoidList()) + CountList(engine.ReplaceList());
}

static bool Checked(TUtStreamRegEx& engine, std::string_view text) {
    TUtMatchPosition where;
    try {
        const bool passed = engine.CheckString(text, where);
        if (where.StartPos > 0) {
            Check(where.Length >= 0 && where.EndPos - where.StartPos + 1 == where.Length);
            Check(where.EndPos <= static_cast<int32_t>(text.size()) + 2);
        } else {
            Check(where.EndPos == 0 && where.Length == 0);
        }
        (void)passed;
        return true;
    } catch (const EShRegExError& e) {
        Check(!ShMessageText(e.ErrorCode).empty());
        return false;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = rest.find('\0');
    std::string_view pattern = rest.substr(0, split);
    std::string_view text = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    // Keep single runs short: the matcher's work grows with the pattern times the text.
    pattern = pattern.substr(0, 256);
    text = text.substr(0, 2048);

    TUtStreamRegEx engine;
    engine.IgnoreCase = flags & 1;
    engine.Avoid = flags & 2;
    engine.LineNumbers = flags & 4;
    engine.SetOutputOptions((flags >> 3) & 7);
    engine.MaxLineLength = (flags & 0x40) ? 1024 : 12;

    // The pattern as a match pattern, and again: the second compile reuses the first one's nodes.
    engine.MatchPattern()->Add(std::string(pattern));
    const bool compiled = Checked(engine, text);
    Check(NodesInUse(engine) == NodesInLists(engine));
    const size_t allocated = engine.NodeHeap().NodesAllocated();
    Check(Checked(engine, text) == compiled);
    Check(engine.NodeHeap().NodesAllocated() == allocated);

    // Every mask list compiles.
    TUtMatchPosition where;
    if (engine.SetMatchMasks(pattern)) engine.CheckString(text, where);
    Check(NodesInUse(engine) == NodesInLists(engine));

    // A run that selects with the pattern and replaces its matches.
    engine.MatchPattern()->Clear();
    engine.MatchPattern()->Add(std::string(pattern));
    if (flags & 0x80) engine.SelAvoidPattern()->Add(std::string(pattern.substr(0, pattern.size() / 2)));
    engine.ReplacePattern()->Add(std::string(pattern.substr(pattern.size() / 2)));
    framework::TStringStream in{std::string(text)}, out;
    try {
        engine.Execute(&in, &out);
        Check(engine.SelectCount() <= engine.LineCount());
        // CR LF after each line, and no line longer than MaxLineLength.
        const std::string& written = out.DataString();
        size_t start = 0;
        for (size_t end; (end = written.find("\r\n", start)) != std::string::npos; start = end + 2)
            Check(end - start <= static_cast<size_t>(engine.MaxLineLength));
    } catch (const EShRegExError& e) {
        Check(!ShMessageText(e.ErrorCode).empty());
    }
    Check(NodesInUse(engine) == NodesInLists(engine));
    return 0;
}

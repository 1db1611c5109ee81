// Parameter places in SQL text (the text comes from the program's own queries and from report
// definitions the user edits): parsing must never crash, every created parameter stands for one
// "?" in the text (a quoted name may itself hold "?", so the count is an upper bound only), the
// text never grows, and text without ":" comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/data/Params.h"

using framework::TParams;

static void Check(bool condition) {
    if (!condition) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string sql(reinterpret_cast<const char*>(data), size);
    TParams params, none;
    std::string text = params.ParseSQL(sql, true);
    Check(none.ParseSQL(sql, false) == text);
    Check(none.Count() == 0);
    size_t marks = 0;
    for (char c : text) marks += c == '?';
    Check(size_t(params.Count()) <= marks);
    Check(text.size() <= sql.size());
    if (sql.find(':') == std::string::npos) Check(text == sql);
    return 0;
}

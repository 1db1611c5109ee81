// Text and comma text of string lists (read from files the user supplies): parsing must never
// crash, and writing what was read and reading it again must give the same lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/core/Strings.h"

using framework::TStringList;

static void Check(bool condition) {
    if (!condition) std::abort();
}

static bool SameLines(const TStringList& a, const TStringList& b) {
    if (a.Count() != b.Count()) return false;
    for (int i = 0; i < a.Count(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TStringList list, again;
    switch (data[0] % 3) {
        case 0:
            list.SetText(text);
            again.SetText(list.Text());
            Check(SameLines(list, again));
            break;
        case 1:
            list.SetCommaText(text);
            again.SetCommaText(list.CommaText());
            Check(SameLines(list, again));
            break;
        case 2: {
            list.SetSorted(true);
            list.Duplicates = data[0] & 4 ? framework::dupAccept : framework::dupIgnore;
            list.SetCaseSensitive(data[0] & 8);
            again.SetText(text);
            for (int i = 0; i < again.Count(); ++i) list.Add(again[i]);
            for (int i = 1; i < list.Count(); ++i) Check(list.CompareStrings(list[i - 1], list[i]) <= 0);
            for (int i = 0; i < again.Count(); ++i) {
                int index = -1;
                Check(list.Find(again[i], index));
            }
            break;
        }
    }
    return 0;
}

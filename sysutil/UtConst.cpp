#include "sysutil/UtConst.h"

#include <iterator>

namespace sysutil {
namespace {

struct MessageRecord {
    int32_t code;
    const char* text;
};

// Only the messages of operations this system has; every other code reads as empty.
constexpr MessageRecord kStTable[] = {
    {51, "Compare property must be set"},
    {53, "Bad size parameter"},
    {63, "Unable to assign this compare function now"},
    {71, "Too many merge files in TUtSorter"},
    {72, "Error creating file"},
    {73, "Error opening file"},
    {74, "Error writing file (bytes written <> bytes requested)"},
    {75, "Error reading file (bytes read <> bytes requested)"},
    {76, "TUtSorter in wrong state"},
    {250, "FileName cannot be empty when RunParameters is specified"},
};

}  // namespace

std::string UtMessageText(int32_t code) {
    // Every record is looked at, so that a later record of the same code wins.
    std::string text;
    for (const auto& r : kStTable)
        if (r.code == code) text = r.text;
    return text;
}

void RaiseSortError(int32_t code) {
    constexpr int32_t kNotEnoughMemory = 8;
    if (code == kNotEnoughMemory) throw framework::EOutOfMemory("Out of memory");
    throw EUtSortError(code);
}

}  // namespace sysutil

#include "sysutil/ShConst.h"

namespace sysutil {
namespace {

struct MessageRecord {
    int32_t code;
    const char* text;
};

// Only the messages of operations this system has; every other code reads as empty.
constexpr MessageRecord kSsTable[] = {
    {51, "Compare property must be set"},
    {52, "An incompatible class is passed to a method"},
    {53, "Bad size parameter"},
    {54, "Attempt to add duplicate node to TUtTree"},
    {57, "Container class name %s read from stream is unregistered"},
    {58, "Node class name %s read from stream is unregistered"},
    {59, "Container's StoreData property is unassigned"},
    {60, "Container's LoadData property is unassigned"},
    {61, "Class name on stream differs from object's class"},
    {62, "Node class name on stream differs from object's node class"},
    {73, "Error opening file"},
    {100, "File does not contain version info"},
    {101, "Unable to read version info"},
    {110, "Operation not supported in this version of the shell"},
    {134, "The specified key cannnot be found in version info"},
    {230, "Name"},
    {231, "Size"},
    {232, "Type"},
    {233, "Modified"},
    {234, "Attributes"},
    {235, "File Folder"},
    {236, "System Folder"},
    {237, "Original Location"},
    {238, "Date Deleted"},
    {239, "File"},
    {240, "Invalid folder"},
    {274, "Text stream: Case statement was used with a bad value of LineTerminator"},
    {290, "Unknown error creating a pattern token"},
    {291, "Problem in expanding character class"},
    {292, "Alternation cannot immediately follow a closure marker"},
    {294, "Closure cannot immediately follow BegOfLine, EndOfLine or another closure"},
    {295, "Error detected near end of pattern"},
    {296, "Unbalanced tag marker"},
    {297, "No Match, Replace, or SelAvoid Patterns defined"},
    {302, "A * or + operand could be empty"},
};

}  // namespace

std::string ShMessageText(int32_t code) {
    // Every record is looked at, so that a later record of the same code wins.
    std::string text;
    for (const auto& r : kSsTable)
        if (r.code == code) text = r.text;
    return text;
}

void RaiseContainerError(int32_t code) {
    RaiseSsError<EShContainerError>(code);
}

void RaiseContainerErrorFmt(int32_t code, std::initializer_list<framework::TVarRec> args) {
    throw EShContainerError(code, args);
}

}  // namespace sysutil

#include "codecs/archive/ArcErrors.h"

#include <iterator>

namespace codecs {

namespace {

struct MessageEntry {
    int32_t Code;
    const char* Text;
};

// Texts of the codes this system raises or shows. Rows of archive features the system does not
// carry are left out; MessageForCode leaves the caller's text alone for them.
constexpr MessageEntry kMessages[] = {
    {7, "Cannot insert file - duplicates stored name"},
    {9, "Process aborted by user"},
    {19, "Directory does not exist"},
    {25, "File not found"},
    {27, "Archive does not exist - FileName is blank"},
    {28, "Invalid file - not a PKZip file"},
    {29, "Error reading archive"},
    {36, "Spanning not supported by this Archive type"},
    {38, "Error creating Log File"},
    {50, "Cannot load cabinet.dll"},
    {51, "FCI cannot open file"},
    {52, "FCI cannot read file"},
    {53, "FCI cannot write file"},
    {54, "FCI close file error"},
    {55, "FCI file seek error"},
    {56, "FCI file delete error"},
    {57, "FCI cannot add file"},
    {58, "FCI cannot create context"},
    {59, "FCI cannot flush cabinet"},
    {60, "FCI cannot flush folder"},
    {61, "FDI cannot enumerate files"},
    {62, "FDI cannot create context"},
    {63, "Invalid cab file template"},
    {64, "Invalid file - not a cabinet file"},
    {101, "Stored"},
    {290, "None"},
    {291, "MSZip"},
    {310, " added "},
    {311, " deleted "},
    {312, " extracted "},
    {313, " freshened "},
    {314, " moved "},
    {315, " replaced "},
    {316, " logging "},
    {513, "Unhandled Entity"},
};

}  // namespace

void MessageForCode(int32_t code, std::string& text) {
    for (const MessageEntry& entry : kMessages)
        if (entry.Code == code) text = entry.Text;
}

std::string MessageForCode(int32_t code) {
    std::string text;
    MessageForCode(code, text);
    return text;
}

}  // namespace codecs

#pragma once
// TStyledStringResource reads message texts from "STR0" string resources among the program's
// resources. A resource holds, little-endian: the magic "STR0", a 32-bit count N, N index entries
// sorted by id (id, offset of the text from the start of the resource, length in UTF-16 code
// units; 32 bits each) and the UTF-16LE texts without terminators.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/ui/Resources.h"

namespace kit {

using framework::Exception;
KORVANE_DECLARE_EXCEPTION(EStyledStringResourceError, Exception);

class TStyledStringResource {
public:
    // Opens the resource when a name is given.
    TStyledStringResource(framework::HINSTANCE Instance, const std::string& ResourceName);
    ~TStyledStringResource();
    TStyledStringResource(const TStyledStringResource&) = delete;
    TStyledStringResource& operator=(const TStyledStringResource&) = delete;

    // Closes any open resource and opens the named one (RCDATA) of the instance's module, else of
    // the program's; raises EStyledStringResourceError when it is missing or not a sound "STR0".
    void Open();
    void Close();
    bool Opened() const { return FData != nullptr; }
    // The text of Id as Windows-1252; an unknown id gives "" (or raises with ReportErrors set).
    std::string String(int Id);

    const std::string& ResourceName() const { return FResourceName; }
    bool ReportErrors = false;

private:
    framework::HINSTANCE FInstance;
    std::string FResourceName;
    const uint8_t* FData = nullptr;
    uint32_t FSize = 0;
    uint32_t FCount = 0;
};

// The reader of the string library's own messages ("STYSRMGR_STRINGS") and the one of the
// English texts ("STYLED_STRINGS_ENGLISH"); both open on first use.
TStyledStringResource& StyledStringManagerStrings();
TStyledStringResource& StyledEnglishStrings();

// Builds the bytes of a "STR0" resource (texts in Windows-1252, ids in any order).
std::vector<uint8_t> BuildStyledStringResource(std::vector<std::pair<uint32_t, std::string>> Texts);
// Registers the program's two string resources (once).
void RegisterStyledStringResources();

}  // namespace kit

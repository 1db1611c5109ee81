#pragma once
// The program-wide include and exclude specs: a file (or archive member) is catalogued when it
// matches an include spec, or there are none, and matches no exclude spec.
//
// A spec holding "\" or ":" is matched against the folder (relative to the drive, with a final
// "\") followed by the name; any other spec against the name alone. Matching ignores case; "*"
// spans any run of characters, backslashes and dots included. A malformed spec (an unclosed
// bracket) never matches and is never reported.

#include <array>
#include <string>

#include "catalog/ShortText.h"

namespace cataloging {

using TSpecList = std::array<catalog::TShortText<250>, 20>;

bool MatchesSpecs(const TSpecList& Specs, const std::string& Folder, const std::string& Name);
// Included (a match, or no spec at all) and not excluded.
bool PassesSpecs(const TSpecList& Include, const TSpecList& Exclude, const std::string& Folder,
                 const std::string& Name);

// The test over the program's lists (catalog::IncludeSpecs and ExcludeSpecs).
bool MatchesIncludeSpecs(const std::string& Folder, const std::string& Name);
bool MatchesExcludeSpecs(const std::string& Folder, const std::string& Name);
// True without a test in a directory-only scan.
bool PassesIncludeExclude(const std::string& Folder, const std::string& Name, bool ScanOnly = false);

}  // namespace cataloging

#pragma once
// The program-wide state every application unit reads: where the program and the catalogs live,
// which catalog is current, the include and exclude specs, the squelch settings of the tools, the
// stop flag of cataloguing runs, the label catalogued last and the bookkeeping of open report
// windows. Plain variables of the user-interface thread; nothing guards them. They start empty,
// false and 0; start-up fills the folders, the current catalog and the options.

#include <array>
#include <cstdint>
#include <string>

#include "catalog/ShortText.h"

namespace framework {
class TDataSet;
}

namespace catalog {

// Volumes and drives a tool leaves out.
struct TSquelchSettings {
    // Volume-label patterns: item N at [N - 1].
    std::array<TShortText<11>, 40> VolumeSpecs{};
    // Drive letter L at [L - 'A'].
    std::array<bool, 26> DriveFlags{};
};

// Folder of the program file with its trailing "\" (or ":"): program tables, help file, profiles.
extern std::string ProgramFolder;
// Folder of the catalog tables and of the report and comparison result tables.
extern std::string CatalogDataFolder;
// Empty when no catalog is selected.
extern std::string CurrentCatalogName;
// Item N at [N - 1].
extern std::array<TShortText<250>, 20> IncludeSpecs;
extern std::array<TShortText<250>, 20> ExcludeSpecs;
// Read by the offload tool's recommendations and by the cleanup tools.
extern TSquelchSettings OffloadSquelch;
extern TSquelchSettings CleanupSquelch;
// Polled by a running cataloguing pass.
extern bool StopRequested;
// Label of the volume catalogued last in the current catalog; seed of the next suggestion.
extern TShortText<11> LastCatalogedLabel;
// Open report windows; also the sequence part of result-table names.
extern int32_t OpenReportCount;
extern bool CustomSummaryReportsOpen;
extern bool CustomFileReportsOpen;

// Fills IncludeSpecs, ExcludeSpecs, OffloadSquelch and CleanupSquelch from the current record of
// Options (the options table positioned on its record). Texts are trimmed and cut to their
// capacity, a blank field gives an empty text, and a drive flag is set only when its field's text is
// "True". Every field is read before any variable changes: a missing field raises the dataset's
// field-not-found error and leaves the variables as they were. Nothing in the table changes.
void LoadOptions(const framework::TDataSet& Options);

// Fills OffloadSquelch and CleanupSquelch alone from the current record of Options, as LoadOptions
// does (every field read before either block changes).
void LoadSquelchSettings(const framework::TDataSet& Options);

}  // namespace catalog

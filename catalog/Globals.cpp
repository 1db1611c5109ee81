#include "catalog/Globals.h"

#include <string_view>

#include "catalog/ProgramTables.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"

namespace catalog {

std::string ProgramFolder;
std::string CatalogDataFolder;
std::string CurrentCatalogName;
std::array<TShortText<250>, 20> IncludeSpecs;
std::array<TShortText<250>, 20> ExcludeSpecs;
TSquelchSettings OffloadSquelch;
TSquelchSettings CleanupSquelch;
bool StopRequested = false;
TShortText<11> LastCatalogedLabel;
int32_t OpenReportCount = 0;
bool CustomSummaryReportsOpen = false;
bool CustomFileReportsOpen = false;

namespace {

std::string FieldText(const framework::TDataSet& options, std::string_view prefix, int n) {
    return options.FieldByName(NumberedName(prefix, n))->AsString();
}

template <std::size_t Count, std::size_t Capacity>
void LoadSpecs(const framework::TDataSet& options, std::string_view prefix,
               std::array<TShortText<Capacity>, Count>& specs) {
    for (std::size_t i = 0; i < Count; ++i)
        specs[i] = framework::Trim(FieldText(options, prefix, int(i + 1)));
}

void LoadSquelch(const framework::TDataSet& options, std::string_view specPrefix,
                 std::string_view drivePrefix, TSquelchSettings& squelch) {
    LoadSpecs(options, specPrefix, squelch.VolumeSpecs);
    for (std::size_t i = 0; i < squelch.DriveFlags.size(); ++i)
        squelch.DriveFlags[i] = IsTrueText(FieldText(options, drivePrefix, int(i + 1)));
}

}  // namespace

void LoadSquelchSettings(const framework::TDataSet& Options) {
    TSquelchSettings offload, cleanup;
    LoadSquelch(Options, "SquelchSpec", "SquelchDrive", offload);
    LoadSquelch(Options, "DCSquelchSpec", "DCSquelchDrive", cleanup);
    OffloadSquelch = offload;
    CleanupSquelch = cleanup;
}

void LoadOptions(const framework::TDataSet& Options) {
    // Read into copies and store them only once every field was found.
    std::array<TShortText<250>, 20> include, exclude;
    TSquelchSettings offload, cleanup;
    LoadSpecs(Options, "IncludeSpec", include);
    LoadSpecs(Options, "ExcludeSpec", exclude);
    LoadSquelch(Options, "SquelchSpec", "SquelchDrive", offload);
    LoadSquelch(Options, "DCSquelchSpec", "DCSquelchDrive", cleanup);
    IncludeSpecs = include;
    ExcludeSpecs = exclude;
    OffloadSquelch = offload;
    CleanupSquelch = cleanup;
}

}  // namespace catalog

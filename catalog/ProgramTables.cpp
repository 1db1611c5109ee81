#include "catalog/ProgramTables.h"

#include <cstdio>

#include "framework/data/DataSet.h"
#include "framework/data/Fields.h"

namespace catalog {

using namespace framework;

namespace {

constexpr TIndexOptions kPrimaryUnique = ixPrimary | ixUnique;                // 3
constexpr TIndexOptions kPrimaryNoCase = kPrimaryUnique | ixCaseInsensitive;  // 11

// Prefix01 .. PrefixCount, all of one kind and size.
void AddNumbered(std::vector<TFieldSchema>& fields, std::string_view prefix, int count, TFieldType kind,
                 int size = 0) {
    for (int n = 1; n <= count; ++n) fields.push_back({NumberedName(prefix, n), kind, size, false});
}

// The four groups that say, for each report item, its criterion operator, column position, sort
// priority and sort direction, plus the count of matches required.
void AddReportItemFields(std::vector<TFieldSchema>& fields, int items) {
    AddNumbered(fields, "MatchCriteria", items, ftInteger);
    fields.push_back({"MatchesRequired", ftInteger});
    AddNumbered(fields, "ColumnCriteria", items, ftInteger);
    AddNumbered(fields, "SortColumnSpec", items, ftInteger);
    AddNumbered(fields, "SortCriteriaSpec", items, ftInteger);
}

TTableSchema MakeCategories() {
    return {"Categories",
            {{"Code", ftString, 6, true}, {"Description", ftString, 30}},
            {{"", "Code", kPrimaryUnique}, {"ByDescription", "Description;Code", ixCaseInsensitive}}};
}

TTableSchema MakeKorvaneOptions() {
    TTableSchema s{"KorvaneOptions", {}, {{"", "IncludeSpec01", kPrimaryUnique}}};
    AddNumbered(s.Fields, "IncludeSpec", 20, ftString, 250);
    AddNumbered(s.Fields, "ExcludeSpec", 20, ftString, 250);
    AddNumbered(s.Fields, "SquelchSpec", 40, ftString, 11);
    AddNumbered(s.Fields, "SquelchDrive", 26, ftBoolean);
    AddNumbered(s.Fields, "DCSquelchSpec", 40, ftString, 11);
    AddNumbered(s.Fields, "DCSquelchDrive", 26, ftBoolean);
    return s;
}

TTableSchema MakeCatalogConfigs() {
    TTableSchema s{"CatalogConfigs",
                   {{"CatalogName", ftString, 20, true},
                    {"FileNameFieldLength", ftInteger},
                    {"FolderNameFieldLength", ftInteger},
                    {"ArchiveIDFieldLength", ftInteger},
                    {"ExpandArchives", ftString, 9}},
                   {{"", "CatalogName", kPrimaryNoCase}}};
    for (const char* name : {"DoARC",
                             "DoARJ",
                             "DoCAB",
                             "DoDWC",
                             "DoHYP",
                             "DoLBR",
                             "DoLZH",
                             "DoLZS",
                             "DoPAK",
                             "DoRAR",
                             "DoSQZ",
                             "DoZIP",
                             "DoZOO",
                             "HandleArjMultiDisks",
                             "DoSfxArchives",
                             "GetMainComment",
                             "CopyMainComment",
                             "UseDiz",
                             "DizOverride",
                             "CommentOverrideFromDisk",
                             "AutoEditDiskComments",
                             "AutoEditFileComments",
                             "SelectiveCataloging",
                             "TfiSelectiveCataloging",
                             "SelectiveCatAutotag",
                             "Aliases",
                             "SuggestVol",
                             "WarnIfExists",
                             "KeepActivityLog"})
        s.Fields.push_back({name, ftBoolean});
    s.Fields.push_back({"LastVolumeLabel", ftString, 11});
    s.Fields.push_back({"LastPointer", ftWord});
    return s;
}

// The fields both report-definition tables start with: the name and the three dates.
std::vector<TFieldSchema> ReportDefHead() {
    return {{"ReportName", ftString, 60, true},
            {"DateDefinitionCreated", ftDate},
            {"DateDefinitionLastUpdated", ftDate},
            {"DateDefinitionLastUsed", ftDate}};
}

TTableSchema MakeCustomSummaryReportDefs() {
    TTableSchema s{"CustomSummaryReportDefs", ReportDefHead(), {{"", "ReportName", kPrimaryNoCase}}};
    s.Fields.insert(s.Fields.end(), {{"CatalogedVolumeLabel", ftString, 11},
                                     {"DateFirstCataloged", ftDate},
                                     {"DateLastCataloged", ftDate},
                                     {"DiskSize", ftBCD},
                                     {"DiskClusterSize", ftBCD},
                                     {"DiskUsed", ftBCD},
                                     {"DiskFree", ftBCD},
                                     {"FilesOnDisk", ftInteger},
                                     {"FilesInArchives", ftInteger},
                                     {"CatalogedFrom", ftString, 2},
                                     {"Comment", ftMemo}});
    AddReportItemFields(s.Fields, 14);
    return s;
}

TTableSchema MakeCustomFileReportDefs() {
    TTableSchema s{"CustomFileReportDefs", ReportDefHead(), {{"", "ReportName", kPrimaryNoCase}}};
    s.Fields.insert(s.Fields.end(), {{"FileName", ftString, 200},
                                     {"VolumeLabel", ftString, 11},
                                     {"FolderName", ftString, 200},
                                     {"ArchiveID", ftString, 90},
                                     {"FileSize", ftBCD},
                                     {"DateModified", ftDate},
                                     {"TimeModified", ftTime},
                                     {"CategoryCode", ftString, 6},
                                     {"Comment", ftMemo},
                                     {"OnlyDuplicate", ftBoolean},
                                     {"OnlyUnique", ftBoolean},
                                     {"UseVersions", ftBoolean},
                                     {"UseFileSize", ftBoolean}});
    AddReportItemFields(s.Fields, 12);
    return s;
}

}  // namespace

const TTableSchema& CategoriesSchema() {
    static const TTableSchema s = MakeCategories();
    return s;
}

const TTableSchema& KorvaneOptionsSchema() {
    static const TTableSchema s = MakeKorvaneOptions();
    return s;
}

const TTableSchema& CatalogConfigsSchema() {
    static const TTableSchema s = MakeCatalogConfigs();
    return s;
}

const TTableSchema& CustomSummaryReportDefsSchema() {
    static const TTableSchema s = MakeCustomSummaryReportDefs();
    return s;
}

const TTableSchema& CustomFileReportDefsSchema() {
    static const TTableSchema s = MakeCustomFileReportDefs();
    return s;
}

const std::vector<const TTableSchema*>& ProgramTableSchemas() {
    static const std::vector<const TTableSchema*> all{
        &CategoriesSchema(), &KorvaneOptionsSchema(), &CatalogConfigsSchema(),
        &CustomSummaryReportDefsSchema(), &CustomFileReportDefsSchema()};
    return all;
}

std::string NumberedName(std::string_view Prefix, int N) {
    char digits[12];
    std::snprintf(digits, sizeof digits, "%02d", N);
    return std::string(Prefix) + digits;
}

void DefineTable(TDataSet& Table, const TTableSchema& Schema) {
    Table.FieldDefs.Clear();
    Table.IndexDefs.Clear();
    for (const TFieldSchema& f : Schema.Fields) Table.FieldDefs.Add(f.Name, f.Kind, f.Size, f.Required);
    for (const TIndexSchema& i : Schema.Indexes) Table.IndexDefs.Add(i.Name, i.Fields, i.Options);
}

void InsertNewOptionsRecord(TDataSet& Options) {
    Options.Insert();
    try {
        for (int n = 1; n <= 20; ++n) {
            Options.FieldByName(NumberedName("IncludeSpec", n))->SetAsString("");
            Options.FieldByName(NumberedName("ExcludeSpec", n))->SetAsString("");
        }
        for (int n = 1; n <= 40; ++n) Options.FieldByName(NumberedName("SquelchSpec", n))->SetAsString("");
        for (int n = 1; n <= 26; ++n)
            Options.FieldByName(NumberedName("SquelchDrive", n))->SetAsString(BooleanText(false));
        Options.Post();
    } catch (...) {
        // A table of another layout or a failed post leaves no half-made record behind.
        Options.Cancel();
        throw;
    }
}

std::string BooleanText(bool Value) {
    return Value ? "True" : "False";
}

bool IsTrueText(std::string_view Text) {
    return Text == "True";
}

}  // namespace catalog

#pragma once
// The duplicate and unique file reports: the key a row is compared by, the ordered catalog query
// both finders walk, and the dialog that asks for their two options.

#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
}  // namespace framework
namespace entry {
class TCtlRegistryStore;
class TCtlComponentState;
}  // namespace entry

namespace reports {

// The key of an entry's name. Without versions it is the name as stored. With versions it is the
// base name (after the last ":" or "\", up to its last dot) with trailing version characters
// removed (digits, "-", "." and "_" for duplicates; only digits and "." for uniques; the first
// character always stays) followed by the extension without its dot: REPORT12 and REPORT-3 give
// REPORT, REPORT1.TXT gives REPORTTXT, DATA.001 gives DATA001.
std::string DupUniqueKey(const std::string& FileName, bool UseVersions, bool ForUnique);

// The lines of the catalog query: every entry of <catalog>_CAT, ordered case-sensitively by name
// (then by size when sizes count) so that equal keys come next to each other.
std::vector<std::string> DupUniqueSql(const std::string& CatalogName, bool UseFileSize);

// The options of the duplicate and unique reports. Versions and sizes exclude each other here:
// checking "Use Versions" clears and disables the size option.
class TGetDupUniqueFileReportSpecsForm : public framework::TForm {
public:
    explicit TGetDupUniqueFileReportSpecsForm(framework::TComponent* AOwner);
    int HelpContext = 68;
    framework::TCheckBox* UseVersions;
    framework::TCheckBox* UseFileSize;
    framework::TBitBtn* BitBtn1;
    framework::TBitBtn* BitBtn2;
    framework::TBitBtn* BitBtn3;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;

    void FormShow();
    void UseVersionsClick();
};

}  // namespace reports

#pragma once
// The cataloguing and archive options of one catalog, edited in place on its CatalogConfigs record:
// a check box per yes/no option and a drop-down list for the archive expansion. The opener puts
// Table on the record in edit state; Save Options posts it, anything else leaves it to the opener to
// cancel.

#include <array>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBCheckBox;
class TDBComboBox;
class TGroupBox;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}

namespace catalog {

class TCatalogOptionsForm : public framework::TForm {
public:
    explicit TCatalogOptionsForm(framework::TComponent* AOwner);

    dbsql::TDbTable* Table;
    framework::TDataSource* Source;
    framework::TPanel* CatalogPanel;
    framework::TGroupBox* CatalogingGroup;
    framework::TGroupBox* ArchiveGroup;
    framework::TGroupBox* FormatsGroup;
    // The yes/no options in the order of the groups, top to bottom and left to right.
    std::array<framework::TDBCheckBox*, 29> Boxes{};
    framework::TDBComboBox* ExpandArchives;
    framework::TBitBtn* SelAllBtn;
    framework::TBitBtn* ClearAllBtn;
    framework::TBitBtn* BitBtn1;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 15;

    // The check box bound to the field of that name (null when there is none).
    framework::TDBCheckBox* BoxFor(const std::string& FieldName) const;
    // Save Options.
    void BitBtn1Click();
    // Select All (SelAllBtn) and Clear All (any other sender): the thirteen format flags.
    void SelAllBtnClick(framework::TObject* Sender);
};

}  // namespace catalog

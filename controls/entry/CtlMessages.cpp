#include "controls/entry/CtlMessages.h"

#include <array>

#include "controls/entry/IntlSup.h"
#include "framework/core/SysUtils.h"
#include "platform/Locale.h"

namespace entry {

namespace {

// Sorted by number; the search relies on it. The sample masks (34493 and up) stand left-aligned
// in a 20-character column before their description.
constexpr TCtlMessage kMessages[] = {
    {30168, "Unknown Error condition"},
    {30169, "Duplicate command found while adding a new command to the table"},
    {30170, "Command table not found or command table index out of range"},
    {30171, "This feature is not implemented at this time"},
    {30172, "No Controller assigned"},
    {30173, "Unable to create command table"},
    {30174, "Can't delete this table. Must have at least one command table defined"},
    {30175, "Invalid or no key sequence entered"},
    {30176, "Keys entered are not WordStar style commands"},
    {30177, "No command selected"},
    {30178, "Duplicate key sequence"},
    {30179, "Value is not within required range"},
    {30180, "Value is not valid for this field type"},
    {30181, "A value is required in this field"},
    {30182, "Value is not a valid date"},
    {30183, "Value is not a valid time"},
    {30184, "This field should contain no blanks"},
    {30185, "This field should be either empty or completely full"},
    {30186, "Region is too large (> 64K)"},
    {30187, "Could not allocate memory for clipboard copy"},
    {30188, "Parameter value is invalid"},
    {30189, "No Window's timers are available"},
    {30190, "Too many trigger events"},
    {30191, "Invalid trigger handle"},
    {30192, "OnSelect event is not assigned"},
    {30193, "Invalid page index value"},
    {30194, "Invalid data type for this field"},
    {30195, "Invalid font. Non toTop oriented tabs require a True-Type font"},
    {30196, "Invalid font. Rotated text requires a True-Type font"},
    {30197, "insufficient memory for requested operation"},
    {30198, "Current operation will exceed the maximum number of allowed paragraphs"},
    {30199, "Cannot join paragraphs. New paragraph size exceeds maximum paragraph size"},
    {30200, "Current operation will exceed the maximum text size"},
    {30201, "Current operation will exceed the maximum paragraph size"},
    {30202, "Invalid picture mask: %s"},
    {30203, "Invalid range. Enter a value between (%d) and (%d)"},
    {30204, "Invalid range. Enter a value between (-1.7e+38) and (+1.7e+38)"},
    {30205, "Invalid range. Enter a value between (-1.1e+4932) and (+1.1e+4932)"},
    {30206, "Invalid range. Enter a value between (-1.7e+308) and (+1.7e+308)"},
    {30207, "Invalid range. Enter a value between (-3.4e+38) and (+3.4e+38)"},
    {30208, "Invalid range. Enter a value between (-9.2e+18) and (+9.2e+18)"},
    {30209, "Invalid date range. Enter a value using '%s' as the format"},
    {30210, "Invalid time range. Enter a value using '%s' as the format"},
    {30211, "Invalid range value"},
    {30212, "Range limits for the currently selected data type are not supported"},
    {30213, "Invalid line or paragraph index"},
    {30214, "Invalid font assignment. Font must be a fixed font"},
    {30215, "Invalid font assignemnt. Font must be a TFont or TCtlFixedFont"},
    {30216, "Invalid line or column"},
    {30217, "Unknown sparse array error"},
    {30218, "Sparse array is at the maximum size"},
    {30219, "Index is out of bounds for sparse array"},
    {30220, "Invalid XMLStore File Format"},
    {30221, "Improperly terminated element"},
    {30222, "Invalid color constant"},
    {30223, "Invalid color value"},
    {30224, "Requested field type is not supported"},
    {30225, "Invalid alarm handle"},
    {30226, "OnIsSelected event is not assigned"},
    {30227, "Invalid date value for picture mask. (Year is outside the Epoch range)"},
    {30228, "DataSource must be attached to a TTable (or compatible) source"},
    {30232, "Viewer triggered I/O error %d"},
    {30233, "Viewer: file not found"},
    {30234, "Viewer: path not found or invalid file name"},
    {30235, "Viewer: too many open files"},
    {30236, "Viewer: file access denied"},
    {30237, "This control is already attached to %s"},
    {30238, "Could not enter edit mode"},
    {30239, "Data Source can not be a child table. Component %s has a MasterSource defined"},
    {30241, "No collection exists in the owner component"},
    {30242, "Owner must be a TCtlComponent or TCtlCustomComponent descendant"},
    {30243, "Item incompatible with collection"},
    {30244, "Label not attached"},
    {30245, "Item class not set"},
    {30246, "No collection found for this type"},
    {30247, "Error converting day"},
    {30248, "Error converting month"},
    {30249, "Error converting month name"},
    {30250, "Error converting year"},
    {30251, "Day is required"},
    {30252, "Month is required"},
    {30253, "Year is required"},
    {30254, "Invalid day"},
    {30255, "Invalid month"},
    {30256, "Invalid month name"},
    {30257, "Invalid year"},
    {30258, "Table row out of bounds"},
    {30259, "Table max rows error"},
    {30260, "Table max columns error"},
    {30261, "Table general error"},
    {30262, "Too many columns"},
    {30263, "Invalid field index"},
    {30264, "Header not assigned"},
    {30265, "Invalid header cell"},
    {30266, "Grid"},
    {30268, "(None)"},
    {30269, "ccUser"},
    {30270, "ccUser%d"},
    {30271, "Delete the %s table?"},
    {30272, "Rename Table"},
    {30273, "Enter new table name for %s:"},
    {30274, "NewTable"},
    {30275, "Default"},
    {30276, "WordStar"},
    {30277, "(Unknown)"},
    {30278, "Entry Error"},
    {30279, "%d. *** Warning *** OnGetItem not assigned!"},
    {30280, "%d. - Sample virtual list box item"},
    {30281, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {30282, "Wy"},
    {30283, "Default"},
    {30285, " - Desc"},
    {30286, "(Default)"},
    {30287, "&Restore"},
    {30288, "Cu&t"},
    {30289, "&Copy"},
    {30290, "&Paste"},
    {30291, "&Delete"},
    {30292, "Select &All"},
    {30293, "Back"},
    {30294, "MC"},
    {30295, "MR"},
    {30296, "MS"},
    {30297, "M+"},
    {30298, "M-"},
    {30299, "CT"},
    {30300, "CE"},
    {30301, "C"},
    {30302, "Sqrt"},
    {30303, "NEXT"},
    {30304, "LAST"},
    {30305, "FIRST"},
    {30306, "1ST"},
    {30307, "SECOND"},
    {30308, "2ND"},
    {30309, "THIRD"},
    {30310, "3RD"},
    {30311, "FOURTH"},
    {30312, "4TH"},
    {30313, "FINAL"},
    {30314, "BOM"},
    {30315, "END"},
    {30316, "EOM"},
    {30317, "YESTERDAY"},
    {30318, "TODAY"},
    {30319, "TOMORROW"},
    {30320, "Header Sections Editor"},
    {30321, "Folder Items Editor"},
    {30322, "Folder Editor"},
    {30323, "Tab Pages Editor"},
    {30324, "Image List Editor"},
    {30325, "Section"},
    {30326, "Item"},
    {30327, "Folder"},
    {30328, "Page"},
    {30329, "Image"},
    {30330, "Owner must be a TForm or descendant"},
    {30331, "Error converting time value"},
    {30332, "Cancel and lose changes?"},
    {30333, "No notebook pages assigned"},
    {30334, "PREV"},
    {30335, "BEGIN"},
    {30336, "Invalid value - Maximum must always be greater than Minimum"},
    {30337, "This component can only be used on forms"},
    {30368, "Y"},
    {30369, "N"},
    {30370, "T"},
    {30371, "F"},
    {30372, "Hours"},
    {30373, "Minutes"},
    {30374, "Seconds"},
    {30375, "Close"},
    {30376, "The view field %s was not found"},
    {30377, "Unable to resolve view field %s"},
    {30378, "Can't add item %p - it already exists in the index"},
    {30379, "The view is already in temporary index mode"},
    {30380, "Specified report view data item %p was not found"},
    {30381, "This report view operation is invalid while updates are pending"},
    {30382, "OnCompareFields not assigned"},
    {30383, "OnFilter not assigned"},
    {30384, "GetAsFloat not assigned"},
    {30385, "Report view is not in temporary index mode"},
    {30387, "The specified data item (%p) is not in the index"},
    {30388, "No active view"},
    {30389, "Item at line %d is not a group"},
    {30390, "This report view operation is only allowed when multiselect is enabled"},
    {30391, "Invalid index %d"},
    {30392, "Unknown view: %s"},
    {30393, "The OnKeySearch event is not assigned"},
    {30394, "The OnEnum event is not assigned"},
    {30395, "OnEnumSelected not assigned"},
    {30400, "No menu item assigned"},
    {30401, "No anchor item assigned"},
    {30402, "Invalid parameter: mpAnchor"},
    {30403, "Invalid operation: Call AddSplit for split menus"},
    {30500, "Black"},
    {30501, "Maroon"},
    {30502, "Green"},
    {30503, "Olive"},
    {30504, "Navy"},
    {30505, "Purple"},
    {30506, "Teal"},
    {30507, "Gray"},
    {30508, "Silver"},
    {30509, "Red"},
    {30510, "Lime"},
    {30511, "Yellow"},
    {30512, "Blue"},
    {30513, "Fuchsia"},
    {30514, "Aqua"},
    {30515, "White"},
    {30516, "Light Gray"},
    {30517, "Medium Gray"},
    {30518, "Dark Gray"},
    {30519, "Money Green"},
    {30520, "Sky Blue"},
    {30521, "Cream"},
    {33768, "ccNone"},
    {33769, "ccBack"},
    {33770, "ccBotOfPage"},
    {33771, "ccBotRightCell"},
    {33772, "ccCompleteDate"},
    {33773, "ccCompleteTime"},
    {33774, "ccCopy"},
    {33775, "ccCtrlChar"},
    {33776, "ccCut"},
    {33777, "ccDec"},
    {33778, "ccDel"},
    {33779, "ccDelBol"},
    {33780, "ccDelEol"},
    {33781, "ccDelLine"},
    {33782, "ccDelWord"},
    {33783, "ccDown"},
    {33784, "ccEnd"},
    {33785, "ccExtendDown"},
    {33786, "ccExtendEnd"},
    {33787, "ccExtendHome"},
    {33788, "ccExtendLeft"},
    {33789, "ccExtendPgDn"},
    {33790, "ccExtendPgUp"},
    {33791, "ccExtendRight"},
    {33792, "ccExtendUp"},
    {33793, "ccExtBotOfPage"},
    {33794, "ccExtFirstPage"},
    {33795, "ccExtLastPage"},
    {33796, "ccExtTopOfPage"},
    {33797, "ccExtWordLeft"},
    {33798, "ccExtWordRight"},
    {33799, "ccFirstPage"},
    {33800, "ccGotoMarker0"},
    {33801, "ccGotoMarker1"},
    {33802, "ccGotoMarker2"},
    {33803, "ccGotoMarker3"},
    {33804, "ccGotoMarker4"},
    {33805, "ccGotoMarker5"},
    {33806, "ccGotoMarker6"},
    {33807, "ccGotoMarker7"},
    {33808, "ccGotoMarker8"},
    {33809, "ccGotoMarker9"},
    {33810, "ccHome"},
    {33811, "ccInc"},
    {33812, "ccIns"},
    {33813, "ccLastPage"},
    {33814, "ccLeft"},
    {33815, "ccNewLine"},
    {33816, "ccNextPage"},
    {33817, "ccPageLeft"},
    {33818, "ccPageRight"},
    {33819, "ccPaste"},
    {33820, "ccPrevPage"},
    {33821, "ccRedo"},
    {33822, "ccRestore"},
    {33823, "ccRight"},
    {33824, "ccScrollDown"},
    {33825, "ccScrollUp"},
    {33826, "ccSetMarker0"},
    {33827, "ccSetMarker1"},
    {33828, "ccSetMarker2"},
    {33829, "ccSetMarker3"},
    {33830, "ccSetMarker4"},
    {33831, "ccSetMarker5"},
    {33832, "ccSetMarker6"},
    {33833, "ccSetMarker7"},
    {33834, "ccSetMarker8"},
    {33835, "ccSetMarker9"},
    {33836, "ccTab"},
    {33837, "ccTableEdit"},
    {33838, "ccTopLeftCell"},
    {33839, "ccTopOfPage"},
    {33840, "ccUndo"},
    {33841, "ccUp"},
    {33842, "ccWordLeft"},
    {33843, "ccWordRight"},
    {34068, "String"},
    {34069, "Char"},
    {34070, "Boolean"},
    {34071, "YesNo"},
    {34072, "LongInt"},
    {34073, "Word"},
    {34074, "SmallInt"},
    {34075, "Byte"},
    {34076, "ShortInt"},
    {34077, "Real"},
    {34078, "Extended"},
    {34079, "Double"},
    {34080, "Single"},
    {34081, "Comp"},
    {34082, "Date"},
    {34083, "Time"},
    {34468, "X  any character"},
    {34469, "!  any char (upper)"},
    {34470, "L  any char (lower)"},
    {34471, "x  any char (mixed)"},
    {34472, "a  alphas only"},
    {34473, "A  alphas (upper)"},
    {34474, "l  alphas (lower)"},
    {34475, "9  0-9"},
    {34476, "i  0-9, -"},
    {34477, "#  0-9, -, ."},
    {34478, "E  0-9, E, -, ."},
    {34479, "K  0-9, A-F (hex)"},
    {34480, "O  0-7 (octal)"},
    {34481, "b  0, 1 (binary)"},
    {34482, "B  T or F (upper)"},
    {34483, "Y  Y or N (upper)"},
    {34484, "1  User 1"},
    {34485, "2  User 2"},
    {34486, "3  User 3"},
    {34487, "4  User 4"},
    {34488, "5  User 5"},
    {34489, "6  User 6"},
    {34490, "7  User 7"},
    {34491, "8  User 8"},
    {34493, "$##,###.##          Currency mask Allows 0 through 9, minus sign and space"},
    {34494, "9999999999          Numeric mask Allows 0 through 9 and space"},
    {34495, "iiiiiiiiii          Integer mask Allows 0 through 9, minus sign and space"},
    {34496, "ii,iii,iii          Integer mask with thousands separators"},
    {34497, "$iiiiiiiii          Currency integer mask Allows 0 through 9, minus sign and space"},
    {34498, "##########          Numeric mask Allows 0 through 9, minus sign, decimal point and space"},
    {34499, "#######.##          Fixed decimal mask Two decimal places"},
    {34500, "###,###.##          Fixed decimal mask with thousands separators"},
    {34501, "$######.##          Currency mask without thousands separators"},
    {34502, "##########p         Numeric mask with parentheses for negative values"},
    {34503, "###,###.##C         Numeric mask with CR for negative values"},
    {34504, "KKKKKKKK            Hexadecimal mask Allows 0 through 9 and A through F"},
    {34505, "KKKK                Hexadecimal word mask Allows 0 through 9 and A through F"},
    {34506, "KK                  Hexadecimal byte mask Allows 0 through 9 and A through F"},
    {34507, "OOOOOOOO            Octal mask Allows 0 through 7"},
    {34508, "OOOO                Octal word mask Allows 0 through 7"},
    {34509, "bbbbbbbbbbbbbbbb    Binary word mask Allows 0 and 1"},
    {34510, "bbbbbbbb            Binary byte mask Allows 0 and 1"},
    {34518, "XXXXXXXXXX          Character mask Allows any character"},
    {34519, "!!!!!!!!!!          Character mask Converts any character to upper case"},
    {34520, "LLLLLLLLLL          Character mask Converts any character to lower case"},
    {34521, "xxxxxxxxxx          Character mask Allows any character in mixed case"},
    {34522, "aaaaaaaaaa          Alpha mask Allows letters and space"},
    {34523, "AAAAAAAAAA          Alpha mask Converts letters to upper case"},
    {34524, "llllllllll          Alpha mask Converts letters to lower case"},
    {34525, "(999) 999-9999      Phone number mask Allows 0 through 9 and space"},
    {34526, "999-999-9999        Phone number mask without area code parentheses"},
    {34527, "99999-9999          Zip code mask Allows 0 through 9 and space"},
    {34528, "B                   Boolean mask Allows T or F"},
    {34529, "Y                   Yes/No mask Allows Y or N"},
    {34530, "mm/dd/yy            Date mask Two digit year with leading zeros"},
    {34531, "mm/dd/yyyy          Date mask Four digit year with leading zeros"},
    {34532, "dd nnn yyyy         Date mask Day, month name and year with leading zeros"},
    {34533, "MM/DD/yy            Date mask Two digit year with blank padding"},
    {34534, "MM/DD/yyyy          Date mask Four digit year with blank padding"},
    {34535, "DD nnn yyyy         Date mask Day, month name and year with blank padding"},
    {34536, "hh:mm               Time mask Hours and minutes with leading zeros"},
    {34537, "hh:mm tt            Time mask 12-hour clock with leading zeros"},
    {34538, "hh:mm:ss            Time mask Hours, minutes and seconds with leading zeros"},
    {34539, "HH:MM               Time mask Hours and minutes with blank padding"},
    {34540, "HH:MM tt            Time mask 12-hour clock with blank padding"},
    {34541, "HH:MM:SS            Time mask Hours, minutes and seconds with blank padding"},
};

static_assert(std::size(kMessages) == CtlMessageCount);

}  // namespace

const TCtlMessage* CtlMessageTable() {
    return kMessages;
}

std::string CtlFindMessage(uint32_t Number) {
    const uint16_t key = static_cast<uint16_t>(Number);
    int lo = 0;
    int hi = CtlMessageCount - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const uint16_t here = static_cast<uint16_t>(kMessages[mid].Number);
        if (key == here) return kMessages[mid].Text;
        if (key < here)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return {};
}

std::string CtlGetMessage(uint32_t Number) {
    std::string text = CtlFindMessage(Number);
    return text.empty() ? std::string("Unknown") : text;
}

const std::bitset<256>& CtlAlphaCharSet() {
    static const std::bitset<256> set = [] {
        std::bitset<256> s;
        for (unsigned char c : std::string_view(" ,-.")) s.set(c);
        for (int c = 'A'; c <= 'Z'; ++c) s.set(c);
        for (int c = 'a'; c <= 'z'; ++c) s.set(c);
        for (int c = 128; c < 256; ++c)
            if (platform::IsCharAlpha(static_cast<char>(c))) s.set(c);
        return s;
    }();
    return set;
}

ENoTimersAvailable::ENoTimersAvailable() : ECtlException(CtlGetMessage(SCtlNoTimersAvailable)) {}
EDuplicateCommand::EDuplicateCommand() : ECmdProcessorError(CtlGetMessage(SCtlDuplicateCommand)) {}
ETableNotFound::ETableNotFound() : ECmdProcessorError(CtlGetMessage(SCtlTableNotFound)) {}
EInvalidDataType::EInvalidDataType() : EEntryFieldError(CtlGetMessage(SCtlInvalidDataType)) {}
EInvalidPictureMask::EInvalidPictureMask(const std::string& Mask)
    : EEntryFieldError(framework::Format(CtlGetMessage(SCtlInvalidPictureMask), {Mask})) {}
EInvalidPageIndex::EInvalidPageIndex() : ENotebookError(CtlGetMessage(SCtlInvalidPageIndex)) {}
EInvalidTabFont::EInvalidTabFont() : ENotebookError(CtlGetMessage(SCtlInvalidTabFont)) {}
EInvalidFixedFont::EInvalidFixedFont() : EFixedFontError(CtlGetMessage(SCtlInvalidFixedFont)) {}

namespace {

std::string RangeText(int DataType) {
    auto range = [](int32_t lo, int32_t hi) {
        return framework::Format(CtlGetMessage(SCtlInvalidRange), {lo, hi});
    };
    switch (DataType) {
        case 4:
            return range(INT32_MIN, INT32_MAX);
        case 5:
            return range(0, 65535);
        case 6:
            return range(-32768, 32767);
        case 7:
            return range(0, 255);
        case 8:
            return range(-128, 127);
        case 9:
            return CtlGetMessage(SCtlInvalidRangeReal);
        case 10:
            return CtlGetMessage(SCtlInvalidRangeExtended);
        case 11:
            return CtlGetMessage(SCtlInvalidRangeDouble);
        case 12:
            return CtlGetMessage(SCtlInvalidRangeSingle);
        case 13:
            return CtlGetMessage(SCtlInvalidRangeComp);
        case 14:
            return framework::Format(CtlGetMessage(SCtlInvalidDateRange),
                                     {CtlIntlSup().InternationalDate(true)});
        case 15:
            return framework::Format(CtlGetMessage(SCtlInvalidTimeRange),
                                     {CtlIntlSup().InternationalTime(false)});
        default:
            return CtlGetMessage(SCtlInvalidRangeValue);
    }
}

}  // namespace

EInvalidRangeValue::EInvalidRangeValue(int DataType) : EEntryFieldError(RangeText(DataType)) {}

}  // namespace entry

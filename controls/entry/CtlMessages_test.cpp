#include "controls/entry/CtlMessages.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "controls/entry/IntlSup.h"

namespace entry {
namespace {

// Every numbered text, as the table must hold it.
const std::vector<std::pair<uint32_t, std::string>> kExpected = {
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
};

// The names of command codes 0 to 75.
const std::vector<std::string> kCommandNames = {
    "ccNone",         "ccBack",         "ccBotOfPage",   "ccBotRightCell", "ccCompleteDate",
    "ccCompleteTime", "ccCopy",         "ccCtrlChar",    "ccCut",          "ccDec",
    "ccDel",          "ccDelBol",       "ccDelEol",      "ccDelLine",      "ccDelWord",
    "ccDown",         "ccEnd",          "ccExtendDown",  "ccExtendEnd",    "ccExtendHome",
    "ccExtendLeft",   "ccExtendPgDn",   "ccExtendPgUp",  "ccExtendRight",  "ccExtendUp",
    "ccExtBotOfPage", "ccExtFirstPage", "ccExtLastPage", "ccExtTopOfPage", "ccExtWordLeft",
    "ccExtWordRight", "ccFirstPage",    "ccGotoMarker0", "ccGotoMarker1",  "ccGotoMarker2",
    "ccGotoMarker3",  "ccGotoMarker4",  "ccGotoMarker5", "ccGotoMarker6",  "ccGotoMarker7",
    "ccGotoMarker8",  "ccGotoMarker9",  "ccHome",        "ccInc",          "ccIns",
    "ccLastPage",     "ccLeft",         "ccNewLine",     "ccNextPage",     "ccPageLeft",
    "ccPageRight",    "ccPaste",        "ccPrevPage",    "ccRedo",         "ccRestore",
    "ccRight",        "ccScrollDown",   "ccScrollUp",    "ccSetMarker0",   "ccSetMarker1",
    "ccSetMarker2",   "ccSetMarker3",   "ccSetMarker4",  "ccSetMarker5",   "ccSetMarker6",
    "ccSetMarker7",   "ccSetMarker8",   "ccSetMarker9",  "ccTab",          "ccTableEdit",
    "ccTopLeftCell",  "ccTopOfPage",    "ccUndo",        "ccUp",           "ccWordLeft",
    "ccWordRight",
};

// The sample masks, in number order.
const std::vector<std::pair<uint32_t, std::string>> kSampleMasks = {
    {34493, "$##,###.##"},
    {34494, "9999999999"},
    {34495, "iiiiiiiiii"},
    {34496, "ii,iii,iii"},
    {34497, "$iiiiiiiii"},
    {34498, "##########"},
    {34499, "#######.##"},
    {34500, "###,###.##"},
    {34501, "$######.##"},
    {34502, "##########p"},
    {34503, "###,###.##C"},
    {34504, "KKKKKKKK"},
    {34505, "KKKK"},
    {34506, "KK"},
    {34507, "OOOOOOOO"},
    {34508, "OOOO"},
    {34509, "bbbbbbbbbbbbbbbb"},
    {34510, "bbbbbbbb"},
    {34518, "XXXXXXXXXX"},
    {34519, "!!!!!!!!!!"},
    {34520, "LLLLLLLLLL"},
    {34521, "xxxxxxxxxx"},
    {34522, "aaaaaaaaaa"},
    {34523, "AAAAAAAAAA"},
    {34524, "llllllllll"},
    {34525, "(999) 999-9999"},
    {34526, "999-999-9999"},
    {34527, "99999-9999"},
    {34528, "B"},
    {34529, "Y"},
    {34530, "mm/dd/yy"},
    {34531, "mm/dd/yyyy"},
    {34532, "dd nnn yyyy"},
    {34533, "MM/DD/yy"},
    {34534, "MM/DD/yyyy"},
    {34535, "DD nnn yyyy"},
    {34536, "hh:mm"},
    {34537, "hh:mm tt"},
    {34538, "hh:mm:ss"},
    {34539, "HH:MM"},
    {34540, "HH:MM tt"},
    {34541, "HH:MM:SS"},
};

TEST(CtlMessagesTest, EveryNumberHasItsExactText) {
    size_t count = 0;
    for (const auto& [number, text] : kExpected) {
        EXPECT_EQ(CtlFindMessage(number), text) << number;
        EXPECT_EQ(CtlGetMessage(number), text) << number;
        ++count;
    }
    ASSERT_EQ(kCommandNames.size(), 76u);
    for (size_t code = 0; code < kCommandNames.size(); ++code, ++count)
        EXPECT_EQ(CtlGetMessage(SCtlFirstCommandName + static_cast<uint32_t>(code)), kCommandNames[code])
            << code;
    ASSERT_EQ(kSampleMasks.size(), 42u);
    for (const auto& [number, mask] : kSampleMasks) {
        // The mask stands left-aligned in a 20-character column, a description follows.
        const std::string text = CtlGetMessage(number);
        ASSERT_GT(text.size(), 20u) << number;
        EXPECT_EQ(text.substr(0, 20), mask + std::string(20 - mask.size(), ' ')) << number;
        EXPECT_NE(text[20], ' ') << number;
        ++count;
    }
    EXPECT_EQ(count, 375u);
    EXPECT_EQ(CtlGetMessage(34525), "(999) 999-9999      Phone number mask Allows 0 through 9 and space");
    EXPECT_EQ(CtlGetMessage(30215), "Invalid font assignemnt. Font must be a TFont or TCtlFixedFont");
    EXPECT_EQ(CtlGetMessage(30219), "Index is out of bounds for sparse array");
}

TEST(CtlMessagesTest, TableIsSortedUniqueAndComplete) {
    const TCtlMessage* table = CtlMessageTable();
    std::set<uint32_t> numbers;
    for (int i = 0; i < CtlMessageCount; ++i) {
        numbers.insert(table[i].Number);
        if (i > 0) {
            EXPECT_LT(table[i - 1].Number, table[i].Number);
        }
        EXPECT_EQ(CtlFindMessage(table[i].Number), table[i].Text);
    }
    EXPECT_EQ(numbers.size(), 375u);
    EXPECT_EQ(table[0].Number, 30168u);
    EXPECT_EQ(table[CtlMessageCount - 1].Number, 34541u);
}

TEST(CtlMessagesTest, NumbersOutsideTheTableAreUnknown) {
    for (uint32_t n : {0u, 30167u, 30229u, 30230u, 30267u, 34492u, 34511u, 34517u, 34542u, 65535u}) {
        EXPECT_EQ(CtlFindMessage(n), "") << n;
        EXPECT_EQ(CtlGetMessage(n), "Unknown") << n;
    }
    // Only the low 16 bits are compared.
    EXPECT_EQ(CtlGetMessage(30168u + 0x10000u), "Unknown Error condition");
}

TEST(CtlMessagesTest, ExceptionsCarryTheirTexts) {
    EXPECT_EQ(ENoTimersAvailable().Message, "No Window's timers are available");
    EXPECT_EQ(EDuplicateCommand().Message, "Duplicate command found while adding a new command to the table");
    EXPECT_EQ(ETableNotFound().Message, "Command table not found or command table index out of range");
    EXPECT_EQ(EInvalidDataType().Message, "Invalid data type for this field");
    EXPECT_EQ(EInvalidPictureMask("99#q").Message, "Invalid picture mask: 99#q");
    EXPECT_EQ(EInvalidPageIndex().Message, "Invalid page index value");
    EXPECT_EQ(EInvalidTabFont().Message, "Invalid font. Non toTop oriented tabs require a True-Type font");
    EXPECT_EQ(EInvalidFixedFont().Message, "Invalid font assignment. Font must be a fixed font");

    // The tree: every class is caught as its parents.
    try {
        throw EDuplicateCommand();
    } catch (const ECmdProcessorError& e) {
        EXPECT_NE(dynamic_cast<const ECtlException*>(&e), nullptr);
        EXPECT_NE(dynamic_cast<const framework::Exception*>(&e), nullptr);
    }
    EXPECT_THROW(throw ESAEOutOfBounds(CtlGetMessage(SCtlSAOutOfBounds)), ESparseArrayError);
    EXPECT_THROW(throw EInvalidDateForMask("x"), EEntryFieldError);
}

TEST(CtlMessagesTest, RangeTextFollowsTheDataType) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "Invalid range value"},
        {4, "Invalid range. Enter a value between (-2147483648) and (2147483647)"},
        {5, "Invalid range. Enter a value between (0) and (65535)"},
        {6, "Invalid range. Enter a value between (-32768) and (32767)"},
        {7, "Invalid range. Enter a value between (0) and (255)"},
        {8, "Invalid range. Enter a value between (-128) and (127)"},
        {9, "Invalid range. Enter a value between (-1.7e+38) and (+1.7e+38)"},
        {10, "Invalid range. Enter a value between (-1.1e+4932) and (+1.1e+4932)"},
        {11, "Invalid range. Enter a value between (-1.7e+308) and (+1.7e+308)"},
        {12, "Invalid range. Enter a value between (-3.4e+38) and (+3.4e+38)"},
        {13, "Invalid range. Enter a value between (-9.2e+18) and (+9.2e+18)"},
        {16, "Invalid range value"},
    };
    for (const auto& [type, text] : cases) EXPECT_EQ(EInvalidRangeValue(type).Message, text) << type;
    EXPECT_EQ(EInvalidRangeValue(14).Message, "Invalid date range. Enter a value using '" +
                                                  CtlIntlSup().InternationalDate(true) + "' as the format");
    EXPECT_EQ(EInvalidRangeValue(15).Message, "Invalid time range. Enter a value using '" +
                                                  CtlIntlSup().InternationalTime(false) + "' as the format");
}

TEST(CtlMessagesTest, AlphabeticSet) {
    const auto& set = CtlAlphaCharSet();
    for (unsigned char c : std::string(" ,-.AZaz")) EXPECT_TRUE(set.test(c)) << int(c);
    for (unsigned char c : std::string("09!@'/\t")) EXPECT_FALSE(set.test(c)) << int(c);
    for (int c : {0xC4, 0xE4, 0xDF, 0x8A, 0x9F, 0xAA, 0xB5}) EXPECT_TRUE(set.test(c)) << c;
    for (int c : {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0xD7, 0xF7, 0xA0, 0xB0}) EXPECT_FALSE(set.test(c)) << c;
    EXPECT_EQ(set.count(), 4u + 52u + 62u + 9u + 3u);  // C0-FF less two signs, nine, three
}

}  // namespace
}  // namespace entry

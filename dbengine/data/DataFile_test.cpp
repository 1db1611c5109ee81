#include "dbengine/data/DataFile.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ErrorCode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using dbengine::testsupport::CodeOf;

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

TFieldDescriptor Field(int16_t no, const std::string& name, uint8_t type, uint8_t size = 0,
                       uint8_t subType = 0, uint8_t decimals = 0) {
    TFieldDescriptor d;
    d.FieldNo = no;
    d.Name = name;
    d.FieldType = type;
    d.Size = size;
    d.SubType = subType;
    d.Decimals = decimals;
    ComputeValueSize(d);
    return d;
}

// The three-field table of the golden file: a string of 10, an integer and an auto-increment.
std::vector<TFieldDescriptor> ThreeFields() {
    std::vector<TFieldDescriptor> f = {Field(1, "Name", fldString, 10), Field(2, "Count", fldInteger),
                                       Field(3, "ID", fldInteger, 0, fldstAutoInc)};
    AssignFieldOffsets(f);
    return f;
}

void WriteNative(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
    }
    void TearDown() override { FinalizeEngine(); }

    std::unique_ptr<TDataFile> NewFile(const std::string& name = "T.DAT") {
        auto f = std::make_unique<TDataFile>(&table);
        f->FileName = "D:\\" + name;
        return f;
    }
    // Creates the table file with header and descriptors written, and closes it.
    void Create(const std::vector<TFieldDescriptor>& fields, const std::string& name = "T.DAT",
                bool encrypted = false) {
        auto f = NewFile(name);
        f->CreateDataFile(0, 0, 1, 2, encrypted, "Secret", "Orders of the year", 0, fields);
        f->WriteHeader(false);
        f->WriteDescriptors();
        f->CloseFile();
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    framework::TFakeTime clock{framework::EncodeDate(2024, 2, 29) + framework::EncodeTime(13, 37, 42, 0)};
    TDataTable table{nullptr, nullptr};
};

TEST_F(DataFileTest, GoldenBytesOfAThreeFieldTable) {
    Create(ThreeFields());
    std::string bytes = ReadNativeFile(root / "T.DAT");
    ASSERT_EQ(bytes.size(), 2431u);  // the first record would start here
    auto u8 = [&](size_t ofs) { return static_cast<uint8_t>(bytes[ofs]); };
    auto i32 = [&](size_t ofs) { return GetInt32(reinterpret_cast<const uint8_t*>(bytes.data() + ofs)); };
    auto u16 = [&](size_t ofs) { return GetUInt16(reinterpret_cast<const uint8_t*>(bytes.data() + ofs)); };
    EXPECT_EQ(i32(0), 1);    // change count: one header write
    EXPECT_EQ(u8(8), 5);     // version
    EXPECT_EQ(i32(9), 0);    // no free record
    EXPECT_EQ(i32(13), 1);   // next record number
    EXPECT_EQ(i32(17), 0);   // last record ID
    EXPECT_EQ(u16(21), 26);  // record size: 9 + (11 + 1) + (4 + 1)
    EXPECT_EQ(u16(23), 3);   // fields
    EXPECT_EQ(u8(35), 18);   // description length
    EXPECT_EQ(bytes.substr(36, 18), "Orders of the year");
    EXPECT_EQ(u8(87), 0);        // no password when not encrypted
    EXPECT_EQ(u8(111), 1);       // written because of a change
    EXPECT_EQ(i32(116), 32400);  // writer version
    EXPECT_EQ(u16(107), 1);
    EXPECT_EQ(u16(109), 2);
    double stored = GetDouble(reinterpret_cast<const uint8_t*>(bytes.data() + 27));
    EXPECT_DOUBLE_EQ(stored + 693594.0, clock.Now());
    // Descriptors at 127 + 768 i: number, name, type, size, value size, offset.
    const struct {
        int16_t No;
        const char* Name;
        uint8_t Type, Size, ValueSize, SubType;
        uint16_t Offset;
    } fields[] = {{1, "Name", 1, 10, 11, 0, 9}, {2, "Count", 6, 0, 4, 0, 21}, {3, "ID", 6, 0, 4, 29, 5}};
    for (int i = 0; i < 3; ++i) {
        size_t base = 127 + 768 * i;
        EXPECT_EQ(GetInt16(reinterpret_cast<const uint8_t*>(bytes.data() + base)), fields[i].No);
        EXPECT_EQ(bytes.substr(base + 3, u8(base + 2)), fields[i].Name);
        EXPECT_EQ(u8(base + 84), fields[i].Type);
        EXPECT_EQ(u8(base + 85), fields[i].SubType);
        EXPECT_EQ(u8(base + 86), fields[i].Size);
        EXPECT_EQ(u8(base + 88), fields[i].ValueSize);
        EXPECT_EQ(u16(base + 90), fields[i].Offset);
    }
    // The whole file, byte for byte.
    std::string golden = ReadNativeFile(std::string(KORVANE_TESTDATA_DIR) + "/three_fields.dat");
    if (golden != bytes) WriteNative(std::string(KORVANE_BUILD_DIR) + "/three_fields.actual.dat", bytes);
    EXPECT_TRUE(golden == bytes) << "differs from testdata/three_fields.dat";

    auto f = NewFile();
    f->OpenFile();
    f->CheckHeader();
    EXPECT_EQ(f->RecordOffset(1), 2431);
    EXPECT_EQ(f->RecordOffset(2), 2431 + 26);
    EXPECT_EQ(f->GetDescription(), "Orders of the year");
    EXPECT_EQ(f->GetPassword(), "");
    EXPECT_EQ(f->BlobBlockSize(), 512u);  // 0 stored
    TFieldDescriptor d;
    ASSERT_TRUE(f->FindFieldByName("count", d));
    EXPECT_EQ(d.Position, 2);
    EXPECT_EQ(f->GetFieldPosition("nothing"), 0);
    ASSERT_TRUE(f->FindFieldByNumber(3, d));
    EXPECT_EQ(d.Name, "ID");
}

TEST_F(DataFileTest, ValueSizesAndOffsets) {
    struct Case {
        uint8_t Type, Size;
        uint8_t ValueSize;
    };
    const Case cases[] = {{fldString, 250, 251},
                          {fldDate, 0, 4},
                          {fldBlob, 0, 8},
                          {fldBoolean, 0, 2},
                          {fldSmallInt, 0, 2},
                          {fldInteger, 0, 4},
                          {fldFloat, 0, 8},
                          {fldBCD, 0, 34},
                          {fldBytes, 7, 7},
                          {fldTime, 0, 4},
                          {fldTimestamp, 0, 8},
                          {fldWord, 0, 2},
                          {fldFourBytes, 0, 4},
                          {fldTenBytes, 0, 10},
                          {fldVarBytes, 9, 9},
                          {fldLargeInt, 0, 8},
                          {20, 5, 5}};
    for (const Case& c : cases)
        EXPECT_EQ(Field(1, "F", c.Type, c.Size).ValueSize, c.ValueSize) << int(c.Type);

    std::vector<TFieldDescriptor> wide = {Field(1, "S", fldString, 250), Field(2, "N", fldInteger)};
    EXPECT_EQ(AssignFieldOffsets(wide), 9u + 252 + 5);
    EXPECT_EQ(wide[1].Offset, 9 + 252);

    std::vector<TFieldDescriptor> autoOnly = {Field(1, "ID", fldInteger, 0, fldstAutoInc)};
    EXPECT_EQ(AssignFieldOffsets(autoOnly), 9u);
    EXPECT_EQ(autoOnly[0].Offset, 5);

    TFieldDescriptor bcd = Field(1, "Amount", fldBCD, 0, 0, 4);
    EXPECT_EQ(bcd.ValueDecimals, 4);
    std::vector<TFieldDescriptor> withBcd = {bcd};
    AssignFieldOffsets(withBcd);
    Create(withBcd, "BCD.DAT");
    auto f = NewFile("BCD.DAT");
    f->OpenFile();
    f->CheckHeader();
    EXPECT_EQ(f->GetFieldDescriptor(1).Decimals, 4);
    f->CloseFile();

    std::vector<TFieldDescriptor> intWithDecimals = {Field(1, "N", fldInteger, 0, 0, 2)};
    AssignFieldOffsets(intWithDecimals);
    Create(intWithDecimals, "BAD.DAT");
    auto bad = NewFile("BAD.DAT");
    bad->OpenFile();
    EXPECT_EQ(CodeOf([&] { bad->CheckHeader(); }), DBE_HEADERCORRUPT);
}

TEST_F(DataFileTest, DescriptorLayoutRoundTrips) {
    TFieldDescriptor d = Field(7, "Comment", fldString, 40);
    d.Description = "What the user wrote";
    d.Offset = 321;
    d.Required = 1;
    d.CharCase = 2;
    d.MinValue = "a";
    d.MaxValue = "zz";
    d.DefaultValue = "none";
    d.OriginName = "T.Comment";
    d.OriginFieldNo = 7;
    d.Position = 7;
    d.DatabaseName = "D:\\DATA\\";
    d.SortDescending = 1;
    auto bytes = d.Encode();
    EXPECT_EQ(bytes[2], 7);
    EXPECT_EQ(bytes[33], 19);
    EXPECT_EQ(bytes[94], 1);
    EXPECT_EQ(bytes[145], 2);
    EXPECT_EQ(bytes[196], 4);
    EXPECT_EQ(bytes[253], 1);
    EXPECT_EQ(bytes[254], 9);
    EXPECT_EQ(GetInt16(&bytes[355]), 7);
    EXPECT_EQ(bytes[359], 8);
    for (size_t i = 460; i < 768; ++i) ASSERT_EQ(bytes[i], 0) << i;
    TFieldDescriptor back = TFieldDescriptor::Decode(bytes.data());
    EXPECT_EQ(back.Encode(), bytes);
    EXPECT_EQ(back.Name, "Comment");
    EXPECT_EQ(back.DatabaseName, "D:\\DATA\\");
    // Too long strings are cut to their capacity when stored.
    d.Name = std::string(40, 'N');
    EXPECT_EQ(TFieldDescriptor::Decode(d.Encode().data()).Name, std::string(30, 'N'));
}

// A valid table is damaged byte by byte; the header check finds each damage.
TEST_F(DataFileTest, HeaderCheck) {
    std::vector<TFieldDescriptor> fields = {Field(1, "Name", fldString, 10), Field(2, "Count", fldInteger),
                                            Field(3, "ID", fldInteger, 0, fldstAutoInc)};
    fields[1].DefaultValue = "12";
    AssignFieldOffsets(fields);
    Create(fields);
    std::string valid = ReadNativeFile(root / "T.DAT");
    // Two records appended, the header counting them.
    valid += std::string(52, '\0');
    PutInt32(reinterpret_cast<uint8_t*>(valid.data()) + 13, 3);

    auto setName = [](std::string& b, int field, const std::string& name) {
        size_t base = 127 + 768 * field + 2;
        b[base] = static_cast<char>(name.size());
        b.replace(base + 1, name.size(), name);
    };
    auto i32 = [](std::string& b, size_t ofs, int32_t v) {
        PutInt32(reinterpret_cast<uint8_t*>(b.data()) + ofs, v);
    };
    auto u16 = [](std::string& b, size_t ofs, uint16_t v) {
        PutUInt16(reinterpret_cast<uint8_t*>(b.data()) + ofs, v);
    };
    auto setDefault = [](std::string& b, int field, const std::string& text) {
        size_t base = 127 + 768 * field + 196;
        b[base] = static_cast<char>(text.size());
        b.replace(base + 1, text.size(), text);
    };
    struct Case {
        const char* What;
        std::function<void(std::string&)> Damage;
        TEngineErrorCode Code;
    };
    const Case cases[] = {
        {"valid", [](std::string&) {}, 0},
        {"version 4", [](std::string& b) { b[8] = 4; }, DBE_OLDVERSION},
        {"language 0x0419", [&](std::string& b) { u16(b, 103, 0x0419); }, DBE_CANNOTLOADLDDRV},
        {"31-character name", [&](std::string& b) { setName(b, 0, std::string(31, 'N')); },
         DBE_HEADERCORRUPT},
        {"30-character name", [&](std::string& b) { setName(b, 0, std::string(30, 'N')); }, 0},
        {"name starting with a digit", [&](std::string& b) { setName(b, 0, "1Name"); }, DBE_HEADERCORRUPT},
        {"empty name", [&](std::string& b) { setName(b, 0, ""); }, DBE_HEADERCORRUPT},
        {"name starting with _", [&](std::string& b) { setName(b, 0, "_Name"); }, 0},
        {"name starting with byte 0xC8", [&](std::string& b) { setName(b, 0, "\xC8Name"); }, 0},
        {"names differing in case and a trailing blank", [&](std::string& b) { setName(b, 1, "name "); },
         DBE_HEADERCORRUPT},
        {"duplicate field number", [&](std::string& b) { b[127 + 768] = 1; }, DBE_HEADERCORRUPT},
        {"wrong offset", [&](std::string& b) { u16(b, 127 + 768 + 90, 22); }, DBE_HEADERCORRUPT},
        {"auto-increment not at 5", [&](std::string& b) { u16(b, 127 + 1536 + 90, 26); }, DBE_HEADERCORRUPT},
        {"wrong field number", [&](std::string& b) { b[127 + 1536] = 4; }, DBE_HEADERCORRUPT},
        {"type 0", [&](std::string& b) { b[127 + 768 + 84] = 0; }, DBE_HEADERCORRUPT},
        {"string of 251", [&](std::string& b) { b[127 + 86] = static_cast<char>(251); }, DBE_HEADERCORRUPT},
        {"integer with a size", [&](std::string& b) { b[127 + 768 + 86] = 4; }, DBE_HEADERCORRUPT},
        {"invalid default", [&](std::string& b) { setDefault(b, 1, "12x"); }, DBE_HEADERCORRUPT},
        {"record size", [&](std::string& b) { u16(b, 21, 27); }, DBE_HEADERCORRUPT},
        {"partial record at the end", [](std::string& b) { b += "xyz"; }, DBE_HEADERCORRUPT},
        {"wrong next record number", [&](std::string& b) { i32(b, 13, 2); }, DBE_HEADERCORRUPT},
        {"free record beyond the count", [&](std::string& b) { i32(b, 9, 3); }, DBE_HEADERCORRUPT},
        {"negative free record", [&](std::string& b) { i32(b, 9, -1); }, DBE_HEADERCORRUPT},
        {"free record within the count", [&](std::string& b) { i32(b, 9, 2); }, 0},
        {"1025 fields", [&](std::string& b) { u16(b, 23, 1025); }, DBE_HEADERCORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::string damaged = valid;
        c.Damage(damaged);
        WriteNative(root / "T.DAT", damaged);
        auto f = NewFile();
        TEngineErrorCode code = CodeOf([&] {
            f->OpenFile();
            f->CheckHeader();
        });
        EXPECT_EQ(code, c.Code);
        if (code == DBE_HEADERCORRUPT) {
            EXPECT_EQ(GetEngineErrorMessage(code), "Header information corrupt in the table 'T'");
        }
        f->CloseFile();
    }
    // A file shorter than its header cannot be read.
    WriteNative(root / "T.DAT", valid.substr(0, 100));
    EXPECT_EQ(CodeOf([&] { NewFile()->OpenFile(); }), DBE_READERR);
    EXPECT_EQ(EngineFileList()->Count(), 0u);  // the failed open closed the file again
}

TEST_F(DataFileTest, EmptyFileRestartsNumbering) {
    Create(ThreeFields());
    std::string path = root / "T.DAT";
    {
        std::string b = ReadNativeFile(path) + std::string(26 * 4, '\x01');
        PutInt32(reinterpret_cast<uint8_t*>(b.data()) + 13, 5);
        PutInt32(reinterpret_cast<uint8_t*>(b.data()) + 17, 42);
        WriteNative(path, b);
    }
    auto f = NewFile();
    f->OpenFile();
    EXPECT_EQ(f->RecordCount(), 4);
    EXPECT_EQ(f->NextRecordId(), 43);
    f->EmptyFile();
    EXPECT_EQ(f->GetFileSize(), 2431);
    EXPECT_EQ(f->RecordCount(), 0);
    EXPECT_EQ(f->Header.NextRecordNo, 1);
    EXPECT_EQ(f->NextRecordId(), 1);
    f->WriteHeader(false);
    f->CheckHeader();

    f->SetLastRecordId(2147483647);
    EXPECT_EQ(f->NextRecordId(), 1);
    f->Header.LastBlobStamp = 2147483647;
    EXPECT_EQ(f->NextBlobStamp(), 1);
}

TEST_F(DataFileTest, HeaderMarksAndReload) {
    Create(ThreeFields());
    auto a = NewFile();
    auto b = NewFile();
    a->OpenFile();
    b->OpenFile();
    EXPECT_EQ(a->Header.HeaderModified, 0);
    EXPECT_FALSE(a->WriteHeader(false));
    EXPECT_FALSE(b->ReloadHeaderIfChanged());
    // A forced write of an unchanged header stores the mark 0; a write after a change stores 1.
    EXPECT_TRUE(a->WriteHeader(true));
    EXPECT_EQ(ReadNativeFile(root / "T.DAT")[111], 0);
    EXPECT_TRUE(b->ReloadHeaderIfChanged());
    EXPECT_EQ(b->Header.ChangeCount, a->Header.ChangeCount);
    EXPECT_FALSE(b->ReloadHeaderIfChanged());
    a->SetTableInfo("pw", "New description", 10, 3, 4);
    EXPECT_TRUE(a->WriteHeader(false));
    EXPECT_EQ(ReadNativeFile(root / "T.DAT")[111], 1);
    EXPECT_TRUE(b->ReloadHeaderIfChanged());
    EXPECT_EQ(b->GetDescription(), "New description");
    EXPECT_EQ(b->LastRecordId(), 10);
    EXPECT_EQ(b->GetPassword(), "");  // not encrypted: no password kept
    EXPECT_TRUE(table.FilesWritten);
    b->ReadHeader();
    EXPECT_EQ(b->Header.HeaderModified, 0);

    // UpdateDescriptor changes names and texts, not the type, size or offset.
    TFieldDescriptor d = a->GetFieldDescriptor(1);
    d.Name = "Title";
    d.Size = 99;
    d.Offset = 77;
    d.DefaultValue = "x";
    a->UpdateDescriptor(1, d);
    EXPECT_TRUE(a->WriteDescriptors());
    EXPECT_FALSE(a->WriteDescriptors());
    b->ReadDescriptors();
    EXPECT_EQ(b->GetFieldDescriptor(1).Name, "Title");
    EXPECT_EQ(b->GetFieldDescriptor(1).Size, 10);
    EXPECT_EQ(b->GetFieldDescriptor(1).Offset, 9);
    EXPECT_EQ(b->GetFieldDescriptor(1).DefaultValue, "x");
}

TEST_F(DataFileTest, EncryptedTablesStoreTextScrambled) {
    Create(ThreeFields(), "ENC.DAT", true);
    std::string bytes = ReadNativeFile(root / "ENC.DAT");
    EXPECT_EQ(bytes[86], 1);
    EXPECT_EQ(bytes[87], 6);
    EXPECT_NE(bytes.substr(88, 6), "Secret");
    EXPECT_EQ(bytes.find("Orders of the year"), std::string::npos);
    EXPECT_EQ(bytes.find("Count"), std::string::npos);  // the descriptors are scrambled too
    auto f = NewFile("ENC.DAT");
    f->OpenFile();
    EXPECT_EQ(f->GetPassword(), "Secret");
    EXPECT_EQ(f->GetDescription(), "Orders of the year");
    EXPECT_EQ(f->GetFieldDescriptor(2).Name, "Count");
    f->CheckHeader();
    f->SetTableInfo(std::string(20, 'p'), "Other", 0, 0, 0);
    EXPECT_EQ(f->GetPassword(), std::string(15, 'p'));
}

TEST_F(DataFileTest, CreationLimits) {
    std::vector<TFieldDescriptor> blobs;
    for (int i = 1; i <= 129; ++i)
        blobs.push_back(Field(static_cast<int16_t>(i), "B" + std::to_string(i), fldBlob));
    AssignFieldOffsets(blobs);
    auto f = NewFile("BLOBS.DAT");
    EXPECT_EQ(CodeOf([&] { f->CreateDataFile(0, 0, 0, 0, false, "", "", 0, blobs); }), DBE_BLOBLIMIT);
    blobs.pop_back();
    f->CreateDataFile(0, 0, 0, 0, false, "", "", 0, blobs);
    EXPECT_EQ(f->BlobFieldCount(), 128);
    f->CloseFile();

    std::vector<TFieldDescriptor> wide;
    for (int i = 1; i <= 261; ++i)
        wide.push_back(Field(static_cast<int16_t>(i), "S" + std::to_string(i), fldString, 250));
    AssignFieldOffsets(wide);
    auto w = NewFile("WIDE.DAT");
    try {
        w->CreateDataFile(0, 0, 0, 0, false, "", "", 0, wide);
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_RECTOOBIG);
        EXPECT_EQ(e.Message, "Engine Error # 9477 Maximum record size exceeded in the table 'T'");
    }
    EXPECT_FALSE(w->FileExists());  // nothing created
    wide.pop_back();
    AssignFieldOffsets(wide);
    w->CreateDataFile(0, 0, 0, 0, false, "", "", 0, wide);
    EXPECT_EQ(w->RecordSize(), 9 + 260 * 252);
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

TEST(ValueTextTest, DefaultMinAndMaxTextsSuitTheirType) {
    struct Case {
        const char* Text;
        uint8_t Type;
        bool Valid;
    };
    const Case cases[] = {
        {"", fldInteger, true},
        {"CURRENT_DATE", fldTimestamp, true},
        {"CURRENT_DATE", fldTime, false},
        {"current_date", fldDate, true},
        {"40000", fldSmallInt, false},
        {"-32768", fldSmallInt, true},
        {"65535", fldWord, true},
        {"-1", fldWord, false},
        {"abc", fldString, true},
        {"tRUE", fldBoolean, true},
        {"yes", fldBoolean, false},
        {"1.5", fldFloat, true},
        {"1,5", fldFloat, false},
        {"12.3456", fldBCD, true},
        {"2001-02-03 10:00", fldTimestamp, true},
        {"10:00 PM", fldTimestamp, true},
        {"2001-02-30", fldDate, false},
        {"9223372036854775807", fldLargeInt, true},
        {"anything", fldBlob, true},
        {"CURRENT_TIME", fldTime, true},
        {"12x", fldInteger, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidValueText(c.Text, c.Type), c.Valid) << c.Text << " " << int(c.Type);
}

}  // namespace
}  // namespace dbengine

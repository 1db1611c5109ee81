#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;
using Lines = std::vector<std::string>;

TFieldDescriptor Field(int16_t no, const std::string& name, uint8_t type, uint8_t size = 0,
                       uint8_t subType = 0) {
    TFieldDescriptor d;
    d.FieldNo = no;
    d.Name = name;
    d.FieldType = type;
    d.Size = size;
    d.SubType = subType;
    ComputeValueSize(d);
    return d;
}

void WriteNative(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Lines Suffixed(Lines lines, const std::string& suffix = ", error fixed") {
    for (auto& l : lines) l += suffix;
    return lines;
}

TEngineErrorCode CheckCode(TDataFile& f) {
    try {
        f.CheckHeader();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

class DataFileVerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
        cursor.SetLogCallback([this](TDataCursor&, const std::string& text) { log.push_back(text); });
        // Name: string of 10 at 9; Count: integer at 21; ID: auto-increment at 5; Notes: memo at 26.
        std::vector<TFieldDescriptor> fields = {
            Field(1, "Name", fldString, 10), Field(2, "Count", fldInteger),
            Field(3, "ID", fldInteger, 0, fldstAutoInc), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        fields[1].DefaultValue = "12";
        AssignFieldOffsets(fields);
        auto f = NewFile();
        f->CreateDataFile(0, 0, 1, 2, false, "", "", 0, fields);
        f->WriteHeader(false);
        f->WriteDescriptors();
        recordSize = f->RecordSize();
        f->CloseFile();
        // Two records, the header counting them.
        valid = ReadNativeFile(Path()) + std::string(2 * recordSize, '\x01');
        PutInt32(reinterpret_cast<uint8_t*>(valid.data()) + 13, 3);
    }
    void TearDown() override { FinalizeEngine(); }

    std::unique_ptr<TDataFile> NewFile() {
        auto f = std::make_unique<TDataFile>(&table);
        f->FileName = "D:\\T.DAT";
        return f;
    }
    std::string Path() const { return root / "T.DAT"; }
    Lines Verify(bool verifyOnly, bool& result) {
        log.clear();
        auto f = NewFile();
        f->OpenFile();
        result = f->VerifyHeader(cursor, verifyOnly);
        if (!verifyOnly) {
            f->WriteHeader(false);
            f->WriteDescriptors();
        }
        f->CloseFile();
        return log;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataTable table{nullptr, nullptr};
    TDataCursor cursor{nullptr};
    Lines log;
    std::string valid;
    uint16_t recordSize = 0;
};

void SetName(std::string& b, int field, const std::string& name) {
    size_t base = 127 + 768 * field + 2;
    b[base] = static_cast<char>(name.size());
    b.replace(base + 1, name.size(), name);
}
void SetText(std::string& b, int field, size_t ofs, const std::string& text) {
    size_t base = 127 + 768 * field + ofs;
    b[base] = static_cast<char>(text.size());
    b.replace(base + 1, text.size(), text);
}
void Put16(std::string& b, size_t ofs, uint16_t v) {
    PutUInt16(reinterpret_cast<uint8_t*>(b.data()) + ofs, v);
}
void Put32(std::string& b, size_t ofs, int32_t v) {
    PutInt32(reinterpret_cast<uint8_t*>(b.data()) + ofs, v);
}
size_t Desc(int field, size_t ofs) {
    return 127 + 768 * field + ofs;
}

TEST_F(DataFileVerifyTest, EachCheckReportsInBothModesAndRepairFixesWhatItCan) {
    const std::string h = " in table header";
    const std::string long35 = "9" + std::string(34, 'A');
    struct Case {
        const char* What;
        std::function<void(std::string&)> Damage;
        Lines Verify;
        Lines Repair;                           // empty: the verify lines with ", error fixed"
        bool RepairedOpens;                     // every problem fixed: the repaired header passes the checks
        std::function<void(TDataFile&)> Check;  // on the repaired file
    };
    const Case cases[] = {
        {"blank name",
         [](std::string& b) { SetName(b, 0, ""); },
         {"Invalid field name (blank) for field # 1" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[0].Name, "Repaired_Fld1"); }},
        // Both repaired names would be Repaired_Fld1; the second is made unique.
        {"two blank names with one field number",
         [](std::string& b) {
             SetName(b, 0, "");
             SetName(b, 1, "");
             b[Desc(1, 0)] = 1;
         },
         {"Invalid field name (blank) for field # 1" + h, "Invalid field name (blank) for field # 1" + h,
          "Invalid field number for field " + h},
         {"Invalid field name (blank) for field # 1" + h + ", error fixed",
          "Invalid field name (blank) for field # 1" + h + ", error fixed",
          "Invalid field number for field Repaired_Fld1_1" + h + ", error fixed"},
         true,
         [](TDataFile& f) {
             EXPECT_EQ(f.Descriptors[0].Name, "Repaired_Fld1");
             EXPECT_EQ(f.Descriptors[1].Name, "Repaired_Fld1_1");
         }},
        {"name starting with a digit",
         [](std::string& b) { SetName(b, 0, "1Name"); },
         {"Invalid field name (first character) for field 1Name" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[0].Name, "_1Name"); }},
        {"35-character name",
         [](std::string& b) { SetName(b, 0, std::string(35, 'N')); },
         {"Invalid field name (too long) for field " + std::string(35, 'N') + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[0].Name, std::string(30, 'N')); }},
        {"long name starting with a digit",
         [&](std::string& b) { SetName(b, 0, long35); },
         {"Invalid field name (first character) for field " + long35 + h,
          "Invalid field name (too long) for field " + long35 + h},
         {"Invalid field name (first character) for field " + long35 + h + ", error fixed",
          "Invalid field name (too long) for field _" + long35.substr(0, 29) + h + ", error fixed"},
         true,
         [&](TDataFile& f) { EXPECT_EQ(f.Descriptors[0].Name, "_" + long35.substr(0, 29)); }},
        {"names differing in case",
         [](std::string& b) { SetName(b, 1, "NAME "); },
         {"Invalid field name (duplicate) for field Name" + h,
          "Invalid field name (duplicate) for field NAME " + h},
         {"Invalid field name (duplicate) for field Name" + h + ", error fixed"},
         true,
         [](TDataFile& f) {
             EXPECT_EQ(f.Descriptors[0].Name, "Name_1");
             EXPECT_EQ(f.Descriptors[1].Name, "NAME ");
         }},
        {"unknown type",
         [](std::string& b) { b[Desc(1, 84)] = 0; },
         {"Invalid field data type (Unknown) for field Count" + h},
         {},
         false,
         [&](TDataFile& f) { EXPECT_EQ(f.GetFileSize(), static_cast<int64_t>(valid.size())); }},
        // The wider field moves the later ones; the old records no longer fit the new size.
        {"string of 255",
         [](std::string& b) { b[Desc(0, 86)] = static_cast<char>(255); },
         {"Invalid field length for field Name" + h + " (255)", "Invalid field offset for field Count" + h,
          "Invalid field offset for field Notes" + h, "Invalid physical record length in table header"},
         {"Invalid field length for field Name" + h + " (255), error fixed",
          "Invalid field offset for field Count" + h + ", error fixed",
          "Invalid field offset for field Notes" + h + ", error fixed",
          "Invalid physical record length in table header, error fixed",
          "Physical records not aligned on even record size boundaries, error fixed",
          "Physical record count not correct, error fixed"},
         true,
         [](TDataFile& f) {
             EXPECT_EQ(f.Descriptors[0].Size, 250);
             EXPECT_EQ(f.Descriptors[0].ValueSize, 251);
         }},
        // Cannot be fixed, yet the field keeps its place: the records stay as they are.
        {"string of 0",
         [](std::string& b) { b[Desc(0, 86)] = 0; },
         {"Invalid field length for field Name" + h + " (0)"},
         {},
         false,
         [&](TDataFile& f) { EXPECT_EQ(f.GetFileSize(), static_cast<int64_t>(valid.size())); }},
        {"integer with a size",
         [](std::string& b) { b[Desc(1, 86)] = 4; },
         {"Invalid field length for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].Size, 0); }},
        {"invalid default",
         [](std::string& b) { SetText(b, 1, 196, "12x"); },
         {"Invalid default value for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].DefaultValue, ""); }},
        {"invalid minimum",
         [](std::string& b) { SetText(b, 1, 94, "low"); },
         {"Invalid minimum value for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].MinValue, ""); }},
        {"invalid maximum",
         [](std::string& b) { SetText(b, 1, 145, "1.5e"); },
         {"Invalid maximum value for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].MaxValue, ""); }},
        {"decimals on an integer",
         [](std::string& b) { b[Desc(1, 87)] = 2; },
         {"Invalid field decimals for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].Decimals, 0); }},
        {"wrong offset",
         [](std::string& b) { Put16(b, Desc(1, 90), 22); },
         {"Invalid field offset for field Count" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[1].Offset, 21); }},
        {"auto-increment not at 5",
         [](std::string& b) { Put16(b, Desc(2, 90), 26); },
         {"Invalid field offset for field ID" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[2].Offset, 5); }},
        {"wrong field number",
         [](std::string& b) { b[Desc(2, 0)] = 7; },
         {"Invalid field number for field ID" + h},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.Descriptors[2].FieldNo, 3); }},
        // Verification counts the records by the stored size.
        {"record size",
         [](std::string& b) { Put16(b, 21, 1); },
         {"Invalid physical record length in table header", "Physical record count not correct"},
         {"Invalid physical record length in table header, error fixed"},
         true,
         [&](TDataFile& f) { EXPECT_EQ(f.RecordSize(), recordSize); }},
        {"seven bytes past the last record",
         [](std::string& b) { b += "1234567"; },
         {"Physical records not aligned on even record size boundaries"},
         {},
         true,
         [&](TDataFile& f) {
             EXPECT_EQ(f.GetFileSize(), static_cast<int64_t>(valid.size()));
             EXPECT_EQ(f.RecordCount(), 2);
         }},
        {"next record number",
         [](std::string& b) { Put32(b, 13, 2); },
         {"Physical record count not correct"},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.RecordCount(), 2); }},
        {"free record past the records",
         [](std::string& b) { Put32(b, 9, 3); },
         {"Invalid next free record pointer"},
         {},
         true,
         nullptr},
        {"negative free record",
         [](std::string& b) { Put32(b, 9, -1); },
         {"Invalid next free record pointer"},
         {},
         true,
         nullptr},
        {"BLOB field count",
         [](std::string& b) { Put16(b, 25, 0); },
         {"Invalid BLOB field count in table header"},
         {},
         true,
         [](TDataFile& f) { EXPECT_EQ(f.BlobFieldCount(), 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::string damaged = valid;
        c.Damage(damaged);
        WriteNative(Path(), damaged);
        bool result = true;
        EXPECT_EQ(Verify(true, result), c.Verify);
        EXPECT_FALSE(result);
        EXPECT_TRUE(ReadNativeFile(Path()) == damaged) << "verification changed the file";

        Lines repair = !c.Repair.empty() ? c.Repair
                       : c.RepairedOpens ? Suffixed(c.Verify)
                                         : Suffixed(c.Verify, ", error cannot be fixed");
        EXPECT_EQ(Verify(false, result), repair);
        EXPECT_FALSE(result);

        auto f = NewFile();
        f->OpenFile();
        if (c.RepairedOpens) {
            EXPECT_EQ(CheckCode(*f), 0);
        }
        EXPECT_EQ(f->Header.FirstFreeRecord, 0);
        EXPECT_EQ(f->Header.Version, 5);
        if (c.Check) c.Check(*f);
        f->CloseFile();
        if (c.RepairedOpens) {
            EXPECT_EQ(Verify(true, result), Lines{});
            EXPECT_TRUE(result);
        }
    }
}

TEST_F(DataFileVerifyTest, ASoundFileGivesNoLineAndStaysByteIdentical) {
    WriteNative(Path(), valid);
    bool result = false;
    EXPECT_EQ(Verify(true, result), Lines{});
    EXPECT_TRUE(result);
    EXPECT_TRUE(ReadNativeFile(Path()) == valid);
    EXPECT_EQ(Verify(false, result), Lines{});
    EXPECT_TRUE(result);
    auto f = NewFile();
    f->OpenFile();
    EXPECT_EQ(CheckCode(*f), 0);
    EXPECT_EQ(f->RecordCount(), 2);
    f->CloseFile();
}

// A free-record pointer inside the file is sound, yet repair drops it: the record pass of the
// repair rebuilds the chain of deleted records.
TEST_F(DataFileVerifyTest, RepairAlwaysStartsTheFreeChainAfresh) {
    Put32(valid, 9, 2);
    WriteNative(Path(), valid);
    bool result = false;
    EXPECT_EQ(Verify(true, result), Lines{});
    EXPECT_TRUE(result);
    EXPECT_EQ(Verify(false, result), Lines{});
    EXPECT_TRUE(result);
    auto f = NewFile();
    f->OpenFile();
    EXPECT_EQ(f->Header.FirstFreeRecord, 0);
    f->CloseFile();
}

}  // namespace
}  // namespace dbengine

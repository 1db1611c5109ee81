#include "dbengine/expr/ExpTreeStream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ExprTable.h"
#include "dbengine/testsupport/TokenCountingTest.h"

namespace dbengine {
namespace {

class TreeStreamTest : public testsupport::TokenCountingTest {
protected:
    TExpToken* Parse(const std::string& text) { return Table.Parse(text, true); }

    testing::ExprTable Table;
};

// Every field the byte form carries, over the whole tree.
void ExpectSameRecords(const TExpToken* a, const TExpToken* b) {
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (a == nullptr) return;
    EXPECT_EQ(a->Text, b->Text);
    EXPECT_EQ(a->Kind, b->Kind);
    EXPECT_EQ(a->Code, b->Code);
    EXPECT_EQ(a->OptimizeLevel, b->OptimizeLevel);
    EXPECT_EQ(a->ColumnName, b->ColumnName);
    EXPECT_EQ(a->FieldNo, b->FieldNo);
    EXPECT_EQ(a->DataSize, b->DataSize);
    if (a->DataSize > 0 && a->DataSize == b->DataSize) {
        EXPECT_EQ(0, std::memcmp(a->Data.get(), b->Data.get(), static_cast<size_t>(a->DataSize)));
    }
    EXPECT_EQ(a->IsNull, b->IsNull);
    EXPECT_EQ(a->CompareLength, b->CompareLength);
    EXPECT_EQ(a->CaseInsensitive, b->CaseInsensitive);
    EXPECT_EQ(a->DataType, b->DataType);
    EXPECT_EQ(a->SubType, b->SubType);
    EXPECT_EQ(a->Scale, b->Scale);
    ASSERT_EQ(a->Arguments.size(), b->Arguments.size());
    ExpectSameRecords(a->Left, b->Left);
    ExpectSameRecords(a->Right, b->Right);
    for (size_t i = 0; i < a->Arguments.size(); ++i) ExpectSameRecords(a->Arguments[i], b->Arguments[i]);
}

TEST_F(TreeStreamTest, ArgumentLayoutRoundTrip) {
    for (const char* text :
         {"Num + 12 > Rate AND Name LIKE 'ab%'", "SUBSTRING(Name FROM 2 FOR 3) = 'x' OR Num IN (1, 2, NULL)",
          "IF(Flag THEN Num ELSE -Qty) BETWEEN 1 AND 3", "COALESCE(Price, 1) > ROUND(Rate TO 2)",
          "TRIM(BOTH '*' FROM Name) IS NULL", "CAST(Num AS CHAR(5)) = REPLACE('a' WITH 'b' IN Name)"}) {
        TExpTreeHolder tree(Parse(text));
        tree->CompareLength = 3;
        tree->CaseInsensitive = true;
        tree->OptimizeLevel = 2;
        std::vector<uint8_t> bytes;
        int32_t size = WriteExpTree(tree.get(), bytes, TExpTreeLayout::Arguments);
        ASSERT_EQ(size, static_cast<int32_t>(bytes.size())) << text;
        TExpToken* read = nullptr;
        EXPECT_EQ(ReadExpTree(bytes.data(), bytes.size(), read), size) << text;
        TExpTreeHolder back(read);
        ExpectSameRecords(tree.get(), back.get());
        std::vector<uint8_t> again;
        WriteExpTree(back.get(), again, TExpTreeLayout::Arguments);
        EXPECT_EQ(again, bytes) << text;

        // Every shorter buffer is refused and gives back what it read.
        for (size_t n = 0; n < bytes.size(); ++n) {
            TExpToken* partial = nullptr;
            EXPECT_EQ(ReadExpTree(bytes.data(), n, partial), 0);
            EXPECT_EQ(partial, nullptr);
        }
    }
    TExpToken* none = nullptr;
    EXPECT_EQ(ReadExpTree(nullptr, 10, none), 0);
    std::vector<uint8_t> empty;
    EXPECT_EQ(WriteExpTree(nullptr, empty, TExpTreeLayout::Arguments), 0);
}

TEST_F(TreeStreamTest, RecordBytes) {
    TExpTreeHolder tree(Parse("Num + 12"));
    TExpToken* constant = tree->Right;
    EXPECT_EQ(SerializedSize(constant, TExpTreeLayout::Arguments), 112);
    EXPECT_EQ(SerializedSize(constant, TExpTreeLayout::Linked), 104);
    std::vector<uint8_t> bytes;
    WriteExpTree(tree.get(), bytes, TExpTreeLayout::Arguments);
    const int32_t rootSize = SerializedSize(tree.get(), TExpTreeLayout::Arguments);
    const int32_t leftSize = SerializedSize(tree->Left, TExpTreeLayout::Arguments);
    EXPECT_EQ(tree->LeftOffset, rootSize);
    EXPECT_EQ(tree->RightOffset, rootSize + leftSize);
    EXPECT_EQ(constant->LeftOffset + constant->RightOffset + constant->ArgumentsOffset, 0);
    // The constant's record, item by item.
    // clang-format off
    const std::vector<uint8_t> expected = {
        2, 0, 0, 0, '1', '2',           // Text
        1, 0, 0, 0, tkConstant,         // Kind
        1, 0, 0, 0, 0,                  // Code
        1, 0, 0, 0, 0,                  // OptimizeLevel
        0, 0, 0, 0,                     // ColumnName
        2, 0, 0, 0, 0, 0,               // FieldNo
        4, 0, 0, 0, 4, 0, 0, 0,         // DataSize
        4, 0, 0, 0, 12, 0, 0, 0,        // value
        1, 0, 0, 0, 0,                  // IsNull
        4, 0, 0, 0, 0, 0, 0, 0,         // CompareLength
        1, 0, 0, 0, 0,                  // CaseInsensitive
        1, 0, 0, 0, fldInteger,         // DataType
        1, 0, 0, 0, 0,                  // SubType
        1, 0, 0, 0, 0,                  // Scale
        4, 0, 0, 0, 0, 0, 0, 0,         // LeftOffset
        4, 0, 0, 0, 0, 0, 0, 0,         // RightOffset
        4, 0, 0, 0, 0, 0, 0, 0,         // argument count
        4, 0, 0, 0, 0, 0, 0, 0,         // ArgumentsOffset
    };
    // clang-format on
    ASSERT_EQ(expected.size(), 112u);
    std::vector<uint8_t> record(bytes.begin() + tree->RightOffset, bytes.begin() + tree->RightOffset + 112);
    EXPECT_EQ(record, expected);
    // The root's record starts at byte 0 with its text "+".
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5),
              (std::vector<uint8_t>{1, 0, 0, 0, '+'}));
}

TEST_F(TreeStreamTest, DamagedLengthsAreRefused) {
    TExpTreeHolder tree(Parse("Num IN (1, 2, 3)"));
    std::vector<uint8_t> bytes;
    WriteExpTree(tree.get(), bytes, TExpTreeLayout::Arguments);
    auto damage = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> damaged = bytes;
        for (int i = 0; i < 4; ++i) damaged[at + i] = static_cast<uint8_t>(v >> (8 * i));
        return damaged;
    };
    // Each 32-bit word of the buffer in turn set to a huge value, or to 1: no read strays.
    for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        for (uint32_t v : {0xFFFFFFFFu, 0x7FFFFFF0u, 1u}) {
            std::vector<uint8_t> damaged = damage(at, v);
            TExpToken* t = nullptr;
            ReadExpTree(damaged.data(), damaged.size(), t);
            FreeExpTree(t);
        }
    }
    // The buffer is one run of items, each a 32-bit length and its bytes, and the reader reads
    // every one: a length that runs past the end, wherever it stands, refuses the whole tree.
    std::vector<size_t> lengths;
    for (size_t at = 0; at + 4 <= bytes.size();) {
        lengths.push_back(at);
        at += 4 + (bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | size_t{bytes[at + 3]} << 24);
    }
    ASSERT_GT(lengths.size(), 20u);
    for (size_t at : lengths) {
        for (uint32_t v : {0xFFFFFFFFu, 0x7FFFFFF0u, static_cast<uint32_t>(bytes.size())}) {
            std::vector<uint8_t> damaged = damage(at, v);
            TExpToken* t = nullptr;
            EXPECT_EQ(ReadExpTree(damaged.data(), damaged.size(), t), 0)
                << "length at " << at << " set to " << v;
            EXPECT_EQ(t, nullptr);
            FreeExpTree(t);
        }
    }
}

TEST_F(TreeStreamTest, LinkedLayout) {
    TExpTreeHolder in(Parse("Num IN (1, 2, 3)"));
    TExpToken* a0 = in->Arguments[0];
    TExpToken* a1 = in->Arguments[1];
    TExpToken* a2 = in->Arguments[2];
    TExpToken* a3 = in->Arguments[3];
    ASSERT_TRUE(ConvertToLinkedLayout(in.get()));
    EXPECT_TRUE(in->Arguments.empty());
    EXPECT_EQ(in->Left, a0);
    EXPECT_EQ(in->Right, a1);
    EXPECT_EQ(a1->Right, a2);
    EXPECT_EQ(a2->Right, a3);
    EXPECT_EQ(a3->Right, nullptr);
    std::vector<uint8_t> bytes;
    int32_t size = WriteExpTree(in.get(), bytes, TExpTreeLayout::Linked);
    int32_t sum = 0;
    for (const TExpToken* t : {in.get(), a0, a1, a2, a3}) sum += SerializedSize(t, TExpTreeLayout::Linked);
    EXPECT_EQ(size, sum);

    TExpTreeHolder branch(Parse("IF(Flag THEN Num ELSE 2) = 1"));
    TExpToken* call = branch->Left;
    TExpToken* third = call->Arguments[2];
    ASSERT_TRUE(ConvertToLinkedLayout(branch.get()));
    EXPECT_EQ(call->Third, third);
    WriteExpTree(branch.get(), bytes, TExpTreeLayout::Linked);
    EXPECT_EQ(call->ThirdOffset, call->RightOffset + SerializedSize(call->Right, TExpTreeLayout::Linked));

    TExpTreeHolder substring(Parse("SUBSTRING(Name FROM 2 FOR 3) = 'b'"));
    TExpToken* s = substring->Left;
    TExpToken* from = s->Arguments[1];
    TExpToken* count = s->Arguments[2];
    ASSERT_TRUE(ConvertToLinkedLayout(substring.get()));
    EXPECT_EQ(s->Right, from);
    EXPECT_EQ(from->Right, count);

    // A list value with a right operand of its own cannot be chained: refused, tree unchanged.
    TExpTreeHolder busy(Parse("Num IN (1 + 2, 3)"));
    EXPECT_FALSE(ConvertToLinkedLayout(busy.get()));
    EXPECT_EQ(busy->ArgumentCount(), 3);
}

TEST_F(TreeStreamTest, KeptFuzzInputs) {
    // Inputs the reader once mishandled, kept from fuzzing.
    const std::string dir = std::string(KORVANE_TESTDATA_DIR) + "/expr-tree-fuzz";
    std::ifstream list(dir + "/inputs.txt");
    ASSERT_TRUE(list) << "cannot read " << dir << "/inputs.txt";
    std::string name;
    int count = 0;
    while (std::getline(list, name)) {
        if (name.empty()) continue;
        std::ifstream in(dir + "/" + name, std::ios::binary);
        ASSERT_TRUE(in) << "cannot read " << dir << "/" << name;
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        TExpToken* t = nullptr;
        ReadExpTree(bytes.data(), bytes.size(), t);
        TExpTreeHolder tree(t);
        // As the fuzz target does: a copy converted for the linked layout and written.
        TExpTreeHolder linked(CopyExpTree(tree.get()));
        std::vector<uint8_t> out;
        if (ConvertToLinkedLayout(linked.get())) WriteExpTree(linked.get(), out, TExpTreeLayout::Linked);
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace dbengine

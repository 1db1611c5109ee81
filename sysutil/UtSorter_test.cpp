#include "sysutil/UtSorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/testsupport/ChildProcess.h"
#include "sysutil/UtConst.h"

namespace sysutil {
namespace {

int32_t CompareWord(const void* a, const void* b) {
    uint16_t x, y;
    std::memcpy(&x, a, 2);
    std::memcpy(&y, b, 2);
    return x < y ? -1 : x > y ? 1 : 0;
}

// 8-byte records: a 32-bit key and a 32-bit tag that the order ignores.
struct TRec {
    uint32_t Key;
    uint32_t Tag;
};

int32_t CompareKey(const void* a, const void* b) {
    uint32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

int32_t CompareOther(const void* a, const void* b) {
    return -CompareKey(a, b);
}

// Contradicts itself: the answer depends on nothing but a counter.
int32_t CompareErratic(const void*, const void*) {
    static uint32_t n = 0;
    n = n * 1103515245u + 12345u;
    return static_cast<int32_t>((n >> 16) % 3) - 1;
}

bool Exists(const std::string& name) {
    return platform::GetFileAttributes(name) != platform::INVALID_FILE_ATTRIBUTES;
}

template <typename F>
int32_t CodeOf(F f) {
    try {
        f();
    } catch (const EUtSortError& e) {
        return e.ErrorCode;
    }
    return 0;
}

std::vector<TRec> SortAll(TUtSorter& s, const std::vector<TRec>& input) {
    for (const TRec& r : input) s.Put(&r);
    std::vector<TRec> out;
    TRec r{};
    while (s.Get(&r)) out.push_back(r);
    EXPECT_FALSE(s.Get(&r));
    return out;
}

void ExpectSortedPermutation(std::vector<TRec> input, const std::vector<TRec>& output) {
    ASSERT_EQ(output.size(), input.size());
    for (size_t i = 1; i < output.size(); ++i) ASSERT_LE(output[i - 1].Key, output[i].Key) << i;
    auto byBoth = [](const TRec& a, const TRec& b) { return a.Key != b.Key ? a.Key < b.Key : a.Tag < b.Tag; };
    std::vector<TRec> got = output;
    std::sort(input.begin(), input.end(), byBoth);
    std::sort(got.begin(), got.end(), byBoth);
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i].Key == input[i].Key && got[i].Tag == input[i].Tag);
}

TEST(UtSorter, SizesAndCreation) {
    EXPECT_EQ(SortBufferSize(2, 3), 16);
    EXPECT_EQ(SortBufferSize(2, 10000), 20004);
    EXPECT_EQ(SortBufferSize(1, -5), 8);
    EXPECT_EQ(CodeOf([] { SortBufferSize(2, 2147483647); }), 53);
    EXPECT_EQ(CodeOf([] { SortBufferSize(4, 600000000); }), 53);

    try {
        TUtSorter s(5, 1);
        FAIL();
    } catch (const EUtSortError& e) {
        EXPECT_EQ(e.ErrorCode, 53);
        EXPECT_STREQ(e.what(), "Bad size parameter");
    }
    EXPECT_EQ(CodeOf([] { TUtSorter s(100, 0); }), 53);
    EXPECT_EQ(CodeOf([] { TUtSorter s(0, 1); }), 53);
    EXPECT_EQ(CodeOf([] { TUtSorter s(-1, 1); }), 53);
    TUtSorter s(6, 1);
    EXPECT_EQ(s.RunCapacity(), 4);
    TUtSorter t(SortBufferSize(2, 10000), 2);
    EXPECT_EQ(t.RunCapacity(), 10000);
}

TEST(UtSorter, StateAndCompareRules) {
    TUtSorter s(SortBufferSize(8, 10), 8);
    TRec r{};
    EXPECT_FALSE(s.Get(&r));  // nothing put
    s.SetCompare(nullptr);    // nil again is the same function
    s.SetCompare(CompareKey);
    EXPECT_EQ(CodeOf([&] { s.SetCompare(nullptr); }), 63);
    s.SetCompare(CompareOther);
    r = {5, 0};
    s.Put(&r);
    EXPECT_EQ(CodeOf([&] { s.SetCompare(CompareKey); }), 63);
    EXPECT_EQ(CodeOf([&] { s.SetCompare(nullptr); }), 63);
    s.SetCompare(CompareOther);  // the same again
    ASSERT_TRUE(s.Get(&r));
    EXPECT_EQ(r.Key, 5u);
    try {
        s.Put(&r);
        FAIL();
    } catch (const EUtSortError& e) {
        EXPECT_EQ(e.ErrorCode, 76);
        EXPECT_STREQ(e.what(), "TUtSorter in wrong state");
    }
    EXPECT_FALSE(s.Get(&r));
    EXPECT_FALSE(s.Get(&r));

    TUtSorter none(SortBufferSize(8, 10), 8);
    none.Put(&r);
    EXPECT_EQ(CodeOf([&] { none.Get(&r); }), 51);
    TUtSorter spill(SortBufferSize(8, 4), 8);
    for (int i = 0; i < 6; ++i) spill.Put(&r);  // the count is raised to 6
    EXPECT_EQ(CodeOf([&] { spill.Put(&r); }), 51);
}

TEST(UtSorter, RunCapacityStaysInMemoryAndOneMoreSpillsTwoFiles) {
    const int cap = 50;
    TUtSorter s(SortBufferSize(2, cap), 2);
    s.SetCompare(CompareWord);
    for (uint16_t i = cap; i > 0; --i) s.Put(&i);
    uint16_t w = 0;
    ASSERT_TRUE(s.Get(&w));
    EXPECT_EQ(w, 1);
    EXPECT_EQ(s.FilesCreated(), 0);
    EXPECT_TRUE(s.MergeFolder().empty());

    TUtSorter t(SortBufferSize(2, cap), 2);
    t.SetCompare(CompareWord);
    for (uint16_t i = cap + 1; i > 0; --i) t.Put(&i);
    ASSERT_EQ(t.FilesCreated(), 1);
    const std::string folder = t.MergeFolder();
    EXPECT_EQ(t.MergeFileName(1), folder + "SOR1.TMP");
    EXPECT_TRUE(Exists(t.MergeFileName(1)));
    std::vector<uint16_t> out;
    while (t.Get(&w)) out.push_back(w);
    EXPECT_EQ(t.FilesCreated(), 2);
    ASSERT_EQ(out.size(), size_t{cap + 1});
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], i + 1);
    EXPECT_FALSE(Exists(t.MergeFileName(1)));
    EXPECT_FALSE(Exists(t.MergeFileName(2)));
}

TEST(UtSorter, SevenFilesReduceOldestFiveIntoFileEight) {
    TUtSorter s(SortBufferSize(2, 10000), 2);
    s.SetCompare(CompareWord);
    std::mt19937 rnd(7);
    std::vector<uint16_t> input(65000);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint16_t>(i);
    std::shuffle(input.begin(), input.end(), rnd);
    for (uint16_t v : input) s.Put(&v);
    EXPECT_EQ(s.FilesCreated(), 6);
    uint16_t w = 0;
    ASSERT_TRUE(s.Get(&w));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(s.FilesCreated(), 8);
    for (int n = 1; n <= 5; ++n) EXPECT_FALSE(Exists(s.MergeFileName(n))) << n;
    for (int n = 6; n <= 8; ++n) EXPECT_TRUE(Exists(s.MergeFileName(n))) << n;
    std::vector<uint16_t> out{w};
    while (s.Get(&w)) out.push_back(w);
    std::sort(input.begin(), input.end());
    EXPECT_EQ(out, input);
    const std::string folder = s.MergeFolder();
    EXPECT_TRUE(Exists(folder));
}

TEST(UtSorter, OutputEqualsStdSortForEveryShape) {
    struct TCase {
        const char* Name;
        size_t Count;
        int32_t RunRecords;
    };
    // Run sizes from one run in memory to dozens of files merged over several rounds.
    const TCase cases[] = {{"small", 7, 100},
                           {"one run", 5000, 5000},
                           {"two runs", 5001, 5000},
                           {"several rounds", 40000, 700},
                           {"tiny runs", 600, 4}};
    for (const TCase& c : cases) {
        for (int shape = 0; shape < 4; ++shape) {
            SCOPED_TRACE(std::string(c.Name) + " shape " + std::to_string(shape));
            std::mt19937 rnd(static_cast<uint32_t>(c.Count + shape));
            std::vector<TRec> input(c.Count);
            for (size_t i = 0; i < input.size(); ++i) {
                const uint32_t key = shape == 0   ? static_cast<uint32_t>(rnd() % 1000)
                                     : shape == 1 ? 42u
                                     : shape == 2 ? static_cast<uint32_t>(i)
                                                  : static_cast<uint32_t>(c.Count - i);
                input[i] = {key, static_cast<uint32_t>(i)};
            }
            TUtSorter s(SortBufferSize(8, c.RunRecords), 8);
            s.SetCompare(CompareKey);
            ExpectSortedPermutation(input, SortAll(s, input));
        }
    }
}

TEST(UtSorter, SelfContradictingCompareStaysInsideTheRun) {
    std::vector<TRec> input(3000);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = {static_cast<uint32_t>(i % 17), static_cast<uint32_t>(i)};
    for (int32_t run : {3000, 500}) {
        TUtSorter s(SortBufferSize(8, run), 8);
        s.SetCompare(CompareErratic);
        std::vector<TRec> out = SortAll(s, input);
        // Any order, but every record exactly once.
        ASSERT_EQ(out.size(), input.size());
        std::vector<uint32_t> tags;
        for (const TRec& r : out) tags.push_back(r.Tag);
        std::sort(tags.begin(), tags.end());
        for (size_t i = 0; i < tags.size(); ++i) ASSERT_EQ(tags[i], i);
    }
}

// Fails the operation that `when` picks on the merge files; checks the code and that destruction
// leaves neither a file nor the folder.
TEST(UtSorter, InjectedFailuresRaiseTheirCodeAndLeaveNothing) {
    struct TCase {
        const char* Name;
        platform::TFileOperation Operation;
        int Occurrence;  // 1-based count of that operation on SOR1.TMP
        int64_t Limit;   // -1: fail with an error; else a short transfer
        int32_t Code;
    };
    const TCase cases[] = {
        {"create", platform::TFileOperation::Open, 1, -1, 72},
        {"open", platform::TFileOperation::Open, 2, -1, 73},
        {"write", platform::TFileOperation::Write, 1, -1, 74},
        {"short write", platform::TFileOperation::Write, 1, 10, 74},
        {"read", platform::TFileOperation::Read, 1, -1, 75},
        {"partial record", platform::TFileOperation::Read, 1, 13, 75},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string folder;
        int32_t code = 0;
        {
            int seen = 0;
            platform::TScopedFileFault fault(
                [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                    platform::TFileFault f;
                    if (op == c.Operation && path.size() >= 8 &&
                        path.compare(path.size() - 8, 8, "SOR1.TMP") == 0 && ++seen == c.Occurrence) {
                        if (c.Limit < 0)
                            f.Error = 5;
                        else
                            f.Limit = c.Limit;
                    }
                    return f;
                });
            TUtSorter s(SortBufferSize(8, 10), 8);
            s.SetCompare(CompareKey);
            code = CodeOf([&] {
                for (uint32_t i = 0; i < 35; ++i) {
                    TRec r{35 - i, i};
                    s.Put(&r);
                }
                TRec r{};
                while (s.Get(&r)) {
                }
            });
            folder = s.MergeFolder();
        }
        EXPECT_EQ(code, c.Code);
        EXPECT_STREQ(UtMessageText(code).c_str(), UtMessageText(c.Code).c_str());
        ASSERT_FALSE(folder.empty());
        EXPECT_FALSE(Exists(folder));
    }
}

TEST(UtSorter, DestructionMidwayRemovesFilesAndFolder) {
    std::string folder;
    {
        TUtSorter s(SortBufferSize(8, 10), 8);
        s.SetCompare(CompareKey);
        for (uint32_t i = 0; i < 100; ++i) {
            TRec r{i * 7919 % 100, i};
            s.Put(&r);
        }
        TRec r{};
        ASSERT_TRUE(s.Get(&r));
        folder = s.MergeFolder();
        EXPECT_TRUE(Exists(folder));
    }
    EXPECT_FALSE(Exists(folder));
}

TEST(UtSorter, ThreadsFeedOneSorter) {
    TUtSorter s(SortBufferSize(8, 500), 8);
    s.SetCompare(CompareKey);
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 4; ++t)
        threads.emplace_back([&s, t] {
            for (uint32_t i = 0; i < 3000; ++i) {
                TRec r{(i * 7919u) % 1000u, t * 3000u + i};
                s.Put(&r);
            }
        });
    for (auto& t : threads) t.join();
    std::vector<TRec> out;
    TRec r{};
    while (s.Get(&r)) out.push_back(r);
    std::vector<TRec> expected;
    for (uint32_t t = 0; t < 4; ++t)
        for (uint32_t i = 0; i < 3000; ++i) expected.push_back({(i * 7919u) % 1000u, t * 3000u + i});
    ExpectSortedPermutation(expected, out);
}

std::vector<TRec> Shuffled(size_t n, uint32_t seed) {
    std::vector<TRec> v(n);
    std::mt19937 rnd(seed);
    for (size_t i = 0; i < n; ++i) v[i] = {static_cast<uint32_t>(rnd() % 5000), static_cast<uint32_t>(i)};
    return v;
}

TEST(UtSorter, TwoSortersAtOnceKeepToTheirOwnFiles) {
    const std::vector<TRec> a = Shuffled(20000, 1), b = Shuffled(20000, 2);
    std::vector<TRec> outA, outB;
    std::string folderA, folderB;
    std::thread other([&] {
        TUtSorter s(SortBufferSize(8, 300), 8);
        s.SetCompare(CompareKey);
        for (const TRec& r : b) s.Put(&r);
        folderB = s.MergeFolder();
        TRec r{};
        while (s.Get(&r)) outB.push_back(r);
    });
    {
        TUtSorter s(SortBufferSize(8, 300), 8);
        s.SetCompare(CompareKey);
        for (const TRec& r : a) s.Put(&r);
        folderA = s.MergeFolder();
        TRec r{};
        while (s.Get(&r)) outA.push_back(r);
    }
    other.join();
    EXPECT_NE(folderA, folderB);
    ExpectSortedPermutation(a, outA);
    ExpectSortedPermutation(b, outB);

    // The same in two processes: the child's result is 0 when its output was right.
    platform::testsupport::TChildProcess child([&] {
        TUtSorter s(SortBufferSize(8, 300), 8);
        s.SetCompare(CompareKey);
        for (const TRec& r : b) s.Put(&r);
        std::vector<TRec> out;
        TRec r{};
        while (s.Get(&r)) out.push_back(r);
        if (out.size() != b.size()) return 1;
        for (size_t i = 1; i < out.size(); ++i)
            if (out[i - 1].Key > out[i].Key) return 2;
        return 0;
    });
    ASSERT_TRUE(child.Started());
    TUtSorter s(SortBufferSize(8, 300), 8);
    s.SetCompare(CompareKey);
    ExpectSortedPermutation(a, SortAll(s, a));
    EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
}  // namespace sysutil

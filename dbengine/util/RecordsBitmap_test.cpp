#include "dbengine/util/RecordsBitmap.h"
#include "dbengine/testsupport/EngineRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace dbengine {
namespace {

TEST(RecordsBitmapTest, SizesAndCounts) {
    TRecordsBitmap b;
    b.SetSize(33);
    EXPECT_EQ(b.WordCount, 2u);
    EXPECT_EQ(b.RoundedSize, 64u);
    EXPECT_EQ(b.Capacity, 256u);
    b.SetAll();
    EXPECT_EQ(b.Count(), 33u);
    EXPECT_EQ(b.CountBefore(1), 0u);
    EXPECT_EQ(b.CountBefore(34), b.Count());
    EXPECT_EQ(b.CountBefore(33), 32u);
    EXPECT_FALSE(b.Test(0));
    EXPECT_FALSE(b.Test(34));
    b.SetSize(2049);
    EXPECT_EQ(b.Capacity, 512u);
    // Bits past the old size were never set: growing brings back nothing.
    EXPECT_EQ(b.Count(), 33u);
    b.SetSize(10);
    EXPECT_EQ(b.Count(), 10u);
    b.SetSize(40);
    EXPECT_EQ(b.Count(), 10u);
    b.Invert();
    EXPECT_EQ(b.Count(), 30u);
    b.SetSize(64);
    EXPECT_EQ(b.Count(), 30u);
    b.SetSize(0);
    EXPECT_EQ(b.Capacity, 0u);
    EXPECT_EQ(b.Count(), 0u);
    int32_t r = 0, seq = 0;
    EXPECT_FALSE(b.StepForward(r, 1, seq));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(seq, 0);
}

TEST(RecordsBitmapTest, StepsAtTheEdges) {
    TRecordsBitmap b;
    b.SetSize(100);
    for (int r : {3, 40, 41, 100}) b.SetBit(r);
    int32_t r = 100, seq = 7;
    EXPECT_FALSE(b.StepForward(r, 1, seq));  // from Size: nothing above
    EXPECT_EQ(r, 100);
    EXPECT_EQ(seq, 7);
    r = 0;
    seq = 0;
    EXPECT_TRUE(b.StepForward(r, 1, seq));
    EXPECT_EQ(r, 3);
    EXPECT_TRUE(b.StepForward(r, 2, seq));
    EXPECT_EQ(r, 41);
    EXPECT_EQ(seq, 3);
    EXPECT_FALSE(b.StepForward(r, 5, seq));
    EXPECT_EQ(r, 100);
    EXPECT_EQ(seq, 4);
    // Back: more asked than lie below ends on the lowest set record.
    r = 41;
    seq = 10;
    EXPECT_FALSE(b.StepBack(r, 5, seq));
    EXPECT_EQ(r, 3);
    EXPECT_EQ(seq, 8);
    EXPECT_FALSE(b.StepBack(r, 1, seq));
    EXPECT_EQ(r, 3);
    r = 1;
    EXPECT_FALSE(b.StepBack(r, 1, seq));
    r = 101;  // just past the end
    EXPECT_TRUE(b.StepBack(r, 1, seq));
    EXPECT_EQ(r, 100);
}

// Every operation against a plain model on random data.
TEST(RecordsBitmapTest, AgreesWithAPlainModel) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        uint32_t size = rng() % 300;
        TRecordsBitmap a, b;
        a.SetSize(size);
        b.SetSize(size);
        std::vector<bool> ma(size + 1), mb(size + 1);
        for (uint32_t i = 0; i < size / 2; ++i) {
            int r = static_cast<int>(rng() % (size + 1));
            a.SetBit(r);
            if (r > 0) ma[r] = true;
            int s = static_cast<int>(rng() % (size + 1));
            b.SetBit(s);
            if (s > 0) mb[s] = true;
        }
        switch (rng() % 4) {
            case 0:
                a.AndWith(b);
                for (uint32_t r = 1; r <= size; ++r) ma[r] = ma[r] && mb[r];
                break;
            case 1:
                a.OrWith(b);
                for (uint32_t r = 1; r <= size; ++r) ma[r] = ma[r] || mb[r];
                break;
            case 2:
                a.Invert();
                for (uint32_t r = 1; r <= size; ++r) ma[r] = !ma[r];
                break;
            default:
                a.ClearBit(static_cast<int>(size));
                if (size > 0) ma[size] = false;
                break;
        }
        uint32_t count = 0;
        for (uint32_t r = 1; r <= size; ++r) {
            ASSERT_EQ(a.Test(r), ma[r]) << round << " " << r;
            ASSERT_EQ(a.CountBefore(r), count);
            count += ma[r];
        }
        ASSERT_EQ(a.Count(), count);
        // Walking forward one by one visits the set records in order.
        int32_t r = 0, seq = 0;
        uint32_t visited = 0;
        while (a.StepForward(r, 1, seq)) {
            ASSERT_TRUE(ma[r]);
            ++visited;
        }
        ASSERT_EQ(visited, count);
        ASSERT_EQ(seq, static_cast<int32_t>(count));
        int32_t back = static_cast<int32_t>(size) + 1;
        while (a.StepBack(back, 1, seq)) ASSERT_TRUE(ma[back]);
        ASSERT_EQ(seq, 0);
        TRecordsBitmap c;
        c.Assign(a);
        ASSERT_EQ(c.Count(), count);
    }
}

// The count is kept between calls: asked after every kind of change, it must follow each one.
TEST(RecordsBitmapTest, CountFollowsEveryChangeAskedInBetween) {
    std::mt19937 rng(11);
    TRecordsBitmap a, other;
    std::vector<bool> model(1);
    auto resize = [&](uint32_t size) {
        a.SetSize(size);
        model.resize(size + 1, false);
    };
    resize(100);
    other.SetSize(150);
    for (int r = 1; r <= 150; r += 3) other.SetBit(r);
    for (int step = 0; step < 3000; ++step) {
        uint32_t size = a.Size;
        int r = static_cast<int>(rng() % (size + 2));
        switch (rng() % 9) {
            case 0:
            case 1:
                a.SetBit(r);
                if (r >= 1 && r <= static_cast<int>(size)) model[r] = true;
                break;
            case 2:
            case 3:
                a.ClearBit(r);
                if (r >= 1 && r <= static_cast<int>(size)) model[r] = false;
                break;
            case 4:
                resize(rng() % 200);
                break;
            case 5:
                a.Invert();
                for (uint32_t i = 1; i <= size; ++i) model[i] = !model[i];
                break;
            case 6:
                if (rng() % 2 == 0) {
                    a.AndWith(other);
                    for (uint32_t i = 1; i <= size; ++i) model[i] = model[i] && other.Test(i);
                } else {
                    a.OrWith(other);
                    for (uint32_t i = 1; i <= size; ++i) model[i] = model[i] || other.Test(i);
                }
                break;
            case 7:
                if (rng() % 2 == 0) {
                    a.ClearAll();
                    std::fill(model.begin(), model.end(), false);
                } else {
                    a.SetAll();
                    std::fill(model.begin() + 1, model.end(), true);
                }
                break;
            default: {
                TRecordsBitmap copy;
                copy.Assign(other);
                ASSERT_EQ(copy.Count(), other.Count());
                a.Assign(copy);
                model.assign(other.Size + 1, false);
                for (uint32_t i = 1; i <= other.Size; ++i) model[i] = other.Test(i);
                break;
            }
        }
        uint32_t expected = static_cast<uint32_t>(std::count(model.begin() + 1, model.end(), true));
        ASSERT_EQ(a.Count(), expected) << "step " << step;
        ASSERT_EQ(a.Count(), expected) << "step " << step << ", asked again";
    }
}

TEST(RecordsBitmapTest, PoolKeepsSixtyFourIdleBitmaps) {
    InitializeEngine();
    TRecordsBitmapStack* pool = RecordsBitmapPool();
    ASSERT_NE(pool, nullptr);
    pool->Clear();
    std::vector<std::unique_ptr<TRecordsBitmap>> taken;
    for (int i = 0; i < 65; ++i) taken.push_back(GetRecordsBitmap());
    taken[0]->SetSize(500);
    taken[0]->SetAll();
    for (auto& b : taken) ReleaseRecordsBitmap(b);
    EXPECT_EQ(pool->IdleCount(), 64u);
    for (auto& b : taken) EXPECT_EQ(b, nullptr);
    // The first one released comes back last, cleared but keeping its size.
    std::unique_ptr<TRecordsBitmap> reused;
    for (int i = 0; i < 64; ++i) reused = GetRecordsBitmap();
    EXPECT_EQ(reused->Size, 500u);
    EXPECT_EQ(reused->Count(), 0u);
    EXPECT_EQ(pool->IdleCount(), 0u);
    auto fresh = GetRecordsBitmap();
    EXPECT_EQ(fresh->Size, 0u);
    std::unique_ptr<TRecordsBitmap> none;
    ReleaseRecordsBitmap(none);
    FinalizeEngine();
}

}  // namespace
}  // namespace dbengine

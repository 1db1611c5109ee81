#include "dbengine/data/RecordSlots.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace dbengine {
namespace {

// Inserts and removals in every order against a plain map: each number finds its record until
// it is removed, also after removals moved other members of its probe run.
TEST(RecordSlotsTest, AgreesWithAPlainMap) {
    std::mt19937 rng(5);
    for (int32_t spread : {40, 1000, 2000000000}) {
        SCOPED_TRACE(spread);
        TRecordSlots slots;
        std::map<int32_t, TRecord*> model;
        for (int step = 0; step < 20000; ++step) {
            int32_t n = static_cast<int32_t>(rng() % static_cast<uint32_t>(spread)) + 1;
            auto at = model.find(n);
            if (at == model.end() && rng() % 3 != 0) {
                auto r = std::make_unique<TRecord>(nullptr);
                r->RecordNo = n;
                model[n] = r.get();
                slots.Insert(std::move(r));
            } else if (at != model.end()) {
                std::unique_ptr<TRecord> owned = slots.Remove(at->second);
                ASSERT_EQ(owned.get(), at->second);
                model.erase(at);
            }
            ASSERT_EQ(slots.size(), model.size());
            if (step % 97 == 0) {
                for (const auto& [number, record] : model) ASSERT_EQ(slots.Find(number), record) << number;
            }
            ASSERT_EQ(slots.Find(n), model.count(n) != 0 ? model[n] : nullptr);
        }
        size_t seen = 0;
        slots.ForEach([&](TRecord* r) {
            ASSERT_EQ(model.at(r->RecordNo), r);
            ++seen;
        });
        EXPECT_EQ(seen, model.size());
        size_t taken = 0;
        slots.Clear([&](std::unique_ptr<TRecord>& r) {
            EXPECT_EQ(model.at(r->RecordNo), r.get());
            ++taken;
        });
        EXPECT_EQ(taken, model.size());
        EXPECT_TRUE(slots.empty());
        EXPECT_EQ(slots.Find(model.empty() ? 1 : model.begin()->first), nullptr);
    }
}

TEST(RecordSlotsTest, RemovesOnlyTheRecordFiledUnderItsNumber) {
    TRecordSlots slots;
    auto held = std::make_unique<TRecord>(nullptr);
    held->RecordNo = 7;
    TRecord* raw = held.get();
    slots.Insert(std::move(held));
    TRecord stranger(nullptr);
    stranger.RecordNo = 7;
    EXPECT_EQ(slots.Remove(&stranger), nullptr);
    stranger.RecordNo = 8;
    EXPECT_EQ(slots.Remove(&stranger), nullptr);
    EXPECT_EQ(slots.Find(7), raw);
    EXPECT_EQ(slots.Remove(raw).get(), raw);
    EXPECT_EQ(slots.Find(7), nullptr);
}

}  // namespace
}  // namespace dbengine

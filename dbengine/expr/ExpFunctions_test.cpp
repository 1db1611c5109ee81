#include "dbengine/expr/ExpFunctions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dbengine/expr/ExpToken.h"

namespace dbengine {
namespace {

TEST(ExpFunctionsTest, EachCodeOnceAndFoundByItsCode) {
    std::set<uint8_t> codes;
    std::set<std::string> keywords;
    for (const TExpFunction& f : ExpFunctions()) {
        EXPECT_TRUE(codes.insert(f.Code).second) << "code " << int(f.Code) << " twice";
        EXPECT_EQ(ExpFunctionOf(f.Code), &f) << f.Keyword;
        // A keyword names one function, unless a second keyword picks the variant.
        std::string name =
            std::string(f.Keyword) + (f.Variant != nullptr ? std::string(" ") + f.Variant : "");
        EXPECT_TRUE(keywords.insert(name).second) << name;
        EXPECT_EQ(f.Syntax == TExpArgumentSyntax::Aggregate, AggregateCode(f.Keyword) == f.Code) << f.Keyword;
    }
    EXPECT_EQ(codes.size(), 35u);
    for (uint8_t notAFunction : {ecEqual, ecAnd, ecAdd, ecLike, ecIn, ecBetween, uint8_t{0}, uint8_t{255}})
        EXPECT_EQ(ExpFunctionOf(notAFunction), nullptr) << int(notAFunction);
}

}  // namespace
}  // namespace dbengine

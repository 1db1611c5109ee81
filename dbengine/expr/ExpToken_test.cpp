#include "dbengine/expr/ExpToken.h"

#include <gtest/gtest.h>

#include <vector>

#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/TokenCountingTest.h"

namespace dbengine {
namespace {

class ExpTokenTest : public testsupport::TokenCountingTest {
protected:
    TExpToken* Parse(const char* text, uint8_t flags = AllowPredicates | AllowAggregates) {
        TExpressionParser parser;
        parser.ContextText = "filter expression";
        parser.SetExpression(text);
        parser.NextToken();
        return parser.ParseExpression(flags);
    }
};

TEST_F(ExpTokenTest, PoolRecyclesClearedTokensAndKeepsAtMost256) {
    TExpToken* big = NewExpToken();
    big->SetDataSize(1000);
    big->EstimatedCount = 7;
    big->Text = "x";
    ReleaseExpToken(big);
    EXPECT_EQ(big, nullptr);
    TExpToken* again = NewExpToken();
    EXPECT_EQ(again->Capacity, 256);
    EXPECT_EQ(again->DataSize, 0);
    EXPECT_EQ(again->EstimatedCount, -1);
    EXPECT_EQ(again->EstimatedCost, -1);
    EXPECT_TRUE(again->Text.empty());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(again->Data[size_t(i)], 0);
    ReleaseExpToken(again);

    std::vector<TExpToken*> many;
    for (int i = 0; i < 300; ++i) many.push_back(NewExpToken());
    for (auto& t : many) ReleaseExpToken(t);
    EXPECT_EQ(ExpTokenPool()->IdleCount(), ExpTokenPoolCapacity);
}

TEST_F(ExpTokenTest, CapacityAndArguments) {
    TExpTreeHolder t(NewExpToken());
    t->Data[0] = 0x5A;
    t->SetDataSize(300);
    EXPECT_EQ(t->Capacity, 512);
    EXPECT_EQ(t->Data[0], 0x5A);
    EXPECT_EQ(t->Data[400], 0);
    t->SetDataSize(10);
    EXPECT_EQ(t->Capacity, 512);
    EXPECT_EQ(t->DataSize, 10);
    t->SetCapacity(0);
    EXPECT_EQ(t->Capacity, 0);

    t->SetArgument(0, NewExpToken());
    t->SetArgument(3, NewExpToken());
    EXPECT_EQ(t->ArgumentCount(), 4);
    EXPECT_EQ(t->GetArgument(1), nullptr);
    EXPECT_EQ(t->GetArgument(2), nullptr);
    EXPECT_EQ(t->GetArgument(4), nullptr);
    EXPECT_NE(t->GetArgument(3), nullptr);
}

TEST_F(ExpTokenTest, CopyAndCompareTrees) {
    TExpTreeHolder a(Parse("a = 1"));
    TExpTreeHolder a2(Parse("A = 1"));
    TExpTreeHolder b(Parse("a = 2"));
    EXPECT_TRUE(SameExpTree(a.get(), a2.get()));
    EXPECT_FALSE(SameExpTree(a.get(), b.get()));
    TExpTreeHolder copy(CopyExpTree(a.get()));
    EXPECT_TRUE(SameExpTree(a.get(), copy.get()));
    EXPECT_NE(copy->Left, a->Left);  // deep, not shared
    TExpTreeHolder f2(Parse("COALESCE(a, b)"));
    TExpTreeHolder f3(Parse("COALESCE(a, b, c)"));
    EXPECT_FALSE(SameExpTree(f2.get(), f3.get()));
    TExpTreeHolder s1(Parse("SUM(a)"));
    TExpTreeHolder s2(Parse("sum(A)"));
    EXPECT_TRUE(SameExpTree(s1.get(), s2.get()));
    EXPECT_TRUE(SameExpTree(nullptr, nullptr));
    EXPECT_FALSE(SameExpTree(a.get(), nullptr));
}

TEST_F(ExpTokenTest, FreeingAnyDepthNeedsNoRecursion) {
    TExpToken* root = nullptr;
    for (int i = 0; i < 100000; ++i) {
        TExpToken* node = NewExpToken();
        node->Kind = tkUnary;
        node->Left = root;
        if (i % 3 == 0) node->SetArgument(2, NewExpToken());
        root = node;
    }
    EXPECT_EQ(ExpTreeDepth(root), 100001);  // the argument of the lowest node adds one
    FreeExpTree(root);
    EXPECT_EQ(root, nullptr);
}

TEST_F(ExpTokenTest, TreeQueries) {
    TExpTreeHolder t(Parse("1 + UPPER(x) = 'A' OR NOT (b AND c)"));
    EXPECT_TRUE(ExpTreeHasColumn(t.get()));
    EXPECT_FALSE(ExpTreeHasAggregate(t.get()));
    EXPECT_EQ(FindColumnInExpTree(t.get())->ColumnName, "x");
    EXPECT_TRUE(ExpTreeIsDisjunction(t.get()));
    TExpTreeHolder constant(Parse("1 + 2"));
    EXPECT_FALSE(ExpTreeHasColumn(constant.get()));
    TExpTreeHolder agg(Parse("1 + MAX(x)"));
    EXPECT_TRUE(ExpTreeHasAggregate(agg.get()));
    TExpTreeHolder negated(Parse("NOT (a OR b)"));
    EXPECT_FALSE(ExpTreeIsDisjunction(negated.get()));

    EXPECT_EQ(AggregateCode("sum"), 23);
    EXPECT_EQ(AggregateCode("Avg"), 28);
    EXPECT_EQ(AggregateCode("TOTAL"), 0);

    // ExpTreeIsNot walks up through binary operators to the nearest other ancestor.
    TExpTreeHolder notNode(NewExpToken());
    notNode->Kind = tkUnary;
    notNode->Code = ecNot;
    TExpToken* orNode = NewExpToken();
    orNode->Kind = tkBinary;
    orNode->Code = ecOr;
    orNode->Parent = notNode.get();
    notNode->Left = orNode;
    TExpToken* andNode = NewExpToken();
    andNode->Kind = tkBinary;
    andNode->Code = ecAnd;
    andNode->Parent = orNode;
    orNode->Left = andNode;
    TExpToken* column = NewExpToken();
    column->Kind = tkColumn;
    column->Parent = andNode;
    andNode->Left = column;
    EXPECT_TRUE(ExpTreeIsNot(andNode));
    EXPECT_TRUE(ExpTreeIsNot(orNode));
    EXPECT_FALSE(ExpTreeIsNot(column));
    EXPECT_FALSE(ExpTreeIsNot(nullptr));
}

}  // namespace
}  // namespace dbengine

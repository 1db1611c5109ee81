// Filter and SQL expression text: any input either parses and type-checks or raises the engine's
// own error; in every case all expression nodes go back to the pool.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/session/Library.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/Seams.h"

namespace {

using namespace dbengine;

// A few columns of each kind, the names being the letters a to l.
class Columns : public TExpTypeResolver {
public:
    bool ResolveColumn(TExpToken* node) override {
        static const struct {
            uint8_t Type, SubType;
            int32_t Size;
            uint8_t Scale;
        } kinds[] = {{fldString, 0, 21, 0},        {fldInteger, 0, 4, 0},   {fldSmallInt, 0, 2, 0},
                     {fldFloat, fldstMoney, 8, 0}, {fldBCD, 0, 34, 2},      {fldDate, 0, 4, 0},
                     {fldTime, 0, 4, 0},           {fldTimestamp, 0, 8, 0}, {fldBoolean, 0, 2, 0},
                     {fldBlob, fldstMemo, 8, 0},   {fldBytes, 0, 6, 0},     {fldLargeInt, 0, 8, 0}};
        if (node->ColumnName.size() != 1) return false;
        int i = (node->ColumnName[0] | 0x20) - 'a';
        if (i < 0 || i >= 12) return false;
        node->FieldNo = static_cast<uint16_t>(i + 1);
        node->DataType = kinds[i].Type;
        node->SubType = kinds[i].SubType;
        node->DataSize = kinds[i].Size;
        node->Scale = kinds[i].Scale;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        LibraryStartup();
        framework::SetClock([] { return 36526.5; });  // 1 January 2000, noon
        return true;
    }();
    (void)started;
    if (size == 0) return 0;
    const uint8_t flags = data[0] & 0x1F;
    const bool wrap = (data[0] & 0x20) != 0;
    const bool constantsAsColumns = (data[0] & 0x40) != 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const int64_t before = ExpTokensInUse();
    {
        TExpressionParser parser;
        parser.ErrorCode = DBE_INVALIDFILTER;
        parser.ContextText = "filter expression";
        Columns columns;
        TExpTreeHolder tree;
        try {
            parser.SetExpression(text);
            parser.NextToken();
            // Sub-selects need a statement; without one they are refused like in a filter.
            tree.reset(parser.ParseExpression(flags));
            (void)parser.GetMarkedText();
            CheckExpTokenTypes(DBE_INVALIDFILTER, "", "T", "filter expression", tree.get(), nullptr, &columns,
                               wrap, constantsAsColumns);
            TExpTreeHolder copy(CopyExpTree(tree.get()));
            if (!SameExpTree(tree.get(), copy.get())) __builtin_trap();
        } catch (const EDbEngineError& e) {
            if (e.ErrorCode != DBE_INVALIDFILTER) __builtin_trap();
        }
    }
    if (ExpTokensInUse() != before) __builtin_trap();
    return 0;
}

#pragma once
// Parsing the expression of a calculated field in tests, as the dataset layer hands it to a cursor.

#include <string>
#include <vector>

#include "dbengine/cursor/CursorFilters.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/util/EngineError.h"

namespace dbengine::testsupport {

// The checked expression tree over the fields; the caller owns it.
inline TExpToken* ParseCalculatedField(const std::string& text, const std::vector<TFieldDescriptor>& fields) {
    TExpressionParser p;
    p.ErrorCode = DBE_INVALIDFILTER;
    p.ContextText = "calculated field";
    p.SetExpression(text);
    p.NextToken();
    TExpTreeHolder tree(p.ParseExpression(0));
    TFieldColumns columns(fields);
    CheckExpTokenTypes(DBE_INVALIDFILTER, "DB", "T", "calculated field", tree.get(), nullptr, &columns, false,
                       false);
    return tree.release();
}

}  // namespace dbengine::testsupport

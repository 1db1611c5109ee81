// SQL statement text (report definitions and tools build it from what the user typed): any text
// either parses into the statement model or raises the engine's SQL error; the statement, once
// freed, has given every expression node back to the pool, and every parameter it listed is a
// live "?" node.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/session/Library.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/Seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        dbengine::LibraryStartup();
        framework::SetClock([] { return 36526.5; });  // 1 January 2000, noon
        return true;
    }();
    (void)started;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int64_t before = dbengine::ExpTokensInUse();
    {
        dbsql::TQueryStatement statement;
        try {
            statement.ParseSQL(text);
            size_t marks = 0;
            for (char c : text) marks += c == '?';
            if (statement.ParamTokens().size() > marks) __builtin_trap();
            for (const dbengine::TExpToken* param : statement.ParamTokens())
                if (!param->IsParam) __builtin_trap();
            if (statement.Kind != statement.MasterQuery->Kind || statement.Kind == dbsql::skUnknown) __builtin_trap();
        } catch (const dbengine::EDbEngineError& e) {
            if (e.ErrorCode != dbengine::DBE_SQLPARSE) __builtin_trap();
        }
    }
    if (dbengine::ExpTokensInUse() != before) __builtin_trap();
    return 0;
}

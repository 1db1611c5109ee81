#pragma once
// Checks of what the engine's own structures always hold (not of what files say: a damaged file
// raises the engine error instead). They run in debug and sanitizer builds, where a broken one
// stops the process at once with the place and the rule; release builds leave them out.

#if defined(KORVANE_ENGINE_INVARIANTS)
#include <cstdio>
#include <cstdlib>

#define ENGINE_INVARIANT(condition, rule)                                                           \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: engine invariant broken: %s\n", __FILE__, __LINE__, rule); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (false)
#define ENGINE_INVARIANTS_ON 1
#else
#define ENGINE_INVARIANT(condition, rule) \
    do {                                  \
    } while (false)
#define ENGINE_INVARIANTS_ON 0
#endif

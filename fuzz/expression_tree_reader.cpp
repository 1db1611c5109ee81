// Expression trees in their byte form, as a database server sends them: any input is either
// read into a tree or refused, never read past its end; a tree read is written back to the same
// bytes, and every node goes back to the pool.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTreeStream.h"
#include "dbengine/session/Library.h"

using namespace dbengine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        LibraryStartup();
        return true;
    }();
    (void)started;
    const int64_t inUse = ExpTokensInUse();
    {
        TExpToken* t = nullptr;
        int32_t read = ReadExpTree(data, size, t);
        TExpTreeHolder tree(t);
        if (read > 0) {
            if (tree.get() == nullptr || static_cast<size_t>(read) > size) __builtin_trap();
            std::vector<uint8_t> again;
            int32_t written = WriteExpTree(tree.get(), again, TExpTreeLayout::Arguments);
            // Offsets are rewritten by the writer, so only the length must agree.
            if (written != read) __builtin_trap();
            TExpToken* back = nullptr;
            if (ReadExpTree(again.data(), again.size(), back) != written) __builtin_trap();
            FreeExpTree(back);
            TExpToken* copy = CopyExpTree(tree.get());
            TExpTreeHolder linked(copy);
            if (ConvertToLinkedLayout(linked.get()))
                WriteExpTree(linked.get(), again, TExpTreeLayout::Linked);
        } else if (tree.get() != nullptr) {
            __builtin_trap();
        }
    }
    if (ExpTokensInUse() != inUse) __builtin_trap();
    return 0;
}

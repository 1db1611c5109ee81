// An index file of unknown bytes: open it, check its header, walk every B-tree from its root
// along the leaf chains, read the full-text parameters, then insert and delete a key in each
// index. Any input either works or raises an engine error; never a crash, a hang or an
// unbounded allocation. Crashing inputs found here are kept in dbengine/testdata/index-fuzz/.
#include <cstddef>
#include <cstdint>

#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dbengine;
    static bool started = [] {
        InitializeEngine();
        GetEngineSession()->DataBufferSize = 8192 * 8;
        return true;
    }();
    (void)started;
    if (size > 64 * 4096) return 0;
    testsupport::ExerciseIndexFile(data, size);
    return 0;
}

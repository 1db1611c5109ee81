// Inputs that once broke the index file reader, replayed through the same steps as its fuzz
// target; each must end in engine errors or success, never in a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/testsupport/EngineRun.h"

namespace dbengine {
namespace {

TEST(IndexFuzzRegression, KeptInputsRaiseOnlyEngineErrors) {
    InitializeEngine();
    GetEngineSession()->DataBufferSize = 8192 * 8;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KORVANE_TESTDATA_DIR "/index-fuzz")) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        testsupport::ExerciseIndexFile(bytes.data(), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
    FinalizeEngine();
}

}  // namespace
}  // namespace dbengine

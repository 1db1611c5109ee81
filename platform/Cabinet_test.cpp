#include "platform/Cabinet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/SimpleFiles.h"
#include "platform/testsupport/TestDrives.h"

namespace platform {
namespace {

void* Alloc(uint32_t cb) {
    return std::malloc(cb);
}
void Free(void* p) {
    std::free(p);
}
std::intptr_t Open(const char* name, int32_t flags, int32_t) {
    return _lopen(name, flags);
}
uint32_t Read(std::intptr_t hf, void* pv, uint32_t cb) {
    return _lread(static_cast<HFILE>(hf), pv, cb);
}
uint32_t Write(std::intptr_t hf, const void* pv, uint32_t cb) {
    return _lwrite(static_cast<HFILE>(hf), pv, cb);
}
int32_t Close(std::intptr_t hf) {
    return _lclose(static_cast<HFILE>(hf));
}
int32_t Seek(std::intptr_t hf, int32_t dist, int32_t type) {
    return _llseek(static_cast<HFILE>(hf), dist, type);
}

struct Seen {
    std::vector<std::pair<int, std::string>> Calls;
    std::intptr_t AnswerToInfo = 0;
};

std::intptr_t Record(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n) {
    auto* seen = static_cast<Seen*>(n->pv);
    seen->Calls.emplace_back(type, n->psz1 ? n->psz1 : "");
    return type == fdintCABINET_INFO ? seen->AnswerToInfo : 0;
}

TEST(Cabinet, NotificationsAbortAndTheBuildingSide) {
    if (std::system("command -v gcab > /dev/null") != 0) GTEST_SKIP() << "gcab is not installed";
    testsupport::TTempFolder dir;
    dir.WriteFile("one.txt", "1");
    dir.WriteFile("two.txt", "22");
    ASSERT_EQ(std::system(("cd " + dir.Path() + " && gcab -c t.cab one.txt two.txt").c_str()), 0);
    const std::string path = NativeToWindowsPath(dir.Path()) + "\\";

    ERF erf;
    HFDI fdi = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
    ASSERT_NE(fdi, 0);
    EXPECT_EQ(OpenFdiContexts(), 1);
    HFILE hf = _lopen(path + "t.cab", kCabinetOpenFlags);
    FDICABINETINFO info;
    EXPECT_TRUE(FDIIsCabinet(fdi, hf, &info));
    EXPECT_EQ(info.cFiles, 2);
    EXPECT_EQ(info.cFolders, 1);
    _lclose(hf);

    Seen seen;
    EXPECT_TRUE(FDICopy(fdi, "t.cab", path.c_str(), 0, Record, nullptr, &seen));
    const std::vector<std::pair<int, std::string>> expected = {
        {fdintCABINET_INFO, ""}, {fdintCOPY_FILE, "one.txt"}, {fdintCOPY_FILE, "two.txt"}};
    EXPECT_EQ(seen.Calls, expected);
    // -1 from a notification stops the walk.
    seen = Seen{{}, -1};
    EXPECT_FALSE(FDICopy(fdi, "t.cab", path.c_str(), 0, Record, nullptr, &seen));
    EXPECT_EQ(erf.erfOper, FDIERROR_USER_ABORT);
    EXPECT_EQ(seen.Calls.size(), 1u);
    EXPECT_FALSE(FDICopy(fdi, "missing.cab", path.c_str(), 0, Record, nullptr, &seen));
    EXPECT_EQ(erf.erfOper, FDIERROR_CABINET_NOT_FOUND);
    EXPECT_TRUE(FDIDestroy(fdi));
    EXPECT_EQ(OpenFdiContexts(), 0);

    CCAB params;
    ERF fci;
    EXPECT_EQ(FCICreate(&fci, nullptr, Alloc, Free, Open, Read, Write, Close, Seek, nullptr, nullptr, &params,
                        nullptr),
              0);
    EXPECT_TRUE(fci.fError);
    EXPECT_EQ(fci.erfOper, FCIERR_NOT_SUPPORTED);
}

}  // namespace
}  // namespace platform

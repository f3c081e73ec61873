// test_main.cpp - runs every suite and checks, after each test, that the
// host kernel holds no live memory block, no open file and no bitmap: the
// filter must release everything it takes on every path.
#include <gtest/gtest.h>

#include <clocale>

#include "kernel_testing.h"

// Cairo keeps the font faces it looked up in a process-wide cache, and
// fontconfig stores their patterns with pointers encoded as offsets, which
// the leak checker cannot follow. Cairo recycles objects through lock-free
// pools whose atomics the race checker cannot see in the uninstrumented
// library. Both hooks are read only by sanitizer builds.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcairo.so\n";
}

namespace {

class LedgerListener : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override {
        Zk_ClearFaults();
        ZkBlockInfo aBlocks[8];
        size_t nLive = Zk_LiveBlocks(aBlocks, 8);
        for (size_t i = 0; i < nLive && i < 8; ++i)
            ADD_FAILURE() << "live block of " << aBlocks[i].nBytes << " bytes from "
                          << aBlocks[i].pszFile << ":" << aBlocks[i].nLine;
        EXPECT_EQ(nLive, 0u) << "memory blocks left in the kernel's ledger";
        EXPECT_EQ(Zk_OpenFileCount(), 0u) << "files left open";
        EXPECT_EQ(Zk_LiveBitmapCount(), 0u) << "bitmaps left allocated";
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LedgerListener);
    return RUN_ALL_TESTS();
}

// test_main.cpp - runs every suite and checks, after each test, that the
// host kernel holds no live memory block, no open file and no bitmap: the
// filter must release everything it takes on every path.
#include <gtest/gtest.h>

#include <clocale>

#include "kernel_testing.h"

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

// fuzz_load_save.cpp - any bytes as a .mif file through an uncached vector
// load, a save of whatever was loaded (also after a failed load: the objects
// added before the failure stay with the host) and a load of what was saved.
// The save must succeed and the second load must give back as many objects,
// and nothing may stay behind in the host libraries.
#include "fuzz_support.h"

using fuzzsupport::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    std::string input = fuzzsupport::WriteInput("input.mif", pData, nSize);
    std::string saved = fuzzsupport::Scratch().Path("saved.mif");
    {
        miftest::Drawing first;
        miftest::LoadPath(input, &first.h);
        fuzzsupport::RequireHostClean("after the first load");
        Require(miftest::SavePath(saved, &first.h) == MIF_OK, "what loaded can be saved");
        fuzzsupport::RequireHostClean("after the save");

        miftest::Drawing second;
        int nRet = miftest::LoadPath(saved, &second.h);
        // A drawing without extents (no object, or none with finite
        // coordinates) loads as "empty", before and after the save alike.
        int nExpected = fuzzsupport::HasExtents(&first.h) ? int(MIF_OK) : int(VEC_ERR_EMPTY);
        Require(nRet == nExpected, "what was saved loads again");
        Require(fuzzsupport::CountObjects(&second.h) == fuzzsupport::CountObjects(&first.h),
                "the saved file holds every object");
    }
    fuzzsupport::RequireHostClean("after the second load");
    return 0;
}

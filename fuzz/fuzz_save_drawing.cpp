// fuzz_save_drawing.cpp - any bytes decoded into a vector drawing built
// straight in the vector kernel (every object type and unknown ones, any
// field values: NaN, infinities, huge and negative point counts, long
// strings, odd colours and face names without a terminator), then fltSave,
// now and then with a write or allocation fault armed. The save must leave
// nothing in the host libraries, a failed save must leave neither output
// file, and what a successful save wrote must load again without harm.
#include <float.h>
#include <math.h>
#include <stddef.h>
#include <string.h>

#include <vector>

#include "fuzz_support.h"
#include "kernel_testing.h"

using fuzzsupport::Require;

namespace {

// The input as a stream of values; once it runs out every value is 0.
struct ByteSource {
    const uint8_t* pData;
    size_t nLeft;
};

template <class T> T Take(ByteSource* pSource) {
    T value;
    memset(&value, 0, sizeof(value));
    size_t nBytes = pSource->nLeft < sizeof(value) ? pSource->nLeft : sizeof(value);
    memcpy(&value, pSource->pData, nBytes);
    pSource->pData += nBytes;
    pSource->nLeft -= nBytes;
    return value;
}

const double kSpecialValues[] = {NAN, INFINITY, -INFINITY, -0.0, DBL_MAX, -DBL_MAX,
                                 DBL_MIN, 4.9e-324, 1e300, -1e-300, 2147483648.0, 0.5};

// Mostly plain coordinates, sometimes the values formatting trips over.
double TakeDouble(ByteSource* pSource) {
    switch (Take<uint8_t>(pSource) % 4) {
    case 0: return Take<int16_t>(pSource);
    case 1: return Take<int32_t>(pSource) / 1000.0;
    case 2: return kSpecialValues[Take<uint8_t>(pSource) % (sizeof(kSpecialValues) / sizeof(double))];
    default: return Take<double>(pSource);
    }
}

struct ObjectShape {
    uint32_t nType;
    size_t nSize;
    size_t nPointsOffset;  // 0: no point array
    size_t nTextOffset;    // 0: no string
};

constexpr ObjectShape kShapes[] = {
    {VOBJ_VERTEX, sizeof(_VECTORVERTEX), 0, 0},
    {VOBJ_LINE, sizeof(_VECTORLINE), 0, 0},
    {VOBJ_RECTANGLE, sizeof(_VECTORRECTANGLE), 0, 0},
    {VOBJ_CURVEOPENED, sizeof(_VECTORCURVEOPENED), offsetof(_VECTORCURVEOPENED, pPoints), 0},
    {VOBJ_CURVECLOSED, sizeof(_VECTORCURVECLOSED), offsetof(_VECTORCURVECLOSED, pPoints), 0},
    {VOBJ_ELLIPSE, sizeof(_VECTORELLIPSE), 0, 0},
    {VOBJ_CIRCLE, sizeof(_VECTORCIRCLE), 0, 0},
    {VOBJ_ARC, sizeof(_VECTORARC), 0, 0},
    {VOBJ_ELLIPTICALARC, sizeof(_VECTORELLIPTICALARC), 0, 0},
    {VOBJ_TEXTA, sizeof(_VECTORTEXTA), 0, offsetof(_VECTORTEXTA, pszText)},
    {5, sizeof(_VECTOROBJECTHEAD), 0, 0},    // types the kernel keeps as a bare head
    {13, sizeof(_VECTOROBJECTHEAD), 0, 0},
    {200, sizeof(_VECTOROBJECTHEAD), 0, 0},
};

constexpr size_t LargestShape() {
    size_t nLargest = 0;
    for (const ObjectShape& shape : kShapes)
        nLargest = shape.nSize > nLargest ? shape.nSize : nLargest;
    return nLargest;
}

// What an object's record points at; it must outlive the add.
struct ObjectParts {
    std::vector<_VECTORPOINT> points;
    std::vector<char> text;
};

// Small counts with their points, or counts the kernel must refuse:
// negative ones, and any count without an array.
void TakePoints(ByteSource* pSource, ObjectParts* pParts, _VECTORCURVEOPENED* pCurve) {
    int32_t nCount = Take<uint8_t>(pSource) % 2 ? Take<int8_t>(pSource) : Take<int32_t>(pSource);
    pParts->points.resize(nCount >= 0 && nCount <= 256 ? nCount : 1);
    for (_VECTORPOINT& point : pParts->points) {
        point.x = TakeDouble(pSource);
        point.y = TakeDouble(pSource);
        point.z = TakeDouble(pSource);
        point.nTag = Take<int32_t>(pSource);
    }
    bool bWithArray = nCount <= 256 && Take<uint8_t>(pSource) % 8 != 0;
    pCurve->pPoints = bWithArray ? pParts->points.data() : nullptr;
    pCurve->nPoints = nCount;
}

void TakeText(ByteSource* pSource, ObjectParts* pParts, char** ppszText) {
    size_t nLength = Take<uint16_t>(pSource) % 8192;
    for (size_t i = 0; i < nLength && pSource->nLeft > 0; ++i)
        pParts->text.push_back(static_cast<char>(Take<uint8_t>(pSource)));
    pParts->text.push_back('\0');
    *ppszText = Take<uint8_t>(pSource) % 16 != 0 ? pParts->text.data() : nullptr;
}

// One object of any shape with every field taken from the input; the
// kernel may refuse it.
void AddObject(ByteSource* pSource, _VECTORHANDLE* pHandle) {
    const ObjectShape& shape = kShapes[Take<uint8_t>(pSource) % (sizeof(kShapes) / sizeof(kShapes[0]))];
    alignas(8) unsigned char aRecord[LargestShape()];
    memset(aRecord, 0, sizeof(aRecord));
    Z_VecInitObject(aRecord);
    for (size_t nOffset = sizeof(_VECTOROBJECTHEAD); nOffset + sizeof(double) <= shape.nSize;
         nOffset += sizeof(double)) {
        double dValue = TakeDouble(pSource);
        memcpy(aRecord + nOffset, &dValue, sizeof(dValue));
    }
    _VECTOROBJECTHEAD* pHead = reinterpret_cast<_VECTOROBJECTHEAD*>(aRecord);
    pHead->nSize = static_cast<uint32_t>(shape.nSize);
    pHead->nType = shape.nType;
    ObjectParts parts;
    if (shape.nPointsOffset != 0)
        TakePoints(pSource, &parts, reinterpret_cast<_VECTORCURVEOPENED*>(aRecord));
    if (shape.nTextOffset != 0)
        TakeText(pSource, &parts, reinterpret_cast<char**>(aRecord + shape.nTextOffset));
    Z_VecAddObjectA(pHandle, nullptr, shape.nType, aRecord, nullptr);
}

// Two bytes after the objects may arm one write or allocation fault for
// the save.
void ArmFault(ByteSource* pSource) {
    uint8_t nMode = Take<uint8_t>(pSource);
    uint64_t nth = Take<uint8_t>(pSource) + 1u;
    if (nMode % 4 == 1)
        Zk_FailWrite(nth, 0);
    else if (nMode % 4 == 2)
        Zk_FailAllocation(nth, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    ByteSource source = {pData, nSize};
    const miftest::TempDir& dir = fuzzsupport::Scratch();
    std::string mifPath = dir.Path("out.mif");
    std::string midPath = dir.Path("out.mid");
    {
        miftest::Drawing drawing;
        for (int i = 0; i < 64 && source.nLeft > 2; ++i)
            AddObject(&source, &drawing.h);
        ArmFault(&source);
        int nRet = miftest::SavePath(mifPath, &drawing.h);
        bool bFaulted = Zk_FaultsFired() > 0;
        fuzzsupport::RequireHostClean("after the save");
        Require(!(bFaulted && nRet == MIF_OK), "a save that met a fault fails");
        bool bKept = nRet == MIF_OK;
        Require(miftest::FileExists(mifPath) == bKept && miftest::FileExists(midPath) == bKept,
                "both files after success, neither after failure");
    }
    // What was written (numbers of hundreds of digits, "nan", strings with
    // quotes and line ends) must load again without harm, whatever it holds.
    if (miftest::FileExists(mifPath)) {
        miftest::Drawing back;
        miftest::LoadPath(mifPath, &back.h);
    }
    fuzzsupport::RequireHostClean("after loading what was saved");
    DeleteFile(mifPath.c_str());
    DeleteFile(midPath.c_str());
    return 0;
}

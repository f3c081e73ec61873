// fuzz_support.h - what the fuzz targets share: the scratch folder of the
// process, hard checks that abort (so the fuzzer records the input), and the
// host-side state every input must leave behind.
#ifndef FUZZ_FUZZ_SUPPORT_H
#define FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "mif_test_support.h"

namespace fuzzsupport {

// A folder of this process under /tmp, removed at exit.
const miftest::TempDir& Scratch();

// Writes the input to a file of the scratch folder and returns its path.
std::string WriteInput(const char* pszName, const uint8_t* pData, size_t nSize);

// Prints the failed condition and aborts.
void Require(bool bCondition, const char* pszWhat);

// The kernel must hold no memory block, no open file and no bitmap, the
// vector kernel no object copy, and no fault may stay armed for the next
// input.
void RequireHostClean(const char* pszWhen);

// Number of objects in a drawing, and whether it has extents at all.
size_t CountObjects(_VECTORHANDLE* pHandle);
bool HasExtents(_VECTORHANDLE* pHandle);

}  // namespace fuzzsupport

#endif  // FUZZ_FUZZ_SUPPORT_H

// drawing.h - a host vector drawing as the program shows it.
//
// The vector kernel hands its objects out one by one through Z_VecEnumObjects
// and Z_VecGetObjectA. These functions count them by type for "mif info" and
// write them, record field by record field, as the JSON objects of "mif dump".
#ifndef TOOLS_MIF_DRAWING_H
#define TOOLS_MIF_DRAWING_H

#include <stddef.h>
#include <stdint.h>

#include "hostapi.h"
#include "json.h"

struct ObjectTypeName {
    uint32_t nType;
    const char* pszName;
};

enum { OBJECT_TYPE_COUNT = 10 };

// The ten object types of the vector kernel, in type-code order.
extern const ObjectTypeName OBJECT_TYPE_NAMES[OBJECT_TYPE_COUNT];

// The printed name of a type code, or "unknown" for a code not in the table.
const char* ObjectTypeNameOf(uint32_t nType);

// Objects per entry of OBJECT_TYPE_NAMES, and those of any other code.
struct ObjectCounts {
    uint64_t anByType[OBJECT_TYPE_COUNT];
    uint64_t nOther;
    uint64_t nTotal;
};

// Counts the drawing's objects. Returns Z_VecEnumObjects' result, 1 on success.
int CountObjects(_VECTORHANDLE* pHandle, ObjectCounts* pCounts);

// Writes the counts as a JSON object keyed by type name, zero counts left out.
void WriteObjectCounts(JsonWriter* pWriter, const char* pszKey, const ObjectCounts* pCounts);

// Writes the member "objects": an array with one JSON object per drawing
// object, in the kernel's enumeration order. Returns 1, or the first result
// other than 1 of fetching an object (the array is closed all the same).
int WriteDrawingObjects(JsonWriter* pWriter, _VECTORHANDLE* pHandle);

#endif  // TOOLS_MIF_DRAWING_H

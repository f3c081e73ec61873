// vector_testing.h - what the vector kernel stand-in offers tests and tools
// beyond the host calls.
//
// This is not part of the filter's host interface; the filter never calls it.
#ifndef HOST_VECTOR_VECTOR_TESTING_H
#define HOST_VECTOR_VECTOR_TESTING_H

#include <stdint.h>

extern "C" {

// Number of object copies handed out by Z_VecGetObjectA with a point array
// or a string attached that Z_VecFreeObject has not yet released. Copies of
// the other types hold no memory of their own and are not counted.
int64_t Zv_LiveObjectCopies(void);

}  // extern "C"

#endif  // HOST_VECTOR_VECTOR_TESTING_H

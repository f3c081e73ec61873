// tiny_host.cpp - the smallest host of the installed filter: a vector load
// of one file, then the number of objects it holds.
#include <stdio.h>
#include <string.h>

#include "Mif.h"

static int CountObject(_VECTORHANDLE*, _VECTOROBJECT*, void* pUser) {
    ++*static_cast<int*>(pUser);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    _VECTORHANDLE drawing;
    memset(&drawing, 0, sizeof(drawing));
    Z_VecInit(&drawing);
    _LOADDISPATCH load;
    memset(&load, 0, sizeof(load));
    load.pszFileName = argv[1];
    load.nLoadMode = 1;
    load.pVectorHandle = &drawing;
    int nRet = fltLoad(&load);
    int nObjects = 0;
    Z_VecEnumObjects(&drawing, CountObject, &nObjects, 0);
    Z_VecFree(&drawing);
    printf("result %d, %d objects\n", nRet, nObjects);
    return nRet == 1 ? 0 : 1;
}

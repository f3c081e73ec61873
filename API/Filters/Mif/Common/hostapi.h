// hostapi.h - the host records and host calls that the MIF filter uses.
//
// The filter runs inside a host imaging toolkit beside three host libraries:
// the kernel (libzkkrn: redirected files, memory, bitmaps), the drawing engine
// (libzkdrw) and the vector kernel (libzvkrn). This header declares exactly
// the records and calls the filter relies on, with the field order and widths
// the host gives them. The host libraries of this project are built against
// the same header.
//
// Where the host leaves the other fields of a record open, this project
// chooses them; every such choice is named in a comment beside the field
// (marked "host-private") and nothing in the filter reads or writes them.
#ifndef API_FILTERS_MIF_COMMON_HOSTAPI_H
#define API_FILTERS_MIF_COMMON_HOSTAPI_H

#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------------------
// Result codes shared by the filter and the host libraries.
// ---------------------------------------------------------------------------
enum {
    MIF_OK = 1,           // success
    MIF_END = 2,          // end of data: end of file, or no further word
    MIF_ERR_NOMEM = -1,   // an allocation failed
    MIF_ERR_WRITE = -5,   // a write wrote fewer bytes than asked, or no file
    MIF_ERR_FORMAT = -9,  // not acceptable MIF, or an unsupported mode
    MIF_ERR_ARG = -13,    // a required record or argument is missing
    MIF_ERR_NOFILE = -14, // the file is not available
    MIF_ERR_NOREADER = -261 // the line reader has no file
};

// ---------------------------------------------------------------------------
// Kernel: files, memory, rectangles.
// ---------------------------------------------------------------------------

// A redirected file. 0 and the all-ones pointer both mean "no file".
struct tagHANDLE;

struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The all-ones handle value that stands for "no file", like a null handle.
#define MIF_INVALID_HANDLE ((tagHANDLE*)~(uintptr_t)0)

// ---------------------------------------------------------------------------
// Vector kernel records.
// ---------------------------------------------------------------------------

// The host's point. The fourth field is host-private (a vertex tag); the
// filter never sets it and the kernel keeps it as given.
struct _VECTORPOINT {
    double x;
    double y;
    double z;
    int32_t nTag;
};

// Pen styles of the vector kernel.
enum {
    VPEN_SOLID = 0,
    VPEN_DASH = 1,
    VPEN_DOT = 2,
    VPEN_DASHDOT = 3,
    VPEN_DASHDOTDOT = 4,
    VPEN_NULL = 5
};

// Host-private choices: nWidth/nHeight are the nib size in device pixels
// (a pen read from MIF gets 1 x 1; 0 draws as 1); nCap and nJoin are cairo-like
// cap and join codes (0 = butt/miter); bSolidOverride, when non-zero, marks an
// extended pen that is always drawn solid whatever its style.
struct _VECTORPEN {
    uint32_t nSize;
    uint32_t nStyle;
    int32_t nWidth;
    int32_t nHeight;
    uint32_t crColor;       // host colour value: red in the lowest byte
    int32_t nCap;
    int32_t nJoin;
    int32_t bSolidOverride;
};

// Brush styles and hatch kinds of the vector kernel.
enum { VBRUSH_SOLID = 0, VBRUSH_NULL = 1, VBRUSH_HATCHED = 2 };
enum {
    VHATCH_HORIZONTAL = 0,
    VHATCH_VERTICAL = 1,
    VHATCH_FDIAGONAL = 2,  // falling from left to right
    VHATCH_BDIAGONAL = 3,  // rising from left to right
    VHATCH_CROSS = 4,
    VHATCH_DIAGCROSS = 5
};

// Host-private choices: crBackground is the colour between hatch lines
// (0 = transparent, the only value a MIF brush gives); nReserved is unused.
struct _VECTORBRUSH {
    uint32_t nSize;
    int32_t nKind;          // 0: a plain brush, the only kind MIF describes
    uint32_t nStyle;
    uint32_t crColor;
    uint64_t nHatch;
    uint32_t crBackground;
    int32_t nReserved;
};

// Object type codes.
enum {
    VOBJ_VERTEX = 1,
    VOBJ_LINE = 2,
    VOBJ_RECTANGLE = 3,
    VOBJ_CURVEOPENED = 4,
    VOBJ_CURVECLOSED = 6,
    VOBJ_ELLIPSE = 7,
    VOBJ_CIRCLE = 8,
    VOBJ_ARC = 9,
    VOBJ_ELLIPTICALARC = 10,
    VOBJ_TEXTA = 14
};

// The head every object record starts with. Host-private choices: nLayer is
// the layer the object belongs to and uAttributes holds kernel flags; both are
// set by Z_VecInitObject and Z_VecAddObjectA.
struct _VECTOROBJECTHEAD {
    uint32_t nSize;
    uint32_t nType;
    int32_t nLayer;
    uint32_t uAttributes;
};

// The enumeration's reference to one stored object. Host-private: nIndex is
// the object's position in the drawing.
struct _VECTOROBJECT {
    uint32_t nSize;
    uint32_t nType;
    uint64_t nIndex;
};

struct _VECTORVERTEX {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT pt;
    _VECTORPEN pen;
};

struct _VECTORLINE {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT pt1;
    _VECTORPOINT pt2;
    _VECTORPEN pen;
};

struct _VECTORRECTANGLE {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT pt1;
    _VECTORPOINT pt2;
    _VECTORPEN pen;
    _VECTORBRUSH brush;
};

struct _VECTORCURVEOPENED {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT* pPoints;
    int32_t nPoints;
    _VECTORPEN pen;
};

// Host-private: nFillMode 0 fills by the even-odd rule, 1 by winding.
struct _VECTORCURVECLOSED {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT* pPoints;
    int32_t nPoints;
    _VECTORPEN pen;
    _VECTORBRUSH brush;
    int32_t nFillMode;
};

struct _VECTORELLIPSE {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT ptCenter;
    _VECTORPEN pen;
    _VECTORBRUSH brush;
    double dRadiusX;
    double dRadiusY;
};

struct _VECTORCIRCLE {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT ptCenter;
    _VECTORPEN pen;
    _VECTORBRUSH brush;
    double dRadius;
};

// Angles in degrees, counter-clockwise from the positive x axis.
struct _VECTORARC {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT ptCenter;
    _VECTORPEN pen;
    double dRadius;
    double dStartAngle;
    double dSweep;
};

struct _VECTORELLIPTICALARC {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT ptCenter;
    _VECTORPEN pen;
    double dRadiusX;
    double dRadiusY;
    double dStartAngle;
    double dSweep;
};

// Host-private: the four fields after nSize are a requested height, width,
// escapement and orientation; the six flags after bUnderline are strike-out,
// character set, output precision, clip precision, quality and pitch/family.
// The kernel draws with the face name, weight, italic and underline only.
struct _VECTORFONTA {
    uint32_t nSize;
    int32_t nHeight;
    int32_t nWidth;
    int32_t nEscapement;
    int32_t nOrientation;
    int32_t nWeight;
    uint8_t bItalic;
    uint8_t bUnderline;
    uint8_t bStrikeOut;
    uint8_t nCharSet;
    uint8_t nOutPrecision;
    uint8_t nClipPrecision;
    uint8_t nQuality;
    uint8_t nPitchAndFamily;
    char szFaceName[32];
};

// Text format flags.
enum {
    VTEXT_RIGHT = 1,
    VTEXT_CENTER = 2,
    VTEXT_BOTTOM = 4,   // anchor is the bottom of the box
    VTEXT_VCENTER = 8,  // anchor is the middle of the box
    VTEXT_SINGLELINE = 32
};

// The anchor is the top-left corner of the text's box (y up): the box spans
// x .. x + width * characters and y - height .. y.
struct _VECTORTEXTA {
    _VECTOROBJECTHEAD head;
    _VECTORPOINT ptAnchor;
    char* pszText;
    uint32_t uFormat;
    double dCharHeight;
    double dCharWidth;
    _VECTORPEN pen;
    _VECTORBRUSH brush;
    _VECTORFONTA font;
};

// Room for a copy of any of the ten object records, as Z_VecGetObjectA
// fills one.
union _VECTORANYOBJECT {
    _VECTORVERTEX vertex;
    _VECTORLINE line;
    _VECTORRECTANGLE rect;
    _VECTORCURVEOPENED polyline;
    _VECTORCURVECLOSED polygon;
    _VECTORELLIPSE ellipse;
    _VECTORCIRCLE circle;
    _VECTORARC arc;
    _VECTORELLIPTICALARC ellipticalArc;
    _VECTORTEXTA text;
};

// Layer description for Z_VecAddLayerA. Host-private: bVisible (the filter
// sets 1), then flags and two reserved fields (the filter sets 0).
struct _VECTORLAYERA {
    uint32_t nSize;
    char szName[64];
    int32_t bVisible;
    int32_t nFlags;
    int32_t nReserved1;
    int32_t nReserved2;
};

// A layer reference as Z_VecAddLayerA fills it: the layer's index.
typedef int32_t VECTORLAYER;

// Host-private: a camera for Z_VecSetCamera (scale and rotation in degrees
// around the parallelogram's centre). Null asks for the default (1, 0).
struct _VECTORCAMERA {
    uint32_t nSize;
    double dScale;
    double dRotation;
};

struct VectorDrawing;  // the kernel's own storage behind a handle

// The drawing record. The first fields are set directly by the filter; the
// handle's storage (pDrawing) is host-private and belongs to Z_VecInit and
// Z_VecFree.
struct _VECTORHANDLE {
    tagRECT rcViewport;
    int32_t nDrawOption;
    _VECTORPOINT ptMin;     // the stored parallelogram, minimum corner
    _VECTORPOINT ptMax;     // and maximum corner
    uint64_t uFlags;
    VectorDrawing* pDrawing;
};

// The enumeration callback: the drawing, the object, the caller's data.
typedef int (*VECENUMPROC)(_VECTORHANDLE*, _VECTOROBJECT*, void*);

// Error codes of the vector kernel (beyond the shared ones above).
enum {
    VEC_ERR_EMPTY = -301,     // the drawing (or request) holds no object
    VEC_ERR_BADHANDLE = -302, // the handle was not initialised
    VEC_ERR_BADOBJECT = -303, // unknown object, type mismatch or bad record
    VEC_ERR_NOMEM = -304      // the kernel could not store the object
};

// ---------------------------------------------------------------------------
// Bitmaps and the drawing engine.
// ---------------------------------------------------------------------------

// The host bitmap. Rows are stored bottom-up: row 0 is the bottom line of
// the picture. Host-private choices: nSize, nWidth, pBits and nAccess; a
// palette entry is a host colour value.
struct _HOSTBITMAP {
    uint32_t nSize;
    int32_t nWidth;
    int32_t nHeight;
    int32_t nBitsPerPixel;
    uint32_t nBytesPerLine;
    uint32_t nColors;
    uint32_t* pPalette;
    int32_t nAttribute;
    int32_t nValue1;
    int32_t nValue2;
    int32_t nAccess;        // non-zero between access and release
    uint8_t* pBits;
};

struct ZDRWCONTEXT;  // a drawing context of the drawing engine

// ---------------------------------------------------------------------------
// Dispatch records of the entry points.
// ---------------------------------------------------------------------------

// The host's cache slot. Host-private: nSize and nOwner.
struct _CACHESLOT {
    uint32_t nSize;
    int32_t nOwner;
    void* pFilterData;
};

// Host options. Host-private: nSize and nFlags.
struct _HOSTOPTIONS {
    uint32_t nSize;
    int32_t nValue1;
    int32_t nValue2;
    int32_t nFlags;
};

struct _VECTOROPTIONS {
    int32_t nWidth;
    int32_t nHeight;
    int32_t nSizeMode;
    int32_t nBitsPerPixel;
    int32_t bUseBackground;
    int32_t crBackground;
};

// The image information record. The vector block sits past byte 1700 and is
// written only for a record whose nSize exceeds 1747, that is a host that has
// it. Host-private: nPages and nPlanes (the filter writes 1 and 1), the
// reserved area, and the meaning of the block's 1, 64 and -1.
struct _IMAGEINFO {
    uint32_t nSize;
    uint32_t nFormat;
    int32_t nWidth;
    int32_t nHeight;
    int32_t nBitsPerPixel;
    uint64_t uSizeInBytes;
    int32_t nPages;
    int32_t nPlanes;
    int32_t nValue1;
    int32_t nValue2;
    uint8_t abReserved[1680];
    int32_t bVector;        // vector block: 1
    int32_t nVectorBits;    // 64
    _VECTORPOINT ptMin;
    _VECTORPOINT ptMax;
    int32_t nVectorEnd;     // -1
};

struct _INFODISPATCH {
    tagHANDLE* hFile;
    _IMAGEINFO* pImageInfo;
    _CACHESLOT* pCacheSlot;
    _HOSTOPTIONS* pOptions;
    int32_t nWidth;
    int32_t nHeight;
    int32_t nSizeMode;
    _VECTORHANDLE* pVectorHandle;
    _VECTOROPTIONS VectorOptions;
};

// The row callback: callback info, destination bitmap, row buffer, row
// flags, row number, line count (1), user data.
typedef int (*ROWCALLBACK)(uint64_t, _HOSTBITMAP*, uint8_t*, uint32_t,
                           uint32_t, int32_t, uint64_t);

// Row flags: 1 and 2 on every row, 4 on the first and 8 on the last.
enum { ROW_DATA = 1, ROW_DISPLAY = 2, ROW_FIRST = 4, ROW_LAST = 8 };

struct _LOADDISPATCH {
    const char* pszFileName;
    _HOSTBITMAP* pBitmap;
    ROWCALLBACK pfnRowCallback;
    uint64_t pUserData;
    int32_t nWidth;
    int32_t nHeight;
    uint64_t pCallbackInfo;
    _CACHESLOT* pCacheSlot;
    int32_t nDrawOption;
    _VECTORHANDLE* pVectorHandle;
    int32_t nLoadMode;
    _HOSTOPTIONS* pOptions;
    int32_t bUseBackground;
    int32_t crBackground;
};

struct _SAVEDISPATCH {
    const char* pszFileName;
    int32_t nSaveMode;
    _VECTORHANDLE* pVectorHandle;
};

// The kind of data handed to fltFreeData.
typedef int32_t DATATYPE;
enum { DATATYPE_DRAWINGCACHE = 0 };

// ---------------------------------------------------------------------------
// Host calls.
// ---------------------------------------------------------------------------
extern "C" {

// Kernel (libzkkrn.so.19). Open flags and modes are POSIX values: reading
// uses flags 0 and mode 256, writing flags 66 (O_RDWR | O_CREAT) and mode 128.
tagHANDLE* Z_RedirectedOpen(const char* pszPath, int32_t nFlags, int32_t nMode);
int32_t Z_RedirectedRead(tagHANDLE* hFile, void* pBuffer, int32_t nCount);
int64_t Z_RedirectedSeek(tagHANDLE* hFile, int64_t nOffset, int32_t nOrigin);
int32_t Z_RedirectedWrite(tagHANDLE* hFile, const void* pBuffer, int32_t nCount);
int32_t Z_RedirectedClose(tagHANDLE* hFile);
int32_t DeleteFile(const char* pszPath);

// Memory. nCount elements of nElementSize bytes; a count of 0 gives a valid
// empty block, a negative count or a request the kernel cannot meet gives
// null. Every call names the calling source line and file.
void* Z_LocalAlloc(int32_t nCount, int32_t nElementSize, int32_t nLine,
                   const char* pszFile);
void Z_LocalFree(void* pBlock, int32_t nLine, const char* pszFile);
void Z_MemorySet(void* pDest, int32_t nValue, size_t nCount);
void Z_MemoryCopy(void* pDest, const void* pSource, size_t nCount);
int32_t SetRect(tagRECT* pRect, int32_t nLeft, int32_t nTop, int32_t nRight,
                int32_t nBottom);

// Bitmaps.
int32_t Z_InitBitmap(_HOSTBITMAP* pBitmap, uint32_t nRecordSize, int32_t nWidth,
                     int32_t nHeight, int32_t nBitsPerPixel);
int32_t Z_AllocateBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags);
int32_t Z_FillBitmap(_HOSTBITMAP* pBitmap, uint32_t crColor);
int32_t Z_ColorResBitmap(_HOSTBITMAP* pSource, _HOSTBITMAP* pDest,
                         uint32_t nRecordSize, int32_t nBitsPerPixel,
                         int32_t nMethod, void* pReserved1, void* pReserved2,
                         int32_t nReserved3, int32_t nReserved4,
                         void* pReserved5);
int32_t Z_SetBitmapNewPalette(_HOSTBITMAP* pBitmap, const uint32_t* pPalette,
                              uint32_t nColors);
int32_t Z_IntAccessBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags);
int32_t Z_GetBitmapRow(_HOSTBITMAP* pBitmap, uint8_t* pBuffer, int32_t nRow,
                       uint32_t nBytes);
int32_t Z_IntReleaseBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags, int32_t nStatus);
int32_t Z_FreeBitmap(_HOSTBITMAP* pBitmap);

// Drawing engine (libzkdrw.so.19).
int32_t Z_Drw_GetDefaultEngine(void);
int32_t Z_Drw_FromBitmap(int32_t nEngine, ZDRWCONTEXT** ppContext,
                         _HOSTBITMAP* pBitmap);
int32_t Z_Drw_Destroy(ZDRWCONTEXT* pContext);

// Vector kernel (libzvkrn.so.19).
int32_t Z_VecInit(_VECTORHANDLE* pHandle);
int32_t Z_VecEmpty(_VECTORHANDLE* pHandle);
int32_t Z_VecFree(_VECTORHANDLE* pHandle);
int32_t Z_VecAddLayerA(_VECTORHANDLE* pHandle, const _VECTORLAYERA* pLayer,
                       VECTORLAYER* pLayerOut, int32_t nReserved);
int32_t Z_VecSetActiveLayer(_VECTORHANDLE* pHandle, VECTORLAYER nLayer);
int32_t Z_VecInitObject(void* pRecord);
int32_t Z_VecAddObjectA(_VECTORHANDLE* pHandle, _VECTOROBJECT* pParent,
                        uint32_t nType, const void* pRecord,
                        _VECTOROBJECT* pObjectOut);
int32_t Z_VecGetObjectA(_VECTORHANDLE* pHandle, const _VECTOROBJECT* pObject,
                        uint32_t nType, void* pRecord);
int32_t Z_VecFreeObject(uint32_t nType, void* pRecord);
int32_t Z_VecGetObjectParallelogram(_VECTORHANDLE* pHandle,
                                    const _VECTOROBJECT* pObject,
                                    _VECTORPOINT* pMin, _VECTORPOINT* pMax,
                                    int32_t nReserved);
int32_t Z_VecSetParallelogram(_VECTORHANDLE* pHandle, const _VECTORPOINT* pMin,
                              const _VECTORPOINT* pMax);
int32_t Z_VecSetOrigin(_VECTORHANDLE* pHandle, const _VECTORPOINT* pOrigin);
int32_t Z_VecSetCamera(_VECTORHANDLE* pHandle, const _VECTORCAMERA* pCamera);
int32_t Z_VecGetSize(_VECTORHANDLE* pHandle, int32_t nSizeMode,
                     int32_t* pWidth, int32_t* pHeight);
int32_t Z_VecSetBackgroundColor(_VECTORHANDLE* pHandle, uint32_t crColor);
int32_t Z_VecDraw(ZDRWCONTEXT* pContext, _VECTORHANDLE* pHandle, int32_t nFlags);
int32_t Z_VecEnumObjects(_VECTORHANDLE* pHandle, VECENUMPROC pfnCallback,
                         void* pUserData, int32_t nReserved);

}  // extern "C"

#endif  // API_FILTERS_MIF_COMMON_HOSTAPI_H

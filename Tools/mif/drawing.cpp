// drawing.cpp - counting and dumping the objects of a host vector drawing.
//
// Each object is copied out of the kernel with Z_VecGetObjectA into a record
// of its type and released again with Z_VecFreeObject, which frees the point
// array or the string the kernel attached to the copy.
#include "drawing.h"

#include <string.h>

const ObjectTypeName OBJECT_TYPE_NAMES[OBJECT_TYPE_COUNT] = {
    {VOBJ_VERTEX, "vertex"},
    {VOBJ_LINE, "line"},
    {VOBJ_RECTANGLE, "rectangle"},
    {VOBJ_CURVEOPENED, "polyline"},
    {VOBJ_CURVECLOSED, "polygon"},
    {VOBJ_ELLIPSE, "ellipse"},
    {VOBJ_CIRCLE, "circle"},
    {VOBJ_ARC, "arc"},
    {VOBJ_ELLIPTICALARC, "elliptical_arc"},
    {VOBJ_TEXTA, "text"},
};

namespace {

int FindObjectType(uint32_t nType)
{
    for (int i = 0; i < OBJECT_TYPE_COUNT; ++i)
        if (OBJECT_TYPE_NAMES[i].nType == nType)
            return i;
    return -1;
}

int CountOneObject(_VECTORHANDLE*, _VECTOROBJECT* pObject, void* pUser)
{
    ObjectCounts* pCounts = static_cast<ObjectCounts*>(pUser);
    int nIndex = FindObjectType(pObject->nType);
    if (nIndex >= 0)
        ++pCounts->anByType[nIndex];
    else
        ++pCounts->nOther;
    ++pCounts->nTotal;
    return MIF_OK;
}

void WritePoint(JsonWriter* pWriter, const char* pszKey, const _VECTORPOINT& pt)
{
    JsonPair(pWriter, pszKey, pt.x, pt.y);
}

void WritePoints(JsonWriter* pWriter, const _VECTORPOINT* pPoints, int32_t nPoints)
{
    JsonBeginArray(pWriter, "points", 0);
    for (int32_t i = 0; pPoints != nullptr && i < nPoints; ++i)
        WritePoint(pWriter, nullptr, pPoints[i]);
    JsonEndArray(pWriter);
}

void WritePen(JsonWriter* pWriter, const _VECTORPEN& pen)
{
    JsonBeginObject(pWriter, "pen", 0);
    JsonUnsigned(pWriter, "size", pen.nSize);
    JsonUnsigned(pWriter, "style", pen.nStyle);
    JsonBeginArray(pWriter, "pair", 0);
    JsonInteger(pWriter, nullptr, pen.nWidth);
    JsonInteger(pWriter, nullptr, pen.nHeight);
    JsonEndArray(pWriter);
    JsonUnsigned(pWriter, "color", pen.crColor);
    JsonInteger(pWriter, "last", pen.bSolidOverride);
    JsonEndObject(pWriter);
}

void WriteBrush(JsonWriter* pWriter, const _VECTORBRUSH& brush)
{
    JsonBeginObject(pWriter, "brush", 0);
    JsonUnsigned(pWriter, "size", brush.nSize);
    JsonInteger(pWriter, "kind", brush.nKind);
    JsonUnsigned(pWriter, "style", brush.nStyle);
    JsonUnsigned(pWriter, "color", brush.crColor);
    JsonUnsigned(pWriter, "hatch", brush.nHatch);
    JsonEndObject(pWriter);
}

void WriteFont(JsonWriter* pWriter, const _VECTORFONTA& font)
{
    // The face name field need not hold its terminator.
    char szFace[sizeof font.szFaceName + 1];
    memcpy(szFace, font.szFaceName, sizeof font.szFaceName);
    szFace[sizeof font.szFaceName] = '\0';
    JsonBeginObject(pWriter, "font", 0);
    JsonUnsigned(pWriter, "size", font.nSize);
    JsonString(pWriter, "face", szFace);
    JsonInteger(pWriter, "weight", font.nWeight);
    JsonInteger(pWriter, "italic", font.bItalic != 0);
    JsonInteger(pWriter, "underline", font.bUnderline != 0);
    JsonEndObject(pWriter);
}

void WriteText(JsonWriter* pWriter, const _VECTORTEXTA& text)
{
    WritePoint(pWriter, "anchor", text.ptAnchor);
    JsonString(pWriter, "text", text.pszText != nullptr ? text.pszText : "");
    JsonUnsigned(pWriter, "flags", text.uFormat);
    JsonDouble(pWriter, "height", text.dCharHeight);
    JsonDouble(pWriter, "width", text.dCharWidth);
    WritePen(pWriter, text.pen);
    WriteBrush(pWriter, text.brush);
    WriteFont(pWriter, text.font);
}

// The members after "type" and "code", by the record of the object's type.
// "points" of a line or a rectangle: its two corners.
void WriteTwoPoints(JsonWriter* pWriter, const _VECTORPOINT& pt1, const _VECTORPOINT& pt2)
{
    JsonBeginArray(pWriter, "points", 0);
    WritePoint(pWriter, nullptr, pt1);
    WritePoint(pWriter, nullptr, pt2);
    JsonEndArray(pWriter);
}

void WriteObjectFields(JsonWriter* pWriter, uint32_t nType, const _VECTORANYOBJECT& object)
{
    switch (nType) {
    case VOBJ_VERTEX:
        WritePoint(pWriter, "point", object.vertex.pt);
        WritePen(pWriter, object.vertex.pen);
        break;
    case VOBJ_LINE:
        WriteTwoPoints(pWriter, object.line.pt1, object.line.pt2);
        WritePen(pWriter, object.line.pen);
        break;
    case VOBJ_RECTANGLE:
        WriteTwoPoints(pWriter, object.rect.pt1, object.rect.pt2);
        WritePen(pWriter, object.rect.pen);
        WriteBrush(pWriter, object.rect.brush);
        break;
    case VOBJ_CURVEOPENED:
        WritePoints(pWriter, object.polyline.pPoints, object.polyline.nPoints);
        WritePen(pWriter, object.polyline.pen);
        break;
    case VOBJ_CURVECLOSED:
        WritePoints(pWriter, object.polygon.pPoints, object.polygon.nPoints);
        WritePen(pWriter, object.polygon.pen);
        WriteBrush(pWriter, object.polygon.brush);
        break;
    case VOBJ_ELLIPSE:
        WritePoint(pWriter, "center", object.ellipse.ptCenter);
        JsonPair(pWriter, "radius", object.ellipse.dRadiusX, object.ellipse.dRadiusY);
        WritePen(pWriter, object.ellipse.pen);
        WriteBrush(pWriter, object.ellipse.brush);
        break;
    case VOBJ_CIRCLE:
        WritePoint(pWriter, "center", object.circle.ptCenter);
        JsonDouble(pWriter, "radius", object.circle.dRadius);
        WritePen(pWriter, object.circle.pen);
        WriteBrush(pWriter, object.circle.brush);
        break;
    case VOBJ_ARC:
        WritePoint(pWriter, "center", object.arc.ptCenter);
        JsonDouble(pWriter, "radius", object.arc.dRadius);
        JsonDouble(pWriter, "start", object.arc.dStartAngle);
        JsonDouble(pWriter, "sweep", object.arc.dSweep);
        WritePen(pWriter, object.arc.pen);
        break;
    case VOBJ_ELLIPTICALARC:
        WritePoint(pWriter, "center", object.ellipticalArc.ptCenter);
        JsonPair(pWriter, "radius", object.ellipticalArc.dRadiusX, object.ellipticalArc.dRadiusY);
        JsonDouble(pWriter, "start", object.ellipticalArc.dStartAngle);
        JsonDouble(pWriter, "sweep", object.ellipticalArc.dSweep);
        WritePen(pWriter, object.ellipticalArc.pen);
        break;
    case VOBJ_TEXTA:
        WriteText(pWriter, object.text);
        break;
    }
}

int WriteOneObject(_VECTORHANDLE* pHandle, _VECTOROBJECT* pObject, void* pUser)
{
    JsonWriter* pWriter = static_cast<JsonWriter*>(pUser);
    uint32_t nType = pObject->nType;
    if (FindObjectType(nType) < 0) {
        JsonBeginObject(pWriter, nullptr, 0);
        JsonString(pWriter, "type", ObjectTypeNameOf(nType));
        JsonUnsigned(pWriter, "code", nType);
        JsonEndObject(pWriter);
        return MIF_OK;
    }
    _VECTORANYOBJECT object;
    memset(&object, 0, sizeof object);
    int nRet = Z_VecGetObjectA(pHandle, pObject, nType, &object);
    if (nRet != MIF_OK)
        return nRet;
    JsonBeginObject(pWriter, nullptr, 0);
    JsonString(pWriter, "type", ObjectTypeNameOf(nType));
    JsonUnsigned(pWriter, "code", nType);
    WriteObjectFields(pWriter, nType, object);
    JsonEndObject(pWriter);
    Z_VecFreeObject(nType, &object);
    return MIF_OK;
}

}  // namespace

const char* ObjectTypeNameOf(uint32_t nType)
{
    int nIndex = FindObjectType(nType);
    return nIndex >= 0 ? OBJECT_TYPE_NAMES[nIndex].pszName : "unknown";
}

int CountObjects(_VECTORHANDLE* pHandle, ObjectCounts* pCounts)
{
    memset(pCounts, 0, sizeof *pCounts);
    return Z_VecEnumObjects(pHandle, CountOneObject, pCounts, 0);
}

void WriteObjectCounts(JsonWriter* pWriter, const char* pszKey, const ObjectCounts* pCounts)
{
    JsonBeginObject(pWriter, pszKey, 0);
    for (int i = 0; i < OBJECT_TYPE_COUNT; ++i)
        if (pCounts->anByType[i] != 0)
            JsonUnsigned(pWriter, OBJECT_TYPE_NAMES[i].pszName, pCounts->anByType[i]);
    if (pCounts->nOther != 0)
        JsonUnsigned(pWriter, "unknown", pCounts->nOther);
    JsonEndObject(pWriter);
}

int WriteDrawingObjects(JsonWriter* pWriter, _VECTORHANDLE* pHandle)
{
    JsonBeginArray(pWriter, "objects", 1);
    int nRet = Z_VecEnumObjects(pHandle, WriteOneObject, pWriter, 0);
    JsonEndArray(pWriter);
    return nRet;
}

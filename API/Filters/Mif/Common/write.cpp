// write.cpp - the MIF writers: header, object dispatcher, objects, clauses.
//
// Every object writer follows one pattern: its own lines first, then its
// clause lines (pen, then brush), stopping at the first failure. The pattern
// is written once, in SaveClauses.
#include "write.h"

#include <string.h>

#include "read.h"

int SaveHeader(CMifFile* pFile) {
    static const char* const s_apszHeader[] = {
        "VERSION 450\r\n",
        "Charset \"WindowsLatin1\"\r\n",
        "COLUMNS 1\r\n",
        "    ID decimal(10,0)\r\n",
        "DATA\r\n",
    };
    for (const char* pszLine : s_apszHeader) {
        int nRet = pFile->WriteText(pszLine, strlen(pszLine));
        if (nRet != MIF_OK)
            return nRet;
    }
    return MIF_OK;
}

// ---------------------------------------------------------------------------
// Clauses
// ---------------------------------------------------------------------------

int SavePen(_VECTORPEN* pPen, CMifFile* pFile) {
    bool bStyled = pPen->bSolidOverride == 0 && pPen->nStyle >= VPEN_DASH && pPen->nStyle <= VPEN_NULL;
    uint32_t nColor = SwapColorBytes(pPen->crColor);
    // A solid black pen is what a MIF reader assumes without a PEN line.
    if (!bStyled && nColor == 0)
        return MIF_OK;
    int32_t nPattern = PatternFromPenStyle(bStyled ? pPen->nStyle : static_cast<uint32_t>(VPEN_SOLID));
    return MifWriteFormat(pFile, "PEN (%d, %d, %d)\r\n", 1, nPattern, static_cast<int>(nColor));
}

// Writes the BRUSH line of a plain brush, whatever its colour and fill.
static int SaveBrushPattern(_VECTORBRUSH* pBrush, CMifFile* pFile) {
    int32_t nPattern = PatternFromBrush(pBrush->nStyle, pBrush->nHatch);
    return MifWriteFormat(pFile, "BRUSH (%d, %d)\r\n", nPattern,
                          static_cast<int>(SwapColorBytes(pBrush->crColor)));
}

int SaveBrush(_VECTORBRUSH* pBrush, CMifFile* pFile) {
    if (pBrush->nKind != 0)
        return MIF_OK;
    return SaveBrushPattern(pBrush, pFile);
}

int SaveSymbol(_VECTORVERTEX* pVertex, CMifFile* pFile) {
    if (pVertex->pen.crColor == 0)
        return MIF_OK;
    return MifWriteFormat(pFile, "SYMBOL (32, %d, 1)\r\n",
                          static_cast<int>(SwapColorBytes(pVertex->pen.crColor)));
}

// The clause lines after an object's own lines (nRet: how writing those
// went): the pen, then the brush, each only after success so far.
int SaveClauses(int nRet, _VECTORPEN* pPen, _VECTORBRUSH* pBrush, CMifFile* pFile) {
    if (nRet == MIF_OK && pPen != nullptr)
        nRet = SavePen(pPen, pFile);
    if (nRet == MIF_OK && pBrush != nullptr)
        nRet = SaveBrush(pBrush, pFile);
    return nRet;
}

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------

int SaveVertex(_VECTORVERTEX* pVertex, CMifFile* pFile) {
    int nRet = MifWriteFormat(pFile, "POINT %lf %lf\r\n", pVertex->pt.x, pVertex->pt.y);
    return nRet == MIF_OK ? SaveSymbol(pVertex, pFile) : nRet;
}

int SaveLine(_VECTORLINE* pLine, CMifFile* pFile) {
    int nRet = MifWriteFormat(pFile, "LINE %lf %lf %lf %lf\r\n", pLine->pt1.x, pLine->pt1.y,
                              pLine->pt2.x, pLine->pt2.y);
    return SaveClauses(nRet, &pLine->pen, nullptr, pFile);
}

int SaveRect(_VECTORRECTANGLE* pRect, CMifFile* pFile) {
    int nRet = MifWriteFormat(pFile, "RECT %lf %lf %lf %lf\r\n", pRect->pt1.x, pRect->pt1.y,
                              pRect->pt2.x, pRect->pt2.y);
    return SaveClauses(nRet, &pRect->pen, &pRect->brush, pFile);
}

// The box of an ellipse or arc around its centre.
int SaveBox(CMifFile* pFile, const char* pszKeyword, const _VECTORPOINT& center, double dRadiusX,
            double dRadiusY) {
    return MifWriteFormat(pFile, "%s %lf %lf %lf %lf\r\n", pszKeyword, center.x - dRadiusX,
                          center.y - dRadiusY, center.x + dRadiusX, center.y + dRadiusY);
}

// The box line and the angle line of an arc, as one piece of text.
int SaveArcLines(CMifFile* pFile, const _VECTORPOINT& center, double dRadiusX, double dRadiusY,
                 double dStart, double dSweep) {
    return MifWriteFormat(pFile, "ARC %lf %lf %lf %lf\r\n%lf %lf\r\n", center.x - dRadiusX,
                          center.y - dRadiusY, center.x + dRadiusX, center.y + dRadiusY, dStart,
                          dStart + dSweep);
}

int SaveEllipse(_VECTORELLIPSE* pEllipse, CMifFile* pFile) {
    int nRet = SaveBox(pFile, "ELLIPSE", pEllipse->ptCenter, pEllipse->dRadiusX, pEllipse->dRadiusY);
    return SaveClauses(nRet, &pEllipse->pen, &pEllipse->brush, pFile);
}

int SaveCircle(_VECTORCIRCLE* pCircle, CMifFile* pFile) {
    int nRet = SaveBox(pFile, "ELLIPSE", pCircle->ptCenter, pCircle->dRadius, pCircle->dRadius);
    return SaveClauses(nRet, &pCircle->pen, &pCircle->brush, pFile);
}

int SaveArc(_VECTORARC* pArc, CMifFile* pFile) {
    int nRet = SaveArcLines(pFile, pArc->ptCenter, pArc->dRadius, pArc->dRadius, pArc->dStartAngle,
                            pArc->dSweep);
    return SaveClauses(nRet, &pArc->pen, nullptr, pFile);
}

int SaveEllipticalArc(_VECTORELLIPTICALARC* pArc, CMifFile* pFile) {
    int nRet = SaveArcLines(pFile, pArc->ptCenter, pArc->dRadiusX, pArc->dRadiusY,
                            pArc->dStartAngle, pArc->dSweep);
    return SaveClauses(nRet, &pArc->pen, nullptr, pFile);
}

// One line per vertex, in array order.
int SaveVertexLines(const _VECTORPOINT* pPoints, int32_t nPoints, CMifFile* pFile) {
    int nRet = MIF_OK;
    for (int32_t i = 0; i < nPoints && nRet == MIF_OK; ++i)
        nRet = MifWriteFormat(pFile, "%lf %lf\r\n", pPoints[i].x, pPoints[i].y);
    return nRet;
}

int SavePolyline(_VECTORCURVEOPENED* pPolyline, CMifFile* pFile) {
    int nRet = MifWriteFormat(pFile, "PLINE %d\r\n", pPolyline->nPoints);
    if (nRet == MIF_OK)
        nRet = SaveVertexLines(pPolyline->pPoints, pPolyline->nPoints, pFile);
    return SaveClauses(nRet, &pPolyline->pen, nullptr, pFile);
}

int SavePolygon(_VECTORCURVECLOSED* pPolygon, CMifFile* pFile) {
    int nRet = MifWriteFormat(pFile, "REGION 1\r\n%d\r\n", pPolygon->nPoints);
    if (nRet == MIF_OK)
        nRet = SaveVertexLines(pPolygon->pPoints, pPolygon->nPoints, pFile);
    return SaveClauses(nRet, &pPolygon->pen, &pPolygon->brush, pFile);
}

int SaveFont(_VECTORTEXTA* pText, CMifFile* pFile) {
    char szFace[sizeof(pText->font.szFaceName) + 1];
    Z_MemoryCopy(szFace, pText->font.szFaceName, sizeof(pText->font.szFaceName));
    szFace[sizeof(pText->font.szFaceName)] = '\0';  // a full field has no NUL
    int nStyle = (pText->font.nWeight > 500 ? 1 : 0) | (pText->font.bItalic ? 2 : 0) |
                 (pText->font.bUnderline ? 4 : 0);
    // Black Arial is what a MIF reader assumes without a FONT line.
    if (MifEqualNoCase(szFace, "Arial", sizeof("Arial")) && pText->pen.crColor == 0)
        return MIF_OK;
    return MifWriteFormat(pFile, "FONT (\"%s\", %d, %d, %d)\r\n", szFace, nStyle, 0,
                          static_cast<int>(SwapColorBytes(pText->pen.crColor)));
}

const char* JustificationWord(uint32_t uFormat) {
    if (uFormat & VTEXT_CENTER)
        return "Center";
    return (uFormat & VTEXT_RIGHT) ? "Right" : "Left";
}

int SaveText(_VECTORTEXTA* pText, CMifFile* pFile, _VECTORPOINT* pMin, _VECTORPOINT* pMax) {
    double dLeft = pMin->x < pMax->x ? pMin->x : pMax->x;
    double dRight = pMin->x < pMax->x ? pMax->x : pMin->x;
    double dBottom = pMin->y < pMax->y ? pMin->y : pMax->y;
    double dTop = pMin->y < pMax->y ? pMax->y : pMin->y;
    // The kernel measures a text's box down from its anchor; a text anchored
    // at its middle or bottom stands higher by half or all of its height.
    double dRaise = 0.0;
    if (pText->uFormat & VTEXT_VCENTER)
        dRaise = (dTop - dBottom) * 0.5;
    else if (pText->uFormat & VTEXT_BOTTOM)
        dRaise = dTop - dBottom;
    const char* pszString = pText->pszText != nullptr ? pText->pszText : "";
    int nRet = MifWriteFormat(pFile, "TEXT \"%s\"\r\n%lf %lf %lf %lf\r\n", pszString, dLeft,
                              dTop + dRaise, dRight, dBottom + dRaise);
    if (nRet == MIF_OK)
        nRet = SaveFont(pText, pFile);
    if (nRet == MIF_OK)
        nRet = MifWriteFormat(pFile, "Justify %s\r\n", JustificationWord(pText->uFormat));
    return nRet;
}

// ---------------------------------------------------------------------------
// Object dispatcher
// ---------------------------------------------------------------------------

bool IsWrittenType(uint32_t nType) {
    switch (nType) {
    case VOBJ_VERTEX: case VOBJ_LINE: case VOBJ_RECTANGLE: case VOBJ_CURVEOPENED:
    case VOBJ_CURVECLOSED: case VOBJ_ELLIPSE: case VOBJ_CIRCLE: case VOBJ_ARC:
    case VOBJ_ELLIPTICALARC: case VOBJ_TEXTA:
        return true;
    default:
        return false;
    }
}

// Hands a copy of a non-text object to the writer of its type.
int SaveObjectCopy(uint32_t nType, _VECTORANYOBJECT* pCopy, CMifFile* pFile) {
    switch (nType) {
    case VOBJ_VERTEX: return SaveVertex(&pCopy->vertex, pFile);
    case VOBJ_LINE: return SaveLine(&pCopy->line, pFile);
    case VOBJ_RECTANGLE: return SaveRect(&pCopy->rect, pFile);
    case VOBJ_CURVEOPENED: return SavePolyline(&pCopy->polyline, pFile);
    case VOBJ_CURVECLOSED: return SavePolygon(&pCopy->polygon, pFile);
    case VOBJ_ELLIPSE: return SaveEllipse(&pCopy->ellipse, pFile);
    case VOBJ_CIRCLE: return SaveCircle(&pCopy->circle, pFile);
    case VOBJ_ARC: return SaveArc(&pCopy->arc, pFile);
    default: return SaveEllipticalArc(&pCopy->ellipticalArc, pFile);
    }
}

// A text needs its parallelogram beside its record.
int SaveTextCopy(_VECTORHANDLE* pHandle, _VECTOROBJECT* pObject, _VECTORTEXTA* pText,
                 CMifFile* pFile) {
    _VECTORPOINT ptMin;
    _VECTORPOINT ptMax;
    Z_MemorySet(&ptMin, 0, sizeof(ptMin));
    Z_MemorySet(&ptMax, 0, sizeof(ptMax));
    int nRet = Z_VecGetObjectParallelogram(pHandle, pObject, &ptMin, &ptMax, 0);
    if (nRet != MIF_OK)
        return nRet;
    return SaveText(pText, pFile, &ptMin, &ptMax);
}

int SaveObject(_VECTORHANDLE* pHandle, _VECTOROBJECT* pObject, void* pUserData) {
    _MIFSAVECONTEXT* pContext = static_cast<_MIFSAVECONTEXT*>(pUserData);
    uint32_t nType = pObject->nType;
    if (!IsWrittenType(nType))
        return MIF_OK;
    int nRet = MifWriteFormat(&pContext->MidFile, "%d\r\n", pContext->nNextID++);
    if (nRet != MIF_OK)
        return nRet;

    _VECTORANYOBJECT copy;
    Z_MemorySet(&copy, 0, sizeof(copy));
    nRet = Z_VecGetObjectA(pHandle, pObject, nType, &copy);
    if (nRet != MIF_OK)
        return nRet;
    if (nType == VOBJ_TEXTA)
        nRet = SaveTextCopy(pHandle, pObject, &copy.text, &pContext->MifFile);
    else
        nRet = SaveObjectCopy(nType, &copy, &pContext->MifFile);
    Z_VecFreeObject(nType, &copy);
    return nRet;
}

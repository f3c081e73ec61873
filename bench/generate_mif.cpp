// generate_mif.cpp - writes a large, deterministic MIF drawing and its .mid
// file for the benchmarks.
//
//   generate_mif OUT.mif MEGABYTES [SEED]
//
// The drawing looks like projected survey data (metres around x 2.5e6,
// y 6.7e6, six decimals, CR LF): polylines of 2 to 50 vertices and some
// with several sections, regions of 1 to 3 polygons of 4 to 200 vertices,
// points with SYMBOL, lines with PEN, texts with FONT, Justify and Angle,
// and RECT, ROUNDRECT, ELLIPSE and ARC, with PEN and BRUSH clauses drawn
// from a small palette as real files repeat a handful of styles. Objects
// are written until the file reaches the size asked for; the same seed
// always gives the same bytes, and a smaller drawing is the beginning of a
// larger one. The .mid file holds one ID row per object.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// splitmix64: tiny, fast, and the same sequence on every platform.
struct Random {
    uint64_t nState;
};

uint64_t NextBits(Random* pRandom) {
    uint64_t z = (pRandom->nState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// An integer in [nLow, nHigh].
int Between(Random* pRandom, int nLow, int nHigh) {
    return nLow + int(NextBits(pRandom) % uint64_t(nHigh - nLow + 1));
}

// A double in [dLow, dHigh).
double Uniform(Random* pRandom, double dLow, double dHigh) {
    return dLow + (dHigh - dLow) * double(NextBits(pRandom) >> 11) * 0x1.0p-53;
}

constexpr double kCentreX = 2500000.0;
constexpr double kCentreY = 6700000.0;
constexpr double kHalfSpan = 100000.0;  // a 200 km square
constexpr double kPi = 3.14159265358979323846;

const int s_anColors[] = {0,        255,      65280,    16711680, 8421504,  12632256,
                          16776960, 65535,    16711935, 32768,    8388608,  128,
                          10526880, 15790320, 6316128,  2263842};
const char* const s_apszFaces[] = {"Arial", "Times New Roman", "Courier New", "Verdana"};
const char* const s_apszJustify[] = {"Left", "Center", "Right"};
const char* const s_apszNames[] = {"Millbrook", "North Road", "Lake Ellen", "Station",
                                   "Old Mill",  "Harbour",    "Ridge 4",    "Farm"};

int PickColor(Random* pRandom) {
    return s_anColors[NextBits(pRandom) % (sizeof(s_anColors) / sizeof(s_anColors[0]))];
}

// Appends text by a printf format.
void Append(std::string* pOut, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string* pOut, const char* pszFormat, ...) {
    char szPiece[256];
    va_list args;
    va_start(args, pszFormat);
    int n = vsnprintf(szPiece, sizeof szPiece, pszFormat, args);
    va_end(args);
    if (n > 0)
        pOut->append(szPiece, size_t(n) < sizeof szPiece ? size_t(n) : sizeof szPiece - 1);
}

void AppendPoint(std::string* pOut, const char* pszIndent, double dX, double dY) {
    Append(pOut, "%s%.6f %.6f\r\n", pszIndent, dX, dY);
}

// Mostly solid pens of width 1 to 3, some dashed.
void AppendPen(std::string* pOut, Random* pRandom) {
    static const int anPatterns[] = {2, 2, 2, 2, 2, 3, 5, 14};
    Append(pOut, "    Pen (%d,%d,%d)\r\n", Between(pRandom, 1, 3), anPatterns[NextBits(pRandom) % 8],
           PickColor(pRandom));
}

// Mostly solid fills, some hatched, some with a background colour.
void AppendBrush(std::string* pOut, Random* pRandom) {
    int nPattern = Between(pRandom, 0, 9) < 7 ? 2 : Between(pRandom, 1, 8);
    if (Between(pRandom, 0, 4) == 0)
        Append(pOut, "    Brush (%d,%d,%d)\r\n", nPattern, PickColor(pRandom), PickColor(pRandom));
    else
        Append(pOut, "    Brush (%d,%d)\r\n", nPattern, PickColor(pRandom));
}

// Where an object sits: anywhere in the square.
void PickAnchor(Random* pRandom, double* pdX, double* pdY) {
    *pdX = kCentreX + Uniform(pRandom, -kHalfSpan, kHalfSpan);
    *pdY = kCentreY + Uniform(pRandom, -kHalfSpan, kHalfSpan);
}

// A box of 5 m to 500 m around an anchor: "x1 y1 x2 y2".
void AppendBox(std::string* pOut, Random* pRandom, const char* pszPrefix) {
    double dX, dY;
    PickAnchor(pRandom, &dX, &dY);
    Append(pOut, "%s%.6f %.6f %.6f %.6f\r\n", pszPrefix, dX, dY, dX + Uniform(pRandom, 5, 500),
           dY + Uniform(pRandom, 5, 500));
}

// A road-like walk of nPoints vertices.
void AppendWalk(std::string* pOut, Random* pRandom, int nPoints) {
    double dX, dY;
    PickAnchor(pRandom, &dX, &dY);
    double dHeading = Uniform(pRandom, 0, 2 * kPi);
    for (int i = 0; i < nPoints; ++i) {
        AppendPoint(pOut, "", dX, dY);
        dHeading += Uniform(pRandom, -0.6, 0.6);
        double dStep = Uniform(pRandom, 10, 300);
        dX += dStep * std::cos(dHeading);
        dY += dStep * std::sin(dHeading);
    }
}

// A simple closed ring of nPoints vertices (the last repeats the first),
// star-shaped around its centre so that it never crosses itself.
void AppendRing(std::string* pOut, Random* pRandom, double dX, double dY, double dRadius, int nPoints) {
    Append(pOut, "  %d\r\n", nPoints);
    double dFirstX = 0, dFirstY = 0;
    for (int i = 0; i + 1 < nPoints; ++i) {
        double dAngle = 2 * kPi * i / (nPoints - 1);
        double dR = dRadius * Uniform(pRandom, 0.6, 1.0);
        double dPx = dX + dR * std::cos(dAngle), dPy = dY + dR * std::sin(dAngle);
        if (i == 0) {
            dFirstX = dPx;
            dFirstY = dPy;
        }
        AppendPoint(pOut, "  ", dPx, dPy);
    }
    AppendPoint(pOut, "  ", dFirstX, dFirstY);
}

void AppendPline(std::string* pOut, Random* pRandom) {
    int nPoints = Between(pRandom, 2, 50);
    Append(pOut, "Pline %d\r\n", nPoints);
    AppendWalk(pOut, pRandom, nPoints);
    AppendPen(pOut, pRandom);
}

void AppendPlineMultiple(std::string* pOut, Random* pRandom) {
    int nSections = Between(pRandom, 2, 4);
    Append(pOut, "Pline Multiple %d\r\n", nSections);
    for (int i = 0; i < nSections; ++i) {
        int nPoints = Between(pRandom, 2, 50);
        Append(pOut, "  %d\r\n", nPoints);
        AppendWalk(pOut, pRandom, nPoints);
    }
    AppendPen(pOut, pRandom);
}

// A parcel with up to two holes or islands beside it.
void AppendRegion(std::string* pOut, Random* pRandom) {
    int nPolygons = Between(pRandom, 0, 9) < 7 ? 1 : Between(pRandom, 2, 3);
    Append(pOut, "Region %d\r\n", nPolygons);
    double dX, dY;
    PickAnchor(pRandom, &dX, &dY);
    double dRadius = Uniform(pRandom, 50, 2000);
    for (int i = 0; i < nPolygons; ++i) {
        // Mostly small parcels, now and then a detailed outline.
        int nPoints = Between(pRandom, 0, 9) < 8 ? Between(pRandom, 4, 40) : Between(pRandom, 41, 200);
        double dShift = i == 0 ? 0 : dRadius * 1.5 * i;
        AppendRing(pOut, pRandom, dX + dShift, dY, i == 0 ? dRadius : dRadius * 0.4, nPoints);
    }
    AppendPen(pOut, pRandom);
    AppendBrush(pOut, pRandom);
}

void AppendPointObject(std::string* pOut, Random* pRandom) {
    double dX, dY;
    PickAnchor(pRandom, &dX, &dY);
    Append(pOut, "Point %.6f %.6f\r\n", dX, dY);
    Append(pOut, "    Symbol (%d,%d,%d)\r\n", Between(pRandom, 31, 67), PickColor(pRandom),
           Between(pRandom, 6, 18));
}

void AppendLine(std::string* pOut, Random* pRandom) {
    AppendBox(pOut, pRandom, "Line ");
    AppendPen(pOut, pRandom);
}

void AppendText(std::string* pOut, Random* pRandom) {
    const char* pszName = s_apszNames[NextBits(pRandom) % 8];
    Append(pOut, "Text \"%s %d\"\r\n", pszName, Between(pRandom, 1, 999));
    AppendBox(pOut, pRandom, "  ");
    Append(pOut, "    Font (\"%s\",%d,%d,%d)\r\n", s_apszFaces[NextBits(pRandom) % 4], Between(pRandom, 0, 3),
           Between(pRandom, 0, 12), PickColor(pRandom));
    Append(pOut, "    Justify %s\r\n", s_apszJustify[NextBits(pRandom) % 3]);
    Append(pOut, "    Angle %.1f\r\n", Uniform(pRandom, 0, 360));
}

void AppendRect(std::string* pOut, Random* pRandom) {
    AppendBox(pOut, pRandom, "Rect ");
    AppendPen(pOut, pRandom);
    AppendBrush(pOut, pRandom);
}

void AppendRoundRect(std::string* pOut, Random* pRandom) {
    AppendBox(pOut, pRandom, "Roundrect ");
    Append(pOut, "  %.6f\r\n", Uniform(pRandom, 1, 20));
    AppendPen(pOut, pRandom);
    AppendBrush(pOut, pRandom);
}

void AppendEllipse(std::string* pOut, Random* pRandom) {
    AppendBox(pOut, pRandom, "Ellipse ");
    AppendPen(pOut, pRandom);
    AppendBrush(pOut, pRandom);
}

void AppendArc(std::string* pOut, Random* pRandom) {
    AppendBox(pOut, pRandom, "Arc ");
    double dStart = Uniform(pRandom, 0, 360);
    Append(pOut, "  %.1f %.1f\r\n", dStart, dStart + Uniform(pRandom, 10, 300));
    AppendPen(pOut, pRandom);
}

// One object of the mix; the shares are per hundred objects.
void AppendObject(std::string* pOut, Random* pRandom) {
    int nDraw = Between(pRandom, 0, 99);
    if (nDraw < 30)
        AppendPline(pOut, pRandom);
    else if (nDraw < 35)
        AppendPlineMultiple(pOut, pRandom);
    else if (nDraw < 55)
        AppendRegion(pOut, pRandom);
    else if (nDraw < 70)
        AppendPointObject(pOut, pRandom);
    else if (nDraw < 80)
        AppendLine(pOut, pRandom);
    else if (nDraw < 88)
        AppendText(pOut, pRandom);
    else if (nDraw < 92)
        AppendRect(pOut, pRandom);
    else if (nDraw < 95)
        AppendRoundRect(pOut, pRandom);
    else if (nDraw < 98)
        AppendEllipse(pOut, pRandom);
    else
        AppendArc(pOut, pRandom);
}

const char s_szHeader[] =
    "VERSION 300\r\nCharset \"WindowsLatin1\"\r\nColumns 1\r\n  ID Integer\r\nData\r\n\r\n";

// Writes the drawing and its .mid file; false on any failed write.
bool WriteDrawing(FILE* pMif, FILE* pMid, uint64_t nTargetBytes, uint64_t nSeed) {
    Random random = {nSeed};
    std::string object;
    uint64_t nWritten = sizeof(s_szHeader) - 1;
    bool bOk = fwrite(s_szHeader, 1, nWritten, pMif) == nWritten;
    for (long nID = 1; bOk && nWritten < nTargetBytes; ++nID) {
        object.clear();
        AppendObject(&object, &random);
        bOk = fwrite(object.data(), 1, object.size(), pMif) == object.size() &&
              fprintf(pMid, "%ld\r\n", nID) > 0;
        nWritten += object.size();
    }
    return bOk;
}

// OUT.mif gives OUT.mid; any other name gets ".mid" appended.
std::string MidPathOf(const std::string& mifPath) {
    size_t nLength = mifPath.size();
    if (nLength > 4 && mifPath.compare(nLength - 4, 4, ".mif") == 0)
        return mifPath.substr(0, nLength - 4) + ".mid";
    return mifPath + ".mid";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fputs("usage: generate_mif OUT.mif MEGABYTES [SEED]\n", stderr);
        return 2;
    }
    double dMegabytes = atof(argv[2]);
    uint64_t nSeed = argc == 4 ? strtoull(argv[3], nullptr, 10) : 20240601u;
    if (!(dMegabytes > 0)) {
        fputs("generate_mif: MEGABYTES must be positive\n", stderr);
        return 2;
    }
    std::string mifPath = argv[1];
    std::string midPath = MidPathOf(mifPath);
    FILE* pMif = fopen(mifPath.c_str(), "wb");
    FILE* pMid = pMif ? fopen(midPath.c_str(), "wb") : nullptr;
    bool bOk = pMif && pMid && WriteDrawing(pMif, pMid, uint64_t(dMegabytes * 1e6), nSeed);
    if (pMid && fclose(pMid) != 0)
        bOk = false;
    if (pMif && fclose(pMif) != 0)
        bOk = false;
    if (!bOk) {
        fprintf(stderr, "generate_mif: cannot write %s and %s\n", mifPath.c_str(), midPath.c_str());
        remove(mifPath.c_str());
        remove(midPath.c_str());
        return 1;
    }
    return 0;
}

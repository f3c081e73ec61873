// ogr_read.cpp - the peer's read for the benchmarks: opens a drawing with
// the GDAL/OGR library and visits every vertex of every feature, so that
// the whole file is parsed as the MIF filter's load parses it.
//
//   ogr_read FILE.mif
//
// Prints the feature count, the vertex count and the sum of the
// coordinates (which keeps the compiler from skipping the visit).
#include <gdal.h>
#include <ogr_api.h>

#include <cstdio>

namespace {

struct Visit {
    long long nFeatures;
    long long nVertices;
    double dSum;
};

void VisitGeometry(OGRGeometryH hGeometry, Visit* pVisit) {
    int nParts = OGR_G_GetGeometryCount(hGeometry);
    for (int i = 0; i < nParts; ++i)
        VisitGeometry(OGR_G_GetGeometryRef(hGeometry, i), pVisit);
    if (nParts > 0)
        return;
    int nPoints = OGR_G_GetPointCount(hGeometry);
    for (int i = 0; i < nPoints; ++i) {
        double dX = 0, dY = 0, dZ = 0;
        OGR_G_GetPoint(hGeometry, i, &dX, &dY, &dZ);
        pVisit->dSum += dX + dY;
    }
    pVisit->nVertices += nPoints;
}

void VisitLayer(OGRLayerH hLayer, Visit* pVisit) {
    OGR_L_ResetReading(hLayer);
    for (OGRFeatureH hFeature; (hFeature = OGR_L_GetNextFeature(hLayer)) != nullptr;) {
        OGRGeometryH hGeometry = OGR_F_GetGeometryRef(hFeature);
        if (hGeometry != nullptr)
            VisitGeometry(hGeometry, pVisit);
        ++pVisit->nFeatures;
        OGR_F_Destroy(hFeature);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: ogr_read FILE.mif\n", stderr);
        return 2;
    }
    GDALAllRegister();
    GDALDatasetH hDataset = GDALOpenEx(argv[1], GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (hDataset == nullptr) {
        fprintf(stderr, "ogr_read: cannot open %s\n", argv[1]);
        return 1;
    }
    Visit visit = {0, 0, 0.0};
    for (int i = 0; i < GDALDatasetGetLayerCount(hDataset); ++i)
        VisitLayer(GDALDatasetGetLayer(hDataset, i), &visit);
    GDALClose(hDataset);
    printf("features %lld vertices %lld sum %.6f\n", visit.nFeatures, visit.nVertices, visit.dSum);
    return 0;
}

// corpus_test.cpp - real MIF files written by other programs: what the
// filter makes of each, and that saving and reloading what loaded keeps it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "mif_test_support.h"

using miftest::Drawing;
using miftest::Object;
using miftest::TempDir;

namespace {

struct CorpusCase { const char* pszPath; int nRet; size_t nObjects; const char* pszWhy; };  // path below the corpus

// Most refusals are by VERSION: files of current desktop GIS carry 650 to
// 1520, outside the versions the format's reader accepts.
const CorpusCase kCorpus[] = {
    {"OSGeo__gdal/autotest/ogr/data/mitab/all_geoms.mif", MIF_END, 4,
     "'Pen(' without a space after a PLINE: the pen clause ends early and stops the load"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/all_possible_fields.mif", MIF_ERR_FORMAT, 0, "VERSION 900"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/empty_first_field_with_tab_delimiter.mif", VEC_ERR_EMPTY, 0,
     "only NONE objects"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/multilinemid.mif", MIF_ERR_FORMAT, 0, "VERSION 410"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/nomid.mif", MIF_OK, 2, "two regions, CR LF"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/proj_34.mif", MIF_ERR_FORMAT, 0, "VERSION 1200"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/proj_35.mif", MIF_ERR_FORMAT, 0, "VERSION 1252"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/single_field.mif", VEC_ERR_EMPTY, 0, "only NONE objects"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/small.mif", MIF_OK, 2, "a column named DATA ends the header early"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/small_ntf.mif", MIF_OK, 2, "a blank line inside the header"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/utf8.mif", MIF_ERR_FORMAT, 0, "VERSION 1520"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/win1251.mif", MIF_OK, 3, "point, polyline, region"},
    {"OSGeo__gdal/autotest/ogr/data/mitab/win1251_text.mif", MIF_ERR_FORMAT, 0, "VERSION 650"},
    {"aspose-gis__Aspose.GIS-for-.NET/Examples/Data/data.mif", MIF_OK, 21, "PLINE MULTIPLE, many regions"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/L41_SahkoLinja.mif",
     MIF_ERR_FORMAT, 0, "VERSION 900"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/empty_fields.MIF",
     MIF_ERR_FORMAT, 0, "VERSION 750"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/gk23_kiinteistoraja.mif",
     MIF_OK, 1, "one line with 8-digit eastings"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/has_explicit_bounds.mif",
     MIF_ERR_FORMAT, 0, "VERSION 750"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/kenro_alue_maarajat.MIF",
     MIF_ERR_FORMAT, 0, "VERSION 750"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/test_no_mid.MIF",
     MIF_ERR_FORMAT, 0, "VERSION 750"},
    {"oskariorg__oskari-server/geotools-ext/gt-mif/src/test/resources/org/geotools/mif/textstring_separate_line.mif",
     MIF_OK, 1, "a TEXT string on the line after its keyword is dropped"},
    {"oskariorg__oskari-server/service-userlayer/src/test/resources/org/oskari/map/userlayer/input/kenro_alue_maarajat.MIF",
     MIF_ERR_FORMAT, 0, "VERSION 750"},
    {"oskariorg__oskari-server/service-userlayer/src/test/resources/org/oskari/map/userlayer/input/tm35fin_kiinteistoraja.mif",
     MIF_OK, 86, "82 lines and 4 polylines"},
    {"robertleeplummerjr__mapinfo.js/example.mif", MIF_ERR_FORMAT, 0, "VERSION 400"},
};

std::string CorpusPath(const char* pszPath) {
    return std::string(MIF_CORPUS_DIR) + "/" + pszPath;
}

std::map<uint32_t, size_t> CountByType(const std::vector<Object>& objects) {
    std::map<uint32_t, size_t> counts;
    for (const Object& object : objects) ++counts[object.nType];
    return counts;
}

}  // namespace

TEST(Corpus, EveryFileGivesItsResult) {
    for (const CorpusCase& c : kCorpus) {
        SCOPED_TRACE(std::string(c.pszPath) + ": " + c.pszWhy);
        if (!miftest::FileExists(CorpusPath(c.pszPath)))
            GTEST_SKIP() << "the shared corpus is not beside the project";
        Drawing drawing;
        EXPECT_EQ(miftest::LoadPath(CorpusPath(c.pszPath), &drawing.h), c.nRet);
        EXPECT_EQ(miftest::Objects(&drawing.h).size(), c.nObjects);
    }
}

TEST(Corpus, WhatLoadedSurvivesASaveAndALoad) {
    TempDir dir;
    for (const CorpusCase& c : kCorpus) {
        if (c.nRet != MIF_OK) continue;
        SCOPED_TRACE(c.pszPath);
        Drawing first;
        if (miftest::LoadPath(CorpusPath(c.pszPath), &first.h) != MIF_OK)
            continue;  // reported by the test above
        std::string saved = dir.Path("saved.mif");
        ASSERT_EQ(miftest::SavePath(saved, &first.h), MIF_OK);
        Drawing second;
        ASSERT_EQ(miftest::LoadPath(saved, &second.h), MIF_OK);
        EXPECT_EQ(CountByType(miftest::Objects(&second.h)), CountByType(miftest::Objects(&first.h)));
        EXPECT_DOUBLE_EQ(second.h.ptMin.x, first.h.ptMin.x);
        EXPECT_DOUBLE_EQ(second.h.ptMax.y, first.h.ptMax.y);
    }
}

// locale_test.cpp - a host that runs under a locale with a decimal comma
// (de_DE.UTF-8) gets from the filter exactly what a host under "C" gets:
// the same objects, field by field, and the same saved bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "mif_test_support.h"
#include "representative_files.h"

using miftest::Drawing;
using miftest::TempDir;

namespace {


// Everything the filter makes of one file: the loaded objects as flat bytes
// (records, points, strings, extents) and the two saved files.
struct Outcome { int nLoad = 0; std::string objects; int nSave = 0; std::string mif; std::string mid; };

template <class T> void AppendBytes(std::string* pOut, const T* pData, size_t nCount) {
    pOut->append(reinterpret_cast<const char*>(pData), nCount * sizeof(T));
}

Outcome LoadAndSave(const char* pszPath) {
    Outcome outcome;
    TempDir dir;
    Drawing drawing;
    outcome.nLoad = miftest::LoadPath(pszPath, &drawing.h);
    for (const miftest::Object& object : miftest::Objects(&drawing.h)) {
        AppendBytes(&outcome.objects, object.record.data(), object.record.size());
        AppendBytes(&outcome.objects, object.points.data(), object.points.size());
        outcome.objects += object.text;
        AppendBytes(&outcome.objects, &object.ptMin, 1);
        AppendBytes(&outcome.objects, &object.ptMax, 1);
    }
    outcome.nSave = miftest::SavePath(dir.Path("out.mif"), &drawing.h);
    outcome.mif = miftest::ReadBytes(dir.Path("out.mif"));
    outcome.mid = miftest::ReadBytes(dir.Path("out.mid"));
    return outcome;
}

// Switches the whole process to a locale and back to "C" at the end.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* pszName) : m_bSet(setlocale(LC_ALL, pszName) != nullptr) {}
    ~ProcessLocale() { setlocale(LC_ALL, "C"); }
    bool IsSet() const { return m_bSet; }

private:
    bool m_bSet;
};

}  // namespace

TEST(Locale, DecimalCommaChangesNeitherTheDrawingNorTheSavedBytes) {
    std::vector<Outcome> inC;
    for (const char* pszPath : miftest::kRepresentativeFiles) inC.push_back(LoadAndSave(pszPath));

    ProcessLocale german("de_DE.UTF-8");
    if (!german.IsSet())
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    ASSERT_STREQ(localeconv()->decimal_point, ",");
    for (size_t i = 0; i < inC.size(); ++i) {
        SCOPED_TRACE(miftest::kRepresentativeFiles[i]);
        ASSERT_EQ(inC[i].nLoad, MIF_OK) << "the file is in the corpus beside the project";
        ASSERT_EQ(inC[i].nSave, MIF_OK);
        Outcome inGerman = LoadAndSave(miftest::kRepresentativeFiles[i]);
        EXPECT_EQ(inGerman.nLoad, MIF_OK);
        EXPECT_EQ(inGerman.nSave, MIF_OK);
        EXPECT_TRUE(inGerman.objects == inC[i].objects) << "the loaded objects differ";
        EXPECT_EQ(inGerman.mif, inC[i].mif);
        EXPECT_EQ(inGerman.mid, inC[i].mid);
    }
}

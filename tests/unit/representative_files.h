// representative_files.h - a few files with every object type between them
// (ours and the corpus's), for the tests that repeat one operation over
// representative input.
#ifndef TESTS_UNIT_REPRESENTATIVE_FILES_H
#define TESTS_UNIT_REPRESENTATIVE_FILES_H

#include <stddef.h>

namespace miftest {

inline const char* const kRepresentativeFiles[] = {
    MIF_EXAMPLES_DIR "/example.mif",
    MIF_TEST_DATA_DIR "/every_object.mif",
    MIF_CORPUS_DIR "/OSGeo__gdal/autotest/ogr/data/mitab/win1251.mif",
    MIF_CORPUS_DIR "/OSGeo__gdal/autotest/ogr/data/mitab/nomid.mif",
    MIF_CORPUS_DIR "/aspose-gis__Aspose.GIS-for-.NET/Examples/Data/data.mif",
};
inline const size_t kRepresentativeFileCount = sizeof(kRepresentativeFiles) / sizeof(kRepresentativeFiles[0]);

}  // namespace miftest

#endif  // TESTS_UNIT_REPRESENTATIVE_FILES_H

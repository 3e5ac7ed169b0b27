#include "test_archive_support.h"

#include <QTest>

QTEST_GUILESS_MAIN(ArchiveSupportTest)

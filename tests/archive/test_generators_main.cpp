#include "tests/archive/test_generators.h"

#include <QTest>

QTEST_GUILESS_MAIN(GeneratorsTest)

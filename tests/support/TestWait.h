#pragma once

// Included first in every test source (tests/support/CMakeLists.txt). A condition a test waits for can take
// many seconds on a machine busy with other work, and a QTRY_* wait ends the moment its condition holds, so
// the default wait is long; one that gives up fails the test at its line, naming the condition.
#include <QtTest/qtestcase.h>

#define PENHOLLOW_TRY_TIMEOUT 20000

#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, PENHOLLOW_TRY_TIMEOUT)
#undef QTRY_VERIFY2
#define QTRY_VERIFY2(expr, messageExpression)                                                                \
    QTRY_VERIFY2_WITH_TIMEOUT(expr, messageExpression, PENHOLLOW_TRY_TIMEOUT)
#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, PENHOLLOW_TRY_TIMEOUT)

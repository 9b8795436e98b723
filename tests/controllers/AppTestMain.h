#pragma once

#include "controllers/AppDelegate.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

// A test program that starts the application in-process: the process is prepared as main() prepares it.
#define PENHOLLOW_APP_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        AppDelegate::prepareProcess();                                                                       \
        QApplication app(argc, argv);                                                                        \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

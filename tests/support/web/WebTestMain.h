#pragma once

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

// The web engine wants the shared OpenGL context attribute set before the application object exists.
// Test mode keeps what the engine writes to its default places out of the user's folders.
// `prepare` runs before the application object is made (custom URL schemes must be registered then).
#define PENHOLLOW_WEB_TEST_MAIN_PREPARED(TestClass, prepare)                                                 \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                          \
        prepare;                                                                                             \
        QApplication app(argc, argv);                                                                        \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#define PENHOLLOW_WEB_TEST_MAIN(TestClass) PENHOLLOW_WEB_TEST_MAIN_PREPARED(TestClass, (void)0)

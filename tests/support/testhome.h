#pragma once

#include <QtTest>

// Gives a test process a home of its own before anything reads the
// environment: HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and TMPDIR all point
// into a private temporary folder, so a test never touches the real user's
// settings, mail store or contacts. Under CTest the wrapper script has done
// this already and the folder is reused.
namespace TestHome {
QString prepare();
// The private home folder of this test process.
QString path();
// What the program does before it makes any of its objects: the mail
// library's platform handler, the application's names (and so its settings
// file) and the type registrations.
void prepareProgram();
}

// QTEST_MAIN with the private home made first.
#define MAIL_TEST_MAIN(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        TestHome::prepare(); \
        QApplication app(argc, argv); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }

#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test program a home folder of its own (with a Desktop folder), its own settings
// store and the offscreen platform, before the application object exists.
class TestEnvironment
{
public:
    TestEnvironment();
    QString home() const { return m_home.path(); }
    // The library folder the window creates under the test home.
    QString libraryFolder() const;

private:
    QTemporaryDir m_home;
};

#define CORVELLE_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QApplication app(argc, argv);                                                              \
        QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));                            \
        QCoreApplication::setApplicationName(QStringLiteral("Corvelle"));                          \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

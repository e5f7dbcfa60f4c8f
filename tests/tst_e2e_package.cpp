// The Debian packages as a user gets them: made by cpack from this build, unpacked into a
// scratch root, their desktop files checked by the desktop's own validators, and the installed
// client run in a real X display against the installed service until its lists fill.
#include "support/desktopsession.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Run
{
    int exitCode = -1;
    QString output;
};

// Runs a program to its end; a program that cannot start or crashes gives exit code -1.
Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit)
        result.output = process.errorString() + QLatin1Char('\n');
    else
        result.exitCode = process.exitCode();
    result.output += QString::fromLocal8Bit(process.readAll());
    return result;
}
} // namespace

class EndToEndPackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFilesPassTheirValidators_data();
    void installedFilesPassTheirValidators();
    void desktopEntryIconStandsInEveryThemeSize();
    void clientDependsOnTheLibrariesItLinks();
    void installedClientFillsItsListsAndClosesCleanly();

private:
    QString installed(const QString &path) const { return m_scratch.path() + "/root/" + path; }

    QTemporaryDir m_scratch;
    QString m_clientPackage;
};

void EndToEndPackageTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        QSKIP("dpkg-deb is not installed: the packages cannot be made on this system");
    QVERIFY(m_scratch.isValid());
    const QString packages = m_scratch.path() + QStringLiteral("/packages");
    // Packing from the packaging folder's own install rules: cpack then builds nothing before
    // it packs, where the whole build tree would first be brought up to date.
    const Run cpack = run(QStringLiteral(CPACK_COMMAND),
                          {QStringLiteral("--config"), QStringLiteral(CPACK_CONFIG),
                           QStringLiteral("-B"), packages, QStringLiteral("-D"),
                           QStringLiteral("CPACK_INSTALL_CMAKE_PROJECTS=" PACKAGING_BINARY_DIR
                                          ";" PROJECT_NAME ";ALL;/")});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));

    const QFileInfoList debs =
        QDir(packages).entryInfoList({QStringLiteral("*.deb")}, QDir::Files, QDir::Name);
    QCOMPARE(debs.size(), 2);
    for (const QFileInfo &deb : debs) {
        const Run unpack = run(QStringLiteral("dpkg-deb"),
                               {QStringLiteral("-x"), deb.filePath(), installed(QString())});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
        if (deb.fileName().startsWith(QLatin1String("corvelle_")))
            m_clientPackage = deb.filePath();
    }
    QVERIFY(!m_clientPackage.isEmpty());
}

void EndToEndPackageTest::installedFilesPassTheirValidators_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("debianPackage");
    QTest::newRow("desktop entries")
        << "usr/share/applications"
        << "desktop-file-validate" << QStringList() << "desktop-file-utils";
    QTest::newRow("AppStream metadata")
        << "usr/share/metainfo"
        << "appstreamcli" << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net")}
        << "appstream";
}

void EndToEndPackageTest::installedFilesPassTheirValidators()
{
    QFETCH(QString, folder);
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    QFETCH(QString, debianPackage);
    const QFileInfoList files = QDir(installed(folder)).entryInfoList(QDir::Files);
    QVERIFY2(!files.isEmpty(), qPrintable(folder));
    if (QStandardPaths::findExecutable(validator).isEmpty())
        QSKIP(qPrintable(validator + " is not installed (Debian package " + debianPackage + ")"));
    for (const QFileInfo &file : files) {
        const Run check = run(validator, arguments + QStringList{file.filePath()});
        QVERIFY2(check.exitCode == 0, qPrintable(file.fileName() + ":\n" + check.output));
    }
}

void EndToEndPackageTest::desktopEntryIconStandsInEveryThemeSize()
{
    const QFileInfoList entries =
        QDir(installed(QStringLiteral("usr/share/applications"))).entryInfoList(QDir::Files);
    QCOMPARE(entries.size(), 1);
    QSettings entry(entries.first().filePath(), QSettings::IniFormat);
    const QString icon = entry.value(QStringLiteral("Desktop Entry/Icon")).toString();
    QVERIFY(!icon.isEmpty());
    const QString apps = installed(QStringLiteral("usr/share/icons/hicolor/%1/apps/") + icon);
    for (const int size : {48, 128, 256}) {
        const QImage image(apps.arg(QStringLiteral("%1x%1").arg(size)) + QStringLiteral(".png"));
        QCOMPARE(image.size(), QSize(size, size));
    }
    QVERIFY(QFileInfo(apps.arg(QStringLiteral("scalable")) + QStringLiteral(".svg")).isFile());
}

void EndToEndPackageTest::clientDependsOnTheLibrariesItLinks()
{
    const Run depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), m_clientPackage,
                                                         QStringLiteral("Depends")});
    QCOMPARE(depends.exitCode, 0);
    QVERIFY2(depends.output.contains(QLatin1String("libqt5widgets5")), qPrintable(depends.output));
    // The font the form's geometry fits.
    QVERIFY2(depends.output.contains(QLatin1String("fonts-liberation2")),
             qPrintable(depends.output));
}

void EndToEndPackageTest::installedClientFillsItsListsAndClosesCleanly()
{
    DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    session.usePrograms(installed(QStringLiteral("usr/bin/corvelle")),
                        installed(QStringLiteral("usr/bin/corvelle-catalogue-service")));
    QVERIFY2(session.startService(1), qPrintable(session.serviceLog()));
    QVERIFY(session.startClient());
    for (const char *line : {"Articles received:", "Letters received:", "Category Selected:"})
        QVERIFY2(session.waitForClientOutput(QString::fromLatin1(line)), line);
    QCOMPARE(session.closeClient(), 0);
}

CORVELLE_TEST_MAIN(EndToEndPackageTest)
#include "tst_e2e_package.moc"

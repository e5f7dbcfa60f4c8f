// "Start Here.html": its links, and what a real browser (Debian's chromium) shows of it.
#include "library/librarycopier.h"
#include "library/startpage.h"
#include "support/files.h"
#include "support/scratchdrive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

const QString hostileName =
    QStringLiteral("<img src=x onerror=\"document.body.id='pwned'\"><script>"
                   "document.body.id='pwned'</script>");

// What the browser made of a page: the modules it shows, in order, and the links they have.
struct Shown
{
    QStringList names;
    QStringList links;
    QStringList requests; // requests the page made; the browser's own are not counted
};

QString textOf(QString html)
{
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return html.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

} // namespace

class TestStartPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstPageLink_data();
    void firstPageLink();
    void browserShowsTheLibrary_data();
    void browserShowsTheLibrary();
    void driveCopyKeepsItsLinks();

private:
    Shown openInBrowser(const QString &page, const QString &fragment);

    QTemporaryDir m_root;
    QString m_library;
    QString m_chromium;
};

void TestStartPage::initTestCase()
{
    m_chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    m_library = m_root.filePath(QStringLiteral("Tavro Modules"));
    const char *const files[] = {"safe-water/index.html",
                                 "oral-rehydration/index.html",
                                 "oral-rehydration/lesson/start.html",
                                 "hand washing/b.html",
                                 "hand washing/A.htm",
                                 "x-hostile/index.html",
                                 "yellow-fever/notes.txt",
                                 "eclampsia/index.html"};
    for (const char *file : files)
        writeFile(m_library + '/' + file, file);
    const QByteArray index =
        R"({"_id":"safe-water","name":"Safe Drinking Water","description":"Boil or filter it.","version":"1.0","packageSize":"2 MB","launchFile":"safe-water/index.html"}
{"_id":"oral-rehydration","name":"Oral Rehydration","description":"Salts and clean water for diarrhoea.","launchFile":"oral-rehydration/lesson/start.html"}
{"_id":"hand washing","name":"Hand Washing with Soap","description":"<b>Soap</b> & hands"}
not a record
{"_id":"x-hostile","name":)" +
        QJsonDocument(QJsonArray{hostileName}).toJson(QJsonDocument::Compact).mid(1).chopped(1) +
        R"(,"description":"Zinc"}
{"_id":"yellow-fever","name":"Yellow Fever"}
{"_id":"gone","name":"Gone Module"}
{"_id":"eclampsia","name":"Éclampsia"}
)";
    writeFile(LibraryIndex::path(m_library), index);
    QVERIFY(StartPage::write(m_library).ok);
}

void TestStartPage::firstPageLink_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("launchFile");
    QTest::addColumn<QString>("link");
    QTest::newRow("launch file named from the library")
        << "m" << QStringList{"m/lesson/go.html", "m/index.html"} << "m/lesson/go.html"
        << "m/lesson/go.html";
    QTest::newRow("launch file named from its folder")
        << "m" << QStringList{"m/go.html", "m/index.html"} << "go.html"
        << "m/go.html";
    QTest::newRow("launch file missing") << "m" << QStringList{"m/index.html"} << "m/gone.html"
                                         << "m/index.html";
    QTest::newRow("launch file outside the folder")
        << "m" << QStringList{"m/index.html", "other/evil.html"} << "../other/evil.html"
        << "m/index.html";
    QTest::newRow("first page by name")
        << "m" << QStringList{"m/b.html", "m/A.htm", "m/0.txt"} << ""
        << "m/A.htm";
    QTest::newRow("no page") << "m" << QStringList{"m/notes.txt"} << ""
                             << "m/";
    QTest::newRow("names to encode") << "Malaria 2#" << QStringList{"Malaria 2#/Début.html"} << ""
                                     << "Malaria%202%23/D%C3%A9but.html";
    QTest::newRow("no folder") << "m" << QStringList{"other/index.html"} << ""
                               << "";
}

void TestStartPage::firstPageLink()
{
    QFETCH(QString, id);
    QFETCH(QStringList, files);
    QFETCH(QString, launchFile);
    QFETCH(QString, link);
    QTemporaryDir library;
    for (const QString &file : files)
        writeFile(library.filePath(file), "page");
    const QJsonObject record{{"_id", id}, {"launchFile", launchFile}};
    QCOMPARE(StartPage::firstPage(library.path(), record), link);
}

void TestStartPage::browserShowsTheLibrary_data()
{
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("links"); // of the modules shown; "Gone Module" has none
    // By letter, then by name; names that begin with no letter come last.
    QTest::newRow("no query")
        << "" << QStringList{"Éclampsia",        "Gone Module",         "Hand Washing with Soap",
                             "Oral Rehydration", "Safe Drinking Water", "Yellow Fever",
                             hostileName}
        << QStringList{
               "eclampsia/index.html",  "hand washing/A.htm", "oral-rehydration/lesson/start.html",
               "safe-water/index.html", "yellow-fever",       "x-hostile/index.html"};
    QTest::newRow("name or description")
        << "#q=water" << QStringList{"Oral Rehydration", "Safe Drinking Water"}
        << QStringList{"oral-rehydration/lesson/start.html", "safe-water/index.html"};
    QTest::newRow("every word, any case") << "#q=clean%20WATER" << QStringList{"Oral Rehydration"}
                                          << QStringList{"oral-rehydration/lesson/start.html"};
    // A name's markup is text; a description's is read as the details panel renders it.
    QTest::newRow("markup") << "#q=%3C" << QStringList{hostileName}
                            << QStringList{"x-hostile/index.html"};
}

void TestStartPage::browserShowsTheLibrary()
{
    QFETCH(QString, fragment);
    QFETCH(QStringList, names);
    QFETCH(QStringList, links);
    if (m_chromium.isEmpty())
        QSKIP("chromium is not installed (apt-get install chromium)");
    const Shown shown = openInBrowser(StartPage::path(m_library), fragment);
    QCOMPARE(shown.names, names);
    QCOMPARE(shown.requests, QStringList());
    QStringList relative;
    for (const QString &link : shown.links) {
        QVERIFY2(QFileInfo::exists(link), qPrintable(link));
        relative += QDir::cleanPath(link).mid(m_library.size() + 1);
    }
    QCOMPARE(relative, links);
}

void TestStartPage::driveCopyKeepsItsLinks()
{
    if (m_chromium.isEmpty())
        QSKIP("chromium is not installed (apt-get install chromium)");
    ScratchDrive drive;
    QString missing;
    if (!drive.mountFat32(40 << 20, &missing))
        QSKIP(qPrintable(QStringLiteral("No FAT32 drive can be mounted here: ") + missing));
    const QString copy = drive.path() + QStringLiteral("/Tavro Modules");
    LibraryCopier([](const QString &) {}).copyRecursively(m_library, copy);

    const Shown shown = openInBrowser(StartPage::path(copy), QString());
    QCOMPARE(shown.names.size(), 7);
    QCOMPARE(shown.links.size(), 6);
    for (const QString &link : shown.links)
        QVERIFY2(link.startsWith(copy + '/') && QFileInfo::exists(link), qPrintable(link));
}

// Opens the page in headless chromium and reads the DOM it ends with: the modules it shows,
// where their links lead, and the requests the page made.
Shown TestStartPage::openInBrowser(const QString &page, const QString &fragment)
{
    Shown shown;
    QTemporaryDir profile;
    const QString netLog = profile.filePath(QStringLiteral("net.json"));
    const QString address = QUrl::fromLocalFile(page).toString() + fragment;
    QProcess browser;
    browser.start(m_chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--no-first-run",
                   "--user-data-dir=" + profile.filePath(QStringLiteral("profile")),
                   "--log-net-log=" + netLog, "--dump-dom", address});
    if (!browser.waitForFinished(60000) || browser.exitCode() != 0) {
        qWarning() << "chromium failed:" << browser.readAllStandardError().right(2000);
        return shown;
    }
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());

    const QRegularExpression entry(QStringLiteral("<li><h3>(.*?)</h3>"));
    for (auto match = entry.globalMatch(dom); match.hasNext();) {
        const QString heading = match.next().captured(1);
        shown.names += textOf(heading);
        const QString href =
            QRegularExpression(QStringLiteral("^<a href=\"([^\"]*)\">")).match(heading).captured(1);
        if (!href.isEmpty())
            shown.links += QUrl::fromLocalFile(page).resolved(QUrl(href)).toLocalFile();
    }

    // The browser's own requests (updates, accounts) have no page behind them.
    const QJsonArray events =
        QJsonDocument::fromJson(fileContent(netLog)).object().value("events").toArray();
    for (const QJsonValue &event : events) {
        const QJsonObject params = event.toObject().value("params").toObject();
        const QString initiator = params.value("initiator").toString();
        if (params.contains("url") && params.contains("initiator") &&
            initiator != QLatin1String("not an origin"))
            shown.requests += params.value("url").toString();
    }
    return shown;
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "tst_startpage.moc"

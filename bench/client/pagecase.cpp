// The start page written for the installed modules, against the library table rebuilt for them:
// the page is written at every install, right beside the table's rebuild.

#include "client/cases.h"
#include "client/report.h"
#include "client/staticcatalogue.h"
#include "client/windowsession.h"

#include "benchcataloguebaseurl.h"
#include "library/libraryindex.h"
#include "library/startpage.h"
#include "mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTableWidget>

namespace {

// Every installed module gets its folder with its launch file, as an install leaves it, so
// that the page looks for the files it links to.
bool installFolders(const QString &library, int *records)
{
    QVector<LibraryIndex::Line> lines;
    if (!LibraryIndex::read(library, &lines).ok)
        return false;
    *records = 0;
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        if (!line.isRecord)
            continue;
        ++*records;
        const QString page =
            library + QLatin1Char('/') + line.record.value(QStringLiteral("launchFile")).toString();
        if (QFileInfo::exists(page))
            continue;
        QFile file(page);
        if (!QDir().mkpath(QFileInfo(page).path()) || !file.open(QIODevice::WriteOnly))
            return false;
        file.write("<!DOCTYPE html><title>Lesson</title><h1>Lesson</h1>");
    }
    return true;
}

} // namespace

int runPage(const ClientOptions &options)
{
    StaticCatalogue catalogue;
    QString error;
    if (!catalogue.load(options.routes, &error))
        return Report::fail(error);
    const QString url = catalogue.start();
    if (url.isEmpty())
        return Report::fail(QStringLiteral("cannot serve the catalogue on 127.0.0.1"));
    setBenchCatalogueBaseUrl(url);

    WindowSession session(options.expectModules);
    const QString problem = session.start(300000);
    if (!problem.isEmpty())
        return Report::fail(problem);
    auto *table = session.widget<QTableWidget>("moduleTable");
    const QString library = QSettings().value(QStringLiteral("moduleDirectory")).toString();
    int records = 0;
    if (!table || !installFolders(library, &records) || records != options.expectInstalled)
        return Report::fail(QStringLiteral("the library does not hold %1 modules with their "
                                           "folders")
                                .arg(options.expectInstalled));
    settle(300);

    const QString pagePath = StartPage::path(library);
    const auto writePage = [&](double *seconds) {
        // A page that would come out the same is not written again: each round writes anew.
        QFile::remove(pagePath);
        const double started = now();
        const LibraryIndex::Result written = StartPage::write(library);
        *seconds = now() - started;
        QFile page(pagePath);
        if (!written.ok || !page.open(QIODevice::ReadOnly))
            return QStringLiteral("the page was not written: ") + written.error;
        const int listed = int(page.readAll().count("<li><h3><a href="));
        return listed == records ? QString()
                                 : QStringLiteral("the page links %1 modules").arg(listed);
    };
    const auto rebuildTable = [&](double *seconds) {
        // At an install the index gains a line and the table is built anew; a call over the same
        // index would change no row.
        table->setRowCount(0);
        const double started = now();
        session.call("updateModuleTable");
        *seconds = now() - started;
        return table->rowCount() == records
                   ? QString()
                   : QStringLiteral("the table shows %1 modules").arg(table->rowCount());
    };

    QVector<double> ours, peer;
    // The first round warms up both sides and is not counted; the order swaps every round.
    for (int run = 0; run <= options.runs; ++run) {
        double page = 0, rebuild = 0;
        const QString wrong = run % 2 ? writePage(&page) + rebuildTable(&rebuild)
                                      : rebuildTable(&rebuild) + writePage(&page);
        if (!wrong.isEmpty())
            return Report::fail(wrong);
        if (run > 0) {
            ours << page;
            peer << rebuild;
        }
        settle(50);
    }
    Report::values("ours", ours);
    Report::values("peer", peer);
    Report::value("bytes", double(QFileInfo(pagePath).size()));
    return 0;
}

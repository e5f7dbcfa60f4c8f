// The start page of a library of the list case's installed modules: the time to write it, its
// weight, and its load time in a headless browser against a plain list of the same links.

#include "driver/bench.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

QVector<double> numbers(const QString &text)
{
    QVector<double> values;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values << part.toDouble();
    return values;
}

// A page that loads another (named after "#") in a frame and notes, once the frame's load
// event came (its scripts run, its layout done), how long that took.
const char harness[] = R"(<!DOCTYPE html><html><body><script>
var started = performance.now(), frame = document.createElement("iframe");
frame.onload = function () {
  document.body.setAttribute("data-ms", String(performance.now() - started));
};
frame.src = location.hash.slice(1);
document.body.appendChild(frame);
</script></body></html>
)";

bool writeText(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

void Bench::casePage()
{
    const QString name = QStringLiteral("start page for %1 installed modules").arg(m_listInstalled);
    const QString weight = QStringLiteral("start page: its weight");
    const QString load = QStringLiteral("start page: load in headless chromium");
    progress(name);
    const ProcessResult result =
        client({QStringLiteral("page"), QStringLiteral("--routes"), m_listRoutes,
                QStringLiteral("--runs"), QString::number(m_config.runs),
                QStringLiteral("--expect-modules"), QString::number(m_config.listModules),
                QStringLiteral("--expect-installed"), QString::number(m_listInstalled)},
               m_listHome);
    if (!result.ok()) {
        failed(name, result.describe());
        return;
    }
    const QVector<double> ours = numbers(result.results().value(QStringLiteral("ours")));
    const QVector<double> table = numbers(result.results().value(QStringLiteral("peer")));
    const double megabytes = result.results().value(QStringLiteral("bytes")).toDouble() / 1e6;
    m_table.addRatio(name, QStringLiteral("library table rebuild"), ours, table, 0.5);
    m_table.addLimit(weight, {megabytes}, 1.0, QStringLiteral("MB"));
    detail(QStringLiteral("start page, written"), ours, QStringLiteral("s"));
    detail(QStringLiteral("start page, library table rebuilt"), table, QStringLiteral("s"));

    // The plain list: the same links and names, nothing else.
    const QString library = m_listHome + QStringLiteral("/Desktop/Tavro Modules");
    QFile page(library + QStringLiteral("/Start Here.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        failed(load, QStringLiteral("the client left no page in %1").arg(library));
        return;
    }
    QByteArray plain = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<title>Modules</title></head><body><ul>\n";
    const QRegularExpression link(QStringLiteral("<li><h3><a href=\"([^\"]*)\">(.*?)</a>"));
    for (auto match = link.globalMatch(QString::fromUtf8(page.readAll())); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        plain += "<li><a href=\"" + found.captured(1).toUtf8() + "\">" +
                 found.captured(2).toUtf8() + "</a></li>\n";
    }
    plain += "</ul></body></html>\n";
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    const QString plainPath = library + QStringLiteral("/plain-list.html");
    const QString harnessPath = library + QStringLiteral("/load-harness.html");
    if (chromium.isEmpty()) {
        failed(load, QStringLiteral("chromium is not installed"));
        return;
    }
    if (!writeText(plainPath, plain) || !writeText(harnessPath, harness)) {
        failed(load, QStringLiteral("cannot write the pages to compare in %1").arg(library));
        return;
    }

    const QRegularExpression loaded(QStringLiteral("data-ms=\"([0-9.]+)\""));
    const auto open = [&](const QString &file, QVector<double> *seconds, bool counted) {
        QTemporaryDir profile;
        const ProcessResult browser = peer(
            chromium,
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
             QStringLiteral("--disable-gpu"), QStringLiteral("--disable-background-networking"),
             QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
             QStringLiteral("--no-first-run"), QStringLiteral("--user-data-dir=") + profile.path(),
             QStringLiteral("--dump-dom"),
             QUrl::fromLocalFile(harnessPath).toString() + QLatin1Char('#') +
                 QFileInfo(file).fileName()});
        const QRegularExpressionMatch found = loaded.match(browser.output);
        if (!browser.ok() || !found.hasMatch())
            return failed(load,
                          QFileInfo(file).fileName() + QStringLiteral(": ") + browser.describe());
        if (counted)
            *seconds << found.captured(1).toDouble() / 1000;
        return true;
    };
    QVector<double> startPage, plainList;
    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? open(page.fileName(), &startPage, counted) &&
                                           open(plainPath, &plainList, counted)
                                     : open(plainPath, &plainList, counted) &&
                                           open(page.fileName(), &startPage, counted);
        if (!ok)
            return;
    }
    QFile::remove(plainPath);
    QFile::remove(harnessPath);
    m_table.addRatio(load, QStringLiteral("plain list of the same links"), startPage, plainList,
                     2.0);
    detail(QStringLiteral("start page, loaded"), startPage, QStringLiteral("s"));
    detail(QStringLiteral("plain list, loaded"), plainList, QStringLiteral("s"));
}

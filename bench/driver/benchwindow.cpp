// The cases of the window: start-up, the wait, a long module list and a download.

#include "driver/bench.h"
#include "driver/treecompare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

QVector<double> numbers(const QString &text)
{
    QVector<double> values;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values << part.toDouble();
    return values;
}

} // namespace

void Bench::caseStartup()
{
    const QString name = QStringLiteral("start to window shown, start-up lists filled");
    progress(name);
    const QString home = m_config.work + QStringLiteral("/homes/startup");
    QVector<double> ours, bare;
    const auto runOne = [&](const char *program, QVector<double> *seconds, bool counted) {
        ProcessSpec spec;
        spec.program = QString::fromLocal8Bit(program);
        spec.environment = windowEnvironment(home);
        spec.timeoutSeconds = 120;
        const ProcessResult result = runProcess(spec);
        if (!result.ok())
            return failed(name, QFileInfo(spec.program).fileName() + QStringLiteral(": ") +
                                    result.describe());
        if (counted)
            *seconds << result.seconds;
        return true;
    };
    for (int run = -1; run < m_config.startupRuns; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOne(BENCH_STARTUP_BIN, &ours, counted) &&
                                           runOne(BENCH_BARE_BIN, &bare, counted)
                                     : runOne(BENCH_BARE_BIN, &bare, counted) &&
                                           runOne(BENCH_STARTUP_BIN, &ours, counted);
        if (!ok)
            return;
    }
    m_table.addRatio(name, QStringLiteral("bare QMainWindow"), ours, bare, 2.0);
    detail(QStringLiteral("start-up, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("start-up, bare QMainWindow"), bare, QStringLiteral("s"));
}

void Bench::caseDelay()
{
    const QString name =
        QStringLiteral("processor time during delay(%1)").arg(m_config.delayMilliseconds);
    progress(name);
    const ProcessResult result =
        client({QStringLiteral("delay"), QStringLiteral("--ms"),
                QString::number(m_config.delayMilliseconds), QStringLiteral("--runs"),
                QString::number(m_config.delayRuns), QStringLiteral("--expect-modules"),
                QString::number(m_catalogueModules)},
               m_config.work + QStringLiteral("/homes/delay"));
    if (!result.ok()) {
        failed(name, result.describe());
        return;
    }
    const QVector<double> cpu = numbers(result.results().value(QStringLiteral("cpu")));
    m_table.addLimit(name, cpu, 0.05, QStringLiteral("s"));
    detail(QStringLiteral("delay, processor time"), cpu, QStringLiteral("s"));
    detail(QStringLiteral("delay, wall time"),
           numbers(result.results().value(QStringLiteral("wall"))), QStringLiteral("s"));
}

void Bench::caseList()
{
    const QString name = QStringLiteral("list of %1 modules in the topic view, %2 installed")
                             .arg(m_config.listModules)
                             .arg(m_listInstalled);
    progress(name);
    const ProcessResult result =
        client({QStringLiteral("list"), QStringLiteral("--routes"), m_listRoutes,
                QStringLiteral("--topic-name"), m_listTopic, QStringLiteral("--runs"),
                QString::number(m_config.runs), QStringLiteral("--expect-modules"),
                QString::number(m_config.listModules), QStringLiteral("--expect-installed"),
                QString::number(m_listInstalled), QStringLiteral("--expect-flagged"),
                QString::number(m_listFlagged)},
               m_listHome);
    if (!result.ok()) {
        failed(name, result.describe());
        return;
    }
    const QVector<double> ours = numbers(result.results().value(QStringLiteral("ours")));
    const QVector<double> fromPick =
        numbers(result.results().value(QStringLiteral("ours_from_pick")));
    const QVector<double> parse = numbers(result.results().value(QStringLiteral("peer")));
    m_table.addRatio(name, QStringLiteral("QJsonDocument parse"), ours, parse, 3.0);
    detail(QStringLiteral("module list, ours, from its arrival in the window"), ours,
           QStringLiteral("s"));
    detail(QStringLiteral("module list, ours, from the pick of the topic"), fromPick,
           QStringLiteral("s"));
    detail(QStringLiteral("module list, QJsonDocument parse"), parse, QStringLiteral("s"));
}

void Bench::caseDownload()
{
    const QString name =
        QStringLiteral("download %1 on loopback").arg(sizeText(QFileInfo(m_archive).size()));
    const QString memory = QStringLiteral("download: client memory above idle");
    progress(name);
    const QString root = m_config.scratch + QStringLiteral("/download");
    const QString url =
        m_serviceUrl + QStringLiteral("/archives/") + m_moduleId + QStringLiteral(".zip");
    QVector<double> ours, curl, grown;

    const auto runOurs = [&](bool counted) {
        const QString home = root + QStringLiteral("/home");
        QDir(home).removeRecursively();
        ::sync();
        const ProcessResult result =
            client({QStringLiteral("download"), QStringLiteral("--module-id"), m_moduleId,
                    QStringLiteral("--module-name"), m_moduleName,
                    QStringLiteral("--expect-modules"), QString::number(m_catalogueModules)},
                   home);
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        // Unpacked in full, the download is right to the last byte.
        const QString library = home + QStringLiteral("/Desktop/Tavro Modules");
        const QString wrong =
            compareTrees(m_moduleSource, library, {QStringLiteral("tavro-modules.txt")});
        if (!wrong.isEmpty())
            return failed(name, QStringLiteral("ours: the downloaded module differs: ") + wrong);
        if (counted) {
            const QMap<QString, QString> figures = result.results();
            ours << figures.value(QStringLiteral("seconds")).toDouble();
            grown << (figures.value(QStringLiteral("peak_kb")).toDouble() -
                      figures.value(QStringLiteral("idle_kb")).toDouble()) /
                         1024.0;
        }
        return true;
    };
    const auto runCurl = [&](bool counted) {
        const QString file = root + QStringLiteral("/curl.zip");
        QDir().mkpath(root);
        QFile::remove(file);
        ::sync();
        const ProcessResult result =
            peer(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), file, url});
        if (!result.ok())
            return failed(name, QStringLiteral("curl: ") + result.describe());
        if (QFileInfo(file).size() != QFileInfo(m_archive).size())
            return failed(name, QStringLiteral("curl saved %1 bytes").arg(QFileInfo(file).size()));
        QFile::remove(file);
        if (counted)
            curl << result.seconds;
        return true;
    };

    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOurs(counted) && runCurl(counted)
                                     : runCurl(counted) && runOurs(counted);
        if (!ok)
            return;
    }
    QDir(root).removeRecursively();
    m_table.addRatio(name, QStringLiteral("curl -s -o"), ours, curl, 1.0);
    m_table.addLimit(memory, grown, 40, QStringLiteral("MB"));
    detail(QStringLiteral("download, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("download, curl"), curl, QStringLiteral("s"));
    detail(QStringLiteral("download, ours, peak minus idle memory"), grown, QStringLiteral("MB"));
}

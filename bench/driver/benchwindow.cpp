// The cases of the window: start-up, the wait, a long module list and a download.

#include "driver/bench.h"
#include "driver/treecompare.h"
#include "driver/xserver.h"

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

    // The target holds on an X server (the bench's Xvfb), as a user starts the program on a
    // desktop. On the offscreen platform the bare window costs next to nothing, so a ratio there
    // mostly weighs the form's widgets; those rows stay for information, without a target: the
    // whole program, and the same program ended at its window's first paint with no catalogue
    // to talk to (the form alone, what the window costs before any list).
    struct Side
    {
        const char *program;
        QMap<QString, QString> environment;
        QVector<double> seconds;
    };
    const QMap<QString, QString> offscreen = windowEnvironment(home);
    QMap<QString, QString> formAlone = offscreen;
    formAlone.insert(QStringLiteral("CORVELLE_BENCH_UNTIL_PAINTED"), QStringLiteral("1"));
    formAlone.insert(QStringLiteral("CORVELLE_BENCH_CATALOGUE_URL"),
                     QStringLiteral("http://127.0.0.1:0"));
    QVector<Side> sides = {{BENCH_STARTUP_BIN, offscreen, {}},
                           {BENCH_BARE_BIN, offscreen, {}},
                           {BENCH_STARTUP_BIN, formAlone, {}}};
    XServer xserver;
    QString noDisplay;
    const bool onDisplay = xserver.start(&noDisplay);
    if (onDisplay) {
        QMap<QString, QString> display = offscreen;
        display.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        display.insert(QStringLiteral("DISPLAY"), xserver.display());
        sides.append({BENCH_STARTUP_BIN, display, {}});
        sides.append({BENCH_BARE_BIN, display, {}});
    }

    // Each round starts with another side, so that none always runs right after another.
    for (int run = -1; run < m_config.startupRuns; ++run) {
        for (int i = 0; i < sides.size(); ++i) {
            Side &side = sides[(i + run + 1) % sides.size()];
            ProcessSpec spec;
            spec.program = QString::fromLocal8Bit(side.program);
            spec.environment = side.environment;
            spec.timeoutSeconds = 120;
            const ProcessResult result = runProcess(spec);
            if (!result.ok()) {
                failed(name, QFileInfo(spec.program).fileName() + QStringLiteral(": ") +
                                 result.describe());
                return;
            }
            if (run >= 0)
                side.seconds << result.seconds;
        }
    }
    const QString bare = QStringLiteral("bare QMainWindow");
    if (onDisplay) {
        m_table.addRatio(name + QStringLiteral(", on an X server (Xvfb)"), bare, sides[3].seconds,
                         sides[4].seconds, 1.6);
        detail(QStringLiteral("start-up on Xvfb, ours"), sides[3].seconds, QStringLiteral("s"));
        detail(QStringLiteral("start-up on Xvfb, bare QMainWindow"), sides[4].seconds,
               QStringLiteral("s"));
    } else {
        // Xvfb comes with the build's dependencies: a run without it cannot show the target.
        failed(name, QStringLiteral("no X server: %1").arg(noDisplay));
    }
    m_table.addReference(QStringLiteral("  the same offscreen"), bare, sides[0].seconds,
                         sides[1].seconds);
    m_table.addReference(QStringLiteral("  offscreen, the form alone: no catalogue, ended at "
                                        "first paint"),
                         bare, sides[2].seconds, sides[1].seconds);
    detail(QStringLiteral("start-up offscreen, ours"), sides[0].seconds, QStringLiteral("s"));
    detail(QStringLiteral("start-up offscreen, bare QMainWindow"), sides[1].seconds,
           QStringLiteral("s"));
    detail(QStringLiteral("start-up offscreen, ours, the form alone"), sides[2].seconds,
           QStringLiteral("s"));
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
        const ProcessResult result = client(downloadArguments(), home);
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        // Unpacked in full, the download is right to the last byte.
        const QString library = home + QStringLiteral("/Desktop/Tavro Modules");
        const QString wrong =
            compareTrees(m_moduleSource, library, {QStringLiteral("tavro-modules.txt")});
        if (!wrong.isEmpty())
            return failed(name, QStringLiteral("ours: the downloaded module differs: ") + wrong);
        if (counted) {
            ours << result.results().value(QStringLiteral("seconds")).toDouble();
            grown << result.grownMiB();
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

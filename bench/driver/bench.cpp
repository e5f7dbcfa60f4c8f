#include "driver/bench.h"

#include "driver/catalogues.h"
#include "driver/datagen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

QString dataStamp(const BenchConfig &config)
{
    return QStringLiteral("corvelle bench data 4: %1 %2 %3 %4 %5 %6 %7 %8 %9")
        .arg(config.videoBytes)
        .arg(config.pagesFiles)
        .arg(config.moduleBytes)
        .arg(config.moduleFiles)
        .arg(config.moduleParts)
        .arg(config.libraryBytes)
        .arg(config.libraryFiles)
        .arg(config.listModules)
        .arg(config.listInstalled);
}

} // namespace

BenchConfig BenchConfig::full()
{
    return BenchConfig();
}

BenchConfig BenchConfig::small()
{
    BenchConfig config;
    config.quick = true;
    config.runs = 3;
    config.startupRuns = 3;
    config.delayRuns = 1;
    config.faultRuns = 1;
    config.updateRuns = 3;
    config.moduleBytes = 12'000'000;
    config.moduleFiles = 196;
    config.moduleParts = 1;
    config.videoBytes = 48 << 20;
    config.pagesBytes = 4'000'000;
    config.pagesFiles = 1976;
    config.libraryBytes = 10'000'000;
    config.libraryFiles = 200;
    config.listModules = 5000;
    config.listInstalled = 200;
    config.checkModules = 200;
    return config;
}

Bench::Bench(const BenchConfig &config) : m_config(config)
{
    m_data = m_config.work + QStringLiteral("/data");
    m_moduleSource = m_data + QStringLiteral("/module");
    m_archive = m_data + QStringLiteral("/") + m_moduleId + QStringLiteral(".zip");
    m_videoSource = m_data + QStringLiteral("/video");
    m_videoArchive = m_data + QStringLiteral("/chw-video.zip");
    m_pagesSource = m_data + QStringLiteral("/pages");
    m_pagesArchive = m_data + QStringLiteral("/chw-pages.zip");
    m_copyHome = m_data + QStringLiteral("/copy-home");
    m_listHome = m_data + QStringLiteral("/list-home");
    m_catalogue = m_data + QStringLiteral("/catalogue");
    for (const QString &name : {QStringLiteral("some"), QStringLiteral("all")}) {
        Update update;
        update.name = name;
        update.source = m_data + QStringLiteral("/module-") + name;
        update.archive = m_data + QLatin1Char('/') + m_moduleId + QLatin1Char('-') + name +
                         QStringLiteral(".zip");
        update.catalogue = m_data + QStringLiteral("/catalogue-") + name;
        m_updates.append(update);
    }
}

Bench::~Bench()
{
    stopService();
}

bool Bench::wanted(const QString &name) const
{
    return m_config.cases.isEmpty() || m_config.cases.contains(name);
}

int Bench::run()
{
    QElapsedTimer total;
    total.start();
    progress(QStringLiteral("data in %1, runs in %2").arg(m_config.work, m_config.scratch));
    if (!prepare() || !startService()) {
        std::fprintf(stderr, "corvelle-bench: could not prepare the data or the service\n");
        return 1;
    }
    if (wanted(QStringLiteral("startup")))
        caseStartup();
    if (wanted(QStringLiteral("delay")))
        caseDelay();
    if (wanted(QStringLiteral("list")))
        caseList();
    if (wanted(QStringLiteral("unpack")))
        caseUnpack();
    if (wanted(QStringLiteral("download"))) {
        caseDownload();
        caseDownloadFaults();
    }
    if (wanted(QStringLiteral("update")))
        caseUpdate();
    if (wanted(QStringLiteral("repair")))
        caseRepair();
    if (wanted(QStringLiteral("copy")))
        caseCopy();
    if (wanted(QStringLiteral("check")))
        caseCheck();
    if (wanted(QStringLiteral("page")))
        casePage();
    stopService();

    std::printf("\nCorvelle benchmarks (%s mode, median of %d runs each side, after a warm-up run; "
                "%.0f s in all)\n\n",
                m_config.quick ? "quick" : "full", m_config.runs, total.elapsed() / 1000.0);
    m_table.print();
    std::printf("\nEvery run, in order:\n");
    for (const QString &line : qAsConst(m_details))
        std::printf("  %s\n", qPrintable(line));
    if (m_table.missed() > 0)
        std::printf("\n%d target(s) missed.\n", m_table.missed());
    if (m_failures > 0)
        std::printf("\n%d case(s) FAILED: see the messages above.\n", m_failures);
    std::fflush(stdout);
    return m_failures > 0 ? 1 : 0;
}

bool Bench::prepare()
{
    const QString stampPath = m_data + QStringLiteral("/stamp");
    QFile stamp(stampPath);
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll() == dataStamp(m_config).toUtf8()) {
        progress(QStringLiteral("reusing the data in %1").arg(m_data));
    } else {
        stamp.close();
        QDir(m_data).removeRecursively();
        QDir().mkpath(m_data);
        QElapsedTimer timer;
        timer.start();

        progress(QStringLiteral("writing a module of %1 files").arg(m_config.moduleFiles));
        const TreeSize module = writeModuleTree(m_moduleSource, m_moduleId, m_config.moduleBytes,
                                                m_config.moduleFiles, m_config.moduleParts, 1);
        // As module authors pack them: the module's folder with entries for its folders, and
        // media stored as they are, since deflating them gains nothing.
        const ProcessResult zipped =
            peer(QStringLiteral("zip"),
                 {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"),
                  QStringLiteral("-n"), QStringLiteral(".jpg:.mp4:.png"), m_archive, m_moduleId},
                 m_moduleSource);
        if (!zipped.ok())
            return failed(QStringLiteral("data"), QStringLiteral("zip: ") + zipped.describe());

        if (!prepareUpdates())
            return false;

        progress(QStringLiteral("writing a video of %1").arg(sizeText(m_config.videoBytes)));
        if (!writeVideoModule(m_videoSource, QStringLiteral("chw-video"), m_config.videoBytes, 3))
            return failed(QStringLiteral("data"), QStringLiteral("cannot write the video"));
        const ProcessResult videoZipped =
            peer(QStringLiteral("zip"),
                 {QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("-0"), m_videoArchive,
                  QStringLiteral("chw-video/video.mp4")},
                 m_videoSource);
        progress(QStringLiteral("writing a module of %1 small pages").arg(m_config.pagesFiles));
        writeModuleTree(m_pagesSource, QStringLiteral("chw-pages"), m_config.pagesBytes,
                        m_config.pagesFiles, m_config.pagesParts, 4);
        const ProcessResult pagesZipped = peer(
            QStringLiteral("zip"),
            {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"), QStringLiteral("-n"),
             QStringLiteral(".jpg:.mp4:.png"), m_pagesArchive, QStringLiteral("chw-pages")},
            m_pagesSource);
        if (!videoZipped.ok() || !pagesZipped.ok())
            return failed(QStringLiteral("data"), QStringLiteral("zip: ") + videoZipped.describe() +
                                                      pagesZipped.describe());

        progress(QStringLiteral("writing a library of %1 files").arg(m_config.libraryFiles));
        const TreeSize library = writeLibrary(m_copyHome + QStringLiteral("/Desktop/Tavro Modules"),
                                              m_config.libraryBytes, m_config.libraryFiles, 2);
        progress(QStringLiteral("module: %1 files, %2 folders, %3; archive %4; library: %5 "
                                "files, %6")
                     .arg(module.files)
                     .arg(module.folders)
                     .arg(sizeText(module.bytes))
                     .arg(sizeText(QFileInfo(m_archive).size()))
                     .arg(library.files)
                     .arg(sizeText(library.bytes)));
        if (stamp.open(QIODevice::WriteOnly))
            stamp.write(dataStamp(m_config).toUtf8());
        stamp.close();
        progress(QStringLiteral("data written in %1 s").arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    }

    m_archiveEntries = entriesOf(m_archive);

    // The catalogues are small and follow the service's own sample, so they are always new.
    const QString sample = QFileInfo(QStringLiteral(CATALOGUE_SERVICE_BIN)).absolutePath() +
                           QStringLiteral("/catalogue");
    QString error;
    ServiceCatalogue service;
    ListCatalogue list;
    QDir(m_catalogue).removeRecursively();
    QDir(m_listHome).removeRecursively();
    for (Update &update : m_updates) {
        QDir(update.catalogue).removeRecursively();
        ServiceCatalogue updated;
        if (!writeServiceCatalogue(sample, update.catalogue, m_moduleId, update.archive, &updated,
                                   &error))
            return failed(QStringLiteral("data"), error);
    }
    if (!writeServiceCatalogue(sample, m_catalogue, m_moduleId, m_archive, &service, &error) ||
        !writeListCatalogue(sample, m_data + QStringLiteral("/list"),
                            m_listHome + QStringLiteral("/Desktop/Tavro Modules"),
                            m_config.listModules, m_config.listInstalled, &list, &error))
        return failed(QStringLiteral("data"), error);
    m_catalogueModules = service.modules;
    m_moduleName = service.moduleName;
    m_listRoutes = list.routes;
    m_listTopic = list.topicName;
    m_listInstalled = list.installed;
    m_listFlagged = list.flagged;
    ::sync();
    return true;
}

bool Bench::startService()
{
    // One line per request; nobody reads them during the runs.
    return startService(m_service, {}, m_config.work + QStringLiteral("/service.log"),
                        &m_serviceUrl);
}

bool Bench::startService(QProcess &service, const QStringList &options, const QString &log,
                         QString *url, const QString &catalogue)
{
    service.setProgram(QStringLiteral(CATALOGUE_SERVICE_BIN));
    service.setArguments(QStringList{QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                                     QStringLiteral("--port"), QStringLiteral("0"),
                                     QStringLiteral("--catalogue"),
                                     catalogue.isEmpty() ? m_catalogue : catalogue} +
                         options);
    service.setStandardErrorFile(log);
    service.start();
    while (service.waitForReadyRead(20000)) {
        const QString line = QString::fromUtf8(service.readLine()).trimmed();
        if (line.startsWith(QLatin1String("listening on "))) {
            *url = line.mid(13);
            progress(QStringLiteral("catalogue service at %1 %2").arg(*url, options.join(' ')));
            return true;
        }
    }
    return failed(QStringLiteral("service"), QStringLiteral("the catalogue service did not start"));
}

void Bench::stopService()
{
    stopService(m_service);
}

void Bench::stopService(QProcess &service)
{
    if (service.state() == QProcess::NotRunning)
        return;
    service.terminate();
    if (!service.waitForFinished(10000))
        service.kill();
    service.waitForFinished(5000);
}

QMap<QString, QString> Bench::windowEnvironment(const QString &home,
                                                const QString &serviceUrl) const
{
    QDir().mkpath(home + QStringLiteral("/Desktop"));
    QDir().mkpath(home + QStringLiteral("/.runtime"));
    QFile::setPermissions(home + QStringLiteral("/.runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return {{QStringLiteral("HOME"), home},
            {QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config")},
            {QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share")},
            {QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache")},
            {QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/.runtime")},
            {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")},
            {QStringLiteral("QT_QPA_PLATFORMTHEME"), QString()},
            {QStringLiteral("CORVELLE_BENCH_CATALOGUE_URL"),
             serviceUrl.isEmpty() ? m_serviceUrl : serviceUrl},
            {QStringLiteral("CORVELLE_BENCH_EXPECT_MODULES"), QString::number(m_catalogueModules)}};
}

QStringList Bench::downloadArguments() const
{
    return {QStringLiteral("download"),
            QStringLiteral("--module-id"),
            m_moduleId,
            QStringLiteral("--module-name"),
            m_moduleName,
            QStringLiteral("--expect-modules"),
            QString::number(m_catalogueModules)};
}

ProcessResult Bench::client(const QStringList &arguments, const QString &home,
                            const QString &serviceUrl)
{
    ProcessSpec spec;
    spec.program = QStringLiteral(BENCH_CLIENT_BIN);
    spec.arguments = arguments;
    spec.environment = windowEnvironment(home, serviceUrl);
    return runProcess(spec);
}

ProcessResult Bench::peer(const QString &program, const QStringList &arguments,
                          const QString &directory)
{
    ProcessSpec spec;
    spec.program = program;
    spec.arguments = arguments;
    spec.workingDirectory = directory;
    return runProcess(spec);
}

bool Bench::failed(const QString &caseName, const QString &why)
{
    ++m_failures;
    std::fprintf(stderr, "corvelle-bench: %s FAILED: %s\n", qPrintable(caseName), qPrintable(why));
    std::fflush(stderr);
    m_table.addFailure(caseName, why);
    return false;
}

void Bench::progress(const QString &text) const
{
    std::fprintf(stderr, "corvelle-bench: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void Bench::detail(const QString &name, const QVector<double> &values, const QString &unit)
{
    QStringList texts;
    for (double value : values)
        texts << QString::number(value, 'f', unit == QLatin1String("MB") ? 1 : 3);
    m_details << QStringLiteral("%1 (%2): %3").arg(name, unit, texts.join(QLatin1Char(' ')));
}

QString Bench::sizeText(qint64 bytes) const
{
    return bytes >= 1'000'000'000 ? QStringLiteral("%1 GB").arg(double(bytes) / 1e9, 0, 'f', 2)
                                  : QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
}

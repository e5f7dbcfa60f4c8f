#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "archive/archivepath.h"
#include "browse/catalogrecord.h"
#include "library/libraryindex.h"
#include "library/startpage.h"
#include "library/statusline.h"
#include "transfer/download.h"
#include "transfer/systemproxy.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <limits>

namespace {

const QString moduleDirectoryKey = QStringLiteral("moduleDirectory");

// The last record of the list whose id is moduleId; an empty one when there is none.
CatalogRecord findModule(const QJsonArray &modules, const QString &moduleId)
{
    CatalogRecord found;
    for (const QJsonValue &element : modules) {
        const CatalogRecord candidate(element);
        if (candidate.id() == moduleId)
            found = candidate;
    }
    return found;
}

// The module's record as the library index holds it; only its "_id" when the index has none.
QJsonObject installedRecord(const QString &libraryFolder, const QString &moduleId)
{
    QVector<LibraryIndex::Line> lines;
    LibraryIndex::read(libraryFolder, &lines);
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        if (line.isRecord && CatalogRecord(line.record).id() == moduleId)
            return line.record;
    }
    return QJsonObject{{QStringLiteral("_id"), moduleId}};
}

void showProgress(QProgressBar *bar, qint64 bytesReceived, qint64 bytesTotal)
{
    // A bar counts in int: archives of 2 GiB and more are counted in KiB.
    const int shift = bytesTotal > std::numeric_limits<int>::max() ? 10 : 0;
    bar->setMaximum(int(bytesTotal >> shift));
    bar->setValue(int(bytesReceived >> shift));
    bar->show();
}

void resetProgress(QProgressBar *bar)
{
    // The minimum too: a transfer of unknown size leaves the bar's range at -1.
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->hide();
}

} // namespace

void MainWindow::downloadModule()
{
    if (!mayStartDownload(selectedTopicModule))
        return;
    qDebug() << "Downloading.... " << topicDownloadLink;
    ui->downloadModuleButton->setEnabled(false);
    ui->progressBar->show();
    startDownload(0, selectedTopicModule, topicDownloadLink);
}

void MainWindow::downloadModule_2()
{
    if (!mayStartDownload(selectedAlphaModule))
        return;
    qDebug() << "Downloading.... " << alphaDownloadLink;
    ui->downloadModuleButton_2->setEnabled(false);
    ui->progressBar_2->setValue(0);
    ui->progressBar_2->show();
    startDownload(2, selectedAlphaModule, alphaDownloadLink);
}

void MainWindow::downloadAllTopicModules()
{
    qDebug() << topicModuleIds;
    downloadTopicModules();
}

void MainWindow::downloadTopicModules()
{
    if (topicModuleIds.isEmpty()) {
        ui->downloadModuleLabel->setText(QString());
        return;
    }
    downloadTopicModule(topicModuleIds.takeFirst());
}

void MainWindow::downloadTopicModule(QString moduleId)
{
    ui->downloadModuleLabel->setText(tr("Downloading Module %1").arg(moduleId));
    CatalogRecord record;
    if (!findChainedModule(moduleId, &MainWindow::downloadTopicModules, &record))
        return;
    qDebug() << "Downloading.... " << record.downloadLink();
    ui->progressBar->show();
    startDownload(3, record.json(), record.downloadLink());
}

void MainWindow::updateModule(QString moduleId)
{
    ui->updateModuleLabel->setText(tr("Updating Module Id %1").arg(moduleId));
    CatalogRecord record;
    bool found = true;
    if (!findChainedModule(moduleId, &MainWindow::updateModules, &record, &found)) {
        if (found)
            return;
        // Nothing the window knows of the catalogue offers this module: the chain ends here,
        // with a word of why, rather than waiting on it for good.
        qDebug() << "Not updating module" << moduleId << ": the catalogue does not list it";
        updateModuleIds.clear();
        ui->updateModuleLabel->setText(QString());
        showStatus(StatusLine::notInCatalogue(
            installedRecord(settings.value(moduleDirectoryKey).toString(), moduleId)));
        return;
    }
    ui->updateProgressBar->show();
    startDownload(1, record.json(), record.downloadLink());
}

bool MainWindow::findChainedModule(const QString &moduleId, void (MainWindow::*goOn)(),
                                   CatalogRecord *record, bool *found)
{
    *record = findModule(topicModuleArray, moduleId);
    if (record->downloadLink().isEmpty())
        *record = findModule(m_catalogueModules, moduleId);
    const bool listed = !record->downloadLink().isEmpty();
    if (found)
        *found = listed;
    if (!listed)
        return false;
    // A module that may not be downloaded now is skipped, and the chain goes on.
    if (!mayStartDownload(*record)) {
        (this->*goOn)();
        return false;
    }
    return true;
}

void MainWindow::downloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    showProgress(ui->progressBar, bytesReceived, bytesTotal);
}

void MainWindow::downloadProgress_2(qint64 bytesReceived, qint64 bytesTotal)
{
    showProgress(ui->progressBar_2, bytesReceived, bytesTotal);
}

void MainWindow::updateProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    showProgress(ui->updateProgressBar, bytesReceived, bytesTotal);
}

void MainWindow::callDF0()
{
    ui->downloadModuleButton->setEnabled(true);
    downloadFinished(0);
}

void MainWindow::callDF1()
{
    downloadFinished(1);
}

void MainWindow::callDF2()
{
    downloadFinished(2);
}

void MainWindow::callDF3()
{
    downloadFinished(3);
}

void MainWindow::downloadFinished(int cflag)
{
    // The download that finished is the sender of the callDF slot that called us.
    const auto entry = std::find_if(m_downloads.begin(), m_downloads.end(),
                                    [this](const auto &d) { return d.get() == sender(); });
    if (entry == m_downloads.end()) {
        qDebug() << "downloadFinished() reached without a download of its own";
        return;
    }
    // It is still inside its own finished() signal, so it goes once that has returned; its
    // reply goes with it.
    Download *download = entry->release();
    m_downloads.erase(entry);
    download->deleteLater();
    m_stopButton->setVisible(!m_downloads.empty());

    const QString moduleId = download->moduleId();
    if (!download->updateSummary().isEmpty())
        qDebug().noquote() << "Update of module" << moduleId << "-" << download->updateSummary();
    switch (download->outcome()) {
    case Download::Outcome::FileUnavailable:
        // Without a place for archives no later download can succeed either: the chains end
        // here, and the window returns to rest as after a chain's last module.
        qDebug() << "Cannot create the archive of module" << moduleId << ":" << download->error();
        topicModuleIds.clear();
        updateModuleIds.clear();
        showStatus(StatusLine::downloadFailed(download->record(), download->reason()));
        break;
    case Download::Outcome::Failed:
    case Download::Outcome::Running:
        qDebug() << "Download of module" << moduleId << "failed:" << download->error();
        showStatus(StatusLine::downloadFailed(download->record(), download->reason()));
        break;
    case Download::Outcome::Stopped:
        qDebug() << "Download of module" << moduleId << "stopped";
        showStatus(StatusLine::downloadStopped(download->record(), download->stoppedAt()));
        break;
    case Download::Outcome::Saved:
        // Recorded in the library index only once the worker has unpacked it in full.
        m_awaitingExtraction.insert(download->archivePath(), download->record());
        emit unzip(download->archivePath(), settings.value(moduleDirectoryKey).toString());
        break;
    }

    QProgressBar *const bars[] = {ui->progressBar, ui->updateProgressBar, ui->progressBar_2,
                                  ui->progressBar};
    resetProgress(bars[cflag]);
    if (cflag == 0)
        ui->launchModuleButton->setEnabled(true);
    if (cflag == 3)
        downloadTopicModules();
    updateModuleTable();
    if (cflag == 1)
        updateModules();
}

bool MainWindow::mayStartDownload(const CatalogRecord &record) const
{
    const QString moduleId = record.id();
    if (!ArchivePath::isSafeModuleId(moduleId)) {
        qDebug() << "Not downloading module" << moduleId
                 << ": its id does not name a file inside the library folder";
        return false;
    }
    // Two transfers of one module would share one archive path, and the worker deletes that
    // file after each extraction; so a module is busy until its archive has been unpacked.
    const auto sameModule = [&moduleId](const QString &otherId) {
        return ArchivePath::sameArchive(moduleId, otherId);
    };
    const bool downloading =
        std::any_of(m_downloads.begin(), m_downloads.end(),
                    [&](const auto &download) { return sameModule(download->moduleId()); });
    const bool unpacking = std::any_of(
        m_awaitingExtraction.begin(), m_awaitingExtraction.end(),
        [&](const QJsonObject &awaiting) { return sameModule(CatalogRecord(awaiting).id()); });
    if (downloading || unpacking) {
        qDebug() << "Not downloading module" << moduleId
                 << ": it is already being downloaded or unpacked";
        return false;
    }
    return true;
}

void MainWindow::startDownload(int cflag, const QJsonObject &record, const QString &link)
{
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        SystemProxy::use(m_network);
    }
    using Progress = void (MainWindow::*)(qint64, qint64);
    using Completion = void (MainWindow::*)();
    static const Progress progressSlots[] = {
        &MainWindow::downloadProgress, &MainWindow::updateProgress, &MainWindow::downloadProgress_2,
        &MainWindow::downloadProgress};
    static const Completion completionSlots[] = {&MainWindow::callDF0, &MainWindow::callDF1,
                                                 &MainWindow::callDF2, &MainWindow::callDF3};

    m_downloads.push_back(
        std::make_unique<Download>(record, settings.value(moduleDirectoryKey).toString()));
    Download *download = m_downloads.back().get();
    connect(download, &Download::progress, this, progressSlots[cflag]);
    connect(download, &Download::finished, this, completionSlots[cflag]);
    connect(download, &Download::wantsComparison, this, &MainWindow::compareInstalled);
    connect(download, &Download::wantsCheck, this, &MainWindow::checkArchive);
    connect(download, &Download::retrying, this,
            [this, download](const QString &reason, int retry, int retries, int pauseMs) {
                qDebug() << "Download of module" << download->moduleId() << "failed:" << reason
                         << "- trying again in" << pauseMs << "ms";
                showStatus(StatusLine::downloadRetrying(download->record(), reason, retry, retries,
                                                        pauseMs));
            });
    m_stopButton->show();
    download->start(m_network, link);
}

void MainWindow::addStopButton()
{
    // The one widget not in the form: the status bar places its own.
    m_stopButton = new QPushButton(tr("Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setAccessibleName(tr("Stop the download"));
    m_stopButton->hide();
    ui->statusBar->addPermanentWidget(m_stopButton);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopDownloads);
}

void MainWindow::stopDownloads()
{
    // The chains end with the downloads under way; each keeps what it received, for the next
    // download of its module.
    topicModuleIds.clear();
    updateModuleIds.clear();
    std::vector<Download *> running;
    for (const auto &download : m_downloads)
        running.push_back(download.get());
    for (Download *download : running)
        download->stop();
}

Download *MainWindow::downloadAt(const QString &path) const
{
    for (const auto &download : m_downloads) {
        if (download->archivePath() == path || download->changesPath() == path)
            return download.get();
    }
    return nullptr;
}

void MainWindow::installedCompared(InstalledComparison comparison)
{
    if (Download *download = downloadAt(comparison.archivePath))
        download->comparisonArrived(comparison);
}

void MainWindow::archiveChecked(QString f, QString problem)
{
    if (Download *download = downloadAt(f))
        download->checkArrived(problem);
}

void MainWindow::installExtracted(JobResult result)
{
    if (!m_awaitingExtraction.contains(result.path)) {
        qDebug() << "An unpacked archive was reported while none was awaited:" << result.path;
        return;
    }
    const CatalogRecord record(m_awaitingExtraction.take(result.path));
    if (!result.ok) {
        qDebug() << "Module" << record.id() << "was not installed:" << result.error;
        if (!m_closing)
            showStatus(StatusLine::unpacked(record, result));
        return;
    }
    const QString libraryFolder = settings.value(moduleDirectoryKey).toString();
    const LibraryIndex::Result merged = LibraryIndex::merge(libraryFolder, record.json());
    if (!merged.ok)
        qDebug().noquote() << merged.error;
    const LibraryIndex::Result page = StartPage::write(libraryFolder);
    if (!page.ok)
        qWarning().noquote() << page.error;
    if (m_closing)
        return;
    showStatus(merged.ok ? StatusLine::unpacked(record, result) : StatusLine::notRecorded(record));
    updateModuleTable();
    checkLibrary({record.id()});
}

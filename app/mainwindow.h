#pragma once

#include "archive/installedcomparison.h"
#include "archive/jobresult.h"
#include "browse/letterjump.h"
#include "library/installedcheck.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMainWindow>
#include <QModelIndex>
#include <QSettings>
#include <QStringList>
#include <QStringListModel>
#include <QThread>

#include <memory>

namespace Ui {
class MainWindow;
}
class CatalogRecord;
class Download;
class QNetworkAccessManager;
class QPushButton;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The library folder: "Tavro Modules" on the user's desktop.
    static QString libraryFolderPath();
    // Shows the window in front of the others, as a later start of the program asks.
    void bringToFront();

signals:
    void getTopics();
    void getLetters();
    void getArticles();
    void gm(QString tid);
    void gma(QString lid);
    void unzip(QString f, QString d);
    void copyDirs(QString s, QString d);
    // An update's questions to the worker (see Download).
    void compareInstalled(InstalledComparison comparison);
    void checkArchive(QString f);
    // Asks which installed modules miss files or hold them cut short.
    void checkInstalled(InstalledCheck check);

public slots:
    void refreshCategoryList();
    void refreshTopicList(QJsonArray topicList);
    void displayArticles(QJsonArray articles);
    void refreshLetterList(QJsonArray letterList);
    void refreshModuleList(QJsonArray topicList);
    void refreshAlphaModuleList(QJsonArray topicList);
    void notifyFileComplete(QString status);
    void copyComplete(JobResult result);
    void installedCompared(InstalledComparison comparison);
    void archiveChecked(QString f, QString problem);
    void installedChecked(InstalledCheck check);

private slots:
    void delay(int millisecondsToWait);
    void changeTopic(QString topic);
    void changeCategory(QString category);
    void changeLetter();
    void goToModule();
    void showModuleDetails(QModelIndex qmIndex);
    void showModuleDetails_2(QModelIndex qmIndex);
    void selectUSB();
    void downloadModule();
    void downloadModule_2();
    void downloadAllTopicModules();
    void launchModule();
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void downloadProgress_2(qint64 bytesReceived, qint64 bytesTotal);
    void updateProgress(qint64 bytesReceived, qint64 bytesTotal);
    void callDF0();
    void callDF1();
    void callDF2();
    void callDF3();
    void downloadFinished(int cflag);
    void initApplication();
    void updateModuleTable();
    void updateCheckedModules();
    void updateModule(QString moduleId);
    void downloadTopicModule(QString moduleId);
    void updateModules();
    void createUSB();
    void writeLogMessage(QString message);
    void handleTabBarClick(int selection);
    void downloadTopicModules();
    void stopDownloads();
    void installExtracted(JobResult result);

private:
    void connectWorker();
    void connectWidgets();
    void useFittingFont();
    void applyStyling();
    void addStopButton();
    void startDownload(int cflag, const QJsonObject &record, const QString &link);
    // The download under way whose update works at path (its archive path or the archive of
    // its changes); null when there is none.
    Download *downloadAt(const QString &path) const;
    void showStatus(const QString &line, int timeoutMs = 0);
    void showCatalogueFailure(const QString &reason, int retryInMs);
    bool mayStartDownload(const CatalogRecord &record) const;
    // Has the worker check the installed files of these modules, or of every one when empty.
    void checkLibrary(const QStringList &moduleIds = QStringList());
    // The version and size rows of a view's module details: they stand only while a module
    // of the view's list is picked.
    void setTopicFactsVisible(bool visible);
    void setAlphaFactsVisible(bool visible);
    // Selects the module a homepage jump leads to in the list of its letter, just arrived.
    void selectJumpTarget();
    // The record of a chain's next module, from the list shown or else from the
    // catalogue's records; false when the chain stops at it, or has gone on (through goOn) past
    // a module that may not be downloaded now. found tells the two apart.
    bool findChainedModule(const QString &moduleId, void (MainWindow::*goOn)(),
                           CatalogRecord *record, bool *found = nullptr);

    QThread workerThread;
    // Runs the extractions, copies and an update's comparisons and checks, apart from the
    // catalogue's requests.
    QThread m_jobThread;
    // The object that runs them there, until the thread ends.
    QObject *m_jobs = nullptr;
    // Receives the extractions' answers, so that those still on their way when the window
    // closes can be taken in alone.
    QObject m_extractionAnswers;
    // Set once the window is closing: an answer taken in then records its module and shows
    // nothing.
    bool m_closing = false;
    QJsonArray topicArray;
    QJsonArray topicModuleArray;
    QJsonArray alphaModuleArray;
    QJsonArray letterArray;
    QJsonArray articleArray;
    QString topicDownloadLink;
    QString alphaDownloadLink;
    QStringListModel *topicModuleModel = nullptr;
    QStringListModel *alphaModuleModel = nullptr;
    QSettings settings;
    QJsonObject selectedTopicModule;
    QJsonObject selectedAlphaModule;
    // Downloads under way, each owning its reply and its partly written archive.
    std::vector<std::unique_ptr<Download>> m_downloads;
    // Shared by every download; created with the first one.
    QNetworkAccessManager *m_network = nullptr;
    QStringList updateModuleIds;
    QStringList topicModuleIds;
    // The "_id" of every record of topicModuleArray, in order, gathered with the list.
    QStringList m_topicModuleArrayIds;
    // The longest list the topic view has received (the whole catalogue, once start-up's list of
    // every module has come), where the update chain finds modules the list shown lacks. Not
    // indexed: a list may hold tens of thousands of records, and the chain rarely looks.
    QJsonArray m_catalogueModules;
    LetterJump m_letterJump;
    QString usbDrivePath;
    // On the status bar while downloads run.
    QPushButton *m_stopButton = nullptr;
    // Records whose archives have been handed to the worker, by archive path; a record joins the
    // library index only once its archive has been unpacked in full.
    QHash<QString, QJsonObject> m_awaitingExtraction;
    // Files missing or cut short, by module id, as the last check found them; modules without
    // damage are not listed.
    QHash<QString, int> m_damagedFiles;
    int m_startUpListsToGo = 4; // topics, letters, featured modules, the topic's module list
    Ui::MainWindow *ui;
};

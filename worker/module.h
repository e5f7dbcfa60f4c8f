#pragma once

#include "archive/installedcomparison.h"
#include "archive/jobresult.h"
#include "library/installedcheck.h"

#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QString>

class CatalogueRequest;
class QNetworkAccessManager;

// The worker: fetches the catalogue, unpacks downloaded archives and copies the library to a
// drive. Lives on the worker thread; talks to the window only through its signals.
class Module : public QObject
{
    Q_OBJECT

public:
    explicit Module(QObject *parent = nullptr);
    ~Module() override;

signals:
    void resultsReady(QJsonArray topics);
    void articlesReady(QJsonArray topics);
    void alphaResultsReady(QJsonArray letters);
    void refreshModuleAlpha(QJsonArray modules);
    void refreshModule(QJsonArray modules);
    void notifyFileDone(QString status);
    void writeLog(QString message);
    // filesLeftOut: the library's files the copy could not bring onto the drive.
    void notifyCopyComplete(int filesLeftOut);
    // The same two ends, as values: the archive unpacked or not, the copy complete or not.
    void unpacked(JobResult result);
    void copied(JobResult result);
    // A catalogue request failed, for reason (words for the user); it is tried again in
    // retryInMs, or not at all when that is -1.
    void catalogueFailed(QString reason, int retryInMs);
    // An update's questions answered: which entries of an archive differ from the installed
    // files, and whether an archive reads back whole (problem empty) or not.
    void installedCompared(InstalledComparison comparison);
    void archiveChecked(QString filename, QString problem);
    // Which installed modules miss files or hold them cut short.
    void installedChecked(InstalledCheck check);

public slots:
    void getTopicList();
    void getLetterList();
    void getArticles();
    void getModuleList(QString topicId);
    void getModuleListByAlpha(QString alphaId);
    void unzipFile(QString filename, QString directoryName);
    void compareInstalled(InstalledComparison comparison);
    void checkArchive(QString filename);
    void checkInstalled(InstalledCheck check);
    void copyDirectories(QString source, QString dest);
    bool copyRecursively(QString source, QString target);

private:
    void makeNetwork();
    using Deliver = void (Module::*)(QJsonArray);
    void request(const QString &urlTemplate, const QString &id, Deliver deliver, int retries,
                 QPointer<CatalogueRequest> *current = nullptr);

    // Created on first use so that it belongs to the worker thread.
    QNetworkAccessManager *m_network = nullptr;
    // The module-list request of each view still waiting for its answer; a newer pick
    // supersedes it, so the view always ends with the answer to the last pick.
    QPointer<CatalogueRequest> m_topicModulesRequest;
    QPointer<CatalogueRequest> m_letterModulesRequest;
    // The lists of the start-up are asked again when they fail: the topics, letters and
    // featured modules, and the list of every module that the topics' arrival asks for. That
    // one is the topic view's list until the first answer from the catalogue, or the user's
    // first pick of a topic.
    bool m_startingUp = true;
    // The files the last copy could not bring onto the drive.
    int m_filesLeftOut = 0;
};

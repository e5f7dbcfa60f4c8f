#include "worker/module.h"

#include "archive/archiveextractor.h"
#include "archive/archivetail.h"
#include "archive/installrecord.h"
#include "library/librarycopier.h"
#include "transfer/cataloguebaseurl.h"
#include "transfer/cataloguerequest.h"
#include "transfer/systemproxy.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QUrl>

Module::Module(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<JobResult>();
    // Setting up the network layer takes a few milliseconds. Queued now, the call moves with
    // the object to the worker thread and runs there first, while the window still builds its
    // form, so the first catalogue request goes out at once.
    QMetaObject::invokeMethod(this, &Module::makeNetwork, Qt::QueuedConnection);
}

Module::~Module()
{
    // Requests still waiting are given up before the manager goes; nobody listens for their
    // answers any more.
    const QList<CatalogueRequest *> requests =
        findChildren<CatalogueRequest *>(QString(), Qt::FindDirectChildrenOnly);
    for (CatalogueRequest *request : requests) {
        request->disconnect(this);
        delete request;
    }
}

void Module::makeNetwork()
{
    if (m_network)
        return;
    m_network = new QNetworkAccessManager(this);
    // Clinics and schools often reach the internet only through a proxy.
    SystemProxy::use(m_network);
}

namespace {
// A start-up list is asked up to five times: after 2, 4, 8 and 16 s of pause.
constexpr int startUpRetries = 4;
} // namespace

void Module::getTopicList()
{
    request(QStringLiteral("%1/api/topics"), QString(), &Module::resultsReady, startUpRetries);
}

void Module::getLetterList()
{
    request(QStringLiteral("%1/api/letters"), QString(), &Module::alphaResultsReady,
            startUpRetries);
}

void Module::getArticles()
{
    request(QStringLiteral("%1/api/articles"), QString(), &Module::articlesReady, startUpRetries);
}

void Module::getModuleList(QString topicId)
{
    if (!topicId.isEmpty())
        m_startingUp = false;
    request(topicId.isEmpty() ? QStringLiteral("%1/api/modules")
                              : QStringLiteral("%1/api/modules/topic/"),
            topicId, &Module::refreshModule, m_startingUp ? startUpRetries : 0,
            &m_topicModulesRequest);
}

void Module::getModuleListByAlpha(QString alphaId)
{
    request(alphaId.isEmpty() ? QStringLiteral("%1/api/modules")
                              : QStringLiteral("%1/api/modules/letter/"),
            alphaId, &Module::refreshModuleAlpha, 0, &m_letterModulesRequest);
}

void Module::request(const QString &urlTemplate, const QString &id, Deliver deliver, int retries,
                     QPointer<CatalogueRequest> *current)
{
    makeNetwork();
    // An older pick of the same view that has not been answered yet is answered now, empty,
    // so that its late answer can never replace the list of this newer pick.
    if (current && *current)
        (*current)->supersede();

    const QUrl url(urlTemplate.arg(catalogueBaseUrl()) + id, QUrl::TolerantMode);
    auto *request = new CatalogueRequest(m_network, url, retries, this);
    if (current)
        *current = request;
    connect(request, &CatalogueRequest::answered, this,
            [this, request, deliver, current](const QJsonArray &result) {
                // Forgotten at once: a pick that arrives before the request is deleted must
                // not answer it a second time.
                if (current && *current == request)
                    *current = nullptr;
                if (deliver == &Module::refreshModule && !request->superseded())
                    m_startingUp = false;
                request->deleteLater();
                emit(this->*deliver)(result);
            });
    connect(request, &CatalogueRequest::failed, this, &Module::catalogueFailed);
    request->start();
}

void Module::unzipFile(QString filename, QString directoryName)
{
    JobResult result = extractArchive(filename, directoryName);
    result.path = filename;
    // The archive has served its purpose whether or not it could be unpacked.
    QFile::remove(filename);
    QFile::remove(InstallRecord::pendingPathFor(filename));
    QFile::remove(ArchiveTail::pendingPathFor(filename));
    if (!result.ok)
        qDebug().noquote() << "Unpacking" << filename << "failed:" << result.described();
    // The typed answer goes first, so that the module is in the index by the time the window
    // writes "File Unzipping Complete", as it always was.
    emit unpacked(result);
    emit notifyFileDone(result.ok ? QStringLiteral("success")
                                  : QStringLiteral("failure: ") + result.error);
}

void Module::compareInstalled(InstalledComparison comparison)
{
    compareWithInstalled(&comparison);
    emit installedCompared(comparison);
}

void Module::checkArchive(QString filename)
{
    const JobResult result = ::checkArchive(filename);
    emit archiveChecked(filename, result.ok ? QString() : result.described());
}

void Module::checkInstalled(InstalledCheck check)
{
    checkInstalledFiles(&check);
    emit installedChecked(check);
}

void Module::copyDirectories(QString source, QString dest)
{
    copyRecursively(source, dest);
    JobResult result;
    result.filesLeftOut = m_filesLeftOut;
    result.ok = result.filesLeftOut == 0;
    emit notifyCopyComplete(result.filesLeftOut);
    emit copied(result);
}

bool Module::copyRecursively(QString source, QString target)
{
    // A library of thousands of files gives thousands of log lines; sent one by one, each would
    // be a queued event and a separate layout of the log on the GUI thread. Lines that come
    // within a short time travel together as one message of several lines instead, which the
    // log shows line by line all the same. The copy blocks this thread, so no timer could send
    // them while a file is written: the copier looks in between its blocks instead, and lines
    // announcing a file that takes long go out before it.
    const qint64 batchMs = 50;
    const qint64 longFile = 16 * 1024 * 1024;
    QStringList pending;
    QElapsedTimer sinceSent;
    sinceSent.start();
    const auto send = [&] {
        if (!pending.isEmpty())
            emit writeLog(pending.join(QLatin1Char('\n')));
        pending.clear();
        sinceSent.restart();
    };
    LibraryCopier copier(
        [&](const QString &line) {
            pending.append(line);
            if (sinceSent.elapsed() >= batchMs)
                send();
        },
        [&](qint64 bytesToGo) {
            if (bytesToGo >= longFile || sinceSent.elapsed() >= batchMs)
                send();
        });
    const bool copied = copier.copyRecursively(source, target);
    send();
    m_filesLeftOut = copier.filesLeftOut();
    return copied;
}

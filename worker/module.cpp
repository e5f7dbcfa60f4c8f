#include "worker/module.h"

#include "worker/archiveextractor.h"
#include "worker/cataloguebaseurl.h"
#include "worker/librarycopier.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

Module::Module(QObject *parent) : QObject(parent)
{
    // Setting up the network layer takes a few milliseconds. Queued now, the call moves with
    // the object to the worker thread and runs there first, while the window still builds its
    // form, so the first catalogue request goes out at once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_network)
                m_network = new QNetworkAccessManager(this);
        },
        Qt::QueuedConnection);
}

Module::~Module()
{
    // Replies still waiting are cut short by the manager's deletion; nobody listens for
    // their answers any more.
    if (m_network) {
        for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>())
            reply->disconnect(this);
    }
}

void Module::getTopicList()
{
    request(QStringLiteral("%1/api/topics"), QString(), &Module::resultsReady);
}

void Module::getLetterList()
{
    request(QStringLiteral("%1/api/letters"), QString(), &Module::alphaResultsReady);
}

void Module::getArticles()
{
    request(QStringLiteral("%1/api/articles"), QString(), &Module::articlesReady);
}

void Module::getModuleList(QString topicId)
{
    request(topicId.isEmpty() ? QStringLiteral("%1/api/modules")
                              : QStringLiteral("%1/api/modules/topic/"),
            topicId, &Module::refreshModule, &m_topicModulesReply);
}

void Module::getModuleListByAlpha(QString alphaId)
{
    request(alphaId.isEmpty() ? QStringLiteral("%1/api/modules")
                              : QStringLiteral("%1/api/modules/letter/"),
            alphaId, &Module::refreshModuleAlpha, &m_letterModulesReply);
}

void Module::request(const QString &urlTemplate, const QString &id, Deliver deliver,
                     QPointer<QNetworkReply> *current)
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);

    // An older pick of the same view that has not been answered yet is answered now, empty,
    // so that its late answer can never replace the list of this newer pick.
    if (current && *current) {
        QNetworkReply *superseded = *current;
        superseded->disconnect(this);
        superseded->abort();
        answer(superseded, deliver);
    }

    const QUrl url(urlTemplate.arg(catalogueBaseUrl()) + id, QUrl::TolerantMode);
    QNetworkReply *reply = m_network->get(QNetworkRequest(url));
    if (current)
        *current = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, deliver] { answer(reply, deliver); });
}

void Module::answer(QNetworkReply *reply, Deliver deliver)
{
    QJsonArray result;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "Failure" << reply->errorString();
    } else {
        // The body counts up to its first NUL byte, as text.
        const QByteArray body = reply->readAll();
        result = QJsonDocument::fromJson(
                     QString::fromUtf8(body.constData(), qstrnlen(body.constData(), body.size()))
                         .toUtf8())
                     .array();
    }
    reply->deleteLater();
    emit(this->*deliver)(result);
}

void Module::unzipFile(QString filename, QString directoryName)
{
    const ExtractResult result = extractArchive(filename, directoryName);
    // The archive has served its purpose whether or not it could be unpacked.
    QFile::remove(filename);
    if (!result.ok)
        qDebug().noquote() << "Unpacking" << filename << "failed:"
                           << (result.detail.isEmpty()
                                   ? result.error
                                   : result.error + QStringLiteral(" (") + result.detail + ')');
    emit notifyFileDone(result.ok ? QStringLiteral("success")
                                  : QStringLiteral("failure: ") + result.error);
}

void Module::copyDirectories(QString source, QString dest)
{
    int filesLeftOut = 0;
    copyLibrary(source, dest, &filesLeftOut);
    emit notifyCopyComplete(filesLeftOut);
}

bool Module::copyRecursively(QString s, QString f)
{
    return copyLibrary(s, f, nullptr);
}

bool Module::copyLibrary(const QString &source, const QString &target, int *filesLeftOut)
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
    if (filesLeftOut)
        *filesLeftOut = copier.filesLeftOut();
    return copied;
}

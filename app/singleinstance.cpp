#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

namespace {

// Local socket names are short and shared by every user of the machine on some systems: the
// folder, which holds the user's home, is named by a digest.
QString nameFor(const QString &libraryFolder)
{
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(libraryFolder).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("corvelle-") + QString::fromLatin1(digest.toHex().left(20));
}

// A client that has just taken the lock needs a moment before it listens.
const int answerWithinMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString &libraryFolder, QObject *parent)
    : QObject(parent), m_name(nameFor(libraryFolder)),
      m_lock(QDir::tempPath() + QLatin1Char('/') + nameFor(libraryFolder) + QStringLiteral(".lock"))
{
    // Held for as long as the client runs: only a lock whose process has ended is stale.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit activationRequested();
        }
    });
}

bool SingleInstance::claim()
{
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() != QLockFile::LockFailedError) {
            // Without a lock there is no telling; running is better than refusing to start.
            qWarning().noquote() << "Cannot tell whether another client runs: the lock" << m_name
                                 << "cannot be made";
            return true;
        }
        if (!askRunningClient())
            qWarning() << "Another client holds the library folder but does not answer";
        return false;
    }
    // A socket left by a client that ended without closing it would stop the listening.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_name))
        qWarning().noquote() << "A later start cannot reach this client:" << m_server.errorString();
    return true;
}

bool SingleInstance::askRunningClient()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < answerWithinMs) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(answerWithinMs)) {
            socket.write("activate\n");
            const bool sent = socket.waitForBytesWritten(answerWithinMs);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}

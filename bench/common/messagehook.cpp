#include "common/messagehook.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMutex>
#include <QThread>

#include <cstdio>

namespace {

QMutex hookLock;
QMap<int, MessageHook::Listener> listeners;
int nextId = 1;
QStringList recent;
bool echo = false;
QElapsedTimer sinceInstall;
const int recentLimit = 40;

void handleMessage(QtMsgType, const QMessageLogContext &, const QString &line)
{
    QMap<int, MessageHook::Listener> current;
    {
        QMutexLocker locker(&hookLock);
        recent.append(line);
        if (recent.size() > recentLimit)
            recent.removeFirst();
        current = listeners;
    }
    if (echo) {
        // With the time since start and the thread, to see what start-up waits for.
        std::fprintf(stderr, "%8.3f ms %-8s %s\n", sinceInstall.nsecsElapsed() / 1e6,
                     qPrintable(QThread::currentThread()->objectName()),
                     line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    for (const MessageHook::Listener &listener : qAsConst(current))
        listener(line);
}

} // namespace

namespace MessageHook {

void install()
{
    echo = qEnvironmentVariableIsSet("CORVELLE_BENCH_VERBOSE");
    sinceInstall.start();
    qInstallMessageHandler(handleMessage);
}

int listen(Listener listener)
{
    QMutexLocker locker(&hookLock);
    listeners.insert(nextId, std::move(listener));
    return nextId++;
}

void unlisten(int id)
{
    QMutexLocker locker(&hookLock);
    listeners.remove(id);
}

QStringList recentLines()
{
    QMutexLocker locker(&hookLock);
    return recent;
}

} // namespace MessageHook

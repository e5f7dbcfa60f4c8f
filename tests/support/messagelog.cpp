#include "support/messagelog.h"

#include <QMutex>

namespace {
QMutex lock;
QStringList collected;
QtMessageHandler previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker locker(&lock);
        collected.append(message);
    }
    if (previous && type != QtDebugMsg)
        previous(type, context, message);
}
} // namespace

MessageLog::MessageLog()
{
    clear();
    previous = qInstallMessageHandler(collect);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previous);
}

bool MessageLog::contains(const QString &fragment) const
{
    return count(fragment) > 0;
}

int MessageLog::count(const QString &fragment) const
{
    QMutexLocker locker(&lock);
    int n = 0;
    for (const QString &line : qAsConst(collected))
        n += line.contains(fragment) ? 1 : 0;
    return n;
}

void MessageLog::clear()
{
    QMutexLocker locker(&lock);
    collected.clear();
}

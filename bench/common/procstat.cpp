#include "common/procstat.h"

#include <QByteArray>
#include <QFile>

#include <chrono>
#include <ctime>

namespace {

qint64 statusFieldKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

namespace ProcStat {

qint64 residentKb()
{
    return statusFieldKb("VmRSS");
}

qint64 peakResidentKb()
{
    return statusFieldKb("VmHWM");
}

bool resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace ProcStat

ResidentSampler::ResidentSampler()
    : m_thread([this] {
          while (m_running) {
              const qint64 now = ProcStat::residentKb();
              if (now > m_highest)
                  m_highest = now;
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
      })
{
}

ResidentSampler::~ResidentSampler()
{
    stop();
}

void ResidentSampler::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

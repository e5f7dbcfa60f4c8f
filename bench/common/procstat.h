#pragma once

#include <QtGlobal>

#include <atomic>
#include <thread>

// Memory and processor figures of this process, as Linux reports them in /proc.
namespace ProcStat {

// Resident set size, and its peak since start or since the last resetPeak(), in KiB; -1 when
// the figure cannot be read.
qint64 residentKb();
qint64 peakResidentKb();

// Sets the peak back to the current resident size (Linux 4.0 and later); false when the
// kernel refuses.
bool resetPeak();

// Processor time of the whole process, every thread, user and system, in seconds.
double cpuSeconds();

} // namespace ProcStat

// Samples the resident size every few milliseconds on a thread of its own and keeps the
// highest figure: a second opinion where the kernel's peak cannot be reset.
class ResidentSampler
{
public:
    ResidentSampler();
    ~ResidentSampler();
    qint64 highestKb() const { return m_highest; }
    void stop();

private:
    std::atomic<bool> m_running{true};
    std::atomic<qint64> m_highest{-1};
    std::thread m_thread;
};

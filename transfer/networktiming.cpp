#include "transfer/networktiming.h"

#include <QtGlobal>

#include <atomic>

namespace NetworkTiming {

namespace {
// Read on the worker thread and the GUI thread alike.
std::atomic<int> stallMs{stallTimeoutMs};
std::atomic<int> pauseMs{firstRetryPauseMs};
} // namespace

int stallTimeout()
{
    return stallMs;
}

int retryPause(int retry)
{
    return pauseMs << qBound(0, retry, 10);
}

void setForTests(int stall, int firstPause)
{
    stallMs = stall > 0 ? stall : stallTimeoutMs;
    pauseMs = firstPause > 0 ? firstPause : firstRetryPauseMs;
}

} // namespace NetworkTiming

#pragma once

// How long a transfer may go without a byte before it is given up as stalled, and the pauses
// before a failed one is tried again (2 s, then twice as long each time). Tests and the
// benchmark shorten them; the program never does.
namespace NetworkTiming {

constexpr int stallTimeoutMs = 30000;
constexpr int firstRetryPauseMs = 2000;

int stallTimeout();
// Before retry number retry (0 for the first).
int retryPause(int retry);

// A value of 0 or less restores the program's own.
void setForTests(int stallMs, int firstPauseMs);

} // namespace NetworkTiming

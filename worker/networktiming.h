#pragma once

// How long the network layer waits: the time a transfer may go without receiving a byte before
// it is given up as stalled, and the pauses before a failed transfer is tried again (2 s, then
// twice as long each time). Tests and the benchmark shorten them; the program never does.
namespace NetworkTiming {

constexpr int stallTimeoutMs = 30000;
constexpr int firstRetryPauseMs = 2000;

// Milliseconds without a byte after which a transfer is given up.
int stallTimeout();
// Milliseconds before retry number retry (0 for the first): 2 s, 4 s, 8 s, ...
int retryPause(int retry);

// Replaces both figures for the rest of the process; a value of 0 or less restores the
// program's own.
void setForTests(int stallMs, int firstPauseMs);

} // namespace NetworkTiming

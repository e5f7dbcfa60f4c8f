#pragma once

#include <QProcess>

// A program the tests start. It ends with the test that started it, even when that test is
// killed (a time-out of the test runner, a crash): an orphaned client, service or X server
// would otherwise hold its port and its processor long after the run.
class ChildProcess : public QProcess
{
public:
    // Asks the program to end and, when it has not within msecs, kills it.
    void stop(int msecs = 5000);

protected:
    void setupChildProcess() override;
};

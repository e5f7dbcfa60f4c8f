#include "support/childprocess.h"

#include <csignal>
#include <sys/prctl.h>

void ChildProcess::setupChildProcess()
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void ChildProcess::stop(int msecs)
{
    if (state() == NotRunning)
        return;
    terminate();
    if (!waitForFinished(msecs)) {
        kill();
        waitForFinished(msecs);
    }
}

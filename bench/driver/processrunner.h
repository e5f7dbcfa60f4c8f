#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

struct ProcessSpec
{
    QString program; // a path, or a name looked up in PATH
    QStringList arguments;
    QString workingDirectory;           // empty: the driver's own
    QMap<QString, QString> environment; // added to, or replacing in, the driver's environment
    int timeoutSeconds = 900;
};

struct ProcessResult
{
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;     // -1 when the process did not exit normally
    int signal = 0;        // the signal that ended it, if one did
    double seconds = 0;    // wall time from start to exit
    double cpuSeconds = 0; // user and system time of the process and its children
    qint64 maxRssKb = 0;
    QString output;
    QString errors;

    bool ok() const { return started && !timedOut && exitCode == 0; }
    // "exit code 3", "killed by signal 11", ... with the tail of standard error.
    QString describe() const;
    // The "result name=value" lines the benchmark's own programs print.
    QMap<QString, QString> results() const;
    // How far the program grew past its idle size, from its "peak_kb" and "idle_kb" results.
    double grownMiB() const;
};

// Runs a program to its end; the clock runs from just before the start to the moment the
// exit is collected.
ProcessResult runProcess(const ProcessSpec &spec);

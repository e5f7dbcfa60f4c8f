#pragma once

#include <QString>

struct ClientOptions
{
    QString archive;     // unpack: the module archive, inside the library folder
    QString library;     // unpack, check: the library folder
    QString moduleId;    // download: the module to fetch
    QString moduleName;  // download: its name in the topic view
    QString drive;       // copy: the drive folder chosen in the folder dialog
    bool repeat = false; // copy: copy a second time, with nothing changed
    QString routes;      // list, page: the catalogue bodies to serve, one "path<TAB>file" a line
    QString topicName;   // list: the topic whose module list is timed
    int expectModules = 0;
    int expectInstalled = 0; // list: index length; check: modules with a record
    int expectFlagged = 0;   // list: rows to flag; check: files damaged
    int runs = 1;
    int milliseconds = 3000; // delay: how long to wait
    int stallMs = 0;         // download: the stall time-out, shortened through the test seam
};

// Each case prints its figures as "result name=value" lines on standard output and returns
// the exit code: 0, or 1 with the reason on standard error.
int runUnpack(const ClientOptions &options);
int runDownload(const ClientOptions &options);
int runCopy(const ClientOptions &options);
int runList(const ClientOptions &options);
int runDelay(const ClientOptions &options);
int runCheck(const ClientOptions &options);
int runPage(const ClientOptions &options);

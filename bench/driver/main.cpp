// corvelle-bench: measures the client against the tools a user would compare it with and
// prints the table. bench/run builds it and runs it; see bench/README.md.

#include "driver/bench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Corvelle's benchmarks."));
    parser.addHelpOption();
    const QCommandLineOption quick(QStringLiteral("quick"),
                                   QStringLiteral("Small data and few runs: a smoke test."));
    const QCommandLineOption runs(QStringLiteral("runs"),
                                  QStringLiteral("Timed runs of each side (default 9, and 15 for "
                                                 "the updates; quick 3)."),
                                  QStringLiteral("n"));
    const QCommandLineOption work(QStringLiteral("work"),
                                  QStringLiteral("Folder for the data and the runs, kept "
                                                 "afterwards; generated data is reused when it "
                                                 "fits (default: a temporary folder)."),
                                  QStringLiteral("dir"));
    const QCommandLineOption only(
        QStringLiteral("case"),
        QStringLiteral("Run only this case (startup, delay, list, "
                       "unpack, download, update, copy, check); may be repeated."),
        QStringLiteral("name"));
    const QCommandLineOption scratch(
        QStringLiteral("scratch"),
        QStringLiteral("Folder for what the runs unpack, download and copy (default: a temporary "
                       "folder in /dev/shm when it has room, else in the work folder)."),
        QStringLiteral("dir"));
    parser.addOptions({quick, runs, work, only, scratch});
    parser.process(application);

    BenchConfig config = parser.isSet(quick) ? BenchConfig::small() : BenchConfig::full();
    if (parser.isSet(runs))
        config.runs = config.updateRuns = qMax(1, parser.value(runs).toInt());
    config.cases = parser.values(only);

    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/corvelle-bench-XXXXXX"));
    if (parser.isSet(work)) {
        config.work = QDir(parser.value(work)).absolutePath();
        QDir().mkpath(config.work);
    } else if (temporary.isValid()) {
        config.work = temporary.path();
    } else {
        std::fprintf(stderr, "corvelle-bench: cannot make a temporary folder\n");
        return 1;
    }

    // The scratch folder is always a new one, removed at the end.
    std::unique_ptr<QTemporaryDir> scratchFolder;
    const QStorageInfo memory(QStringLiteral("/dev/shm"));
    const QString scratchParent = parser.isSet(scratch) ? parser.value(scratch)
                                  : memory.isValid() && memory.isReady() && !memory.isReadOnly() &&
                                          memory.bytesAvailable() > config.scratchNeeded()
                                      ? QStringLiteral("/dev/shm")
                                      : config.work;
    QDir().mkpath(scratchParent);
    scratchFolder =
        std::make_unique<QTemporaryDir>(scratchParent + QStringLiteral("/corvelle-bench-XXXXXX"));
    if (!scratchFolder->isValid()) {
        std::fprintf(stderr, "corvelle-bench: cannot make a folder in %s\n",
                     qPrintable(scratchParent));
        return 1;
    }
    config.scratch = scratchFolder->path();

    Bench bench(config);
    const int status = bench.run();
    if (status != 0)
        return status;
    // A missed target fails a full run; the quick run is a smoke test of the harness, whose
    // small data says nothing about the targets.
    return !config.quick && bench.missedTargets() > 0 ? 2 : 0;
}

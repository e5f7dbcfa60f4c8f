// Our side of the benchmark cases: the program's window and worker, driven through their own
// slots on the offscreen platform. One case per run; the driver (corvelle-bench) gives each
// run a home folder of its own and reads the "result" lines this prints.

#include "client/cases.h"
#include "client/report.h"
#include "common/messagehook.h"

#include <QApplication>
#include <QCommandLineParser>

#include <functional>
#include <map>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MessageHook::install();
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavro.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvelle"));

    QCommandLineParser parser;
    parser.addPositionalArgument(
        QStringLiteral("case"),
        QStringLiteral("unpack, download, copy, list, delay, check or page"));
    const QCommandLineOption archive(QStringLiteral("archive"), QStringLiteral("Archive."),
                                     QStringLiteral("file"));
    const QCommandLineOption library(QStringLiteral("library"), QStringLiteral("Library folder."),
                                     QStringLiteral("dir"));
    const QCommandLineOption moduleId(QStringLiteral("module-id"), QStringLiteral("Module id."),
                                      QStringLiteral("id"));
    const QCommandLineOption moduleName(QStringLiteral("module-name"),
                                        QStringLiteral("Module name."), QStringLiteral("name"));
    const QCommandLineOption drive(QStringLiteral("drive"), QStringLiteral("Drive folder."),
                                   QStringLiteral("dir"));
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Copy twice."));
    const QCommandLineOption routes(QStringLiteral("routes"), QStringLiteral("Catalogue bodies."),
                                    QStringLiteral("file"));
    const QCommandLineOption topicName(QStringLiteral("topic-name"), QStringLiteral("Topic."),
                                       QStringLiteral("name"));
    const QCommandLineOption expectModules(
        QStringLiteral("expect-modules"), QStringLiteral("Catalogue length."), QStringLiteral("n"));
    const QCommandLineOption expectInstalled(QStringLiteral("expect-installed"),
                                             QStringLiteral("Index length."), QStringLiteral("n"));
    const QCommandLineOption expectFlagged(QStringLiteral("expect-flagged"),
                                           QStringLiteral("Rows to flag."), QStringLiteral("n"));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Timed runs."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption milliseconds(QStringLiteral("ms"), QStringLiteral("Delay."),
                                          QStringLiteral("n"), QStringLiteral("3000"));
    const QCommandLineOption stallMs(QStringLiteral("stall-ms"), QStringLiteral("Stall time-out."),
                                     QStringLiteral("n"));
    parser.addOptions({archive, library, moduleId, moduleName, drive, repeat, routes, topicName,
                       expectModules, expectInstalled, expectFlagged, runs, milliseconds, stallMs});
    parser.process(application);

    ClientOptions options;
    options.archive = parser.value(archive);
    options.library = parser.value(library);
    options.moduleId = parser.value(moduleId);
    options.moduleName = parser.value(moduleName);
    options.drive = parser.value(drive);
    options.repeat = parser.isSet(repeat);
    options.routes = parser.value(routes);
    options.topicName = parser.value(topicName);
    options.expectModules = parser.value(expectModules).toInt();
    options.expectInstalled = parser.value(expectInstalled).toInt();
    options.expectFlagged = parser.value(expectFlagged).toInt();
    options.runs = qMax(1, parser.value(runs).toInt());
    options.milliseconds = parser.value(milliseconds).toInt();
    options.stallMs = parser.value(stallMs).toInt();

    const std::map<QString, std::function<int(const ClientOptions &)>> cases = {
        {QStringLiteral("unpack"), runUnpack}, {QStringLiteral("download"), runDownload},
        {QStringLiteral("copy"), runCopy},     {QStringLiteral("list"), runList},
        {QStringLiteral("delay"), runDelay},   {QStringLiteral("check"), runCheck},
        {QStringLiteral("page"), runPage},
    };
    const QString name = parser.positionalArguments().value(0);
    const auto found = cases.find(name);
    if (found == cases.end())
        return Report::fail(QStringLiteral("unknown case \"%1\"").arg(name));
    return found->second(options);
}

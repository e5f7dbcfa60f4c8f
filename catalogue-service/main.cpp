// A stand-in for the remote catalogue service: serves a catalogue folder (records and module
// archives) on one host and port until it receives SIGINT or SIGTERM, or writes it as files
// that any web server can serve (--export).

#include "catalogue.h"
#include "catalogueexport.h"
#include "catalogueserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <thread>

namespace {

int fail(const QString &message)
{
    std::cerr << "catalogue-service: " << message.toStdString() << std::endl;
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // The stop signals are taken by sigwait() below; blocking them before any thread starts
    // keeps them away from the server's worker threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up during a download must not end the service.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("catalogue-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves a health-education catalogue (records and module archives) over "
                       "HTTP."));
    parser.addHelpOption();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Address to listen on."),
                                        QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("8642"));
    const QCommandLineOption catalogueOption(
        QStringLiteral("catalogue"),
        QStringLiteral("Catalogue folder (default: \"catalogue\" next to this program)."),
        QStringLiteral("dir"),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("catalogue")));
    const QCommandLineOption revisionOption(
        QStringLiteral("revision"),
        QStringLiteral("Catalogue revision to publish: 1, or 2 for the updated modules."),
        QStringLiteral("n"), QStringLiteral("1"));
    // Faults for tests and the benchmark, shown on every module archive sent.
    const QCommandLineOption cutOption(
        QStringLiteral("cut-after"),
        QStringLiteral("Test fault: close the connection after this many bytes of an archive."),
        QStringLiteral("bytes"));
    const QCommandLineOption stallOption(
        QStringLiteral("stall-after"),
        QStringLiteral("Test fault: send this many bytes of an archive, then nothing until the "
                       "client gives up or the service stops."),
        QStringLiteral("bytes"));
    const QCommandLineOption ignoreRangesOption(
        QStringLiteral("ignore-ranges"),
        QStringLiteral("Test fault: answer every archive request with the whole archive."));
    const QCommandLineOption changeValidatorOption(
        QStringLiteral("change-validator"),
        QStringLiteral("Test fault: give each archive request a new ETag and Last-Modified, as "
                       "if the archive had changed in between."));
    // Instead of serving: the catalogue as files for any web server.
    const QCommandLineOption exportOption(
        QStringLiteral("export"),
        QStringLiteral("Write the revision's API answers and archives below this folder, at the "
                       "paths the service serves them, for any web server, and end."),
        QStringLiteral("dir"));
    const QCommandLineOption baseUrlOption(
        QStringLiteral("base-url"),
        QStringLiteral("With --export: the URL the folder is served at, which the download "
                       "links start with."),
        QStringLiteral("url"));
    const QCommandLineOption corruptRangesOption(
        QStringLiteral("corrupt-ranges"),
        QStringLiteral("Test fault: change a byte in the middle of every range of an archive sent "
                       "that stops short of its end."));
    parser.addOptions({hostOption, portOption, catalogueOption, revisionOption, cutOption,
                       stallOption, ignoreRangesOption, changeValidatorOption, corruptRangesOption,
                       exportOption, baseUrlOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());

    bool portOk = false;
    const int port = parser.value(portOption).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    const QString revisionText = parser.value(revisionOption);
    if (revisionText != QLatin1String("1") && revisionText != QLatin1String("2"))
        return fail(QStringLiteral("--revision must be 1 or 2"));
    const int revision = revisionText.toInt();

    ServiceFaults faults;
    for (const auto &[option, bytes] :
         {std::pair{&cutOption, &faults.cutAfter}, std::pair{&stallOption, &faults.stallAfter}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        *bytes = parser.value(*option).toLongLong(&ok);
        if (!ok || *bytes < 0)
            return fail(
                QStringLiteral("--%1 needs a number of bytes").arg(option->names().first()));
    }
    faults.ignoreRanges = parser.isSet(ignoreRangesOption);
    faults.changeValidator = parser.isSet(changeValidatorOption);
    faults.corruptRanges = parser.isSet(corruptRangesOption);

    QString error;
    const bool exporting = parser.isSet(exportOption);
    QString linkBase;
    if (exporting != parser.isSet(baseUrlOption))
        return fail(QStringLiteral("--export and --base-url go together"));
    if (exporting) {
        for (const QCommandLineOption *serving :
             {&hostOption, &portOption, &cutOption, &stallOption, &ignoreRangesOption,
              &changeValidatorOption, &corruptRangesOption}) {
            if (parser.isSet(*serving))
                return fail(QStringLiteral("--%1 is for serving, not for --export")
                                .arg(serving->names().first()));
        }
        linkBase = exportLinkBase(parser.value(baseUrlOption), &error);
        if (linkBase.isEmpty())
            return fail(error);
    }

    Catalogue catalogue;
    const QString folder = parser.value(catalogueOption);
    if (!catalogue.load(folder, revision, &error))
        return fail(error);

    if (exporting) {
        const QString target = parser.value(exportOption);
        const ExportResult result = exportCatalogue(catalogue, target, linkBase);
        if (!result.ok)
            return fail(result.error);
        std::cout << "exported revision " << revision << " to "
                  << QDir(target).absolutePath().toStdString() << ": " << result.written
                  << " files written, " << result.unchanged << " unchanged" << std::endl;
        return 0;
    }

    const std::string host = parser.value(hostOption).toStdString();
    CatalogueServer server(catalogue, host, faults);
    const int boundPort = server.bind(port);
    if (boundPort < 0) {
        return fail(
            QStringLiteral("cannot listen on %1 port %2").arg(parser.value(hostOption)).arg(port));
    }
    std::cerr << "catalogue-service: revision " << revision << ", " << catalogue.topicCount()
              << " topics, " << catalogue.moduleCount() << " modules from "
              << QDir(folder).absolutePath().toStdString() << std::endl;
    std::cout << "listening on " << server.rootUrl().toStdString() << std::endl;

    const pthread_t mainThread = pthread_self();
    std::atomic<bool> stopping{false};
    std::atomic<bool> served{false};
    std::thread serving([&] {
        if (!server.listen())
            std::cerr << "catalogue-service: serving stopped unexpectedly" << std::endl;
        served = true;
        if (!stopping)
            pthread_kill(mainThread, SIGTERM);
    });

    int received = 0;
    sigwait(&stopSignals, &received);
    stopping = true;
    // A stop that comes before the serving thread has started listening does nothing, so keep
    // asking until serving has ended.
    while (!served) {
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    serving.join();
    std::cerr << "catalogue-service: stopped" << std::endl;
    return 0;
}

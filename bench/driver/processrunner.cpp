#include "driver/processrunner.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryFile>

#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

QString tail(const QString &text, int lines)
{
    const QStringList all = text.trimmed().split(QLatin1Char('\n'));
    return all.mid(qMax(0, all.size() - lines)).join(QLatin1Char('\n'));
}

} // namespace

QString ProcessResult::describe() const
{
    QString what;
    if (!started)
        what = QStringLiteral("could not be started");
    else if (timedOut)
        what = QStringLiteral("did not finish in time");
    else if (signal)
        what = QStringLiteral("killed by signal %1").arg(signal);
    else
        what = QStringLiteral("exit code %1").arg(exitCode);
    const QString errorTail = tail(errors, 30);
    return errorTail.isEmpty() ? what : what + QStringLiteral("\n") + errorTail;
}

QMap<QString, QString> ProcessResult::results() const
{
    QMap<QString, QString> found;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("result ")))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 7)
            found.insert(line.mid(7, equals - 7), line.mid(equals + 1).trimmed());
    }
    return found;
}

double ProcessResult::grownMiB() const
{
    const QMap<QString, QString> figures = results();
    return (figures.value(QStringLiteral("peak_kb")).toDouble() -
            figures.value(QStringLiteral("idle_kb")).toDouble()) /
           1024.0;
}

ProcessResult runProcess(const ProcessSpec &spec)
{
    ProcessResult result;
    QTemporaryFile out, err;
    if (!out.open() || !err.open())
        return result;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = spec.environment.cbegin(); it != spec.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    QList<QByteArray> envStrings, argStrings;
    for (const QString &entry : environment.toStringList())
        envStrings << entry.toLocal8Bit();
    argStrings << spec.program.toLocal8Bit();
    for (const QString &argument : spec.arguments)
        argStrings << argument.toLocal8Bit();
    QVector<char *> envp, argv;
    for (QByteArray &entry : envStrings)
        envp << entry.data();
    envp << nullptr;
    for (QByteArray &argument : argStrings)
        argv << argument.data();
    argv << nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devNull, 0);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.handle(), 2);
    const QByteArray directory = spec.workingDirectory.toLocal8Bit();
    if (!directory.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.constData());

    pid_t pid = 0;
    const double startedAt = monotonicSeconds();
    const int spawned = posix_spawnp(&pid, argv.at(0), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    if (spawned != 0) {
        result.errors = QString::fromLocal8Bit(strerror(spawned));
        return result;
    }
    result.started = true;

    // A watchdog ends a run that hangs, so that one broken case cannot stall the whole bench.
    std::mutex lock;
    std::condition_variable finished;
    bool exited = false;
    bool killed = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> guard(lock);
        if (!finished.wait_for(guard, std::chrono::seconds(spec.timeoutSeconds),
                               [&exited] { return exited; })) {
            killed = true;
            kill(pid, SIGKILL);
        }
    });

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds = monotonicSeconds() - startedAt;
    {
        std::lock_guard<std::mutex> guard(lock);
        exited = true;
    }
    finished.notify_all();
    watchdog.join();

    result.timedOut = killed;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.maxRssKb = usage.ru_maxrss;

    out.seek(0);
    err.seek(0);
    result.output = QString::fromLocal8Bit(out.readAll());
    result.errors = QString::fromLocal8Bit(err.readAll());
    return result;
}

// Copying the library to a drive: the folder chosen in the window's own folder dialog, then
// "Create", timed until "Modules copied!" stands in the activity log; optionally once more
// with nothing changed.

#include "client/cases.h"
#include "client/report.h"
#include "client/windowsession.h"

#include "mainwindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

namespace {

// Answers the folder dialog the window opens with folder, as a user picking it would.
void answerFolderDialog(const QString &folder)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, folder] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        dialog->setDirectory(folder);
        // The dialog's own accept(), reached as the OK button reaches it.
        static_cast<QDialog *>(dialog)->accept();
    });
    poll->start(10);
}

// The time "Modules copied!" reaches the log.
class CopiedWatch : public QObject
{
public:
    explicit CopiedWatch(QPlainTextEdit *log) : m_log(log)
    {
        connect(log, &QPlainTextEdit::textChanged, this, [this] {
            if (!copied &&
                m_log->document()->lastBlock().text() == QLatin1String("Modules copied!")) {
                copiedAt = now();
                copied = true;
            }
        });
    }
    bool copied = false;
    double copiedAt = 0;

private:
    QPlainTextEdit *m_log;
};

} // namespace

int runCopy(const ClientOptions &options)
{
    WindowSession session(options.expectModules);
    const QString problem = session.start();
    if (!problem.isEmpty())
        return Report::fail(problem);

    auto *select = session.widget<QPushButton>("selectUSBButton");
    auto *create = session.widget<QPushButton>("createUSBButton");
    auto *log = session.widget<QPlainTextEdit>("logWindow");
    QWidget *shownPath = session.widget<QWidget>("usbDrivePath");
    if (!select || !create || !log || !shownPath || !session.showTabOf(create))
        return Report::fail(QStringLiteral("the drive tab is not where it should be"));

    answerFolderDialog(options.drive);
    select->click();
    if (shownPath->property("text").toString() != options.drive || !create->isEnabled())
        return Report::fail(
            QStringLiteral("the folder dialog did not choose %1").arg(options.drive));
    settle(300);

    QVector<double> seconds;
    for (int run = 0; run < (options.repeat ? 2 : 1); ++run) {
        CopiedWatch watch(log);
        const double startedAt = now();
        create->click();
        if (!waitUntil([&watch] { return watch.copied; }, 600000))
            return Report::fail(QStringLiteral("\"Modules copied!\" did not appear in the log"));
        seconds << watch.copiedAt - startedAt;
        Report::value(run == 0 ? "log_lines" : "repeat_log_lines", log->document()->blockCount());
    }
    Report::value("seconds", seconds.at(0));
    if (options.repeat)
        Report::value("repeat_seconds", seconds.at(1));
    return 0;
}

// Downloading: the window's "Download Module" on the topic view, from the click to the moment
// the window is told the archive is saved, with the process's memory during the transfer; and
// to the moment it is told the archive is unpacked, which is when an update is done.

#include "client/cases.h"
#include "client/report.h"
#include "client/windowsession.h"
#include "common/messagehook.h"
#include "common/procstat.h"

#include "mainwindow.h"
#include "transfer/networktiming.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QPushButton>
#include <QSettings>

namespace {

// The window enables its download button again when the download has finished.
class FinishWatch : public QObject
{
public:
    explicit FinishWatch(QPushButton *button) : m_button(button)
    {
        button->installEventFilter(this);
    }
    bool finished = false;
    double finishedAt = 0;
    qint64 peakKb = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::EnabledChange &&
            m_button->isEnabled() && !finished) {
            finishedAt = now();
            peakKb = ProcStat::peakResidentKb();
            finished = true;
        }
        return false;
    }

private:
    QPushButton *m_button;
};

bool indexHolds(const QString &libraryFolder, const QString &moduleId)
{
    QFile index(libraryFolder + QStringLiteral("/tavro-modules.txt"));
    if (!index.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : index.readAll().split('\n')) {
        if (QJsonDocument::fromJson(line).object().value(QStringLiteral("_id")).toString() ==
            moduleId)
            return true;
    }
    return false;
}

int rowNamed(const QAbstractItemModel *model, const QString &name)
{
    for (int row = 0; model && row < model->rowCount(); ++row) {
        if (model->index(row, 0).data().toString() == name)
            return row;
    }
    return -1;
}

} // namespace

int runDownload(const ClientOptions &options)
{
    if (options.stallMs > 0)
        NetworkTiming::setForTests(options.stallMs, 0);
    WindowSession session(options.expectModules);
    const QString problem = session.start();
    if (!problem.isEmpty())
        return Report::fail(problem);

    auto *list = session.widget<QListView>("listView");
    auto *button = session.widget<QPushButton>("downloadModuleButton");
    if (!list || !button || !session.showTabOf(list))
        return Report::fail(QStringLiteral("the topic view is not where it should be"));
    const int row = rowNamed(list->model(), options.moduleName);
    if (row < 0)
        return Report::fail(
            QStringLiteral("\"%1\" is not in the topic view").arg(options.moduleName));
    const QModelIndex index = list->model()->index(row, 0);
    list->setCurrentIndex(index);
    QMetaObject::invokeMethod(&session.window(), "showModuleDetails", Qt::DirectConnection,
                              Q_ARG(QModelIndex, index));
    if (!button->isEnabled())
        return Report::fail(QStringLiteral("the module's details did not enable its download"));

    bool unpacked = false;
    double unpackedAt = 0;
    QString unpackReport;
    const int listener = MessageHook::listen([&](const QString &line) {
        if (!line.startsWith(QLatin1String("File Unzipping Complete")))
            return;
        // Noted once the slot that wrote the line has recorded the module.
        QMetaObject::invokeMethod(
            qApp,
            [&unpacked, &unpackedAt, &unpackReport, line] {
                unpackReport = line;
                unpackedAt = now();
                unpacked = true;
            },
            Qt::QueuedConnection);
    });

    settle(500);
    const qint64 idleKb = ProcStat::residentKb();
    const bool peakReset = ProcStat::resetPeak();
    ResidentSampler sampler;
    FinishWatch watch(button);
    const double startedAt = now();
    button->click();
    const bool finished = waitUntil([&watch] { return watch.finished; }, 600000);
    sampler.stop();
    if (!finished)
        return Report::fail(QStringLiteral("the download did not finish within ten minutes"));

    const bool reported = waitUntil([&unpacked] { return unpacked; }, 600000);
    MessageHook::unlisten(listener);
    if (!reported)
        return Report::fail(QStringLiteral("the downloaded archive was not unpacked"));
    if (!unpackReport.contains(QLatin1String("success")))
        return Report::fail(QStringLiteral("unpacking the download failed: ") + unpackReport);
    const QString libraryFolder = QSettings().value(QStringLiteral("moduleDirectory")).toString();
    if (!indexHolds(libraryFolder, options.moduleId))
        return Report::fail(QStringLiteral("the library index does not record the module"));

    Report::value("seconds", watch.finishedAt - startedAt);
    Report::value("installed_seconds", unpackedAt - startedAt);
    Report::value("idle_kb", double(idleKb));
    Report::value("peak_kb", double(peakReset ? watch.peakKb : sampler.highestKb()));
    Report::value("sampled_peak_kb", double(sampler.highestKb()));
    return 0;
}

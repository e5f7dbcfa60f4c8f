#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "library/statusline.h"

#include <QDebug>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

void MainWindow::writeLogMessage(QString message)
{
    ui->logWindow->appendPlainText(message);
    QScrollBar *bar = ui->logWindow->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MainWindow::showStatus(const QString &line, int timeoutMs)
{
    ui->statusBar->showMessage(line, timeoutMs);
}

void MainWindow::showCatalogueFailure(const QString &reason, int retryInMs)
{
    // A line about a try still to come goes when that try is made.
    showStatus(StatusLine::catalogueFailed(reason, retryInMs), qMax(retryInMs, 0));
}

void MainWindow::copyComplete(JobResult result)
{
    if (result.ok)
        writeLogMessage(tr("Modules copied!"));
    else if (result.filesLeftOut == 1)
        writeLogMessage(tr("The copy is incomplete: 1 file could not be copied."));
    else
        writeLogMessage(
            tr("The copy is incomplete: %1 files could not be copied.").arg(result.filesLeftOut));
}

void MainWindow::notifyFileComplete(QString status)
{
    qDebug() << "File Unzipping Complete: " << status;
}

void MainWindow::delay(int millisecondsToWait)
{
    if (millisecondsToWait <= 0)
        return;
    // A nested event loop that sleeps until the timer fires: every kind of event is handled
    // meanwhile, and no processor time is spent polling the clock.
    QEventLoop wait;
    QTimer::singleShot(millisecondsToWait, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::AllEvents);
}

void MainWindow::handleTabBarClick(int selection)
{
    qDebug() << "User just selected a new tab with index: " << selection;
}

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "library/download.h"

void MainWindow::downloadModule() {}
void MainWindow::downloadModule_2() {}
void MainWindow::downloadAllTopicModules() {}
void MainWindow::downloadTopicModules() {}
void MainWindow::downloadTopicModule(QString moduleId)
{
    Q_UNUSED(moduleId)
}
void MainWindow::updateModule(QString moduleId)
{
    Q_UNUSED(moduleId)
}
void MainWindow::downloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesReceived)
    Q_UNUSED(bytesTotal)
}
void MainWindow::downloadProgress_2(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesReceived)
    Q_UNUSED(bytesTotal)
}
void MainWindow::updateProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesReceived)
    Q_UNUSED(bytesTotal)
}
void MainWindow::callDF0() {}
void MainWindow::callDF1() {}
void MainWindow::callDF2() {}
void MainWindow::callDF3() {}
void MainWindow::downloadFinished(int cflag)
{
    Q_UNUSED(cflag)
}
void MainWindow::startDownload(int cflag, const QJsonObject &record, const QString &link)
{
    Q_UNUSED(cflag)
    Q_UNUSED(record)
    Q_UNUSED(link)
}
void MainWindow::installExtracted(const QString &status)
{
    Q_UNUSED(status)
}

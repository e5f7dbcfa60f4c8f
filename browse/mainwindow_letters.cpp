#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::refreshLetterList(QJsonArray letterList)
{
    Q_UNUSED(letterList)
}
void MainWindow::changeLetter() {}
void MainWindow::refreshAlphaModuleList(QJsonArray topicList)
{
    Q_UNUSED(topicList)
}
void MainWindow::showModuleDetails_2(QModelIndex qmIndex)
{
    Q_UNUSED(qmIndex)
}

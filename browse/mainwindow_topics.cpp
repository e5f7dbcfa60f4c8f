#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::refreshCategoryList() {}
void MainWindow::refreshTopicList(QJsonArray topicList)
{
    Q_UNUSED(topicList)
}
void MainWindow::changeCategory(QString category)
{
    Q_UNUSED(category)
}
void MainWindow::changeTopic(QString topic)
{
    Q_UNUSED(topic)
}
void MainWindow::refreshModuleList(QJsonArray topicList)
{
    Q_UNUSED(topicList)
}
void MainWindow::showModuleDetails(QModelIndex qmIndex)
{
    Q_UNUSED(qmIndex)
}

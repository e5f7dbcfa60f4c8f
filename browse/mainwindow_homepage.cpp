#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::displayArticles(QJsonArray articles)
{
    Q_UNUSED(articles)
}
void MainWindow::goToModule() {}

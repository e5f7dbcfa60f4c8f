#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::updateModuleTable() {}
void MainWindow::updateCheckedModules() {}
void MainWindow::updateModules() {}

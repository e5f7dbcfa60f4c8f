#include "mainwindow.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    qDebug() << "Application Launching...";
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavro.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvelle"));

    MainWindow window;
    window.setStyleSheet(QStringLiteral("QMainWindow {background: 'white';}"));
    window.show();
    return application.exec();
}

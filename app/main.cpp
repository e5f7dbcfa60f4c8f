#include "mainwindow.h"

#include "app/singleinstance.h"
#include "app/translations.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    qDebug() << "Application Launching...";
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavro.org"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvelle"));
    // In the system's language (LANG on Linux) where a translation ships.
    Translations::install(QLocale());

    SingleInstance instance(MainWindow::libraryFolderPath());
    if (!instance.claim()) {
        qDebug() << "Corvelle is running already: its window comes to the front";
        return 0;
    }

    // The window's white background comes with its form, set before any widget exists:
    // set on the finished window it would restyle every widget again.
    MainWindow window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &MainWindow::bringToFront);
    window.show();
    return application.exec();
}

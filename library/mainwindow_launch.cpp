#include "mainwindow.h"

#include <QDesktopServices>
#include <QUrl>

void MainWindow::launchModule()
{
    const QString folder = settings.value(QStringLiteral("moduleDirectory")).toString();
    // A local path of either platform ("C:/Users/..." or "/home/...") becomes a proper file URL.
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "library/startpage.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QScrollBar>

void MainWindow::selectUSB()
{
    usbDrivePath = QFileDialog::getExistingDirectory(this, tr("Choose Directory"), QDir::homePath(),
                                                     QFileDialog::ShowDirsOnly |
                                                         QFileDialog::DontResolveSymlinks);
    ui->usbDrivePath->setText(usbDrivePath);
    ui->createUSBButton->setEnabled(true);
}

void MainWindow::createUSB()
{
    ui->logWindow->clear();
    QScrollBar *bar = ui->logWindow->verticalScrollBar();
    bar->setValue(bar->maximum());
    qDebug() << "Creating USB";
    const QString source = settings.value(QStringLiteral("moduleDirectory")).toString();
    qDebug().noquote() << "Copying from" << source << "to" << usbDrivePath;

    // A cancelled dialog leaves no folder; the library must not land at the file system's root.
    if (usbDrivePath.isEmpty()) {
        writeLogMessage(tr("Choose your thumb drive first: no folder is selected."));
        return;
    }

    const QString target = usbDrivePath + QStringLiteral("/Tavro Modules");
    if (!QDir(target).exists()) {
        QDir(usbDrivePath).mkdir(QStringLiteral("Tavro Modules"));
        writeLogMessage(tr("Creating Module Folder: ") + target);
    }
    // Damage found now shows in the library table while the copy runs.
    checkLibrary();
    // The start page goes with the library, written afresh so that it lists what is copied.
    const LibraryIndex::Result page = StartPage::write(source);
    if (!page.ok)
        qWarning().noquote() << page.error;
    emit copyDirs(source, target);
}

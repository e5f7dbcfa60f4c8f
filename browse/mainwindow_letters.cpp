#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "browse/catalogrecord.h"

#include <QDebug>

void MainWindow::refreshLetterList(QJsonArray letterList)
{
    letterArray = letterList;
    qDebug() << "Letters received:" << letterArray.size();
}

void MainWindow::changeLetter()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button) {
        qDebug() << "changeLetter() needs a letter button as its sender";
        return;
    }
    const QString caption = button->text();
    ui->groupBox_4->setTitle(tr("Module List (%1)").arg(caption));
    const QString letterId = CatalogRecord::lastIdNamed(letterArray, caption);

    // The old details would otherwise sit beside a list they no longer belong to.
    ui->moduleName_2->clear();
    ui->textBrowser->clear();
    ui->downloadModuleButton_2->setEnabled(false);
    setAlphaFactsVisible(false);

    m_letterJump.letterPicked();
    emit gma(letterId);
}

void MainWindow::refreshAlphaModuleList(QJsonArray topicList)
{
    const bool jumpTarget = m_letterJump.listArrived();
    alphaModuleArray = CatalogRecord::listedModules(topicList);
    if (!alphaModuleModel)
        alphaModuleModel = new QStringListModel(this);
    // Resetting the model drops the view's selection and current row with the old list.
    alphaModuleModel->setStringList(CatalogRecord::names(alphaModuleArray));
    if (ui->listView_2->model() != alphaModuleModel)
        ui->listView_2->setModel(alphaModuleModel);
    if (jumpTarget)
        selectJumpTarget();
}

void MainWindow::showModuleDetails_2(QModelIndex qmIndex)
{
    const int row = qmIndex.row();
    if (row < 0 || row >= alphaModuleArray.size())
        return;

    const CatalogRecord record(alphaModuleArray.at(row));
    selectedAlphaModule = record.json();
    ui->moduleName_2->setText(record.name());
    ui->textBrowser->setText(record.description());
    ui->moduleVersionDetails_2->setText(record.version());
    ui->packageSize_2->setText(record.packageSize());
    alphaDownloadLink = record.downloadLink();
    ui->downloadModuleButton_2->setEnabled(!alphaDownloadLink.isEmpty());
    setAlphaFactsVisible(true);
}

void MainWindow::setAlphaFactsVisible(bool visible)
{
    for (QLabel *fact : {ui->versionDetailsLabel_2, ui->moduleVersionDetails_2,
                         ui->packageSizeLabel_2, ui->packageSize_2})
        fact->setVisible(visible);
}

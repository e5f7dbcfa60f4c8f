#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "browse/catalogrecord.h"
#include "browse/homepagejump.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>

void MainWindow::displayArticles(QJsonArray articles)
{
    articleArray = articles;
    qDebug() << "Articles received:" << articleArray.size();
    // The first two featured modules have no button that leads to them.
    const struct
    {
        QGroupBox *box;
        QLabel *description;
        QPushButton *button;
    } featured[] = {{ui->module_1, ui->module_1_description, nullptr},
                    {ui->module_2, ui->module_2_description, nullptr},
                    {ui->module_3, ui->module_3_description, ui->module_3_button},
                    {ui->module_4, ui->module_4_description, ui->module_4_button}};
    for (const QJsonValue &value : qAsConst(articleArray)) {
        const CatalogRecord article(value);
        const int slot = article.aorder();
        if (slot < 1 || slot > 4)
            continue;
        featured[slot - 1].box->setTitle(article.name());
        featured[slot - 1].description->setText(article.description());
        if (featured[slot - 1].button && !article.hasModules())
            featured[slot - 1].button->hide();
    }
}

void MainWindow::goToModule()
{
    const int slot = HomepageJump::slotNumber(sender() ? sender()->objectName() : QString());
    // The article list may be replaced while a jump waits for its module list.
    const QJsonArray articles = articleArray;
    for (const QJsonValue &value : articles) {
        const CatalogRecord article(value);
        if (slot == 0 || article.aorder() != slot)
            continue;
        qDebug().noquote() << QJsonDocument(article.json()).toJson(QJsonDocument::Compact);

        const QString name = article.name();
        if (!article.hasModules())
            continue;
        const QString buttonName = HomepageJump::letterButtonName(name);
        auto *letterButton =
            buttonName.isEmpty() ? nullptr : ui->tabWidget->findChild<QPushButton *>(buttonName);
        if (!letterButton) {
            qDebug().noquote()
                << QStringLiteral("No letter button leads to the module \"%1\"").arg(name);
            continue;
        }

        ui->tabWidget->setCurrentIndex(1);
        letterButton->click();
        m_letterJump.begin(name);
        // The letter's list usually comes within the wait, and the jump ends with it. One that
        // comes later ends the jump when it does; meanwhile the list of another letter may
        // stand in the view, and nothing of it is selected.
        QElapsedTimer waited;
        waited.start();
        while (m_letterJump.waiting() && waited.elapsed() < 3000)
            delay(int(qMin<qint64>(50, 3000 - waited.elapsed())));
        if (m_letterJump.waiting()) {
            qDebug().noquote()
                << QStringLiteral("The list to select \"%1\" in has not arrived yet").arg(name);
            ui->listView_2->setCurrentIndex(QModelIndex());
            ui->listView_2->clearSelection();
        }
    }
}

void MainWindow::selectJumpTarget()
{
    const QString name = m_letterJump.moduleName();
    for (const QString &listedName : CatalogRecord::names(alphaModuleArray))
        qDebug() << listedName << name;
    // Only the module itself: a module missing from its letter's list leaves nothing selected,
    // rather than another module ready to be downloaded in its place.
    const int row = CatalogRecord::lastPositionNamed(alphaModuleArray, name);
    const QModelIndex index = row < 0 ? QModelIndex() : ui->listView_2->model()->index(row, 0);
    if (!index.isValid()) {
        qDebug().noquote() << QStringLiteral("\"%1\" is not in its letter's list").arg(name);
        return;
    }
    ui->listView_2->setCurrentIndex(index);
    showModuleDetails_2(index);
}

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "browse/catalogrecord.h"
#include "browse/topicchoice.h"
#include "browse/topicgate.h"

#include <QDebug>

void MainWindow::refreshCategoryList()
{
    // The first entry added to the empty selector becomes current and already runs
    // changeCategory with "All categories".
    for (const QString &category : TopicChoice::categories())
        ui->categoryComboBox->addItem(category);
    ui->categoryComboBox->setCurrentIndex(0);
    changeCategory(QString());
}

void MainWindow::refreshTopicList(QJsonArray topicList)
{
    refreshCategoryList();
    topicArray = topicList;
    ui->comboBox->addItem(TopicChoice::allTopics());
    // The first filling keeps the service's order, duplicates included.
    ui->comboBox->addItems(CatalogRecord::names(topicArray));
    ui->comboBox->setCurrentIndex(0);
    changeTopic(QString());
}

void MainWindow::changeCategory(QString category)
{
    qDebug() << "Category Selected: " << category;
    const QStringList topicNames = TopicChoice::topicNamesUnder(topicArray, category);

    topicGate = QStringLiteral("0");
    ui->comboBox->clear();
    qDebug() << topicNames;
    QString topicToChoose;
    if (category == TopicChoice::allCategories()) {
        ui->comboBox->addItem(TopicChoice::allTopics());
        topicToChoose = TopicChoice::allTopics();
    } else if (!topicNames.isEmpty()) {
        topicToChoose = topicNames.first();
    }
    ui->comboBox->addItems(topicNames);
    topicGate = QStringLiteral("1");
    changeTopic(topicToChoose);
}

void MainWindow::changeTopic(QString topic)
{
    if (topicGate != QLatin1String("1"))
        return;

    ui->moduleName->clear();
    ui->textBrowser_2->clear();
    ui->downloadModuleButton->setEnabled(false);
    setTopicFactsVisible(false);
    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(0);

    ui->downloadAllButton->setEnabled(topic != TopicChoice::allTopics() && !topic.isEmpty());
    emit gm(CatalogRecord::lastIdNamed(topicArray, topic));
}

void MainWindow::refreshModuleList(QJsonArray topicList)
{
    topicModuleArray = topicList;
    if (topicList.size() >= m_catalogueModules.size())
        m_catalogueModules = topicList;
    // Download All may take the ids only while a real topic is chosen.
    const bool wholeTopic = ui->downloadAllButton->isEnabled();
    topicModuleIds.clear();
    m_topicModuleArrayIds.clear();
    m_topicModuleArrayIds.reserve(topicModuleArray.size());
    QStringList moduleNames;
    moduleNames.reserve(topicModuleArray.size());
    float total = 0.0f;
    // One walk reads all that is needed of each record: a list may hold tens of thousands of
    // them, and a walk for each key fetched every record from memory again.
    for (const QJsonValue &value : qAsConst(topicModuleArray)) {
        const CatalogRecord record(value);
        const QString id = record.id();
        // Kept for the library table, which compares the installed modules with this list.
        m_topicModuleArrayIds.append(id);
        if (wholeTopic) {
            total += CatalogRecord::leadingSize(record.packageSize());
            topicModuleIds.append(id);
        }
        moduleNames.append(record.name());
    }
    ui->topicPackageSize->setText(wholeTopic ? CatalogRecord::totalSizeText(total) : QString());

    if (!topicModuleModel)
        topicModuleModel = new QStringListModel(this);
    // Resetting the model drops the view's selection and current row with the old list.
    topicModuleModel->setStringList(moduleNames);
    if (ui->listView->model() != topicModuleModel)
        ui->listView->setModel(topicModuleModel);

    updateModuleTable();
}

void MainWindow::showModuleDetails(QModelIndex qmIndex)
{
    const int row = qmIndex.row();
    if (row < 0 || row >= topicModuleArray.size())
        return;

    const CatalogRecord record(topicModuleArray.at(row));
    selectedTopicModule = record.json();
    ui->moduleName->setText(record.name());
    ui->textBrowser_2->setText(record.description());
    ui->moduleVersionDetails->setText(record.version());
    ui->packageSize->setText(record.packageSize());
    topicDownloadLink = record.downloadLink();
    ui->downloadModuleButton->setEnabled(!topicDownloadLink.isEmpty());
    setTopicFactsVisible(true);
}

void MainWindow::setTopicFactsVisible(bool visible)
{
    for (QLabel *fact :
         {ui->versionDetailsLabel, ui->moduleVersionDetails, ui->packageSizeLabel, ui->packageSize})
        fact->setVisible(visible);
}

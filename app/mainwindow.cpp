#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "app/formfont.h"
#include "library/startpage.h"
#include "transfer/download.h"
#include "worker/module.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QStyleFactory>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    QThread::currentThread()->setObjectName(QStringLiteral("Thread_1"));
    connectWorker();
    workerThread.start();
    m_jobThread.start();
    useFittingFont();
    ui->setupUi(this);
    connectWidgets();
    applyStyling();
    addStopButton();
    emit getTopics();
    emit getLetters();
    emit getArticles();
    initApplication();
}

MainWindow::~MainWindow()
{
    // A catalogue request still waiting is cut short when the worker's event loop ends; a job
    // under way (a copy, an extraction) is finished first.
    workerThread.quit();
    // Jobs already asked for (a copy just started, an unzip) run first: the quit waits behind them.
    // Posted to an object of the thread, which holds the event until its loop runs: a thread
    // just started may have no event dispatcher yet.
    QMetaObject::invokeMethod(
        m_jobs, [this] { m_jobThread.quit(); }, Qt::QueuedConnection);
    workerThread.wait();
    m_jobThread.wait();
    // An extraction that ended meanwhile has its module recorded in the index all the same:
    // its files are in the library.
    m_closing = true;
    QCoreApplication::sendPostedEvents(&m_extractionAnswers, QEvent::MetaCall);
    m_downloads.clear();
    delete ui;
}

void MainWindow::connectWorker()
{
    qRegisterMetaType<InstalledComparison>();
    qRegisterMetaType<InstalledCheck>();
    // One worker asks the catalogue for its lists; another, on a thread of its own, runs the
    // jobs that hold their thread for as long as they take (seconds, or minutes for a copy to
    // a slow drive), so that lists keep arriving meanwhile. The jobs run one after the other,
    // in the order they were asked for; one more such job is routed to jobs as these are.
    auto *worker = new Module;
    worker->moveToThread(&workerThread);
    connect(&workerThread, &QThread::finished, worker, &QObject::deleteLater);
    auto *jobs = new Module;
    jobs->moveToThread(&m_jobThread);
    m_jobs = jobs;
    connect(&m_jobThread, &QThread::finished, jobs, &QObject::deleteLater);

    connect(this, &MainWindow::getTopics, worker, &Module::getTopicList);
    connect(this, &MainWindow::getLetters, worker, &Module::getLetterList);
    connect(this, &MainWindow::getArticles, worker, &Module::getArticles);
    connect(this, &MainWindow::gm, worker, &Module::getModuleList);
    connect(this, &MainWindow::gma, worker, &Module::getModuleListByAlpha);
    connect(this, &MainWindow::unzip, jobs, &Module::unzipFile);
    connect(this, &MainWindow::copyDirs, jobs, &Module::copyDirectories);
    connect(this, &MainWindow::compareInstalled, jobs, &Module::compareInstalled);
    connect(this, &MainWindow::checkArchive, jobs, &Module::checkArchive);
    connect(this, &MainWindow::checkInstalled, jobs, &Module::checkInstalled);

    connect(worker, &Module::articlesReady, this, &MainWindow::displayArticles);
    connect(worker, &Module::resultsReady, this, &MainWindow::refreshTopicList);
    connect(worker, &Module::alphaResultsReady, this, &MainWindow::refreshLetterList);
    connect(worker, &Module::refreshModuleAlpha, this, &MainWindow::refreshAlphaModuleList);
    connect(worker, &Module::refreshModule, this, &MainWindow::refreshModuleList);
    connect(jobs, &Module::notifyFileDone, this, &MainWindow::notifyFileComplete);
    connect(jobs, &Module::writeLog, this, &MainWindow::writeLogMessage);
    connect(jobs, &Module::unpacked, &m_extractionAnswers,
            [this](const JobResult &result) { installExtracted(result); });
    connect(jobs, &Module::copied, this, &MainWindow::copyComplete);
    connect(worker, &Module::catalogueFailed, this, &MainWindow::showCatalogueFailure);
    connect(jobs, &Module::installedCompared, this, &MainWindow::installedCompared);
    connect(jobs, &Module::archiveChecked, this, &MainWindow::archiveChecked);
    connect(jobs, &Module::installedChecked, this, &MainWindow::installedChecked);

    // The first damage check waits for the start-up lists rather than slow them down; after a
    // failure they may be long in coming, and it waits no more.
    const auto listDone = [this](bool failed) {
        if (m_startUpListsToGo > 0 && (failed || --m_startUpListsToGo == 0)) {
            m_startUpListsToGo = 0;
            checkLibrary();
        }
    };
    for (const auto arrived : {&Module::resultsReady, &Module::alphaResultsReady,
                               &Module::articlesReady, &Module::refreshModule})
        connect(worker, arrived, this, [listDone] { listDone(false); });
    connect(worker, &Module::catalogueFailed, this, [listDone] { listDone(true); });
}

void MainWindow::connectWidgets()
{
    const char *const clicked = SIGNAL(clicked(bool));
    struct Wire
    {
        QObject *sender;
        const char *signal;
        const char *slot;
    };
    QVector<Wire> wires = {
        {ui->comboBox, SIGNAL(currentTextChanged(QString)), SLOT(changeTopic(QString))},
        {ui->categoryComboBox, SIGNAL(currentTextChanged(QString)), SLOT(changeCategory(QString))},
        {ui->listView, SIGNAL(clicked(QModelIndex)), SLOT(showModuleDetails(QModelIndex))},
        {ui->listView_2, SIGNAL(clicked(QModelIndex)), SLOT(showModuleDetails_2(QModelIndex))},
        {ui->downloadModuleButton, clicked, SLOT(downloadModule())},
        {ui->downloadModuleButton_2, clicked, SLOT(downloadModule_2())},
        {ui->launchModuleButton, clicked, SLOT(launchModule())},
        {ui->launchModuleButton_2, clicked, SLOT(launchModule())},
        {ui->launchModuleButton_3, clicked, SLOT(launchModule())},
        {ui->downloadAllButton, clicked, SLOT(downloadAllTopicModules())},
        {ui->module_3_button, clicked, SLOT(goToModule())},
        {ui->module_4_button, clicked, SLOT(goToModule())},
        {ui->tabWidget, SIGNAL(tabBarClicked(int)), SLOT(handleTabBarClick(int))},
        {ui->updateCheckedModulesButton, clicked, SLOT(updateCheckedModules())},
        {ui->selectUSBButton, clicked, SLOT(selectUSB())},
        {ui->createUSBButton, clicked, SLOT(createUSB())},
    };
    for (QPushButton *button : ui->tab_2->findChildren<QPushButton *>(
             QRegularExpression(QStringLiteral("^am_button_")), Qt::FindDirectChildrenOnly))
        wires.append({button, clicked, SLOT(changeLetter())});
    for (const Wire &wire : qAsConst(wires))
        connect(wire.sender, wire.signal, this, wire.slot);
}

void MainWindow::useFittingFont()
{
    const QString family = FormFont::replacementFor(QApplication::font());
    if (family.isEmpty())
        return;
    QFont font = QApplication::font();
    font.setFamily(family);
    // The whole application's, so that the selectors' lists and the status bar match the form;
    // the form's sizes and weights resolve against it.
    QApplication::setFont(font);
}

namespace {
// The form's style sheets select these widgets by the names given here; a widget already
// polished under its form name must apply its style sheet again to match them.
void renameStyled(QWidget *widget, const QString &name)
{
    widget->setObjectName(name);
    widget->setStyleSheet(widget->styleSheet());
}
} // namespace

void MainWindow::applyStyling()
{
    renameStyled(ui->tabWidget, QStringLiteral("appTabWidget"));
    renameStyled(ui->groupBox_11, QStringLiteral("latestModules"));
    const QString letter = QStringLiteral(
        "background-color: #e2f0d9; border-top-left-radius: 8px; border-top-right-radius: 8px; "
        "border-bottom-left-radius: 8px; border-bottom-right-radius: 8px;");
    for (QPushButton *button : ui->tab_2->findChildren<QPushButton *>(
             QRegularExpression(QStringLiteral("^am_button_")), Qt::FindDirectChildrenOnly))
        button->setStyleSheet(letter);

    // The widgets are held by value: a list inside a pair would not outlive its initialiser.
    const std::pair<const char *, QVector<QWidget *>> styles[] = {
        {"color: #007400; background-color: #ffffff; border: 1px solid #007400; font-weight: bold;",
         {ui->module_3_button, ui->module_4_button, ui->downloadModuleButton_2,
          ui->downloadModuleButton, ui->selectUSBButton, ui->createUSBButton}},
        {"color: #0070c0; background-color: #ffffff; border: 1px solid #0070c0; font-weight: bold;",
         {ui->launchModuleButton_2, ui->launchModuleButton, ui->launchModuleButton_3}},
        {"color: #0c77c3; font-size: 16px; font-weight: bold;",
         {ui->groupBox_4, ui->groupBox_5, ui->groupBox_6, ui->groupBox_7}},
        {"color: #005392; font-size: 16px; font-weight: bold;",
         {ui->label_4, ui->label_6, ui->label_7}},
        {"color: black; font-size: 13px; font-weight: normal;",
         {ui->module_4_description, ui->listView_2, ui->textBrowser, ui->textBrowser_2}},
        {"color: black; font-size: 14px; font-weight: bold;", {ui->moduleName_2, ui->moduleName}},
        {"color: black; font-size: 11px; font-weight: bold;",
         {ui->packageSizeLabel_2, ui->versionDetailsLabel_2, ui->packageSizeLabel,
          ui->versionDetailsLabel}},
        {"color: black; font-size: 11px; font-weight: normal;",
         {ui->moduleVersionDetails_2, ui->packageSize_2, ui->moduleVersionDetails,
          ui->packageSize}},
        {"border: 0px; color: #007400;", {ui->module_2, ui->module_3, ui->module_4}},
        {"color: #005392;", {ui->label_10}},
        {"color: #3b9d3b;", {ui->label_11}},
        {"color: #0077c3;", {ui->module_1}},
        {"color: black; font-size: 14px; border: 0px; font-weight: normal;",
         {ui->module_1_description}},
        {"color: black; font-size: 14px; font-weight: normal;", {ui->module_2_description}},
        {"color: black; font-size: 13px; border: 0px; font-weight: normal;",
         {ui->module_3_description}},
        {"background-color: #e2f0d9; border: 1px solid #4e5563;", {ui->downloadAllButton}},
        {"color: #007400; font-size: 16px; font-weight: bold;", {ui->groupBox_9}},
        {"font-size: 12px;", {ui->usbDrivePath}},
    };
    for (const auto &style : styles) {
        for (QWidget *widget : style.second)
            widget->setStyleSheet(QString::fromLatin1(style.first));
    }
}

QString MainWindow::libraryFolderPath()
{
    return QDir::homePath() + QStringLiteral("/Desktop/Tavro Modules");
}

void MainWindow::bringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::initApplication()
{
    qDebug() << "initApplication() called";
    ui->comboBox->clear();
    for (QWidget *bar : {ui->progressBar, ui->progressBar_2, ui->updateProgressBar})
        bar->hide();
    for (QWidget *button : {ui->downloadModuleButton, ui->downloadAllButton,
                            ui->downloadModuleButton_2, ui->createUSBButton})
        button->setEnabled(false);
    setTopicFactsVisible(false);
    setAlphaFactsVisible(false);
    ui->logWindow->setReadOnly(true);
    // The style belongs to the button, which deletes it with itself.
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion)
        fusion->setParent(ui->selectUSBButton);
    ui->selectUSBButton->setStyle(fusion);

    const QString libraryFolder = libraryFolderPath();
    QDir library(libraryFolder);
    if (!library.exists()) {
        library.cdUp();
        library.mkdir(QStringLiteral("Tavro Modules"));
    }
    // Stored again only when it differs: each write of the settings file is locked and synced
    // to disk, which costs the start-up milliseconds for a value that is already there.
    const QString key = QStringLiteral("moduleDirectory");
    if (settings.value(key).toString() != libraryFolder)
        settings.setValue(key, libraryFolder);
    // A library installed by an older client, or changed while the page could not be written.
    if (StartPage::isStale(libraryFolder)) {
        const LibraryIndex::Result page = StartPage::write(libraryFolder);
        if (!page.ok)
            qWarning().noquote() << page.error;
    }
    ui->tabWidget->setCurrentIndex(0);
}

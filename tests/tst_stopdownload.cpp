// "Stop" on the status bar ends the download under way and its chain; the next download of the
// module goes on from what arrived.
#include "support/testenvironment.h"
#include "support/windowfixture.h"
#include "support/zipbuilder.h"
#include "transfer/networktiming.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class StopDownloadTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void stop_endsTheChainAndTheNextDownloadResumes();
};

void StopDownloadTest::stop_endsTheChainAndTheNextDownloadResumes()
{
    NetworkTiming::setForTests(5000, 20);
    startServer();
    answerStartUpWithoutTopics();
    TestServer::Answer slow =
        TestServer::Answer::archive(ZipBuilder()
                                        .addDirectory("m1")
                                        .addFile("m1/index.html", QByteArray(400000, 'x'))
                                        .archive());
    slow.chunkSize = 8192;
    slow.chunkDelayMs = 20;
    m_server->setAnswer(QStringLiteral("/files/m1.zip"), slow);
    m_server->setAnswer(QStringLiteral("/files/m2.zip"), slow);
    const QString library = openWindowOnEmptyLibrary();
    QStringList statusLines;
    recordStatusLines(&statusLines);

    QJsonArray modules;
    for (const QString &id : {QStringLiteral("m1"), QStringLiteral("m2")}) {
        modules.append(
            QJsonObject{{"_id", id},
                        {"name", QStringLiteral("Module ") + id},
                        {"downloadLink", m_server->baseUrl() + "/files/" + id + ".zip"}});
    }
    auto *downloadAll = widget<QPushButton>("downloadAllButton");
    downloadAll->setEnabled(true);
    QVERIFY(invoke("refreshModuleList", Q_ARG(QJsonArray, modules)));
    auto *stop = widget<QPushButton>("stopButton");
    QVERIFY(!stop->isVisible());
    downloadAll->click();
    auto *bar = widget<QProgressBar>("progressBar");
    QTRY_VERIFY(bar->value() > 100000);
    QVERIFY(stop->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);

    QVERIFY(statusLines.last().startsWith(QStringLiteral("Stopped Module m1 at ")));
    QVERIFY(!stop->isVisible());
    QVERIFY(!bar->isVisible());
    QCOMPARE(widget<QLabel>("downloadModuleLabel")->text(), QString());
    const qint64 held = QFileInfo(library + QStringLiteral("/.m1.zip.part")).size();
    QVERIFY(held > 0);
    // The chain ended with it: the second module is never asked for.
    QTest::qWait(300);
    QCOMPARE(m_server->requests().filter(QStringLiteral("/files/")),
             QStringList{QStringLiteral("/files/m1.zip")});

    auto *list = widget<QListView>("listView");
    emit list->clicked(list->model()->index(0, 0));
    widget<QPushButton>("downloadModuleButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(library + QStringLiteral("/m1/index.html")).isFile(), 20000);
    QCOMPARE(m_server->rangesAsked(QStringLiteral("/files/m1.zip")).last(),
             QByteArray("bytes=") + QByteArray::number(held) + '-');
    QVERIFY(!stop->isVisible());
}

CORVELLE_TEST_MAIN(StopDownloadTest)
#include "tst_stopdownload.moc"

// The worker's catalogue requests over real HTTP on loopback, faults included.
#include "support/messagelog.h"
#include "support/testcataloguebaseurl.h"
#include "support/testcertificate.h"
#include "support/testenvironment.h"
#include "support/testserver.h"
#include "transfer/networktiming.h"
#include "worker/module.h"

#include <QApplication>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {
// The name of the first record of each answer a spy caught; "" for an empty answer.
QStringList firstNames(const QSignalSpy &spy)
{
    QStringList names;
    for (const QList<QVariant> &answer : spy)
        names << answer.at(0).toJsonArray().at(0).toObject().value("name").toString();
    return names;
}
} // namespace

class ModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void refusedConnection_deliversEmptyWithFailure();
    void requestPaths_data();
    void requestPaths();
    void newerPick_supersedesStalledRequest();
    void answeredPick_isNotAnsweredAgainByANewerPick();
    void failedRequests_areTriedAgainOnlyAtStartUp_data();
    void failedRequests_areTriedAgainOnlyAtStartUp();
    void httpsCatalogue_isAnsweredOnlyWithATrustedCertificate();
    void stoppingThread_whileRequestHangs_returns();

private:
    // Runs a request slot on the worker thread and waits for its one answer.
    QJsonArray ask(const char *slot, const char *signal, const QString &id = QString(),
                   bool withId = false);

    TestServer *m_server = nullptr;
    QThread *m_thread = nullptr;
    Module *m_module = nullptr;
};

void ModuleTest::init()
{
    // Start-up requests are tried again after pauses of 20, 40, 80 and 160 ms.
    NetworkTiming::setForTests(10000, 20);
    m_server = new TestServer;
    setCatalogueBaseUrl(m_server->baseUrl());
    m_thread = new QThread;
    m_module = new Module;
    m_module->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_module, &QObject::deleteLater);
    m_thread->start();
}

void ModuleTest::cleanup()
{
    m_server->stop();
    m_thread->quit();
    QVERIFY(m_thread->wait(10000));
    delete m_thread;
    delete m_server;
}

QJsonArray ModuleTest::ask(const char *slot, const char *signal, const QString &id, bool withId)
{
    QSignalSpy spy(m_module, signal);
    if (withId)
        QMetaObject::invokeMethod(m_module, slot, Qt::QueuedConnection, Q_ARG(QString, id));
    else
        QMetaObject::invokeMethod(m_module, slot, Qt::QueuedConnection);
    if (!spy.wait(10000) && spy.isEmpty())
        return QJsonArray{QStringLiteral("no answer")};
    QTest::qWait(50); // a second answer to the same request would show here
    if (spy.count() != 1)
        return QJsonArray{QStringLiteral("answered %1 times").arg(spy.count())};
    return spy.at(0).at(0).toJsonArray();
}

void ModuleTest::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expectedRecords");
    QTest::addColumn<bool>("failureLine");

    const QByteArray two = R"([{"name":"Water","_id":"t1"},{"name":"Food","_id":"t2"}])";
    QTest::newRow("array") << 200 << two << 2 << false;
    QTest::newRow("empty array") << 200 << QByteArray("[]") << 0 << false;
    QTest::newRow("404") << 404 << two << 0 << true;
    QTest::newRow("500") << 500 << two << 0 << true;
    QTest::newRow("empty body") << 200 << QByteArray() << 0 << false;
    QTest::newRow("object body") << 200 << QByteArray(R"({"topics":[{"name":"x"}]})") << 0 << false;
    QTest::newRow("not json") << 200 << QByteArray("<html>busy</html>") << 0 << false;
    QTest::newRow("nul ends the body")
        << 200 << two + QByteArray("\0trailing junk", 14) << 2 << false;
    QTest::newRow("nul inside the array")
        << 200 << QByteArray("[{\"a\":1},\0{\"b\":2}]", 17) << 0 << false;
    QTest::newRow("records of any shape")
        << 200 << QByteArray(R"([1,"two",null,{}])") << 4 << false;
}

void ModuleTest::answers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, expectedRecords);
    QFETCH(bool, failureLine);

    // Every request goes through the same procedure; each slot is tried against the same answer.
    const struct
    {
        const char *path;
        const char *slot;
        const char *signal;
    } requests[] = {
        {"/api/topics", "getTopicList", SIGNAL(resultsReady(QJsonArray))},
        {"/api/letters", "getLetterList", SIGNAL(alphaResultsReady(QJsonArray))},
        {"/api/articles", "getArticles", SIGNAL(articlesReady(QJsonArray))},
    };
    for (const auto &request : requests) {
        m_server->setJson(QString::fromLatin1(request.path), body, status);
        MessageLog log;
        const QJsonArray result = ask(request.slot, request.signal);
        QCOMPARE(result.size(), expectedRecords);
        QCOMPARE(log.contains(QStringLiteral("Failure")), failureLine);
    }
}

void ModuleTest::refusedConnection_deliversEmptyWithFailure()
{
    setCatalogueBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(TestServer::unusedPort()));
    MessageLog log;
    const QJsonArray result = ask("getTopicList", SIGNAL(resultsReady(QJsonArray)));
    QVERIFY(result.isEmpty());
    QVERIFY(log.contains(QStringLiteral("Failure")));
}

void ModuleTest::requestPaths_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("expectedPath");

    QTest::newRow("topic") << QByteArray("getModuleList") << "5f2a"
                           << "/api/modules/topic/5f2a";
    QTest::newRow("topic, empty id") << QByteArray("getModuleList") << ""
                                     << "/api/modules";
    QTest::newRow("topic, blank in id") << QByteArray("getModuleList") << "first aid"
                                        << "/api/modules/topic/first%20aid";
    QTest::newRow("letter") << QByteArray("getModuleListByAlpha") << "L1"
                            << "/api/modules/letter/L1";
    QTest::newRow("letter, empty id") << QByteArray("getModuleListByAlpha") << ""
                                      << "/api/modules";
}

void ModuleTest::requestPaths()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, id);
    QFETCH(QString, expectedPath);

    m_server->setJson(expectedPath, R"([{"name":"Clean water"}])");
    const char *signal = slot == "getModuleList" ? SIGNAL(refreshModule(QJsonArray))
                                                 : SIGNAL(refreshModuleAlpha(QJsonArray));
    const QJsonArray result = ask(slot.constData(), signal, id, true);
    QCOMPARE(m_server->requests(), QStringList{expectedPath});
    QCOMPARE(result.size(), 1);
}

void ModuleTest::newerPick_supersedesStalledRequest()
{
    TestServer::Answer stalls;
    stalls.hang = true;
    m_server->setAnswer(QStringLiteral("/api/modules/topic/slow"), stalls);
    m_server->setJson(QStringLiteral("/api/modules/topic/fast"), R"([{"name":"Fast"}])");

    QSignalSpy spy(m_module, &Module::refreshModule);
    QMetaObject::invokeMethod(m_module, "getModuleList", Qt::QueuedConnection,
                              Q_ARG(QString, QStringLiteral("slow")));
    QTRY_COMPARE(m_server->requests().size(), 1);
    QMetaObject::invokeMethod(m_module, "getModuleList", Qt::QueuedConnection,
                              Q_ARG(QString, QStringLiteral("fast")));
    QTRY_COMPARE(spy.count(), 2);
    QTest::qWait(100);
    // Each pick is answered once; the stalled one first and empty, the last pick last.
    QCOMPARE(spy.count(), 2);
    QCOMPARE(firstNames(spy), QStringList({"", "Fast"}));
}

void ModuleTest::answeredPick_isNotAnsweredAgainByANewerPick()
{
    // The worker is busy (unpacking, say) while the answer to a pick and a newer pick arrive,
    // so both wait in its queue, the answer first.
    TestServer::Answer slow;
    slow.body = R"([{"name":"First"}])";
    slow.delayMs = 300;
    m_server->setAnswer(QStringLiteral("/api/modules/topic/first"), slow);
    m_server->setJson(QStringLiteral("/api/modules/topic/second"), R"([{"name":"Second"}])");
    QSignalSpy spy(m_module, &Module::refreshModule);
    QMetaObject::invokeMethod(m_module, "getModuleList", Qt::QueuedConnection,
                              Q_ARG(QString, QStringLiteral("first")));
    QTRY_COMPARE(m_server->requests().size(), 1);
    QMetaObject::invokeMethod(
        m_module, [] { QThread::msleep(1500); }, Qt::QueuedConnection);
    QTest::qWait(1000);
    QMetaObject::invokeMethod(m_module, "getModuleList", Qt::QueuedConnection,
                              Q_ARG(QString, QStringLiteral("second")));

    QTRY_COMPARE(spy.count(), 2);
    QTest::qWait(100);
    QCOMPARE(firstNames(spy), QStringList({"First", "Second"}));
}

void ModuleTest::failedRequests_areTriedAgainOnlyAtStartUp_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("expectedRequests");
    QTest::addColumn<int>("expectedRecords");

    QTest::newRow("topics") << QByteArray("getTopicList") << QString() << "/api/topics" << 3 << 1;
    QTest::newRow("letters") << QByteArray("getLetterList") << QString() << "/api/letters" << 3
                             << 1;
    QTest::newRow("articles") << QByteArray("getArticles") << QString() << "/api/articles" << 3
                              << 1;
    QTest::newRow("every module, as the start-up asks")
        << QByteArray("getModuleList") << QString() << "/api/modules" << 3 << 1;
    QTest::newRow("a topic the user picks") << QByteArray("getModuleList") << "t1"
                                            << "/api/modules/topic/t1" << 1 << 0;
    QTest::newRow("a letter the user picks") << QByteArray("getModuleListByAlpha") << "L1"
                                             << "/api/modules/letter/L1" << 1 << 0;
}

void ModuleTest::failedRequests_areTriedAgainOnlyAtStartUp()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, id);
    QFETCH(QString, path);
    QFETCH(int, expectedRequests);
    QFETCH(int, expectedRecords);
    NetworkTiming::setForTests(300, 20);

    // An error, then an answer that stalls, then the list.
    TestServer::Answer failed, stalled, listed;
    failed.status = 503;
    stalled.body = R"([{"name":"Late"}])";
    stalled.stallAfter = 0;
    listed.body = R"([{"name":"Water"}])";
    m_server->setAnswers(path, {failed, stalled, listed});
    const QMap<QByteArray, const char *> signalOf = {
        {"getTopicList", SIGNAL(resultsReady(QJsonArray))},
        {"getLetterList", SIGNAL(alphaResultsReady(QJsonArray))},
        {"getArticles", SIGNAL(articlesReady(QJsonArray))},
        {"getModuleList", SIGNAL(refreshModule(QJsonArray))},
        {"getModuleListByAlpha", SIGNAL(refreshModuleAlpha(QJsonArray))}};
    MessageLog log;
    QSignalSpy failures(m_module, &Module::catalogueFailed);
    const QJsonArray result =
        ask(slot.constData(), signalOf.value(slot), id, slot.startsWith("getModuleList"));
    QCOMPARE(result.size(), expectedRecords);
    QCOMPARE(m_server->requests().size(), expectedRequests);
    QCOMPARE(log.count(QStringLiteral("Failure")), qMin(expectedRequests, 2));
    // The window is told of every failed try, and whether another follows.
    QCOMPARE(failures.size(), qMin(expectedRequests, 2));
    QCOMPARE(failures.first().at(0).toString(), QStringLiteral("the catalogue answered 503"));
    QCOMPARE(failures.last().at(1).toInt() >= 0, expectedRecords > 0);
}

void ModuleTest::httpsCatalogue_isAnsweredOnlyWithATrustedCertificate()
{
    const TestCertificate trusted, untrusted;
    if (!trusted.problem().isEmpty())
        QSKIP(qPrintable(trusted.problem()));
    trusted.trust();
    for (const TestCertificate *certificate : {&trusted, &untrusted}) {
        TestServer server(certificate->certificatePath(), certificate->keyPath());
        server.setJson(QStringLiteral("/api/modules/topic/t1"), R"([{"name":"Water"}])");
        setCatalogueBaseUrl(server.baseUrl());
        MessageLog log;
        QSignalSpy failures(m_module, &Module::catalogueFailed);
        const QJsonArray result =
            ask("getModuleList", SIGNAL(refreshModule(QJsonArray)), QStringLiteral("t1"), true);
        QCOMPARE(result.size(), certificate == &trusted ? 1 : 0);
        QCOMPARE(log.contains(QStringLiteral("Failure")), certificate != &trusted);
        QCOMPARE(failures.size() == 1 &&
                     failures.first().at(0).toString().contains(QStringLiteral("certificate")),
                 certificate != &trusted);
    }
}

void ModuleTest::stoppingThread_whileRequestHangs_returns()
{
    TestServer::Answer stalls;
    stalls.hang = true;
    m_server->setAnswer(QStringLiteral("/api/topics"), stalls);
    QMetaObject::invokeMethod(m_module, "getTopicList", Qt::QueuedConnection);
    QTRY_COMPARE(m_server->requests().size(), 1);
    m_thread->quit();
    QVERIFY(m_thread->wait(5000));
}

CORVELLE_TEST_MAIN(ModuleTest)
#include "tst_module.moc"

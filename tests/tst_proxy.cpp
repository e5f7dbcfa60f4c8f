// The client goes through the system's proxy, a real one (tinyproxy) started by the test, for
// its catalogue lists and its downloads.
#include "support/testenvironment.h"
#include "support/tinyproxy.h"
#include "support/windowfixture.h"
#include "support/zipbuilder.h"
#include "transfer/networktiming.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QListView>
#include <QPushButton>
#include <QtTest>

class ProxyTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void requests_goThroughTheProxy_data();
    void requests_goThroughTheProxy();
};

void ProxyTest::init()
{
    NetworkTiming::setForTests(1500, 20);
}

void ProxyTest::cleanup()
{
    stopAll();
    qunsetenv("http_proxy");
}

void ProxyTest::requests_goThroughTheProxy_data()
{
    QTest::addColumn<QString>("user");
    QTest::newRow("open proxy") << QString();
    QTest::newRow("proxy asking for credentials") << QStringLiteral("clinic");
}

void ProxyTest::requests_goThroughTheProxy()
{
    QFETCH(QString, user);
    TinyProxy proxy;
    if (!proxy.problem().isEmpty())
        QSKIP(qPrintable(proxy.problem()));
    QVERIFY(proxy.start(user, QStringLiteral("secret")));
    qputenv("http_proxy", proxy.url().toUtf8());

    startServer();
    answerStartUp(R"([{"_id": "t1", "name": "Water", "category": "Health"}])", "[]", "[]");
    // Cut once, then resumed from where it was cut.
    const TestServer::Answer archive =
        TestServer::Answer::archive(ZipBuilder()
                                        .addDirectory("m1")
                                        .addFile("m1/index.html", QByteArray(100000, 'x'))
                                        .archive());
    TestServer::Answer cut = archive;
    cut.cutAfter = 40000;
    const QString archivePath = QStringLiteral("/files/m1.zip");
    m_server->setAnswers(archivePath, {cut, archive});

    const QString library = openWindowOnEmptyLibrary();
    QStringList statusLines;
    recordStatusLines(&statusLines);
    const QJsonObject record{{"_id", "m1"},
                             {"name", "Hand Washing"},
                             {"downloadLink", m_server->baseUrl() + archivePath}};
    QVERIFY(invoke("refreshModuleList", Q_ARG(QJsonArray, QJsonArray{record})));
    auto *list = widget<QListView>("listView");
    emit list->clicked(list->model()->index(0, 0));
    widget<QPushButton>("downloadModuleButton")->click();

    if (user.isEmpty()) {
        QTRY_VERIFY(QFileInfo(library + QStringLiteral("/m1/index.html")).isFile());
        QCOMPARE(m_server->rangesAsked(archivePath), (QList<QByteArray>{"", "bytes=40000-"}));
        const QStringList proxied = proxy.requests();
        QVERIFY2(
            proxied.contains(QStringLiteral("GET %1/api/topics HTTP/1.1").arg(m_server->baseUrl())),
            qPrintable(proxied.join('\n')));
        QCOMPARE(proxied.filter(archivePath).size(), 2);
        return;
    }
    QTRY_VERIFY(statusLines.contains(
        QStringLiteral("Could not download Hand Washing: the proxy asks for a user name and "
                       "password")));
    QTRY_VERIFY(!statusLines
                     .filter(QStringLiteral("Could not load the catalogue: the proxy asks "
                                            "for a user name and password"))
                     .isEmpty());
    QVERIFY(!proxy.requests().isEmpty());
    QCOMPARE(m_server->requests(), QStringList());
}

CORVELLE_TEST_MAIN(ProxyTest)
#include "tst_proxy.moc"

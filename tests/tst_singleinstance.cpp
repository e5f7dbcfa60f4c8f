// One client per library folder: a later start over the same folder gives way and brings the
// running client's window to the front; a start over another folder runs beside it.
#include "app/singleinstance.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void laterStart_givesWayOverTheSameFolder_data();
    void laterStart_givesWayOverTheSameFolder();
};

void SingleInstanceTest::laterStart_givesWayOverTheSameFolder_data()
{
    QTest::addColumn<bool>("sameFolder");
    QTest::newRow("same library folder") << true;
    QTest::newRow("another library folder") << false;
}

void SingleInstanceTest::laterStart_givesWayOverTheSameFolder()
{
    QFETCH(bool, sameFolder);
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Desktop/Tavro Modules"));
    auto first = std::make_unique<SingleInstance>(folder);
    QVERIFY(first->claim());
    QSignalSpy asked(first.get(), &SingleInstance::activationRequested);

    SingleInstance later(sameFolder ? folder : folder + QStringLiteral(" 2"));
    QCOMPARE(later.claim(), !sameFolder);
    if (sameFolder)
        QTRY_COMPARE(asked.count(), 1);
    QTest::qWait(100);
    QCOMPARE(asked.count(), sameFolder ? 1 : 0);

    // Once the first has ended, the folder is free again.
    first.reset();
    SingleInstance next(folder);
    QVERIFY(next.claim());
}

CORVELLE_TEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"

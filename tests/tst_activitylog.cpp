// The activity log, the worker notifications, the tab-bar handler and the event-processing wait.
#include "archive/jobresult.h"
#include "support/messagelog.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

class ActivityLogTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void log_appendsLinesAsPlainText();
    void log_newLineScrollsToEnd();
    void copyComplete_writesModulesCopied();
    void notifyFileComplete_writesDebugLineOnly();
    void tabBarClick_writesIndex_data();
    void tabBarClick_writesIndex();
    void keyboardTabChange_writesNothing();
    void delay_returnsAfterTimeHandlingEvents();
    void delay_nested_innerReturnsFirst();
    void delay_zero_handlesNoEvent();

private:
    QPlainTextEdit *log() const { return widget<QPlainTextEdit>("logWindow"); }
    void call(const char *slot, QGenericArgument argument = QGenericArgument())
    {
        QVERIFY(invoke(slot, argument));
    }
};

void ActivityLogTest::init()
{
    startServer();
    openWindow();
}

void ActivityLogTest::cleanup()
{
    stopAll();
}

void ActivityLogTest::log_appendsLinesAsPlainText()
{
    call("writeLogMessage", Q_ARG(QString, QStringLiteral("<b>Copying</b> a & b")));
    call("writeLogMessage", Q_ARG(QString, QString()));
    call("writeLogMessage", Q_ARG(QString, QStringLiteral("first\nsecond")));
    QCOMPARE(log()->toPlainText(), QStringLiteral("<b>Copying</b> a & b\n\nfirst\nsecond"));
    QCOMPARE(log()->document()->blockCount(), 4);
}

void ActivityLogTest::log_newLineScrollsToEnd()
{
    QVERIFY(showWindow());
    for (int i = 0; i < 200; ++i)
        call("writeLogMessage", Q_ARG(QString, QStringLiteral("line %1").arg(i)));
    QScrollBar *bar = log()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(0);
    call("writeLogMessage", Q_ARG(QString, QStringLiteral("newest")));
    QCOMPARE(bar->value(), bar->maximum());
}

void ActivityLogTest::copyComplete_writesModulesCopied()
{
    call("copyComplete", Q_ARG(JobResult, JobResult{true}));
    QCOMPARE(log()->toPlainText(), QStringLiteral("Modules copied!"));
}

void ActivityLogTest::notifyFileComplete_writesDebugLineOnly()
{
    MessageLog messages;
    call("notifyFileComplete", Q_ARG(QString, QStringLiteral("success")));
    QVERIFY(messages.contains(QStringLiteral("File Unzipping Complete:  \"success\"")));
    QVERIFY(log()->toPlainText().isEmpty());
}

void ActivityLogTest::tabBarClick_writesIndex_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("expected");
    QTest::newRow("another tab") << 2 << "index:  2";
    QTest::newRow("current tab") << 0 << "index:  0";
    QTest::newRow("outside any tab") << -1 << "index:  -1";
}

void ActivityLogTest::tabBarClick_writesIndex()
{
    QFETCH(int, tab);
    QFETCH(QString, expected);
    QVERIFY(showWindow());
    auto *tabs = widget<QTabWidget>("appTabWidget");
    QTabBar *bar = tabs->tabBar();
    QPoint where = bar->tabRect(qMax(tab, 0)).center();
    if (tab < 0) {
        // The margin after the last tab belongs to no tab.
        const QRect last = bar->tabRect(bar->count() - 1);
        where = QPoint(last.right() + 1, last.center().y());
        while (bar->tabAt(where) != -1 && where.x() < bar->width())
            where.rx() += 1;
        QCOMPARE(bar->tabAt(where), -1);
    }

    MessageLog messages;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, where);
    QCOMPARE(messages.count(QStringLiteral("User just selected a new tab with ") + expected), 1);
    QCOMPARE(tabs->currentIndex(), tab >= 0 ? tab : 0);
}

void ActivityLogTest::keyboardTabChange_writesNothing()
{
    QVERIFY(showWindow());
    auto *tabs = widget<QTabWidget>("appTabWidget");
    MessageLog messages;
    QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(messages.count(QStringLiteral("User just selected a new tab")), 0);
}

void ActivityLogTest::delay_returnsAfterTimeHandlingEvents()
{
    bool handled = false;
    QTimer::singleShot(50, [&handled] { handled = true; });
    QElapsedTimer clock;
    clock.start();
    call("delay", Q_ARG(int, 300));
    QVERIFY(clock.elapsed() >= 300);
    QVERIFY(handled);
}

void ActivityLogTest::delay_nested_innerReturnsFirst()
{
    QStringList order;
    QTimer::singleShot(20, [this, &order] {
        invoke("delay", Q_ARG(int, 400));
        order << QStringLiteral("inner");
    });
    call("delay", Q_ARG(int, 100));
    order << QStringLiteral("outer");
    // The outer deadline passed while the inner wait ran; it returns right after the inner one.
    QCOMPARE(order, (QStringList{QStringLiteral("inner"), QStringLiteral("outer")}));
}

void ActivityLogTest::delay_zero_handlesNoEvent()
{
    bool handled = false;
    QTimer::singleShot(0, [&handled] { handled = true; });
    call("delay", Q_ARG(int, 0));
    call("delay", Q_ARG(int, -5));
    QVERIFY(!handled);
    QTRY_VERIFY(handled);
}

CORVELLE_TEST_MAIN(ActivityLogTest)
#include "tst_activitylog.moc"

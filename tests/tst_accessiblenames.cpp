// A screen reader names every widget of the window a user acts on or reads.
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

class AccessibleNamesTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWidgetHasAName_data();
    void everyWidgetHasAName();
};

void AccessibleNamesTest::initTestCase()
{
    startServer();
    answerStartUp("[]", "[]", "[]");
    openWindow();
    QVERIFY(showWindow());
}

void AccessibleNamesTest::everyWidgetHasAName_data()
{
    QTest::addColumn<QWidget *>("widget");
    // Whether the widget's own text names it; any other is named apart from what it shows.
    QTest::addColumn<bool>("namedByText");
    for (QWidget *child : m_window->findChildren<QWidget *>()) {
        // A label that is still empty has nothing to read; once filled, its text names it.
        const auto *label = qobject_cast<const QLabel *>(child);
        const bool read =
            label ? !label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull()
                  : qobject_cast<QAbstractButton *>(child) || qobject_cast<QComboBox *>(child) ||
                        qobject_cast<QProgressBar *>(child) ||
                        qobject_cast<QPlainTextEdit *>(child) || qobject_cast<QTextEdit *>(child) ||
                        (qobject_cast<QAbstractItemView *>(child) &&
                         !qobject_cast<QComboBox *>(child->parentWidget()) &&
                         child->parentWidget()->objectName() != "qt_scrollarea_viewport");
        // The parts Qt builds inside its widgets (scroll bars, a table's corner) are named by
        // Qt or not reachable on their own.
        if (read && !child->objectName().isEmpty() && !child->objectName().startsWith("qt_"))
            QTest::newRow(child->objectName().toUtf8())
                << child
                << ((label && !label->text().isEmpty()) ||
                    (qobject_cast<QAbstractButton *>(child) &&
                     !static_cast<QAbstractButton *>(child)->text().isEmpty()));
    }
}

void AccessibleNamesTest::everyWidgetHasAName()
{
    QFETCH(QWidget *, widget);
    QFETCH(bool, namedByText);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    const QString name = accessible->text(QAccessible::Name);
    QVERIFY(!name.trimmed().isEmpty());
    // A selector or a bar would otherwise be read by its content alone ("All topics", "24%").
    // (On Linux Qt reads a selector's name as its current entry and gives its own name apart.)
    if (!namedByText)
        QVERIFY(!widget->accessibleName().isEmpty());
}

CORVELLE_TEST_MAIN(AccessibleNamesTest)
#include "tst_accessiblenames.moc"

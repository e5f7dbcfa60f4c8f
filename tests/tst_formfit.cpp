#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include "browse/catalogrecord.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QtTest>

namespace {
// What of a widget's text does not fit its room, or an empty string when all of it fits.
QString overflow(const QString &text, const QSize &needed, const QRect &room)
{
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return QString();
    return QStringLiteral("\"%1\" needs %2 x %3 pixels, has %4 x %5")
        .arg(text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(room.width())
        .arg(room.height());
}

QString labelOverflow(const QLabel *label)
{
    const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                      -label->margin(), -label->margin());
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setDefaultFont(label->font());
    if (Qt::mightBeRichText(label->text()) && label->textFormat() != Qt::PlainText)
        document.setHtml(label->text());
    else
        document.setPlainText(label->text());
    if (!label->wordWrap())
        return overflow(label->text(), QSize(qCeil(document.idealWidth()), 0), room);
    // A wrapped text grows downwards; a word longer than the line still sticks out sideways.
    document.setTextWidth(room.width());
    return overflow(label->text(),
                    QSize(qCeil(document.idealWidth()), qCeil(document.size().height())), room);
}

QString buttonOverflow(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return overflow(button->text(),
                    QSize(button->fontMetrics().horizontalAdvance(button->text()), 0), room);
}

QString titleOverflow(const QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect title =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    return overflow(box->title(), QSize(title.right() + 1, 0), box->rect());
}

QString tabOverflow(const QTabBar *bar, int index)
{
    const QRect tab = bar->tabRect(index);
    const QWidget *pane = bar->parentWidget();
    return overflow(bar->tabText(index), QSize(bar->x() + tab.right() + 1, 0), pane->rect());
}
} // namespace

// Every text of the form fits inside its widget, in the font that widget draws with: the
// form's geometry is fixed, so a wider font clips what it does not fit.
class TestFormFit : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textFits_data();
    void textFits();
};

void TestFormFit::initTestCase()
{
    // What Qt gives a program on a Debian desktop without settings of its own (the generic
    // theme's font); the offscreen platform's 12 pt is no desktop's.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    startServer();
    answerStartUp("[]", "[]", "[]");
    openWindow();
    QVERIFY(showWindow());
    // The longest text a handler puts in a label of the form's own size.
    widget<QLabel>(QStringLiteral("topicPackageSize"))
        ->setText(CatalogRecord::totalSizeText(3.75f));
}

void TestFormFit::textFits_data()
{
    QTest::addColumn<QString>("problem");
    const QWidget *form = widget<QWidget>(QStringLiteral("centralWidget"));
    for (const QWidget *child : form->findChildren<QWidget *>()) {
        const QByteArray name = child->objectName().toUtf8();
        if (const auto *label = qobject_cast<const QLabel *>(child)) {
            if (!label->text().isEmpty())
                QTest::newRow(name) << labelOverflow(label);
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(child)) {
            if (!button->text().isEmpty())
                QTest::newRow(name) << buttonOverflow(button);
        } else if (const auto *box = qobject_cast<const QGroupBox *>(child)) {
            if (!box->title().isEmpty())
                QTest::newRow(name) << titleOverflow(box);
        } else if (const auto *bar = qobject_cast<const QTabBar *>(child)) {
            for (int index = 0; index < bar->count(); ++index)
                QTest::addRow("tab %d", index) << tabOverflow(bar, index);
        }
    }
}

void TestFormFit::textFits()
{
    QFETCH(QString, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

CORVELLE_TEST_MAIN(TestFormFit)
#include "tst_formfit.moc"

#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include "app/translations.h"
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
// form's geometry is fixed, so a wider font clips what it does not fit. The same holds in
// French, where every text is translated.
class TestFormFit : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textFits_data();
    void textFits();

private:
    struct Text
    {
        QString widget; // the object name, and the tab's index for a tab
        QString text;
        QString overflow;
    };
    // Opens the window and measures every text of its form.
    QVector<Text> measureForm();

    QVector<Text> m_english;
    QVector<Text> m_french;
    QString m_englishTitle;
    QString m_frenchTitle;
};

QVector<TestFormFit::Text> TestFormFit::measureForm()
{
    openWindow();
    if (!showWindow())
        return {};
    // The longest text a handler puts in a label of the form's own size.
    widget<QLabel>(QStringLiteral("topicPackageSize"))
        ->setText(CatalogRecord::totalSizeText(3.75f));
    QVector<Text> texts;
    const QWidget *form = widget<QWidget>(QStringLiteral("centralWidget"));
    for (const QWidget *child : form->findChildren<QWidget *>()) {
        const QString name = child->objectName();
        if (const auto *label = qobject_cast<const QLabel *>(child)) {
            if (!label->text().isEmpty())
                texts.append({name, label->text(), labelOverflow(label)});
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(child)) {
            if (!button->text().isEmpty())
                texts.append({name, button->text(), buttonOverflow(button)});
        } else if (const auto *box = qobject_cast<const QGroupBox *>(child)) {
            if (!box->title().isEmpty())
                texts.append({name, box->title(), titleOverflow(box)});
        } else if (const auto *bar = qobject_cast<const QTabBar *>(child)) {
            for (int index = 0; index < bar->count(); ++index) {
                texts.append({QStringLiteral("tab %1").arg(index), bar->tabText(index),
                              tabOverflow(bar, index)});
            }
        }
    }
    return texts;
}

void TestFormFit::initTestCase()
{
    // What Qt gives a program on a Debian desktop without settings of its own (the generic
    // theme's font); the offscreen platform's 12 pt is no desktop's.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    startServer();
    answerStartUp("[]", "[]", "[]");
    m_english = measureForm();
    m_englishTitle = m_window->windowTitle();
    QVERIFY(Translations::install(QLocale(QLocale::French, QLocale::France)));
    m_french = measureForm();
    m_frenchTitle = m_window->windowTitle();
    QCOMPARE(m_french.size(), m_english.size());
}

void TestFormFit::textFits_data()
{
    QTest::addColumn<QString>("overflow");
    QTest::addColumn<bool>("untranslated");
    // Names and letters stay as they are, and "Modules" is French as well.
    const QRegularExpression kept(
        QStringLiteral("^(am_button_.*|module_[1-4]|label_2|label_11|groupBox_2)$"));
    for (const Text &text : qAsConst(m_english))
        QTest::addRow("en %s", qPrintable(text.widget)) << text.overflow << false;
    for (int index = 0; index < m_french.size(); ++index) {
        const Text &text = m_french.at(index);
        const bool same = text.widget == m_english.value(index).widget &&
                          text.text == m_english.value(index).text;
        QTest::addRow("fr %s", qPrintable(text.widget))
            << text.overflow << (same && !kept.match(text.widget).hasMatch());
    }
    QTest::newRow("fr window title") << QString() << (m_frenchTitle == m_englishTitle);
}

void TestFormFit::textFits()
{
    QFETCH(QString, overflow);
    QFETCH(bool, untranslated);
    QVERIFY2(overflow.isEmpty(), qPrintable(overflow));
    QVERIFY(!untranslated);
}

CORVELLE_TEST_MAIN(TestFormFit)
#include "tst_formfit.moc"

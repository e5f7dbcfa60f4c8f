// Counting wrapped lines from word widths must agree with laying the text out, or decline.
#include "library/textlines.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QTextLayout>
#include <QtTest>

namespace {
// The lines a text takes when laid out as an item view lays out a wrapped cell.
int laidOutLines(const QString &text, const QFont &font, int width)
{
    int lines = 0;
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
        lines += qMax(1, layout.lineCount());
    }
    return lines;
}
} // namespace

class TextLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void count_agreesWithLayoutOrDeclines_data();
    void count_agreesWithLayoutOrDeclines();
    void count_declinesWhatItCannotFollow_data();
    void count_declinesWhatItCannotFollow();
};

void TextLinesTest::count_agreesWithLayoutOrDeclines_data()
{
    QTest::addColumn<QString>("text");
    const char *const texts[] = {"5.10 MB",
                                 "0.0042 MB",
                                 "12 MB",
                                 "1.0",
                                 "2.0.13",
                                 "module-00001",
                                 "hand-washing",
                                 "Wash hands-on with soap-and-water, then well-dried",
                                 "Hand Washing with Soap",
                                 "Hand Washing with Soap\nNew Version Available: 1.1",
                                 "Coughs and Pneumonia in Children",
                                 "a b c d e f g h i j k l m n o p q r s t u v w",
                                 "Your Phone as a Health Helper (Xhosa edition)",
                                 "WWWW MMMM WWWW MMMM",
                                 "i i i i i i"};
    for (const char *text : texts)
        QTest::newRow(text) << QString::fromLatin1(text);
}

void TextLinesTest::count_agreesWithLayoutOrDeclines()
{
    QFETCH(QString, text);
    for (const QFont &font : {QFont(), QFont(QStringLiteral("Helvetica"), 8, QFont::Bold)}) {
        TextLines lines(font);
        int counted = 0;
        for (int width = 20; width <= 600; width += 3) {
            const int count = lines.count(text, width);
            if (count < 0)
                continue;
            ++counted;
            QVERIFY2(count == laidOutLines(text, font, width),
                     qPrintable(QStringLiteral("width %1: counted %2, laid out %3")
                                    .arg(width)
                                    .arg(count)
                                    .arg(laidOutLines(text, font, width))));
        }
        // It declines near the edges of its words, not everywhere.
        QVERIFY2(counted > 40, qPrintable(QString::number(counted)));
    }
}

void TextLinesTest::count_declinesWhatItCannotFollow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("word wider than the room") << "Supercalifragilistic" << 30;
    QTest::newRow("two blanks in a row") << "5.10  MB and more words here" << 40;
    QTest::newRow("blank at the end") << "5.10 MB and more " << 40;
    QTest::newRow("tab") << "5.10\tMB and more words" << 40;
}

void TextLinesTest::count_declinesWhatItCannotFollow()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QCOMPARE(TextLines(QFont()).count(text, width), -1);
}

CORVELLE_TEST_MAIN(TextLinesTest)
#include "tst_textlines.moc"

#include "library/textlines.h"

#include <QVector>

namespace {
// A laid-out line may differ from the sum of its words' widths by a little, more so the more
// words it holds.
qreal uncertainty(int words)
{
    return 2.0 + 0.25 * words;
}
} // namespace

TextLines::TextLines(const QFont &font)
    : m_metrics(font), m_space(m_metrics.horizontalAdvance(QLatin1Char(' ')))
{
}

int TextLines::count(const QString &text, int room)
{
    int lines = 0;
    for (const QStringRef &paragraph : text.splitRef(QLatin1Char('\n'))) {
        const int paragraphCount = paragraphLines(paragraph, room);
        if (paragraphCount < 0)
            return -1;
        lines += paragraphCount;
    }
    return lines;
}

int TextLines::paragraphLines(const QStringRef &paragraph, int room)
{
    // Runs of blanks, blanks at the ends and other white space wrap in ways not followed here.
    if (paragraph.startsWith(QLatin1Char(' ')) || paragraph.endsWith(QLatin1Char(' ')) ||
        paragraph.contains(QLatin1String("  ")))
        return -1;
    int lines = 1;
    qreal used = -1;
    int wordsOnLine = 0;
    for (const QStringRef &word : paragraph.split(QLatin1Char(' '))) {
        const qreal width = wordWidth(word);
        // A word wider than the room is broken inside, which is not followed here.
        if (width < 0 || width > room - uncertainty(1))
            return -1;
        const qreal next = used < 0 ? width : used + m_space + width;
        if (qAbs(next - room) <= uncertainty(wordsOnLine + 1))
            return -1;
        if (next > room) {
            ++lines;
            used = width;
            wordsOnLine = 1;
        } else {
            used = next;
            ++wordsOnLine;
        }
    }
    return lines;
}

qreal TextLines::wordWidth(const QStringRef &word)
{
    for (const QChar c : word) {
        // Tabs and other spacing characters lay out by rules of their own.
        if (c.isSpace() || c.unicode() < 0x20)
            return -1;
    }
    const QString key = word.toString();
    auto known = m_wordWidths.constFind(key);
    if (known == m_wordWidths.constEnd())
        known = m_wordWidths.insert(key, m_metrics.horizontalAdvance(key));
    return *known;
}

#include "library/textlines.h"

#include <QTextBoundaryFinder>
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
    : m_metrics(font), m_primary(QRawFont::fromFont(font)),
      m_space(m_metrics.horizontalAdvance(QLatin1Char(' ')))
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
    for (const QStringRef &text : paragraph.split(QLatin1Char(' '))) {
        const Word next = word(text);
        // A word wider than the room is broken inside, which is not followed here.
        if (next.width < 0 || next.width > room - uncertainty(1))
            return -1;
        const qreal end = used < 0 ? next.width : used + m_space + next.width;
        if (qAbs(end - room) <= uncertainty(wordsOnLine + 1))
            return -1;
        if (end > room) {
            // The layout may keep the word's first part on this line instead.
            if (next.breaksInside)
                return -1;
            ++lines;
            used = next.width;
            wordsOnLine = 1;
        } else {
            used = end;
            ++wordsOnLine;
        }
    }
    return lines;
}

TextLines::Word TextLines::word(const QStringRef &text)
{
    const QString key = text.toString();
    auto known = m_words.constFind(key);
    if (known == m_words.constEnd())
        known = m_words.insert(key, measure(key));
    return *known;
}

TextLines::Word TextLines::measure(const QString &text) const
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // Tabs and other spacing characters lay out by rules of their own.
        if (c.isSpace() || c.unicode() < 0x20)
            return {};
        // A character the font lacks comes from a fallback font, whose lines may stand taller
        // than the font's own: the height of a row of the same line counts would not do.
        uint code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        if (!m_primary.supportsCharacter(code))
            return {};
    }
    Word measured;
    measured.width = m_metrics.horizontalAdvance(text);
    // Hyphens, and scripts that break lines between characters, let the layout break the word.
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    const int firstBreak = breaks.toNextBoundary();
    measured.breaksInside = firstBreak > 0 && firstBreak < text.size();
    return measured;
}

#pragma once

#include <QFontMetricsF>
#include <QHash>
#include <QString>

// How many lines a text takes when word-wrapped into a given width, worked out from the widths
// of its words instead of laying it out: a library of thousands of rows would otherwise lay out
// every cell to find the rows' heights. Where the words come too close to the edge for the sum
// to be trusted, it says so and the caller lays the text out after all.
class TextLines
{
public:
    explicit TextLines(const QFont &font);

    // The lines text takes in a width of room pixels, or -1 when it cannot tell.
    int count(const QString &text, int room);

private:
    int paragraphLines(const QStringRef &paragraph, int room);
    qreal wordWidth(const QStringRef &word);

    QFontMetricsF m_metrics;
    qreal m_space;
    QHash<QString, qreal> m_wordWidths;
};

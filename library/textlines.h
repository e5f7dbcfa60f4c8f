#pragma once

#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>
#include <QString>

// How many lines a text takes when word-wrapped into a given width, worked out from the widths
// of its words instead of laying it out: a library of thousands of rows would otherwise lay out
// every cell to find the rows' heights. Where the words come too close to the edge for the sum
// to be trusted, or where the text needs characters of another font, it says so and the caller
// lays the text out after all.
class TextLines
{
public:
    explicit TextLines(const QFont &font);

    // The lines text takes in a width of room pixels, or -1 when it cannot tell.
    int count(const QString &text, int room);

private:
    struct Word
    {
        qreal width = -1;          // -1: the word cannot be followed here
        bool breaksInside = false; // the layout may break the line inside the word
    };

    int paragraphLines(const QStringRef &paragraph, int room);
    Word word(const QStringRef &text);
    Word measure(const QString &text) const;

    QFontMetricsF m_metrics;
    // The font itself, without the fonts the layout falls back on for characters it lacks.
    QRawFont m_primary;
    qreal m_space;
    QHash<QString, Word> m_words;
};

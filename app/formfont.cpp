#include "app/formfont.h"

#include <QDebug>
#include <QFontDatabase>
#include <QFontMetricsF>

namespace FormFont {

namespace {
// Texts of the form that were seen clipped, measured at the size of its buttons.
const QString sample = QStringLiteral("Update Checked Modules Download Module Open Your Library");

qreal sampleWidth(QFont font)
{
    font.setPixelSize(13);
    font.setBold(true);
    return QFontMetricsF(font).horizontalAdvance(sample);
}

// An installed family with Arial's widths (Arial, Liberation Sans, Arimo, in that order).
QString arialMetricFamily()
{
    // The database lists families that are really there: fontconfig also answers "Arial"
    // with a stand-in, which may be any font.
    const QStringList installed = QFontDatabase().families();
    for (const QString &family :
         {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")}) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return QString();
}
} // namespace

QString replacementFor(const QFont &font)
{
    const QString family = arialMetricFamily();
    if (family.isEmpty()) {
        qDebug() << "No Arial-metric font is installed; some texts may not fit the window";
        return QString();
    }
    QFont arialMetric(font);
    arialMetric.setFamily(family);
    // A font no wider than Arial's fits wherever Arial's does; a rounding's worth is let pass.
    return sampleWidth(font) <= sampleWidth(arialMetric) * 1.01 ? QString() : family;
}

} // namespace FormFont

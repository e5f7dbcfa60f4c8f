#pragma once

#include <QFont>
#include <QString>

// The form's fixed geometry was laid out for fonts with Arial's widths: a wider default font
// (DejaVu Sans, Debian's) clips its texts. These pick a family that fits it.
namespace FormFont {

// An installed family with Arial's widths (Arial, Liberation Sans, Arimo, in that order), or
// an empty string when none is installed.
QString arialMetricFamily();

// The family the form should draw with in place of font's: an Arial-metric one when font is
// wider than it; empty when font fits as it is, or no such family is installed.
QString replacementFor(const QFont &font);

} // namespace FormFont

#pragma once

#include <QFont>
#include <QString>

// The form's fixed geometry was laid out for fonts with Arial's widths: a wider default font
// (DejaVu Sans, Debian's) clips its texts.
namespace FormFont {

// The family the form should draw with in place of font's: an Arial-metric one when font is
// wider than it; empty when font fits as it is, or no such family is installed.
QString replacementFor(const QFont &font);

} // namespace FormFont

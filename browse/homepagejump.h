#pragma once

#include <QString>

// How a "Go to Module" button of the homepage finds its way to the alphabetical view.
namespace HomepageJump {

// The first of the digits 1 to 4 in the name past its first character ("module_3_button"
// gives 3); 0 when none is.
int slotNumber(const QString &buttonObjectName);

// "am_button_" and the name's first character in lower case, x, y and z sharing
// "am_button_xyz"; empty for an empty name.
QString letterButtonName(const QString &moduleName);

} // namespace HomepageJump

#pragma once

#include <QString>

// How a "Go to Module" button of the homepage finds its way to the alphabetical view.
namespace HomepageJump {

// The homepage slot a button stands for, from its object name: the first of the digits 1 to 4
// that occurs in the name past its first character ("module_3_button" gives 3); 0 when none does.
int slotNumber(const QString &buttonObjectName);

// The object name of the letter button whose group holds a module name: "am_button_" and the
// first character in lower case, with x, y and z sharing "am_button_xyz". Empty for an empty
// name. Names starting with any other character give a name that no button may carry.
QString letterButtonName(const QString &moduleName);

} // namespace HomepageJump

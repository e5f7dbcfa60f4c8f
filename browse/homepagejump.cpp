#include "browse/homepagejump.h"

namespace HomepageJump {

int slotNumber(const QString &buttonObjectName)
{
    for (int slot = 1; slot <= 4; ++slot) {
        if (buttonObjectName.indexOf(QString::number(slot)) >= 1)
            return slot;
    }
    return 0;
}

QString letterButtonName(const QString &moduleName)
{
    if (moduleName.isEmpty())
        return QString();
    const QString letter = QString(moduleName.at(0)).toLower();
    const QString xyz = QStringLiteral("xyz");
    return QStringLiteral("am_button_") + (xyz.contains(letter) ? xyz : letter);
}

} // namespace HomepageJump

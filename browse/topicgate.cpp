#include "browse/topicgate.h"

QString topicGate = QStringLiteral("0");

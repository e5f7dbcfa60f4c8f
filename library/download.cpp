#include "library/download.h"

Download::Download(QObject *parent) : QObject(parent) {}

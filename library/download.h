#pragma once

#include <QJsonObject>
#include <QObject>

// One module archive on its way from the catalogue to the library folder.
class Download : public QObject
{
    Q_OBJECT
public:
    explicit Download(QObject *parent = nullptr);
};

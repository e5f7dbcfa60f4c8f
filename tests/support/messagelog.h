#pragma once

#include <QStringList>

// Collects the program's debug output (from any thread) while it is alive, so that tests can
// look for the lines the program writes.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    bool contains(const QString &fragment) const;
    int count(const QString &fragment) const;
    void clear();
};

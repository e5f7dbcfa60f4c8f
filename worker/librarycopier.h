#pragma once

#include <QString>

#include <functional>

// Copies the library folder to a drive folder, reporting every step as one line.
class LibraryCopier
{
public:
    explicit LibraryCopier(std::function<void(const QString &)> log);
    bool copyRecursively(const QString &source, const QString &target);

private:
    std::function<void(const QString &)> m_log;
};

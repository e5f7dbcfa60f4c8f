#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
    : m_home(QDir::tempPath() + QStringLiteral("/corvelle-home-XXXXXX"))
{
    const QByteArray home = m_home.path().toUtf8();
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    qputenv("XDG_RUNTIME_DIR", home + "/.runtime");
    QDir(m_home.path()).mkpath(QStringLiteral(".runtime"));
    QFile::setPermissions(m_home.path() + QStringLiteral("/.runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The client follows the system's proxy even to loopback: the tests' servers are reached
    // directly unless a test names a proxy of its own.
    for (const char *proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        qunsetenv(proxy);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir(m_home.path()).mkpath(QStringLiteral("Desktop"));
    QStandardPaths::setTestModeEnabled(true);
}

QString TestEnvironment::libraryFolder() const
{
    return m_home.path() + QStringLiteral("/Desktop/Tavro Modules");
}

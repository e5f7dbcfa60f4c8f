#pragma once

#include "support/childprocess.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The real client in a real X display (Xvfb), against the stand-in catalogue service, driven
// as a user would with xdotool. Without a window manager the window sits at 0,0, so window
// coordinates are screen coordinates.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();

    // Empty when the session can run, otherwise why not.
    QString problem() const { return m_problem; }
    QString home() const { return m_home.path(); }
    QString libraryFolder() const;
    // The catalogue folder the service serves, with its archives.
    static QString serviceCatalogue();

    // The client runs in this language (LANG), instead of the test's own.
    void setLanguage(const QString &language) { m_language = language; }
    // Runs these programs instead of the client and service built beside the tests.
    void usePrograms(const QString &client, const QString &service);
    // options: the service's test faults ("--cut-after", "1000", ...).
    bool startService(int revision, const QStringList &options = QStringList());
    void stopService();
    bool startClient();
    // Asks the window to close as a window manager would; returns the client's exit code,
    // or -1 when it did not end in time.
    int closeClient(int timeoutMs = 20000);

    bool waitForClientOutput(const QString &fragment, int timeoutMs = 20000, int occurrences = 1);
    bool waitForServiceLog(const QString &fragment, int timeoutMs = 20000, int occurrences = 1);
    QString clientOutput();
    QString serviceLog();

    void click(int x, int y);
    void key(const QString &keys);
    void type(const QString &text);
    bool screenshot(const QString &name);
    // Runs xdotool with the session's display.
    QString xdotool(const QStringList &arguments);

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_home;
    QString m_clientProgram;
    QString m_serviceProgram;
    QString m_display;
    QString m_language;
    QString m_problem;
    ChildProcess m_xvfb;
    ChildProcess m_service;
    ChildProcess m_client;
    QString m_serviceLog;
    QString m_clientOutput;
};

#pragma once

#include "common/startupwatch.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class MainWindow;
class QTabWidget;

// Runs the event loop until condition() holds or timeoutMs has passed; true when it holds.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
// Runs the event loop for a while, so that what start-up left queued is done.
void settle(int milliseconds);
// Monotonic clock, in seconds.
double now();

// The program's window as its entry point makes it, shown and waited for until it stands with
// its start-up lists filled.
class WindowSession
{
public:
    explicit WindowSession(int expectedModules);
    ~WindowSession();

    // Empty on success, otherwise what went wrong.
    QString start(int timeoutMs = 120000);
    MainWindow &window() { return *m_window; }

    QWidget *root() const;

    template <class Widget> Widget *widget(const char *name) const
    {
        return root() ? root()->findChild<Widget *>(QString::fromLatin1(name)) : nullptr;
    }

    // Makes the tab that holds child the current one, as the user's click would.
    bool showTabOf(QWidget *child);
    // Calls a slot of the window by name, as a signal connected to it would.
    bool call(const char *slot);

private:
    StartupWatch m_watch;
    std::unique_ptr<MainWindow> m_window;
};

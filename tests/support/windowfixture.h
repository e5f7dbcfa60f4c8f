#pragma once

#include "mainwindow.h"
#include "support/testserver.h"

#include <QByteArray>
#include <QGenericArgument>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QListView;

// The widget of window with this object name; a test that names a widget the form does not
// have stops at once.
template <typename T> T *findWidget(const QObject *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("The window has no widget %s", qPrintable(name));
    return found;
}

// What a test of the main window stands on: a catalogue server on loopback that the window's
// requests go to, the window itself, and the library folder under the test home. A test class
// derives from it, gives the server its answers and then opens the window.
class WindowFixture : public QObject
{
    Q_OBJECT

protected:
    WindowFixture();
    ~WindowFixture() override;

    // A new server in place of any earlier one; the catalogue requests go to it from now on.
    void startServer();
    // Answers the three requests a starting window makes with these lists.
    void answerStartUp(const QByteArray &topics, const QByteArray &letters,
                       const QByteArray &articles);
    // Letters and articles come as empty lists and the topics never come: without topics the
    // window never picks a topic by itself, so every module list it shows is the test's own.
    void answerStartUpWithoutTopics();
    // The window first: its worker cuts short whatever request still waits for the server.
    void stopAll();

    // A new window in place of any earlier one, which ends first.
    void openWindow();
    // Shows the window; false when it never comes on screen.
    bool showWindow();
    // Opens and shows a new window on an empty library folder; returns the folder as the
    // window recorded it.
    QString openWindowOnEmptyLibrary();
    template <typename T> T *widget(const QString &name) const
    {
        return findWidget<T>(m_window.get(), name);
    }
    // Keeps every line the window's status bar shows from now on, in order, in lines.
    void recordStatusLines(QStringList *lines);
    // Calls a slot of the window by name, a private one too, and returns once it has run.
    bool invoke(const char *slot, QGenericArgument argument = QGenericArgument()) const;

    // Where the window makes its library folder: on the Desktop of the test home.
    static QString homeLibraryFolder();
    // Removes the library folder, so that the next window starts with an empty one.
    static void removeLibraryFolder();
    // The library folder as the window recorded it in the settings.
    static QString storedLibraryFolder();

    // The texts of a list view's rows, in order.
    static QStringList rows(const QListView *view);
    // Clicks a row of a list view with the mouse, as a user picks a module.
    static void clickRow(QListView *view, int row);

    // Declared in this order so that the window always ends before the server.
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<MainWindow> m_window;
};

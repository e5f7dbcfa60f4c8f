#include "client/windowsession.h"

#include "mainwindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop now and then, so that the deadline is noticed while nothing else happens.
    QTimer ticker;
    ticker.start(100);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void settle(int milliseconds)
{
    bool over = false;
    QTimer::singleShot(milliseconds, [&over] { over = true; });
    waitUntil([&over] { return over; }, milliseconds + 10000);
}

double now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return double(clock.nsecsElapsed()) / 1e9;
}

WindowSession::WindowSession(int expectedModules) : m_watch(expectedModules) {}

WindowSession::~WindowSession() = default;

QString WindowSession::start(int timeoutMs)
{
    m_window = std::make_unique<MainWindow>();
    m_window->setStyleSheet(QStringLiteral("QMainWindow {background: 'white';}"));
    m_window->show();
    if (!waitUntil([this] { return m_watch.isDone(); }, timeoutMs))
        return QStringLiteral("the window did not finish starting; missing: ") + m_watch.missing();
    return QString();
}

QWidget *WindowSession::root() const
{
    return m_window.get();
}

bool WindowSession::showTabOf(QWidget *child)
{
    auto *tabs = widget<QTabWidget>("appTabWidget");
    if (!tabs)
        tabs = root()->findChild<QTabWidget *>();
    if (!tabs || !child)
        return false;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(child)) {
            tabs->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool WindowSession::call(const char *slot)
{
    return QMetaObject::invokeMethod(m_window.get(), slot, Qt::DirectConnection);
}

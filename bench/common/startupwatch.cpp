#include "common/startupwatch.h"

#include "common/messagehook.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QListView>
#include <QThread>

StartupWatch::StartupWatch(int expectedModules, Until until, QObject *parent)
    : QObject(parent), m_expectedModules(expectedModules), m_until(until)
{
    qApp->installEventFilter(this);
    m_listener = MessageHook::listen([this](const QString &line) { noteLine(line); });
}

StartupWatch::~StartupWatch()
{
    MessageHook::unlisten(m_listener);
}

void StartupWatch::noteLine(const QString &line)
{
    // The window writes these on the GUI thread, from the slots that take the worker's answers.
    if (QThread::currentThread() != thread())
        return;
    if (line.startsWith(QLatin1String("Letters received")))
        m_letters = true;
    else if (line.startsWith(QLatin1String("Articles received")))
        m_articles = true;
    else if (line.startsWith(QLatin1String("updateModuleTable() Called")) && moduleListFilled())
        m_tableForList = true;
    else
        return;
    // Checked once the slot that wrote the line has returned.
    scheduleCheck();
}

bool StartupWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_window && event->type() == QEvent::Show && watched->isWidgetType() &&
        qstrcmp(watched->metaObject()->className(), "MainWindow") == 0) {
        m_window = static_cast<QWidget *>(watched);
        qApp->removeEventFilter(this);
        m_window->installEventFilter(this);
    } else if (watched == m_window && event->type() == QEvent::Paint) {
        m_painted = true;
        m_window->removeEventFilter(this);
        scheduleCheck();
    }
    return false;
}

bool StartupWatch::moduleListFilled() const
{
    const auto *list =
        m_window ? m_window->findChild<QListView *>(QStringLiteral("listView")) : nullptr;
    const int rows = list && list->model() ? list->model()->rowCount() : 0;
    return m_expectedModules > 0 ? rows == m_expectedModules : rows > 0;
}

QString StartupWatch::missing() const
{
    QStringList missing;
    if (!m_window)
        missing << QStringLiteral("window shown");
    if (!m_painted)
        missing << QStringLiteral("window painted");
    if (m_until == Until::WindowPainted)
        return missing.join(QStringLiteral(", "));
    if (!m_letters)
        missing << QStringLiteral("letters");
    if (!m_articles)
        missing << QStringLiteral("featured modules");
    const auto *topics =
        m_window ? m_window->findChild<QComboBox *>(QStringLiteral("comboBox")) : nullptr;
    const auto *categories =
        m_window ? m_window->findChild<QComboBox *>(QStringLiteral("categoryComboBox")) : nullptr;
    if (!topics || !categories || topics->count() == 0 || categories->count() == 0)
        missing << QStringLiteral("topic selectors");
    if (!moduleListFilled())
        missing << QStringLiteral("module list of %1").arg(m_expectedModules);
    if (!m_tableForList)
        missing << QStringLiteral("library table for the module list");
    return missing.join(QStringLiteral(", "));
}

void StartupWatch::scheduleCheck()
{
    QMetaObject::invokeMethod(this, &StartupWatch::check, Qt::QueuedConnection);
}

void StartupWatch::check()
{
    if (m_done || !missing().isEmpty())
        return;
    m_done = true;
    emit done();
}

#include "support/windowlayout.h"

#include "mainwindow.h"
#include "support/testcataloguebaseurl.h"

#include <QListView>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

WindowLayout::WindowLayout()
{
    // Nothing answers on this address: the reference window needs no catalogue.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    setCatalogueBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    m_window.reset(new MainWindow);
    m_window->move(0, 0);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the reference window was not exposed");
}

WindowLayout::~WindowLayout() = default;

QPoint WindowLayout::center(const char *objectName) const
{
    auto *widget = m_window->findChild<QWidget *>(QLatin1String(objectName));
    if (!widget)
        qFatal("no widget %s", objectName);
    return widget->mapTo(m_window.get(), widget->rect().center());
}

QPoint WindowLayout::tab(int index) const
{
    QTabBar *bar = m_window->findChild<QTabWidget *>(QStringLiteral("appTabWidget"))->tabBar();
    return bar->mapTo(m_window.get(), bar->tabRect(index).center());
}

QPoint WindowLayout::listRow(const char *objectName, int row) const
{
    auto *list = m_window->findChild<QListView *>(QLatin1String(objectName));
    const int rowHeight = list->fontMetrics().height() + 2;
    const QPoint topLeft = list->viewport()->mapTo(m_window.get(), QPoint(20, 0));
    return topLeft + QPoint(0, rowHeight * row + rowHeight / 2);
}

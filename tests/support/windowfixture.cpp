#include "support/windowfixture.h"

#include "support/testcataloguebaseurl.h"

#include <QDir>
#include <QListView>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

WindowFixture::WindowFixture() = default;

WindowFixture::~WindowFixture()
{
    stopAll();
}

void WindowFixture::startServer()
{
    m_server = std::make_unique<TestServer>();
    setCatalogueBaseUrl(m_server->baseUrl());
}

void WindowFixture::answerStartUp(const QByteArray &topics, const QByteArray &letters,
                                  const QByteArray &articles)
{
    m_server->setJson(QStringLiteral("/api/topics"), topics);
    m_server->setJson(QStringLiteral("/api/letters"), letters);
    m_server->setJson(QStringLiteral("/api/articles"), articles);
}

void WindowFixture::answerStartUpWithoutTopics()
{
    // The answer starts and then stalls; once the client gives up, the server lets go too.
    TestServer::Answer stalls;
    stalls.body = "[]";
    stalls.stallAfter = 0;
    m_server->setAnswer(QStringLiteral("/api/topics"), stalls);
    m_server->setJson(QStringLiteral("/api/letters"), "[]");
    m_server->setJson(QStringLiteral("/api/articles"), "[]");
}

void WindowFixture::stopAll()
{
    m_window.reset();
    m_server.reset();
}

void WindowFixture::openWindow()
{
    m_window.reset();
    m_window = std::make_unique<MainWindow>();
}

bool WindowFixture::showWindow()
{
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

QString WindowFixture::openWindowOnEmptyLibrary()
{
    removeLibraryFolder();
    openWindow();
    m_window->show();
    return storedLibraryFolder();
}

void WindowFixture::recordStatusLines(QStringList *lines)
{
    lines->clear();
    connect(widget<QStatusBar>(QStringLiteral("statusBar")), &QStatusBar::messageChanged, this,
            [lines](const QString &line) {
                if (!line.isEmpty())
                    lines->append(line);
            });
}

bool WindowFixture::invoke(const char *slot, QGenericArgument argument) const
{
    return QMetaObject::invokeMethod(m_window.get(), slot, Qt::DirectConnection, argument);
}

QString WindowFixture::homeLibraryFolder()
{
    return QDir::homePath() + QStringLiteral("/Desktop/Tavro Modules");
}

void WindowFixture::removeLibraryFolder()
{
    QDir(homeLibraryFolder()).removeRecursively();
}

QString WindowFixture::storedLibraryFolder()
{
    return QSettings().value(QStringLiteral("moduleDirectory")).toString();
}

QStringList WindowFixture::rows(const QListView *view)
{
    QStringList texts;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts.append(model->index(row, 0).data().toString());
    return texts;
}

void WindowFixture::clickRow(QListView *view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->visualRect(index).center());
}

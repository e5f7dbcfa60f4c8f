#include "support/desktopsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

// Sends WM_DELETE_WINDOW to every top-level window named like the client's main window.
bool askToClose(const QString &display)
{
    Display *x = XOpenDisplay(display.toLocal8Bit().constData());
    if (!x)
        return false;
    const Atom protocols = XInternAtom(x, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(x, "WM_DELETE_WINDOW", False);
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned int count = 0;
    bool sent = false;
    if (XQueryTree(x, root, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            char *name = nullptr;
            if (XFetchName(x, children[i], &name) && name) {
                if (QByteArray(name).startsWith("Tavro International")) {
                    XEvent event = {};
                    event.xclient.type = ClientMessage;
                    event.xclient.window = children[i];
                    event.xclient.message_type = protocols;
                    event.xclient.format = 32;
                    event.xclient.data.l[0] = long(deleteWindow);
                    event.xclient.data.l[1] = CurrentTime;
                    XSendEvent(x, children[i], False, NoEventMask, &event);
                    sent = true;
                }
                XFree(name);
            }
        }
        XFree(children);
    }
    XFlush(x);
    XCloseDisplay(x);
    return sent;
}
} // namespace

DesktopSession::DesktopSession()
    : m_home(QDir::tempPath() + QStringLiteral("/corvelle-desk-XXXXXX")),
      m_clientProgram(QStringLiteral(CORVELLE_BIN)),
      m_serviceProgram(QStringLiteral(CATALOGUE_SERVICE_BIN))
{
    for (const char *tool : {"Xvfb", "xdotool", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_problem = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return;
        }
    }
    QDir(m_home.path()).mkpath(QStringLiteral("Desktop"));
    // With -displayfd the server picks a free display itself and writes its number once it
    // accepts clients: two tests starting at once can never share a display.
    m_xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    QByteArray said;
    const QDeadlineTimer deadline(10000);
    if (m_xvfb.waitForStarted(5000)) {
        while (!said.contains('\n') && m_xvfb.waitForReadyRead(int(deadline.remainingTime())))
            said += m_xvfb.readAllStandardOutput();
    }
    bool isNumber = false;
    const int number = said.trimmed().toInt(&isNumber);
    if (isNumber)
        m_display = QStringLiteral(":%1").arg(number);
    else
        m_problem = QStringLiteral("Xvfb did not start");
}

DesktopSession::~DesktopSession()
{
    for (ChildProcess *process : {&m_client, &m_service, &m_xvfb})
        process->stop();
}

QString DesktopSession::libraryFolder() const
{
    return m_home.path() + QStringLiteral("/Desktop/Tavro Modules");
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path() + QStringLiteral("/.cache"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // The client follows the system's proxy even to loopback, where the service is.
    for (const char *proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        env.remove(QString::fromLatin1(proxy));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (!m_language.isEmpty()) {
        for (const char *overriding : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            env.remove(QString::fromLatin1(overriding));
        env.insert(QStringLiteral("LANG"), m_language);
    }
    return env;
}

void DesktopSession::usePrograms(const QString &client, const QString &service)
{
    m_clientProgram = client;
    m_serviceProgram = service;
}

QString DesktopSession::serviceCatalogue()
{
    return QFileInfo(QStringLiteral(CATALOGUE_SERVICE_BIN)).absolutePath() +
           QStringLiteral("/catalogue");
}

bool DesktopSession::startService(int revision, const QStringList &options)
{
    if (!m_problem.isEmpty())
        return false;
    const QUrl base(QStringLiteral(CATALOGUE_BASE_URL));
    m_serviceLog.clear();
    m_service.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList arguments = {QStringLiteral("--host"),     base.host(),
                                   QStringLiteral("--port"),     QString::number(base.port(80)),
                                   QStringLiteral("--revision"), QString::number(revision)};
    m_service.start(m_serviceProgram, arguments + options);
    return waitForServiceLog(QStringLiteral("listening on"), 20000);
}

void DesktopSession::stopService()
{
    m_service.stop();
}

bool DesktopSession::startClient()
{
    if (!m_problem.isEmpty())
        return false;
    m_clientOutput.clear();
    m_client.setProcessEnvironment(environment());
    m_client.setProcessChannelMode(QProcess::MergedChannels);
    m_client.start(m_clientProgram, QStringList());
    if (!m_client.waitForStarted(10000))
        return false;
    // The window is there once xdotool can find it by its title.
    return waitFor(
        [this] {
            return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral("Tavro International")})
                        .isEmpty();
        },
        30000);
}

int DesktopSession::closeClient(int timeoutMs)
{
    if (m_client.state() == QProcess::NotRunning)
        return m_client.exitStatus() == QProcess::NormalExit ? m_client.exitCode() : -1;
    askToClose(m_display);
    if (!waitFor([this] { return m_client.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    const int code = m_client.exitStatus() == QProcess::NormalExit ? m_client.exitCode() : -1;
    if (code != 0)
        qWarning().noquote() << "The client ended with" << code << "after:\n"
                             << clientOutput().right(20000);
    return code;
}

QString DesktopSession::clientOutput()
{
    m_clientOutput += QString::fromLocal8Bit(m_client.readAll());
    return m_clientOutput;
}

QString DesktopSession::serviceLog()
{
    m_serviceLog += QString::fromLocal8Bit(m_service.readAll());
    return m_serviceLog;
}

bool DesktopSession::waitForClientOutput(const QString &fragment, int timeoutMs, int occurrences)
{
    return waitFor([&] { return clientOutput().count(fragment) >= occurrences; }, timeoutMs);
}

bool DesktopSession::waitForServiceLog(const QString &fragment, int timeoutMs, int occurrences)
{
    return waitFor([&] { return serviceLog().count(fragment) >= occurrences; }, timeoutMs);
}

QString DesktopSession::xdotool(const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(20000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

void DesktopSession::click(int x, int y)
{
    xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
             QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(150);
}

void DesktopSession::key(const QString &keys)
{
    xdotool({QStringLiteral("key"), keys});
    QTest::qWait(100);
}

void DesktopSession::type(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    QTest::qWait(100);
}

bool DesktopSession::screenshot(const QString &name)
{
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    const QString path = QStringLiteral(SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    import.setProcessEnvironment(env);
    // The window's area only: it sits at 0,0 without a window manager.
    import.start(QStringLiteral("import"),
                 {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                  QStringLiteral("1011x761+0+0"), path});
    return import.waitForFinished(20000) && import.exitCode() == 0 && QFile::exists(path);
}

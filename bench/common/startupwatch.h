#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Tells when the program's window stands as a user sees it after start: shown and painted,
// the letters and featured modules received, the topic selectors filled, the topic view's
// module list filled and the library table rebuilt for it. It finds the window itself, when
// the window is first shown, so it can be created before the window is.
class StartupWatch : public QObject
{
    Q_OBJECT

public:
    enum class Until {
        ListsFilled,  // all of the above
        WindowPainted // the window's first paint, whatever the lists hold by then
    };

    // expectedModules is the length of the catalogue's module list; 0 accepts any non-empty list.
    explicit StartupWatch(int expectedModules, Until until = Until::ListsFilled,
                          QObject *parent = nullptr);
    ~StartupWatch() override;

    bool isDone() const { return m_done; }
    QWidget *window() const { return m_window; }
    // What has not happened yet, for a report when the wait runs out.
    QString missing() const;

signals:
    void done();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void noteLine(const QString &line);
    void check();
    void scheduleCheck();
    bool moduleListFilled() const;

    const int m_expectedModules;
    const Until m_until;
    int m_listener = 0;
    QPointer<QWidget> m_window;
    bool m_painted = false;
    bool m_letters = false;
    bool m_articles = false;
    bool m_tableForList = false;
    bool m_done = false;
};

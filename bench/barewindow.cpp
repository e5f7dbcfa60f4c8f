// The start-up peer: the least a Qt widget program does to put a main window on the screen,
// shown, painted once and closed.

#include <QApplication>
#include <QEvent>
#include <QMainWindow>

namespace {

class ClosesWhenPainted : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    ClosesWhenPainted closer;
    window.installEventFilter(&closer);
    window.show();
    return application.exec();
}

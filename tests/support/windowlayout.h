#pragma once

#include <QPoint>
#include <memory>

class MainWindow;

// Where the widgets of the main window sit, measured on a window of the test's own: the
// desktop tests click the real program at these points (its window sits at 0,0).
class WindowLayout
{
public:
    WindowLayout();
    ~WindowLayout();

    QPoint center(const char *objectName) const;
    QPoint tab(int index) const;
    // A point inside the given row of a list view (rows are one line of text high).
    QPoint listRow(const char *objectName, int row) const;

private:
    std::unique_ptr<MainWindow> m_window;
};

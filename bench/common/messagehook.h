#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Catches the program's debug output. The lines are kept (the last few are shown when a case
// fails) and handed to listeners; they reach the terminal only with CORVELLE_BENCH_VERBOSE set,
// so that writing them does not count in the figures.
namespace MessageHook {

using Listener = std::function<void(const QString &line)>;

void install();
// Listeners run on the thread that wrote the line, while it writes it.
int listen(Listener listener);
void unlisten(int id);
QStringList recentLines();

} // namespace MessageHook

// A long module list arriving in the topic view: from its arrival in the window until the list
// is painted and the library table rebuilt, against parsing the same answer with QJsonDocument.

#include "client/cases.h"
#include "client/report.h"
#include "client/staticcatalogue.h"
#include "client/windowsession.h"
#include "common/messagehook.h"

#include "benchcataloguebaseurl.h"
#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QTableWidget>
#include <QThread>

namespace {

// Notes when the module list reaches the window, when the list view has been painted with it
// and when the library table has been rebuilt, each of the last two once the code doing it has
// returned.
class ShownWatch : public QObject
{
public:
    ShownWatch(QWidget *window, QListView *list) : m_window(window), m_list(list)
    {
        connect(list->model(), &QAbstractItemModel::modelReset, this, [this] { m_reset = true; });
        // The worker's answer comes to the window as a queued call of its slot.
        window->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        m_listener = MessageHook::listen([this](const QString &line) {
            if (QThread::currentThread() == thread() &&
                line.startsWith(QLatin1String("updateModuleTable() Called")))
                noteLater(&m_tableAt);
        });
    }
    ~ShownWatch() override { MessageHook::unlisten(m_listener); }

    void arm()
    {
        m_reset = false;
        m_arrivedAt = m_tableAt = m_paintedAt = 0;
        m_armed = true;
    }
    bool complete() const { return m_arrivedAt > 0 && m_tableAt > 0 && m_paintedAt > 0; }
    double arrivedAt() const { return m_arrivedAt; }
    double completedAt() const { return qMax(m_tableAt, m_paintedAt); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::MetaCall && m_armed && m_arrivedAt == 0)
            m_arrivedAt = now();
        else if (watched == m_list->viewport() && event->type() == QEvent::Paint && m_reset)
            noteLater(&m_paintedAt);
        return false;
    }

private:
    void noteLater(double *at)
    {
        if (!m_armed)
            return;
        QMetaObject::invokeMethod(
            this,
            [at] {
                if (*at == 0)
                    *at = now();
            },
            Qt::QueuedConnection);
    }

    QWidget *m_window;
    QListView *m_list;
    int m_listener = 0;
    bool m_armed = false;
    bool m_reset = false;
    double m_arrivedAt = 0;
    double m_tableAt = 0;
    double m_paintedAt = 0;
};

QString topicId(const QByteArray &topicsBody, const QString &name)
{
    for (const QJsonValue &topic : QJsonDocument::fromJson(topicsBody).array()) {
        if (topic.toObject().value(QStringLiteral("name")).toString() == name)
            return topic.toObject().value(QStringLiteral("_id")).toString();
    }
    return QString();
}

int flaggedRows(const QTableWidget *table)
{
    int flagged = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *check = table->item(row, 0);
        flagged += check && check->checkState() == Qt::Checked ? 1 : 0;
    }
    return flagged;
}

} // namespace

int runList(const ClientOptions &options)
{
    StaticCatalogue catalogue;
    QString error;
    if (!catalogue.load(options.routes, &error))
        return Report::fail(error);
    const QString url = catalogue.start();
    if (url.isEmpty())
        return Report::fail(QStringLiteral("cannot serve the catalogue on 127.0.0.1"));
    setBenchCatalogueBaseUrl(url);

    WindowSession session(options.expectModules);
    const QString problem = session.start(300000);
    if (!problem.isEmpty())
        return Report::fail(problem);

    auto *topics = session.widget<QComboBox>("comboBox");
    auto *list = session.widget<QListView>("listView");
    auto *table = session.widget<QTableWidget>("moduleTable");
    if (!topics || !list || !table || !list->model() || !session.showTabOf(list))
        return Report::fail(QStringLiteral("the topic view is not where it should be"));
    const int topicIndex = topics->findText(options.topicName);
    const QString id = topicId(catalogue.body(QStringLiteral("/api/topics")), options.topicName);
    const QByteArray body = catalogue.body(QStringLiteral("/api/modules/topic/") + id);
    if (topicIndex <= 0 || body.isEmpty())
        return Report::fail(QStringLiteral("no topic \"%1\" to pick").arg(options.topicName));

    ShownWatch watch(session.root(), list);
    // Timed from the arrival of the answer in the window, and from the pick of the topic: the
    // latter includes the request, the transfer and the worker's reading of the answer.
    const auto pick = [&](int index, double *fromArrival, double *fromPick) {
        watch.arm();
        const double startedAt = now();
        topics->setCurrentIndex(index);
        if (!waitUntil([&watch] { return watch.complete(); }, 300000))
            return QStringLiteral("the module list was not shown");
        *fromArrival = watch.completedAt() - watch.arrivedAt();
        *fromPick = watch.completedAt() - startedAt;
        if (list->model()->rowCount() != options.expectModules)
            return QStringLiteral("the list shows %1 modules").arg(list->model()->rowCount());
        if (table->rowCount() != options.expectInstalled ||
            flaggedRows(table) != options.expectFlagged)
            return QStringLiteral("the table shows %1 modules, %2 flagged")
                .arg(table->rowCount())
                .arg(flaggedRows(table));
        return QString();
    };

    QVector<double> ours, oursFromPick, peer;
    settle(300);
    // The first round warms up both sides and is not counted.
    for (int run = 0; run <= options.runs; ++run) {
        double fromArrival = 0, fromPick = 0;
        QString wrong = pick(topicIndex, &fromArrival, &fromPick);
        if (!wrong.isEmpty())
            return Report::fail(wrong);
        if (run > 0) {
            ours << fromArrival;
            oursFromPick << fromPick;
        }

        const double parseStarted = now();
        const QJsonDocument parsed = QJsonDocument::fromJson(body);
        const int parsedModules = parsed.array().size();
        if (run > 0)
            peer << now() - parseStarted;
        if (parsedModules != options.expectModules)
            return Report::fail(QStringLiteral("the answer holds %1 modules").arg(parsedModules));

        // Back to every topic, so that the next pick changes the list again.
        wrong = pick(0, &fromArrival, &fromPick);
        if (!wrong.isEmpty())
            return Report::fail(wrong);
    }
    Report::values("ours", ours);
    Report::values("ours_from_pick", oursFromPick);
    Report::values("peer", peer);
    return 0;
}

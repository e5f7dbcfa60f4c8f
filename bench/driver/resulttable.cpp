#include "driver/resulttable.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

QString seconds(double value)
{
    return value < 0.1 ? QStringLiteral("%1 ms").arg(value * 1000, 0, 'f', 1)
                       : QStringLiteral("%1 s").arg(value, 0, 'f', 3);
}

} // namespace

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

void ResultTable::addRatio(const QString &name, const QString &peer, const QVector<double> &ours,
                           const QVector<double> &peerSeconds, double limit)
{
    const double a = median(ours), b = median(peerSeconds);
    const bool met = b > 0 && a / b <= limit;
    m_missed += met ? 0 : 1;
    addPair(name, peer, a, b, QStringLiteral("<= %1").arg(limit, 0, 'f', 2),
            met ? QStringLiteral("yes") : QStringLiteral("NO"));
}

void ResultTable::addReference(const QString &name, const QString &peer,
                               const QVector<double> &ours, const QVector<double> &peerSeconds)
{
    addPair(name, peer, median(ours), median(peerSeconds), QStringLiteral("-"),
            QStringLiteral("-"));
}

void ResultTable::addPair(const QString &name, const QString &peer, double ours, double theirs,
                          const QString &target, const QString &met)
{
    m_rows.append({name, seconds(ours),
                   seconds(theirs) + QStringLiteral(" (") + peer + QLatin1Char(')'),
                   QString::number(theirs > 0 ? ours / theirs : 0, 'f', 2), target, met});
}

void ResultTable::addLimit(const QString &name, const QVector<double> &ours, double limit,
                           const QString &unit)
{
    const double a = median(ours);
    const bool met = a <= limit;
    m_missed += met ? 0 : 1;
    // Megabytes to a tenth; other units (a ratio of bytes, say) to a thousandth.
    const QString shown =
        unit == QLatin1String("s")
            ? seconds(a)
            : QStringLiteral("%1 %2").arg(a, 0, 'f', unit == QLatin1String("MB") ? 1 : 3).arg(unit);
    m_rows.append({name, shown, QStringLiteral("-"), QStringLiteral("-"),
                   QStringLiteral("<= %1 %2").arg(limit).arg(unit),
                   met ? QStringLiteral("yes") : QStringLiteral("NO")});
}

void ResultTable::addFailure(const QString &name, const QString &why)
{
    ++m_failed;
    m_rows.append({name, QStringLiteral("FAILED"), why.section(QLatin1Char('\n'), 0, 0), QString(),
                   QString(), QStringLiteral("NO")});
}

int ResultTable::missed() const
{
    return m_missed;
}

int ResultTable::failed() const
{
    return m_failed;
}

void ResultTable::print() const
{
    const QStringList headers = {QStringLiteral("case"),          QStringLiteral("ours (median)"),
                                 QStringLiteral("peer (median)"), QStringLiteral("ratio"),
                                 QStringLiteral("target"),        QStringLiteral("met")};
    QVector<int> widths;
    for (const QString &header : headers)
        widths << header.size();
    for (const Row &row : m_rows) {
        const QStringList cells = {row.name, row.ours, row.peer, row.ratio, row.target, row.met};
        for (int i = 0; i < cells.size(); ++i)
            widths[i] = qMax(widths[i], cells.at(i).size());
    }
    const auto line = [&widths](const QStringList &cells) {
        QString text = QStringLiteral("|");
        for (int i = 0; i < cells.size(); ++i)
            text +=
                QLatin1Char(' ') + cells.at(i).leftJustified(widths.at(i)) + QStringLiteral(" |");
        std::printf("%s\n", qPrintable(text));
    };
    line(headers);
    QStringList rule;
    for (int width : qAsConst(widths))
        rule << QString(width, QLatin1Char('-'));
    line(rule);
    for (const Row &row : m_rows)
        line({row.name, row.ours, row.peer, row.ratio, row.target, row.met});
    std::fflush(stdout);
}

#pragma once

#include <QString>
#include <QVector>

double median(QVector<double> values);

// The benchmark's answer: one row per target, each with the median of ours and of the peer,
// their ratio and whether the target is met.
class ResultTable
{
public:
    // Ours and the peer, in seconds; met when median(ours) / median(peer) <= limit.
    void addRatio(const QString &name, const QString &peer, const QVector<double> &ours,
                  const QVector<double> &peerSeconds, double limit);
    // Ours and the peer, in seconds, measured to explain another row: no target.
    void addReference(const QString &name, const QString &peer, const QVector<double> &ours,
                      const QVector<double> &peerSeconds);
    // A figure of ours alone; met when median(ours) <= limit. unit is "s" or "MB".
    void addLimit(const QString &name, const QVector<double> &ours, double limit,
                  const QString &unit);
    // A case that could not be measured.
    void addFailure(const QString &name, const QString &why);

    void print() const;
    int missed() const;
    int failed() const;

private:
    void addPair(const QString &name, const QString &peer, double ours, double theirs,
                 const QString &target, const QString &met);

    struct Row
    {
        QString name;
        QString ours;
        QString peer;
        QString ratio;
        QString target;
        QString met;
    };
    QVector<Row> m_rows;
    int m_missed = 0;
    int m_failed = 0;
};

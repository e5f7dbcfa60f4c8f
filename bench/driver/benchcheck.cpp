// The damage check of a large library: every module's install record against its files, by
// presence and size, as the client runs it at start-up; against find listing every size.

#include "driver/bench.h"

#include <QDir>
#include <QFile>

#include <array>

namespace {

quint32 crc32(const QByteArray &data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// modules modules of filesEach files in three folders each, their records and the index; the
// number of files written, or -1 when one could not be.
qint64 writeCheckedLibrary(const QString &library, int modules, int filesEach)
{
    QDir(library).removeRecursively();
    QByteArray index;
    qint64 written = 0;
    for (int m = 0; m < modules; ++m) {
        const QString id = QStringLiteral("m%1").arg(m, 4, 10, QLatin1Char('0'));
        QByteArray record;
        for (int f = 0; f < filesEach; ++f) {
            const QString folder = f == 0  ? QString()
                                   : f % 3 ? QStringLiteral("pages/")
                                           : QStringLiteral("images/");
            const QString path = id + QLatin1Char('/') + folder + QStringLiteral("f%1.html").arg(f);
            const QByteArray data(200 + (m * 7 + f * 13) % 1800, char('a' + f % 26));
            QDir().mkpath(library + QLatin1Char('/') + id + QLatin1Char('/') + folder);
            QFile file(library + QLatin1Char('/') + path);
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
                return -1;
            record += QByteArray::number(data.size()) + ' ' +
                      QByteArray::number(crc32(data), 16).rightJustified(8, '0') + ' ' +
                      path.toUtf8() + '\n';
            ++written;
        }
        // Sorted by path, as the client writes it; the check does not rely on it.
        QList<QByteArray> lines = record.split('\n');
        lines.removeAll(QByteArray());
        std::sort(lines.begin(), lines.end(), [](const QByteArray &a, const QByteArray &b) {
            return a.mid(a.indexOf(' ', a.indexOf(' ') + 1)) <
                   b.mid(b.indexOf(' ', b.indexOf(' ') + 1));
        });
        QFile recordFile(library + QStringLiteral("/.") + id + QStringLiteral(".files"));
        if (!recordFile.open(QIODevice::WriteOnly) || recordFile.write(lines.join('\n') + '\n') < 0)
            return -1;
        index += "{\"_id\":\"" + id.toUtf8() + "\",\"name\":\"Module " + id.toUtf8() +
                 "\",\"version\":\"1.0\"}\n";
    }
    QFile indexFile(library + QStringLiteral("/tavro-modules.txt"));
    if (!indexFile.open(QIODevice::WriteOnly) || indexFile.write(index) != index.size())
        return -1;
    return written;
}

} // namespace

void Bench::caseCheck()
{
    const int modules = m_config.checkModules;
    const int filesEach = m_config.checkFilesEach;
    const QString name = QStringLiteral("check %1 modules, %2 files, for damage")
                             .arg(modules)
                             .arg(qint64(modules) * filesEach);
    progress(name);
    const QString root = m_config.scratch + QStringLiteral("/check");
    const QString library = root + QStringLiteral("/library");
    if (writeCheckedLibrary(library, modules, filesEach) != qint64(modules) * filesEach) {
        failed(name, QStringLiteral("cannot write the library in %1").arg(library));
        return;
    }
    QVector<double> ours, find;
    const auto runOurs = [&](bool counted) {
        const ProcessResult result =
            client({QStringLiteral("check"), QStringLiteral("--library"), library,
                    QStringLiteral("--expect-installed"), QString::number(modules),
                    QStringLiteral("--expect-flagged"), QStringLiteral("0")},
                   root + QStringLiteral("/home"));
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        if (counted)
            ours << result.results().value(QStringLiteral("seconds")).toDouble();
        return true;
    };
    const auto runFind = [&](bool counted) {
        const ProcessResult result = peer(
            QStringLiteral("find"), {library, QStringLiteral("-printf"), QStringLiteral("%s\\n")});
        if (!result.ok())
            return failed(name, QStringLiteral("find: ") + result.describe());
        if (counted)
            find << result.seconds;
        return true;
    };
    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOurs(counted) && runFind(counted)
                                     : runFind(counted) && runOurs(counted);
        if (!ok)
            return;
    }
    QDir(root).removeRecursively();
    m_table.addRatio(name, QStringLiteral("find -printf '%s\\n'"), ours, find, 2.0);
    detail(QStringLiteral("check, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("check, find"), find, QStringLiteral("s"));
}

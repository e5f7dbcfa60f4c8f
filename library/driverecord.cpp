#include "library/driverecord.h"

#include "archive/entrypath.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>

void DriveRecord::load(const QString &folder)
{
    m_copies.clear();
    QFile file(folder + QLatin1Char('/') + fileName);
    // A link is nothing the copy wrote; it is replaced by the record when that is saved.
    m_existed = !QFileInfo(file).isSymLink() && file.open(QIODevice::ReadOnly);
    // A library of 100,000 files takes some 8 MB; anything far larger is not a record.
    if (m_existed && file.size() > 256 * 1024 * 1024) {
        qWarning().noquote() << "Ignoring the drive's copy record in" << folder
                             << "- it is too large to be one:" << file.size() << "bytes";
        m_loaded.clear();
        return;
    }
    m_loaded = m_existed ? file.readAll() : QByteArray();
    for (const QByteArray &line : m_loaded.split('\n')) {
        if (line.isEmpty())
            continue;
        const int first = line.indexOf(' ');
        const int second = line.indexOf(' ', first + 1);
        bool sizeRead = false;
        bool crcRead = false;
        const Copy copy{line.left(first).toLongLong(&sizeRead),
                        line.mid(first + 1, second - first - 1).toUInt(&crcRead, 16)};
        const QString path = QString::fromUtf8(line.mid(second + 1));
        // The drive is anybody's: a path that leaves the folder, or names one of the drive's
        // own files in a roundabout way, is nothing the copy wrote.
        const std::optional<QString> below = EntryPath::relative(path);
        if (second < 0 || !sizeRead || copy.size < 0 || !crcRead || !below || *below != path ||
            path.isEmpty() || path == fileName) {
            qWarning().noquote() << "Skipping a line of the drive's copy record in" << folder
                                 << "that names no file:" << line.left(300);
            continue;
        }
        m_copies.insert(path, copy);
    }
}

bool DriveRecord::save(const QString &folder)
{
    const QByteArray content = text();
    if (content == m_loaded && (m_existed || content.isEmpty()))
        return true;
    const QString path = folder + QLatin1Char('/') + fileName;
    // The saved file would replace whatever a link there points to, outside the drive folder.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path)) {
        qWarning().noquote() << "Could not replace the link" << path << "with the copy's record";
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        qWarning().noquote() << "Could not write the drive's copy record in" << folder << "-"
                             << file.errorString();
        return false;
    }
    m_loaded = content;
    m_existed = true;
    return true;
}

QByteArray DriveRecord::text() const
{
    QStringList paths = m_copies.keys();
    std::sort(paths.begin(), paths.end());
    QByteArray text;
    for (const QString &path : qAsConst(paths)) {
        const Copy copy = m_copies.value(path);
        text += QByteArray::number(copy.size) + ' ' +
                QByteArray::number(copy.crc, 16).rightJustified(8, '0') + ' ' + path.toUtf8() +
                '\n';
    }
    return text;
}

#include "library/versioncheck.h"

#include <QJsonObject>
#include <QJsonValue>

VersionCheck::VersionCheck(const QJsonArray &catalogue)
{
    m_versions.reserve(catalogue.size());
    index(catalogue, nullptr);
}

VersionCheck::VersionCheck(const QJsonArray &catalogue, const QSet<QString> &moduleIds)
{
    m_versions.reserve(moduleIds.size());
    index(catalogue, &moduleIds);
}

void VersionCheck::index(const QJsonArray &catalogue, const QSet<QString> *moduleIds)
{
    for (const QJsonValue &element : catalogue) {
        // An element that is not an object reads as a record whose every key is missing.
        const QJsonObject record = element.toObject();
        const QString id = record.value(QStringLiteral("_id")).toString();
        if (moduleIds && !moduleIds->contains(id))
            continue;
        const QString version = record.value(QStringLiteral("version")).toString();
        auto found = m_versions.find(id);
        if (found == m_versions.end()) {
            m_versions.insert(id, Versions{version, QString(), false});
        } else if (found->last != version) {
            // The previous last record now is the latest one that differs from the new last.
            found->lastOther = found->last;
            found->hasOther = true;
            found->last = version;
        }
    }
}

bool VersionCheck::differs(const QString &moduleId, const QString &installedVersion,
                           QString *catalogueVersion) const
{
    const auto found = m_versions.constFind(moduleId);
    if (found == m_versions.constEnd())
        return false;
    if (found->last != installedVersion) {
        *catalogueVersion = found->last;
        return true;
    }
    if (found->hasOther) {
        *catalogueVersion = found->lastOther;
        return true;
    }
    return false;
}

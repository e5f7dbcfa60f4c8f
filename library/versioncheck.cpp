#include "library/versioncheck.h"

#include "browse/catalogrecord.h"

VersionCheck::VersionCheck(const QJsonArray &catalogue, const QSet<QString> &moduleIds,
                           const QStringList &catalogueIds)
{
    m_versions.reserve(moduleIds.size());
    const bool idsGiven = catalogueIds.size() == catalogue.size();
    for (int i = 0; i < catalogue.size(); ++i) {
        // Only the records of wanted modules are read, when their ids are known beforehand.
        if (idsGiven && !moduleIds.contains(catalogueIds.at(i)))
            continue;
        // An element that is not an object reads as a record whose every key is missing.
        const CatalogRecord record(catalogue.at(i));
        const QString id = idsGiven ? catalogueIds.at(i) : record.id();
        if (!moduleIds.contains(id))
            continue;
        const QString version = record.version();
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
    if (found == m_versions.constEnd() || (found->last == installedVersion && !found->hasOther))
        return false;
    *catalogueVersion = found->last != installedVersion ? found->last : found->lastOther;
    return true;
}

#pragma once

#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QString>
#include <QStringList>

// Compares installed modules with the catalogue's module list. The list is indexed by "_id"
// once, so checking every installed module costs one look-up each instead of a scan of the
// whole list.
class VersionCheck
{
public:
    // Knows only the modules whose ids are given: the installed modules are a few, the catalogue
    // may list tens of thousands, and indexing those nobody asks about would cost most of the time.
    // catalogueIds, when it holds the "_id" of every catalogue record in order, spares reading
    // each record for its id; otherwise the records are read.
    VersionCheck(const QJsonArray &catalogue, const QSet<QString> &moduleIds,
                 const QStringList &catalogueIds);

    // True when a catalogue record with this id carries a version other than the installed
    // one; catalogueVersion then receives that version. Ids and versions are compared as
    // exact text. Where the catalogue lists the id more than once, the version offered is
    // that of the last such record whose version differs.
    bool differs(const QString &moduleId, const QString &installedVersion,
                 QString *catalogueVersion) const;

private:
    struct Versions
    {
        QString last;      // version of the last record with the id
        QString lastOther; // version of the last record whose version is not `last`
        bool hasOther = false;
    };
    QHash<QString, Versions> m_versions;
};

#pragma once

#include "archive/installrecord.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class QFileInfo;

// Moves an unpacked tree from its staging folder into the destination. A folder the
// destination lacks moves in whole; a folder it has already is merged into, so files of an
// earlier installation that the new tree does not hold stay; a file or link of the same path
// is replaced, and so is a link where the tree has a folder. A file where the tree has a
// folder, or a folder where it has a file, is never replaced: the move fails. The move is all
// or nothing: when a step fails, every earlier step is undone and the destination is left as
// it was.
//
// An update also takes away what the previous version installed and the new one does not
// hold: those files, and then the folders they leave empty, go before the tree moves in (so
// that a file can take the place of a folder the old version had), set aside with the rest.
class StagedInstall
{
    Q_DECLARE_TR_FUNCTIONS(StagedInstall)

public:
    // Replaced files are set aside in setAsideFolder (which must exist, on the same drive as
    // the destination) until the whole move has succeeded.
    StagedInstall(const QString &stagedTree, const QString &destination,
                  const QString &setAsideFolder);

    // Files and links of the old record to take away (each only where it is still of its kind),
    // and the folders of the new version, which stay even when they are left empty.
    void removeAlso(const QVector<InstallRecord::File> &staleFiles,
                    const QSet<QString> &newFolders);
    bool run();
    QString error() const { return m_error; }

private:
    struct Step
    {
        QString target;
        QString setAside; // where the replaced or removed file went, if there was one
        bool isFolder = false;
        bool removed = false; // taken away, not moved in: undone by putting it back
    };

    bool removeStale();
    bool removeStaleFile(const InstallRecord::File &stale);
    bool moveChildren(const QString &relativeFolder);
    bool moveOne(const QFileInfo &staged, const QString &relativePath);
    void undo();

    QString m_stagedTree;
    QString m_destination;
    QString m_setAsideFolder;
    QVector<InstallRecord::File> m_staleFiles;
    QSet<QString> m_newFolders;
    QHash<QString, QSet<QString>> m_folderNames; // names in a folder, read once
    QVector<Step> m_steps;
    int m_setAsideCount = 0;
    QString m_error;
};

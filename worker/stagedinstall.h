#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

class QFileInfo;

// Moves an unpacked tree from its staging folder into the destination. A folder the
// destination lacks moves in whole; a folder it has already is merged into, so files of an
// earlier installation that the new tree does not hold stay; a file or link of the same path
// is replaced, and so is a link where the tree has a folder. A file where the tree has a
// folder, or a folder where it has a file, is never replaced: the move fails. The move is all
// or nothing: when a step fails, every earlier step is undone and the destination is left as
// it was.
class StagedInstall
{
    Q_DECLARE_TR_FUNCTIONS(StagedInstall)

public:
    // Replaced files are set aside in setAsideFolder (which must exist, on the same drive as
    // the destination) until the whole move has succeeded.
    StagedInstall(const QString &stagedTree, const QString &destination,
                  const QString &setAsideFolder);

    bool run();
    QString error() const { return m_error; }

private:
    struct Step
    {
        QString target;
        QString setAside; // where the replaced file went, if there was one
        bool isFolder = false;
    };

    bool moveChildren(const QString &relativeFolder);
    bool moveOne(const QFileInfo &staged, const QString &relativePath);
    void undo();

    QString m_stagedTree;
    QString m_destination;
    QString m_setAsideFolder;
    QVector<Step> m_steps;
    int m_setAsideCount = 0;
    QString m_error;
};

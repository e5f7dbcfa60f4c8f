#pragma once

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>

// Whether installed modules still hold what they installed, asked of the worker at start-up,
// after an installation and when a copy to a drive begins. Each module's install record is
// compared with its files by presence and size alone, which costs a look at each file's entry
// in its folder and no read of any file: what a hand, a power cut or an antivirus does to a
// library shows there.
struct InstalledCheck
{
    // Asked
    QString libraryFolder;
    QStringList moduleIds; // empty for every module of the library index

    // Answered: module id -> files missing or of another size; a module without a record is
    // left out, a whole one has 0.
    QHash<QString, int> damaged;
};
Q_DECLARE_METATYPE(InstalledCheck)

// Fills in the answer of check.
void checkInstalledFiles(InstalledCheck *check);

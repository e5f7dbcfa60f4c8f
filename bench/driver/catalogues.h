#pragma once

#include <QString>

// The catalogue the stand-in service serves for the start-up, download, copy and delay cases:
// the sample catalogue plus one large module, moduleId, whose archive is archive.
struct ServiceCatalogue
{
    QString folder;
    int modules = 0; // records in its module list
    QString moduleName;
};
bool writeServiceCatalogue(const QString &sampleFolder, const QString &folder,
                           const QString &moduleId, const QString &archive,
                           ServiceCatalogue *written, QString *error);

// The answers of a catalogue with one topic of `modules` modules, written as files with a
// routes file ("path<TAB>file" a line) for the list case's own server; and a library index
// in which `installed` of those modules are recorded, every tenth with an older version.
struct ListCatalogue
{
    QString routes;
    QString topicName;
    int modules = 0;
    int installed = 0;
    int flagged = 0; // installed modules whose catalogue version differs
};
bool writeListCatalogue(const QString &sampleFolder, const QString &folder,
                        const QString &libraryFolder, int modules, int installed,
                        ListCatalogue *written, QString *error);

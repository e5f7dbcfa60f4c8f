#pragma once

#include <QString>

class Catalogue;

// What an export wrote.
struct ExportResult
{
    bool ok = false;
    QString error;
    int written = 0;   // files written: API answers and archives
    int unchanged = 0; // files already there as they would be written, left alone
};

// The root of the download links for an export: url as given, without trailing slashes; empty,
// with the reason in *error, unless it is an absolute http:// or https:// URL with a host and
// neither query nor fragment.
QString exportLinkBase(const QString &url, QString *error);

// Writes the catalogue as static files that any web server serves at the service's own paths,
// below folder: each API answer as the file of its path with ".json" added ("/api/modules" is
// api/modules.json, beside the folder api/modules/ that holds the topic and letter lists), and
// each archive a record links to at its path below the root ("/archives/r2/<id>.zip"). The
// records' download links start with linkBase.
//
// Every file is replaced in one rename, so a server that serves the folder meanwhile never sends
// a half-written one. A file that is already there as it would be written is left alone, and
// archives keep the time of their source: the validators a server derives from a file's size
// and time (ETag, Last-Modified) survive a new export, and interrupted downloads still resume.
ExportResult exportCatalogue(const Catalogue &catalogue, const QString &folder,
                             const QString &linkBase);

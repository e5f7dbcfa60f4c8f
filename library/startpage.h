#pragma once

#include "browse/catalogrecord.h"
#include "library/libraryindex.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// "Start Here.html" at the top of the library folder: one self-contained page that lists every
// installed module with a link to its first page, so that any browser can open the library
// (and the copy of it on a drive) without this program. Its links are relative to the folder.
namespace StartPage {

QString path(const QString &libraryFolder);

// The link, relative to the library folder and percent-encoded, to the module's first page:
// its "launchFile" inside the folder the module installed, else that folder's index.html,
// else its first HTML file by name, else the folder itself. Empty when the module has no
// folder in the library.
QString firstPage(const QString &libraryFolder, const CatalogRecord &record);

// The page for the index's lines, grouped by the first letter of the names as the letter
// buttons group them; lines that are not records are left out.
QByteArray render(const QString &libraryFolder, const QVector<LibraryIndex::Line> &lines);

// Whether the page is missing or older than the index, while there is an index.
bool isStale(const QString &libraryFolder);

// Writes the page for the index as it stands now, replacing the old one in one rename; a page
// that would come out the same is left as it is. Without an index nothing is written, and an
// index that cannot be read leaves the old page.
LibraryIndex::Result write(const QString &libraryFolder);

} // namespace StartPage

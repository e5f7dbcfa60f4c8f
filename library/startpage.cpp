#include "library/startpage.h"

#include "archive/archivepath.h"
#include "archive/entrypath.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

// Resources of a static library are registered only when asked for by name.
static void registerTemplate()
{
    Q_INIT_RESOURCE(startpage);
}

namespace StartPage {

namespace {

// The page with its placeholders, and the content-security rule that lets its own script run
// and nothing else: no outside request, and no script that a record might smuggle in.
const QString &pageTemplate()
{
    static const QString text = [] {
        registerTemplate();
        QFile file(QStringLiteral(":/startpage.html"));
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning("The start page template is missing from the program");
            return QString();
        }
        QString page = QString::fromUtf8(file.readAll());
        const int open = page.indexOf(QLatin1String("<script>")) + 8;
        const int close = page.indexOf(QLatin1String("</script>"), open);
        const QByteArray script = page.mid(open, close - open).toUtf8();
        const QByteArray hash =
            QCryptographicHash::hash(script, QCryptographicHash::Sha256).toBase64();
        return page.replace(QLatin1String("{{scriptHash}}"),
                            QStringLiteral("sha256-") + QString::fromLatin1(hash));
    }();
    return text;
}

// The groups of the letter buttons: "A" to "W" alone, X, Y and Z together, and last every name
// that does not begin with a Latin letter.
const int groupCount = 25;

int groupOf(const QString &name)
{
    const QString start = name.trimmed().left(2);
    QChar first = start.isEmpty() ? QChar() : start.at(0).toUpper();
    // "É" counts as "E": the decomposed form puts the bare letter first.
    if (first.unicode() > 0x7f)
        first = start.normalized(QString::NormalizationForm_KD).at(0).toUpper();
    if (first >= QLatin1Char('A') && first <= QLatin1Char('W'))
        return first.unicode() - 'A';
    if (first >= QLatin1Char('X') && first <= QLatin1Char('Z'))
        return 23;
    return 24;
}

QString groupTitle(int group)
{
    if (group < 23)
        return QString(QChar('A' + group));
    return group == 23 ? QStringLiteral("X-Y-Z") : QStringLiteral("Other");
}

QString groupAnchor(int group)
{
    return QStringLiteral("letter-") +
           (group == 24 ? QStringLiteral("other") : groupTitle(group).remove(QLatin1Char('-')));
}

QString encoded(const QString &relativePath)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(relativePath, "/"));
}

// A launch file as a path below the library, "/" between its parts; empty when it would lead
// elsewhere: an absolute path, a drive or stream (":"), a ".." part.
QString launchPathOf(const CatalogRecord &record)
{
    const std::optional<QString> path = EntryPath::relative(record.launchFile());
    if (!path)
        qDebug() << "The start page passes over the launch file of module" << record.id()
                 << "as it leads out of the library:" << record.launchFile();
    return path.value_or(QString());
}

// The folder the module installed: the one named by its id (empty when the id names no
// folder), as archives hold it, or else the one its launch file names. root is the library
// folder and "/".
QString moduleFolder(const QString &root, const QString &id, const QString &launchPath)
{
    if (!id.isEmpty() && QFileInfo(root + id).isDir())
        return id;
    const QString named = launchPath.section(QLatin1Char('/'), 0, 0);
    if (launchPath.contains(QLatin1Char('/')) && !named.startsWith(QLatin1Char('.')) &&
        QFileInfo(root + named).isDir())
        return named;
    return QString();
}

// The text of a description written in HTML, as the module's details show it rendered: tags
// dropped (paragraphs kept apart by a blank, list items by a bullet), the common entities read.
QString plainDescription(const QString &description)
{
    if (!Qt::mightBeRichText(description))
        return description;
    static const QRegularExpression breaks(
        QStringLiteral("<\\s*(br|/p|/li|/div|/h[1-6]|/tr)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression number(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    static const QRegularExpression item(QStringLiteral("<\\s*li\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString text = QString(description)
                       .replace(item, QStringLiteral(" \u2022 "))
                       .replace(breaks, QStringLiteral(" "))
                       .remove(tags);
    QString decoded;
    int at = 0;
    for (auto match = number.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        bool ok = false;
        const uint code = found.captured(2).toUInt(&ok, found.capturedLength(1) ? 16 : 10);
        decoded += text.midRef(at, found.capturedStart() - at);
        decoded += ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)
                       ? QString::fromUcs4(&code, 1)
                       : found.captured();
        at = found.capturedEnd();
    }
    decoded += text.midRef(at);
    decoded.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return decoded.replace(blanks, QStringLiteral(" ")).trimmed();
}

// One module of the page: what it is sorted by, and where its record is.
struct Listed
{
    int group;
    QString name;
    const QJsonObject *record;
};

void appendEntry(QString *out, const Listed &entry, const QString &link)
{
    const CatalogRecord record(*entry.record);
    out->append(QLatin1String("<li><h3>"));
    if (!link.isEmpty())
        out->append(QLatin1String("<a href=\"")).append(link).append(QLatin1String("\">"));
    out->append(entry.name.toHtmlEscaped());
    if (!link.isEmpty())
        out->append(QLatin1String("</a>"));
    out->append(QLatin1String("</h3><p class=\"d\">"));
    out->append(plainDescription(record.description()).toHtmlEscaped());
    out->append(QLatin1String("</p><p class=\"f\">Version: "));
    out->append(record.version().toHtmlEscaped());
    out->append(QLatin1String(" &middot; Size: "));
    out->append(record.packageSize().toHtmlEscaped());
    if (link.isEmpty())
        out->append(QLatin1String(" &middot; Its files are not in this folder."));
    out->append(QLatin1String("</p></li>\n"));
}

QString summaryOf(int modules)
{
    if (modules == 0)
        return QStringLiteral("No modules are installed yet.");
    return (modules == 1 ? QStringLiteral("One module")
                         : QString::number(modules) + QStringLiteral(" modules")) +
           QStringLiteral(" in this library. Choose one to open it in this browser.");
}

} // namespace

QString path(const QString &libraryFolder)
{
    return libraryFolder + QLatin1Char('/') + EntryPath::startPageName;
}

QString firstPage(const QString &libraryFolder, const CatalogRecord &record)
{
    // A link among the folders below the library is not followed up: extraction lets none
    // point out of its module.
    const QString root = libraryFolder + QLatin1Char('/');
    const auto isFile = [&root](const QString &path) { return QFileInfo(root + path).isFile(); };
    const QString launchPath = launchPathOf(record);
    QString id = record.id();
    if (!ArchivePath::isSafeModuleId(id) || id.startsWith(QLatin1Char('.')))
        id.clear();
    // Most often the launch file names the module's folder and is there: one look settles it.
    if (!id.isEmpty() && launchPath.startsWith(id + QLatin1Char('/')) && isFile(launchPath))
        return encoded(launchPath);

    const QString folder = moduleFolder(root, id, launchPath);
    if (folder.isEmpty())
        return QString();
    // The launch file names its module's folder, or is named from inside it.
    if (!launchPath.isEmpty()) {
        const QString candidates[] = {launchPath.startsWith(folder + '/') ? launchPath : QString(),
                                      folder + '/' + launchPath};
        for (const QString &candidate : candidates) {
            if (!candidate.isEmpty() && isFile(candidate))
                return encoded(candidate);
        }
    }
    const QString index = folder + QStringLiteral("/index.html");
    if (isFile(index))
        return encoded(index);
    const QStringList pages = QDir(root + folder)
                                  .entryList({QStringLiteral("*.html"), QStringLiteral("*.htm")},
                                             QDir::Files, QDir::Name | QDir::IgnoreCase);
    return pages.isEmpty() ? encoded(folder) + '/' : encoded(folder + '/' + pages.first());
}

QByteArray render(const QString &libraryFolder, const QVector<LibraryIndex::Line> &lines)
{
    QVector<Listed> listed;
    listed.reserve(lines.size());
    for (const LibraryIndex::Line &line : lines) {
        if (!line.isRecord)
            continue;
        const QString name = CatalogRecord(line.record).name();
        listed.append({groupOf(name), name, &line.record});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) {
        return a.group != b.group ? a.group < b.group
                                  : a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });

    QString letters;
    QString sections;
    sections.reserve(listed.size() * 320);
    auto entry = listed.cbegin();
    for (int group = 0; group < groupCount; ++group) {
        const QString anchor = groupAnchor(group);
        if (entry == listed.cend() || entry->group != group) {
            // The letter stays in its place, as a button without modules does.
            if (group < 24)
                letters +=
                    QLatin1String("<li><span>") + groupTitle(group) + QLatin1String("</span></li>");
            continue;
        }
        letters += QLatin1String("<li><a href=\"#") + anchor + QLatin1String("\">") +
                   groupTitle(group) + QLatin1String("</a></li>");
        // Its height until it is laid out: a module takes some 95 pixels.
        const auto end = std::find_if(entry, listed.cend(),
                                      [group](const Listed &next) { return next.group != group; });
        sections += QLatin1String("<section id=\"") + anchor +
                    QLatin1String("\" style=\"contain-intrinsic-size: auto ") +
                    QString::number(60 + 95 * int(end - entry)) + QLatin1String("px\"><h2>") +
                    groupTitle(group) + QLatin1String("</h2><ul>\n");
        for (; entry != listed.cend() && entry->group == group; ++entry)
            appendEntry(&sections, *entry, firstPage(libraryFolder, *entry->record));
        sections += QLatin1String("</ul></section>\n");
    }

    QString page = pageTemplate();
    page.replace(QLatin1String("{{summary}}"), summaryOf(listed.size()));
    page.replace(QLatin1String("{{letters}}"), letters);
    // Last, so that nothing in the records is taken for a placeholder.
    page.replace(QLatin1String("{{sections}}"), sections);
    return page.toUtf8();
}

bool isStale(const QString &libraryFolder)
{
    const QFileInfo index(LibraryIndex::path(libraryFolder));
    if (!index.exists())
        return false;
    const QFileInfo page(path(libraryFolder));
    return !page.exists() || page.lastModified() < index.lastModified();
}

LibraryIndex::Result write(const QString &libraryFolder)
{
    // Without an index there is nothing to list, and an empty folder needs no page.
    if (libraryFolder.isEmpty() || !QFileInfo::exists(LibraryIndex::path(libraryFolder)))
        return {true, QString()};
    QVector<LibraryIndex::Line> lines;
    const LibraryIndex::Result read = LibraryIndex::read(libraryFolder, &lines);
    if (!read.ok)
        return read;
    const QByteArray page = render(libraryFolder, lines);

    // The same page keeps its file and its time, so a drive that has it is not written again.
    const QString pagePath = path(libraryFolder);
    QFile old(pagePath);
    if (!isStale(libraryFolder) && old.size() == page.size() && old.open(QIODevice::ReadOnly) &&
        old.readAll() == page)
        return {true, QString()};
    old.close();

    QSaveFile file(pagePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
        return {false, QStringLiteral("Could not write the start page: ") + file.errorString()};
    return {true, QString()};
}

} // namespace StartPage

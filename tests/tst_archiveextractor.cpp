#include "archive/archiveextractor.h"
#include "archive/crc32.h"
#include "support/files.h"
#include "support/testenvironment.h"
#include "support/zipbuilder.h"
#include "worker/module.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <QtGui/private/qzipwriter_p.h>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// Relative path -> "folder", "file:" and the content, or "link:" and the target as written.
using Tree = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(Tree)

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// A small archive as a real zip writer makes it, compressed.
QByteArray writtenArchive()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QZipWriter writer(&buffer);
    writer.setCompressionPolicy(QZipWriter::AlwaysCompress);
    writer.addFile(QStringLiteral("mod/index.html"), QByteArray(4000, 'h'));
    writer.addFile(QStringLiteral("mod/pages/a.html"), QByteArray(3000, 'a'));
    writer.close();
    return bytes;
}

// The unpacked tree, without the record the unpacking keeps of it.
Tree treeOf(const QString &root)
{
    Tree tree = snapshot(root);
    tree.remove(QStringLiteral(".mod.files"));
    for (auto entry = tree.begin(); entry != tree.end(); ++entry) {
        if (entry.value().startsWith("link:")) {
            const QString link = root + QLatin1Char('/') + entry.key();
            const QString target = QString::fromUtf8(entry.value().mid(5));
            const QString relative = QDir(QFileInfo(link).path()).relativeFilePath(target);
            entry.value() = "link:" + QDir::cleanPath(relative).toUtf8();
        }
    }
    return tree;
}

QByteArray withValue32(QByteArray bytes, int fromEnd, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes.data() + bytes.size() - fromEnd);
    return bytes;
}

QByteArray withValue16(QByteArray bytes, int fromEnd, quint16 value)
{
    qToLittleEndian<quint16>(value, bytes.data() + bytes.size() - fromEnd);
    return bytes;
}

ZipBuilder::Entry entry(const QByteArray &name, const QByteArray &data)
{
    ZipBuilder::Entry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

// Runs a tool to its end in folder; false, with its error output in a warning, when it fails.
bool run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << program << arguments << process.readAllStandardError();
        return false;
    }
    return true;
}

} // namespace

class ArchiveExtractorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unpacksEqualToTheArchive_data();
    void unpacksEqualToTheArchive();
    void unpacksArchivesOfOtherTools_data();
    void unpacksArchivesOfOtherTools();
    void unpacksEntriesOfFourGibibytesAndMore();
    void refusesWholeArchive_data();
    void refusesWholeArchive();
    void givesSensiblePermissionsAndTheTimeOfWriting();
    void checksumsAgreeWithZlib();
    void reextractionReplacesFilesAndKeepsOthers();
    void replacesLinksWithoutWritingThroughThem();
    void hostileRecord_takesAwayNothingElse_data();
    void hostileRecord_takesAwayNothingElse();
    void failureToChangeTheLibraryLeavesItUntouched_data();
    void failureToChangeTheLibraryLeavesItUntouched();
    void failedWrite_failsTheExtraction();
    void unzipFile_reportsOnWorkerThread_data();
    void unzipFile_reportsOnWorkerThread();

private:
    // An earlier installation of "mod" in the library.
    void installFirstVersion();
    // Unpacks archive, as downloads leave it in the library, and removes it again.
    JobResult extract(const QByteArray &archive);

    QScopedPointer<QTemporaryDir> m_root;
    QString m_library;
    QString m_archive; // in the library, named after the module, as downloads leave it
};

void ArchiveExtractorTest::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    m_library = m_root->path() + QStringLiteral("/library");
    QVERIFY(QDir().mkdir(m_library));
    m_archive = m_library + QStringLiteral("/mod.zip");
}

void ArchiveExtractorTest::cleanup()
{
    // Nothing may ever land beside the library folder, whatever the archive asked for.
    QCOMPARE(QDir(m_root->path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("library")});
    m_root.reset();
}

JobResult ArchiveExtractorTest::extract(const QByteArray &archive)
{
    if (!archive.isNull())
        writeFile(m_archive, archive);
    const JobResult result = extractArchive(m_archive, m_library);
    QFile::remove(m_archive);
    return result;
}

void ArchiveExtractorTest::installFirstVersion()
{
    const JobResult result = extract(ZipBuilder()
                                         .addDirectory("mod")
                                         .addFile("mod/index.html", "v1 index")
                                         .addFile("mod/pages/a.html", "v1 a")
                                         .addFile("mod/zz/keep.txt", "v1 keep")
                                         .addSymLink("mod/start", "index.html")
                                         .archive());
    QVERIFY2(result.ok, qPrintable(result.error));
    // The user's own files, which no version installed.
    writeFile(m_library + QStringLiteral("/mod/mine.txt"), "the user's");
    writeFile(m_library + QStringLiteral("/mod/zz/mine.txt"), "the user's");
}

void ArchiveExtractorTest::unpacksEqualToTheArchive_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<Tree>("expected");
    QTest::addColumn<bool>("bsdtarAgrees"); // whether bsdtar unpacks the same tree

    const QByteArray page = QByteArray("<p>Wash your hands</p>\n").repeated(500);
    const QByteArray picture = randomBytes(200000);
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QZipWriter writer(&buffer);
        writer.addDirectory(QStringLiteral("hand-washing"));
        writer.setCompressionPolicy(QZipWriter::AlwaysCompress);
        writer.addFile(QStringLiteral("hand-washing/index.html"), page);
        writer.setCompressionPolicy(QZipWriter::NeverCompress);
        writer.addFile(QStringLiteral("hand-washing/images/tap.png"), picture);
        writer.addFile(QStringLiteral("hand-washing/empty.txt"), QByteArray());
        writer.close();
        QTest::newRow("what a zip writer writes")
            << bytes
            << Tree{{"hand-washing", "folder"},
                    {"hand-washing/empty.txt", "file:"},
                    {"hand-washing/images", "folder"},
                    {"hand-washing/images/tap.png", "file:" + picture},
                    {"hand-washing/index.html", "file:" + page}}
            << true;
    }

    const Tree small{{"mod", "folder"},
                     {"mod/a.html", "file:a"},
                     {"mod/deep", "folder"},
                     {"mod/deep/b.html", "file:b"}};
    const auto smallArchive = [](ZipBuilder::Entry a, ZipBuilder::Entry b) {
        a.name = "mod/a.html";
        a.data = "a";
        b.name = "mod/deep/b.html";
        b.data = "b";
        return ZipBuilder().addEntry(a).addEntry(b);
    };
    QTest::newRow("folders without entries") << smallArchive({}, {}).archive() << small << true;
    ZipBuilder::Entry mac;
    mac.hostSystem = 19;
    QTest::newRow("maker unknown to most readers")
        << smallArchive(mac, mac).archive() << small << true;
    ZipBuilder::Entry hostByte;
    hostByte.versionNeeded = 0x0314;
    QTest::newRow("version needed with a host byte")
        << smallArchive(hostByte, hostByte).archive() << small << true;
    ZipBuilder::Entry streamed;
    streamed.deflate = true;
    streamed.descriptor = true;
    ZipBuilder::Entry streamedStored;
    streamedStored.descriptor = true;
    QTest::newRow("data descriptors, deflated and stored")
        << smallArchive(streamed, streamedStored).archive() << small << true;
    ZipBuilder::Entry zip64;
    zip64.zip64 = true;
    zip64.versionNeeded = 45;
    QTest::newRow("zip64") << smallArchive(zip64, zip64).setZip64(true).archive() << small << true;
    ZipBuilder::Entry zip64Streamed = zip64;
    zip64Streamed.descriptor = true;
    zip64Streamed.deflate = true;
    QTest::newRow("zip64 with data descriptors")
        << smallArchive(zip64Streamed, zip64).setZip64(true).archive() << small << true;
    const QByteArray stub = "#!/bin/sh\necho 'a self-extracting archive'\nexit 0\n";
    QTest::newRow("stub") << smallArchive({}, {}).setStub(stub, false).archive() << small << true;
    QTest::newRow("stub, offsets counted from the file's start")
        << smallArchive({}, {}).setStub(stub, true).archive() << small << true;
    QTest::newRow("zip64 behind a stub")
        << smallArchive(zip64, zip64).setZip64(true).setStub(stub, false).archive() << small
        << false;

    for (const int size : {20000, 0xFFFF}) {
        // The end record's comment length is its last field.
        QByteArray commented = smallArchive({}, {}).archive();
        qToLittleEndian<quint16>(quint16(size), commented.data() + commented.size() - 2);
        QTest::addRow("a comment of %d bytes", size)
            << commented + QByteArray(size, 'c') << small << true;
    }

    QTest::newRow("names starting with ./, and the destination itself")
        << ZipBuilder()
               .addDirectory("./")
               .addDirectory("./mod")
               .addFile("./mod/a.html", "a")
               .addFile("./mod/deep/b.html", "b")
               .archive()
        << small << true;

    ZipBuilder::Entry dos = entry("mod/caf\x82.html", "dos");
    dos.hostSystem = 0;
    ZipBuilder::Entry flagged = entry("mod/na\xc3\xafve.html", "flagged");
    flagged.flags = 0x0800;
    ZipBuilder::Entry unixRaw = entry("mod/\xc3\xa0 la carte.html", "unix");
    ZipBuilder::Entry unicodePath = entry("mod/\x8e.html", "field");
    unicodePath.hostSystem = 0;
    const QByteArray utf8Name = "mod/\xc3\x85.html";
    unicodePath.extra =
        QByteArray::fromHex("7570") + QByteArray(2, '\0') + '\x01' + QByteArray(4, '\0') + utf8Name;
    qToLittleEndian<quint16>(quint16(5 + utf8Name.size()), unicodePath.extra.data() + 2);
    qToLittleEndian<quint32>(ZipBuilder::crc32(unicodePath.name), unicodePath.extra.data() + 5);
    QTest::newRow("names in code page 437 and in UTF-8")
        << ZipBuilder()
               .addEntry(dos)
               .addEntry(flagged)
               .addEntry(unixRaw)
               .addEntry(unicodePath)
               .archive()
        << Tree{{"mod", "folder"},
                {QString::fromUtf8("mod/caf\xc3\xa9.html"), "file:dos"},
                {QString::fromUtf8("mod/na\xc3\xafve.html"), "file:flagged"},
                {QString::fromUtf8("mod/\xc3\xa0 la carte.html"), "file:unix"},
                {QString::fromUtf8(utf8Name), "file:field"}}
        << false;

    ZipBuilder::Entry pipe = entry("-", "read from a pipe");
    pipe.unixMode = 0010600; // Info-ZIP records the pipe it read
    QTest::newRow("Info-ZIP reading a pipe")
        << ZipBuilder().addEntry(pipe).archive() << Tree{{"-", "file:read from a pipe"}} << true;

    const QByteArray zerosThenText = QByteArray(300 << 10, '\0') + "end";
    ZipBuilder::Entry deflatedZeros = entry("mod/padded.bin", zerosThenText);
    deflatedZeros.deflate = true;
    QTest::newRow("runs of zeros") << ZipBuilder()
                                          .addEntry(deflatedZeros)
                                          .addFile("mod/zeros.bin", QByteArray(200 << 10, '\0'))
                                          .archive()
                                   << Tree{{"mod", "folder"},
                                           {"mod/padded.bin", "file:" + zerosThenText},
                                           {"mod/zeros.bin", "file:" + QByteArray(200 << 10, '\0')}}
                                   << true;

    // The reader is handed the file a megabyte at a time. A deflated entry whose data begins a
    // few bytes before such a boundary is first inflated from those bytes alone, which gives
    // nothing yet and is no end of the entry.
    const QByteArray filler = randomBytes((1 << 20) - 70 - 30 - 12);
    ZipBuilder::Entry late = entry("mod/late.html", page);
    late.deflate = true;
    QTest::newRow("deflated data that starts just before a megabyte")
        << ZipBuilder().addFile("mod/fill.bin", filler).addEntry(late).archive()
        << Tree{{"mod", "folder"},
                {"mod/fill.bin", "file:" + filler},
                {"mod/late.html", "file:" + page}}
        << true;

    QTest::newRow("links that stay inside")
        << ZipBuilder()
               .addFile("mod/pages/index.html", "the page")
               .addSymLink("mod/start.html", "pages/index.html")
               .addSymLink("mod/pages/again.html", "../pages/index.html")
               .addSymLink("mod/library", "..")
               .archive()
        << Tree{{"mod", "folder"},
                {"mod/library", "link:.."},
                {"mod/pages", "folder"},
                {"mod/pages/again.html", "link:index.html"},
                {"mod/pages/index.html", "file:the page"},
                {"mod/start.html", "link:pages/index.html"}}
        << true;
}

void ArchiveExtractorTest::unpacksEqualToTheArchive()
{
    QFETCH(QByteArray, archive);
    QFETCH(Tree, expected);
    QFETCH(bool, bsdtarAgrees);

    const JobResult result = extract(archive);

    QVERIFY2(result.ok, qPrintable(result.error + " (" + result.detail + ")"));
    QCOMPARE(treeOf(m_library), expected); // no staging folder left either

    const QString bsdtar = QStandardPaths::findExecutable(QStringLiteral("bsdtar"));
    if (!bsdtarAgrees || bsdtar.isEmpty())
        return;
    QTemporaryDir peer;
    writeFile(peer.filePath(QStringLiteral("a.zip")), archive);
    QVERIFY(QDir().mkdir(peer.filePath(QStringLiteral("out"))));
    QVERIFY(run(bsdtar, {"-xf", "a.zip", "-C", "out"}, peer.path()));
    QCOMPARE(treeOf(peer.filePath(QStringLiteral("out"))), expected);
}

void ArchiveExtractorTest::unpacksArchivesOfOtherTools_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // run in the module's folder; "@" is the archive

    const QString python = QStringLiteral(
        "import os, sys, zipfile\n"
        "method = getattr(zipfile, sys.argv[2])\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', method) as z:\n"
        "    for root, folders, files in os.walk('.'):\n"
        "        for name in folders:\n"
        "            z.write(os.path.join(root, name))\n"
        "        for name in files:\n"
        "            path = os.path.join(root, name)\n"
        "            info = zipfile.ZipInfo.from_file(path)\n"
        "            info.compress_type = method\n"
        "            with open(path, 'rb') as f, z.open(info, 'w', force_zip64=True) "
        "as out:\n"
        "                out.write(f.read())\n");
    const QString stub =
        QStringLiteral("printf '#!/bin/sh\\nexit 0\\n' > @ && zip -q -r - mod | cat >> @");

    QTest::newRow("bsdtar") << "bsdtar" << QStringList{"--format", "zip", "-cf", "@", "."};
    QTest::newRow("Info-ZIP") << "zip" << QStringList{"-q", "-r", "@", "mod"};
    QTest::newRow("Info-ZIP to a pipe") << "sh" << QStringList{"-c", "zip -q -r - mod | cat > @"};
    QTest::newRow("Info-ZIP behind a stub") << "sh" << QStringList{"-c", stub};
    QTest::newRow("Info-ZIP behind a stub, offsets adjusted")
        << "sh" << QStringList{"-c", stub + " && zip -q -A @"};
    QTest::newRow("Python, zip64, deflated")
        << "python3" << QStringList{"-c", python, "@", "ZIP_DEFLATED"};
    QTest::newRow("Python, zip64, bzip2")
        << "python3" << QStringList{"-c", python, "@", "ZIP_BZIP2"};
    QTest::newRow("Python, zip64, LZMA") << "python3" << QStringList{"-c", python, "@", "ZIP_LZMA"};
}

void ArchiveExtractorTest::unpacksArchivesOfOtherTools()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    const QString tool = program == QLatin1String("sh") ? QStringLiteral("zip") : program;
    if (QStandardPaths::findExecutable(tool).isEmpty())
        QSKIP(qPrintable(tool + " is not installed"));

    QTemporaryDir source;
    writeFile(source.filePath("mod/index.html"),
              QByteArray("<p>Boil the water</p>\n").repeated(900));
    writeFile(source.filePath("mod/pages/a.html"), "<p>a page</p>");
    writeFile(source.filePath(QString::fromUtf8("mod/caf\xc3\xa9.html")), "named in UTF-8");
    writeFile(source.filePath("mod/media/clip.bin"), randomBytes(300000));
    writeFile(source.filePath("mod/zeros.bin"), QByteArray(200000, '\0'));
    QVERIFY(QDir().mkpath(source.filePath("mod/empty")));
    arguments.replaceInStrings(QStringLiteral("@"), m_archive);
    QVERIFY(run(program, arguments, source.path()));

    const JobResult result = extractArchive(m_archive, m_library);

    QVERIFY(QFile::remove(m_archive));
    QVERIFY2(result.ok, qPrintable(result.error + " (" + result.detail + ")"));
    QCOMPARE(treeOf(m_library), treeOf(source.path()));
}

void ArchiveExtractorTest::unpacksEntriesOfFourGibibytesAndMore()
{
    // Zeros deflate to a thousandth.
    const quint64 size = (quint64(9) << 29) + 3; // 4.5 GiB and 3 bytes
    ZipBuilder::Entry video = entry("mod/video.bin", QByteArray());
    video.packed = ZipBuilder::deflatedZeros(size);
    video.crc = ZipBuilder::crcOfZeros(size);
    video.size = size;
    video.method = 8;
    video.versionNeeded = 45;
    const QByteArray archive =
        ZipBuilder().addEntry(video).addFile("mod/index.html", "after it").setZip64(true).archive();

    const JobResult result = extract(archive);

    QVERIFY2(result.ok, qPrintable(result.error + " (" + result.detail + ")"));
    QFile unpacked(m_library + QStringLiteral("/mod/video.bin"));
    QCOMPARE(quint64(unpacked.size()), size);
    QVERIFY(unpacked.open(QIODevice::ReadOnly) && unpacked.seek(qint64(size) - 4096));
    QCOMPARE(unpacked.readAll(), QByteArray(4096, '\0'));
    QCOMPARE(fileContent(m_library + QStringLiteral("/mod/index.html")), QByteArray("after it"));
}

void ArchiveExtractorTest::refusesWholeArchive_data()
{
    QTest::addColumn<QByteArray>("archive"); // null: no archive at all
    QTest::addColumn<QString>("error");

    const QString damaged = QStringLiteral("the archive is damaged");
    const auto unsafe = [](const char *tag, const QByteArray &name) {
        QTest::newRow(tag)
            << ZipBuilder()
                   .addFile("mod/index.html", "harmless, and first")
                   .addFile(name, "evil")
                   .addFile("mod/last.html", "harmless, and last")
                   .archive()
            << QStringLiteral("the archive holds an unsafe path: ") +
                   QString::fromUtf8(name.constData(), name.size()).replace(QChar(0), '?');
    };
    unsafe("parent folder", "../evil.txt");
    unsafe("absolute path", "/abs.txt");
    unsafe("drive letter", "C:/x.txt");
    unsafe("drive without slash", "c:x.txt");
    unsafe("backslashes climbing", "a\\..\\..\\x");
    unsafe("climbing inside a path", "mod/../../x");
    unsafe("dot before climbing", "./../x");
    unsafe("network path", "\\\\server\\share\\x");
    unsafe("dots only", "mod/.../x");
    unsafe("NUL in a name", QByteArray("mod/a\0b.html", 12));
    unsafe("a Windows file stream", "mod/index.html:hidden");
    unsafe("a Windows device", "mod/Con.html");
    unsafe("the destination itself as a file", ".");
    unsafe("library index", "tavro-modules.txt");
    unsafe("below the library index", "Tavro-Modules.TXT/x");
    unsafe("library index, as Windows reads trailing dots", "tavro-modules.txt.");
    unsafe("the start page", "start here.html");
    unsafe("the archive being unpacked", "MOD.zip");
    unsafe("below the archive being unpacked", "mod.zip/index.html");
    unsafe("a staging folder", ".unpack-Ab12Cd/x");
    unsafe("a partial download", ".mod.zip.part");
    unsafe("what a partial download is", ".other.zip.part.info");
    unsafe("what another module installed", ".Other.FILES");
    unsafe("what an update leaves for its unpacking", ".mod.zip.files");
    unsafe("the directory another module keeps", ".other.Directory");

    const auto link = [](const char *tag, const QByteArray &name, const QByteArray &target) {
        QTest::newRow(tag)
            << ZipBuilder().addFile("mod/index.html", "first").addSymLink(name, target).archive()
            << QStringLiteral("the archive holds an unsafe link: %1 -> %2")
                   .arg(QString::fromUtf8(name), QString::fromUtf8(target));
    };
    link("link climbing out", "mod/up", "../../outside");
    link("link to an absolute path", "mod/passwd", "/etc/passwd");
    link("link to a drive", "mod/windows", "C:\\Windows");
    link("link climbing after a name", "mod/l", "sub/../..");
    link("link above the library", "top", "..");
    link("link to nothing", "mod/empty", "");

    const auto pair = [](const char *tag, const QByteArray &first, const QByteArray &second,
                         const QString &error) {
        QTest::newRow(tag) << ZipBuilder().addFile(first, "1").addFile(second, "2").archive()
                           << error;
    };
    pair("names equal ignoring case", "mod/Page.html", "mod/page.HTML",
         "two entries differ only in case: mod/Page.html and mod/page.HTML");
    pair("folders equal ignoring case", "Mod/a.html", "mod/b.html",
         "two entries differ only in case: Mod and mod");
    pair("one name twice", "mod/a.html", "mod/a.html",
         "the archive holds two entries named mod/a.html");
    pair("a file and a folder of one name", "mod/a", "mod/a/b.html",
         "the archive holds mod/a both as a file and as a folder");

    // The library holds what installFirstVersion() put there: what the first version installed
    // goes, the user's files stand in the way.
    pair("a file where the archive has a folder", "mod/a.html", "mod/mine.txt/b.html",
         "a file stands where the archive has a folder: mod/mine.txt");
    pair("a folder where the archive has a file", "mod/a.html", "mod/zz",
         "a folder stands where the archive has a file: mod/zz");

    const QByteArray written = writtenArchive();
    const ZipBuilder three = ZipBuilder()
                                 .addFile("mod/a.html", "a")
                                 .addFile("mod/b.html", "b")
                                 .addFile("mod/c.html", "c");
    QTest::newRow("no archive") << QByteArray() << "the archive is missing";
    QTest::newRow("zero bytes") << QByteArray("") << "the archive is empty";
    QTest::newRow("no entries") << ZipBuilder().archive() << "the archive is empty";
    QTest::newRow("not a zip") << QByteArray("<html>404 Not Found</html>")
                               << "the archive is not a zip archive";
    QTest::newRow("cut in half") << written.left(written.size() / 2) << damaged;
    QTest::newRow("end cut off") << written.left(written.size() - 5) << damaged;
    QTest::newRow("end record counts fewer entries")
        << ZipBuilder(three).setRecordedCount(2).archive() << damaged;
    QTest::newRow("end record counts more entries")
        << ZipBuilder(three).setRecordedCount(4).archive() << damaged;
    QTest::newRow("end record's directory too long")
        << withValue32(three.archive(), 10, 3 * (46 + 10) + 1) << damaged;
    QTest::newRow("end record's directory too short")
        << withValue32(three.archive(), 10, 3 * (46 + 10) - 1) << damaged;
    QTest::newRow("zip64 and end record disagree")
        << withValue16(ZipBuilder(three).setZip64(true).archive(), 12, 2) << damaged;
    ZipBuilder::Entry big = entry("mod/a.html", "a");
    big.zip64 = true;
    QByteArray noZip64Field = ZipBuilder().addEntry(big).archive();
    noZip64Field.replace(QByteArray::fromHex("01001800"), QByteArray::fromHex("09001800"));
    QTest::newRow("zip64 field missing") << noZip64Field << damaged;

    ZipBuilder::Entry renamed = entry("mod/b.html", "b");
    renamed.localName = "mod/x.html";
    QTest::newRow("local header names another file")
        << ZipBuilder().addFile("mod/a.html", "a").addEntry(renamed).archive() << damaged;
    ZipBuilder::Entry shared = entry("mod/copy.html", "a");
    shared.sharesDataOf = 0;
    QTest::newRow("two records share one entry's data")
        << ZipBuilder().addFile("mod/a.html", "a").addEntry(shared).archive() << damaged;
    ZipBuilder::Entry lying = entry("mod/a.html", "tiny");
    lying.size = 0x7FFFFFF0u;
    QTest::newRow("stored entry declaring more than it holds")
        << ZipBuilder().addEntry(lying).archive() << damaged;
    lying.deflate = true;
    QTest::newRow("deflated entry declaring more than deflate can hold")
        << ZipBuilder().addEntry(lying).archive() << damaged;
    ZipBuilder::Entry overflowing = entry("mod/a.html", QByteArray(1 << 20, 'x'));
    overflowing.deflate = true;
    overflowing.size = 100;
    QTest::newRow("entry unpacking to more than it declares")
        << ZipBuilder().addEntry(overflowing).archive() << damaged;
    ZipBuilder::Entry falling = entry("mod/a.html", QByteArray(100, 'x'));
    falling.deflate = true;
    falling.size = 200;
    QTest::newRow("entry unpacking to less than it declares")
        << ZipBuilder().addEntry(falling).archive() << damaged;
    QByteArray corruptStream = written;
    const int nameLength = quint8(written.at(26));
    corruptStream[30 + nameLength + 3] = char(corruptStream.at(30 + nameLength + 3) ^ 0x55);
    QTest::newRow("compressed data damaged") << corruptStream << damaged;
    ZipBuilder::Entry flipped = entry("mod/b.html", "bits flipped on the way");
    flipped.wrongCrc = true;
    QTest::newRow("checksum differs")
        << ZipBuilder().addFile("mod/a.html", "fine").addEntry(flipped).archive() << damaged;

    ZipBuilder::Entry odd = entry("mod/b.html", "data");
    odd.flags = 0x0800;
    odd.name = "mod/\xff.html";
    QTest::newRow("name that is not the UTF-8 it claims")
        << ZipBuilder().addEntry(odd).archive()
        << "the archive holds an unreadable name: mod/\xef\xbf\xbd.html";
    odd = entry("mod/b.html", "data");
    odd.flags = 1;
    QTest::newRow("encrypted entry") << ZipBuilder().addEntry(odd).archive()
                                     << "the archive holds an encrypted file: mod/b.html";
    odd.flags = 0;
    odd.method = 9; // deflate64
    QTest::newRow("unknown compression")
        << ZipBuilder().addEntry(odd).archive()
        << "the archive holds a file in a format this program cannot read: mod/b.html";
    odd.method = 0;
    odd.versionNeeded = 64;
    QTest::newRow("format newer than the newest")
        << ZipBuilder().addEntry(odd).archive()
        << "the archive holds a file in a format this program cannot read: mod/b.html";
    odd.versionNeeded = 20;
    odd.unixMode = 0020644;
    QTest::newRow("device") << ZipBuilder().addEntry(odd).archive()
                            << "the archive holds a special file: mod/b.html";
    ZipBuilder::Entry huge = entry("mod/huge.bin", "LZMA data that is never read");
    huge.method = 14;
    huge.size = quint64(1) << 60;
    QTest::newRow("more than the disk holds")
        << ZipBuilder().addEntry(huge).archive() << "there is not enough free space on the disk";

    ZipBuilder::Entry damagedLast = entry("mod/zz.html", "damaged");
    damagedLast.wrongCrc = true;
    QTest::newRow("damaged last entry")
        << ZipBuilder().addFile("mod/index.html", "v2 index").addEntry(damagedLast).archive()
        << damaged;
}

void ArchiveExtractorTest::refusesWholeArchive()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, error);
    installFirstVersion();
    const Tree before = snapshot(m_library);

    const JobResult result = extract(archive);

    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    // Nothing at all is written, not even the harmless entries, and nothing is left behind.
    QCOMPARE(snapshot(m_library), before);
}

void ArchiveExtractorTest::givesSensiblePermissionsAndTheTimeOfWriting()
{
    ZipBuilder::Entry fromWindows = entry("mod/readme.txt", "made on Windows");
    fromWindows.hostSystem = 0;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    const JobResult result = extract(ZipBuilder()
                                         .addFile("mod/run.sh", "#!/bin/sh\n", 0777)
                                         .addFile("mod/locked.html", "read only", 0400)
                                         .addEntry(fromWindows)
                                         .archive());

    QVERIFY2(result.ok, qPrintable(result.error));
    const QFile::Permissions othersWrite = QFile::WriteGroup | QFile::WriteOther;
    const QFileInfo script(m_library + QStringLiteral("/mod/run.sh"));
    QVERIFY(script.permissions() & QFile::ExeOwner);
    QCOMPARE(script.permissions() & othersWrite, QFile::Permissions());
    const QFileInfo locked(m_library + QStringLiteral("/mod/locked.html"));
    QVERIFY(locked.permissions() & QFile::WriteOwner);
    QVERIFY(!(locked.permissions() & QFile::ReadOther));
    const QFileInfo readme(m_library + QStringLiteral("/mod/readme.txt"));
    QCOMPARE(readme.permissions() & othersWrite, QFile::Permissions());
    // The time of writing, not the archive's (2024), so that copies to a drive see the update.
    QVERIFY(script.lastModified() >= before);
}

void ArchiveExtractorTest::checksumsAgreeWithZlib()
{
    // Blocks of 64 bytes and more are folded with carry-less multiplication where the processor
    // has it; the rest (and everything elsewhere) goes through zlib.
    const QByteArray bytes = randomBytes(1 << 20);
    for (const int length : {0, 1, 15, 63, 64, 65, 127, 1000, (1 << 20) - 3}) {
        for (const int offset : {0, 3}) {
            const QByteArray part = bytes.mid(offset, length);
            Crc32 crc;
            crc.update(part.constData(), part.size() / 3);
            crc.update(part.constData() + part.size() / 3, part.size() - part.size() / 3);
            QCOMPARE(crc.value(), ZipBuilder::crc32(part));
        }
    }
}

void ArchiveExtractorTest::reextractionReplacesFilesAndKeepsOthers()
{
    installFirstVersion();

    const JobResult result = extract(ZipBuilder()
                                         .addFile("mod/index.html", "v2 index")
                                         .addFile("mod/pages/b.html", "v2 b")
                                         .addFile("mod/new/n.html", "v2 n")
                                         .addSymLink("mod/start", "pages/b.html")
                                         .archive());

    QVERIFY2(result.ok, qPrintable(result.error));
    const Tree expected{
        {"mod", "folder"},
        {"mod/index.html", "file:v2 index"},
        {"mod/new", "folder"},
        {"mod/new/n.html", "file:v2 n"},
        {"mod/mine.txt", "file:the user's"},
        {"mod/pages", "folder"},
        {"mod/pages/b.html", "file:v2 b"},
        {"mod/start", "link:pages/b.html"},
        // keep.txt is no longer in the archive, so it goes; the user's file keeps its folder.
        {"mod/zz", "folder"},
        {"mod/zz/mine.txt", "file:the user's"},
    };
    QCOMPARE(treeOf(m_library), expected);
}

void ArchiveExtractorTest::replacesLinksWithoutWritingThroughThem()
{
    // Links already in the library, pointing out of it: the archive's folder and file take
    // their places; nothing is written where they point.
    const QString outside = m_root->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkdir(outside));
    QVERIFY(QDir().mkpath(m_library + QStringLiteral("/mod")));
    QVERIFY(QFile::link(outside, m_library + QStringLiteral("/mod/data")));
    QVERIFY(QFile::link(outside + QStringLiteral("/victim.txt"),
                        m_library + QStringLiteral("/mod/page.html")));

    const JobResult result = extract(ZipBuilder()
                                         .addFile("mod/data/file.txt", "data")
                                         .addFile("mod/page.html", "page")
                                         .archive());

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(snapshot(outside), Tree());
    QVERIFY(QDir().rmdir(outside));
    const Tree expected{
        {"mod", "folder"},
        {"mod/data", "folder"},
        {"mod/data/file.txt", "file:data"},
        {"mod/page.html", "file:page"},
    };
    QCOMPARE(treeOf(m_library), expected);
}

void ArchiveExtractorTest::hostileRecord_takesAwayNothingElse_data()
{
    // What a record names, relative to the library folder, and where that file really is,
    // relative to the folder that holds the library.
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("victim");
    QTest::newRow("climbing out") << "../victim.txt"
                                  << "victim.txt";
    QTest::newRow("the library index") << "tavro-modules.txt"
                                       << "library/tavro-modules.txt";
    QTest::newRow("through a link") << "mod/outside/victim.txt"
                                    << "outside/victim.txt";
}

void ArchiveExtractorTest::hostileRecord_takesAwayNothingElse()
{
    QFETCH(QString, listed);
    QFETCH(QString, victim);
    installFirstVersion();
    const QString victimPath = m_root->path() + QLatin1Char('/') + victim;
    writeFile(victimPath, "not the module's");
    QVERIFY(QFile::link(m_root->path() + QStringLiteral("/outside"),
                        m_library + QStringLiteral("/mod/outside")));
    QFile record(m_library + QStringLiteral("/.mod.files"));
    QVERIFY(record.open(QIODevice::Append));
    record.write("16 00000000 " + listed.toUtf8() + '\n');
    record.close();

    QVERIFY(extract(ZipBuilder().addFile("mod/index.html", "v2 index").archive()).ok);

    QCOMPARE(fileContent(victimPath), QByteArray("not the module's"));
    QFile::remove(m_root->path() + QStringLiteral("/victim.txt"));
    QDir(m_root->path() + QStringLiteral("/outside")).removeRecursively();
}

void ArchiveExtractorTest::failureToChangeTheLibraryLeavesItUntouched_data()
{
    QTest::addColumn<QString>("readOnlyFolder"); // below the library, "" for the library itself
    QTest::addColumn<QString>("error");

    QTest::newRow("library folder") << ""
                                    << "the library folder cannot be written";
    QTest::newRow("folder of a replaced file") << "mod/pages"
                                               << "mod/pages/a.html could not be replaced";
}

void ArchiveExtractorTest::failureToChangeTheLibraryLeavesItUntouched()
{
    QFETCH(QString, readOnlyFolder);
    QFETCH(QString, error);
    installFirstVersion();
    const QByteArray archive =
        ZipBuilder()
            .addFile("mod/index.html", "v2 index") // moves before the failing one
            .addFile("mod/pages/a.html", "v2 a")
            .archive();
    const QString archivePath = m_root->path() + QStringLiteral("/module.zip");
    writeFile(archivePath, archive);
    const Tree before = snapshot(m_library);
    const QString folder = m_library + (readOnlyFolder.isEmpty() ? "" : "/" + readOnlyFolder);
    const QFile::Permissions permissions = QFileInfo(folder).permissions();
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    QFile probe(folder + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(folder, permissions);
        QFile::remove(archivePath);
        QSKIP("This user writes into folders whatever their permissions (root)");
    }

    const JobResult result = extractArchive(archivePath, m_library);

    QVERIFY(QFile::setPermissions(folder, permissions));
    QVERIFY(QFile::remove(archivePath));
    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QCOMPARE(snapshot(m_library), before);
}

void ArchiveExtractorTest::failedWrite_failsTheExtraction()
{
    // Files may grow to 1 MiB here, so the entry's write fails half-way, as on a disk that
    // fills or fails, after the check of free space has let the archive through.
    installFirstVersion();
    ZipBuilder::Entry big;
    big.name = "mod/big.bin";
    big.data = QByteArray(2 << 20, 'a');
    big.deflate = true;
    writeFile(m_archive,
              ZipBuilder().addFile("mod/index.html", "v2 index").addEntry(big).archive());
    const Tree before = snapshot(m_library);
    rlimit limit;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{1 << 20, limit.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

    const JobResult result = extractArchive(m_archive, m_library);

    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("mod/big.bin could not be written"));
    QCOMPARE(snapshot(m_library), before);
    QFile::remove(m_archive);
}

void ArchiveExtractorTest::unzipFile_reportsOnWorkerThread_data()
{
    QTest::addColumn<bool>("archivePresent");
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<bool>("leftovers");   // staging folders a crash left behind
    QTest::addColumn<bool>("liveStaging"); // one another running client is filling
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("installed");

    // The module's files, and its record beside them.
    const QStringList installed{"mod", "mod/index.html", "mod/pages", "mod/pages/a.html"};
    QTest::newRow("whole archive") << true << writtenArchive() << false << false << "success"
                                   << QStringList{".mod.files"} + installed;
    QTest::newRow("leftovers of a crash")
        << true << writtenArchive() << true << false << "success"
        << QStringList{".mod.files", "keep", "keep/precious.txt"} + installed;
    const QStringList live{".unpack-live", ".unpack-live.lock", ".unpack-live/tree",
                           ".unpack-live/tree/x.html"};
    QTest::newRow("staging folder of a running client")
        << true << writtenArchive() << true << true << "success"
        << QStringList{".mod.files"} + live + QStringList{"keep", "keep/precious.txt"} + installed;
    QTest::newRow("unsafe archive")
        << true << ZipBuilder().addFile("../evil.txt", "evil").archive() << false << false
        << "failure: the archive holds an unsafe path: ../evil.txt" << QStringList();
    QTest::newRow("zero-byte archive") << true << QByteArray() << false << false
                                       << "failure: the archive is empty" << QStringList();
    QTest::newRow("missing archive") << false << QByteArray() << false << false
                                     << "failure: the archive is missing" << QStringList();
}

void ArchiveExtractorTest::unzipFile_reportsOnWorkerThread()
{
    QFETCH(bool, archivePresent);
    QFETCH(QByteArray, archive);
    QFETCH(bool, leftovers);
    QFETCH(bool, liveStaging);
    QFETCH(QString, status);
    QFETCH(QStringList, installed);
    if (archivePresent)
        writeFile(m_archive, archive);
    if (leftovers) {
        writeFile(m_library + "/.unpack-a1B2c3/tree/mod/index.html", "half written");
        writeFile(m_library + "/.unpack-d4E5f6", "not even a folder");
        writeFile(m_library + "/keep/precious.txt", "the user's");
        // A link is removed, not what it points at.
        QVERIFY(QFile::link(m_library + "/keep", m_library + "/.unpack-g7H8i9"));
        // The lock of a client that has ended holds nothing.
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        writeFile(m_library + "/.unpack-a1B2c3.lock", QByteArray::number(pid) + "\ncorvelle\n" +
                                                          QSysInfo::machineHostName().toUtf8() +
                                                          "\n");
    }
    // Held by this process, the lock stands for another client at work.
    QLockFile otherClient(m_library + "/.unpack-live.lock");
    otherClient.setStaleLockTime(0);
    if (liveStaging) {
        QVERIFY(otherClient.tryLock(0));
        writeFile(m_library + "/.unpack-live/tree/x.html", "being unpacked");
    }

    QThread worker;
    auto *module = new Module;
    module->moveToThread(&worker);
    connect(&worker, &QThread::finished, module, &QObject::deleteLater);
    QStringList statuses;
    connect(module, &Module::notifyFileDone, this,
            [&statuses](const QString &status) { statuses.append(status); });
    worker.start();

    QVERIFY(QMetaObject::invokeMethod(module, "unzipFile", Qt::QueuedConnection,
                                      Q_ARG(QString, m_archive), Q_ARG(QString, m_library)));
    QTRY_COMPARE(statuses, QStringList{status});
    worker.quit();
    QVERIFY(worker.wait());

    // The archive is gone in every case, and nothing else appears.
    QCOMPARE(snapshot(m_library).keys(), installed);
}

CORVELLE_TEST_MAIN(ArchiveExtractorTest)
#include "tst_archiveextractor.moc"

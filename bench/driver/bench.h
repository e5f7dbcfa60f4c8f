#pragma once

#include "driver/processrunner.h"
#include "driver/resulttable.h"

#include <QProcess>
#include <QString>
#include <QStringList>

struct BenchConfig
{
    bool quick = false;
    // Timed runs of each side, after one warm-up run. On a shared machine one run in three or
    // four of a copy or an unpack, ours and the peers alike, takes two to three times as long
    // as the others: nine runs keep such runs out of the median.
    int runs = 9;
    int startupRuns = 10;
    int delayRuns = 3;
    // Runs of the downloads that meet a cut or a stall: each checks a bound, not a ratio.
    int faultRuns = 3;
    // Runs of each side of an update. With every entry changed, the two sides do the same but
    // for some milliseconds before the whole archive comes, while single runs of half a
    // second vary by some 5 %: more runs let the medians show the difference.
    int updateRuns = 15;
    QString work; // where the data goes, and the homes of the window's runs
    // Where the runs write what they unpack, download and copy: a memory-backed file system
    // when there is one, so that the disk's write-back and the file system's bookkeeping of
    // the trees deleted between runs do not decide the figures.
    QString scratch;
    QStringList cases; // empty: all

    // Unpacked; packed, the pages shrink and the archive comes to about 200 MB.
    qint64 moduleBytes = 245'000'000;
    int moduleFiles = 1980; // with its 20 folders, 2,000 archive entries
    int moduleParts = 17;
    // One entry of video, stored as zip stores media, and a module of many small pages.
    qint64 videoBytes = qint64(3) << 30;
    qint64 pagesBytes = 40'000'000;
    int pagesFiles = 19976; // with its 24 folders, 20,000 archive entries
    int pagesParts = 21;
    qint64 libraryBytes = 1'000'000'000;
    int libraryFiles = 5000;
    int listModules = 50000;
    int listInstalled = 2000;
    int delayMilliseconds = 3000;
    // The damage check's library: modules of some files each, with their install records.
    int checkModules = 2000;
    int checkFilesEach = 50;

    static BenchConfig full();
    static BenchConfig small();
    // Bytes the scratch folder must have free.
    qint64 scratchNeeded() const
    {
        return moduleBytes * 3 + libraryBytes * 3 + videoBytes * 2 + pagesBytes * 3;
    }
};

// Runs every case: ours and the peer's, alternating, after a warm-up run of each, and checks
// every result of ours against the data it was given.
class Bench
{
public:
    explicit Bench(const BenchConfig &config);
    ~Bench();
    // 0 when every case ran and gave right results; 1 otherwise. Missed targets are counted
    // in missedTargets().
    int run();
    int missedTargets() const { return m_table.missed(); }

private:
    // Where the window keeps its library below the home folder, and the index in it.
    static inline const QString libraryBelowHome = QStringLiteral("/Desktop/Tavro Modules");
    static inline const QString indexName = QStringLiteral("tavro-modules.txt");

    bool wanted(const QString &name) const;
    bool prepare();
    bool startService();
    void stopService();
    // A service of its own, with test faults, logging to log; its address into *url. It serves
    // catalogue, or the catalogue of the other cases when that is empty.
    bool startService(QProcess &service, const QStringList &options, const QString &log,
                      QString *url, const QString &catalogue = QString());
    void stopService(QProcess &service);

    void caseStartup();
    void caseDelay();
    void caseList();
    void caseUnpack();
    // Unpacks archive, made from the tree in source, with ours and bsdtar; with memory, the
    // peak memory of ours above its idle figure is a row of its own.
    void unpackArchive(const QString &name, const QString &archive, const QString &source,
                       double limit, bool memory);
    qint64 entriesOf(const QString &archive);
    void caseDownload();
    void caseDownloadFaults();
    void caseUpdate();
    bool prepareUpdates();
    // Installs the module's archive into installed, with its index line, by our own unpacking.
    bool installModule(const QString &root, const QString &installed);
    void caseRepair();
    void caseCopy();
    void caseCheck();
    void casePage();

    // The client's arguments for the window's download of the large module.
    QStringList downloadArguments() const;
    // A run of our client program for one case, in a home folder of its own.
    ProcessResult client(const QStringList &arguments, const QString &home,
                         const QString &serviceUrl = QString());
    QMap<QString, QString> windowEnvironment(const QString &home,
                                             const QString &serviceUrl = QString()) const;
    ProcessResult peer(const QString &program, const QStringList &arguments,
                       const QString &directory = QString());
    bool failed(const QString &caseName, const QString &why);
    void progress(const QString &text) const;
    void detail(const QString &name, const QVector<double> &values, const QString &unit);
    QString sizeText(qint64 bytes) const;

    BenchConfig m_config;
    ResultTable m_table;
    QStringList m_details;
    int m_failures = 0;

    QString m_data;         // generated once: sources, archive, catalogues
    QString m_moduleSource; // holds the module folder, and nothing else
    QString m_moduleId = QStringLiteral("chw-handbook");
    QString m_archive;
    qint64 m_archiveEntries = 0;
    QString m_videoSource; // holds the video module's folder, and nothing else
    QString m_videoArchive;
    QString m_pagesSource;
    QString m_pagesArchive;
    QString m_copyHome; // its library is the copy's source
    QString m_listHome;
    QString m_listRoutes;
    QString m_listTopic;
    int m_listInstalled = 0;
    int m_listFlagged = 0;
    QString m_catalogue;
    int m_catalogueModules = 0;
    // New versions of the module, for the updates: one in which one file in a hundred
    // changed, one in which every file did; each served from a catalogue of its own.
    struct Update
    {
        QString name;
        QString source; // holds the module folder, and nothing else
        QString archive;
        QString catalogue;
    };
    QVector<Update> m_updates;
    QString m_moduleName;

    QProcess m_service;
    QString m_serviceUrl;
};

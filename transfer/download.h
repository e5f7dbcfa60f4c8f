#pragma once

#include "archive/installedcomparison.h"
#include "browse/catalogrecord.h"
#include "transfer/deltaupdate.h"
#include "transfer/partialdownload.h"

#include <QFile>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class StallWatch;

// One module archive on its way from the catalogue to the library folder. The body goes to
// disk as it arrives, into a hidden part beside the archive path, so memory does not grow with
// the archive; the archive appears at its path only once the whole body has arrived with a
// successful answer. A transfer that fails keeps what it received: the next download of the
// module, or the retry that follows a cut, asks only for the rest.
//
// A download of a module that is installed fetches only what changed in its archive, where the
// server allows (see DeltaUpdate), and falls back to the whole archive where it does not; either
// way the archive that appears at its path unpacks to the same tree.
class Download : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Running,
        Saved,           // the archive stands complete at its path
        Failed,          // the transfer did not succeed; nothing was saved
        FileUnavailable, // nothing can be written in the library folder
        Stopped          // the user stopped it; what arrived is kept for the next download
    };
    // A cut or stalled transfer that received bytes is tried again this many times.
    static constexpr int retries = 3;

    Download(const QJsonObject &record, const QString &libraryFolder);
    ~Download() override;

    // Sends the request through network; finished() follows once the download is over.
    void start(QNetworkAccessManager *network, const QString &link);
    // Ends the transfer at once, keeping what arrived; finished() follows before it returns.
    void stop();

    QJsonObject record() const { return m_record; }
    QString moduleId() const { return CatalogRecord(m_record).id(); }
    QString archivePath() const { return m_archivePath; }
    Outcome outcome() const { return m_outcome; }
    // Why the download did not save its archive, as a phrase that reads after "Could not
    // download Hand Washing: ".
    QString reason() const { return m_reason; }
    // What went wrong, in the network layer's or the file system's words.
    QString error() const { return m_error; }
    // What the download fetched when it updated the installed module, or why it fetched the
    // whole archive instead; empty for any other download.
    QString updateSummary() const { return m_updateSummary; }
    // How much of the archive a stopped download holds for the next one, in per cent; -1 when
    // the next one starts from the beginning.
    int stoppedAt() const { return m_stoppedAt; }
    // The file where an update puts together the archive of its changes.
    QString changesPath() const { return m_partial.changesPath(); }

    // The worker's answers to wantsComparison() and wantsCheck().
    void comparisonArrived(const InstalledComparison &comparison);
    void checkArrived(const QString &problem);

signals:
    // Counts the bytes held from an earlier transfer too.
    void progress(qint64 bytesReceived, qint64 bytesTotal);
    // The transfer failed after bytes had arrived; it resumes after pauseMs.
    void retrying(const QString &reason, int retry, int retries, int pauseMs);
    void finished();
    // The update needs the worker to compare an archive's directory with the installed files,
    // or to check the archive of its changes at path.
    void wantsComparison(InstalledComparison comparison);
    void wantsCheck(QString path);

private:
    enum class Answer {
        Awaited,   // no headers yet
        Whole,     // the body from its first byte
        Continues, // the rest of the bytes held
        Ranges,    // ranges of the archive, for an update
        Refused    // not a body to keep: an error status, or a transfer given up
    };

    void request();
    bool openBody();
    bool rangesStarted(int status);
    void startUpdate();
    void goOn(DeltaUpdate::Next next);
    void fallBack();
    void dropUpdate(const QString &reason);
    void dropReply();
    void answerStarted();
    void receive();
    void reportProgress(qint64 bytesReceived, qint64 bytesTotal);
    void transferEnded();
    void refuse(const QString &reason, const QString &error);
    bool fitsOnDisk(qint64 bytes) const;
    bool save();
    void end(Outcome outcome);

    const QJsonObject m_record;
    const QString m_libraryFolder;
    const QString m_archivePath;
    const PartialDownload m_partial;
    QNetworkAccessManager *m_network = nullptr;
    QString m_link;
    QNetworkReply *m_reply = nullptr;
    StallWatch *m_watch = nullptr;
    QFile m_body;
    Answer m_answer = Answer::Awaited;
    // What the part held when the request went out, and where this answer's bytes begin.
    qint64 m_held = 0;
    PartialDownload::Version m_heldVersion;
    PartialDownload::Version m_version;
    qint64 m_offset = 0;
    bool m_receivedBytes = false;
    bool m_retryable = true;
    int m_retry = 0;
    QTimer m_pause;
    Outcome m_outcome = Outcome::Running;
    QString m_reason;
    QString m_error;
    std::unique_ptr<DeltaUpdate> m_delta;
    QString m_updateSummary;
    int m_stoppedAt = -1;
};

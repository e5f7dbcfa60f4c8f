#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSaveFile>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// One module archive on its way from the catalogue to the library folder. The body goes to
// disk as it arrives, so memory does not grow with the archive; the archive appears at its
// path only once the whole body has arrived with a successful answer.
class Download : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Running,
        Saved,          // the archive stands complete at its path
        Failed,         // the transfer did not succeed; nothing was saved
        FileUnavailable // the archive could not be created in the library folder
    };

    // kind is the window's download kind; record is fixed here and never changes afterwards.
    Download(int kind, const QJsonObject &record, const QString &archivePath,
             QObject *parent = nullptr);
    ~Download() override;

    // Sends the request through network; finished() follows once the transfer is over.
    void start(QNetworkAccessManager *network, const QString &link);

    int kind() const { return m_kind; }
    QJsonObject record() const { return m_record; }
    QString moduleId() const;
    QString archivePath() const { return m_archivePath; }
    Outcome outcome() const { return m_outcome; }
    // Why the download did not save its archive.
    QString error() const { return m_error; }

signals:
    void progress(qint64 bytesReceived, qint64 bytesTotal);
    void finished();

private:
    void receive();
    void complete();
    bool answerAccepted() const;
    void fail(const QString &error);

    const int m_kind;
    const QJsonObject m_record;
    const QString m_archivePath;
    QNetworkReply *m_reply = nullptr;
    QSaveFile m_archive;
    bool m_archiveOpen = false;
    bool m_discarding = false;
    Outcome m_outcome = Outcome::Running;
    QString m_error;
};

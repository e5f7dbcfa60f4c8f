#include "support/testcertificate.h"

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStandardPaths>

TestCertificate::TestCertificate()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty()) {
        m_problem = QStringLiteral("openssl is not installed");
        return;
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                   keyPath(), QStringLiteral("-out"), certificatePath()});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        m_problem = QStringLiteral("openssl could not make a certificate: ") +
                    QString::fromLocal8Bit(openssl.readAll());
}

void TestCertificate::trust() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(configuration.caCertificates() +
                                    QSslCertificate::fromPath(certificatePath()));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

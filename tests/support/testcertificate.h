#pragma once

#include <QString>
#include <QTemporaryDir>

// A self-signed certificate for 127.0.0.1 and its key, made for the test by the openssl
// program, for a TestServer that speaks HTTPS.
class TestCertificate
{
public:
    TestCertificate();

    // Empty when the certificate could be made, otherwise why not.
    QString problem() const { return m_problem; }
    QString certificatePath() const { return m_folder.filePath(QStringLiteral("cert.pem")); }
    QString keyPath() const { return m_folder.filePath(QStringLiteral("key.pem")); }

    // Adds the certificate to the authorities every new connection of this process trusts.
    void trust() const;

private:
    QTemporaryDir m_folder;
    QString m_problem;
};

#include "libs/disclookup/lookupsettings.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace DiscLookup;

class tst_LookupSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsFile_data();
    void settingsFile();
};

void tst_LookupSettings::settingsFile_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("cddbServer");
    QTest::addColumn<QString>("hello");
    QTest::addColumn<QString>("musicBrainzServer");
    QTest::addColumn<QString>("contact");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("maxReplySize");

    const LookupSettings d = defaultSettings();
    const QString cddb = QString::fromStdString(d.cddbServer);
    const QString mb = QString::fromStdString(d.musicBrainzServer);
    const QString hello = QString::fromStdString(d.cddbUser + ' ' + d.cddbHost);
    QTest::newRow("no file") << QByteArray() << cddb << hello << mb << "" << 15000 << 4194304;
    QTest::newRow("as the README shows it")
        << QByteArray("[CDDB]\nServer=http://127.0.0.1:8080/~cddb/cddb.cgi\nHello=me example.org\n"
                      "[MusicBrainz]\nServer=http://127.0.0.1:8081/ws/2\nContact=me@example.org\n"
                      "[Network]\nConnectTimeout=5000   ; milliseconds\n"
                      "Timeout=700         ; milliseconds for one request\n"
                      "MaxReplySize=65536  ; bytes\n")
        << "http://127.0.0.1:8080/~cddb/cddb.cgi"
        << "me example.org"
        << "http://127.0.0.1:8081/ws/2"
        << "me@example.org" << 700 << 65536;
    QTest::newRow("servers switched off")
        << QByteArray("[CDDB]\nServer=\n[MusicBrainz]\nServer=\n") << "" << hello << ""
        << "" << 15000 << 4194304;
    QTest::newRow("a comma in an address")
        << QByteArray("[CDDB]\nServer=http://host/a,b\n") << "http://host/a,b" << hello << mb << ""
        << 15000 << 4194304;
    QTest::newRow("values that are not kept")
        << QByteArray("[CDDB]\nHello=just-one-word\n[Network]\nTimeout=soon\nMaxReplySize=-5\n")
        << cddb << hello << mb << "" << 15000 << 4194304;
}

void tst_LookupSettings::settingsFile()
{
    QFETCH(QByteArray, ini);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QString::fromLatin1(SettingsFileName));
    if (!ini.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    const LookupSettings s = readSettings(QFile::encodeName(path).toStdString());
    QTEST(QString::fromStdString(s.cddbServer), "cddbServer");
    QTEST(QString::fromStdString(s.cddbUser + ' ' + s.cddbHost), "hello");
    QTEST(QString::fromStdString(s.musicBrainzServer), "musicBrainzServer");
    QTEST(QString::fromStdString(s.musicBrainzContact), "contact");
    QTEST(int(s.timeoutMs), "timeoutMs");
    QTEST(int(s.maxReplySize), "maxReplySize");
}

QTEST_GUILESS_MAIN(tst_LookupSettings)
#include "tst_lookupsettings.moc"

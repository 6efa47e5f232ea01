#include "app/settings.h"
#include "app/ui/application.h"
#include "app/ui/mainwindow.h"
#include "job/ripjob.h"
#include "pipeline/cdinput.h"
#include "tests/support/discdrive.h"
#include "tests/support/memorysettings.h"
#include "tests/support/testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The application object: SIGTERM during a rip ends the program the way
// closing its window does, leaving neither the temporary WAV nor a partial
// file under a final name.
class tst_Application : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void terminationCancelsTheRip_data();
    void terminationCancelsTheRip();

private:
    QTemporaryDir m_home;
    QString m_tmp;
};

void tst_Application::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    m_tmp = m_home.filePath("tmp");
    QVERIFY(QDir().mkpath(m_tmp));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
}

void tst_Application::terminationCancelsTheRip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("file");
    QTest::newRow("MP3, reading into the temporary WAV") << 0 << "track 01.mp3";
    QTest::newRow("FLAC, writing the output") << 5 << "track 01.flac";
}

void tst_Application::terminationCancelsTheRip()
{
    QFETCH(int, format);
    QFETCH(QString, file);
    const QString dir = m_home.filePath(QString::number(format));
    TestSupport::installDisc(dir + "/disc", TestSupport::audioDisc({75 * 200}));
    TfrmMain w(std::make_unique<SettingsStore>(std::make_unique<MemorySettingsStorage>()));
    auto devices = w.findChild<QComboBox *>("cmbDevice");
    devices->setCurrentIndex(devices->count() - 1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.findChild<QLineEdit *>("edtDestFolder")->setText(dir + "/out");
    w.findChild<QComboBox *>("cmbOutformat")->setCurrentIndex(format);
    w.findChild<QPushButton *>("btnRip")->click();
    QVERIFY(w.ripJob()->Running());
    const QString temp = w.ripJob()->TempWavFile();

    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(!w.ripJob()->Running());
    QVERIFY(!QFile::exists(dir + "/out/" + file));
    QVERIFY(temp.isEmpty() || !QFile::exists(temp));
    QCOMPARE(QDir(m_tmp).entryList({"tem*"}, QDir::Files), QStringList());
    QTRY_VERIFY(!w.progressWindow());
}

int main(int argc, char **argv)
{
    SondrelApplication app(argc, argv);
    // Closing the window must not end the test run.
    app.setQuitOnLastWindowClosed(false);
    tst_Application test;
    // Qt Test's own handler would take SIGTERM from the application.
    QStringList arguments = app.arguments();
    arguments << "-nocrashhandler";
    return QTest::qExec(&test, arguments);
}

#include "tst_application.moc"

#include "app/sondrelcore.h"
#include "app/ui/application.h"
#include "app/ui/mainwindow.h"
#include "job/ripjob.h"
#include "lookup/freedblookup.h"
#include "tests/support/discdrive.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QAction>
#include <QPushButton>
#include <QSemaphore>
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
    // Last: it runs the application's event loop, which the quit ends.
    void terminationDuringLookupQuitsAfterIt();

private:
    TestSupport::TestHome m_home;
};

void tst_Application::initTestCase()
{
    QVERIFY(m_home.isValid());
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
    m_home.installDisc(TestSupport::audioDisc({75 * 200}));
    TestSupport::WindowRig r;
    QVERIFY(r.show());
    const QString out = m_home.filePath(QString("out%1").arg(format));
    r.prepareRip(out, format);
    r.child<QPushButton>("btnRip")->click();
    QVERIFY(r.job()->Running());
    const QString temp = r.job()->TempWavFile();

    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_VERIFY(!r.w->isVisible());
    QVERIFY(!r.job()->Running());
    QVERIFY(!QFile::exists(out + "/" + file));
    QVERIFY(temp.isEmpty() || !QFile::exists(temp));
    QCOMPARE(m_home.leftovers(), QStringList());
    QTRY_VERIFY(!r.w->progressWindow());
}

void tst_Application::terminationDuringLookupQuitsAfterIt()
{
    m_home.installDisc(TestSupport::audioDisc({300}));
    TestSupport::WindowRig r;
    QVERIFY(r.show());
    QSemaphore asked, release;
    r.w->core()->FreedbLookup()->setSource([&](const QString &, int) {
        asked.release();
        release.acquire();
        return FreedbReply{false, QString(), QStringLiteral("No entry for this disc")};
    });
    r.w->findChild<QAction *>("ActFreeDB")->trigger();
    QVERIFY(asked.tryAcquire(1, 5000));
    QCOMPARE(::raise(SIGTERM), 0);
    QTimer answer, giveUp;
    connect(&answer, &QTimer::timeout, this, [&] { release.release(); });
    connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    answer.setSingleShot(true);
    answer.start(300);
    giveUp.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!r.w->isVisible());
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

#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "app/ui/mainwindow.h"
#include "app/ui/tippane.h"
#include "libs/disclookup/disctoc.h"
#include "lookup/freedblookup.h"
#include "lookup/ui/candidatechooser.h"
#include "lookup/ui/tipform.h"
#include "pipeline/cdinput.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTextDocumentFragment>
#include <QtTest>

#include <thread>

using namespace TestSupport;

// The "&FreeDB" lookup as the window runs it: stand-in replies for the
// reading of the answer, the real library against a loopback CDDB server
// for the whole way from the disc to the names of a rip.
class tst_FreedbWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void answerSpread_data();
    void answerSpread();
    void waitFormWhileLookingUp();
    void windowGoesDuringLookup();
    void closeDuringLookupClosesAfterIt();
    void longMessageIsReadableWhole();
    void throughTheLibrary();
    void chooseAmongSeveral();
    void unknownDiscOffersSubmission();

private:
    std::unique_ptr<TfrmMain> makeWindow();
    // Presses "&FreeDB" and waits for the reply to be spread.
    static bool lookUp(TfrmMain *w);
    static void fillBefore(TfrmMain *w);
    // The lookup's source frees `asked`, then answers `reply` once `release`
    // is freed.
    static void answerWhenReleased(TfrmMain *w,
                                   QSemaphore &asked,
                                   QSemaphore &release,
                                   const FreedbReply &reply);
    static QStringList fields(TfrmMain *w);
    static QStringList column(TfrmMain *w, int c);

    TestHome m_home;
    QString m_settingsFolder;
};

void tst_FreedbWindow::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_settingsFolder = TCDIn::SettingsFolder();
    installDiscs(m_home.filePath("discs"), {{"loopback", audioDisc({300, 400, 500})}});
}

std::unique_ptr<TfrmMain> tst_FreedbWindow::makeWindow()
{
    WindowRig rig;
    if (!rig.show()) // the image, after any real drive
        qWarning("window not shown");
    return std::move(rig.w);
}

bool tst_FreedbWindow::lookUp(TfrmMain *w)
{
    QSignalSpy done(w->core()->FreedbLookup(), &TFreedbLookup::finished);
    w->findChild<QAction *>("ActFreeDB")->trigger();
    return done.wait(20000) && !w->findChild<Tfrmtip *>();
}

void tst_FreedbWindow::answerWhenReleased(TfrmMain *w,
                                          QSemaphore &asked,
                                          QSemaphore &release,
                                          const FreedbReply &reply)
{
    w->core()->FreedbLookup()->setSource([&asked, &release, reply](const QString &, int) {
        asked.release();
        release.acquire();
        return reply;
    });
}

void tst_FreedbWindow::fillBefore(TfrmMain *w)
{
    child<QLineEdit>(w, "edtAlbum")->setText("Old album");
    child<QLineEdit>(w, "edtArtist")->setText("Old artist");
    child<QComboBox>(w, "edtGenre")->setCurrentIndex(2);
    child<QLineEdit>(w, "edtYear")->setText("1970");
    DiscModel *disc = w->core()->disc();
    for (int row = 0; row < disc->rowCount(); ++row) {
        disc->setTrackArtist(row, QStringLiteral("a%1").arg(row + 1));
        disc->setTrackTitle(row, QStringLiteral("t%1").arg(row + 1));
    }
}

QStringList tst_FreedbWindow::fields(TfrmMain *w)
{
    return {child<QLineEdit>(w, "edtAlbum")->text(),
            child<QLineEdit>(w, "edtArtist")->text(),
            child<QComboBox>(w, "edtGenre")->currentText(),
            child<QLineEdit>(w, "edtYear")->text()};
}

QStringList tst_FreedbWindow::column(TfrmMain *w, int c)
{
    QStringList texts;
    const DiscModel *disc = w->core()->disc();
    for (int row = 0; row < disc->rowCount(); ++row)
        texts << disc->index(row, c).data().toString();
    return texts;
}

void tst_FreedbWindow::answerSpread_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("artists");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("tip");

    const QStringList before{"Old album", "Old artist", "02 - Country", "1970"};
    const QStringList found{"Loopback", "The Sockets", "17 - Rock", "1999"};
    const QStringList oldArtists{"a1", "a2", "a3"};
    const QStringList oldTitles{"t1", "t2", "t3"};
    const QStringList sockets{"The Sockets", "The Sockets", "The Sockets"};
    const QStringList titles{"Listen", "Accept", "Close"};
    const QString selected = "3 Tracks Selected";

    QTest::newRow("every box and cell")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\nAccept\nClose\n"
        << QString() << found << sockets << titles << selected;
    QTest::newRow("one title fewer")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\nAccept" << QString()
        << found << oldArtists << oldTitles
        << "2 titles for 3 tracks: the titles were left as they were";
    QTest::newRow("one title more")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\nAccept\nClose\nBonus\n"
        << QString() << found << oldArtists << oldTitles
        << "4 titles for 3 tracks: the titles were left as they were";
    QTest::newRow("line 5 not nil")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nno titles\nListen\nAccept\nClose\n"
        << QString() << found << oldArtists << oldTitles << "No track titles for this disc";
    QTest::newRow("artist unknown: the old one goes into the cells")
        << true << "Loopback\nnil\n17 - Rock\n1999\nnil\nListen\nAccept\nClose\n"
        << QString() << QStringList{"Loopback", "Old artist", "17 - Rock", "1999"}
        << QStringList{"Old artist", "Old artist", "Old artist"} << titles << selected;
    QTest::newRow("nil in lines 1 to 4 keeps every box")
        << true << "nil\nnil\nnil\nnil\nnil\nListen\nAccept\nClose\n"
        << QString() << before << QStringList{"Old artist", "Old artist", "Old artist"} << titles
        << selected;
    QTest::newRow("NIL and \" nil\" are text")
        << true << "NIL\n nil\nNil\nnil \nNIL\nListen\nAccept\nClose\n"
        << QString() << QStringList{"NIL", " nil", "Nil", "nil "} << oldArtists << oldTitles
        << "No track titles for this disc";
    QTest::newRow("\" nil\" in line 5 stops the titles")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\n nil\nListen\nAccept\nClose\n"
        << QString() << found << oldArtists << oldTitles << "No track titles for this disc";
    QTest::newRow("CR LF and CR line ends, a genre not in the list")
        << true << "Loopback\r\nThe Sockets\rPost-Punk\r\n1999\rnil\r\nListen\rAccept\r\nClose"
        << QString() << QStringList{"Loopback", "The Sockets", "Post-Punk", "1999"} << sockets
        << titles << selected;
    QTest::newRow("an empty title is a title")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\n\nClose\n"
        << QString() << found << sockets << QStringList{"Listen", "", "Close"} << selected;
    QTest::newRow("a warning beside the answer")
        << true << "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\nAccept\nClose\n"
        << "The disc library cannot be used: disk full" << found << sockets << titles
        << "The disc library cannot be used: disk full";
    QTest::newRow("no answer") << false << QString() << "No entry for this disc" << before
                               << oldArtists << oldTitles << "No entry for this disc";
    QTest::newRow("server down") << false << QString()
                                 << "Disc database not reachable: CDDB: connection refused"
                                 << before << oldArtists << oldTitles
                                 << "Disc database not reachable: CDDB: connection refused";
    QTest::newRow("empty answer") << true << QString() << QString() << before << oldArtists
                                  << oldTitles << "No entry for this disc";
    QTest::newRow("fewer than five lines") << true << "Loopback\nThe Sockets\n17 - Rock\n1999\n"
                                           << QString() << before << oldArtists << oldTitles
                                           << "The disc database's answer is incomplete";
}

void tst_FreedbWindow::answerSpread()
{
    QFETCH(bool, answered);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, artists);
    QFETCH(QStringList, titles);
    QFETCH(QString, tip);

    auto w = makeWindow();
    fillBefore(w.get());
    QString asked;
    int askedDrive = -2;
    w->core()->FreedbLookup()->setSource([&](const QString &path, int drive) {
        asked = path;
        askedDrive = drive;
        return FreedbReply{answered, answer, message};
    });
    QVERIFY(lookUp(w.get()));

    QCOMPARE(asked, m_settingsFolder + "CDLibrary.db");
    QCOMPARE(askedDrive, child<QComboBox>(w.get(), "cmbDevice")->currentIndex());
    QCOMPARE(this->fields(w.get()), fields);
    QCOMPARE(column(w.get(), DiscModel::ArtistColumn), artists);
    QCOMPARE(column(w.get(), DiscModel::TitleColumn), titles);
    QCOMPARE(child<QLabel>(w.get(), "spTips")->text(), tip);
    // The boxes are the disc's: a listed genre is selected as its item.
    const DiscModel *disc = w->core()->disc();
    QCOMPARE(QStringList({disc->album(), disc->artist(), disc->genre(), disc->year()}), fields);
    auto genre = child<QComboBox>(w.get(), "edtGenre");
    QCOMPARE(genre->currentIndex(), genre->findText(fields.at(2), Qt::MatchExactly));
    QVERIFY(w->isEnabled());
}

void tst_FreedbWindow::waitFormWhileLookingUp()
{
    auto w = makeWindow();
    QSemaphore asked, release;
    answerWhenReleased(w.get(),
                       asked,
                       release,
                       {true, "Loopback\nThe Sockets\nnil\nnil\nnil\nA\nB\nC\n", QString()});
    QSignalSpy done(w->core()->FreedbLookup(), &TFreedbLookup::finished);
    child<QPushButton>(w.get(), "btnFreeDB")->click();
    QVERIFY(asked.tryAcquire(1, 5000));

    // The form is up, painted and centred, and the window takes no input.
    auto form = w->findChild<Tfrmtip *>();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QVERIFY(form->isWindow());
    QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form->size(), QSize(243, 45));
    QCOMPARE(form->frameGeometry().center(), w->frameGeometry().center());
    auto text = child<QLabel>(form, "Label1");
    QCOMPARE(text->text(), "Get Freedb info. Please wait... ...");
    QVERIFY(text->font().bold());
    QVERIFY2(text->geometry().right() < form->width()
                 && text->fontMetrics().horizontalAdvance(text->text()) <= text->width(),
             "the whole text is seen");
    QCOMPARE(child<QLabel>(form, "Image1")->size(), QSize(18, 18));
    QVERIFY(!child<QLabel>(form, "Image1")->pixmap().isNull());
    QVERIFY(form->isEnabled());
    QVERIFY(!w->isEnabled());
    // It keeps painting while the lookup waits.
    form->update();
    QVERIFY(QTest::qWaitFor([&] { return form->isVisible(); }, 50));
    // A second press, and a disc leaving, wait for the reply.
    w->findChild<QAction *>("ActFreeDB")->trigger();
    w->WMDeviceChange(0x8004);
    QCOMPARE(w->core()->disc()->rowCount(), 3);

    release.release();
    QVERIFY(done.wait(5000));
    QCOMPARE(done.size(), 1);
    QVERIFY(!w->findChild<Tfrmtip *>());
    QVERIFY(w->isEnabled());
    // The held removal came after the reply: the disc and its fields are gone.
    QCOMPARE(w->core()->disc()->rowCount(), 0);
    QCOMPARE(child<QLineEdit>(w.get(), "edtAlbum")->text(), QString());
}

void tst_FreedbWindow::windowGoesDuringLookup()
{
    auto w = makeWindow();
    QSemaphore asked, release;
    bool ended = false;
    w->core()->FreedbLookup()->setSource([&](const QString &, int) {
        asked.release();
        release.acquire();
        ended = true;
        return FreedbReply{false, QString(), QStringLiteral("No entry for this disc")};
    });
    w->findChild<QAction *>("ActFreeDB")->trigger();
    QVERIFY(asked.tryAcquire(1, 5000));
    std::thread late([&] {
        QThread::msleep(200);
        release.release();
    });
    // The window waits for its worker rather than leave it a dangling source.
    w.reset();
    late.join();
    QVERIFY(ended);
}

void tst_FreedbWindow::closeDuringLookupClosesAfterIt()
{
    auto w = makeWindow();
    QSemaphore asked, release;
    answerWhenReleased(w.get(), asked, release, {false, QString(), "No entry for this disc"});
    w->findChild<QAction *>("ActFreeDB")->trigger();
    QVERIFY(asked.tryAcquire(1, 5000));
    QVERIFY2(!w->close(), "the window stays while its lookup runs");
    QVERIFY(w->isVisible());
    release.release();
    QTRY_VERIFY(!w->isVisible());
    QCOMPARE(child<QLabel>(w.get(), "spTips")->text(), "No entry for this disc");
}

void tst_FreedbWindow::longMessageIsReadableWhole()
{
    const QString message = "Disc database not reachable: CDDB: Failed to connect to "
                            "freedb.example.org port 8880 after 1000 ms: Connection refused; "
                            "MusicBrainz: Could not resolve host: musicbrainz.example.org <x>";
    auto w = makeWindow();
    w->core()->FreedbLookup()->setSource([&](const QString &, int) {
        return FreedbReply{false, QString(), message};
    });
    auto pane = child<TipPane>(w.get(), "spTips");
    QVERIFY(pane->fontMetrics().horizontalAdvance(message) > pane->width());
    QVERIFY(lookUp(w.get()));
    QCOMPARE(pane->text(), message);
    QCOMPARE(QTextDocumentFragment::fromHtml(pane->toolTip()).toPlainText(), message);
    // A later message takes the pane; the history keeps both, in order.
    w->findChild<QAction *>("ActSelnone")->trigger();
    QCOMPARE(pane->text(), "0 Tracks Selected");
    const QStringList last = pane->history().mid(pane->history().size() - 2);
    QCOMPARE(last.size(), 2);
    QVERIFY2(last.at(0).endsWith("  " + message), qPrintable(last.at(0)));
    QVERIFY2(last.at(1).endsWith("  0 Tracks Selected"), qPrintable(last.at(1)));
    QDialog *history = pane->showHistory();
    QCOMPARE(history->objectName(), "frmTipHistory");
    const QString shown = child<QPlainTextEdit>(history, "memoTipHistory")->toPlainText();
    QCOMPARE(shown, pane->history().join('\n'));
    history->close();
}

void tst_FreedbWindow::throughTheLibrary()
{
    // What the window shows of no entry or an unreachable server is
    // answerSpread's, what the library answers for them tst_disclookup's.
    const QByteArray query = "200 rock 1a2b3c4d The Sockets / Loopback\r\n";
    const QByteArray read
        = "210 rock 1a2b3c4d CD database entry follows (until terminating `.')\r\n"
          "DTITLE=The Sockets / Loopback\r\nDYEAR=1999\r\n"
          "TTITLE0=Listen\r\nTTITLE1=Accept: Now\r\nTTITLE2=Close\r\n.\r\n";
    const QStringList names{"/music/The Sockets/Loopback/01. Listen.ogg",
                            "/music/The Sockets/Loopback/02. Accept  Now.ogg",
                            "/music/The Sockets/Loopback/03. Close.ogg"};

    LoopbackHttpServer server;
    server.route("cmd=cddb+query", LoopbackHttpServer::text(200, query));
    server.route("cmd=cddb+read+rock+1a2b3c4d", LoopbackHttpServer::text(200, read));
    QFile settings(m_settingsFolder + "disclookup.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[CDDB]\nServer=" + server.url("/~cddb/cddb.cgi").toUtf8()
                   + "\nHello=tester example.org\n[MusicBrainz]\nServer=\n"
                     "[Network]\nConnectTimeout=1000\nTimeout=2000\n");
    settings.close();
    QFile::remove(m_settingsFolder + "CDLibrary.db");

    auto w = makeWindow();
    QVERIFY(lookUp(w.get()));
    QCOMPARE(fields(w.get()), QStringList({"Loopback", "The Sockets", "17 - Rock", "1999"}));
    QCOMPARE(child<QLabel>(w.get(), "spTips")->text(), "3 Tracks Selected");
    QVERIFY(!server.requests().isEmpty());

    // A following rip names its files from what the lookup filled in.
    child<QLineEdit>(w.get(), "edtDestFolder")->setText("/music");
    child<QComboBox>(w.get(), "cmbRename")->setCurrentIndex(4);
    child<QComboBox>(w.get(), "cmbOutformat")->setCurrentIndex(2);
    QStringList list;
    w->BuildOutputFileList(list);
    QCOMPARE(list, names);
    const DiscModel *disc = w->core()->disc();
    QCOMPARE(w->BuildOutputFileName("<album> - <title>.flac",
                                    disc->track(2).artist,
                                    "03",
                                    disc->track(2).title),
             QStringLiteral("/music/Loopback - Close.flac"));
}

namespace {

// Once the chooser is up: its current row, then its rows as shown, into
// `shown`; then `keys` go to it. Polls without a loop of its own, since the
// chooser runs its own.
void answerChooser(QList<QStringList> &shown,
                   const QList<int> &keys,
                   const std::function<void()> &meanwhile = {})
{
    shown.clear();
    auto poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &shown, keys, meanwhile] {
        auto chooser = qobject_cast<TfrmCandidates *>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        poll->deleteLater();
        poll->stop();
        const QTableWidget *grid = chooser->grdCandidates;
        shown << QStringList{QString::number(grid->currentRow())};
        for (int r = 0; r < grid->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid->columnCount(); ++c)
                cells << grid->item(r, c)->text();
            shown << cells;
        }
        if (meanwhile)
            meanwhile();
        for (const int key : keys)
            QTest::keyClick(chooser->grdCandidates, Qt::Key(key));
    });
    poll->start();
}

} // namespace

void tst_FreedbWindow::chooseAmongSeveral()
{
    DiscLookup::DiscToc toc;
    toc.tracks = {{1, 150, false}, {2, 450, false}, {3, 850, false}};
    toc.leadOutFrame = 1350;
    const QByteArray discId = QByteArray::fromStdString(
        DiscLookup::musicBrainzId(DiscLookup::audioSession(toc)));
    const QByteArray credit = R"([{"name":"Various Artists","artist":{"id":"va"}}])";
    const auto track = [](int n, const char *title, const char *artist) {
        return QByteArray(R"({"id":"rt-)") + QByteArray::number(n) + R"(","position":)"
               + QByteArray::number(n) + R"(,"title":")" + title + R"(","artist-credit":[{"name":")"
               + artist + R"("}],"recording":{"id":"rec-)" + QByteArray::number(n) + R"("}})";
    };
    const QByteArray tracks = "[" + track(1, "Listen", "Anna") + "," + track(2, "Accept", "Bo")
                              + "," + track(3, "Close", "Anna") + "]";
    const QByteArray releases
        = R"({"releases":[{"id":"rel-box","title":"Loopback Box","date":"1999-09-09",)"
          R"("country":"GB","barcode":"727361379704","label-info":[{"catalog-number":"ORN 001",)"
          R"("label":{"name":"Ørn Records"}}],"artist-credit":)"
          + credit
          + R"(,"media":[{"position":1,"format":"CD","tracks":[]},{"position":2,"format":"CD",)"
            R"("discs":[{"id":")"
          + discId + R"("}],"tracks":)" + tracks
          + R"(},{"position":3,"format":"CD","tracks":[]}]},)"
            R"({"id":"rel-re","title":"Loopback","date":"2009","country":"DE","artist-credit":)"
          + credit + R"(,"media":[{"position":1,"format":"CD","discs":[{"id":")" + discId
          + R"("}],"tracks":)" + tracks + "}]}]}";
    LoopbackHttpServer server;
    server.route("/ws/2/discid/", LoopbackHttpServer::text(200, releases));
    QFile settings(m_settingsFolder + "disclookup.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[CDDB]\nServer=\n[MusicBrainz]\nServer=" + server.url("/ws/2").toUtf8()
                   + "\n[Network]\nConnectTimeout=1000\nTimeout=2000\n");
    settings.close();
    QFile::remove(m_settingsFolder + "CDLibrary.db");

    auto w = makeWindow();
    fillBefore(w.get());
    const QStringList before = fields(w.get());
    QList<QStringList> shown;
    // Escape leaves every field as it was.
    answerChooser(shown, {Qt::Key_Escape});
    QVERIFY(lookUp(w.get()));
    QCOMPARE(shown.value(0), QStringList{"0"});
    QCOMPARE(shown.value(1),
             QStringList({"MusicBrainz",
                          "Various Artists",
                          "Loopback Box",
                          "1999-09-09",
                          "GB",
                          "Ørn Records",
                          "ORN 001",
                          "727361379704",
                          "CD",
                          "2/3",
                          "3"}));
    QCOMPARE(shown.value(2).mid(0, 5),
             QStringList({"MusicBrainz", "Various Artists", "Loopback", "2009", "DE"}));
    QCOMPARE(fields(w.get()), before);
    QCOMPARE(column(w.get(), DiscModel::TitleColumn), QStringList({"t1", "t2", "t3"}));

    // Enter takes the preselected box set's disc 2, by several artists.
    answerChooser(shown, {Qt::Key_Return});
    QVERIFY(lookUp(w.get()));
    QCOMPARE(fields(w.get()),
             QStringList({"Loopback Box", "Various Artists", before.at(2), "1999"}));
    QCOMPARE(column(w.get(), DiscModel::ArtistColumn), QStringList({"Anna", "Bo", "Anna"}));
    QCOMPARE(column(w.get(), DiscModel::TitleColumn), QStringList({"Listen", "Accept", "Close"}));
    QCOMPARE(child<QLineEdit>(w.get(), "edtDiscNumber")->text(), "2");
    QCOMPARE(child<QLineEdit>(w.get(), "edtDiscTotal")->text(), "3");
    const DiscModel *disc = w->core()->disc();
    child<QLineEdit>(w.get(), "edtDestFolder")->setText("/music");
    QCOMPARE(w->BuildOutputFileName("<albumartist>\\<album>\\Disc <disc> of <disctotal>\\"
                                    "<number> <artist> - <title>.flac",
                                    disc->track(1).artist,
                                    "02",
                                    disc->track(1).title),
             "/music/Various Artists/Loopback Box/Disc 2 of 3/02 Bo - Accept.flac");
    const AudioConvertLib::TReleaseTags tags = disc->releaseTagsOf(1);
    QCOMPARE(tags.albumArtist, "Various Artists");
    QCOMPARE(tags.releaseId, "rel-box");
    QCOMPARE(tags.recordingId, "rec-2");
    QCOMPARE(tags.discId, QString::fromLatin1(discId));
    QCOMPARE(tags.label, "Ørn Records");

    // The reissue, chosen, comes first next time, from the disc library.
    answerChooser(shown, {Qt::Key_Down, Qt::Key_Return});
    QVERIFY(lookUp(w.get()));
    QCOMPARE(fields(w.get()).at(0), "Loopback");
    const int asked = int(server.requests().size());
    answerChooser(shown, {Qt::Key_Escape});
    QVERIFY(lookUp(w.get()));
    QCOMPARE(shown.value(1).value(2), "Loopback");
    QCOMPARE(shown.value(2).value(2), "Loopback Box");
    QCOMPARE(int(server.requests().size()), asked);

    // The disc goes while the chooser is up: what is taken fills nothing.
    answerChooser(shown, {Qt::Key_Return}, [&w] { w->core()->DiscRemoved(); });
    QVERIFY(lookUp(w.get()));
    QCOMPARE(w->core()->disc()->rowCount(), 0);
    QCOMPARE(fields(w.get()), QStringList({"", "", "", ""}));
    QCOMPARE(child<QLineEdit>(w.get(), "edtDiscNumber")->text(), "");
}

void tst_FreedbWindow::unknownDiscOffersSubmission()
{
    LoopbackHttpServer server;
    server.route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match for disc ID\r\n"));
    QFile settings(m_settingsFolder + "disclookup.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly));
    // MusicBrainz answers 404 for a disc id it does not know: no route does the same.
    settings.write("[CDDB]\nServer=" + server.url("/~cddb/cddb.cgi").toUtf8()
                   + "\n[MusicBrainz]\nServer=" + server.url("/ws/2").toUtf8()
                   + "\n[Network]\nConnectTimeout=1000\nTimeout=2000\n");
    settings.close();
    QFile::remove(m_settingsFolder + "CDLibrary.db");

    auto w = makeWindow();
    auto link = child<QLabel>(w.get(), "lblSubmitDisc");
    QVERIFY(!link->isVisible());
    QVERIFY(lookUp(w.get()));
    QCOMPARE(child<QLabel>(w.get(), "spTips")->text(), "No entry for this disc");
    QVERIFY(link->isVisible());
    QVERIFY(link->openExternalLinks());
    const QString text = link->text();
    QVERIFY2(text.contains(">Submit this disc to MusicBrainz</a>"), qPrintable(text));
    // libdiscid's address for the disc's table of contents: 3 tracks, lead-out 1350.
    QVERIFY2(text.contains("musicbrainz.org/cdtoc/attach?id=") && text.contains("tracks=3")
                 && text.contains("toc=1+3+1350+150+450+850"),
             qPrintable(text));
    // Once a database knows the disc, it is gone.
    server.reset();
    server.route("cmd=cddb+query",
                 LoopbackHttpServer::text(200, "200 rock 1a2b3c4d The Sockets / Loopback\r\n"));
    server.route("cmd=cddb+read",
                 LoopbackHttpServer::text(200,
                                          "210 rock 1a2b3c4d CD database entry follows\r\n"
                                          "DTITLE=The Sockets / Loopback\r\nTTITLE0=a\r\n"
                                          "TTITLE1=b\r\nTTITLE2=c\r\n.\r\n"));
    QVERIFY(lookUp(w.get()));
    QCOMPARE(fields(w.get()).at(0), "Loopback");
    QVERIFY(!link->isVisible());
}

QTEST_MAIN(tst_FreedbWindow)
#include "tst_freedbwindow.moc"

#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tests/support/memoryinput.h"
#include "tests/support/memoryoutput.h"
#include "tests/support/pcmsignals.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

// A writer's events, raised on its worker thread, reach the thread of the
// adapter in the order they were raised.
class tst_WriterEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void inOrderOnTheWindowThread_data();
    void inOrderOnTheWindowThread();
    void goesWithItsWriter();

private:
    QTemporaryDir m_dir;
};

namespace {

enum class Writer { Wave, Memory };
enum class Failure { None, Read, Start };

// What arrived, in arrival order, and on which thread.
struct Arrival
{
    QString kind; // "progress", "done" or "error"
    int percent = 0;
    QString message;
    QThread *thread = nullptr;
};

} // namespace

void tst_WriterEvents::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_WriterEvents::inOrderOnTheWindowThread_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("WAV writer to the end") << Writer::Wave << Failure::None << QString();
    QTest::newRow("read fails midway") << Writer::Memory << Failure::Read << "read failed";
    QTest::newRow("start fails") << Writer::Memory << Failure::Start << "cannot open";
}

void tst_WriterEvents::inOrderOnTheWindowThread()
{
    QFETCH(Writer, writer);
    QFETCH(Failure, failure);
    QFETCH(QString, message);

    // Reads of one second at a time give the progress many steps.
    TMemoryInput input(TestSupport::tones(10 * 44100, 2));
    input.setMaxRead(44100 * 4);
    if (failure == Failure::Read)
        input.setFailAfter(5 * 44100 * 4);
    std::unique_ptr<TPcmFileOut> output;
    if (writer == Writer::Wave) {
        output = std::make_unique<TWaveOut>();
        output->SetFileName(m_dir.filePath(QStringLiteral("events.wav")));
    } else {
        auto memory = std::make_unique<TMemoryOutput>();
        memory->setChunkSize(44100 * 4);
        if (failure == Failure::Start)
            memory->setPrepareFailure(message);
        output = std::move(memory);
    }
    output->SetInput(&input);

    auto events = new WriterEvents(*output);
    QList<Arrival> arrivals;
    auto record = [&arrivals](const QString &kind, int percent, const QString &text) {
        arrivals << Arrival{kind, percent, text, QThread::currentThread()};
    };
    // Direct connections: each handler runs on the thread that emits.
    connect(
        events,
        &WriterEvents::progress,
        this,
        [&](int percent) { record("progress", percent, {}); },
        Qt::DirectConnection);
    connect(
        events, &WriterEvents::done, this, [&] { record("done", 0, {}); }, Qt::DirectConnection);
    connect(
        events,
        &WriterEvents::threadException,
        this,
        [&](const QString &text) { record("error", 0, text); },
        Qt::DirectConnection);

    output->StartOutput();
    // Queued, even for a failure raised inside StartOutput on this thread.
    QVERIFY(arrivals.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!arrivals.isEmpty()
                                 && (arrivals.last().kind == "done"
                                     || arrivals.last().kind == "error"),
                             60000);
    QTest::qWait(50); // nothing may follow the end
    QVERIFY(arrivals.size() >= 1);

    int previous = -1;
    for (int i = 0; i < arrivals.size(); ++i) {
        const Arrival &a = arrivals.at(i);
        QCOMPARE(a.thread, QThread::currentThread());
        if (i + 1 < arrivals.size()) {
            QCOMPARE(a.kind, "progress");
            QVERIFY2(a.percent > previous, qPrintable(QString::number(a.percent)));
            previous = a.percent;
        }
    }
    const Arrival &last = arrivals.last();
    if (failure == Failure::None) {
        QCOMPARE(last.kind, "done");
        QCOMPARE(previous, 100);
        QVERIFY(arrivals.size() > 5);
    } else {
        QCOMPARE(last.kind, "error");
        QCOMPARE(last.message, message);
        QVERIFY(previous < 100);
        QCOMPARE(failure == Failure::Start, arrivals.size() == 1);
    }
}

void tst_WriterEvents::goesWithItsWriter()
{
    auto output = std::make_unique<TMemoryOutput>();
    QPointer<WriterEvents> events = new WriterEvents(*output);
    QCOMPARE(events->objectName(), "MemoryOutEvents");
    QCOMPARE(events->parent(), output.get());
    output.reset();
    QVERIFY(events.isNull());
}

QTEST_GUILESS_MAIN(tst_WriterEvents)
#include "tst_writerevents.moc"

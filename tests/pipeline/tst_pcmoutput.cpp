#include "pipeline/pcmexception.h"
#include "tests/support/memoryinput.h"
#include "tests/support/memoryoutput.h"

#include <QCoreApplication>
#include <QTest>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

// What the three events of one output reported, from whichever thread.
struct EventLog
{
    std::atomic<int> done{0};
    std::atomic<int> errors{0};
    mutable std::mutex mutex;
    QStringList messages;
    std::vector<int32_t> progress;

    void attach(TPcmOutput &output)
    {
        output.OnDone = [this](TPcmOutput *) { ++done; };
        output.OnThreadException = [this](TPcmOutput *, const std::exception &e) {
            std::lock_guard<std::mutex> lock(mutex);
            messages << QString::fromUtf8(e.what());
            ++errors;
        };
        output.OnProgress = [this](TPcmOutput *sender) {
            std::lock_guard<std::mutex> lock(mutex);
            progress.push_back(sender->LastProgress());
        };
    }
    std::vector<int32_t> progressSeen() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return progress;
    }
    QStringList messagesSeen() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }
};

// A source, an output reading it and the record of the output's events;
// destroyed output first.
struct Rig
{
    explicit Rig(QByteArray data)
        : input(std::move(data))
    {
        log.attach(output);
        output.SetInput(&input);
    }
    TMemoryInput input;
    EventLog log;
    TMemoryOutput output;
};

// Sets SuspendWhenIdle from the worker itself, inside a step, when asked:
// the worker checks the flag right after that step, so the test knows the
// last step it may make, however slowly the machine runs.
class SuspendingOutput : public TMemoryOutput
{
public:
    std::atomic<bool> suspendInNextStep{false};
    std::atomic<int> suspendedInStep{-1};

protected:
    bool WriteStep(bool abort) override
    {
        const bool result = TMemoryOutput::WriteStep(abort);
        if (suspendInNextStep.exchange(false)) {
            SetSuspendWhenIdle(true);
            suspendedInStep = stepCalls.load();
        }
        return result;
    }
};

QString startError(TPcmOutput &output)
{
    try {
        output.StartOutput();
    } catch (const EPcmException &e) {
        return e.message();
    }
    return {};
}

} // namespace

class tst_PcmOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startWhileBusy();
    void startWithoutInput();
    void prepareFailure();
    void stepFailure();
    void requestStop();
    void progressOnlyOnChange();
    void progressPercent_data();
    void progressPercent();
    void fileModeStaysRewrite();
    void freedInputClearsSinks();
    void freedInputDuringRun();
    void restartFromDoneHandler();
    void errorUnlocksConverterChain();
    void destroyWhileHandlerWaitsForGui();
    void idleWorkerSleeps();
};

void tst_PcmOutput::startWhileBusy()
{
    Rig rig(pattern(50000));
    auto &[input, log, output] = rig;
    input.hold();
    output.StartOutput();
    QTRY_VERIFY(input.readParked());

    QCOMPARE(startError(output), QStringLiteral("Component is buisy"));
    QCOMPARE(output.prepareCalls.load(), 1);
    QVERIFY(output.IsBusy());

    input.release();
    QTRY_COMPARE(log.done.load(), 1);
    QCOMPARE(log.errors.load(), 0);
    QCOMPARE(output.data(), pattern(50000));
}

void tst_PcmOutput::startWithoutInput()
{
    EventLog log; // outlives the output whose events it records
    TMemoryOutput output;
    log.attach(output);
    QCOMPARE(startError(output), QStringLiteral("Input is not assigned"));
    QCOMPARE(output.prepareCalls.load(), 0);
    QCOMPARE(log.errors.load(), 0);
}

void tst_PcmOutput::prepareFailure()
{
    Rig rig(pattern(10000));
    auto &[input, log, output] = rig;
    output.setPrepareFailure(QStringLiteral("File name is not assigned."));

    QCOMPARE(startError(output), QString()); // reported as an event, never thrown
    QCOMPARE(log.errors.load(), 1);
    QCOMPARE(log.messagesSeen(), QStringList{QStringLiteral("File name is not assigned.")});
    QVERIFY(!output.IsBusy());
    QCOMPARE(output.finishCalls.load(), 0); // never busy, so nothing to finish
    QTest::qWait(50);
    QCOMPARE(log.done.load(), 0);
    QCOMPARE(log.errors.load(), 1);

    output.setPrepareFailure({});
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 1);
    QCOMPARE(output.data(), pattern(10000));
}

void tst_PcmOutput::stepFailure()
{
    Rig rig(pattern(40000));
    auto &[input, log, output] = rig;
    output.setFailAtStep(2);
    output.StartOutput();
    QTRY_COMPARE(log.errors.load(), 1);
    QCOMPARE(log.messagesSeen(), QStringList{QStringLiteral("step failed")});
    QCOMPARE(output.finishCalls.load(), 1);
    QCOMPARE(input.endCalls.load(), 1);
    QVERIFY(!input.IsBusy());
    QVERIFY(!output.IsBusy());
    QCOMPARE(log.done.load(), 0);

    output.setFailAtStep(-1);
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 1);
    QCOMPARE(output.data(), pattern(40000));
}

void tst_PcmOutput::requestStop()
{
    Rig rig(pattern(100000));
    auto &[input, log, output] = rig;
    input.hold();
    output.StartOutput();
    QTRY_VERIFY(input.readParked());
    output.RequestStop();
    input.release();

    QTRY_COMPARE(log.done.load(), 1);
    QCOMPARE(log.errors.load(), 0);
    QCOMPARE(output.finishCalls.load(), 1);
    QVERIFY(output.data().size() < 100000);
    QVERIFY(!output.IsBusy());

    // The stop request does not outlive its run.
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 2);
    QCOMPARE(output.data(), pattern(100000));
}

void tst_PcmOutput::progressOnlyOnChange()
{
    Rig rig(pattern(200));
    auto &[input, log, output] = rig;
    output.setChunkSize(1);

    std::vector<int32_t> expected;
    for (int i = 1; i <= 100; ++i)
        expected.push_back(i);
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 1);
    // 0 % equals the LastProgress of a new output, so the first event is 1 %.
    QCOMPARE(log.progressSeen(), expected);
    QCOMPARE(output.LastProgress(), 100);

    // LastProgress survives the run: the next run starts with an event for 0 %.
    expected.insert(expected.begin() + 100, 0);
    for (int i = 1; i <= 100; ++i)
        expected.push_back(i);
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 2);
    QCOMPARE(log.progressSeen(), expected);
}

void tst_PcmOutput::progressPercent_data()
{
    QTest::addColumn<bool>("withInput");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("percent");

    QTest::newRow("no input") << false << 0 << 0 << 0;
    QTest::newRow("unknown size") << true << 5000 << -1 << -1;
    QTest::newRow("size 0") << true << 0 << 0 << 0;
    QTest::newRow("start") << true << 0 << 1000 << 0;
    QTest::newRow("half percent ties down to 0") << true << 1 << 200 << 0;
    QTest::newRow("1.5 ties up to 2") << true << 3 << 200 << 2;
    QTest::newRow("2.5 ties down to 2") << true << 5 << 200 << 2;
    QTest::newRow("one third") << true << 1 << 3 << 33;
    QTest::newRow("two thirds") << true << 2 << 3 << 67;
    QTest::newRow("99.5 ties up to 100") << true << 199 << 200 << 100;
    QTest::newRow("end") << true << 176400 << 176400 << 100;
    QTest::newRow("large sizes") << true << 700000000 << 800000000 << 88;
}

void tst_PcmOutput::progressPercent()
{
    QFETCH(bool, withInput);
    QFETCH(int, position);
    QFETCH(int, size);
    QFETCH(int, percent);

    TMemoryInput input;
    input.setCounters(position, size);
    TMemoryOutput output;
    if (withInput)
        output.SetInput(&input);
    QCOMPARE(output.ProgressPercent(), percent);
}

void tst_PcmOutput::fileModeStaysRewrite()
{
    TMemoryOutput output;
    output.SetFileMode(foAppend);
    QCOMPARE(output.FileMode(), foRewrite);
}

void tst_PcmOutput::freedInputClearsSinks()
{
    auto input = std::make_unique<TMemoryInput>(pattern(100));
    TMemoryOutput first;
    TMemoryOutput second;
    TMemoryOutput other;
    TMemoryInput otherInput;
    first.SetInput(input.get());
    second.SetInput(input.get());
    other.SetInput(&otherInput);
    // A sink that moved on to another source is no longer told about the first.
    TMemoryOutput moved;
    moved.SetInput(input.get());
    moved.SetInput(&otherInput);

    input.reset();
    QCOMPARE(first.Input(), nullptr);
    QCOMPARE(second.Input(), nullptr);
    QCOMPARE(other.Input(), &otherInput);
    QCOMPARE(moved.Input(), &otherInput);
    QCOMPARE(startError(first), QStringLiteral("Input is not assigned"));

    // And a sink freed before its source leaves nothing dangling behind.
    auto source = std::make_unique<TMemoryInput>();
    {
        TMemoryOutput shortLived;
        shortLived.SetInput(source.get());
    }
    source.reset();
}

void tst_PcmOutput::freedInputDuringRun()
{
    auto input = std::make_unique<TMemoryInput>(pattern(1000));
    EventLog log; // outlives the output whose events it records
    TMemoryOutput output;
    log.attach(output);
    output.SetInput(input.get());
    input->setEndless(true); // so only the source's going away can end the run
    input->hold();
    output.StartOutput();
    QTRY_VERIFY(input->readParked());
    input.reset(); // lets the parked read finish, then detaches the sink
    QCOMPARE(output.Input(), nullptr);
    QTRY_COMPARE(log.errors.load(), 1);
    QCOMPARE(log.messagesSeen(), QStringList{QStringLiteral("Input is not assigned")});
    QCOMPARE(log.done.load(), 0);
    QVERIFY(!output.IsBusy());
}

void tst_PcmOutput::restartFromDoneHandler()
{
    // A new run started just as the worker goes idle must not be lost to the
    // worker's self-suspension.
    TMemoryInput input(pattern(3000));
    TMemoryOutput output;
    std::atomic<int> done{0};
    output.OnDone = [&done](TPcmOutput *sender) {
        if (++done < 20)
            sender->StartOutput();
    };
    output.SetInput(&input);
    output.StartOutput();
    QTRY_COMPARE_WITH_TIMEOUT(done.load(), 20, 10000);
    QCOMPARE(output.data(), pattern(3000));
}

namespace {

// Passes its source through; enough to build a chain of converters.
class TPassConverter : public TPcmConverter
{
public:
    int32_t GetBitsPerSample() override { return 16; }
    int32_t GetChannels() override { return 2; }
    int32_t GetSampleRate() override { return 44100; }
    int32_t ReadData(void *buffer, int32_t size) override { return readInput(buffer, size); }
    void BeginRead() override
    {
        m_isBusy = true;
        m_size = -1;
        if (Input())
            Input()->BeginRead();
    }
    void EndRead() override
    {
        if (Input())
            Input()->EndRead();
        m_isBusy = false;
    }
};

} // namespace

void tst_PcmOutput::errorUnlocksConverterChain()
{
    TMemoryInput input(pattern(20000));
    TPassConverter lower;
    TPassConverter upper;
    lower.SetInput(&input);
    upper.SetInput(&upper); // a converter never reads itself
    QCOMPARE(upper.Input(), nullptr);
    upper.SetInput(&lower);

    EventLog log; // outlives the output whose events it records
    TMemoryOutput output;
    log.attach(output);
    output.SetInput(&upper);
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 1);
    QCOMPARE(output.data(), pattern(20000));

    // Guards left taken by a failed read are cleared down the whole chain.
    upper.InputGuard().acquire();
    lower.InputGuard().acquire();
    output.setFailAtStep(0);
    output.StartOutput();
    QTRY_COMPARE(log.errors.load(), 1);
    QVERIFY(!lower.InputGuard().isHeld());
    QVERIFY(!upper.InputGuard().isHeld());
}

void tst_PcmOutput::destroyWhileHandlerWaitsForGui()
{
    TMemoryInput input(pattern(5000));
    auto output = std::make_unique<TMemoryOutput>();
    std::atomic<bool> inHandler{false};
    std::atomic<bool> guiCallRan{false};
    output->OnDone = [&](TPcmOutput *) {
        inHandler = true;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { guiCallRan = true; }, Qt::BlockingQueuedConnection);
    };
    output->SetInput(&input);
    output->StartOutput();
    // Wait without serving events, so the handler is stuck when destruction begins.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!inHandler && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QVERIFY(inHandler);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QVERIFY(!guiCallRan);

    output.reset(); // returns only because the queued call is served meanwhile
    QVERIFY(guiCallRan);
}

void tst_PcmOutput::idleWorkerSleeps()
{
    // No step counts against the clock: on a loaded machine (ctest -j8) a
    // worker may wait long for its turn. Each check knows the last step the
    // worker may make; a worker that does not sleep steps on and shows.
    TMemoryInput input(pattern(10000));
    EventLog log;
    SuspendingOutput output;
    log.attach(output);
    output.SetInput(&input);
    QTest::qWait(50);
    QCOMPARE(output.stepCalls.load(), 0); // created suspended

    // The step that ends the run comes before OnDone, and none after it.
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 1);
    const int afterRun = output.stepCalls.load();
    QTest::qWait(200);
    QCOMPARE(output.stepCalls.load(), afterRun);
    QCOMPARE(output.OutputState(), osIdle);

    // Without SuspendWhenIdle the worker keeps stepping while idle...
    output.SetSuspendWhenIdle(false);
    output.StartOutput();
    QTRY_COMPARE_WITH_TIMEOUT(log.done.load(), 2, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(output.stepCalls.load() > afterRun + 1000, 30000);
    // ...and goes back to sleep right after the step that sets it again.
    output.suspendInNextStep = true;
    QTRY_VERIFY_WITH_TIMEOUT(output.suspendedInStep.load() > 0, 30000);
    QTest::qWait(200);
    QCOMPARE(output.stepCalls.load(), output.suspendedInStep.load());

    // Still wakes for the next run.
    output.StartOutput();
    QTRY_COMPARE(log.done.load(), 3);
    QCOMPARE(output.data(), pattern(10000));
}

QTEST_GUILESS_MAIN(tst_PcmOutput)
#include "tst_pcmoutput.moc"

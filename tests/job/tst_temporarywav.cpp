#include "job/temporarywav.h"
#include "pipeline/pcmexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// The temporary WAV of a converted track: made in the temporary folder and
// gone whenever its owner is done with it.
class tst_TemporaryWav : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void removedWhenDone();
    void folderThatCannotTakeIt();

private:
    QStringList leftOver() const;
    QTemporaryDir m_tmp;
};

void tst_TemporaryWav::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    QCOMPARE(QDir(QDir::tempPath()).canonicalPath(), QDir(m_tmp.path()).canonicalPath());
}

QStringList tst_TemporaryWav::leftOver() const
{
    return QDir(m_tmp.path()).entryList(QDir::Files);
}

void tst_TemporaryWav::removedWhenDone()
{
    QString first;
    {
        TemporaryWavFile wav;
        QCOMPARE(wav.path(), QString());
        wav.create();
        first = wav.path();
        QVERIFY2(QRegularExpression("^tem\\w+\\.wav$").match(QFileInfo(first).fileName()).hasMatch(),
                 qPrintable(first));
        QCOMPARE(QFileInfo(first).size(), 0);
        QCOMPARE(leftOver(), QStringList{QFileInfo(first).fileName()});

        // Removed, the path stays: a writer still finishing into it is
        // cleaned up after by removing again.
        wav.remove();
        QVERIFY(!QFile::exists(first));
        QCOMPARE(wav.path(), first);
        QFile late(first);
        QVERIFY(late.open(QIODevice::WriteOnly));
        late.close();
        wav.remove();
        QVERIFY(!QFile::exists(first));

        // The next track's file replaces the last one's.
        wav.create();
        const QString second = wav.path();
        QVERIFY(second != first);
        wav.create();
        QVERIFY(!QFile::exists(second));
        QCOMPARE(leftOver().size(), 1);

        wav.clear();
        QCOMPARE(wav.path(), QString());
        QCOMPARE(leftOver(), QStringList());
        wav.create();
    }
    // The owner going takes its file along.
    QCOMPARE(leftOver(), QStringList());
}

void tst_TemporaryWav::folderThatCannotTakeIt()
{
    // A file where the folder should be stops even root.
    const QString notAFolder = m_tmp.filePath("not a folder");
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("TMPDIR", QFile::encodeName(notAFolder));
    TemporaryWavFile wav;
    try {
        wav.create();
        QFAIL("no error");
    } catch (const EPcmException &e) {
        const QString expected = "Cannot create a temporary file in "
                                 + QFileInfo(notAFolder).canonicalFilePath() + ": ";
        QVERIFY2(QString(e.what()).startsWith(expected), e.what());
    }
    QCOMPARE(wav.path(), QString());
    qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    QFile::remove(notAFolder);
}

QTEST_GUILESS_MAIN(tst_TemporaryWav)
#include "tst_temporarywav.moc"

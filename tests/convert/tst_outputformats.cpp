#include "convert/outputformats.h"

#include "convert/audioconvertclient.h"

#include <QtTest>

using namespace OutputFormats;

class tst_OutputFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formats_data();
    void formats();
    void noFormat();
};

void tst_OutputFormats::formats_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("writer"); // Writer::None: converted from a temporary WAV
    QTest::newRow("mp3") << 0 << "Mp3 (Mpeg Layer-3)"
                         << ".mp3" << int(Writer::None);
    QTest::newRow("wma") << 1 << "WMA (Windows Media Audio 9)"
                         << ".wma" << int(Writer::None);
    QTest::newRow("ogg") << 2 << "Ogg (Ogg Vorbis 1.1)"
                         << ".ogg" << int(Writer::None);
    QTest::newRow("wav") << 3 << "Wav(Standard)"
                         << ".wav" << int(Writer::None);
    QTest::newRow("adpcm") << 4 << "WAV (ADPCM) "
                           << ".wav" << int(Writer::None);
    QTest::newRow("flac") << 5 << "FLAC(Free Lossless Audio Codec)"
                          << ".flac" << int(Writer::Flac);
    QTest::newRow("ape") << 6 << "APE(Monkey's Audio)"
                         << ".ape" << int(Writer::Ape);
    QTest::newRow("opus") << 7 << "Opus (Ogg Opus)"
                          << ".opus" << int(Writer::None);
}

void tst_OutputFormats::formats()
{
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(QString, extension);
    QFETCH(int, writer);
    // The captions are the format list, in index order.
    QCOMPARE(captions().value(index), caption);
    QCOMPARE(captions().size(), Count);
    const Format *format = find(index);
    QVERIFY(format);
    QCOMPARE(int(format->index), index);
    QCOMPARE(QString::fromLatin1(format->caption), caption);
    QCOMPARE(extensionOf(index), extension);
    QCOMPARE(int(format->writer), writer);
    const bool converted = Writer(writer) == Writer::None;
    QCOMPARE(format->route == Route::Converter, converted);
    QCOMPARE(isConverted(index), converted);
    // The job converts through the component's operation for the format.
    QCOMPARE(ConvertOperationOf(index) != nullptr, converted);
}

void tst_OutputFormats::noFormat()
{
    for (int index : {-1, 8}) {
        QVERIFY(!find(index));
        QCOMPARE(extensionOf(index), QString());
        QVERIFY(!isConverted(index));
        QVERIFY(!ConvertOperationOf(index));
    }
}

QTEST_GUILESS_MAIN(tst_OutputFormats)
#include "tst_outputformats.moc"

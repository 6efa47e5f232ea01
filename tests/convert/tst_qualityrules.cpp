#include "convert/qualityrules.h"

#include <QtTest>

using namespace QualityRules;

Q_DECLARE_METATYPE(QualityRules::OggControls)

class tst_QualityRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryView_data();
    void entryView();
    void channels_data();
    void channels();
    void codingControls_data();
    void codingControls();
    void presets();
    void mp3Bitrates_data();
    void mp3Bitrates();
    void oggBitrates_data();
    void oggBitrates();
    void kbitOf_data();
    void kbitOf();
    void oggBoxesExcludeEachOther_data();
    void oggBoxesExcludeEachOther();
};

void tst_QualityRules::entryView_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("oggPreset");
    QTest::addColumn<bool>("tips");
    QTest::newRow("Mp3") << 0 << 5 << int(Mp3Page) << false << false;
    QTest::newRow("Mp3 without entry") << 0 << -1 << int(Mp3Page) << false << false;
    QTest::newRow("WMA") << 1 << 0 << int(NoPage) << false << true;
    QTest::newRow("WMA past the list") << 1 << 51 << int(NoPage) << false << false;
    QTest::newRow("Ogg") << 2 << 21 << int(OggPage) << true << false;
    // No preset, so no dialog either.
    QTest::newRow("Ogg past the list") << 2 << 22 << int(NoPage) << false << false;
    QTest::newRow("Ogg without entry") << 2 << -1 << int(NoPage) << false << false;
    for (int format : {3, 4, 5, 6, 7, -1})
        QTest::addRow("format %d", format) << format << 0 << int(NoPage) << false << false;
}

void tst_QualityRules::entryView()
{
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(int, page);
    QFETCH(bool, oggPreset);
    QFETCH(bool, tips);
    const QualityView view = QualityRules::entryView(format, entry);
    QCOMPARE(int(view.dialogPage), page);
    QCOMPARE(view.oggPreset.has_value(), oggPreset);
    QCOMPARE(view.tips.has_value(), tips);
    QVERIFY(!view.entries && !view.dialogEnabled && !view.clearTips && !view.message);
}

void tst_QualityRules::channels_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("channelMode");
    QTest::addColumn<int>("entry"); // -1: the list stays as it is
    QTest::newRow("joint stereo") << 2 << 2 << 2;
    QTest::newRow("mono") << 1 << 0 << 0;
    // The mode replaces "Mono": one channel in stereo mode shows "Stereo".
    QTest::newRow("mono, stereo mode") << 1 << 1 << 1;
    QTest::newRow("dual channels") << 2 << 4 << 4;
    QTest::newRow("mode off the list") << 2 << 5 << -1;
    QTest::newRow("mono, mode off the list") << 1 << -1 << 0;
}

void tst_QualityRules::channels()
{
    QFETCH(int, channels);
    QFETCH(int, channelMode);
    QFETCH(int, entry);
    QCOMPARE(channelEntryOf(channels, channelMode), entry);
}

void tst_QualityRules::codingControls_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("vbrMethod");
    QTest::addColumn<bool>("vbr");
    QTest::addColumn<bool>("quality");
    QTest::addColumn<bool>("abr");
    QTest::newRow("None") << 0 << -1 << false << false << false;
    QTest::newRow("Default") << 1 << 0 << true << true << false;
    QTest::newRow("Old") << 2 << 1 << true << true << false;
    QTest::newRow("New") << 3 << 2 << true << true << false;
    QTest::newRow("MTRH") << 4 << 3 << true << true << false;
    QTest::newRow("ABR") << 5 << 4 << true << false << true;
}

void tst_QualityRules::codingControls()
{
    QFETCH(int, entry);
    QFETCH(int, vbrMethod);
    QFETCH(bool, vbr);
    QFETCH(bool, quality);
    QFETCH(bool, abr);
    QCOMPARE(vbrMethodAt(entry), vbrMethod);
    QCOMPARE(codingControlsAt(entry), std::optional(CodingControls{vbr, quality, abr}));
    // Without a selection the controls stay as they are.
    QVERIFY(!codingControlsAt(-1));
}

void tst_QualityRules::presets()
{
    // "Phone" to "R3Mix" are the encoder's 1 to 11, "Fast Standard" to
    // "Insane" its 12 to 16; "Mono" sets the channel count, the stereo modes
    // only the mode, so "Mono" then "Stereo" keeps one channel.
    for (int entry = 0; entry < 11; ++entry)
        QCOMPARE(presetAt(entry), entry + 1);
    for (int entry = 0; entry < 5; ++entry)
        QCOMPARE(altPresetAt(entry), entry + 12);
    QCOMPARE(channelChoiceAt(0), (ChannelChoice{1, std::nullopt}));
    for (int entry = 1; entry <= 4; ++entry)
        QCOMPARE(channelChoiceAt(entry), (ChannelChoice{std::nullopt, entry}));
    QCOMPARE(channelChoiceAt(-1), ChannelChoice{});
}

void tst_QualityRules::mp3Bitrates_data()
{
    QTest::addColumn<int>("kbps");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("caption");
    QTest::newRow("lowest") << 8 << 0 << "Current bitrate: 8 kbit";
    QTest::newRow("128") << 128 << 9 << "Current bitrate: 128 kbit";
    QTest::newRow("highest") << 320 << 14 << "Current bitrate: 320 kbit";
    // "40 kbit/s" and "80 kbit/s" of the MP3 list are not on the track bar.
    QTest::newRow("40") << 40 << -1 << "Current bitrate: 0 kbit";
    QTest::newRow("80") << 80 << -1 << "Current bitrate: 0 kbit";
}

void tst_QualityRules::mp3Bitrates()
{
    QFETCH(int, kbps);
    QFETCH(int, position);
    QFETCH(QString, caption);
    QCOMPARE(positionOf(Mp3Bitrates, kbps), position);
    QCOMPARE(bitrateCaption(shownMp3Bitrate(kbps)), caption);
}

void tst_QualityRules::oggBitrates_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("nominal");
    QTest::addColumn<std::optional<QString>>("caption");
    const int kbps[] = {48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int position = 1; position <= 11; ++position)
        QTest::addRow("%d", position)
            << position << kbps[position - 1]
            << std::optional(QStringLiteral("Current bitrate: %1 kbit").arg(kbps[position - 1]));
    QTest::newRow("0") << 0 << 128 << std::optional<QString>();
    QTest::newRow("12") << 12 << 128 << std::optional<QString>();
}

void tst_QualityRules::oggBitrates()
{
    QFETCH(int, position);
    QFETCH(int, nominal);
    QFETCH(std::optional<QString>, caption);
    QCOMPARE(oggNominalAt(position), nominal);
    QCOMPARE(oggBitrateCaption(position), caption);
}

void tst_QualityRules::kbitOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kbps");
    QTest::newRow("list entry") << "48 kbit" << 48;
    QTest::newRow("blanks") << "  320   kbit" << 320;
    QTest::newRow("first kbit counts") << "96 kbit 128 kbit" << 96;
    QTest::newRow("no number") << "kbit" << 0;
    QTest::newRow("not a number") << "many kbit" << 0;
    QTest::newRow("no kbit") << "128" << 0;
    QTest::newRow("no selection") << QString() << 0;
}

void tst_QualityRules::kbitOf()
{
    QFETCH(QString, text);
    QFETCH(int, kbps);
    QCOMPARE(QualityRules::kbitOf(text), kbps);
}

void tst_QualityRules::oggBoxesExcludeEachOther_data()
{
    QTest::addColumn<bool>("vbrClicked"); // else "Quality (Compression)"
    QTest::addColumn<OggControls>("before");
    QTest::addColumn<OggControls>("after");
    // Fields: vbr, vbrEnabled, quality, qualityEnabled, qualityBar, bitrateLists, bitrateBar.
    QTest::newRow("VBR checked") << true << OggControls{true, true, false, true, false, false, true}
                                 << OggControls{true, true, false, false, false, true, true};
    QTest::newRow("VBR cleared") << true
                                 << OggControls{false, true, false, false, false, true, true}
                                 << OggControls{false, true, false, true, true, false, true};
    // "VBR" goes, and with it the bitrates; only the quality counts.
    QTest::newRow("quality checked")
        << false << OggControls{true, true, true, true, false, true, true}
        << OggControls{false, false, true, true, true, false, false};
    QTest::newRow("quality cleared")
        << false << OggControls{false, false, false, true, true, false, false}
        << OggControls{false, true, false, true, false, true, true};
}

void tst_QualityRules::oggBoxesExcludeEachOther()
{
    QFETCH(bool, vbrClicked);
    QFETCH(OggControls, before);
    QFETCH(OggControls, after);
    QVERIFY(vbrClicked ? afterVbrClick(before) == after : afterQualityClick(before) == after);
}

QTEST_GUILESS_MAIN(tst_QualityRules)
#include "tst_qualityrules.moc"

#include "tests/support/memorysettings.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

// The store itself; what the window makes of stored values and of its
// option boxes is tst_mainwindow's.
class tst_Settings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void folderDefaultsAndStores();
    void unopenableStoreReadsNothingWritesNothing();
    void flags_data();
    void flags();
    void badFolderValue();
    void iniFileRoundTrip();
    void readingOptions();
    void iniFileBadValue();
    void outputChoices_data();
    void outputChoices();
    void readOffsetsPerDrive_data();
    void readOffsetsPerDrive();
    void accurateRipServer();

private:
    static std::pair<SettingsStore, MemorySettingsStorage *> memoryStore();
    QTemporaryDir m_config;
};

std::pair<SettingsStore, MemorySettingsStorage *> tst_Settings::memoryStore()
{
    auto storage = std::make_unique<MemorySettingsStorage>();
    MemorySettingsStorage *raw = storage.get();
    return {SettingsStore(std::move(storage)), raw};
}

void tst_Settings::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QCoreApplication::setOrganizationName("Orvanel Sondrel");
    QCoreApplication::setApplicationName("Orvanel Sondrel");
}

void tst_Settings::init()
{
    QFile::remove(m_config.filePath("Orvanel Sondrel/Orvanel Sondrel.ini"));
}

void tst_Settings::folderDefaultsAndStores()
{
    auto [store, mem] = memoryStore();
    QCOMPARE(store.ReadDestFolder(), SettingsStore::defaultDestFolder());
    QVERIFY(!SettingsStore::defaultDestFolder().isEmpty());
    QCOMPARE(mem->writes, 0);
    QCOMPARE(mem->opens, 1);

    store.StoreDestFolder("/media/music/");
    QCOMPARE(mem->writes, 1);
    QCOMPARE(mem->opens, 2);
    QCOMPARE(mem->values.value("Folder").toString(), "/media/music/");
    QCOMPARE(store.ReadDestFolder(), "/media/music/");

    store.StoreOptionFlag(SettingsKeys::EjectCD, true);
    QCOMPARE(mem->values.value("EjectCD").toInt(), 1);
    store.StoreOptionFlag(SettingsKeys::EjectCD, false);
    QCOMPARE(mem->values.value("EjectCD").toInt(), 0);
    QCOMPARE(mem->writes, 3);
}

void tst_Settings::unopenableStoreReadsNothingWritesNothing()
{
    auto [store, mem] = memoryStore();
    mem->openable = false;
    mem->values.insert("Folder", "/srv/music");
    mem->values.insert("EjectCD", 1);
    QCOMPARE(store.ReadDestFolder(), QString());
    QVERIFY(!store.ReadOptionFlag(SettingsKeys::EjectCD));
    store.StoreDestFolder("/elsewhere");
    QCOMPARE(mem->writes, 0);
}

void tst_Settings::flags_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected"); // -1 absent, 0 false, 1 true, 2 error
    QTest::newRow("absent") << QVariant() << -1;
    QTest::newRow("zero") << QVariant(0) << 0;
    QTest::newRow("one") << QVariant(1) << 1;
    QTest::newRow("any non-zero") << QVariant(7) << 1;
    QTest::newRow("text one") << QVariant("1") << 1;
    QTest::newRow("text with blanks") << QVariant(" 0 ") << 0;
    QTest::newRow("word") << QVariant("yes") << 2;
    QTest::newRow("empty") << QVariant("") << 2;
    QTest::newRow("list") << QVariant(QStringList{"1", "0"}) << 2;
}

void tst_Settings::flags()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expected);
    auto [store, mem] = memoryStore();
    if (stored.isValid())
        mem->values.insert("MakeList", stored);
    if (expected == 2) {
        try {
            store.ReadOptionFlag(SettingsKeys::MakeList);
            QFAIL("no error for a bad value");
        } catch (const ESettingsError &e) {
            QVERIFY2(e.message().contains("\"MakeList\""), qPrintable(e.message()));
        }
        return;
    }
    const std::optional<bool> makeList = store.ReadOptionFlag(SettingsKeys::MakeList);
    QCOMPARE(makeList.has_value(), expected != -1);
    if (expected != -1)
        QCOMPARE(*makeList, expected == 1);
    QCOMPARE(mem->writes, 0);
}

void tst_Settings::outputChoices_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<int>("format"); // -1: left empty
    QTest::addColumn<int>("entry");  // -1: left empty
    QTest::addColumn<QVariant>("templ");
    QTest::addColumn<int>("rereads"); // -1: left empty
    QTest::newRow("none stored") << QVariantMap() << -1 << -1 << QVariant() << -1;
    QTest::newRow("as stored") << QVariantMap{{"OutputFormat", 2},
                                              {"QualityEntry", " 5 "},
                                              {"FilenameTemplate", "<title>"},
                                              {"RereadLimit", 10}}
                               << 2 << 5 << QVariant("<title>") << 10;
    // Wrong types cost only their own value, and a bad flag before them none.
    QTest::newRow("wrong types") << QVariantMap{{"OutputFormat", "ogg"},
                                                {"QualityEntry", QStringList{"1", "2"}},
                                                {"FilenameTemplate", 7},
                                                {"RereadLimit", 11}}
                                 << -1 << -1 << QVariant() << -1;
    QTest::newRow("read after a bad flag")
        << QVariantMap{{"MakeList", "x"}, {"QualityEntry", 4}, {"RereadLimit", 0}} << -1 << 4
        << QVariant() << -1;
}

void tst_Settings::outputChoices()
{
    QFETCH(QVariantMap, stored);
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(QVariant, templ);
    QFETCH(int, rereads);
    auto [store, mem] = memoryStore();
    mem->values = stored;
    const StoredOptions options = store.ReadOptions();
    QCOMPARE(options.rereadLimit.value_or(-1), rereads);
    QCOMPARE(options.outputFormat.value_or(-1), format);
    QCOMPARE(options.qualityEntry.value_or(-1), entry);
    QCOMPARE(options.filenameTemplate.has_value(), templ.isValid());
    if (templ.isValid())
        QCOMPARE(*options.filenameTemplate, templ.toString());
    QCOMPARE(mem->writes, 0);

    // One opening and one value per write.
    store.StoreOutputFormat(6);
    store.StoreQualityEntry(0);
    store.StoreFilenameTemplate("<album>");
    store.StoreRereadLimit(4);
    QCOMPARE(mem->writes, 4);
    const StoredOptions again = store.ReadOptions();
    QCOMPARE(again.outputFormat, std::optional<int>(6));
    QCOMPARE(again.qualityEntry, std::optional<int>(0));
    QCOMPARE(again.filenameTemplate, std::optional<QString>("<album>"));
    QCOMPARE(again.rereadLimit, std::optional<int>(4));
}

void tst_Settings::badFolderValue()
{
    auto [store, mem] = memoryStore();
    mem->values.insert("Folder", QStringList{"/a", "/b"});
    QVERIFY_THROWS_EXCEPTION(ESettingsError, store.ReadDestFolder());
    mem->values.insert("Folder", 42);
    QVERIFY_THROWS_EXCEPTION(ESettingsError, store.ReadDestFolder());
}

void tst_Settings::iniFileRoundTrip()
{
    SettingsStore store(std::make_unique<QSettingsStorage>());
    QCOMPARE(store.ReadDestFolder(), SettingsStore::defaultDestFolder());
    QVERIFY(!QFile::exists(m_config.filePath("Orvanel Sondrel/Orvanel Sondrel.ini")));

    store.StoreDestFolder(QString::fromUtf8("/home/me/Musik/Björk"));
    store.StoreOptionFlag(SettingsKeys::MakeList, true);
    // Written through at once: a second reader sees it without any exit.
    QSettings other(QSettings::IniFormat,
                    QSettings::UserScope,
                    "Orvanel Sondrel",
                    "Orvanel Sondrel");
    QCOMPARE(other.value("Folder").toString(), QString::fromUtf8("/home/me/Musik/Björk"));
    QCOMPARE(other.value("MakeList").toInt(), 1);
    QVERIFY(!other.contains("EjectCD"));

    SettingsStore again(std::make_unique<QSettingsStorage>());
    QCOMPARE(again.ReadDestFolder(), QString::fromUtf8("/home/me/Musik/Björk"));
    QCOMPARE(again.ReadOptionFlag(SettingsKeys::MakeList), std::optional<bool>(true));
}

void tst_Settings::readingOptions()
{
    auto [store, mem] = memoryStore();
    // The reading options are off until stored on.
    QCOMPARE(store.ReadOptions().goOnAfterFailure, std::optional<bool>(false));
    store.StoreFlag(StoredFlag::GoOnAfterFailure, true);
    store.StoreFlag(StoredFlag::TestAndCopy, true);
    const StoredOptions options = store.ReadOptions();
    QCOMPARE(options.goOnAfterFailure, std::optional<bool>(true));
    QCOMPARE(options.testAndCopy, std::optional<bool>(true));
    QCOMPARE(options.rereadMismatches, std::optional<bool>(false));
    // Encoding while the next track is read is on until stored off; the
    // number of conversions at once is kept only within its range.
    QCOMPARE(options.encodeWhileReading, std::optional<bool>(true));
    QCOMPARE(options.parallelConversions, std::nullopt);
    store.StoreFlag(StoredFlag::EncodeWhileReading, false);
    store.StoreParallelConversions(3);
    QCOMPARE(store.ReadOptions().encodeWhileReading, std::optional<bool>(false));
    QCOMPARE(store.ReadOptions().parallelConversions, std::optional<int>(3));
    store.StoreParallelConversions(SettingsKeys::MaxParallelConversions + 1);
    QCOMPARE(store.ReadOptions().parallelConversions, std::nullopt);
}

void tst_Settings::readOffsetsPerDrive_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected"); // 9999: an error
    QTest::newRow("positive") << QVariant(667) << 667;
    QTest::newRow("negative text") << QVariant("-1164") << -1164;
    QTest::newRow("lowest") << QVariant(-3000) << -3000;
    QTest::newRow("too high") << QVariant(3001) << 9999;
    QTest::newRow("word") << QVariant("six") << 9999;
    QTest::newRow("list") << QVariant(QStringList{"6"}) << 9999;
}

void tst_Settings::readOffsetsPerDrive()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expected);
    // Names of drives and of images, which hold slashes.
    const QString drive = "HL-DT-ST DVDRAM GH24NSD1 RN01";
    const QString image = "/home/me/discs/a b.cue";
    SettingsStore store(std::make_unique<QSettingsStorage>());
    QCOMPARE(store.ReadReadOffset(drive), 0);
    store.StoreReadOffset(image, 48);
    QSettings file(QSettings::IniFormat, QSettings::UserScope, "Orvanel Sondrel", "Orvanel Sondrel");
    file.setValue("ReadOffsets/" + QUrl::toPercentEncoding(drive), stored);
    file.sync();
    if (expected == 9999) {
        try {
            store.ReadReadOffset(drive);
            QFAIL("no error for a bad value");
        } catch (const ESettingsError &e) {
            QVERIFY2(e.message().contains(drive), qPrintable(e.message()));
        }
    } else {
        QCOMPARE(store.ReadReadOffset(drive), expected);
    }
    QCOMPARE(store.ReadReadOffset(image), 48);
    QCOMPARE(store.ReadReadOffset("another drive"), 0);
}

void tst_Settings::accurateRipServer()
{
    auto [store, mem] = memoryStore();
    QCOMPARE(store.ReadAccurateRipServer(), QString("http://www.accuraterip.com"));
    mem->values.insert("AccurateRipServer", " http://127.0.0.1:8080 ");
    QCOMPARE(store.ReadAccurateRipServer(), QString("http://127.0.0.1:8080"));
    mem->values.insert("AccurateRipServer", "");
    QCOMPARE(store.ReadAccurateRipServer(), QString("http://www.accuraterip.com"));
}

void tst_Settings::iniFileBadValue()
{
    QDir().mkpath(m_config.filePath("Orvanel Sondrel"));
    QFile f(m_config.filePath("Orvanel Sondrel/Orvanel Sondrel.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\nFolder=/music\nEjectCD=often\n");
    f.close();
    SettingsStore store(std::make_unique<QSettingsStorage>());
    QCOMPARE(store.ReadDestFolder(), "/music");
    QVERIFY_THROWS_EXCEPTION(ESettingsError, store.ReadOptionFlag(SettingsKeys::EjectCD));
    // The bad value is left for the user to see, not overwritten.
    f.open(QIODevice::ReadOnly);
    QVERIFY(f.readAll().contains("EjectCD=often"));
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"

#include "app/choicelists.h"
#include "convert/outputformats.h"
#include "job/outputnaming.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace OutputNaming;

class tst_OutputNaming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void expansion_data();
    void expansion();
    void distinctNames_data();
    void distinctNames();
    void fileListNamesEveryRowDistinctly();
    void folderTexts_data();
    void folderTexts();
    void createFolderPath();
    void randomValuesStayInsideTheFolder();
};

namespace {

const QString Music = QStringLiteral("/home/me/Music");

QString repeated(const QString &text, int times)
{
    return text.repeated(times);
}

} // namespace

void tst_OutputNaming::expansion_data()
{
    QTest::addColumn<QString>("templ");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("genre");
    QTest::addColumn<bool>("genreIsListItem");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    // Album artist, disc number, disc total; empty for a single disc.
    QTest::addColumn<QStringList>("set");

    // Disc "Album", 1999, "17 - Rock" from the list, track 03, under Music.
    const auto row = [](const char *name,
                        const QString &templ,
                        const QString &artist,
                        const QString &title,
                        const QString &under) {
        QTest::newRow(name) << templ << "03" << artist << title << "Album"
                            << "1999"
                            << "17 - Rock" << true << Music << Music + "/" + under << QStringList();
    };
    const auto set = [](const char *name,
                        const QString &templ,
                        const QStringList &discSet,
                        const QString &under) {
        QTest::newRow(name) << templ << "03"
                            << "A"
                            << "T"
                            << "Album"
                            << "1999"
                            << "17 - Rock" << true << Music << Music + "/" + under << discSet;
    };
    const auto folder = [](const char *name, const QString &folderText, const QString &path) {
        QTest::newRow(name) << "track <number>.mp3"
                            << "03" << QString() << QString() << QString() << QString() << QString()
                            << false << folderText << path << QStringList();
    };
    const auto genre =
        [](const char *name, const QString &text, bool listItem, const QString &under) {
            QTest::newRow(name) << "<genre>\\<title>.mp3"
                                << "01"
                                << "A"
                                << "T" << QString() << QString() << text << listItem << Music
                                << Music + "/" + under << QStringList();
        };

    row("track number, MP3", "track <number>.mp3", "A", "T", "track 03.mp3");
    folder("folder ending in a separator", Music + "/", Music + "/track 03.mp3");
    folder("root gets no second separator", "/", "/track 03.mp3");
    folder("empty folder: a path from the root", "", "/track 03.mp3");
    row("empty artist, leading blank", "<artist> - <title>.mp3", "", "Song", " - Song.mp3");
    row("slash, colon, question mark", "<title>", "A", "AC/DC: Live?", "AC_DC  Live ");
    row("title backslash makes no folder", "<title>.mp3", "A", "Part 1\\2", "Part 1_2.mp3");
    row("artist backslash makes a folder",
        "<artist> - <title>",
        "Kraftwerk\\Live",
        "T",
        "Kraftwerk/Live - T");
    row("template backslashes make folders",
        "<artist>\\<album>\\<number>. <title>.flac",
        "Can",
        "Vitamin C",
        "Can/Album/03. Vitamin C.flac");
    row("vertical bar", "<artist> - <title>", "Guns | Roses", "T", "Guns - Roses - T");
    row("double quotes removed", "<title>.mp3", "A", "Say \"Hi\"", "Say Hi.mp3");
    row("star to blank", "<title>.mp3", "A", "Star*Dust", "Star Dust.mp3");
    row("artist <album> takes the album", "<artist> - <title>", "<album>", "T", "Album - T");
    row("title <artist> stays a word", "<title>.mp3", "A", "<artist>", "artist.mp3");
    row("unknown placeholder", "<disc> <number>.mp3", "A", "T", "disc 03.mp3");
    set("discs of a set kept apart",
        "<album>\\Disc <disc>\\<number> <title>.flac",
        {"", "2", "3"},
        "Album/Disc 2/03 T.flac");
    set("disc without a number stays a word",
        "<album>\\<disc>-<disctotal>",
        {"", "", "3"},
        "Album/disc-3");
    set("album artist names the folder",
        "<albumartist>\\<album>\\<disc>.<disctotal>.<number> <artist>",
        {"Various Artists", "1", "2"},
        "Various Artists/Album/1.2.03 A");
    row("placeholders ignore case", "<ARTIST> - <Title> (<YeAr>)", "A", "T", "A - T (1999)");
    row("values not trimmed", "<artist>-<title>.mp3", "  A ", " T", "  A - T.mp3");
    row("end blanks and dots stay", "<artist>\\<title>", "Dots...", "End. ", "Dots.../End. ");
    row("no format, no extension", "<number> - <title>", "A", "T", "03 - T");
    row("non-Latin letters kept",
        "<artist> - <title>.ogg",
        "Кино",
        "夜のドライブ Ünïcødé",
        "Кино - 夜のドライブ Ünïcødé.ogg");
    row("placeholders in their order",
        "<genre>_<year>_<album>_<title>_<artist>_<number>.ape",
        "A",
        "T",
        "Rock_1999_Album_T_A_03.ape");

    genre("genre list item", "31 - Trance", true, "Trance/T.mp3");
    genre("genre after the first dash", "07 - Hip-Hop", true, "Hip-Hop/T.mp3");
    genre("genre trailing blank trimmed", "99 - Acoustic ", true, "Acoustic/T.mp3");
    genre("genre typed by hand as typed", " Dungeon Synth ", false, "Dungeon Synth/T.mp3");
    genre("genre typed empty", "", false, "_/T.mp3");
    genre("genre item without dash", "Trance", true, "_/T.mp3");

    // Values meant to escape the folder or to break the name.
    row("artist climbing out", "<artist>\\<title>", "..\\..\\etc", "passwd", "_/_/etc/passwd");
    row("title of two dots", "<title>", "A", "..", "_");
    row("artist of one dot", "<artist>\\<title>", ".", "T", "_/T");
    row("empty artist folder", "<artist>\\<album>\\<title>", "", "T", "_/Album/T");
    row("lone backslash artist", "<artist>\\<title>", "\\", "T", "_/_/T");
    row("leading backslash stays inside", "<artist>\\<title>", "\\etc", "T", "_/etc/T");
    row("slashes never separate", "<artist> <title>", "/etc/", "../../x", "_etc_ .._.._x");
    row("empty title alone", "<title>", "A", "", "_");
    row("control characters removed",
        "<title>.mp3",
        "A",
        QStringLiteral("a\tb\nc\r") + QChar(0) + QChar(0x1f) + QChar(0x7f) + "d",
        "abcd.mp3");
    row("control characters hiding dots", "<artist>\\<title>", QStringLiteral(".\x01."), "T", "_/T");
    row("300-byte title cut, extension kept",
        "<title>.mp3",
        "A",
        repeated("x", 300),
        repeated("x", 251) + ".mp3");
    row("300-byte folder cut",
        "<artist>\\<title>",
        repeated("a", 300),
        "T",
        repeated("a", 255) + "/T");
    row("three-byte letters cut whole",
        "<title>.flac",
        "A",
        repeated("日", 100),
        repeated("日", 83) + ".flac");
    row("letter and accent kept together",
        "<title>.mp3",
        "A",
        repeated("e\u0301", 100),
        repeated("e\u0301", 83) + ".mp3");
    row("emoji never split", "<title>.wma", "A", repeated("😀", 70), repeated("😀", 62) + ".wma");
    row("mark-laden letter cut between code points",
        "<title>.mp3",
        "A",
        "a" + repeated("\u0301", 200),
        "a" + repeated("\u0301", 125) + ".mp3");
    row("two dots left by the cut", "<artist>\\<title>", "..." + repeated("\u0301", 200), "T", "_/T");
    row("dot in a long title is no extension",
        "<title>",
        "A",
        repeated("y", 290) + ". Big",
        repeated("y", 255));
}

void tst_OutputNaming::expansion()
{
    QFETCH(QString, templ);
    QFETCH(QString, number);
    QFETCH(QString, artist);
    QFETCH(QString, title);
    QFETCH(QString, album);
    QFETCH(QString, year);
    QFETCH(QString, genre);
    QFETCH(bool, genreIsListItem);
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(QStringList, set);
    set.resize(3);

    const DiscValues disc{album, year, genre, genreIsListItem, folder, set[0], set[1], set[2]};
    QCOMPARE(BuildOutputFileName(templ, TrackValues{number, artist, title}, disc), path);
}

void tst_OutputNaming::distinctNames_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("unique names untouched")
        << QStringList{"/m/01.mp3", "/m/02.mp3"} << QStringList{"/m/01.mp3", "/m/02.mp3"};
    QTest::newRow("album template names every track alike")
        << QStringList{"/m/Al.mp3", "/m/Al.mp3", "/m/Al.mp3"}
        << QStringList{"/m/Al.mp3", "/m/Al (2).mp3", "/m/Al (3).mp3"};
    QTest::newRow("a number already listed is skipped")
        << QStringList{"/m/a.mp3", "/m/a.mp3", "/m/a (2).mp3"}
        << QStringList{"/m/a.mp3", "/m/a (3).mp3", "/m/a (2).mp3"};
    QTest::newRow("letter case counts as alike") << QStringList{"/m/Intro.mp3", "/m/INTRO.mp3"}
                                                 << QStringList{"/m/Intro.mp3", "/m/INTRO (2).mp3"};
    QTest::newRow("no extension") << QStringList{"/m/Song", "/m/Song"}
                                  << QStringList{"/m/Song", "/m/Song (2)"};
    QTest::newRow("a dot in a title is no extension")
        << QStringList{"/m/Mr. Big", "/m/Mr. Big"} << QStringList{"/m/Mr. Big", "/m/Mr. Big (2)"};
    QTest::newRow("same file in other folders")
        << QStringList{"/m/A/x.mp3", "/m/B/x.mp3"} << QStringList{"/m/A/x.mp3", "/m/B/x.mp3"};
    QTest::newRow("folder names alike, only the file renamed")
        << QStringList{"/m/A. B/x.mp3", "/m/A. B/x.mp3"}
        << QStringList{"/m/A. B/x.mp3", "/m/A. B/x (2).mp3"};
    QTest::newRow("longest name shortened for the number")
        << QStringList{"/m/" + repeated("x", 251) + ".mp3", "/m/" + repeated("x", 251) + ".mp3"}
        << QStringList{"/m/" + repeated("x", 251) + ".mp3", "/m/" + repeated("x", 247) + " (2).mp3"};
}

void tst_OutputNaming::distinctNames()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, names);
    QCOMPARE(OutputNaming::distinctNames(paths), names);
}

void tst_OutputNaming::fileListNamesEveryRowDistinctly()
{
    const DiscValues disc{"Live", "2001", "", false, Music};
    const QList<TrackValues> rows{{"01", "Band", "Intro"},
                                  {"02", "Band", "Song"},
                                  {"03", "Guest", "Intro"},
                                  {"04", "Band", "Intro"}};

    QCOMPARE(BuildOutputFileList("<artist> - <album>.flac", rows, disc),
             QStringList({Music + "/Band - Live.flac",
                          Music + "/Band - Live (2).flac",
                          Music + "/Guest - Live.flac",
                          Music + "/Band - Live (3).flac"}));
    QCOMPARE(BuildOutputFileList("<number>. <title>.mp3", rows, disc),
             QStringList({Music + "/01. Intro.mp3",
                          Music + "/02. Song.mp3",
                          Music + "/03. Intro.mp3",
                          Music + "/04. Intro.mp3"}));
    QVERIFY(BuildOutputFileList("<title>.mp3", {}, disc).isEmpty());
}

void tst_OutputNaming::folderTexts_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    const auto row =
        [](const char *name, const char *helper, const QString &text, const QString &result) {
            QTest::newRow(name) << helper << text << result;
        };

    row("separator added", "EnsureTrailingBackslash", Music, Music + "/");
    row("separator kept", "EnsureTrailingBackslash", Music + "/", Music + "/");
    row("root kept", "EnsureTrailingBackslash", "/", "/");
    row("empty gives root", "EnsureTrailingBackslash", "", "/");
    row("backslash is a letter here", "EnsureTrailingBackslash", "/mnt/a\\", "/mnt/a\\/");

    row("folder of a nested file", "folderPart", Music + "/A/B/01.mp3", Music + "/A/B");
    row("folder of a file at the root", "folderPart", "/01.mp3", "/");
    row("no folder", "folderPart", "01.mp3", "");

    const QString relative = QStringLiteral("The output folder \"%1\" is not a full path (one that "
                                            "starts with /). Choose the folder again under "
                                            "Output Folder.");
    row("absolute folder usable", "outputFolderProblem", Music, QString());
    row("missing folder usable", "outputFolderProblem", "/home/me/New", QString());
    row("empty folder refused",
        "outputFolderProblem",
        "",
        "No output folder is chosen. Choose one under Output Folder, then rip again.");
    row("relative folder refused", "outputFolderProblem", "Music", relative.arg("Music"));
    row("tilde is no home", "outputFolderProblem", "~/Music", relative.arg("~/Music"));
}

void tst_OutputNaming::folderTexts()
{
    QFETCH(QString, helper);
    QFETCH(QString, text);
    QFETCH(QString, result);
    const QHash<QString, QString (*)(const QString &)> helpers{{"EnsureTrailingBackslash",
                                                                &EnsureTrailingBackslash},
                                                               {"folderPart", &folderPart},
                                                               {"outputFolderProblem",
                                                                &outputFolderProblem}};
    QCOMPARE(helpers.value(helper)(text), result);
}

void tst_OutputNaming::createFolderPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString nested = dir.filePath("Artist/Album ü/Disc 1");
    QVERIFY(CreateFolderPath(nested));
    QVERIFY(QFileInfo(nested).isDir());
    QVERIFY2(CreateFolderPath(nested), "an existing folder is a success");

    QFile file(dir.filePath("taken"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!CreateFolderPath(file.fileName()));
    QVERIFY(!CreateFolderPath(file.fileName() + "/sub"));
    QVERIFY(!CreateFolderPath(QString()));
}

namespace {

// Texts that people and disc databases type, good and hostile: letters of
// several scripts, everything a file name must not hold, placeholders,
// folder climbing, control characters, surrogate pairs and combining marks.
QString randomValue(QRandomGenerator &random)
{
    static const QStringList pieces{"a",       "Z",        "7",       " ",       ".",
                                    "..",      "\\",       "/",       "<",       ">",
                                    ":",       "*",        "?",       "|",       "\"",
                                    "-",       "_",        "é",       "ß",       "Ж",
                                    "日",      "😀",        "\u0301",  "\u200d",  "\t",
                                    "\n",      "\r",       "\x01",    "\x1f",    "\x7f",
                                    "<album>", "<ARTIST>", "<title>", "<genre>", "..\\..\\",
                                    "/../",    ".mp3"};
    QString value;
    if (random.bounded(10) == 0)
        value += QString(int(random.bounded(150, 400)), QChar(u"xЖ日"[random.bounded(3)]));
    const int count = int(random.bounded(12));
    for (int i = 0; i < count; ++i)
        value += pieces.at(random.bounded(int(pieces.size())));
    if (random.bounded(20) == 0)
        value += QString(int(random.bounded(100, 300)), QChar(0x301));
    return value;
}

} // namespace

void tst_OutputNaming::randomValuesStayInsideTheFolder()
{
    QRandomGenerator random(20240613);
    const QStringList templates = ChoiceLists::filenameTemplates();
    QCOMPARE(templates.size(), 14);
    const QString prefix = Music + QLatin1Char('/');
    const QStringList genres = ChoiceLists::genres();

    int names = 0;
    for (int disc = 0; disc < 300; ++disc) {
        const DiscValues values{randomValue(random),
                                randomValue(random),
                                random.bounded(2) ? genres.at(random.bounded(int(genres.size())))
                                                  : randomValue(random),
                                random.bounded(2) == 1,
                                Music};
        QList<TrackValues> rows;
        for (int row = 0; row < 4; ++row)
            rows.append({QStringLiteral("%1").arg(row + 1, 2, 10, QLatin1Char('0')),
                         randomValue(random),
                         randomValue(random)});
        const QString extension = OutputFormats::extensionOf(int(random.bounded(-1, 7)));

        for (const QString &templ : templates) {
            const QStringList paths = BuildOutputFileList(templ + extension, rows, values);
            QCOMPARE(paths.size(), rows.size());
            QSet<QString> seen;
            for (const QString &path : paths) {
                ++names;
                const QByteArray message
                    = QStringLiteral("template %1, path %2").arg(templ, path).toUtf8();
                const char *where = message.constData();
                QVERIFY2(path.startsWith(prefix), where);
                QVERIFY2(QDir::cleanPath(path).startsWith(prefix), where);
                QVERIFY2(path.endsWith(extension), where);
                for (const QString &part : path.mid(prefix.size()).split(QLatin1Char('/'))) {
                    QVERIFY2(!part.isEmpty() && part != "." && part != "..", where);
                    QVERIFY2(part.toUtf8().size() <= MaxComponentBytes, where);
                }
                for (const QChar c : path)
                    QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7f, where);
                QVERIFY2(!seen.contains(path.toCaseFolded()), where);
                seen.insert(path.toCaseFolded());
            }
        }
    }
    QCOMPARE(names, 300 * 14 * 4);
}

QTEST_GUILESS_MAIN(tst_OutputNaming)
#include "tst_outputnaming.moc"

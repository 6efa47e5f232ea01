#include "libs/audioconvert/audioconvert.h"
#include "pipeline/flacbinding.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macbinding.h"
#include "pipeline/macwriter.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/memoryinput.h"
#include "tests/support/outputrun.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/releasetags.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

using namespace AudioConvertLib;
using namespace TestSupport;

// Tags written into the files that come straight from the disc, read back by
// TagLib and by the tools people use (metaflac, ffprobe).
class tst_LosslessTags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void tagsReadBack_data();
    void tagsReadBack();
    void emptyFieldsStayOut();
    void failureIsAnError();

private:
    QString encode(TLosslessFormat format, const QString &name);

    QTemporaryDir m_dir;
    QByteArray m_pcm;
};

namespace {

IAudioConvertInformation fullTags()
{
    IAudioConvertInformation info;
    info.SetTagTitle(QStringLiteral("Żółć – Ελληνικά 日本"));
    info.SetTagTrack(7);
    info.SetTagArtist(QStringLiteral("Åsa Ørn"));
    info.SetTagYear(1999);
    info.SetTagAlbum(QStringLiteral("Café Noir"));
    info.SetTagGenre(29); // "Jazz+Funk"
    info.SetTagComment(QStringLiteral("Кириллица"));
    info.SetTagCopyright(QStringLiteral("© 1999 Ørn"));
    info.SetTagUrl(QStringLiteral("https://example.org/ørn"));
    info.SetTagEncodedBy(QStringLiteral("Orvanel Sondrel"));
    return info;
}

QString q(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true));
}

} // namespace

void tst_LosslessTags::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(Flac::LoadFLACLibrary());
    QVERIFY(Mac::LoadMACLibrary());
    m_pcm = tones(44100, 2);
}

QString tst_LosslessTags::encode(TLosslessFormat format, const QString &name)
{
    const QString path = m_dir.filePath(name);
    TMemoryInput input(m_pcm);
    std::unique_ptr<TPcmOutput> out;
    if (format == TLosslessFormat::Flac) {
        auto flac = std::make_unique<TFLACOut>();
        flac->SetFileName(path);
        out = std::move(flac);
    } else {
        auto ape = std::make_unique<TMACOut>();
        ape->SetFileName(path);
        out = std::move(ape);
    }
    out->SetInput(&input);
    OutputRun run(*out);
    if (!run.startAndWait() || run.done() != 1)
        qFatal("the writer failed: %s", qPrintable(run.message()));
    return path;
}

void tst_LosslessTags::tagsReadBack_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("typedGenre"); // empty: the listed "Jazz+Funk"
    QTest::newRow("FLAC") << int(TLosslessFormat::Flac) << QString();
    QTest::newRow("APE") << int(TLosslessFormat::Ape) << QString();
    // A genre the list does not hold goes by its text.
    QTest::newRow("FLAC typed genre") << int(TLosslessFormat::Flac) << "Dungeon Synth – Ørn";
    QTest::newRow("APE typed genre") << int(TLosslessFormat::Ape) << "Dungeon Synth – Ørn";
}

void tst_LosslessTags::tagsReadBack()
{
    QFETCH(int, format);
    QFETCH(QString, typedGenre);
    const auto kind = TLosslessFormat(format);
    const QString path = encode(kind,
                                QString(typedGenre.isEmpty() ? "tags" : "typed")
                                    + (kind == TLosslessFormat::Flac ? ".flac" : ".ape"));
    const QByteArray before = ffmpegDecode(path);
    QCOMPARE(before, m_pcm);

    IAudioConvertInformation tags = fullTags();
    if (!typedGenre.isEmpty()) {
        tags.SetTagGenre(-1);
        tags.SetTagGenreText(typedGenre);
    }
    const QString genre = typedGenre.isEmpty() ? QStringLiteral("Jazz+Funk") : typedGenre;
    tags.SetTagRelease(ReleaseTagCheck::sample());
    WriteLosslessTags(path, kind, tags);
    const QStringList lacking = ReleaseTagCheck::missing(path,
                                                         kind == TLosslessFormat::Flac
                                                             ? ReleaseTagCheck::Kind::Flac
                                                             : ReleaseTagCheck::Kind::Ape);
    QVERIFY2(lacking.isEmpty(), qPrintable(lacking.join(u'\n')));

    TagLib::FileRef ref(QFile::encodeName(path).constData());
    QVERIFY(!ref.isNull() && ref.tag());
    const TagLib::Tag *tag = ref.tag();
    QCOMPARE(q(tag->title()), QStringLiteral("Żółć – Ελληνικά 日本"));
    QCOMPARE(q(tag->artist()), QStringLiteral("Åsa Ørn"));
    QCOMPARE(q(tag->album()), QStringLiteral("Café Noir"));
    QCOMPARE(tag->year(), 1999u);
    QCOMPARE(tag->track(), 7u);
    QCOMPARE(q(tag->genre()), genre);
    QCOMPARE(q(tag->comment()), QStringLiteral("Кириллица"));
    const TagLib::PropertyMap properties = ref.file()->properties();
    QCOMPARE(q(properties["COPYRIGHT"].toString()), QStringLiteral("© 1999 Ørn"));
    QCOMPARE(q(properties["URL"].toString()), QStringLiteral("https://example.org/ørn"));
    QCOMPARE(q(properties["ENCODEDBY"].toString()), QStringLiteral("Orvanel Sondrel"));

    // The audio is the same after tagging.
    QVERIFY(ffmpegDecode(path) == before);

    if (kind == TLosslessFormat::Flac) {
        const ProcessResult listed = run("metaflac",
                                         {"--list", "--block-type=VORBIS_COMMENT", path});
        QCOMPARE(listed.exitCode, 0);
        const QString text = QString::fromUtf8(listed.out);
        for (const char *line : {"TITLE=Żółć – Ελληνικά 日本",
                                 "ARTIST=Åsa Ørn",
                                 "ALBUM=Café Noir",
                                 "DATE=1999",
                                 "TRACKNUMBER=7",
                                 "COMMENT=Кириллица",
                                 "COPYRIGHT=© 1999 Ørn",
                                 "URL=https://example.org/ørn",
                                 "ENCODEDBY=Orvanel Sondrel"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
        QVERIFY2(text.contains("GENRE=" + genre), qPrintable(text));
    } else {
        const ProcessResult probed = run("ffprobe",
                                         {"-v",
                                          "error",
                                          "-show_entries",
                                          "format_tags",
                                          "-of",
                                          "default=noprint_wrappers=1",
                                          path});
        QCOMPARE(probed.exitCode, 0);
        const QString text = QString::fromUtf8(probed.out).toLower();
        for (const char *line : {"tag:title=Żółć – Ελληνικά 日本",
                                 "tag:artist=Åsa Ørn",
                                 "tag:album=Café Noir",
                                 "tag:year=1999",
                                 "tag:track=7",
                                 "tag:comment=Кириллица",
                                 "tag:copyright=© 1999 Ørn"})
            QVERIFY2(text.contains(QString::fromUtf8(line).toLower()), line);
        QVERIFY2(text.contains("tag:genre=" + genre.toLower()), qPrintable(text));
    }
}

void tst_LosslessTags::emptyFieldsStayOut()
{
    for (TLosslessFormat kind : {TLosslessFormat::Flac, TLosslessFormat::Ape}) {
        const QString path = encode(kind, kind == TLosslessFormat::Flac ? "few.flac" : "few.ape");
        IAudioConvertInformation info;
        info.SetTagTitle(QStringLiteral("Only a title"));
        WriteLosslessTags(path, kind, info);
        TagLib::FileRef ref(QFile::encodeName(path).constData());
        QVERIFY(!ref.isNull());
        const TagLib::PropertyMap properties = ref.file()->properties();
        QCOMPARE(properties.size(), 1u);
        QVERIFY(properties.contains("TITLE"));
    }
}

void tst_LosslessTags::failureIsAnError()
{
    // Not the format it should be, no file at all (none is made), a disk
    // that fills while the tag goes in (the file is left as it was).
    const QString wrong = m_dir.filePath("wrong.flac");
    QVERIFY(QFile::copy(encode(TLosslessFormat::Ape, "wrong.ape"), wrong));
    const QString missing = m_dir.filePath("missing.ape");
    const QString full = encode(TLosslessFormat::Ape, "full.ape");
    const QByteArray fullBefore = readFile(full);

    for (auto [path, kind] : {std::pair{wrong, TLosslessFormat::Flac},
                              std::pair{missing, TLosslessFormat::Ape},
                              std::pair{full, TLosslessFormat::Ape}}) {
        std::optional<FileSizeLimit> limit;
        if (path == full) {
            limit.emplace(rlim_t(fullBefore.size()));
            QVERIFY(limit->isActive());
        }
        try {
            WriteLosslessTags(path, kind, fullTags());
            limit.reset();
            QFAIL(qPrintable("no error for " + path));
        } catch (const EAudioConvert &e) {
            limit.reset();
            QCOMPARE(QString::fromUtf8(e.what()),
                     QString("The tags could not be written into \"%1\".").arg(path));
        }
    }
    QVERIFY(!QFile::exists(missing));
    QVERIFY(readFile(full) == fullBefore);
}

QTEST_GUILESS_MAIN(tst_LosslessTags)
#include "tst_losslesstags.moc"

#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

// The program's few persistent settings. Every read or write opens the store,
// does its one operation and closes it again, so nothing waits to be saved at
// exit and another instance sees each change at once. Window thread only.

namespace SettingsKeys {
inline const QString Folder = QStringLiteral("Folder");     // string: output folder
inline const QString EjectCD = QStringLiteral("EjectCD");   // integer 0 or 1
inline const QString MakeList = QStringLiteral("MakeList"); // integer 0 or 1
// Verified rips, each an integer 0 or 1 (off when missing).
inline const QString VerifyAccurateRip = QStringLiteral("VerifyAccurateRip");
inline const QString WriteRipLog = QStringLiteral("WriteRipLog");
inline const QString WriteCueSheet = QStringLiteral("WriteCueSheet");
// How tracks are read, integers 0 or 1 (off when missing), and the extra
// reads of a track that does not match (an integer, 3 when missing).
inline const QString TestAndCopy = QStringLiteral("TestAndCopy");
inline const QString RereadMismatches = QStringLiteral("RereadMismatches");
inline const QString RereadLimit = QStringLiteral("RereadLimit");
inline const QString GoOnAfterFailure = QStringLiteral("GoOnAfterFailure");
// Pregaps: finding them before a rip and ripping the hidden audio before
// track 1, integers 0 or 1 (off when missing); where the CUE sheet's files
// hold the gaps, an integer 0 appended, 1 prepended, 2 left out (0 when
// missing).
inline const QString DetectGaps = QStringLiteral("DetectGaps");
inline const QString RipHiddenAudio = QStringLiteral("RipHiddenAudio");
inline const QString CueLayout = QStringLiteral("CueLayout");
// When a rip's stages run: "Encode while reading the next track" (an
// integer 0 or 1, on when missing) and how many conversions run at once (an
// integer 1 .. MaxParallelConversions, the number of cores when missing).
inline const QString EncodeWhileReading = QStringLiteral("EncodeWhileReading");
inline const QString ParallelConversions = QStringLiteral("ParallelConversions");
inline constexpr int MaxParallelConversions = 16;
// string: the AccurateRip server, "http://host[:port]"
inline const QString AccurateRipServer = QStringLiteral("AccurateRipServer");
// The output choices of the "General" page as last made: the format and its
// quality entry as list indexes (integers), the filename template as its text.
inline const QString OutputFormat = QStringLiteral("OutputFormat");
inline const QString QualityEntry = QStringLiteral("QualityEntry");
inline const QString FilenameTemplate = QStringLiteral("FilenameTemplate");
// Group of integers in samples, one per drive, keyed by the drive's name
// percent-encoded (a name may hold '/').
inline const QString ReadOffsets = QStringLiteral("ReadOffsets");
// Metadata, integers 0 or 1 (on when missing): MusicBrainz identifiers in
// the tags, CD-Text filled in when a disc arrives.
inline const QString WriteMusicBrainzIds = QStringLiteral("WriteMusicBrainzIds");
inline const QString FillFromCdText = QStringLiteral("FillFromCdText");
} // namespace SettingsKeys

// A stored value that cannot be read as its type.
class ESettingsError : public std::runtime_error
{
public:
    explicit ESettingsError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// Where the values live: QSettings in the program, memory in tests
// (tests/support/memorysettings.h).
class SettingsStorage
{
public:
    virtual ~SettingsStorage() = default;
    // Opens (creating when missing) the settings key; false when it cannot be had.
    virtual bool open() = 0;
    // Flushes and closes; also called after a failed open.
    virtual void close() = 0;
    virtual bool contains(const QString &name) const = 0;
    virtual QVariant value(const QString &name) const = 0;
    virtual void setValue(const QString &name, const QVariant &value) = 0;
};

// The user's own settings file through QSettings (organisation and
// application "Orvanel Sondrel").
class QSettingsStorage : public SettingsStorage
{
public:
    QSettingsStorage();
    ~QSettingsStorage() override;
    bool open() override;
    void close() override;
    bool contains(const QString &name) const override;
    QVariant value(const QString &name) const override;
    void setValue(const QString &name, const QVariant &value) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The on/off options of the side panel that are kept between runs.
enum class StoredFlag {
    EjectCD,
    MakeList,
    VerifyAccurateRip,
    WriteRipLog,
    WriteCueSheet,
    TestAndCopy,
    RereadMismatches,
    GoOnAfterFailure,
    DetectGaps,
    RipHiddenAudio,
    // Metadata
    WriteMusicBrainzIds,
    FillFromCdText,
    EncodeWhileReading,
};

// The side panel's stored options as read at start. Each value was read in an
// opening of its own, in this order; reading stops at the first value that
// cannot be read, so the values after it stay unread (empty) and `error`
// says why. A flag that is read but not stored is empty too, except the
// verified-rip and reading ones, which are off unless stored on.
struct StoredOptions
{
    std::optional<QString> destFolder;
    std::optional<bool> ejectCD;
    std::optional<bool> makeList;
    bool endOfJobRead = false; // the folder and both end-of-job flags were read
    std::optional<bool> verifyAccurateRip;
    std::optional<bool> writeRipLog;
    std::optional<bool> writeCueSheet;
    std::optional<bool> testAndCopy;
    std::optional<bool> rereadMismatches;
    std::optional<bool> goOnAfterFailure;
    std::optional<bool> detectGaps;
    std::optional<bool> ripHiddenAudio;
    // Metadata: on unless stored off.
    std::optional<bool> writeMusicBrainzIds;
    std::optional<bool> fillFromCdText;
    std::optional<bool> encodeWhileReading; // on unless stored off
    QString error;
    // Read whatever happened before; a value of the wrong type is left
    // empty, and whether a list holds it is the window's to check.
    std::optional<int> outputFormat;
    std::optional<int> qualityEntry;
    std::optional<QString> filenameTemplate;
    // 1 .. TReadOptions::MaxRereadLimit; empty when not stored or out of range.
    std::optional<int> rereadLimit;
    // 0 .. 2 (TCueLayout); empty when not stored or out of range.
    std::optional<int> cueLayout;
    // 1 .. MaxParallelConversions; empty when not stored or out of range.
    std::optional<int> parallelConversions;
};

// Typed access to the settings with the program's rules.
class SettingsStore
{
public:
    explicit SettingsStore(std::unique_ptr<SettingsStorage> storage);

    // The folder shown before the stored one is read, and when none is stored.
    static QString defaultDestFolder();

    // The stored output folder; the default when none is stored; empty when
    // the settings cannot be opened. Throws ESettingsError for a value that is
    // not text.
    QString ReadDestFolder();
    void StoreDestFolder(const QString &folder);

    // One end-of-job or verified-rip flag (EjectCD, MakeList, VerifyAccurateRip,
    // WriteRipLog, WriteCueSheet) in an opening of its own, so a
    // caller can apply one before reading the next; empty when not stored or
    // when the settings cannot be opened. Throws ESettingsError for a value
    // that is not a whole number.
    std::optional<bool> ReadOptionFlag(const QString &name);
    void StoreOptionFlag(const QString &name, bool value);
    void StoreFlag(StoredFlag flag, bool value);
    // Every stored option of the side panel, in the order the window applies them.
    StoredOptions ReadOptions();
    // The output choices, each in an opening of its own.
    void StoreOutputFormat(int format);
    void StoreQualityEntry(int entry);
    void StoreFilenameTemplate(const QString &templ);
    void StoreRereadLimit(int reads);
    void StoreCueLayout(int layout);
    void StoreParallelConversions(int conversions);
    // What ParallelConversions is when none is stored: the number of cores.
    static int defaultParallelConversions();
    static QString keyOf(StoredFlag flag);

    // The read offset of the drive of that name in samples; 0 when none is
    // stored or the settings cannot be opened. Throws ESettingsError for a
    // value that is not a whole number from -3000 to 3000.
    int ReadReadOffset(const QString &driveName);
    void StoreReadOffset(const QString &driveName, int samples);
    // Whether an offset is stored for the drive, whatever its value.
    bool HasReadOffset(const QString &driveName);

    // The AccurateRip server; the public one when none is stored.
    QString ReadAccurateRipServer();

    SettingsStorage &storage() { return *m_storage; }

private:
    void storeValue(const QString &name, const QVariant &value);
    // Empty when not stored, not a whole number, or unopenable.
    std::optional<int> readNumber(const QString &name);

    std::unique_ptr<SettingsStorage> m_storage;
};

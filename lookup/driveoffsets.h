#pragma once

#include "lookup/accurateriplookup.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// AccurateRip's list of drives and their read offsets, as its server keeps
// it: the parser (pure logic, any thread), the copy kept in the program's
// data folder, and its refresh on a worker thread.
namespace DriveOffsets {

struct Entry
{
    int offset = 0;      // samples
    QString name;        // "VENDOR - MODEL", or "- MODEL" without a vendor
    int submissions = 0; // how many rips the entry rests on
};

// Every entry of the list (69-byte records). Throws AccurateRip::MalformedFile
// for an empty list, one cut short, or a web page.
std::vector<Entry> parseList(const QByteArray &bytes);

// The list's address on `server` ("http://host[:port]", '/' allowed at the end).
QString listUrl(const QString &server);

// The read offset the list gives the drive with this INQUIRY vendor and
// model (spaces around or within either count as one, letters without
// case); empty when the list does not hold it, or holds it with two offsets.
// Entries with offset 0 or beyond any drive's are no drive's.
std::optional<int> offsetOf(const std::vector<Entry> &entries,
                            const QString &vendor,
                            const QString &model);

// The offsets of the list, those most drives have first.
std::vector<int> offsetsByUse(const std::vector<Entry> &entries);

// The copy is fetched again once it is this old.
inline constexpr int RefreshDays = 10;

} // namespace DriveOffsets

// The drive list kept as "DriveOffsets.bin" in a folder (the program's data
// folder), dated by the file's time, and fetched again from the AccurateRip
// server when missing or older than RefreshDays. A fetch that fails keeps
// the old copy. Window thread; the fetch runs on a worker of its own, and a
// fetch under way when the object goes ends on its own within its time limit.
class TDriveOffsetList : public QObject
{
    Q_OBJECT

public:
    explicit TDriveOffsetList(const QString &folder, QObject *parent = nullptr);
    ~TDriveOffsetList() override;

    QString FilePath() const;
    // The kept copy's entries (read again when the file changed); empty
    // without a readable copy.
    const std::vector<DriveOffsets::Entry> &Entries();
    // When the kept copy was fetched; invalid without one.
    QDateTime FetchedAt() const;
    bool NeedsRefresh(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    // Fetches the list unless a fresh copy is kept or a fetch runs; Refreshed
    // follows once the copy is in (or the fetch failed: `error` says why).
    void Refresh(const TAccurateRipSettings &settings);
    bool IsRefreshing() const { return m_pending != nullptr; }
    QString LastError() const { return m_error; }

Q_SIGNALS:
    void Refreshed();

private:
    struct Pending;

    void fetched(const QByteArray &bytes, const QString &error);

    QString m_folder;
    std::shared_ptr<Pending> m_pending;
    std::vector<DriveOffsets::Entry> m_entries;
    QDateTime m_readTime; // the file's time when m_entries was read
    QString m_error;
};

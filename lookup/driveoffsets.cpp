#include "lookup/driveoffsets.h"

#include "libs/disclookup/httpclient.h"
#include "libs/disclookup/lookuperror.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QSaveFile>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace DriveOffsets {

namespace {

constexpr qsizetype RecordBytes = 69;
constexpr qsizetype NameBytes = 33;
// Beyond ten sectors no drive reads; such an entry is a slip.
constexpr int MaxListedOffset = 5880;
// The list holds a few thousand drives: far less than this.
constexpr size_t MaxListBytes = 4 * 1024 * 1024;
const QString FileName = QStringLiteral("DriveOffsets.bin");

QString normalised(const QString &text)
{
    return text.simplified().toUpper();
}

} // namespace

std::vector<Entry> parseList(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        throw AccurateRip::MalformedFile("The AccurateRip drive list is empty.");
    const QByteArray head = bytes.left(64).trimmed().toLower();
    if (head.startsWith("<!doctype") || head.startsWith("<html"))
        throw AccurateRip::MalformedFile(
            "The AccurateRip server sent a web page, not the drive list.");
    if (bytes.size() % RecordBytes != 0)
        throw AccurateRip::MalformedFile("The AccurateRip drive list is cut short.");
    std::vector<Entry> entries;
    for (qsizetype at = 0; at < bytes.size(); at += RecordBytes) {
        const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData() + at);
        Entry e;
        e.offset = int16_t(uint16_t(p[0] | p[1] << 8));
        const char *name = bytes.constData() + at + 2;
        e.name = QString::fromLatin1(name, qsizetype(qstrnlen(name, NameBytes)));
        e.submissions = p[2 + NameBytes];
        entries.push_back(e);
    }
    return entries;
}

QString listUrl(const QString &server)
{
    QString base = server;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/accuraterip/DriveOffsets.bin");
}

std::optional<int> offsetOf(const std::vector<Entry> &entries,
                            const QString &vendor,
                            const QString &model)
{
    const QString wantedVendor = normalised(vendor);
    const QString wantedModel = normalised(model);
    if (wantedModel.isEmpty())
        return std::nullopt;
    std::set<int> offsets;
    for (const Entry &e : entries) {
        if (e.offset == 0 || std::abs(e.offset) > MaxListedOffset)
            continue;
        const QString name = e.name.trimmed();
        QString entryVendor;
        QString entryModel;
        if (name.startsWith(QLatin1String("- "))) {
            entryModel = name.mid(2);
        } else {
            const qsizetype dash = name.indexOf(QLatin1String(" - "));
            if (dash < 0)
                continue;
            entryVendor = name.left(dash);
            entryModel = name.mid(dash + 3);
        }
        if (normalised(entryVendor) == wantedVendor && normalised(entryModel) == wantedModel)
            offsets.insert(e.offset);
    }
    if (offsets.size() != 1)
        return std::nullopt;
    return *offsets.begin();
}

std::vector<int> offsetsByUse(const std::vector<Entry> &entries)
{
    std::map<int, int> drives;
    for (const Entry &e : entries) {
        if (e.offset != 0 && std::abs(e.offset) <= MaxListedOffset)
            ++drives[e.offset];
    }
    std::vector<std::pair<int, int>> byUse(drives.begin(), drives.end());
    std::stable_sort(byUse.begin(), byUse.end(), [](const auto &a, const auto &b) {
        return a.second > b.second;
    });
    std::vector<int> offsets;
    for (const auto &[offset, count] : byUse)
        offsets.push_back(offset);
    return offsets;
}

} // namespace DriveOffsets

// Shared by the window thread and one worker: whether anyone still wants the
// list, and where to send it.
struct TDriveOffsetList::Pending
{
    std::mutex mutex;
    TDriveOffsetList *receiver = nullptr; // null once forgotten
};

TDriveOffsetList::TDriveOffsetList(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
{
    setObjectName(QStringLiteral("DriveOffsetList"));
}

TDriveOffsetList::~TDriveOffsetList()
{
    if (m_pending) {
        std::lock_guard<std::mutex> lock(m_pending->mutex);
        m_pending->receiver = nullptr;
    }
}

QString TDriveOffsetList::FilePath() const
{
    QString path = m_folder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + DriveOffsets::FileName;
}

QDateTime TDriveOffsetList::FetchedAt() const
{
    const QFileInfo file(FilePath());
    return file.exists() ? file.lastModified().toUTC() : QDateTime();
}

bool TDriveOffsetList::NeedsRefresh(const QDateTime &now) const
{
    const QDateTime fetched = FetchedAt();
    return !fetched.isValid() || fetched.addDays(DriveOffsets::RefreshDays) <= now;
}

const std::vector<DriveOffsets::Entry> &TDriveOffsetList::Entries()
{
    const QDateTime fetched = FetchedAt();
    if (fetched != m_readTime) {
        m_readTime = fetched;
        m_entries.clear();
        QFile file(FilePath());
        if (file.open(QIODevice::ReadOnly)) {
            try {
                m_entries = DriveOffsets::parseList(file.readAll());
            } catch (const AccurateRip::MalformedFile &) {
                // A copy spoilt on disk is fetched again.
                m_readTime = QDateTime();
            }
        }
    }
    return m_entries;
}

void TDriveOffsetList::Refresh(const TAccurateRipSettings &settings)
{
    if (m_pending || (!NeedsRefresh() && !Entries().empty()))
        return;
    m_pending = std::make_shared<Pending>();
    m_pending->receiver = this;
    const std::string url = DriveOffsets::listUrl(settings.server).toStdString();
    std::thread([pending = m_pending, url, settings] {
        QByteArray bytes;
        QString error;
        try {
            DiscLookup::HttpLimits limits;
            limits.connectTimeoutMs = settings.connectTimeoutMs;
            limits.timeoutMs = settings.timeoutMs;
            limits.maxReplyBytes = DriveOffsets::MaxListBytes;
            const DiscLookup::HttpClient client(limits, "OrvanelSondrel/" SONDREL_VERSION);
            const DiscLookup::HttpReply reply = client.get(url);
            if (reply.status == 200) {
                bytes = QByteArray(reply.body.data(), qsizetype(reply.body.size()));
                DriveOffsets::parseList(bytes);
            } else {
                error = QStringLiteral("AccurateRip server answered HTTP %1").arg(reply.status);
            }
        } catch (const DiscLookup::LookupError &e) {
            error = QStringLiteral("AccurateRip not reachable: %1").arg(QString::fromUtf8(e.what()));
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
        if (!error.isEmpty())
            bytes.clear();
        // Posted while the receiver cannot go away: its destructor takes the
        // same lock before it forgets the fetch.
        std::lock_guard<std::mutex> lock(pending->mutex);
        if (TDriveOffsetList *receiver = pending->receiver) {
            QMetaObject::invokeMethod(
                receiver,
                [receiver, pending, bytes, error] {
                    if (receiver->m_pending == pending)
                        receiver->fetched(bytes, error);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TDriveOffsetList::fetched(const QByteArray &bytes, const QString &error)
{
    m_pending.reset();
    m_error = error;
    if (error.isEmpty()) {
        QSaveFile file(FilePath());
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            m_readTime = QDateTime();
        else
            m_error = QStringLiteral("The AccurateRip drive list cannot be kept in %1")
                          .arg(FilePath());
    }
    Q_EMIT Refreshed();
}

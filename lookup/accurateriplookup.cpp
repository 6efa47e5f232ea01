#include "lookup/accurateriplookup.h"

#include "libs/disclookup/httpclient.h"
#include "libs/disclookup/lookuperror.h"

#include <QMetaObject>
#include <QPointer>

#include <mutex>
#include <thread>

namespace {

// Far more than any disc's file (a few kilobytes), far less than a server
// gone wrong could send.
constexpr size_t MaxFileBytes = 1024 * 1024;

} // namespace

TAccurateRipOutcome FetchAccurateRip(const AccurateRip::DiscIds &ids,
                                     const TAccurateRipSettings &settings)
{
    TAccurateRipOutcome outcome;
    const QString url = AccurateRip::fileUrl(settings.server, ids);
    try {
        DiscLookup::HttpLimits limits;
        limits.connectTimeoutMs = settings.connectTimeoutMs;
        limits.timeoutMs = settings.timeoutMs;
        limits.maxReplyBytes = MaxFileBytes;
        const DiscLookup::HttpClient client(limits, "OrvanelSondrel/" SONDREL_VERSION);
        const DiscLookup::HttpReply reply = client.get(url.toStdString());
        if (reply.status == 404) {
            outcome.kind = TAccurateRipOutcome::NotInDatabase;
            return outcome;
        }
        if (reply.status != 200) {
            outcome.reason = QStringLiteral("AccurateRip server answered HTTP %1").arg(reply.status);
            return outcome;
        }
        outcome.records = AccurateRip::parseFile(
            QByteArray(reply.body.data(), qsizetype(reply.body.size())));
        outcome.kind = TAccurateRipOutcome::Found;
    } catch (const DiscLookup::LookupError &e) {
        outcome.reason = QStringLiteral("AccurateRip not reachable: %1")
                             .arg(QString::fromUtf8(e.what()));
    } catch (const AccurateRip::MalformedFile &e) {
        outcome.reason = QString::fromUtf8(e.what());
        // The sentence of the parser ends with a full stop; the memo line adds its own.
        if (outcome.reason.endsWith(QLatin1Char('.')))
            outcome.reason.chop(1);
    } catch (const std::exception &e) {
        outcome.reason = QStringLiteral("AccurateRip lookup failed: %1")
                             .arg(QString::fromUtf8(e.what()));
    }
    return outcome;
}

// Shared by the window thread and one worker: whether anyone still wants the
// answer, and where to send it.
struct TAccurateRipLookup::Pending
{
    std::mutex mutex;
    TAccurateRipLookup *receiver = nullptr; // null once forgotten
};

TAccurateRipLookup::TAccurateRipLookup(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("AccurateRipLookup"));
}

TAccurateRipLookup::~TAccurateRipLookup()
{
    if (m_pending) {
        std::lock_guard<std::mutex> lock(m_pending->mutex);
        m_pending->receiver = nullptr;
    }
}

void TAccurateRipLookup::Start(const AccurateRip::DiscIds &ids, const TAccurateRipSettings &settings)
{
    if (m_pending) {
        std::lock_guard<std::mutex> lock(m_pending->mutex);
        m_pending->receiver = nullptr;
    }
    m_pending = std::make_shared<Pending>();
    m_pending->receiver = this;
    m_ids = ids;
    m_outcome = TAccurateRipOutcome();
    m_running = true;
    std::thread([pending = m_pending, ids, settings] {
        TAccurateRipOutcome outcome;
        try {
            outcome = FetchAccurateRip(ids, settings);
        } catch (...) {
            outcome.reason = QStringLiteral("AccurateRip lookup failed");
        }
        // Posted while the receiver cannot go away: its destructor takes the
        // same lock before it forgets the lookup.
        std::lock_guard<std::mutex> lock(pending->mutex);
        if (TAccurateRipLookup *receiver = pending->receiver) {
            QMetaObject::invokeMethod(
                receiver,
                [receiver, pending, outcome] {
                    if (receiver->m_pending == pending)
                        receiver->deliver(outcome);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TAccurateRipLookup::deliver(const TAccurateRipOutcome &outcome)
{
    m_pending.reset();
    m_outcome = outcome;
    m_running = false;
    Q_EMIT Finished();
}

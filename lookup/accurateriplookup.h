#pragma once

#include "lookup/accuraterip.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// What asking the database for one disc came to.
struct TAccurateRipOutcome
{
    enum Kind {
        Found,         // the disc's file, parsed
        NotInDatabase, // the server answered 404
        Failed,        // no usable answer; reason says why
    };
    Kind kind = Failed;
    QString reason;
    std::vector<AccurateRip::Record> records;
};

// Where and how long to ask.
struct TAccurateRipSettings
{
    QString server = AccurateRip::DefaultServer;
    long connectTimeoutMs = 5000;
    long timeoutMs = 15000;
};

// Fetches and parses the disc's file, blocking: any thread but the window's.
TAccurateRipOutcome FetchAccurateRip(const AccurateRip::DiscIds &ids,
                                     const TAccurateRipSettings &settings);

// One lookup per rip job, run on a worker thread so that the window never
// waits for the network; Finished arrives on the thread that owns this object
// (the window thread). Destroying the object, or starting again, forgets a
// lookup under way: its worker ends on its own within the time limit and its
// answer is dropped.
class TAccurateRipLookup : public QObject
{
    Q_OBJECT

public:
    explicit TAccurateRipLookup(QObject *parent = nullptr);
    ~TAccurateRipLookup() override;

    void Start(const AccurateRip::DiscIds &ids, const TAccurateRipSettings &settings);
    bool IsRunning() const { return m_running; }
    // Valid once Finished has come.
    const TAccurateRipOutcome &Outcome() const { return m_outcome; }
    const AccurateRip::DiscIds &Ids() const { return m_ids; }

Q_SIGNALS:
    void Finished();

private:
    struct Pending;

    void deliver(const TAccurateRipOutcome &outcome);

    // Window thread.
    std::shared_ptr<Pending> m_pending;
    bool m_running = false;
    AccurateRip::DiscIds m_ids;
    TAccurateRipOutcome m_outcome;
};

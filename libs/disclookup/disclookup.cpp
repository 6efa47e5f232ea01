// The C entry points: one lookup at a time, its answer and failure text kept
// until the next call.
#include "libs/disclookup/disclookup.h"

#include "libs/disclookup/lookup.h"

#include <mutex>
#include <string>

namespace {

// The last call's results. Any thread; guarded by `mutex`, which a lookup
// holds from start to end.
struct CallState
{
    std::mutex mutex;
    std::string answer;
    std::string error;
    std::string candidates;
    std::string submitUrl;
    std::string choiceError;
};

// Never destroyed: a program may still hold the last answer while its
// exit-time destructors run.
CallState &callState()
{
    static auto *state = new CallState;
    return *state;
}

} // namespace

extern "C" {

const char *Getfreedbinfo(const char *libraryPath, int32_t driveIndex)
{
    CallState &s = callState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.answer.clear();
    s.error.clear();
    s.candidates.clear();
    s.submitUrl.clear();
    try {
        s.answer = DiscLookup::lookUp(libraryPath ? libraryPath : "",
                                      driveIndex,
                                      s.error,
                                      s.candidates,
                                      s.submitUrl);
        return s.answer.c_str();
    } catch (const DiscLookup::LookupFailure &e) {
        s.error = e.what();
    } catch (const std::exception &e) {
        s.error = std::string("The disc lookup failed: ") + e.what();
    } catch (...) {
        s.error = "The disc lookup failed";
    }
    return nullptr;
}

const char *Getfreedberror(void)
{
    CallState &s = callState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.error.c_str();
}

const char *Getfreedbcandidates(void)
{
    CallState &s = callState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.candidates.c_str();
}

const char *Getfreedbsubmiturl(void)
{
    CallState &s = callState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.submitUrl.c_str();
}

const char *Setfreedbchoice(const char *libraryPath, const char *tocKey, const char *candidateKey)
{
    CallState &s = callState();
    std::lock_guard<std::mutex> lock(s.mutex);
    try {
        s.choiceError = DiscLookup::rememberChoice(libraryPath ? libraryPath : "",
                                                   tocKey ? tocKey : "",
                                                   candidateKey ? candidateKey : "");
    } catch (const std::exception &e) {
        s.choiceError = std::string("The choice could not be kept: ") + e.what();
    }
    return s.choiceError.c_str();
}

} // extern "C"

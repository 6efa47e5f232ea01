#include "libs/disclookup/cddbparser.h"

#include "libs/disclookup/lookuperror.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>

namespace DiscLookup::Cddb {

namespace {

constexpr int MaxTracks = 99;

[[noreturn]] void malformed(const std::string &what)
{
    throw LookupError(LookupError::Failed, "malformed reply: " + what);
}

// A server's text in an error message: printable, and short.
std::string quoted(const std::string &text)
{
    std::string out;
    for (const char c : text.substr(0, 80))
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    return out;
}

struct Reply
{
    int status = 0;
    std::string statusText;         // the first line after the code
    std::vector<std::string> lines; // the body lines before "." (multi-line replies)
};

std::vector<std::string> splitLines(const std::string &body)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        std::string line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

Reply readReply(const std::string &body, bool multiLine)
{
    std::vector<std::string> lines = splitLines(body);
    if (lines.empty() || lines[0].size() < 3
        || !std::isdigit(static_cast<unsigned char>(lines[0][0]))
        || !std::isdigit(static_cast<unsigned char>(lines[0][1]))
        || !std::isdigit(static_cast<unsigned char>(lines[0][2]))
        || (lines[0].size() > 3 && lines[0][3] != ' '))
        malformed("no status line");
    Reply r;
    r.status = std::stoi(lines[0].substr(0, 3));
    r.statusText = lines[0].size() > 4 ? lines[0].substr(4) : std::string();
    if (!multiLine)
        return r;
    const auto end = std::find(lines.begin() + 1, lines.end(), ".");
    if (end == lines.end())
        malformed("the list does not end with a \".\" line");
    r.lines.assign(lines.begin() + 1, end);
    return r;
}

[[noreturn]] void failedStatus(const Reply &r)
{
    throw LookupError(LookupError::Failed,
                      "server status " + std::to_string(r.status) + " " + quoted(r.statusText));
}

// "<category> <discid> <title>"
Match matchOf(const std::string &line)
{
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (a == 0 || a == std::string::npos || b == a + 1)
        malformed("a match without category and disc id");
    Match m;
    m.category = line.substr(0, a);
    m.discId = line.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    m.title = b == std::string::npos ? std::string() : decodeLine(line.substr(b + 1));
    const auto word = [](const std::string &w) {
        return !w.empty() && w.size() <= 32 && std::all_of(w.begin(), w.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0;
        });
    };
    if (!word(m.category) || !word(m.discId))
        malformed("a match with a strange category or disc id");
    return m;
}

std::string unescape(const std::string &value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == 'n' || next == 't' || next == '\\') {
                out += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

// "Artist / Album"; without " / " both are the whole text.
void splitArtist(const std::string &text, std::string &artist, std::string &album)
{
    const size_t slash = text.find(" / ");
    if (slash == std::string::npos) {
        artist = album = text;
        return;
    }
    artist = text.substr(0, slash);
    album = text.substr(slash + 3);
}

bool isYear(const std::string &text)
{
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) != 0;
           });
}

// The track index of a "TTITLEn" keyword, -1 for any other keyword.
int titleIndex(const std::string &key)
{
    static const std::string prefix = "TTITLE";
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 2
        || key.compare(0, prefix.size(), prefix) != 0)
        return -1;
    int n = 0;
    for (size_t i = prefix.size(); i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i])))
            return -1;
        n = n * 10 + (key[i] - '0');
    }
    return n < MaxTracks ? n : -1;
}

} // namespace

std::string decodeLine(const std::string &text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(
        QByteArrayView(text.data(), qsizetype(text.size()))); // the conversion runs the decoder
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(text.data(), qsizetype(text.size())).toStdString();
}

QueryResult parseQuery(const std::string &body)
{
    const Reply first = readReply(body, false);
    QueryResult result;
    switch (first.status) {
    case 200:
        result.exact = true;
        result.matches.push_back(matchOf(first.statusText));
        return result;
    case 210:
    case 211: {
        const Reply list = readReply(body, true);
        result.exact = first.status == 210;
        for (const std::string &line : list.lines)
            result.matches.push_back(matchOf(line));
        if (result.matches.empty())
            malformed("an empty list of matches");
        return result;
    }
    case 202:
        throw LookupError(LookupError::NoEntry, "no match");
    default:
        failedStatus(first);
    }
}

Entry parseRead(const std::string &body)
{
    const Reply first = readReply(body, false);
    if (first.status == 401)
        throw LookupError(LookupError::NoEntry, "no such entry");
    if (first.status != 210)
        failedStatus(first);
    const Reply reply = readReply(body, true);

    std::string dtitle;
    std::string dyear;
    std::string dgenre;
    std::string discId;
    std::vector<std::string> titles;
    for (const std::string &raw : reply.lines) {
        if (raw.empty() || raw[0] == '#')
            continue;
        const size_t eq = raw.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = raw.substr(0, eq);
        // A keyword that repeats continues its value, possibly in the middle
        // of a character: the bytes are joined first and decoded afterwards.
        const std::string value = raw.substr(eq + 1);
        if (key == "DTITLE") {
            dtitle += value;
        } else if (key == "DYEAR") {
            dyear += value;
        } else if (key == "DGENRE") {
            dgenre += value;
        } else if (key == "DISCID") {
            discId += value;
        } else if (const int index = titleIndex(key); index >= 0) {
            if (titles.size() <= size_t(index))
                titles.resize(size_t(index) + 1);
            titles[size_t(index)] += value;
        }
    }
    if (dtitle.empty() && titles.empty())
        malformed("an entry without titles");

    Entry entry;
    entry.discId = decodeLine(discId);
    const auto text = [](const std::string &bytes) { return unescape(decodeLine(bytes)); };
    splitArtist(text(dtitle), entry.artist, entry.album);
    const std::string year = text(dyear);
    entry.year = isYear(year) ? year : std::string();
    entry.genre = text(dgenre);
    for (const std::string &t : titles)
        entry.titles.push_back(text(t));
    return entry;
}

} // namespace DiscLookup::Cddb

#include "libs/cdrip/settingsfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include <sys/stat.h>

namespace CdRip {

namespace {

std::string trimmed(const std::string &s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::string lower(std::string s)
{
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool parseInt(const std::string &text, int &value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < -1000000 || v > 1000000)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

Settings parseSettings(const std::string &text)
{
    Settings settings;
    std::istringstream in(text);
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == ';' || t[0] == '#')
            continue;
        if (t[0] == '[') {
            const auto close = t.find(']');
            section = close == std::string::npos ? std::string()
                                                 : lower(trimmed(t.substr(1, close - 1)));
            continue;
        }
        const auto eq = t.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = lower(trimmed(t.substr(0, eq)));
        std::string value = trimmed(t.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);

        int number = 0;
        if (section == "cd-rom" && key == "nactive") {
            if (parseInt(value, number))
                settings.activeDrive = number;
        } else if (section == "reading" && key == "paranoia") {
            if (parseInt(value, number))
                settings.paranoia = number != 0;
        } else if (section == "images" && !value.empty()) {
            settings.images.push_back(value);
        }
    }
    return settings;
}

bool readSettingsFile(const std::string &path, Settings &settings)
{
    settings = Settings();
    // A folder opens like a file that reads nothing, and a FIFO would wait
    // for a writer for ever: only a regular file is a settings file.
    struct stat st
    {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    struct FileCloser
    {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        text.append(buffer, n);
    if (std::ferror(file.get()))
        return false;
    settings = parseSettings(text);
    return true;
}

} // namespace CdRip

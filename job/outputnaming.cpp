#include "job/outputnaming.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTextBoundaryFinder>

#include <utility>

namespace OutputNaming {

namespace {

const QChar TemplateSeparator = u'\\';
const QChar PathSeparator = u'/';

// Longest text after a final dot still taken for the format's extension.
constexpr int MaxExtensionLetters = 15;

int utf8Size(QStringView text)
{
    return int(text.toUtf8().size());
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// The length of the extension a file name ends in (".mp3", ".flac"): a dot
// and a few ASCII letters or digits. Zero when the name ends otherwise, so a
// title like "Mr. Big" never passes for one.
qsizetype extensionLength(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype letters = name.size() - dot - 1;
    if (dot < 0 || letters < 1 || letters > MaxExtensionLetters)
        return 0;
    for (const QChar c : name.mid(dot + 1)) {
        if (c.unicode() > 0x7f || !c.isLetterOrNumber())
            return 0;
    }
    return name.size() - dot;
}

// The longest head of text whose UTF-8 form fits in maxBytes, cut between
// two user-perceived characters, or between two code points when even the
// first of those is too long (hostile runs of combining marks).
QString headWithin(const QString &text, int maxBytes)
{
    if (utf8Size(text) <= maxBytes)
        return text;
    const auto cut = [&](QTextBoundaryFinder::BoundaryType type) {
        QTextBoundaryFinder finder(type, text);
        qsizetype end = 0;
        int bytes = 0;
        for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
            bytes += utf8Size(QStringView(text).mid(end, next - end));
            if (bytes > maxBytes)
                break;
            end = next;
        }
        return end;
    };
    qsizetype end = cut(QTextBoundaryFinder::Grapheme);
    if (end == 0) {
        // Code points: step over surrogate pairs whole.
        int bytes = 0;
        while (end < text.size()) {
            const qsizetype step = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
            bytes += utf8Size(QStringView(text).mid(end, step));
            if (bytes > maxBytes)
                break;
            end += step;
        }
    }
    return text.left(end);
}

// stem shortened as far as needed for stem + tail to fit in one component.
QString fitComponent(const QString &stem, const QString &tail)
{
    return headWithin(stem, MaxComponentBytes - utf8Size(tail)) + tail;
}

// A component that stays where it is put: never empty, "." or "..", also
// once shortened ("..." whose last dot carries hundreds of marks is cut to "..").
QString safeComponent(const QString &part, bool isFileName)
{
    const qsizetype extension = isFileName ? extensionLength(part) : 0;
    const QString fitted = fitComponent(part.left(part.size() - extension), part.right(extension));
    if (fitted.isEmpty() || fitted == QLatin1String(".") || fitted == QLatin1String(".."))
        return QStringLiteral("_");
    return fitted;
}

// The template filled and cleaned, as a relative path with "/" separators.
QString expandTemplate(const QString &templ, const TrackValues &track, const DiscValues &disc)
{
    QString title = track.title;
    title.replace(TemplateSeparator, u'_');

    QString text = templ;
    const std::pair<QLatin1String, QString> placeholders[] = {
        {QLatin1String("<number>"), track.number},
        {QLatin1String("<artist>"), track.artist},
        {QLatin1String("<title>"), title},
        {QLatin1String("<album>"), disc.album},
        {QLatin1String("<year>"), disc.year},
        {QLatin1String("<genre>"), genreForNaming(disc.genre, disc.genreIsListItem)},
        {QLatin1String("<albumartist>"), disc.albumArtist},
        {QLatin1String("<disc>"), disc.disc},
        {QLatin1String("<disctotal>"), disc.discTotal},
    };
    for (const auto &[name, value] : placeholders) {
        // A template naming no disc number keeps the word, as before discs of
        // a set had a number.
        if (name == QLatin1String("<disc>") && value.isEmpty())
            continue;
        text.replace(name, value, Qt::CaseInsensitive);
    }

    text.remove(u'<');
    text.remove(u'>');
    text.replace(u'/', u'_');
    text.replace(u':', u' ');
    text.replace(u'*', u' ');
    text.replace(u'?', u' ');
    text.replace(u'|', u'-');
    text.remove(u'"');
    text.removeIf(isControl);

    QStringList parts = text.split(TemplateSeparator);
    for (qsizetype i = 0; i < parts.size(); ++i)
        parts[i] = safeComponent(parts.at(i), i == parts.size() - 1);
    return parts.join(PathSeparator);
}

} // namespace

QString genreForNaming(const QString &genreText, bool isListItem)
{
    if (!isListItem)
        return genreText.trimmed();
    const qsizetype dash = genreText.indexOf(u'-');
    if (dash < 0)
        return QString();
    return genreText.mid(dash + 1).trimmed();
}

QString BuildOutputFileName(const QString &templ, const TrackValues &track, const DiscValues &disc)
{
    return EnsureTrailingBackslash(disc.outputFolder) + expandTemplate(templ, track, disc);
}

QStringList BuildOutputFileList(const QString &templ,
                                const QList<TrackValues> &rows,
                                const DiscValues &disc)
{
    QStringList paths;
    paths.reserve(rows.size());
    for (const TrackValues &row : rows)
        paths << BuildOutputFileName(templ, row, disc);
    return distinctNames(paths);
}

QStringList distinctNames(const QStringList &paths)
{
    QSet<QString> listed;
    for (const QString &path : paths)
        listed.insert(path.toCaseFolded());

    QSet<QString> taken;
    QStringList result;
    result.reserve(paths.size());
    for (const QString &path : paths) {
        QString name = path;
        if (taken.contains(name.toCaseFolded())) {
            const qsizetype fileStart = path.lastIndexOf(PathSeparator) + 1;
            const QString folder = path.left(fileStart);
            const QString file = path.mid(fileStart);
            const qsizetype extension = extensionLength(file);
            const QString stem = file.left(file.size() - extension);
            for (int n = 2;; ++n) {
                name = folder
                       + fitComponent(stem, QStringLiteral(" (%1)").arg(n) + file.right(extension));
                const QString key = name.toCaseFolded();
                if (!taken.contains(key) && !listed.contains(key))
                    break;
            }
        }
        taken.insert(name.toCaseFolded());
        result << name;
    }
    return result;
}

QString EnsureTrailingBackslash(const QString &folder)
{
    if (folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}

bool CreateFolderPath(const QString &folder)
{
    return !folder.isEmpty() && QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

QString folderPart(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(PathSeparator);
    if (slash < 0)
        return QString();
    return slash == 0 ? QString(PathSeparator) : fileName.left(slash);
}

QString outputFolderProblem(const QString &outputFolder)
{
    if (outputFolder.isEmpty())
        return QStringLiteral("No output folder is chosen. Choose one under Output Folder, "
                              "then rip again.");
    if (!QDir::isAbsolutePath(outputFolder))
        return QStringLiteral("The output folder \"%1\" is not a full path (one that starts "
                              "with /). Choose the folder again under Output Folder.")
            .arg(outputFolder);
    return QString();
}

} // namespace OutputNaming

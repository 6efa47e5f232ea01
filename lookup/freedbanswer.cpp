#include "lookup/freedbanswer.h"

#include <QRegularExpression>

namespace {

const QString Nil = QStringLiteral("nil");

// The lines of `text`; a line ending at the very end starts no further line.
QStringList linesOf(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

std::optional<QString> known(const QString &line)
{
    return line == Nil ? std::nullopt : std::optional<QString>(line);
}

} // namespace

std::optional<FreedbAnswer> FreedbAnswer::read(const QString &text)
{
    const QStringList lines = linesOf(text);
    if (lines.size() < 5)
        return std::nullopt;
    FreedbAnswer answer;
    answer.album = known(lines.at(0));
    answer.artist = known(lines.at(1));
    answer.genre = known(lines.at(2));
    answer.year = known(lines.at(3));
    if (lines.at(4) == Nil)
        answer.titles = lines.mid(5);
    return answer;
}

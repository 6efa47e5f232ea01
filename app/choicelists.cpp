#include "choicelists.h"

#include "libs/genres/genres.h"

#include <array>

namespace ChoiceLists {

QString genreName(int number)
{
    return QString::fromLatin1(Genres::name(number));
}

QStringList genres()
{
    QStringList list;
    for (int i = 0; i < GenreCount; ++i)
        list << QStringLiteral("%1 - %2").arg(i, 2, 10, QLatin1Char('0')).arg(genreName(i));
    return list;
}

QStringList filenameTemplates()
{
    return {QStringLiteral("track <number>"),
            QStringLiteral("<artist> - <title>"),
            QStringLiteral("<artist> - <album>\\<number>. <title>"),
            QStringLiteral("<artist> - <album>\\<number> - <title>"),
            QStringLiteral("<artist>\\<album>\\<number>. <title>"),
            QStringLiteral("<artist>\\<album>\\<number> - <title>"),
            QStringLiteral("<album>\\<number>. <artist> - <title>"),
            QStringLiteral("<album>\\<number> - <artist> - <title>"),
            QStringLiteral("<number>. <title>"),
            QStringLiteral("<number> - <title>"),
            QStringLiteral("<artist> - <album> - <number> - <title>"),
            QStringLiteral("<title>"),
            QStringLiteral("<artist> - <album>"),
            QStringLiteral("<album>")};
}

QStringList driveSpeeds()
{
    return {QStringLiteral("Default"),
            QStringLiteral("Maximum"),
            QStringLiteral("40X"),
            QStringLiteral("32X"),
            QStringLiteral("24X"),
            QStringLiteral("12X"),
            QStringLiteral("8X"),
            QStringLiteral("4X"),
            QStringLiteral("2X"),
            QStringLiteral("1X")};
}

std::optional<int> driveSpeedOf(const QString &item)
{
    if (item == QLatin1String("Maximum"))
        return 0;
    if (!item.endsWith(QLatin1Char('X')))
        return std::nullopt;
    bool ok = false;
    const int speed = item.chopped(1).toInt(&ok);
    return ok && speed > 0 ? std::optional<int>(speed) : std::nullopt;
}

} // namespace ChoiceLists

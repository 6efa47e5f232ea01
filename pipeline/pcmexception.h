#pragma once

#include <QString>

#include <stdexcept>

// The one error type of the audio components. The message is kept exactly as
// raised; what() gives it in UTF-8.
class EPcmException : public std::runtime_error
{
public:
    explicit EPcmException(const char *message)
        : std::runtime_error(message)
    {}
    explicit EPcmException(const QString &message)
        : std::runtime_error(message.toStdString())
    {}

    QString message() const { return QString::fromUtf8(what()); }
};

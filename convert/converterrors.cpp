#include "convert/converterrors.h"

#include "libs/audioconvert/audioconvert.h"

QString ConvertErrorText(int32_t code)
{
    using namespace AudioConvertLib;
    switch (code) {
    case acErrInputMissing:
        return QStringLiteral("The temporary WAV file to convert does not exist.");
    case acErrInputNotPcmWave:
        return QStringLiteral("The temporary file is not a PCM WAV file the converter can read.");
    case acErrOutputNotCreatable:
        return QStringLiteral("The output file could not be created.");
    case acErrSettingsRefused:
        return QStringLiteral("The encoder refused the quality settings.");
    case acErrWriteFailed:
        return QStringLiteral("Writing the output file failed (disk full or I/O error).");
    case acErrReadFailed:
        return QStringLiteral("Reading the temporary WAV file failed.");
    case acErrEncoderFailed:
        return QStringLiteral("The encoder failed while encoding.");
    case acErrTagsFailed:
        return QStringLiteral("The tags could not be written into the output file.");
    case acErrEncoderMissing:
        return QStringLiteral("The encoder's library %1 could not be loaded; this format cannot "
                              "be written.")
            .arg(QLatin1String(OpusEncoderLibrary));
    default:
        return QStringLiteral("The conversion failed (error code %1).").arg(code);
    }
}

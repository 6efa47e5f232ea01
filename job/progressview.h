#pragma once

class QObject;
class QString;

// The progress window as the rip job sees it: a caption, a log of lines,
// three bars in percent and the two buttons that end it. Window thread only.
class ProgressView
{
public:
    virtual ~ProgressView() = default;

    virtual void setCaption(const QString &caption) = 0;
    // Appends one line to the log.
    virtual void addLine(const QString &line) = 0;
    // Reading the current track from the disc.
    virtual void setRipPercent(int percent) = 0;
    // Converting, or on the lossless route writing, the current track.
    virtual void setConvertPercent(int percent) = 0;
    // The whole job.
    virtual void setTotalPercent(int percent) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    virtual void setExitEnabled(bool enabled) = 0;

    // The object whose destruction ends the view: once it is gone the job
    // writes nowhere.
    virtual QObject *viewObject() = 0;
};

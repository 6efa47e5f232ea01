#pragma once

#include "job/progressview.h"

#include <QObject>
#include <QStringList>

namespace TestSupport {

// A rip job's view without a window: the lines of its log, nothing else.
class LineView : public ProgressView
{
public:
    void setCaption(const QString &) override {}
    void addLine(const QString &line) override { lines << line; }
    void setRipPercent(int) override {}
    void setConvertPercent(int) override {}
    void setTotalPercent(int) override {}
    void setCancelEnabled(bool) override {}
    void setExitEnabled(bool) override {}
    QObject *viewObject() override { return &object; }

    QObject object;
    QStringList lines;
};

} // namespace TestSupport

#pragma once

#include "job/progressview.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The progress window of one rip job: the track's caption, three bars, the
// job's log and the buttons "&Cancel" (the job's CancelJob) and "&Exit"
// (closes it). A top-level window of its own with no title-bar buttons; it
// frees itself when closed, and cannot be closed while the job runs (Exit
// is enabled once the job has ended). Window thread only.
class TfrmProgress : public QWidget, public ProgressView
{
    Q_OBJECT

public:
    explicit TfrmProgress(QWidget *parent = nullptr);

    // Centres the window on `over`.
    void centreOn(const QWidget &over);

    void setCaption(const QString &caption) override;
    void addLine(const QString &line) override;
    void setRipPercent(int percent) override;
    void setConvertPercent(int percent) override;
    void setTotalPercent(int percent) override;
    void setCancelEnabled(bool enabled) override;
    void setExitEnabled(bool enabled) override;
    QObject *viewObject() override { return this; }

Q_SIGNALS:
    // btnCancel was pressed.
    void cancelRequested();
    // The window is closing: the main window may take input again.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void btnCancelClick();
    void btnExitClick();
    bool FormCloseQuery();

    QGroupBox *GroupBox = nullptr;
    QProgressBar *pbRip = nullptr;
    QProgressBar *pbConvert = nullptr;
    QProgressBar *pbTotal = nullptr;
    QPlainTextEdit *MemoInfo = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnExit = nullptr;
};

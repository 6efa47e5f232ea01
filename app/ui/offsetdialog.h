#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class SondrelCore;
struct TOffsetDetectionResult;

// "Detect read offset": runs the core's detection on one drive, with its
// stage, a progress bar and Cancel while it reads, then the answer. When an
// offset was found, "Use" closes the dialog accepted with it; nothing is
// stored here. Window thread.
class TfrmDetectOffset : public QDialog
{
    Q_OBJECT

public:
    TfrmDetectOffset(SondrelCore &core, int drive, const QString &driveName, QWidget *parent);
    ~TfrmDetectOffset() override;

    // The offset the user chose to use; empty unless accepted.
    std::optional<int> ChosenOffset() const { return m_chosen; }

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void detectionFinished(const TOffsetDetectionResult &result);
    void btnCancelClick();

    SondrelCore &m_core;
    int m_drive = -1;
    bool m_started = false;
    std::optional<int> m_found;
    std::optional<int> m_chosen;

    QLabel *lblStage = nullptr;
    QProgressBar *pbDetect = nullptr;
    QLabel *lblAnswer = nullptr;
    QPushButton *btnUse = nullptr;
    QPushButton *btnCancel = nullptr;
};

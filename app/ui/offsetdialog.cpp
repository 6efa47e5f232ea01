#include "app/ui/offsetdialog.h"

#include "app/offsetdetection.h"
#include "app/sondrelcore.h"
#include "app/ui/controlkit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace ControlKit;

TfrmDetectOffset::TfrmDetectOffset(SondrelCore &core,
                                   int drive,
                                   const QString &driveName,
                                   QWidget *parent)
    : QDialog(parent)
    , m_core(core)
    , m_drive(drive)
{
    setObjectName(QStringLiteral("frmDetectOffset"));
    setWindowTitle(QStringLiteral("Detect read offset"));
    setModal(true);
    setMinimumWidth(420);
    auto layout = new QVBoxLayout(this);
    auto intro = named(new QLabel(QStringLiteral("Drive: %1").arg(driveName)), "lblDetectDrive");
    intro->setWordWrap(true);
    layout->addWidget(intro);
    lblStage = named(new QLabel(QStringLiteral("Starting")), "lblStage");
    layout->addWidget(lblStage);
    pbDetect = named(new QProgressBar, "pbDetect");
    pbDetect->setRange(0, 100);
    pbDetect->setValue(0);
    layout->addWidget(pbDetect);
    lblAnswer = named(new QLabel, "lblAnswer");
    lblAnswer->setWordWrap(true);
    lblAnswer->setMinimumHeight(3 * lblAnswer->fontMetrics().lineSpacing());
    lblAnswer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(lblAnswer, 1);
    auto buttons = new QHBoxLayout;
    buttons->addStretch();
    btnUse = named(new QPushButton, "btnUse");
    btnUse->hide();
    btnCancel = named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");
    buttons->addWidget(btnUse);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    TOffsetDetection *detection = m_core.OffsetDetection();
    if (detection) {
        connect(detection, &TOffsetDetection::stage, lblStage, &QLabel::setText);
        connect(detection, &TOffsetDetection::progress, pbDetect, &QProgressBar::setValue);
        connect(detection, &TOffsetDetection::finished, this, &TfrmDetectOffset::detectionFinished);
    }
    connect(btnCancel, &QPushButton::clicked, this, &TfrmDetectOffset::btnCancelClick);
    connect(btnUse, &QPushButton::clicked, this, [this] {
        m_chosen = m_found;
        accept();
    });
}

TfrmDetectOffset::~TfrmDetectOffset()
{
    if (TOffsetDetection *detection = m_core.OffsetDetection())
        detection->Cancel();
}

void TfrmDetectOffset::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // Started once the dialog is up: a refusal at once still shows in it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_core.OffsetDetection()) {
                lblStage->setText(QStringLiteral("Finished"));
                lblAnswer->setText(QStringLiteral("The drive cannot be read without the CD "
                                                  "library."));
                btnCancel->setText(QStringLiteral("Close"));
                return;
            }
            m_core.StartOffsetDetection(m_drive);
        },
        Qt::QueuedConnection);
}

void TfrmDetectOffset::btnCancelClick()
{
    TOffsetDetection *detection = m_core.OffsetDetection();
    if (detection && detection->IsRunning()) {
        btnCancel->setEnabled(false);
        lblStage->setText(QStringLiteral("Cancelling"));
        detection->Cancel();
        return;
    }
    QDialog::reject();
}

void TfrmDetectOffset::reject()
{
    // Escape and the window's close button cancel a detection first.
    btnCancelClick();
}

void TfrmDetectOffset::detectionFinished(const TOffsetDetectionResult &result)
{
    if (result.kind == TOffsetDetectionResult::Cancelled) {
        QDialog::reject();
        return;
    }
    lblStage->setText(QStringLiteral("Finished"));
    pbDetect->setValue(100);
    lblAnswer->setText(result.Text());
    btnCancel->setEnabled(true);
    btnCancel->setText(QStringLiteral("Close"));
    if (result.kind == TOffsetDetectionResult::Found) {
        m_found = result.offset;
        btnUse->setText(
            result.disagreesWithList()
                ? QStringLiteral("Use %1 anyway").arg(OffsetScan::signedSamples(result.offset))
                : QStringLiteral("Use %1").arg(OffsetScan::signedSamples(result.offset)));
        btnUse->show();
        // A found offset that the drive list contradicts is never the default.
        if (result.disagreesWithList())
            btnCancel->setDefault(true);
        else
            btnUse->setDefault(true);
    }
}

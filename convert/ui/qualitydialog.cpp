#include "convert/ui/qualitydialog.h"

#include "convert/ui/mp3qualitypage.h"
#include "convert/ui/oggqualitypage.h"
#include "convert/ui/qualitywidgets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace QualityWidgets;

TfrmQuality::TfrmQuality(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmQuality"));
    setWindowTitle(QStringLiteral("Quality Options"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *banner = named(new QLabel, "imgBanner");
    banner->setPixmap(QPixmap(QStringLiteral(":/quality/banner.jpg")));
    layout->addWidget(banner);

    Notebook = named(new QStackedWidget, "Notebook");
    m_mp3 = new Mp3QualityPage;
    m_ogg = new OggQualityPage;
    Notebook->addWidget(m_mp3);
    Notebook->addWidget(buildWavPage());
    Notebook->addWidget(m_ogg);
    Notebook->setCurrentIndex(pgOgg);
    layout->addWidget(Notebook);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = named(buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole),
                            "btnOK");
    named(buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole), "btnCancel");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

TfrmQuality::~TfrmQuality() = default;

QWidget *TfrmQuality::buildWavPage()
{
    // Never shown: the window opens the dialog for MP3 and Ogg Vorbis only.
    auto *page = named(new QWidget, "wav");
    auto *form = new QFormLayout(page);
    auto *frequency = dropDownList(
        "cmbswavFrequency",
        {"48000", "44100", "32000", "24000", "22050", "16000", "11025", "8000", "6000"});
    frequency->setCurrentIndex(7);
    auto *channels = dropDownList("cmbwavchannel", {"Mono", "Stereo"});
    channels->setCurrentIndex(0);
    auto *bits = dropDownList("cmbwavBitrate", {"8 bits", "16 bits"});
    bits->setCurrentIndex(1);
    form->addRow(label("Frequency (Hz)"), frequency);
    form->addRow(label("Channels"), channels);
    form->addRow(label("Bitrate"), bits);
    return page;
}

void TfrmQuality::setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder)
{
    m_mp3->setEncoder(std::move(encoder));
}

void TfrmQuality::setPage(Page page)
{
    Notebook->setCurrentIndex(page);
}

TfrmQuality::Page TfrmQuality::page() const
{
    return Page(Notebook->currentIndex());
}

void TfrmQuality::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmQuality::FormShow()
{
    if (page() == pgMp3)
        LoadMp3Page();
}

void TfrmQuality::LoadMp3Page()
{
    m_mp3->load();
}

void TfrmQuality::prepareOggPreset(const QualityRules::OggPreset &preset)
{
    m_ogg->load(preset);
}

OggDialogChoice TfrmQuality::oggChoice() const
{
    return m_ogg->save();
}

void TfrmQuality::run(QWidget *parent,
                      const QualityRules::QualityView &view,
                      std::shared_ptr<IAudioConvertLameMp3Encoder> encoder,
                      OutputQuality &quality,
                      const ShowView &show)
{
    if (view.message || view.dialogPage == QualityRules::NoPage)
        return;
    // Made for this showing only: each opening starts from the preset.
    TfrmQuality dialog(parent);
    dialog.setPage(Page(view.dialogPage));
    if (view.oggPreset)
        dialog.prepareOggPreset(*view.oggPreset);
    dialog.setEncoder(std::move(encoder));
    if (dialog.exec() != QDialog::Accepted)
        return;
    show(dialog.page() == pgMp3 ? quality.acceptMp3Page()
                                : quality.acceptOggPage(dialog.oggChoice()),
         &dialog);
}

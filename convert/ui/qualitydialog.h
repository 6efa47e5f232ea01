#pragma once

#include "convert/qualitysettings.h"

#include <QDialog>

#include <functional>
#include <memory>

class QStackedWidget;
class Mp3QualityPage;
class OggQualityPage;

// The "Quality Options" dialog behind the quality list's "..." button. Its
// "mp3" page shows the MP3 encoder object and writes every change of a
// control into it at once (Cancel does not take those back); its "ogg" page
// only collects values, which oggChoice() returns after OK. The "wav" page
// is never shown. Made for one showing; window thread only.
class TfrmQuality : public QDialog
{
    Q_OBJECT

public:
    enum Page {
        pgMp3 = QualityRules::Mp3Page,
        pgWav = QualityRules::WavPage,
        pgOgg = QualityRules::OggPage
    };

    explicit TfrmQuality(QWidget *parent = nullptr);
    ~TfrmQuality() override;

    // Opens a dialog on the page `view` names, its "ogg" page prepared as
    // the view says, over `encoder`; after OK, what `quality` makes of the
    // page goes to `show` with the dialog as the owner of its message.
    // Nothing for a view with no page or with a message.
    using ShowView = std::function<void(const QualityRules::QualityView &, QWidget *owner)>;
    static void run(QWidget *parent,
                    const QualityRules::QualityView &view,
                    std::shared_ptr<IAudioConvertLameMp3Encoder> encoder,
                    OutputQuality &quality,
                    const ShowView &show);

    // The encoder the "mp3" page shows and writes into; the dialog shares it.
    void setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder);
    void setPage(Page page);
    Page page() const;

    // Reads the encoder into the "mp3" page (run when the dialog is shown on it).
    void LoadMp3Page();

    // The "ogg" page as an Ogg Vorbis preset leaves it.
    void prepareOggPreset(const QualityRules::OggPreset &preset);
    OggDialogChoice oggChoice() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildWavPage();
    void FormShow();

    QStackedWidget *Notebook = nullptr;
    Mp3QualityPage *m_mp3 = nullptr;
    OggQualityPage *m_ogg = nullptr;
};

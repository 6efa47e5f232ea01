#include "app/ui/optionpages.h"

#include "app/choicelists.h"
#include "app/ripsession.h"
#include "app/settings.h"
#include "app/ui/controlkit.h"
#include "convert/outputformats.h"
#include "convert/qualityrules.h"
#include "job/trackreads.h"
#include "pipeline/cdinput.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

using namespace ControlKit;

namespace {

QWidget *buildGeneralPage(OptionControls &c, QAction *enumRename, QAction *quality)
{
    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);

    auto output = named(new QGroupBox(QStringLiteral("Output")), "grpOutput");
    auto out = new QVBoxLayout(output);
    out->setContentsMargins(6, 6, 6, 6);
    c.edtDestFolder = readOnlyField("edtDestFolder");
    c.edtDestFolder->setText(SettingsStore::defaultDestFolder());
    c.edtDestFolderButton = fieldButton("edtDestFolderButton",
                                        QStringLiteral("..."),
                                        QStringLiteral("Please select a folder"));
    out->addWidget(new QLabel(QStringLiteral("Output Folder")));
    out->addWidget(fieldWithButton(c.edtDestFolder, c.edtDestFolderButton));

    c.cmbRename = named(new QComboBox, "cmbRename");
    c.cmbRename->addItems(ChoiceLists::filenameTemplates());
    c.cmbRename->setCurrentIndex(0);
    out->addWidget(new QLabel(QStringLiteral("Output Filenames")));
    out->addWidget(fieldWithButton(c.cmbRename, actionButton("btnEnumrename", enumRename)));
    out->addWidget(helpLabel(QStringLiteral("Use <artist>,<album>,<number>,<title>,<year>,")));
    out->addWidget(
        helpLabel(QStringLiteral("and <genre> to create a unique filename for \neach track.")));
    out->addWidget(helpLabel(QStringLiteral("You can also use backslash (\\) to create folders.")));
    layout->addWidget(output);

    auto format = named(new QGroupBox(QStringLiteral("Output Format")), "grpOutputFormat");
    auto fmt = new QVBoxLayout(format);
    c.cmbOutformat = named(new QComboBox, "cmbOutformat");
    c.cmbOutformat->addItems(OutputFormats::captions());
    fmt->addWidget(new QLabel(QStringLiteral("Output format")));
    fmt->addWidget(c.cmbOutformat);
    c.edtQuality = named(new QComboBox, "edtQuality");
    fmt->addWidget(new QLabel(QStringLiteral("Quality")));
    fmt->addWidget(fieldWithButton(c.edtQuality, actionButton("btnQuality", quality)));
    c.lblTips = named(new QLabel, "lblTips");
    c.lblTips->setWordWrap(true);
    c.lblTips->setMinimumHeight(48);
    c.lblTips->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fmt->addWidget(c.lblTips);
    layout->addWidget(format);
    layout->addStretch();
    return page;
}

QGroupBox *buildSpeedBox(OptionControls &c)
{
    auto speed = named(new QGroupBox(QStringLiteral("Speed")), "grpSpeed");
    auto rows = new QGridLayout(speed);
    c.chkEncodeWhileReading = named(new QCheckBox(
                                        QStringLiteral("Encode while reading the next track")),
                                    "chkEncodeWhileReading");
    c.chkEncodeWhileReading->setChecked(true);
    c.chkEncodeWhileReading->setToolTip(
        QStringLiteral("The drive reads on while the tracks before are converted, several at "
                       "once; the files are the same either way"));
    c.edtParallelConversions = named(new QSpinBox, "edtParallelConversions");
    c.edtParallelConversions->setRange(1, SettingsKeys::MaxParallelConversions);
    c.edtParallelConversions->setValue(SettingsStore::defaultParallelConversions());
    c.edtParallelConversions->setToolTip(
        QStringLiteral("How many tracks are converted at the same time; one per core is best"));
    rows->addWidget(c.chkEncodeWhileReading, 0, 0, 1, 2);
    rows->addWidget(new QLabel(QStringLiteral("Conversions at once")), 1, 0);
    rows->addWidget(c.edtParallelConversions, 1, 1);
    QObject::connect(c.chkEncodeWhileReading,
                     &QCheckBox::toggled,
                     c.edtParallelConversions,
                     &QWidget::setEnabled);
    return speed;
}

QWidget *buildAdvancedPage(OptionControls &c)
{
    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);

    auto meta = named(new QGroupBox(QStringLiteral("Additional metadata")), "grpMetadata");
    auto form = new QGridLayout(meta);
    c.edtComment = named(new QPlainTextEdit, "edtComment");
    c.edtComment->setFixedHeight(3 * c.edtComment->fontMetrics().lineSpacing() + 10);
    c.edtCopyright = named(new QLineEdit, "edtCopyright");
    c.edtUrl = named(new QLineEdit, "edtUrl");
    c.edtEncodedby = named(new QLineEdit, "edtEncodedby");
    int row = 0;
    for (auto [text, field] : {std::pair<const char *, QWidget *>{"Comment", c.edtComment},
                               {"Copyright", c.edtCopyright},
                               {"URL", c.edtUrl},
                               {"Encoded by", c.edtEncodedby}}) {
        form->addWidget(new QLabel(QLatin1String(text)), row, 0);
        form->addWidget(field, row, 1);
        ++row;
    }
    layout->addWidget(meta);

    auto sources = named(new QGroupBox(QStringLiteral("Metadata sources")), "grpMetadataSources");
    auto sourceChecks = new QVBoxLayout(sources);
    c.chkMusicBrainzIds = named(new QCheckBox(QStringLiteral("Write MusicBrainz identifiers")),
                                "chkMusicBrainzIds");
    c.chkMusicBrainzIds->setChecked(true);
    c.chkMusicBrainzIds->setToolTip(
        QStringLiteral("The release, recording, artist and disc ids go into the tags, so that "
                       "library tools need not look the files up again"));
    c.chkCdText = named(new QCheckBox(QStringLiteral("Fill in CD-Text when a disc arrives")),
                        "chkCdText");
    c.chkCdText->setChecked(true);
    c.chkCdText->setToolTip(QStringLiteral("The titles and performers the disc carries fill "
                                           "empty fields before any lookup"));
    sourceChecks->addWidget(c.chkMusicBrainzIds);
    sourceChecks->addWidget(c.chkCdText);
    layout->addWidget(sources);

    auto other = named(new QGroupBox(QStringLiteral("Other options")), "grpOtherOptions");
    auto opts = new QVBoxLayout(other);
    c.chkEject = named(new QCheckBox(QStringLiteral("Eject CD when finished")), "chkEject");
    c.chkmklist = named(new QCheckBox(QStringLiteral("Make play list file when finished")),
                        "chkmklist");
    c.edtFilename = readOnlyField("edtFilename");
    QPalette tipColours = c.edtFilename->palette();
    tipColours.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    tipColours.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    c.edtFilename->setPalette(tipColours);
    c.edtFilenameButton = fieldButton("edtFilenameButton",
                                      QStringLiteral("..."),
                                      QStringLiteral("Please input Playlist Filename"));
    opts->addWidget(c.chkEject);
    opts->addWidget(c.chkmklist);
    auto playlistRow = fieldWithButton(c.edtFilename, c.edtFilenameButton);
    playlistRow->setObjectName(QStringLiteral("pnlFilename"));
    opts->addWidget(playlistRow);
    layout->addWidget(other);

    auto verify = named(new QGroupBox(QStringLiteral("Verified rips")), "grpVerifiedRips");
    auto checks = new QGridLayout(verify);
    c.chkAccurateRip = named(new QCheckBox(QStringLiteral("Verify with AccurateRip")),
                             "chkAccurateRip");
    c.chkRipLog = named(new QCheckBox(QStringLiteral("Write rip log")), "chkRipLog");
    c.chkCueSheet = named(new QCheckBox(QStringLiteral("Write CUE sheet")), "chkCueSheet");
    c.edtReadOffset = named(new QSpinBox, "edtReadOffset");
    c.edtReadOffset->setRange(MinReadOffset, MaxReadOffset);
    c.edtReadOffset->setValue(0);
    c.edtReadOffset->setSuffix(QStringLiteral(" samples"));
    c.edtReadOffset->setToolTip(
        QStringLiteral("The read offset of the drive chosen above: audio is shifted by this "
                       "many samples so that checksums match other rips of the disc"));
    checks->addWidget(c.chkAccurateRip, 0, 0, 1, 2);
    checks->addWidget(c.chkRipLog, 1, 0, 1, 2);
    checks->addWidget(c.chkCueSheet, 2, 0, 1, 2);
    checks->addWidget(new QLabel(QStringLiteral("Drive read offset")), 3, 0);
    checks->addWidget(c.edtReadOffset, 3, 1);
    c.btnDetectOffset = named(new QPushButton(QStringLiteral("Detect...")), "btnDetectOffset");
    c.btnDetectOffset->setToolTip(
        QStringLiteral("Finds the drive's read offset from a disc that AccurateRip knows"));
    checks->addWidget(c.btnDetectOffset, 4, 1);
    layout->addWidget(verify);

    auto reading = named(new QGroupBox(QStringLiteral("Secure reading")), "grpSecureReading");
    auto rows = new QGridLayout(reading);
    c.chkTestCopy = named(new QCheckBox(QStringLiteral("Test && copy (read each track twice)")),
                          "chkTestCopy");
    c.chkReread = named(new QCheckBox(QStringLiteral("Re-read what does not match")), "chkReread");
    c.chkReread->setToolTip(
        QStringLiteral("A track that does not match AccurateRip, or whose test and copy differ, "
                       "is read again until it matches or two reads agree"));
    c.edtRereadLimit = named(new QSpinBox, "edtRereadLimit");
    c.edtRereadLimit->setRange(1, TReadOptions::MaxRereadLimit);
    c.edtRereadLimit->setValue(TReadOptions::DefaultRereadLimit);
    c.edtRereadLimit->setToolTip(QStringLiteral("How many times a track is read again at most"));
    c.chkGoOn = named(new QCheckBox(QStringLiteral("Go on after a failed track")), "chkGoOn");
    c.chkGoOn->setToolTip(QStringLiteral("A track that cannot be read or written leaves no file, "
                                         "and the job goes on with the next one"));
    rows->addWidget(c.chkTestCopy, 0, 0, 1, 2);
    rows->addWidget(c.chkReread, 1, 0, 1, 2);
    rows->addWidget(new QLabel(QStringLiteral("Extra reads at most")), 2, 0);
    rows->addWidget(c.edtRereadLimit, 2, 1);
    rows->addWidget(c.chkGoOn, 3, 0, 1, 2);
    layout->addWidget(reading);

    auto gaps = named(new QGroupBox(QStringLiteral("Pregaps and CUE sheets")), "grpPregaps");
    auto gapRows = new QGridLayout(gaps);
    c.chkDetectGaps = named(new QCheckBox(QStringLiteral("Detect gaps")), "chkDetectGaps");
    c.chkDetectGaps->setToolTip(
        QStringLiteral("Before a rip, find each track's pregap, sub-indexes and pre-emphasis in "
                       "the drive's sub-channel (always done for a CUE sheet)"));
    c.chkHiddenAudio = named(new QCheckBox(QStringLiteral("Rip hidden audio before track 1")),
                             "chkHiddenAudio");
    c.chkHiddenAudio->setToolTip(
        QStringLiteral("Audio before track 1's start is ripped as track 00, unless it is silent"));
    c.cmbCueLayout = named(new QComboBox, "cmbCueLayout");
    // Its longest item would widen the page past the panel; the list shows them whole.
    c.cmbCueLayout->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c.cmbCueLayout->setMinimumContentsLength(12);
    c.cmbCueLayout->addItems({QStringLiteral("gaps appended to the previous track"),
                              QStringLiteral("gaps prepended to the next track"),
                              QStringLiteral("gaps left out")});
    gapRows->addWidget(c.chkDetectGaps, 0, 0, 1, 2);
    gapRows->addWidget(c.chkHiddenAudio, 1, 0, 1, 2);
    gapRows->addWidget(new QLabel(QStringLiteral("CUE sheet")), 2, 0);
    gapRows->addWidget(c.cmbCueLayout, 2, 1);
    layout->addWidget(gaps);
    layout->addWidget(buildSpeedBox(c));
    layout->addStretch();
    c.enableRereads();
    for (QCheckBox *box : {c.chkAccurateRip, c.chkReread})
        QObject::connect(box, &QCheckBox::toggled, page, [&c] { c.enableRereads(); });
    return page;
}

} // namespace

OptionPages::OptionPages(OptionControls &controls,
                         QAction *enumRename,
                         QAction *quality,
                         QWidget *parent)
    : QTabWidget(parent)
{
    setObjectName(QStringLiteral("PageControl"));
    addTab(buildGeneralPage(controls, enumRename, quality), QStringLiteral("General"));
    widget(0)->setObjectName(QStringLiteral("tsGeneral"));
    // The Advanced page holds more than the window's default height shows:
    // it scrolls rather than squeezing its boxes until their texts are cut.
    auto advanced = new QScrollArea;
    advanced->setWidget(buildAdvancedPage(controls));
    advanced->setWidgetResizable(true);
    advanced->setFrameShape(QFrame::NoFrame);
    advanced->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    addTab(advanced, QStringLiteral("Advanced"));
    widget(1)->setObjectName(QStringLiteral("tsAdvanced"));
    connect(controls.edtDestFolder, &QLineEdit::textChanged, this, [&controls] {
        controls.followOutputFolder();
    });
}

void OptionControls::readChoices(RipChoices &c) const
{
    c.format = cmbOutformat->currentIndex();
    c.filenameTemplate = cmbRename->currentText();
    c.outputFolder = edtDestFolder->text();
    c.comment = edtComment->toPlainText();
    c.copyright = edtCopyright->text();
    c.url = edtUrl->text();
    c.encodedBy = edtEncodedby->text();
    c.eject = chkEject->isChecked();
    c.makeList = chkmklist->isChecked();
    c.playlistFile = edtFilename->text();
    c.verify = chkAccurateRip->isChecked();
    c.writeLog = chkRipLog->isChecked();
    c.writeCue = chkCueSheet->isChecked();
    c.testAndCopy = chkTestCopy->isChecked();
    c.reread = chkReread->isChecked() && chkReread->isEnabled();
    c.rereadLimit = edtRereadLimit->value();
    c.goOn = chkGoOn->isChecked();
    c.detectGaps = chkDetectGaps->isChecked();
    c.ripHiddenAudio = chkHiddenAudio->isChecked();
    c.cueLayout = cmbCueLayout->currentIndex();
    c.writeMusicBrainzIds = chkMusicBrainzIds->isChecked();
    c.encodeWhileReading = chkEncodeWhileReading->isChecked();
    c.parallelConversions = edtParallelConversions->value();
}

void OptionControls::showStored(const StoredOptions &stored)
{
    if (stored.destFolder)
        edtDestFolder->setText(*stored.destFolder);
    if (stored.ejectCD)
        chkEject->setChecked(*stored.ejectCD);
    if (stored.makeList)
        chkmklist->setChecked(*stored.makeList);
    if (stored.endOfJobRead) {
        if (chkmklist->isChecked())
            edtFilename->setText(RipSession::defaultPlaylistFile(edtDestFolder->text()));
        else
            setPlaylistFieldEnabled(false);
    }
    const std::pair<QCheckBox *, std::optional<bool>> verified[] = {
        {chkAccurateRip, stored.verifyAccurateRip},
        {chkRipLog, stored.writeRipLog},
        {chkCueSheet, stored.writeCueSheet},
        {chkTestCopy, stored.testAndCopy},
        {chkReread, stored.rereadMismatches},
        {chkGoOn, stored.goOnAfterFailure},
        {chkDetectGaps, stored.detectGaps},
        {chkHiddenAudio, stored.ripHiddenAudio},
        {chkMusicBrainzIds, stored.writeMusicBrainzIds},
        {chkCdText, stored.fillFromCdText},
        {chkEncodeWhileReading, stored.encodeWhileReading},
    };
    for (const auto &[box, on] : verified) {
        if (on)
            box->setChecked(*on);
    }
    if (stored.cueLayout) {
        const QSignalBlocker quiet(cmbCueLayout);
        cmbCueLayout->setCurrentIndex(*stored.cueLayout);
    }
    if (stored.parallelConversions) {
        const QSignalBlocker quiet(edtParallelConversions);
        edtParallelConversions->setValue(*stored.parallelConversions);
    }
    if (stored.rereadLimit) {
        // Shown as stored, not stored again.
        const QSignalBlocker quiet(edtRereadLimit);
        edtRereadLimit->setValue(*stored.rereadLimit);
    }
    // Each selection runs the window's handler, which sends the quality on.
    const auto inList = [](const QComboBox *list, const std::optional<int> &index) {
        return index && *index >= 0 && *index < list->count();
    };
    const bool formatShown = !stored.outputFormat || inList(cmbOutformat, stored.outputFormat);
    if (stored.outputFormat && formatShown)
        cmbOutformat->setCurrentIndex(*stored.outputFormat);
    // An entry kept for a format that is not shown is no entry of this list.
    if (formatShown && inList(edtQuality, stored.qualityEntry))
        edtQuality->setCurrentIndex(*stored.qualityEntry);
    if (stored.filenameTemplate) {
        const int templ = cmbRename->findText(*stored.filenameTemplate, Qt::MatchExactly);
        if (templ >= 0)
            cmbRename->setCurrentIndex(templ);
    }
}

void OptionControls::storeOutputChoices(SettingsStore &settings, QObject *context)
{
    QObject::connect(cmbOutformat,
                     &QComboBox::currentIndexChanged,
                     context,
                     [this, &settings](int format) {
                         settings.StoreOutputFormat(format);
                         // The new format's list came up on its default
                         // entry without a signal of its own.
                         settings.StoreQualityEntry(edtQuality->currentIndex());
                     });
    QObject::connect(edtQuality, &QComboBox::currentIndexChanged, context, [&settings](int entry) {
        if (entry >= 0)
            settings.StoreQualityEntry(entry);
    });
    QObject::connect(cmbRename,
                     &QComboBox::currentTextChanged,
                     context,
                     [&settings](const QString &templ) { settings.StoreFilenameTemplate(templ); });
    QObject::connect(edtRereadLimit, &QSpinBox::valueChanged, context, [&settings](int reads) {
        settings.StoreRereadLimit(reads);
    });
    QObject::connect(cmbCueLayout,
                     &QComboBox::currentIndexChanged,
                     context,
                     [&settings](int layout) { settings.StoreCueLayout(layout); });
    QObject::connect(edtParallelConversions,
                     &QSpinBox::valueChanged,
                     context,
                     [&settings](int conversions) {
                         settings.StoreParallelConversions(conversions);
                     });
}

void OptionControls::enableRereads()
{
    chkReread->setEnabled(chkAccurateRip->isChecked());
    edtRereadLimit->setEnabled(chkReread->isEnabled() && chkReread->isChecked());
}

void OptionControls::choosePlaylist(const QString &file)
{
    edtFilename->setText(file);
    playlistChosen = true;
}

void OptionControls::followOutputFolder()
{
    if (!playlistChosen && !edtFilename->text().isEmpty())
        edtFilename->setText(RipSession::defaultPlaylistFile(edtDestFolder->text()));
}

void OptionControls::setPlaylistFieldEnabled(bool enabled)
{
    edtFilename->setEnabled(enabled);
    edtFilenameButton->setEnabled(enabled);
}

void OptionControls::showQuality(const QualityRules::QualityView &view,
                                 QAction *quality,
                                 QWidget *owner)
{
    if (view.entries) {
        // Filling and selecting from here is no choice of the user's.
        const QSignalBlocker quiet(edtQuality);
        edtQuality->clear();
        edtQuality->addItems(*view.entries);
        edtQuality->setCurrentIndex(view.entry);
    }
    if (view.dialogEnabled)
        quality->setEnabled(*view.dialogEnabled);
    if (view.clearTips)
        lblTips->clear();
    if (view.tips)
        lblTips->setText(*view.tips);
    if (view.message)
        QMessageBox::information(owner, owner->windowTitle(), *view.message);
}

void OptionControls::keepVerifiedRipFlags(QObject *context,
                                          const std::function<void(StoredFlag, bool)> &store)
{
    const std::pair<QCheckBox *, StoredFlag> kept[] = {
        {chkAccurateRip, StoredFlag::VerifyAccurateRip},
        {chkRipLog, StoredFlag::WriteRipLog},
        {chkCueSheet, StoredFlag::WriteCueSheet},
        {chkTestCopy, StoredFlag::TestAndCopy},
        {chkReread, StoredFlag::RereadMismatches},
        {chkGoOn, StoredFlag::GoOnAfterFailure},
        {chkDetectGaps, StoredFlag::DetectGaps},
        {chkHiddenAudio, StoredFlag::RipHiddenAudio},
        {chkMusicBrainzIds, StoredFlag::WriteMusicBrainzIds},
        {chkCdText, StoredFlag::FillFromCdText},
        {chkEncodeWhileReading, StoredFlag::EncodeWhileReading},
    };
    for (const auto &[box, flag] : kept) {
        QObject::connect(box, &QCheckBox::clicked, context, [store, flag = flag](bool checked) {
            store(flag, checked);
        });
    }
}

#pragma once

#include <QTabWidget>

#include <functional>

struct RipChoices;
struct StoredOptions;
enum class StoredFlag;
class QObject;
class SettingsStore;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class QWidget;
namespace QualityRules {
struct QualityView;
} // namespace QualityRules

// The controls of the side panel's pages, named as their objectNames; the
// main window has them as members of its own.
struct OptionControls
{
    // "General"
    QLineEdit *edtDestFolder = nullptr;
    QToolButton *edtDestFolderButton = nullptr;
    QComboBox *cmbRename = nullptr;
    QComboBox *cmbOutformat = nullptr;
    QComboBox *edtQuality = nullptr;
    QLabel *lblTips = nullptr;
    // "Advanced"
    QPlainTextEdit *edtComment = nullptr;
    QLineEdit *edtCopyright = nullptr;
    QLineEdit *edtUrl = nullptr;
    QLineEdit *edtEncodedby = nullptr;
    QCheckBox *chkEject = nullptr;
    QCheckBox *chkmklist = nullptr;
    QLineEdit *edtFilename = nullptr;
    QToolButton *edtFilenameButton = nullptr;
    // "Advanced", verified rips
    QCheckBox *chkAccurateRip = nullptr;
    QCheckBox *chkRipLog = nullptr;
    QCheckBox *chkCueSheet = nullptr;
    QSpinBox *edtReadOffset = nullptr; // samples, for the drive chosen in cmbDevice
    QPushButton *btnDetectOffset = nullptr;
    // "Advanced", secure reading
    QCheckBox *chkTestCopy = nullptr;
    QCheckBox *chkReread = nullptr; // needs chkAccurateRip
    QSpinBox *edtRereadLimit = nullptr;
    QCheckBox *chkGoOn = nullptr;
    // "Advanced", pregaps and CUE sheets
    QCheckBox *chkDetectGaps = nullptr;
    QCheckBox *chkHiddenAudio = nullptr;
    QComboBox *cmbCueLayout = nullptr; // item index = TCueLayout
    // "Advanced", metadata (both on by default)
    QCheckBox *chkMusicBrainzIds = nullptr;
    QCheckBox *chkCdText = nullptr;
    // "Advanced", speed: the next track read while the last ones are encoded
    QCheckBox *chkEncodeWhileReading = nullptr;
    QSpinBox *edtParallelConversions = nullptr; // needs chkEncodeWhileReading
    // The user named the playlist file himself: it no longer follows the
    // output folder.
    bool playlistChosen = false;

    // The verified-rip and reading boxes only need keeping: each click goes
    // to `store` for as long as `context` lives.
    void keepVerifiedRipFlags(QObject *context, const std::function<void(StoredFlag, bool)> &store);
    // The output, tag, end-of-job and verified-rip choices as shown now.
    void readChoices(RipChoices &choices) const;
    // The options as stored, each one that was read; the playlist field
    // follows "Make play list file when finished". A stored format, quality
    // entry or template that its list does not hold leaves the list as it is.
    void showStored(const StoredOptions &stored);
    // From now on each change of the format, the quality entry, the
    // template or the re-read limit is stored, as long as `context` (the
    // owner of `settings`) lives.
    void storeOutputChoices(SettingsStore &settings, QObject *context);
    // A playlist file the user picked, which then stays as it is.
    void choosePlaylist(const QString &file);
    // The default playlist of the new output folder, unless the user chose
    // one; an empty field (no playlist asked for yet) stays empty.
    void followOutputFolder();
    void setPlaylistFieldEnabled(bool enabled);
    // Re-reads need AccurateRip, the limit re-reads.
    void enableRereads();
    // A quality view into the quality list, the "..." action and the hint;
    // its message shows in an information box owned by `owner`.
    void showQuality(const QualityRules::QualityView &view, QAction *quality, QWidget *owner);
};

// The side panel's two pages, "General" (output folder, filename template,
// format and quality) and "Advanced" (the tag fields, the end-of-job
// options and those of verified rips), with their controls in their first state, put into `controls`.
// The window connects them to its handlers.
class OptionPages : public QTabWidget
{
    Q_OBJECT

public:
    // The two actions run by the "..." buttons of the template and quality lists.
    OptionPages(OptionControls &controls,
                QAction *enumRename,
                QAction *quality,
                QWidget *parent = nullptr);
};

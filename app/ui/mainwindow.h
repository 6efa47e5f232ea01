#pragma once

#include "app/ui/discpanel.h"
#include "app/ui/mainactions.h"
#include "app/ui/optionpages.h"
#include "job/ui/progresswindow.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QTimer;
class QWidget;
class DiscModel;
class FreedbWait;
struct FreedbReply;
struct RipChoices;
class SettingsStore;
class SidePanel;
class SondrelCore;
class TfrmQuality;
class TipPane;
class TRipJob;
class TrackListView;
class PlayerControls;
namespace QualityRules {
struct QualityView;
} // namespace QualityRules

// The program's one window: its controls and their thin handlers. The
// long-lived components, the settings and the disc live in the core it owns;
// the handlers reach them by their names (CDIn, WaveOut, ...), the track
// list shows the core's disc. Window thread only.
class TfrmMain : public QMainWindow, private DiscControls, private OptionControls, private MainActions
{
    Q_OBJECT

public:
    explicit TfrmMain(std::unique_ptr<SettingsStore> settings, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // What lives beneath the window; null once the window is being destroyed.
    SondrelCore *core() const { return m_core; }

    // Shows the folder picker at `folder`; true and the chosen folder when
    // one was picked.
    bool BrowseForFolder(const QString &caption, QString &folder);

    // The system's notice that a device arrived (0x8000) or went (0x8004);
    // other codes are ignored.
    void WMDeviceChange(int eventCode);
    // True when at least one track is ticked for ripping.
    bool AnyTrackTicked() const;

    // The full output path of one track: templ (the filename template
    // followed by the format's extension) filled with the track's values and
    // the album, year, genre and output folder shown at this moment.
    QString BuildOutputFileName(const QString &templ,
                                const QString &artist,
                                const QString &number,
                                const QString &title) const;
    // Clears list and adds the output path of every track-list row, ticked
    // or not, in row order, with names that expand alike made distinct. A
    // rip names the record of a ticked row by that row's entry, so these are
    // the names it writes.
    void BuildOutputFileList(QStringList &list) const;

    // The rip job, with the output paths finished in the current job
    // (PlaylistEntries); null once the window is being destroyed.
    TRipJob *ripJob() const;
    // The progress window of the current or last job, until it is closed.
    TfrmProgress *progressWindow() const { return frmProgress; }

    // The CD player: whether one exists (a disc is listed), and stopping it
    // when it plays, as a rip does before it reads the disc.
    bool playerExists() const;
    void stopPlayerIfPlaying();
    // The player's window side: actions, seek bar, the playing track.
    PlayerControls *playerControls() const { return m_player; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildUi();
    QWidget *buildDiscPanel();
    void buildPlayer();
    QWidget *buildTrackList();
    QWidget *buildOptionPages();
    void buildActions();
    void buildComponents();

    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormDestroy();

    void FillDriveList();
    void FillTrackList();
    void cmbDeviceChange();
    void ActSelallExecute();
    void ActSelnoneExecute();
    void ActInvertExecute();
    void CDListChange();
    void ActripUpdate();
    void ActripExecute();
    void ActEnumrenameExecute();
    void ActEnumrenameUpdate();
    // The disc lookup: the wait form and the worker, then the reply spread
    // over the disc's fields and rows.
    void ActFreeDBExecute();
    void ActFreeDBDone(const FreedbReply &reply);
    // What the controls show now, for a rip or its names.
    RipChoices ripChoices() const;
    void PelListResize();

    void edtDestFolderButtonClick();
    void edtDestFolderChange(const QString &text);
    void chkEjectClick();
    void chkmklistClick();
    // Stores the offset for the drive chosen in cmbDevice.
    void edtReadOffsetChange(int samples);
    // Shows the stored offset of the drive chosen in cmbDevice, and reads
    // that drive with it.
    void showReadOffset();
    // Finds the chosen drive's read offset from the disc in it, and keeps
    // it when the user says so.
    void btnDetectOffsetClick();
    // Before the first rip of a drive without a stored offset: offers the
    // AccurateRip drive list's offset, and keeps the answer.
    void offerListedReadOffset(int drive);
    void edtFilenameButtonClick();
    void cmbOutformatChange();
    void edtQualityChange();
    // Applies the selected quality of the selected format and, when
    // ShowDialog, shows the quality dialog and applies what it returns.
    void ApplyQualitySettings(bool ShowDialog);
    void ActQualityExecute();

    // Logs a start-up or shut-down step (category "sondrel.lifecycle").
    void step(const char *name);
    void showError(const QString &message);
    // The error box once the event loop runs again.
    void showErrorLater(const QString &message);
    // Runs a handler; what it throws is shown with showErrorLater().
    void guarded(const std::function<void()> &handler);
    DiscModel *disc() const;

    SondrelCore *m_core = nullptr; // deleted by FormDestroy
    bool m_shown = false;

    // Controls, named as their objectName (those of the panels come from
    // DiscControls and OptionControls).
    QWidget *pel = nullptr;
    QLabel *Image = nullptr;
    QWidget *PelList = nullptr;
    QWidget *Panel2 = nullptr;
    TrackListView *CDList = nullptr;
    SidePanel *sidePanel = nullptr;
    QLabel *spTotal = nullptr;
    TipPane *spTips = nullptr;
    QLabel *lblSubmitDisc = nullptr; // "Submit this disc to MusicBrainz", when no database knows it

    // The player's actions, seek bar and the one player of the program.
    PlayerControls *m_player = nullptr;
    QPointer<TfrmProgress> frmProgress;
    // The wait form while a lookup runs.
    std::unique_ptr<FreedbWait> m_freedbWait;

    // Timers and dialogs (the actions come from MainActions).
    QObject *imgList = nullptr;
    QTimer *TimerCD = nullptr;
    QFileDialog *SaveDialog = nullptr;
};

#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

namespace AudioConvertLib {
class IAudioConvertInformation;
class IAudioConvertLameMp3Encoder;
} // namespace AudioConvertLib
class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class DeviceMonitor;
class SettingsStore;
class TAudioConvert;
class TCDIn;
class TFLACOut;
class TMACOut;
class TWaveOut;
class SidePanel;

// The program's one window. It owns every long-lived component and wires the
// controls to them; the logic itself lives in the libraries it calls.
// Window thread only.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmMain(std::unique_ptr<SettingsStore> settings, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The names of the start-up and shut-down steps in the order they ran.
    const QStringList &lifecycleSteps() const { return m_lifecycle; }

    // Shows the folder picker; true and the chosen folder when one was picked.
    bool BrowseForFolder(const QString &caption, QString &folder);

    // The system's notice that a device arrived (0x8000) or went (0x8004);
    // other codes are ignored.
    void WMDeviceChange(int eventCode);
    // True when at least one track is ticked for ripping.
    bool AnyTrackTicked() const;

    // The output paths finished in the current job, in finishing order.
    QStringList PlaylistEntries;
    // True while a mouse button is held on the seek bar.
    bool SeekDragging = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildUi();
    QWidget *buildHeaderStrip();
    QWidget *buildTrackList();
    QWidget *buildGeneralPage();
    QWidget *buildAdvancedPage();
    void buildStatusBar();
    void buildActions();
    void buildComponents();
    void createWriters();

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
    void setAllTicks(const std::function<bool(bool)> &tick);
    void CDListChange();
    void ActripUpdate();
    void PelListResize();

    void edtDestFolderButtonClick();
    void edtDestFolderChange(const QString &text);
    void chkEjectClick();
    void chkmklistClick();
    void edtFilenameButtonClick();
    void setPlaylistFieldEnabled(bool enabled);
    void cmbOutformatChange();

    void step(const QString &name);
    void showError(const QString &message);

    std::unique_ptr<SettingsStore> m_settings;
    QStringList m_lifecycle;
    bool m_shown = false;

    // Controls, named as their objectName.
    QWidget *pel = nullptr;
    QLabel *Image = nullptr;
    QWidget *PelList = nullptr;
    QWidget *Panel2 = nullptr;
    QComboBox *cmbDevice = nullptr;
    QComboBox *cmbSpeed = nullptr;
    QLineEdit *edtArtist = nullptr;
    QLineEdit *edtAlbum = nullptr;
    QComboBox *edtGenre = nullptr;
    QLineEdit *edtYear = nullptr;
    QPushButton *btnSelect = nullptr;
    QPushButton *btnFreeDB = nullptr;
    QPushButton *btnRip = nullptr;
    QToolBar *ToolPlay = nullptr;
    QSlider *TrackBar = nullptr;
    QTableWidget *CDList = nullptr;
    SidePanel *sidePanel = nullptr;
    QLineEdit *edtDestFolder = nullptr;
    QComboBox *cmbRename = nullptr;
    QComboBox *cmbOutformat = nullptr;
    QComboBox *edtQuality = nullptr;
    QLabel *lblTips = nullptr;
    QPlainTextEdit *edtComment = nullptr;
    QLineEdit *edtCopyright = nullptr;
    QLineEdit *edtUrl = nullptr;
    QLineEdit *edtEncodedby = nullptr;
    QCheckBox *chkEject = nullptr;
    QCheckBox *chkmklist = nullptr;
    QLineEdit *edtFilename = nullptr;
    QToolButton *m_playlistButton = nullptr;
    QLabel *spTotal = nullptr;
    QLabel *spTips = nullptr;

    // Components.
    TAudioConvert *AudioConvert = nullptr;
    std::shared_ptr<AudioConvertLib::IAudioConvertInformation> m_information; // tags
    std::shared_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> m_encoder;  // MP3 settings
    TCDIn *CDIn = nullptr; // null when the CD library could not be loaded
    TWaveOut *WaveOut = nullptr;
    TFLACOut *FLACOut = nullptr; // null without libFLAC
    TMACOut *MACOut = nullptr;   // null without libMACDll
    DeviceMonitor *m_deviceMonitor = nullptr;
    QStringList m_startupErrors; // shown once the window is on screen
    QObject *ActionList = nullptr;
    QAction *ActcdPlay = nullptr;
    QAction *ActcdFirst = nullptr;
    QAction *ActcdPred = nullptr;
    QAction *ActcdNext = nullptr;
    QAction *ActcdLast = nullptr;
    QAction *ActcdStop = nullptr;
    QAction *ActcdPause = nullptr;
    QAction *ActcdEject = nullptr;
    QAction *ActClosetray = nullptr;
    QAction *ActopenVolume = nullptr;
    QAction *ActSelall = nullptr;
    QAction *ActSelnone = nullptr;
    QAction *ActInvert = nullptr;
    QAction *ActFreeDB = nullptr;
    QAction *Actrip = nullptr;
    QAction *ActEnumrename = nullptr;
    QAction *ActQuality = nullptr;
    QMenu *PopupSelect = nullptr;
    QObject *imgList = nullptr;
    QTimer *Timer = nullptr;
    QTimer *TimeRip = nullptr;
    QTimer *TimerCD = nullptr;
    QFileDialog *SaveDialog = nullptr;
};

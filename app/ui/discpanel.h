#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class DiscModel;
struct RipChoices;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QToolBar;

// The controls of the strip above the track list, named as their
// objectNames; the main window has them as members of its own.
struct DiscControls
{
    QComboBox *cmbDevice = nullptr;
    QComboBox *cmbSpeed = nullptr;
    QLineEdit *edtArtist = nullptr;
    QLineEdit *edtAlbum = nullptr;
    QComboBox *edtGenre = nullptr; // editable: a listed genre or any text
    QLineEdit *edtYear = nullptr;
    // The disc of a set, beside the album: its number and the set's total.
    QLineEdit *edtDiscNumber = nullptr;
    QLineEdit *edtDiscTotal = nullptr;
    QPushButton *btnSelect = nullptr;
    QPushButton *btnFreeDB = nullptr;
    QPushButton *btnRip = nullptr; // the window's default button
    QToolBar *ToolPlay = nullptr;
    QSlider *TrackBar = nullptr;

    // The drive, speed and disc fields as shown now.
    void readChoices(RipChoices &choices) const;
};

// The strip above the track list: the drive and speed lists, the disc's
// artist, album, genre and year, the "&Select", "&FreeDB" and "&Rip" buttons
// and the player's toolbar with its seek bar, in their first state, put into
// `controls`. The window fills the lists and connects the controls to its
// handlers.
class DiscPanel : public QWidget
{
    Q_OBJECT

public:
    // The buttons run the actions given; the toolbar shows the player's
    // actions in the order given, then the seek bar.
    DiscPanel(DiscControls &controls,
              QMenu *selectMenu,
              QAction *freeDB,
              QAction *rip,
              const QList<QAction *> &playerActions,
              QWidget *parent = nullptr);

    // The drive names into cmbDevice, quietly. The chosen drive stays chosen
    // while it is listed; otherwise the first one is chosen, and the result
    // is true (a drive that was chosen went).
    static bool showDrives(DiscControls &controls, const QStringList &drives);
    // The disc's artist, album, genre and year into their fields, each only
    // when it differs from what the field shows.
    static void showDiscFields(DiscControls &controls, const DiscModel &disc);
    // The fields edit the disc's own fields, which the lookup fills and a
    // removal clears; they show each change of them.
    static void bindDiscFields(DiscControls &controls, DiscModel &disc);
};

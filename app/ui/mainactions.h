#pragma once

#include <QIcon>
#include <QList>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QObject;
class QStatusBar;
class QTimer;
class QWidget;
class TipPane;

// The main window's actions and its selection menu, named as their
// objectNames; the window has them as members of its own.
struct MainActions
{
    QObject *ActionList = nullptr; // holds every action
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
    QMenu *PopupSelect = nullptr; // "Select all", "Select none", "Invert selection"

    // The player's actions in the toolbar's order.
    QList<QAction *> playerActions() const;
};

namespace MainParts {

// Every action of `actions`, owned by `owner`, with its caption and the
// icon of `images` it shows; all disabled but the three selection actions,
// which are always there to use. The parts of the program that give an
// action its work enable it.
void buildActions(MainActions &actions, QWidget *owner, const QList<QIcon> &images);

// The white banner strip ("pel") with the banner picture ("Image").
QWidget *banner(QLabel *&image);

// The status bar's three panes, "spFirst", "spTotal" and "spTips".
// `submit`: the link offered when no database knows the disc, hidden.
void buildStatusPanes(QStatusBar &bar, QLabel *&total, TipPane *&tips, QLabel *&submit);

// True when `focus` (or what holds it) is a place to type in: a text or
// number box, an editable list, a grid or the editor of one of its cells.
// Enter there ends the typing and is no command for the window.
bool typesText(const QWidget *focus);

// "TimerCD": the player's one-shot second at the end of a track.
QTimer *playerTimer(QObject *owner);

// The "Please input Playlist Filename" dialog: an M3U file to save, an
// existing one taken without asking.
QFileDialog *playlistDialog(QWidget *parent);

} // namespace MainParts

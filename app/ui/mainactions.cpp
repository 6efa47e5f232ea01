#include "app/ui/mainactions.h"

#include "app/ui/controlkit.h"
#include "app/ui/tippane.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

using ControlKit::named;

QList<QAction *> MainActions::playerActions() const
{
    return {ActcdPlay,
            ActcdFirst,
            ActcdPred,
            ActcdNext,
            ActcdLast,
            ActcdStop,
            ActcdPause,
            ActcdEject,
            ActClosetray,
            ActopenVolume};
}

namespace MainParts {

void buildActions(MainActions &a, QWidget *owner, const QList<QIcon> &images)
{
    a.ActionList = named(new QObject(owner), "ActionList");
    const auto action = [&a, &images](const char *name, const QString &text, int image) {
        auto made = named(new QAction(text, a.ActionList), name);
        if (image >= 0 && image < images.size())
            made->setIcon(images.at(image));
        made->setEnabled(false);
        return made;
    };
    a.ActcdPlay = action("ActcdPlay", QStringLiteral("Play"), 1);
    a.ActcdFirst = action("ActcdFirst", QStringLiteral("Previous track"), 2);
    a.ActcdPred = action("ActcdPred", QStringLiteral("Skip back"), 3);
    a.ActcdNext = action("ActcdNext", QStringLiteral("Skip forward"), 4);
    a.ActcdLast = action("ActcdLast", QStringLiteral("Next track"), 5);
    a.ActcdStop = action("ActcdStop", QStringLiteral("Stop"), 6);
    a.ActcdPause = action("ActcdPause", QStringLiteral("Pause"), 7);
    a.ActcdEject = action("ActcdEject", QStringLiteral("Eject"), 8);
    a.ActClosetray = action("ActClosetray", QStringLiteral("Close tray"), 9);
    a.ActopenVolume = action("ActopenVolume", QStringLiteral("Volume"), 10);
    a.ActSelall = action("ActSelall", QStringLiteral("&Select all"), -1);
    a.ActSelnone = action("ActSelnone", QStringLiteral("S&elect none"), -1);
    a.ActInvert = action("ActInvert", QStringLiteral("&Invert selection"), -1);
    for (QAction *selection : {a.ActSelall, a.ActSelnone, a.ActInvert})
        selection->setEnabled(true);
    a.ActFreeDB = action("ActFreeDB", QStringLiteral("&FreeDB"), -1);
    a.Actrip = action("Actrip", QStringLiteral("&Rip"), -1);
    a.ActEnumrename = action("ActEnumrename", QStringLiteral("..."), -1);
    a.ActQuality = action("ActQuality", QStringLiteral("..."), -1);
    // A button's text would drop a trailing ellipsis: here it is the caption.
    a.ActEnumrename->setIconText(QStringLiteral("..."));
    a.ActQuality->setIconText(QStringLiteral("..."));

    a.PopupSelect = named(new QMenu(owner), "PopupSelect");
    a.PopupSelect->addActions({a.ActSelall, a.ActSelnone, a.ActInvert});
}

QWidget *banner(QLabel *&image)
{
    auto pel = named(new QWidget, "pel");
    pel->setAutoFillBackground(true);
    QPalette white = pel->palette();
    white.setColor(QPalette::Window, Qt::white);
    pel->setPalette(white);
    auto layout = new QHBoxLayout(pel);
    layout->setContentsMargins(0, 0, 0, 0);
    image = named(new QLabel, "Image");
    image->setPixmap(QPixmap(QStringLiteral(":/banner.jpg")));
    layout->addWidget(image);
    layout->addStretch();
    return pel;
}

void buildStatusPanes(QStatusBar &bar, QLabel *&total, TipPane *&tips, QLabel *&submit)
{
    bar.setObjectName(QStringLiteral("StatusBar"));
    bar.setSizeGripEnabled(true);
    auto first = named(new QLabel, "spFirst");
    first->setFixedWidth(49);
    total = named(new QLabel, "spTotal");
    total->setFixedWidth(352);
    tips = named(new TipPane, "spTips");
    bar.addWidget(first);
    bar.addWidget(total);
    bar.addWidget(tips, 1);
    // Opens the browser; the program itself sends nothing.
    submit = named(new QLabel, "lblSubmitDisc");
    submit->setTextFormat(Qt::RichText);
    submit->setOpenExternalLinks(true);
    submit->setToolTip(QStringLiteral("Opens MusicBrainz at this disc's table of contents, to add "
                                      "it to a release there or enter a new one"));
    submit->hide();
    bar.addPermanentWidget(submit);
}

bool typesText(const QWidget *focus)
{
    for (const QWidget *w = focus; w; w = w->parentWidget()) {
        const auto list = qobject_cast<const QComboBox *>(w);
        if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
            || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QAbstractItemView *>(w)
            || (list && list->isEditable()))
            return true;
    }
    return false;
}

QTimer *playerTimer(QObject *owner)
{
    auto timer = named(new QTimer(owner), "TimerCD");
    timer->setInterval(1000);
    timer->setSingleShot(true);
    return timer;
}

QFileDialog *playlistDialog(QWidget *parent)
{
    auto dialog = named(new QFileDialog(parent, QStringLiteral("Please input Playlist Filename")),
                        "SaveDialog");
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("m3u File(*.m3u)"));
    dialog->setDefaultSuffix(QStringLiteral("m3u"));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    return dialog;
}

} // namespace MainParts

#include "app/ui/discpanel.h"

#include "app/choicelists.h"
#include "app/discmodel.h"
#include "app/ripsession.h"
#include "app/ui/controlkit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolBar>

using namespace ControlKit;

DiscPanel::DiscPanel(DiscControls &c,
                     QMenu *selectMenu,
                     QAction *freeDB,
                     QAction *rip,
                     const QList<QAction *> &playerActions,
                     QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel2"));
    auto grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    c.cmbDevice = named(new QComboBox, "cmbDevice");
    c.cmbSpeed = named(new QComboBox, "cmbSpeed");
    c.cmbSpeed->addItems(ChoiceLists::driveSpeeds());
    c.cmbSpeed->setCurrentIndex(0);
    c.edtArtist = named(new QLineEdit, "edtArtist");
    c.edtAlbum = named(new QLineEdit, "edtAlbum");
    c.edtGenre = named(new QComboBox, "edtGenre");
    c.edtGenre->setEditable(true);
    c.edtGenre->setInsertPolicy(QComboBox::NoInsert);
    c.edtGenre->addItems(ChoiceLists::genres());
    c.edtGenre->setCurrentIndex(-1);
    c.edtGenre->setEditText(QString());
    c.edtYear = named(new QLineEdit, "edtYear");
    c.edtDiscNumber = named(new QLineEdit, "edtDiscNumber");
    c.edtDiscTotal = named(new QLineEdit, "edtDiscTotal");
    for (QLineEdit *field : {c.edtDiscNumber, c.edtDiscTotal}) {
        field->setValidator(new QIntValidator(1, 999, field));
        field->setFixedWidth(40);
    }
    c.edtDiscNumber->setToolTip(QStringLiteral("The disc's number in a set of several discs"));
    c.edtDiscTotal->setToolTip(QStringLiteral("How many discs the set has"));

    auto label = [](const QString &text, QWidget *buddy) {
        auto l = new QLabel(text);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("Device"), c.cmbDevice), 0, 0);
    grid->addWidget(c.cmbDevice, 0, 1);
    grid->addWidget(label(QStringLiteral("Speed"), c.cmbSpeed), 0, 2);
    grid->addWidget(c.cmbSpeed, 0, 3);
    grid->addWidget(label(QStringLiteral("Artist"), c.edtArtist), 1, 0);
    grid->addWidget(c.edtArtist, 1, 1);
    grid->addWidget(label(QStringLiteral("Year"), c.edtYear), 1, 2);
    grid->addWidget(c.edtYear, 1, 3);
    grid->addWidget(label(QStringLiteral("Album"), c.edtAlbum), 2, 0);
    grid->addWidget(c.edtAlbum, 2, 1);
    grid->addWidget(label(QStringLiteral("Genre"), c.edtGenre), 2, 2);
    grid->addWidget(c.edtGenre, 2, 3);
    // A row of its own: beside the album the narrow pane left it no room.
    grid->addWidget(label(QStringLiteral("Disc"), c.edtDiscNumber), 3, 0);
    auto discRow = new QHBoxLayout;
    discRow->setContentsMargins(0, 0, 0, 0);
    discRow->addWidget(c.edtDiscNumber);
    discRow->addWidget(label(QStringLiteral("of"), c.edtDiscTotal));
    discRow->addWidget(c.edtDiscTotal);
    discRow->addStretch(1);
    grid->addLayout(discRow, 3, 1);
    grid->setColumnStretch(1, 1);
    for (QWidget *w : {static_cast<QWidget *>(c.cmbSpeed),
                       static_cast<QWidget *>(c.edtYear),
                       static_cast<QWidget *>(c.edtGenre)})
        w->setFixedWidth(125);

    c.btnSelect = named(new QPushButton(QStringLiteral("&Select")), "btnSelect");
    c.btnSelect->setMenu(selectMenu);
    c.btnFreeDB = named(new QPushButton, "btnFreeDB");
    bindButton(c.btnFreeDB, freeDB);
    c.btnRip = named(new QPushButton, "btnRip");
    bindButton(c.btnRip, rip);
    c.btnRip->setDefault(true);
    grid->addWidget(c.btnSelect, 0, 4);
    grid->addWidget(c.btnFreeDB, 1, 4);
    grid->addWidget(c.btnRip, 2, 4);

    c.ToolPlay = named(new QToolBar, "ToolPlay");
    c.ToolPlay->setToolButtonStyle(Qt::ToolButtonIconOnly);
    c.ToolPlay->setIconSize(QSize(16, 16));
    c.ToolPlay->addActions(playerActions);
    c.TrackBar = named(new QSlider(Qt::Horizontal), "TrackBar");
    c.TrackBar->setTickPosition(QSlider::NoTicks);
    c.TrackBar->setEnabled(false);
    c.ToolPlay->addWidget(c.TrackBar);
    grid->addWidget(c.ToolPlay, 4, 0, 1, 5);
}

bool DiscPanel::showDrives(DiscControls &c, const QStringList &drives)
{
    const QString chosen = c.cmbDevice->currentText();
    const bool hadChoice = c.cmbDevice->currentIndex() >= 0;
    const QSignalBlocker quiet(c.cmbDevice);
    c.cmbDevice->clear();
    c.cmbDevice->addItems(drives);
    const int kept = int(drives.indexOf(chosen));
    c.cmbDevice->setCurrentIndex(kept >= 0 ? kept : (drives.isEmpty() ? -1 : 0));
    return hadChoice && kept < 0;
}

void DiscPanel::showDiscFields(DiscControls &c, const DiscModel &disc)
{
    const auto show = [](QLineEdit *field, const QString &text) {
        if (field->text() != text)
            field->setText(text);
    };
    show(c.edtArtist, disc.artist());
    show(c.edtAlbum, disc.album());
    show(c.edtYear, disc.year());
    show(c.edtDiscNumber, disc.discNumber());
    show(c.edtDiscTotal, disc.discTotal());
    if (c.edtGenre->currentText() != disc.genre()) {
        // A listed genre is selected as its item, any other text stands as typed.
        // The box is quiet meanwhile: leaving the old item would otherwise
        // empty the disc's genre before the new text is set.
        const QSignalBlocker quiet(c.edtGenre);
        c.edtGenre->setCurrentIndex(c.edtGenre->findText(disc.genre(), Qt::MatchExactly));
        c.edtGenre->setEditText(disc.genre());
    }
}

void DiscControls::readChoices(RipChoices &c) const
{
    c.drive = cmbDevice->currentIndex();
    c.speedItem = cmbSpeed->currentText();
    c.artist = edtArtist->text();
    c.album = edtAlbum->text();
    c.genre = edtGenre->currentText();
    // A genre counts as a list item only while the box shows the selected
    // item's own text; one typed by hand names nothing.
    const int item = edtGenre->currentIndex();
    c.genreListed = item >= 0 && edtGenre->itemText(item) == c.genre;
    c.year = edtYear->text();
    c.discNumber = edtDiscNumber->text();
    c.discTotal = edtDiscTotal->text();
}

void DiscPanel::bindDiscFields(DiscControls &c, DiscModel &disc)
{
    connect(c.edtArtist, &QLineEdit::textChanged, &disc, &DiscModel::setArtist);
    connect(c.edtAlbum, &QLineEdit::textChanged, &disc, &DiscModel::setAlbum);
    connect(c.edtGenre, &QComboBox::currentTextChanged, &disc, &DiscModel::setGenre);
    connect(c.edtYear, &QLineEdit::textChanged, &disc, &DiscModel::setYear);
    connect(c.edtDiscNumber, &QLineEdit::textChanged, &disc, &DiscModel::setDiscNumber);
    connect(c.edtDiscTotal, &QLineEdit::textChanged, &disc, &DiscModel::setDiscTotal);
    // A field of the strip is the context: the connection goes with the window.
    connect(&disc, &DiscModel::discFieldsChanged, c.edtArtist, [&c, &disc] {
        showDiscFields(c, disc);
    });
}

#include "lookup/ui/candidatechooser.h"

#include "lookup/freedbcandidates.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString discOf(const FreedbCandidate &c)
{
    if (c.discNumber <= 0)
        return QString();
    return c.discTotal > 0 ? QStringLiteral("%1/%2").arg(c.discNumber).arg(c.discTotal)
                           : QString::number(c.discNumber);
}

QString titleOf(const FreedbCandidate &c)
{
    return c.disambiguation.isEmpty() ? c.album
                                      : QStringLiteral("%1 (%2)").arg(c.album, c.disambiguation);
}

} // namespace

TfrmCandidates::TfrmCandidates(const FreedbCandidates &candidates, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCandidates"));
    setWindowTitle(QStringLiteral("Choose the release"));
    auto layout = new QVBoxLayout(this);
    auto hint = new QLabel(
        QStringLiteral("Several releases match this disc. Choose the one you have:"));
    hint->setObjectName(QStringLiteral("lblCandidates"));
    layout->addWidget(hint);

    const QStringList headers = {"Source",
                                 "Artist",
                                 "Title",
                                 "Year",
                                 "Country",
                                 "Label",
                                 "Catalogue no.",
                                 "Barcode",
                                 "Format",
                                 "Disc",
                                 "Tracks"};
    grdCandidates = new QTableWidget(int(candidates.list.size()), int(headers.size()), this);
    grdCandidates->setObjectName(QStringLiteral("grdCandidates"));
    grdCandidates->setHorizontalHeaderLabels(headers);
    grdCandidates->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCandidates->setSelectionMode(QAbstractItemView::SingleSelection);
    grdCandidates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCandidates->verticalHeader()->hide();
    for (int row = 0; row < candidates.list.size(); ++row) {
        const FreedbCandidate &c = candidates.list.at(row);
        const QString year = c.date.isEmpty() ? c.year : c.date;
        const QStringList cells = {c.source,
                                   c.albumArtist.isEmpty() ? c.artist : c.albumArtist,
                                   titleOf(c),
                                   year,
                                   c.country,
                                   c.label,
                                   c.catalogNumber,
                                   c.barcode,
                                   c.media,
                                   discOf(c),
                                   c.trackCount > 0 ? QString::number(c.trackCount) : QString()};
        for (int column = 0; column < cells.size(); ++column)
            grdCandidates->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    grdCandidates->resizeColumnsToContents();
    grdCandidates->setCurrentCell(candidates.preselected, 0);
    layout->addWidget(grdCandidates);

    btnsCandidates = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    btnsCandidates->setObjectName(QStringLiteral("btnsCandidates"));
    QPushButton *use = btnsCandidates->addButton(QStringLiteral("&Use"),
                                                 QDialogButtonBox::AcceptRole);
    use->setObjectName(QStringLiteral("btnUseCandidate"));
    use->setDefault(true);
    layout->addWidget(btnsCandidates);
    connect(btnsCandidates, &QDialogButtonBox::accepted, this, &TfrmCandidates::take);
    connect(btnsCandidates, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(grdCandidates, &QTableWidget::cellDoubleClicked, this, &TfrmCandidates::take);
    resize(760, 260);
}

void TfrmCandidates::take()
{
    m_chosen = grdCandidates->currentRow();
    if (m_chosen >= 0)
        accept();
}

int TfrmCandidates::choose(const FreedbCandidates &candidates, QWidget *owner)
{
    TfrmCandidates dialog(candidates, owner);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}

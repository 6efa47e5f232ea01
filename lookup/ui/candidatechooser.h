#pragma once

#include <QDialog>

struct FreedbCandidates;
class QDialogButtonBox;
class QTableWidget;

// The entries a lookup found for the disc, one row each: source, artist,
// title, year, country, label, catalogue number, barcode, format, disc n of
// m and track count. The preselected entry is the current row; Enter (or
// "&Use" or a double click) takes the current row, Escape takes none.
class TfrmCandidates : public QDialog
{
    Q_OBJECT

public:
    TfrmCandidates(const FreedbCandidates &candidates, QWidget *parent = nullptr);

    // The index into the list of the row taken; -1 before one is taken.
    int chosen() const { return m_chosen; }

    // Shows the dialog modally over `owner`; the index taken, or -1.
    static int choose(const FreedbCandidates &candidates, QWidget *owner);

    QTableWidget *grdCandidates = nullptr;
    QDialogButtonBox *btnsCandidates = nullptr;

private:
    void take();

    int m_chosen = -1;
};

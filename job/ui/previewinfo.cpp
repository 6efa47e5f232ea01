#include "job/ui/previewinfo.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmpreviewInfo::TfrmpreviewInfo(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmpreviewInfo"));
    setWindowTitle(QStringLiteral("Output Filename"));

    lblFilenames = new QLabel(QStringLiteral("Output Filename(s)"), this);
    lblFilenames->setObjectName(QStringLiteral("lblFilenames"));

    MemoNames = new QPlainTextEdit(this);
    MemoNames->setObjectName(QStringLiteral("MemoNames"));
    MemoNames->setReadOnly(true);
    // One line per name, however long: paths are read across, not wrapped.
    MemoNames->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoNames->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lblFilenames->setBuddy(MemoNames);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto layout = new QVBoxLayout(this);
    layout->addWidget(lblFilenames);
    layout->addWidget(MemoNames, 1);
    layout->addLayout(buttons);
    resize(560, 320);
}

void TfrmpreviewInfo::setNames(const QStringList &names)
{
    MemoNames->setPlainText(names.join(u'\n'));
}

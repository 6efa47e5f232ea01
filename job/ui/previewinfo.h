#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The filename preview: the output path of every track-list row, one per
// line, read-only. "&Close" (the default button) and Escape close it. Lives
// for one modal showing; window thread only.
class TfrmpreviewInfo : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmpreviewInfo(QWidget *parent = nullptr);

    // Replaces the listed names.
    void setNames(const QStringList &names);

private:
    QLabel *lblFilenames = nullptr;
    QPlainTextEdit *MemoNames = nullptr;
    QPushButton *btnClose = nullptr;
};

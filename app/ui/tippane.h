#pragma once

#include <QLabel>
#include <QPointer>
#include <QStringList>

class QDialog;
class QPlainTextEdit;

// The status bar's message pane, one line. A message longer than the pane
// shows cut with an ellipsis; the whole of it is the pane's tooltip, and
// every message of the session stays in a history the user opens from the
// pane's context menu or with a double click. Window thread.
class TipPane : public QLabel
{
    Q_OBJECT

public:
    explicit TipPane(QWidget *parent = nullptr);

    // Shows `text` (text() gives it whole) and adds it to the history. It
    // hides QLabel::setText, which would bypass both: call it (and connect
    // to it) as TipPane's.
    void setText(const QString &text);
    // The messages shown, oldest first, each after its time ("hh:mm:ss  ").
    const QStringList &history() const { return m_history; }
    // The history in a dialog of its own ("frmTipHistory"), which shows
    // later messages too; deleted when closed. One at a time: a second call
    // brings the open one to the front.
    QDialog *showHistory();

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QStringList m_history;
    QString m_last; // the last message added, against repeats
    QPointer<QPlainTextEdit> m_historyView;
};

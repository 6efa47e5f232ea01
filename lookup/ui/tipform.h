#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;

// The wait form of a disc lookup: borderless, 243 x 45, a raised bevel over
// the whole form, the program's picture and a bold "please wait" text.
class Tfrmtip : public QWidget
{
    Q_OBJECT

public:
    // A window of its own over `owner`, not yet shown.
    explicit Tfrmtip(QWidget *owner);

    QFrame *Bevel1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
};

// While it lives, a lookup is under way: the wait form shows centred on
// `owner`, and every other window of the application is disabled so that no
// input reaches them. Its end enables again the windows it disabled and
// destroys the form.
class FreedbWait
{
public:
    explicit FreedbWait(QWidget *owner);
    ~FreedbWait();
    FreedbWait(const FreedbWait &) = delete;
    FreedbWait &operator=(const FreedbWait &) = delete;

    Tfrmtip *form() const { return m_form; }
    // A close of the owner asked for meanwhile (the window manager, a
    // logout) that it had to refuse: the owner is closed once the wait ends.
    void closeOwnerAtEnd() { m_closeOwner = true; }

private:
    QPointer<QWidget> m_owner;
    QPointer<Tfrmtip> m_form;
    QList<QPointer<QWidget>> m_disabled;
    bool m_closeOwner = false;
};

#include "app/ui/controlkit.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace ControlKit {

QLineEdit *readOnlyField(const char *name)
{
    auto edit = named(new QLineEdit, name);
    edit->setReadOnly(true);
    return edit;
}

QToolButton *fieldButton(const char *name, const QString &text, const QString &tip)
{
    auto button = named(new QToolButton, name);
    button->setText(text);
    button->setToolTip(tip);
    return button;
}

QToolButton *actionButton(const char *name, QAction *action)
{
    auto button = named(new QToolButton, name);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

QWidget *fieldWithButton(QWidget *field, QToolButton *button)
{
    auto box = new QWidget;
    auto layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return box;
}

namespace {

// A wrapped label in a tab page gets only the height of its unwrapped text
// (the page's layout asks its size before it knows its width), so the lines
// overlap the next control: it claims the height its width needs.
class HelpLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        const int needed = heightForWidth(width());
        if (needed > 0 && needed != minimumHeight())
            setMinimumHeight(needed);
    }
};

} // namespace

QLabel *helpLabel(const QString &text)
{
    // A list packed without blanks ("<artist>,<album>,...") is wider than
    // the panel at the desktop's font: a zero-width space after each comma
    // lets it wrap there, like any other text of the panel.
    QString shown = text;
    shown.replace(QLatin1Char(','), QStringLiteral(",\u200B"));
    auto label = new HelpLabel(shown);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

void bindButton(QPushButton *button, QAction *action)
{
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    auto sync = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    };
    sync();
    QObject::connect(action, &QAction::changed, button, sync);
}

void centreOnScreen(QWidget &window)
{
    if (QScreen *screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

} // namespace ControlKit

#include "app/ui/controlkit.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

QLabel *helpLabel(const QString &text)
{
    auto label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setEnabled(false);
    // The texts are long for the panel's width: a smaller face keeps each on
    // its own lines, as written.
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    label->setFont(small);
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

} // namespace ControlKit

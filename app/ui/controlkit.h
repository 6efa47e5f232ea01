#pragma once

#include <QString>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

// Small builders for the window's controls, each named with its objectName.
namespace ControlKit {

template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *readOnlyField(const char *name);
// A small button at the right of a field, as the folder and playlist fields have.
QToolButton *fieldButton(const char *name, const QString &text, const QString &tip);
// The "..." button of an action, beside its list.
QToolButton *actionButton(const char *name, QAction *action);
// The field and its button in one row.
QWidget *fieldWithButton(QWidget *field, QToolButton *button);
// A help text under a group of controls, wrapped to the panel.
QLabel *helpLabel(const QString &text);
// The button follows the action's caption and enabled state, as a bound
// button does, and runs the action when clicked.
void bindButton(QPushButton *button, QAction *action);
// Moves a shown window's frame to the middle of its screen's free area.
void centreOnScreen(QWidget &window);

} // namespace ControlKit

#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class QWidget;

// The quality dialog's kinds of control, built with their objectName and
// initial state. Each returns a new widget without a parent; the layout it
// is added to takes it.
namespace QualityWidgets {

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A drop-down list of fixed entries, none selected.
QComboBox *dropDownList(const char *name, std::initializer_list<const char *> items);
// "8 kbit" ... "320 kbit": a bitrate list's entries for a scale, none selected.
QComboBox *bitrateList(const char *name, const int32_t *scale, int count);
template<int N>
QComboBox *bitrateList(const char *name, const int32_t (&scale)[N])
{
    return bitrateList(name, scale, N);
}
QSlider *trackBar(const char *name, int minimum, int maximum, int tick, int position);
// A track bar between its two end labels.
QWidget *betweenLabels(const char *left, QSlider *bar, const char *right);
QSpinBox *spinEdit(const char *name, int minimum, int maximum, int step, int value);
QCheckBox *checkBox(const char *name, const char *text);
// A check box with its text on the left of the box.
QCheckBox *leftTextCheckBox(const char *name, const char *text);
QLabel *label(const char *text);

} // namespace QualityWidgets

#include "convert/ui/qualitywidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

namespace QualityWidgets {

QComboBox *dropDownList(const char *name, std::initializer_list<const char *> items)
{
    auto *box = named(new QComboBox, name);
    for (const char *item : items)
        box->addItem(QString::fromLatin1(item));
    box->setCurrentIndex(-1);
    return box;
}

QComboBox *bitrateList(const char *name, const int32_t *scale, int count)
{
    auto *box = named(new QComboBox, name);
    for (int i = 0; i < count; ++i)
        box->addItem(QStringLiteral("%1 kbit").arg(scale[i]));
    box->setCurrentIndex(-1);
    return box;
}

QSlider *trackBar(const char *name, int minimum, int maximum, int tick, int position)
{
    auto *bar = named(new QSlider(Qt::Horizontal), name);
    bar->setRange(minimum, maximum);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(tick);
    bar->setSingleStep(1);
    bar->setPageStep(tick);
    bar->setValue(position);
    return bar;
}

QWidget *betweenLabels(const char *left, QSlider *bar, const char *right)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label(left));
    layout->addWidget(bar, 1);
    layout->addWidget(label(right));
    return row;
}

QSpinBox *spinEdit(const char *name, int minimum, int maximum, int step, int value)
{
    auto *edit = named(new QSpinBox, name);
    edit->setRange(minimum, maximum);
    edit->setSingleStep(step);
    edit->setValue(value);
    return edit;
}

QCheckBox *checkBox(const char *name, const char *text)
{
    return named(new QCheckBox(QString::fromLatin1(text)), name);
}

QCheckBox *leftTextCheckBox(const char *name, const char *text)
{
    QCheckBox *box = checkBox(name, text);
    box->setLayoutDirection(Qt::RightToLeft);
    return box;
}

QLabel *label(const char *text)
{
    return new QLabel(QString::fromLatin1(text));
}

} // namespace QualityWidgets

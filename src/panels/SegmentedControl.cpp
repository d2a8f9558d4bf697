#include "panels/SegmentedControl.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace zandrel {

SegmentedControl::SegmentedControl(QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
}

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : SegmentedControl(parent)
{
    for (int segment = 0; segment < labels.size(); ++segment)
        addSegment(labels.at(segment), segment);
}

int SegmentedControl::addSegment(const QString& label, int tag, const QString& toolTip)
{
    auto* button = new QToolButton(this);
    button->setText(label);
    button->setToolTip(toolTip);
    button->setCheckable(true);
    button->setAutoRaise(false);
    // The bar's controls leave the keyboard to the text being edited.
    button->setFocusPolicy(Qt::NoFocus);
    const int segment = int(m_segments.size());
    // The button would toggle itself before the mode is applied; the control decides.
    connect(button, &QToolButton::clicked, this, [this, segment] { clicked(segment); });
    m_segments.append(button);
    m_tags.append(tag);
    layout()->addWidget(button);
    return segment;
}

void SegmentedControl::clicked(int segment)
{
    // In select-any mode the click toggled the button already; in select-one mode a click lights its
    // segment alone, even when several were lit for a mix.
    if (m_tracking == Tracking::SelectOne)
        setSelectedSegment(segment);
    emit activated(segment);
    emit action();
}

int SegmentedControl::selectedSegment() const
{
    const QSet<int> segments = selectedSegments();
    return segments.size() == 1 ? *segments.cbegin() : -1;
}

void SegmentedControl::setSelectedSegment(int segment)
{
    setSelectedSegments({ segment });
}

QSet<int> SegmentedControl::selectedSegments() const
{
    QSet<int> segments;
    for (int segment = 0; segment < segmentCount(); ++segment) {
        if (m_segments.at(segment)->isChecked())
            segments.insert(segment);
    }
    return segments;
}

void SegmentedControl::setSelectedSegments(const QSet<int>& segments)
{
    for (int segment = 0; segment < segmentCount(); ++segment)
        m_segments.at(segment)->setChecked(segments.contains(segment));
}

bool SegmentedControl::isSelected(int segment) const
{
    const QToolButton* button = m_segments.value(segment);
    return button && button->isChecked();
}

void SegmentedControl::setSelected(bool selected, int segment)
{
    if (QToolButton* button = m_segments.value(segment))
        button->setChecked(selected);
}

int SegmentedControl::tagOf(int segment) const
{
    return m_tags.value(segment, -1);
}

int SegmentedControl::segmentWithTag(int tag) const
{
    return int(m_tags.indexOf(tag));
}

void SegmentedControl::setSegmentEnabled(bool enabled, int segment)
{
    if (QToolButton* button = m_segments.value(segment))
        button->setEnabled(enabled);
}

bool SegmentedControl::isSegmentEnabled(int segment) const
{
    const QToolButton* button = m_segments.value(segment);
    return button && button->isEnabled();
}

// --- Stepper ---

Stepper::Stepper(double minimum, double maximum, double increment, QWidget* parent)
    : QWidget(parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_increment(increment)
    , m_value(minimum)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (const auto& [arrow, steps] : { std::pair { Qt::UpArrow, 1 }, std::pair { Qt::DownArrow, -1 } }) {
        auto* button = new QToolButton(this);
        button->setArrowType(arrow);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        button->setAutoRepeat(true);
        connect(button, &QToolButton::clicked, this, [this, steps = steps] { step(steps); });
        column->addWidget(button);
    }
}

void Stepper::setValue(double value)
{
    m_value = std::clamp(value, m_minimum, m_maximum);
}

void Stepper::step(int steps)
{
    setValue(m_value + steps * m_increment);
    emit valueChanged();
}

} // namespace zandrel

#pragma once

#include <QList>
#include <QSet>
#include <QToolButton>
#include <QWidget>

namespace zandrel {

// A row of segments, each a toggle button with a tag. In select-one mode a click selects its segment
// alone; in select-any mode it turns its segment on or off. Either way the click is reported with
// activated() and action() after the selection changed; setting the selection in code reports
// nothing.
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    enum class Tracking { SelectOne, SelectAny };

    explicit SegmentedControl(QWidget* parent = nullptr);
    // Segments with these labels, tagged with their indexes.
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int addSegment(const QString& label, int tag, const QString& toolTip = {});
    int segmentCount() const { return int(m_segments.size()); }
    QToolButton* button(int segment) const { return m_segments.value(segment); }

    Tracking tracking() const { return m_tracking; }
    void setTracking(Tracking tracking) { m_tracking = tracking; }

    // The one segment lit; -1 with none or several (the objects a sheet shows may differ).
    int selectedSegment() const;
    // Selects the segment alone (-1: none).
    void setSelectedSegment(int segment);
    QSet<int> selectedSegments() const;
    void setSelectedSegments(const QSet<int>& segments);
    bool isSelected(int segment) const;
    void setSelected(bool selected, int segment);
    int tagOf(int segment) const;
    int segmentWithTag(int tag) const;
    void setSegmentEnabled(bool enabled, int segment);
    bool isSegmentEnabled(int segment) const;

signals:
    void activated(int segment);
    void action();

private:
    void clicked(int segment);

    QList<QToolButton*> m_segments;
    QList<int> m_tags;
    Tracking m_tracking = Tracking::SelectOne;
};

// The little up and down arrows beside a number field: a value within limits that each click moves by
// the increment, reported with valueChanged().
class Stepper : public QWidget {
    Q_OBJECT

public:
    Stepper(double minimum, double maximum, double increment, QWidget* parent = nullptr);

    double value() const { return m_value; }
    // Held within the limits; reports nothing.
    void setValue(double value);
    void step(int steps);

signals:
    void valueChanged();

private:
    double m_minimum;
    double m_maximum;
    double m_increment;
    double m_value;
};

} // namespace zandrel

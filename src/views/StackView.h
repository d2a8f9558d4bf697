#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace zandrel {

// Stacks its child widgets from the top down and closes the gaps when one is hidden or shown,
// optionally resizing its window (or another widget) so that the top edge stays in place. Sheets
// and panels use it for their optional sections. Hiding or showing any number of children in one
// pass of the event loop leads to one arrange on the next pass.
class StackView : public QWidget {
    Q_OBJECT

public:
    explicit StackView(QWidget* parent = nullptr);
    ~StackView() override;

    // Lays the children out: each visible one below the last, hidden ones taking no room, one point
    // left free below them all; the stack's height follows.
    void arrange();
    bool sizesWindow() const { return m_sizesWindow; }
    void setSizesWindow(bool sizes) { m_sizesWindow = sizes; }
    // A widget whose height changes by as much as the stack's.
    void setResizeSuperview(QWidget* widget) { m_resizeSuperview = widget; }
    const QList<QWidget*>& stackedViews() const { return m_stackedViews; }
    bool arrangePending() const { return m_arrangePending; }

    // The room left below the last visible child.
    static constexpr int kBottomMargin = 1;

protected:
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleArrange();

    QPointer<QWidget> m_resizeSuperview;
    bool m_arrangePending = false;
    QList<QWidget*> m_stackedViews;
    bool m_sizesWindow = false;
};

} // namespace zandrel

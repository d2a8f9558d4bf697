#pragma once

#include "platform/CanvasPath.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QToolButton>
#include <QWidget>
#include <memory>

namespace zandrel {

// One tab of a ViewTabs strip: what it shows and stands for, and where the strip last put it.
struct ViewTab {
    ViewTab(const QString& title, bool closeable, std::shared_ptr<void> representedObject)
        : closeable(closeable)
        , title(title)
        , representedObject(std::move(representedObject))
    {
    }

    bool closeable = false;
    // Set by the layout: the tab fits in the strip.
    bool visible = false;
    bool hoveringMouseInCloseBox = false;
    bool trackingMouseInCloseBox = false;
    bool trackingMouseInTab = false;
    QString title;
    // Compared by identity only.
    std::shared_ptr<void> representedObject;
    // The tab's frame, set by the layout, and its close box, set while drawing.
    QRectF box;
    QRectF closeBox;
};

// A strip of rounded tabs, each with a title and optionally a close box. It lays itself out to its
// width before every drawing and hit test; tabs that do not fit are listed by the more-tabs button,
// and the selected tab is always shown, after the tabs that still fit. A click on a tab selects it
// and sends tabAction at once (on the press); a close box is tracked from press to release and sends
// tabAction with closedTabIndex set only when released inside it. Coordinates are the widget's own,
// y downward.
class ViewTabs : public QWidget {
    Q_OBJECT

public:
    explicit ViewTabs(QWidget* parent = nullptr);
    ~ViewTabs() override;

    void addTab(const QString& title, bool closeable, std::shared_ptr<void> representedObject);
    void removeAllTabs();
    const QList<ViewTab>& tabs() const { return m_tabs; }
    qsizetype numberOfTabs() const { return m_tabs.size(); }

    qsizetype selectedTab() const { return m_selectedTab; }
    // Any value is taken; one outside the tabs selects nothing visible.
    void setSelectedTab(qsizetype index);
    // Null when the selected index names no tab.
    std::shared_ptr<void> selectedTabRepresentedObject() const;
    // Selects the first tab standing for that very object; false, with nothing changed, when none does.
    bool selectTabRepresentingObject(const void* object);
    // -1, except while the action of a close is sent, when it is the closed tab's index.
    qsizetype closedTabIndex() const { return m_closedTabIndex; }

    void setFont(const QFont& font);
    float textHeight() const { return m_textHeight; }

    // The button listing hidden tabs; the strip shows or hides it, and keeps it at its right end when
    // it is the strip's child. Optional.
    void setMoreTabsButton(QToolButton* button);
    QToolButton* moreTabsButton() const { return m_moreTabsButton; }
    // A control placed just after the last visible tab (the panel's add button). Optional.
    void setControlAfterTabs(QWidget* control);
    QWidget* controlAfterTabs() const { return m_controlAfterTabs; }

    // Gives every tab its box and visibility for the present width; drawing and the mouse do it first.
    void layoutTabs();
    // The shared close-box cross: two strokes across a 12-point square, line width 2.
    static const CanvasPath& closeIconPath();

    // --- Colours ---
    QColor backgroundColor, unselTabsColor, unselTabsTextColor, closeBoxXColor, closeBoxInTabXColor,
        closeBoxHoveringXColor, closeBoxTrackingXColor, closeBoxHoveringBackColor, closeBoxTrackingBackColor,
        selTabColor, selTabColor2, selTabTextColor, frameColor;

    QSize sizeHint() const override;

    static constexpr double kLeftInset = 2.5;
    static constexpr double kTopInset = 1.5;
    static constexpr double kTitlePadding = 20.0;
    static constexpr double kCloseBoxAllowance = 15.0;
    static constexpr double kCloseBoxSize = 12.0;
    static constexpr double kCornerRadius = 4.0;

signals:
    // A tab was clicked, closed or chosen from the more-tabs menu.
    void tabAction();

protected:
    // The width of a title drawn with the label font.
    virtual double titleWidth(const QString& title) const;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void drawTab(QPainter& painter, ViewTab& tab, bool selected);
    void updateCloseBox(const ViewTab& tab);
    void menuNeedsUpdate();
    void showHiddenTab(qsizetype index);
    void placeMoreTabsButton();

    qsizetype m_selectedTab = 0;
    qsizetype m_closedTabIndex = -1;
    qsizetype m_trackingCloseBoxTabIndex = -1;
    QList<ViewTab> m_tabs;
    QFont m_labelFont;
    float m_textHeight = 0;
    QPointer<QToolButton> m_moreTabsButton;
    QPointer<QWidget> m_controlAfterTabs;
};

} // namespace zandrel

#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <memory>

class QPropertyAnimation;

namespace zandrel {

class Part;
class ZDLDocument;
class ZDLView;

// The edited part at its real size, centred, beside its zoomed editing view: the user sees what the
// part will look like in a comic while working on it closely. It redraws whenever the document
// announces a change and ignores the mouse.
class PartPreviewView : public QWidget {
    Q_OBJECT

public:
    explicit PartPreviewView(ZDLDocument* document, QWidget* parent = nullptr);
    ~PartPreviewView() override;

    const std::shared_ptr<Part>& previewPart() const { return m_previewPart; }
    virtual void setPreviewPart(const std::shared_ptr<Part>& part);
    virtual void documentClosing();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { }

private:
    ZDLDocument* m_document;
    std::shared_ptr<Part> m_previewPart;
};

// The preview in a corner of the editing area: the user drags it to any corner (it glides to the
// nearest one when let go) or out of the editor, where it becomes a small window of its own; closing
// that window docks it again. The corner chosen is kept in the user defaults, so the next part
// editor of any document starts there.
class PartPreviewCornerView : public PartPreviewView {
    Q_OBJECT

public:
    // The user default of the corner, and the corners as its values. As bits: 1 top, 2 left.
    static inline const QString kCornerDefaultsKey = QStringLiteral("partPreviewCorner");
    enum Corner : int { BottomRight = 0, TopRight = 1, BottomLeft = 2, TopLeft = 3, Floating = 4 };
    // Room left for the scroll bars on the right and at the bottom.
    static constexpr int kScrollerMargin = 16;
    static constexpr int kGlideMilliseconds = 500;

    // Registers the default corner: top-right.
    static void registerDefaults();

    // Sits in the area and the editing view under it (whose cursor it keeps from changing while
    // the pointer is over the preview).
    PartPreviewCornerView(ZDLDocument* document, ZDLView* underview, QWidget* area);
    ~PartPreviewCornerView() override;

    int corner() const { return m_corner; }
    void setCorner(int corner);
    void setPreviewPart(const std::shared_ptr<Part>& part) override;
    void documentClosing() override;
    // Docks into the corner nearest to where the preview is, gliding there, and keeps the choice.
    void animateToAndSetNearestCorner();
    // The floating window (made on first use) and the preview in it.
    QWidget* previewWindow() const { return m_previewWindow; }
    PartPreviewView* floatingPreviewView() const { return m_floatingPreviewView; }
    // The floating window closes: the preview comes back into the area where the window was.
    void floatingWindowClosed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensurePreviewWindow();
    bool meetsArea() const;
    static void storeCorner(int corner);

    QPointer<QWidget> m_previewWindow;
    PartPreviewView* m_floatingPreviewView = nullptr;
    QPointF m_localDraggingPoint;
    int m_corner = TopRight;
    QPointer<ZDLView> m_underview;
    QPointer<QPropertyAnimation> m_animation;
    bool m_dragging = false;
};

} // namespace zandrel

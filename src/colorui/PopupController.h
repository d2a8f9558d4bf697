#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class QWindow;
class QPushButton;
class QVBoxLayout;

#include "platform/CanvasPath.h"

#include <QRegion>

namespace zandrel {

class PopupController;

// Where a popup stands beside its anchor, and so on which of its edges the pointer sits.
enum PopupAttachmentSide : int {
    PopupBelowAnchor = 0, // left edges aligned, pointer on the top edge, offset from the left
    PopupLeftOfAnchor = 1, // top edges aligned, pointer on the right edge, offset from the top
    PopupAboveAnchor = 2, // left edges aligned, pointer on the bottom edge, offset from the left
    PopupRightOfAnchor = 3, // top edges aligned, pointer on the left edge, offset from the top
};

// Where a popup goes: its frame, where along the attached edge its pointer points and whether the
// pointer shows. Global coordinates with y growing downward.
struct PopupPlacement {
    QRectF frame;
    float pointerOffset = 30.5f;
    bool showPointer = true;
};

// The pointer's apex lies on a half point.
float popupPointerOffset(float value);
// Places a popup of the given frame beside the anchor rect and inside the visible screen rect.
// A popup pushed back on screen along its pointer's edge slides its pointer the other way to keep
// aiming at the anchor; pushed across that edge, it loses the pointer.
PopupPlacement placePopup(const QRectF& panelFrame, const QRectF& anchor, const QRectF& visible, int side);

// The panel's content: a rounded balloon with a pointer on its attachment side, 10 points deep and
// 20 wide. The controls of a popup live in contentArea(), pinned to the top-left corner; the band
// for the pointer opens on the attachment side.
class PopupContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr float kPointerDepth = 10.0f;
    static constexpr float kDefaultPointerOffset = 30.5f;

    explicit PopupContentView(QWidget* parent = nullptr);

    float pointerOffset() const { return m_pointerOffset; }
    void setPointerOffset(float offset)
    {
        m_pointerOffset = popupPointerOffset(offset);
        update();
    }
    bool showPointer() const { return m_showPointer; }
    void setShowPointer(bool show)
    {
        m_showPointer = show;
        update();
    }
    int attachmentSide() const { return m_attachmentSide; }
    void setAttachmentSide(int side)
    {
        m_attachmentSide = side;
        update();
    }
    QColor strokeColor;
    QColor backgroundColor1;
    QColor backgroundColor2;

    QWidget* contentArea() const { return m_contentArea; }
    // The balloon with its pointer, built upward from the lower-left corner (unflipped).
    CanvasPath outline() const;
    // The region the balloon and its edge cover, in the view's own coordinates: the panel shows
    // only that, also where the window system draws no transparency.
    QRegion outlineRegion() const;
    // Opens the band the pointer needs on the side, once.
    void openPointerBand(int side);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_pointerOffset = kDefaultPointerOffset;
    bool m_showPointer = true;
    int m_attachmentSide = PopupBelowAnchor;
    QWidget* m_contentArea = nullptr;
    QVBoxLayout* m_layout = nullptr;
};

// The borderless panel of a popup: a tool window above the window of its anchor, transparent
// around the balloon its content view draws. It is hidden, never destroyed, between showings.
class Popup : public QWidget {
    Q_OBJECT

public:
    explicit Popup(PopupController* controller);

    PopupController* controller() const { return m_controller; }
    PopupContentView* contentView() const { return m_contentView; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    PopupController* m_controller;
    PopupContentView* m_contentView;
};

// A small floating editor attached to the control that opened it. It closes by OK (perform), by
// Cancel (cancelDialog) or when the user turns to any other window, which commits it as OK does.
// Popups nest: a popup opened from a control inside another keeps its parent open, and leaving the
// chain commits it from the innermost popup outward.
class PopupController : public QObject {
    Q_OBJECT

public:
    // The name is the panel's object name, as the popup's interface is known by.
    PopupController(QWidget* anchor, const QString& name);
    ~PopupController() override;

    Popup* sheet() const { return m_sheet; }
    QWidget* anchorView() const { return m_anchorView; }
    void setAnchorView(QWidget* anchor) { m_anchorView = anchor; }
    // Where subclasses put their controls.
    QWidget* contentArea() const;

    int attachmentSide() const { return m_attachmentSide; }
    void setAttachmentSide(int side) { m_attachmentSide = side; }
    bool isShown() const;

    // True when this popup was opened, directly or through others, from inside the given one.
    bool isOffOfPopup(const PopupController* popup) const;
    PopupController* parentController() const;
    // Another window came to the front: this popup commits, unless the window is its own or that
    // of a popup opened from it, and its parent is asked the same.
    void collapsePopupTo(QWindow* window);

    // Places and shows the popup. Subclasses prepare their content and call this last.
    virtual void showWindow();
    // Hides the popup; the anchor's window gets the keyboard back.
    virtual void close();
    // Cancel: the base only closes. Value popups restore their value first.
    virtual void cancelDialog();
    // OK: the base only closes. Value popups hand their value back first.
    virtual void perform();

    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // The popups shown now, the most recently shown last.
    static QList<PopupController*> shownPopups();

protected:
    // OK (perform) and Cancel (cancelDialog) at the bottom right of the popup.
    void addOkAndCancel(QVBoxLayout* layout);

private:
    static void focusWindowChanged(QWindow* window);
    static void applicationDeactivated();

    QPointer<QWidget> m_anchorView;
    Popup* m_sheet = nullptr;
    bool m_arrangedForAttachment = false;
    // The popup's window has had the focus since it was last shown. Until then the popup has not
    // had the user's attention, so it cannot lose it: a window that comes forward meanwhile (the
    // window of the menu it was chosen from, as that menu closes) does not commit it.
    bool m_hasComeForward = false;
    int m_attachmentSide = PopupBelowAnchor;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace zandrel

#pragma once

#include "graphics/Measurement.h"
#include "panels/DialogController.h"
#include "panels/MeasurementFormatter.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;

namespace zandrel {

class ComicDocument;
class PanelFrameControls;

// Lies over a new comic's view: the comic shows through it faded, with the new-comic controls on top.
class NewComicOverlay : public QWidget {
    Q_OBJECT

public:
    explicit NewComicOverlay(QWidget* parent);
    // Takes the controls as its panel: centred while the parent is larger, scrolled (never squeezed
    // below their smallest size or cut off) while the window is smaller.
    void hold(QWidget* controls);
    // Covers the parent with the controls on top, the first field taking the keys.
    void present(QWidget* controls, QLineEdit* firstField);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The setup of a new comic: name, creator, size, gutter, rows and panels and the panels' frame. Every
// change rebuilds the comic in its document at once (without undo), so the comic behind the controls
// is the preview. OK keeps the choices as the defaults of the next new comic and ends the sheet.
class NewComicViewController : public DialogController {
    Q_OBJECT

public:
    // Limits of the fields: a page a person can work on, and a bitmap of it within reach.
    static constexpr double kSmallestSide = 50.0;
    static constexpr double kLargestSide = 20000.0;
    static constexpr double kLargestGutter = 200.0;
    static constexpr int kMostRowsOrPanels = 20;

    // The sheet over the comic's area of the window (the view and its page controls).
    NewComicViewController(ComicDocument* document, QWidget* comicArea);

    // Fills the controls, shows the overlay and rebuilds the comic.
    void showWindow() override;
    void close() override;
    // Escape keeps what the sheet shows, as OK does: a new comic always gets a layout.
    void cancelDialog() override;
    bool setNilValueForKey(const QString& key) override;
    // Rebuilds the comic from the choices.
    void updateDocument();
    // OK.
    void setComicProperties();

    NewComicOverlay* overlay() const { return m_overlay; }

    Measurement widthPixels;
    Measurement heightPixels;
    double gutter = 12.0;
    int numRows = 1;
    int panelsPerRow = 4;
    QString name;
    QString creator;

private:
    ComicDocument* m_document;
    QPointer<NewComicOverlay> m_overlay;
    PanelFrameControls* m_frame = nullptr;
    MeasurementFormatter m_sizeLimits;
    int m_shape = 0;
    float m_weight = 1.0f;
    qint64 m_lineStyle = 0;
    float m_cornerRoundness = 0.0f;
};

} // namespace zandrel

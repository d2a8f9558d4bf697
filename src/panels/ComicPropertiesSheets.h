#pragma once

#include "graphics/Measurement.h"
#include "panels/DialogController.h"
#include "panels/MeasurementFormatter.h"

#include <QString>
#include <memory>

class QLabel;
class QLineEdit;

namespace zandrel {

class ComicDocument;
class ComicModel;

// The comic's name, creator, description and hashtags. Only the fields the user changed are
// written, as one undo step; an untouched sheet adds no step.
class ComicPropertiesDialogController : public DialogController {
    Q_OBJECT

public:
    ComicPropertiesDialogController(ComicDocument* document, QWidget* hostWindow);

    void showWindow() override;
    // OK.
    void setProperties();

    QLineEdit* descriptionField() const { return m_descriptionField; }
    QLineEdit* hashtagsField() const { return m_hashtagsField; }

private:
    ComicDocument* m_document;
    std::shared_ptr<ComicModel> m_comic;
    QString m_name;
    QString m_creator;
    QString m_comicDescription;
    QString m_hashtags;
    QLineEdit* m_descriptionField = nullptr;
    QLineEdit* m_hashtagsField = nullptr;
};

// The comic's page size, in the display units; a size the panels would not fit in is refused.
class ResizeComicController : public DialogController {
    Q_OBJECT

public:
    // The largest page side the sheet takes, in pixels: a bitmap of the page stays within reach.
    static constexpr float kLargestSide = 20000.0f;
    static constexpr float kSmallestSide = 1.0f;

    ResizeComicController(ComicDocument* document, QWidget* hostWindow);
    ~ResizeComicController() override;

    void showWindow() override;
    void measurementUnitsChanged();
    // OK.
    void performResize();

    QString currentWidth() const { return m_currentWidth; }
    QString currentHeight() const { return m_currentHeight; }

private:
    ComicDocument* m_document;
    std::shared_ptr<ComicModel> m_comic;
    Measurement m_widthToSet;
    Measurement m_heightToSet;
    MeasurementFormatter m_limits;
    QString m_currentWidth;
    QString m_currentHeight;
    QLabel* m_currentSizeLabel = nullptr;
};

} // namespace zandrel

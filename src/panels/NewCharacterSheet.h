#pragma once

#include "panels/DialogController.h"

#include <QPointer>
#include <array>

class QButtonGroup;

namespace zandrel {

class CharacterDocument;
class ColorPopupButton;
class ColorSwatchGrid;
class NewComicOverlay;

// The setup of a new parts file over its empty window: name, creator, character or scenery, and for
// a character the five colours its palette starts with (hair, skin, top, bottom, shoes), each a
// colour well beside a grid of suggestions. OK writes them into the new model without undo, keeps
// the colours as the next new character's, gives the model its default styles and ends the sheet.
class NewCharacterViewController : public DialogController {
    Q_OBJECT

public:
    struct PaletteColor {
        const char* defaultsKey;
        const char* name;
        double red, green, blue;
        QStringList swatches;
    };
    // Hair, skin, top, bottom, shoes.
    static const std::array<PaletteColor, 5>& paletteColors();
    // The colours of the first new character.
    static void registerDefaults();

    NewCharacterViewController(CharacterDocument* document, QWidget* area);

    void showWindow() override;
    void close() override;
    // Escape keeps what the sheet shows, as OK does: the sheet is how a new file begins.
    void cancelDialog() override;
    // The colour rows show for a character only.
    void selectPartsType(int kind);
    // OK.
    void setCharacterProperties();

    ColorPopupButton* colorWell(int index) const { return m_wells.at(std::size_t(index)); }
    ColorSwatchGrid* colorGrid(int index) const { return m_grids.at(std::size_t(index)); }
    QWidget* colorSetView() const { return m_colorSetView; }

    QString name;
    QString creator;

private:
    CharacterDocument* m_document;
    QPointer<NewComicOverlay> m_overlay;
    QButtonGroup* m_kindSelector = nullptr;
    QWidget* m_colorSetView = nullptr;
    std::array<ColorPopupButton*, 5> m_wells {};
    std::array<ColorSwatchGrid*, 5> m_grids {};
};

} // namespace zandrel

#pragma once

#include "graphics/ElementProtocols.h"

#include <memory>
#include <vector>

namespace zandrel {

class CharacterModel;
class ComicPanel;

// What a panel asks of the comic at the root of its tree: which panel is current, the display
// modes, and the comic's colour set. The comic model implements it; a tree without one answers
// as a comic with no current panel, neither mode on and no colour set.
class PanelComicServices {
public:
    virtual ~PanelComicServices() = default;

    virtual std::shared_ptr<ComicPanel> currentPanel() const = 0;
    // The background layer is being edited instead of the front layer.
    virtual bool editBackground() const = 0;
    // True while, in focus mode, the comic draws the current panel a second time over its veil.
    virtual bool drawingCurrentPanel() const = 0;
    virtual std::shared_ptr<CharacterModel> comicColorsModel() const = 0;
};

// What a panel asks of the page that holds it directly as a free panel. The comic page implements
// it; a panel whose parent does not is fixed.
class PanelPageServices {
public:
    virtual ~PanelPageServices() = default;

    virtual bool panelIsFloating(const ComicPanel& panel) const = 0;
    virtual bool panelIsInset(const ComicPanel& panel) const = 0;
    // The inset panels whose outsets reach into the panel, in page order.
    virtual std::vector<std::shared_ptr<ComicPanel>> getInsetPanelsAffecting(
        const ComicPanel& panel) const = 0;
    // The elements floating over the page, in page order.
    virtual ElementList floatingElements() const = 0;
};

} // namespace zandrel

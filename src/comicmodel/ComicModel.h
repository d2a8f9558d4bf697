#pragma once

#include "comicmodel/ComicPage.h"
#include "comicmodel/PanelServices.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zandrel {

class CharacterLibraryItem;
class CharacterModel;
class ComicDocument;
class DocumentSettings;
class ZDLColor;
class ZDLImage;

using CharacterList = std::vector<std::shared_ptr<CharacterModel>>;
using CharacterLibrary = std::vector<std::shared_ptr<CharacterLibraryItem>>;

// The root of a comic document and of the comic file: the pages (its contents), the page size and
// the gutter between panels, the page and panel that editing applies to, the cast of characters
// whose palettes the comic's elements use (the first of them the comic's own colour set, "Comic"),
// the library of parts files shown beside the comic, the comic's metadata and the view state of its
// window.
//
// The current page and panel always agree: a panel on another page switches the page, a page that
// does not hold the current panel makes its first panel current, and both switches end focus mode.
class ComicModel : public ComicStructureElement, public PanelComicServices {
public:
    ZDL_PROPERTIES

    // Property names, for the document's undoable changes and for observers.
    static inline const QString kNameKey = QStringLiteral("name");
    static inline const QString kCreatorKey = QStringLiteral("creator");
    static inline const QString kComicDescriptionKey = QStringLiteral("comicDescription");
    static inline const QString kHashtagsKey = QStringLiteral("hashtags");
    static inline const QString kSizeKey = QStringLiteral("size");
    static inline const QString kCharactersKey = QStringLiteral("characters");
    static inline const QString kCurrentPageKey = QStringLiteral("currentPage");
    static inline const QString kCurrentPanelKey = QStringLiteral("currentPanel");
    static inline const QString kPanelGutterKey = QStringLiteral("panelGutter");
    static inline const QString kBackgroundStyleKey = QStringLiteral("backgroundStyle");
    static inline const QString kEditBackgroundKey = QStringLiteral("editBackground");
    static inline const QString kFocusOnPanelKey = QStringLiteral("focusOnPanel");

    static constexpr float kDefaultPanelGutter = 10.0f;
    static constexpr double kDefaultWidth = 600.0;
    static constexpr double kDefaultHeight = 250.0;

    // The comic file's format, and the newest one this program reads.
    static constexpr qint32 kFileVersion = 10;
    static constexpr qint32 kLosslessVersion = 9;

    // No pages; the comic colour set as the only character; the user as creator; a page size of
    // 600 x 250 and a gutter of 10.
    ComicModel();
    ComicModel(const ComicModel&) = delete;
    ComicModel& operator=(const ComicModel&) = delete;
    ~ComicModel() override;
    // A comic is never copied.
    ObjectPtr initByCopying() const override { return nullptr; }

    // --- The comic file (ComicModelFile.cpp) ---
    static inline const QString kClassName = QStringLiteral("ComicModel");
    QString className() const override;
    // The version header first, then the structure keys and the model's own.
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // Refuses a newer format before reading anything; a file without a usable page is corrupt.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Set-up and lifetime ---
    // The new-comic sheet's layout: one page of the size with rows of panels, its first panel
    // current; the views redraw on the next pass of the event loop.
    void setupWithSize(const QSizeF& size, int rows, int panels);
    ComicDocument* comicDocument() const { return m_document; }
    ZDLDocument* document() const override;
    // Links the document (not owned) and passes it to every character.
    void setDocument(ComicDocument* document);
    // Detaches every graphic, retires pages and characters and lets go of everything.
    void retire() override;

    // --- Pages and panels ---
    // Tells the document the number of pages changed.
    void setContents(const ComicStructureList& pages) override;
    std::shared_ptr<ComicPage> pageAtIndex(qsizetype index) const;
    qsizetype numPages() const { return qsizetype(numContents()); }
    // -1 when the current page is none of the pages.
    qsizetype currentPageIndex() const;
    // The current panel's place among all panels, in the order getPanelsInArray gives; -1 for none.
    qsizetype currentPanelIndex() const;
    // An index outside the pages is ignored.
    void setCurrentPageIndex(qsizetype index);
    const std::shared_ptr<ComicPage>& currentPage() const { return m_currentPage; }
    void setCurrentPage(const std::shared_ptr<ComicPage>& page);
    std::shared_ptr<ComicPanel> currentPanel() const override { return m_currentPanel; }
    void setCurrentPanel(const std::shared_ptr<ComicPanel>& panel);
    bool editBackground() const override { return m_editBackground; }
    void setEditBackground(bool editBackground);
    bool focusOnPanel() const override { return m_focusOnPanel; }
    void setFocusOnPanel(bool focusOnPanel);
    bool drawingCurrentPanel() const override { return m_drawingCurrentPanel; }
    void setDrawingCurrentPanel(bool drawing) { m_drawingCurrentPanel = drawing; }
    // The current page's.
    std::shared_ptr<ComicStructureElement> firstPanel() const override;
    std::shared_ptr<ComicStructureElement> lastPanel() const override;
    ComicStack* page() const override { return nullptr; }
    // The page rectangle at the origin, whatever the corners.
    QRectF bounds() const override;
    QSizeF size() const { return m_size; }
    void setSize(const QSizeF& size) { m_size = size; }
    float panelGutter() const override { return m_panelGutter; }
    // Every panel rebuilds its frame with a new gutter.
    void setPanelGutter(float gutter);
    // Every page takes the corners, then the model records its own.
    void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight) override;
    std::shared_ptr<ComicStructureElement> getDeepestElementAt(const QPointF& point) const override;
    // On the current page: a floating panel, then an inset panel, each list from the front, then a
    // panel of the rows.
    std::shared_ptr<ComicPanel> getPanelAt(const QPointF& point) const;
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object);
    // Of every page: the rows' minimum with its margins, and every free panel's size.
    QSizeF minimumSize() const override;

    // --- Cast and colours (ComicModelCast.cpp) ---
    const CharacterList& characters() const { return m_characters; }
    // Observers of "characters" hear of it.
    void setCharacters(const CharacterList& characters);
    std::shared_ptr<CharacterModel> comicColorsModel() const override { return m_comicColorsModel; }
    std::shared_ptr<CharacterModel> characterById(const QString& characterId) const;
    // A new character for the identifier, appended to the cast undoably.
    std::shared_ptr<CharacterModel> undoableAddNewCharacter(const QString& characterId);
    // Links pasted parts, balloons and images (groups opened) to characters of the cast by their
    // identifiers, adding characters that are missing, and maps parts' and balloons' colours onto
    // their character's palette.
    void mergeInCharactersAndColors(const ElementList& elements);
    void mergeInColors(const QList<std::shared_ptr<ZDLColor>>& colors, const QString& characterId);
    // Whether that very colour of the character is used in the element (groups and layers opened).
    bool colorFromCharacterUsedIn(
        const ZDLColor* color, const QString& characterId, const Object* element) const;
    // False while any panel's fill, layer or any page's free objects use the colour.
    bool okToDeleteColor(const ZDLColor* color, const QString& characterId) const;
    // A character of the cast changed a colour: its parts drop their renderings wherever they are.
    void needsFlushAllCachesUsingColor(const void* sender);

    // --- Character library (ComicModelCast.cpp) ---
    const CharacterLibrary& characterLibrary() const { return m_characterLibrary; }
    void setCharacterLibrary(const CharacterLibrary& library) { m_characterLibrary = library; }
    // The entry of the parts file; else the catalog's, added; else, when allowed, a new one for
    // the file, added; else null.
    std::shared_ptr<CharacterLibraryItem> getCharacterLibraryFromFile(
        const QString& path, bool openingIfNotFound);
    std::shared_ptr<CharacterLibraryItem> getCharacterLibraryNamed(const QString& name) const;
    void removeCharacterLibrary(const CharacterLibraryItem* item);

    // --- Queries and rendering (ComicModelRendering.cpp) ---
    // Of every panel, then of every page's free objects; groups opened.
    ElementList allComicElementsOfClass(const QString& className) const;
    // The image elements of the comic and of its characters' parts that show that very image.
    ElementList allImageElementsUsingImage(const ZDLImage* image) const;
    // The page at the index drawn as for an export, at the scale: premultiplied ARGB of the comic's
    // size times the scale, rounded up. A null image for an index outside the pages or a size that
    // would be too large.
    QImage getImageOfPage(qsizetype index, float scale) const;
    // The panel (with the free objects over it, when asked) drawn as for an export.
    QImage getImageOfPanel(const std::shared_ptr<ComicPanel>& panel, bool withFloaters, float scale) const;
    // What an image or a print of a panel shows: its bounds grown by half its border, with the
    // floaters' bounds when there are any.
    static QRectF panelImageRect(const ComicPanel& panel, const ElementList& floaters);
    // The current page; in focus mode on screen, veiled, with the current panel over the veil.
    void drawIn(ZDLContext& context, const QRectF& dirtyRect) override;

    // --- Plain properties ---
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const QString& creator() const { return m_creator; }
    void setCreator(const QString& creator) { m_creator = creator; }
    const QString& comicDescription() const { return m_comicDescription; }
    void setComicDescription(const QString& description) { m_comicDescription = description; }
    const QString& hashtags() const { return m_hashtags; }
    void setHashtags(const QString& hashtags) { m_hashtags = hashtags; }
    int backgroundStyle() const { return m_backgroundStyle; }
    void setBackgroundStyle(int style) { m_backgroundStyle = style; }
    bool isCatalogViewOpen() const { return m_isCatalogViewOpen; }
    void setIsCatalogViewOpen(bool open) { m_isCatalogViewOpen = open; }
    const std::shared_ptr<DocumentSettings>& documentSettings() const { return m_documentSettings; }
    void setDocumentSettings(const std::shared_ptr<DocumentSettings>& settings)
    {
        m_documentSettings = settings;
    }

private:
    void setupComicColors();
    void observeColorChanges();
    // Drops pages, rows and panels standing where they cannot (a page inside a row, a comic inside
    // a page), which only a damaged file can describe.
    void pruneMisplacedStructure();
    // Renders the drawing into a new image of the rect at the scale, as for an export.
    QImage renderRect(const QRectF& rect, float scale, const std::function<void(ZDLContext&)>& draw) const;

    QString m_name;
    QString m_creator;
    QString m_comicDescription;
    QString m_hashtags;
    QSizeF m_size { kDefaultWidth, kDefaultHeight };
    CharacterList m_characters;
    CharacterLibrary m_characterLibrary;
    std::shared_ptr<ComicPage> m_currentPage;
    std::shared_ptr<ComicPanel> m_currentPanel;
    float m_panelGutter = kDefaultPanelGutter;
    int m_backgroundStyle = 0;
    bool m_isCatalogViewOpen = true;
    bool m_editBackground = false;
    bool m_focusOnPanel = false;
    bool m_drawingCurrentPanel = false;
    std::shared_ptr<DocumentSettings> m_documentSettings;
    std::shared_ptr<CharacterModel> m_comicColorsModel;
    ComicDocument* m_document = nullptr;
};

using ComicModelPtr = std::shared_ptr<ComicModel>;

void registerComicModelClass(ClassRegistry& registry);

} // namespace zandrel

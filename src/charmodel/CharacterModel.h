#pragma once

#include "graphics/ElementChildren.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/StyleFields.h"
#include "platform/Object.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <memory>

namespace zandrel {

class Canvas;
class ClassRegistry;
class DocumentSettings;
class PartPath;
class ShapeStyle;
class ZDLDocument;
class ZDLImage;
class CharacterModel;

using CharacterModelPtr = std::shared_ptr<CharacterModel>;

// Notifications a character model posts with itself as object.
inline const QString kUpdateModelColorsNotification = QStringLiteral("updateModelColors");
inline const QString kFlushAllCachesUsingColorNotification = QStringLiteral("flushAllCachesUsingColor");

// The root of a parts file: one character (or one set of scenery) made of reusable parts. It owns
// the top-level elements (parts and the loose elements beside them) and is their parent, keeps the
// palette its elements refer to by identity, the named styles, the attributes new paths start with,
// a tracing image drawn under the parts, the framing of the catalog thumbnail and the view settings.
//
// The palette always starts with the shared none, black and white colours. Every other entry is
// observed ("name" and "color"), so that editing a colour anywhere becomes an undoable "Edit Color"
// step of the document and redraws everything that uses it.
class CharacterModel : public Object, public virtual Parent, public StyleHolder<CharacterModel> {
public:
    ZDL_PROPERTIES

    // Property names beside the style keys.
    static inline const QString kUnconvertingFillColorKey = QStringLiteral("unconvertingFillColor");
    static inline const QString kCharacterNameKey = QStringLiteral("characterName");
    // The named styles, settable by key as a list of styles (the styles sheets save through it).
    static inline const QString kStylesKey = QStringLiteral("styles");
    static inline const QString kCreatorKey = QStringLiteral("creator");
    static inline const QString kCharacterIdKey = QStringLiteral("characterId");
    static inline const QString kPartsKindKey = QStringLiteral("partsKind");
    static inline const QString kProductCodeKey = QStringLiteral("productCode");
    static inline const QString kTracingImageKey = QStringLiteral("tracingImage");
    static inline const QString kTracingImageVisibleKey = QStringLiteral("tracingImageVisible");
    static inline const QString kTracingImageScaleKey = QStringLiteral("tracingImageScale");
    static inline const QString kTracingImageAlphaKey = QStringLiteral("tracingImageAlpha");
    static inline const QString kThumbnailScaleKey = QStringLiteral("thumbnailScale");
    static inline const QString kThumbnailOriginKey = QStringLiteral("thumbnailOrigin");

    static constexpr int kThumbnailWidth = 280;
    static constexpr int kThumbnailHeight = 200;

    // A new character: the required colours plus translucent "Shadow" and "Highlight", no parts,
    // no styles, new document settings and the user as creator.
    CharacterModel();
    CharacterModel(const CharacterModel&) = delete;
    CharacterModel& operator=(const CharacterModel&) = delete;
    // Stops observing the palette.
    ~CharacterModel() override;

    // A bare model for a character a comic refers to but does not hold: the required colours only,
    // name and creator from the two tab-separated fields of the identifier (the whole text as the
    // name when there is no tab), no document settings.
    static CharacterModelPtr initFromId(const QString& characterId);
    // A new character, then "characterName" and "creator" when present.
    static CharacterModelPtr initWithXMLAttributes(const QMap<QString, QString>& attributes);
    // A new character holding the image records of a legacy parts file, in order. A short or damaged
    // file raises the reader's exception.
    static CharacterModelPtr initWithParts86Data(const QByteArray& data);

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("CharacterModel");
    QString className() const override;

    // --- Parts file: the model is the root object of the archive ---
    // The format this model writes, and the newest "fileVersion" it reads: products of a newer
    // format are not offered. Files of a newer lossless version read with a warning.
    static constexpr qint32 kFileVersion = 7;
    static constexpr qint32 kLosslessVersion = 4;
    static constexpr qint32 maximumSupportedFileVersion() { return kFileVersion; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // Refuses a newer format before reading anything; fills in what older files lack and drops
    // elements that fail validation.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Identity ---
    const QString& characterName() const { return m_characterName; }
    // Tells the document "characterName" with the old name.
    void setCharacterName(const QString& name);
    QString displayName() const override { return m_characterName; }
    const QString& creator() const { return m_creator; }
    void setCreator(const QString& creator) { m_creator = creator; }
    // The name, a tab and the creator: what copied parts and images carry to tell where they came from.
    QString characterId() const;
    // 0 a character, anything else scenery.
    int partsKind() const { return m_partsKind; }
    // Tells the document "partsKind" with the old value.
    void setPartsKind(int kind);
    // Never an empty string: an empty code is stored as none.
    const QString& productCode() const { return m_productCode; }
    void setProductCode(const QString& code);
    QImage pathIcon() const override;
    ZDLDocument* document() const { return m_document; }
    void setDocument(ZDLDocument* document) { m_document = document; }
    const std::shared_ptr<DocumentSettings>& documentSettings() const { return m_documentSettings; }
    void setDocumentSettings(const std::shared_ptr<DocumentSettings>& settings)
    {
        m_documentSettings = settings;
    }

    // --- Parent ---
    ElementList children() const override { return m_parts.items(); }
    ElementList getParts() const { return m_parts.items(); }
    std::size_t numChildren() const override { return m_parts.size(); }
    ObjectPtr getChildAtIndex(std::size_t index) const override { return m_parts.at(index); }
    bool hasChild(const Object* element) const override { return m_parts.contains(element); }
    void setChildren(const ElementList& children) override;
    void addPart(const ObjectPtr& element);
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }
    // The union of the parts' bounds; the zero rect without parts.
    QRectF getBounds() const override;
    QRectF getGeometryBounds() const override;
    // The last part that contains the point, or null.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;

    // --- Drawing ---
    // Draws the parts whose invalidation bounds meet the rect, in order.
    void drawIn(ZDLContext& context, const QRectF& dirtyRect) const;
    // The tracing image, upright with its top-left corner at the origin, so that dark lines show
    // and white vanishes.
    void drawTracingImageIn(Canvas& canvas) const;
    QRectF getTracingImageBounds() const;
    // The catalog thumbnail: thumbnailRect drawn into 280 x 200 pixels as for an export.
    QImage getThumbnail() const;
    QRectF thumbnailRect() const;
    QPointF thumbnailOrigin() const { return m_thumbnailOrigin; }
    void setThumbnailOrigin(const QPointF& origin) { m_thumbnailOrigin = origin; }
    float thumbnailScale() const { return m_thumbnailScale; }
    void setThumbnailScale(float scale) { m_thumbnailScale = scale; }

    // --- Tracing image: the setters redraw the views only when the value changes. ---
    const std::shared_ptr<ZDLImage>& tracingImage() const { return m_tracingImage; }
    void setTracingImage(const std::shared_ptr<ZDLImage>& image);
    bool tracingImageVisible() const { return m_tracingImageVisible; }
    void setTracingImageVisible(bool visible);
    float tracingImageScale() const { return m_tracingImageScale; }
    void setTracingImageScale(float scale);
    float tracingImageAlpha() const { return m_tracingImageAlpha; }
    void setTracingImageAlpha(float alpha);

    // --- Defaults for new paths: the style fields but the blur (StyleHolder) ---
    // The default fill is kept with the colour it last had as a colour fill remembered beside it,
    // so that switching to a gradient and back does not lose the colour. Setting a colour fill
    // remembers its colour.
    // Type 1 makes a gradient from the current colour (as drawn) to white; type 0 a white colour fill.
    void setFillType(int type);
    // The remembered colour.
    const ZDLColorPtr& fillColor() const { return m_fillColor; }
    // Turns a gradient into a colour fill first.
    void setFillColor(const ZDLColorPtr& color);
    const ZDLColorPtr& unconvertingFillColor() const { return m_fillColor; }
    // Keeps a gradient a gradient: colour replacement must not change the kind of fill.
    void setUnconvertingFillColor(const ZDLColorPtr& color);
    // Turns a gradient into a colour fill of the remembered colour first.
    void setFillColorAdjust(float adjust);
    void setFillGradient(const FillPtr& fill) { setFill(fill); }
    // Line colour, adjustment, opacity, dash, fill, fill opacity and weight (never the blur).
    void setDefaultAttributesIn(PartPath& path) const;

    // --- Styles ---
    const QList<NamedShapeStylePtr>& styles() const { return m_styles; }
    // Observers of "styles" hear of it (the style menus are rebuilt).
    void setStyles(const QList<NamedShapeStylePtr>& styles);
    // "Skin", "Shadow" and "Highlight", each only when the palette has a colour of that name.
    void createDefaultStyles();
    // The character's style clipboard, made from the default line colour and fill on first request.
    std::shared_ptr<ShapeStyle> stylePasteboard();
    QString uniqueNameForStyle(const NamedShapeStyle* style, const QString& requested) const;

    // --- Queries over the elements (groups opened) ---
    QSet<int> getPartTypes() const;
    QList<int> getPartTypesSorted() const;
    static QList<int> getAllPartTypesSorted();
    // Aliases of every top-level part of the type, lowest first; -2 for every type in order.
    ElementList getPartAliasesOfType(int partType) const;
    // The image elements, loose or inside parts (visible ones), that show that very image.
    ElementList allImageElementsUsingImage(const ZDLImage* image) const;

    // --- Pasting ---
    // Pasted parts take their model from their new parent, images forget where they came from,
    // groups are filtered in turn and dropped when empty or unwrapped when holding one element.
    ElementList filterObjects(const ElementList& objects) const;
    // The children of a pasteboard container: part elements are gathered into one new part of this
    // character (a single part group is unwrapped), anything else is filtered as above.
    ElementList filterScrapObjects(const ElementList& scrapChildren);
    // False as soon as a part or balloon carries another character's identifier.
    bool pastedPartsAreFromThisCharacter(const ElementList& objects) const;

    // --- Notices and lifecycle ---
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) const;
    void flushAllCachesUsingColor() const;
    // Merges the defaults' and styles' colours into the palette and drops invalid elements.
    bool validateData();
    // Detaches every element and drops everything the model holds. Nothing of it is used afterwards.
    void retire();

    // --- Palette ---
    QList<ZDLColorPtr> colors() const { return m_colors; }
    // Stops observing the old colours and observes the new ones.
    void setColors(const QList<ZDLColorPtr>& colors);
    ZDLColorPtr noneColor() const { return colorAt(0); }
    ZDLColorPtr blackColor() const { return colorAt(1); }
    ZDLColorPtr whiteColor() const { return colorAt(2); }
    ZDLColorPtr getColorNamed(const QString& name) const;
    // A palette colour of that name, else a new unnamed colour for a valid "#RRGGBB" text, else null.
    ZDLColorPtr colorFromName(const QString& text) const;
    ZDLColorPtr colorMatchingColor(const ZDLColor* color) const;
    bool ownsColor(const ZDLColor* color) const;
    QString uniqueNameForColor(const ZDLColor* color, const QString& requested) const;

    void setupRequiredColors();
    void addColor(const ZDLColorPtr& color);
    void insertColor(const ZDLColorPtr& color, qsizetype index);
    // Defaults and the style clipboard that use the colour fall back to black or white first.
    void removeColor(const ZDLColorPtr& color);
    void removeColorAtIndex(qsizetype index);
    // Without notification.
    void removeAllColors();
    void undoableAddColor(const ZDLColorPtr& color);
    void undoableInsertColor(const ZDLColorPtr& color, qsizetype index);
    // A colour not in the palette changes nothing.
    void undoableDeleteColor(const ZDLColorPtr& color);

    void startObservingColor(const ZDLColorPtr& color);
    void stopObservingColor(const ZDLColorPtr& color);
    // Sets a colour's value back by key; what undoing a colour edit runs.
    void changeKeyPath(const QString& keyPath, const ObjectPtr& object, const Value& value);

    // The palette's instance for a colour arriving with pasted or decoded elements: the colour
    // itself when in the palette, else the entry of the same name, else the colour, added undoably.
    // Null stays null.
    ZDLColorPtr mergeColor(const ZDLColorPtr& color);
    void mergePastedColorsIn(const ObjectPtr& object);
    // Relinking after a migration: by value rather than by name, appended without undo when new.
    ZDLColorPtr updateColor(const ZDLColorPtr& color);
    void updateColorsIn(const ObjectPtr& object);
    // Brings a palette of an older file or an import into the current form.
    void updateColors();
    // Gives every unlocked colour, in palette order, the name uniqueNameForColor would give it, in
    // linear time (UniqueNames): a colour keeps its name unless a later one bears it too. Readers
    // call it, since paths and the palette find colours by name.
    void makeColorNamesUnique();

    // Whether that very colour is used in the object (the model: defaults, clipboard, styles and
    // every element).
    bool colorUsedIn(const ZDLColor* color, const Object* object) const;
    bool okToDeleteColor(const ZDLColor* color) const;
    // Each use of the old colour becomes the new one, one undoable property change of the document
    // each; a gradient default fill stays a gradient.
    void replaceColor(const ZDLColorPtr& oldColor, const ZDLColorPtr& newColor, const ObjectPtr& object,
        ZDLDocument* document);

private:
    struct Bare { };
    explicit CharacterModel(Bare);

    ZDLColorPtr colorAt(qsizetype index) const;
    // Whether entries 0 to 2 are none, black and white, which the defaults fall back on.
    bool hasRequiredColorsInFront() const;
    void colorChanged(ZDLColor& color, const QString& key, const Value& oldValue);
    void postUpdateModelColors() const;
    // Runs the closure on this model when an undo or redo reaches it, unless the model is gone.
    void registerUndo(std::function<void(CharacterModel&)> action);
    void styleFieldChanged(const StyleFieldInfo& field) override;
    // New paths start unblurred: the defaults hold no blur.
    using StyleHolder::blur;
    using StyleHolder::setBlur;

    // Where the palette's colours stand: each by identity, and the first of each name and of each
    // value, so that a file merging thousands of colours into a palette does not walk it for each.
    // Made when first asked after a change of the palette or of a name in it, and kept up to date
    // by additions at its end.
    struct PaletteIndex {
        bool valid = false;
        QSet<const ZDLColor*> members;
        QHash<QString, ZDLColorPtr> firstNamed;
        QHash<QByteArray, ZDLColorPtr> firstOfValue;
        void add(const ZDLColorPtr& color);
    };
    const PaletteIndex& paletteIndex() const;
    void paletteChanged() const { m_paletteIndex.valid = false; }

    GraphicElementChildren m_parts { this };
    QList<ZDLColorPtr> m_colors;
    mutable PaletteIndex m_paletteIndex;
    QString m_characterName;
    bool m_tracingImageVisible = true;
    float m_tracingImageScale = 1.0f;
    float m_tracingImageAlpha = 0.2f;
    std::shared_ptr<ZDLImage> m_tracingImage;
    std::shared_ptr<ShapeStyle> m_stylePasteboard;
    ZDLColorPtr m_fillColor;
    int m_partsKind = 0;
    QString m_productCode;
    float m_thumbnailScale = 1.5f;
    ZDLDocument* m_document = nullptr;
    std::shared_ptr<DocumentSettings> m_documentSettings;
    QString m_creator;
    QList<NamedShapeStylePtr> m_styles;
    QPointF m_thumbnailOrigin { 10, 10 };
};

// Registers "CharacterModel" for archives.
void registerCharacterModelClass(ClassRegistry& registry);

} // namespace zandrel

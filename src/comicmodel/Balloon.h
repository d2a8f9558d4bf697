#pragma once

#include "comicmodel/BalloonPointer.h"
#include "graphics/ElementChildren.h"
#include "graphics/ElementFields.h"
#include "graphics/GraphicElementBase.h"
#include "graphics/LetteringAllowance.h"
#include "graphics/StyleFields.h"
#include "platform/TextLayoutManager.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zandrel {

class Balloon;
class CharacterModel;
class ClassRegistry;
class ColorFill;

using BalloonPtr = std::shared_ptr<Balloon>;

// The kind of outline a balloon draws around its text. Codes outside the table draw as Standard.
enum class BalloonShape : int {
    Standard = 0,
    Ellipse = 1,
    RoundRect = 2,
    // The narration box.
    Rect = 3,
    Fitted = 4,
    // No outline stroke and no fill; tails drawn as lines.
    TextBlock = 5,
};

// The edge effect of a balloon's outline and tails. Codes outside the table draw as Plain.
enum class BalloonStyle : int {
    Plain = 0,
    // Rough spikes, with thought-bubble tails.
    RoughSpikes = 1,
    Spikes = 2,
    Scallops = 3,
    RoughScallops = 4,
};

// Everything a balloon's drawIn shows apart from where it lies: two balloons with equal looks
// draw the same pixels, moved by the difference of their origins. Curves are compared by identity:
// the balloon and its tails drop and rebuild them whenever they change.
struct BalloonLook {
    struct Tail {
        std::shared_ptr<BalloonPointer> pointer;
        CurvePtr path;
        std::optional<QList<QRectF>> bubbles;
        QPointF offset;
        bool operator==(const Tail&) const = default;
    };
    bool visible = false;
    bool editing = false;
    int shape = 0;
    CurvePtr outline;
    std::vector<Tail> tails;
    // Invalid when no outline is drawn.
    QColor lineColor;
    double lineWidth = 0;
    QVector<double> dash;
    double dashPhase = 0;
    // Invalid without a fill.
    QColor fillColor;
    AttributedText text;
    // False for a balloon shown as a box without its lettering.
    bool lettered = false;
    float width = 0;
    // The values of the balloon's drawn fields, so that a field declared as drawn is part of the
    // look without more ado.
    std::vector<Value> fields;
    bool operator==(const BalloonLook&) const = default;
};

// The lettering element of a comic: a dialog balloon, a narration box or a text block. It owns
// attributed text laid out at a fixed width, an outline built around the visible text lines (its
// shape and edge style), its pointers (tails), a line colour, weight and dash and a fill. Balloons
// live in panel layers, groups, balloon groups, a page's free objects and character models.
//
// Coordinates: the text container, the outline and the pointers' anchors are in the balloon's
// local coordinates, whose origin is origin() (the top-left of the text container, y down);
// bounds are in the parent's coordinates. The balloon is never scaled or rotated: transforms move
// it.
//
// Its properties are declared once, in fields(): each with its property (editing goes through the
// document's undoable property changes by these names), its archive keys, whether it is drawn
// (part of look()) and its popup in the properties sheet. The in-place text editor sets editing()
// while it shows the text itself.
//
// Archive, in writing order: "originX", "originY", "width" (floats), "attributedText", "shape",
// "style" (integers), "pointers", "lineColor", "lineColorAdjust", "lineWeight" (floats), "fill",
// "dash" (integer), "model" (only when a colour set is stored), "characterId" (only while the
// pasteboard is written). Older files hold the text under "formattedText".
class Balloon : public GraphicElementBase, public virtual ComicElement, public StyleHolder<Balloon> {
public:
    ZDL_PROPERTIES

    static inline const QString kClassName = QStringLiteral("Balloon");

    // Property names beside the style keys.
    static inline const QString kFormattedTextKey = QStringLiteral("formattedText");
    static inline const QString kPointersKey = QStringLiteral("pointers");
    static inline const QString kWidthKey = QStringLiteral("width");
    static inline const QString kOriginKey = QStringLiteral("origin");
    static inline const QString kShapeKey = QStringLiteral("shape");
    static inline const QString kStyleKey = QStringLiteral("style");
    static inline const QString kEditingKey = QStringLiteral("editing");
    // The colour set in use (model()); setting it stores the link (setModel).
    static inline const QString kModelKey = QStringLiteral("model");
    // The identifier of the character whose colours a pasted balloon used (read only).
    static inline const QString kCharacterIdKey = QStringLiteral("characterId");

    // The user defaults new balloons take their text attributes from; the text editor writes them
    // when editing ends.
    static inline const QString kDefaultFontKey = QStringLiteral("defaultFont");
    static inline const QString kDefaultSizeKey = QStringLiteral("defaultSize");
    static inline const QString kDefaultTextColorKey = QStringLiteral("defaultTextColor");
    static inline const QString kDefaultAlignmentKey = QStringLiteral("defaultAlignment");

    static constexpr double kDefaultFontSize = 14.0;
    // The height of the text container; the width is the balloon's.
    static constexpr double kContainerHeight = 2000.0;
    // The type of text elements among the part types.
    static constexpr int kTextPartType = 10000;

    // Registers "defaultAlignment" (centred) with the user defaults. Runs once, before the first
    // balloon is made.
    static void registerUserDefaults();

    // A balloon at (0, 0) of width 0 with the default text ("Edit balloon text" in the default
    // font, size and colour, centred), one default pointer, a black line of weight 1 and a white
    // fill. The container keeps its unbounded width until the first non-zero width is set.
    Balloon();
    // A deep copy: the text, copies of the fill and of the pointers (owned by the copy), the same
    // line colour, model link and character identifier. The copy is visible, not editing, and has
    // no parent yet.
    Balloon(const Balloon& other);
    Balloon& operator=(const Balloon&) = delete;
    ~Balloon() override;

    // How the editing views add balloons: a new balloon at the point with the width.
    static BalloonPtr initAt(const QPointF& origin, float width);
    ObjectPtr initByCopying() const override;

    // Every property of a balloon beside those of a graphic element, in the order of the archive.
    static const ElementFields<Balloon>& fields();

    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Text ---
    const AttributedText& formattedText() const { return m_layout.text(); }
    // Replaces the text and drops the cached outline.
    void setFormattedText(const AttributedText& text);
    // The text laid out in the container, whether or not the balloon shows it.
    const TextLayoutManager& layoutManager() const { return m_layout; }
    // Whether the text is laid out and drawn. A balloon read from a file whose lettering allowance
    // it found spent is measured, hit and drawn as one of empty text: a box of its width. Asking
    // decides it, without laying the text out.
    bool showsLettering() const { return lettering() != nullptr; }
    float width() const { return m_width; }
    // A new width resizes the container to (width, kContainerHeight) and drops the cached outline;
    // the width held changes nothing. Widths that are not finite count as 0; widths are kept
    // within [0, TextLayoutManager::kMaxContainerExtent].
    void setWidth(float width);
    // The bottom of the last line; 20 without text (or lettering shown).
    float textHeight() const;
    // One rectangle per laid-out line trimmed of spaces and glyphs not shown at its ends; without
    // glyphs the one rectangle (0, 0, width, 20).
    QList<QRectF> getVisibleLineRects() const;
    // Their union: the body around which the outline and the tails are built.
    QRectF getVisibleEnclosingRect() const;
    bool isGlyphAtIndexInvisible(qsizetype glyph) const;
    qsizetype numberOfGlyphs() const;

    // --- Appearance. Shape, style, text and width changes drop the cached outline; line and fill
    // changes need not.
    int shape() const { return m_shape; }
    void setShape(int shape);
    int style() const { return m_edgeStyle; }
    void setStyle(int style);
    bool isTextBlock() const { return m_shape == int(BalloonShape::TextBlock); }
    bool editing() const { return m_editing; }
    void setEditing(bool editing);
    QPointF origin() const { return m_origin; }
    void setOrigin(const QPointF& origin);
    // The colour fill's colour, or null for a gradient; setting one on a gradient fill first
    // replaces it by a white colour fill.
    int fillType() const { return static_cast<int>(StyleHolder::fillType()); }
    void setFillColor(const ZDLColorPtr& color);
    void setFillColorAdjust(float adjust);

    // --- Pointers ---
    const BalloonPointerList& pointers() const { return m_pointers.items(); }
    // Takes the pointers (each once) and becomes their owner; pointers that leave are no longer
    // owned. The cached outline stays.
    void setPointers(const BalloonPointerList& pointers);

    // --- Colour set ---
    // The stored colour set if any; else, inside a panel layer, the comic's colour set; else,
    // among a page's free objects, the colour set of the comic holding the page; else the nearest
    // character model above; else null.
    Object* model() const override;
    CharacterModel* colorsModel() const;
    // The stored link, set when pasted elements are merged into a comic.
    void setModel(const std::shared_ptr<CharacterModel>& model);
    CharacterModel* storedModel() const;
    QString characterId() const { return m_characterId; }
    int partType() const override { return kTextPartType; }
    void setPartType(int) override { }
    // Merges the line and fill colours into the colour set's palette; without a colour set logs
    // "Balloon can't find owner model". Always usable.
    bool validateData() override;

    // --- Geometry and hit testing ---
    // The middle of the text container's top edge, the point transforms move.
    QPointF getCenter() const;
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    // Inside the outline (even-odd, text blocks too) or one of the pointers.
    bool containsPt(const QPointF& point, float viewScale) const override;

    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getGeometryBounds() const override;
    // getBounds grown by the line weight and half a unit for style 1, by ten times it otherwise.
    QRectF getVisualBounds() const override;
    QRectF getFilteredBounds() const override { return getVisualBounds(); }
    QRectF getInvalidationBounds() const override;
    QList<QRectF> getBoundsOfPaths() const override;

    // --- Outline (BalloonOutlines.cpp) ---
    // The cached outline in local coordinates, built on first demand with the style's edge effect.
    // Callers must not change it.
    CurvePtr getBalloonPath() const;
    CurvePtr getStandardBalloonPath() const;
    CurvePtr getEllipseBalloonPath() const;
    CurvePtr getRoundRectBalloonPath() const;
    CurvePtr getRectBalloonPath() const;
    CurvePtr getFittedBalloonPath() const;
    // The builders on given line rectangles (local coordinates), without edge effect: a rounded
    // oval of twelve off-curve points around the body; the smallest ellipse of the body's aspect
    // that holds every line corner (the standard outline for a body without area); the outline
    // that follows ragged line ends, bridging indented lines. A body of one or two letters, or
    // none, is first grown about its centre to a minimum size, so that these stay round rather
    // than coming to points.
    static CurvePtr standardOutline(const QRectF& body);
    static CurvePtr ellipseOutline(const QList<QRectF>& lines);
    static CurvePtr fittedOutline(const QList<QRectF>& lines);
    // How far either side of centre (local coordinates) a tail's base reaches across the unit
    // vector across: wanted, or less where the outline is narrower there. The base's ends keep a
    // line weight and the margin inside the outline, so that the fill covers the ends of the
    // tail's stroke and tail and outline join without a gap or a step.
    float tailBaseHalfWidth(const QPointF& centre, const QPointF& across, float wanted, float margin) const;

    // --- Drawing (BalloonDrawing.cpp) ---
    // The outline, the fill and the text, in three passes; a balloon group runs each pass over all
    // its members before the next, so that merged balloons show as one.
    void drawIn(ZDLContext& context) override;
    void drawOutlineIn(ZDLContext& context) const;
    void drawFillIn(ZDLContext& context) const;
    void drawTextIn(ZDLContext& context) const;
    // The look drawIn draws; none where drawing elsewhere first would not give the same pixels (a
    // gradient fill, a text block, lettering beyond the fill).
    std::optional<BalloonLook> look() const;

    // Drops the cached outline, the line rectangles and the pointers' caches.
    void flushCaches();
    void flushCachesUsingColor() override { }
    void flushCachedImage() override { }

protected:
    // The tails' bases keep the line weight inside the outline.
    void styleFieldChanged(const StyleFieldInfo& field) override;

private:
    // Ownership links of the pointers: a pointer has at most one balloon.
    struct PointerLinks {
        using Element = BalloonPointer;
        using Owner = Balloon;
        using List = BalloonPointerList;

        static Balloon* parentOf(const BalloonPointer& pointer) { return pointer.owner(); }
        static void setParentOf(BalloonPointer& pointer, Balloon* owner) { pointer.setOwner(owner); }
        static bool accepts(const BalloonPointer* pointer) { return pointer != nullptr; }
        static BalloonPointerPtr copyOf(const BalloonPointerPtr& pointer) { return pointer->initByCopying(); }
        static bool isValid(const BalloonPointerPtr&) { return true; }
        static const Object* objectOf(const Balloon* owner);
        static const Object* parentObjectOf(const Object*) { return nullptr; }
    };

    static AttributedText defaultText();
    // The layout the balloon measures and draws, null when its allowance is spent; the first call
    // after a change of the text takes the text's cost from it.
    const TextLayoutManager* lettering() const;
    // Gives back what the text took of the allowance; the next layout asks again.
    void releaseLettering();
    void changeColorFill(const QString& key, const std::function<void(ColorFill&)>& change);
    BalloonLine outlineLine() const;
    // The outline's bounds in the parent's coordinates, alone or with one kind of the pointers'.
    QRectF outlineBounds() const;
    QRectF outlineAndPointerBounds(QRectF (BalloonPointer::*pointerBounds)() const) const;

    TextLayoutManager m_layout;
    // The allowance of the file the balloon was read from (none for one made here), whether the
    // text may be laid out, and what it took.
    enum class Lettering : unsigned char { Undecided, Shown, LeftOut };
    std::shared_ptr<LetteringAllowance> m_allowance;
    mutable std::mutex m_letteringMutex;
    mutable Lettering m_lettering = Lettering::Undecided;
    mutable qint64 m_letteringTaken = 0;
    ElementChildren<PointerLinks> m_pointers { this };
    std::weak_ptr<CharacterModel> m_model;
    QString m_characterId;
    mutable CurvePtr m_outline;
    // The visible line rectangles, asked for by every tail on every measure; they change only
    // with the text and the width, which drop them.
    mutable std::optional<QList<QRectF>> m_lineRects;
    QPointF m_origin;
    float m_width = 0.0f;
    int m_shape = int(BalloonShape::Standard);
    int m_edgeStyle = int(BalloonStyle::Plain);
    bool m_editing = false;
};

// Registers "Balloon", "BalloonPointer" and "BalloonPoint" for decoding.
void registerBalloonClasses(ClassRegistry& registry);

} // namespace zandrel

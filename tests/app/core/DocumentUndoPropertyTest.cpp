// Seeded random edits of a real character through its document, each one undo step: undoing them
// one by one gives back the file's bytes of every earlier state, and redoing them the later ones.
// The edits are those the views and dialogs make: parts, paths and their curves, curve points,
// styles, palette colours, aliases and images. Two thousand sequences of up to two dozen edits.
#include "CharacterFixtures.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/ImageElement.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartsFile.h"
#include "graphics/CurvePoint.h"
#include "graphics/StyleKeys.h"
#include "graphics/ZDLImage.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

class DocumentUndoPropertyTest : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        ASSERT_TRUE(dir.isValid());
        tracing = dir.filePath(QStringLiteral("trace.png"));
        QImage pixels(24, 16, QImage::Format_RGB32);
        pixels.fill(Qt::lightGray);
        ASSERT_TRUE(pixels.save(tracing));
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixels.save(&buffer, "png");
    }

    // One of the paths among the element's members, a level of groups down.
    static PartPathPtr somePath(const ObjectPtr& element, qsizetype skip)
    {
        const auto* container = asProtocol<Parent>(element);
        if (!container)
            return nullptr;
        QList<PartPathPtr> paths;
        for (const ObjectPtr& member : container->children()) {
            if (auto path = std::dynamic_pointer_cast<PartPath>(member))
                paths.append(path);
            else if (const auto* group = asProtocol<Parent>(member)) {
                for (const ObjectPtr& inner : group->children()) {
                    if (auto path = std::dynamic_pointer_cast<PartPath>(inner))
                        paths.append(path);
                }
            }
        }
        return paths.isEmpty() ? nullptr : paths.at(skip % paths.size());
    }

    // One random edit of the kinds the views and dialogs make; false when it did nothing.
    bool edit(CharacterDocument& document, std::mt19937& random)
    {
        const CharacterModelPtr model = document.model();
        const ElementList parts = model->children();
        const auto pick = [&random](qsizetype size) {
            return std::uniform_int_distribution<qsizetype>(0, size - 1)(random);
        };
        const ObjectPtr part = parts.isEmpty() ? nullptr : parts.at(pick(parts.size()));
        lastKind = std::uniform_int_distribution<int>(0, 14)(random);
        const PartPathPtr path = part ? somePath(part, random()) : nullptr;
        switch (lastKind) {
        case 0:
            document.undoableSetPropertyFor(model, QStringLiteral("characterName"),
                Value(QStringLiteral("Name %1").arg(random() % 1000)));
            return true;
        case 1:
            if (!part)
                return false;
            document.undoableSetPropertyFor(part, QStringLiteral("partType"), Value(int(random() % 23)));
            return true;
        case 2: {
            if (!part)
                return false;
            // Tenths: moving back by the offset would round; undo puts the positions back.
            const double y = int(random() % 401) / 10.0 - 20;
            document.undoableOffsetObjects({ part }, QPointF(int(random() % 401) / 10.0 - 20, y), false);
            return true;
        }
        case 3:
            if (!part)
                return false;
            // A scale and turn whose inverse would not give the coordinates back.
            document.undoableTransformObjects({ part },
                QTransform::fromScale(1.1, 0.7).rotate(int(random() % 360)), QStringLiteral("Scale Objects"),
                false);
            return true;
        case 4: {
            if (parts.size() < 2)
                return false;
            ElementList fewer = parts;
            fewer.removeAt(pick(parts.size()));
            document.undoableSetChildren(fewer, model);
            return true;
        }
        case 5: {
            if (parts.size() < 2)
                return false;
            document.undoableSetChildren(ElementList(parts.crbegin(), parts.crend()), model);
            return true;
        }
        case 6: {
            const ZDLColorPtr coat = model->getColorNamed(QStringLiteral("Coat"));
            if (!coat)
                return false;
            document.undoableDeleteColor(coat, model, model->whiteColor());
            return true;
        }
        case 7:
            if (model->tracingImage()) {
                document.clearTracingImage();
                return true;
            }
            return document.openTracingImage(tracing);
        case 9:
            if (!path)
                return false;
            if (random() % 2) {
                document.undoableSetPropertyFor(
                    path, stylekeys::kLineWeight, Value(float(random() % 16) / 4));
            } else {
                const QList<ZDLColorPtr> colors = model->colors();
                document.undoableSetPropertyFor(
                    path, stylekeys::kLineColor, Value(colors.at(pick(colors.size()))));
            }
            return true;
        case 10:
        case 11: {
            // The path's curves edited as the path tools edit them, on copies set through the
            // document: a point moved, a curve added or one taken away.
            if (!path || path->numSegments() == 0)
                return false;
            std::vector<CurvePtr> curves;
            for (const CurvePtr& curve : path->segments())
                curves.push_back(curve);
            if (lastKind == 10) {
                const CurvePtr& curve = curves.at(size_t(pick(qsizetype(curves.size()))));
                if (curve->numPoints() == 0)
                    return false;
                const CurvePointPtr point = curve->getPointAtIndex(int(pick(curve->numPoints())));
                const float to = float(int(random() % 400) - 100) / 2;
                point->setValueForKey(Value(to), random() % 2 ? CurvePoint::kXKey : CurvePoint::kYKey);
            } else if (curves.size() > 1 && random() % 2) {
                curves.erase(curves.begin() + pick(qsizetype(curves.size())));
            } else {
                const double x = random() % 200;
                curves.push_back(
                    test::squarePath(QRectF(x, x / 2, 12, 9), nullptr, nullptr)->getSegmentAtIndex(0));
            }
            document.undoableSetPropertyFor(path, Path::kSegmentsKey, detail::toValue(curves));
            return true;
        }
        case 12: {
            // The palette: a colour added, or one renamed to another's name (made unique in the
            // same step) or recoloured.
            const QList<ZDLColorPtr> colors = model->colors();
            const ZDLColorPtr color = colors.at(pick(colors.size()));
            switch (random() % 3) {
            case 0:
                // Named apart from the others, as the palette's "new colour" names it.
                model->undoableAddColor(ZDLColor::colorFromHexNamed(
                    QStringLiteral("#%1").arg(uint(random() % 0xFFFFFF), 6, 16, QLatin1Char('0')),
                    model->uniqueNameForColor(nullptr, QStringLiteral("Mix"))));
                return true;
            case 1:
                if (color->locked())
                    return false;
                document.undoableSetPropertyFor(
                    color, ZDLColor::kNameKey, Value(colors.at(pick(colors.size()))->name()));
                return true;
            default:
                if (color->locked())
                    return false;
                document.undoableSetPropertyFor(color, ZDLColor::kColorKey,
                    Value(RgbColor(double(random() % 256) / 255, 0.5, double(random() % 4) / 4, 1.0)));
                return true;
            }
        }
        case 13: {
            // An alias of a real part shown beside the parts.
            auto real = std::dynamic_pointer_cast<Part>(part);
            if (!real)
                return false;
            ElementList more = parts;
            more.append(std::make_shared<PartAlias>(real));
            document.undoableSetChildren(more, model);
            return true;
        }
        case 14: {
            // An image placed in a part.
            auto* container = asProtocol<Parent>(part);
            if (!container || !std::dynamic_pointer_cast<Part>(part))
                return false;
            auto element = std::make_shared<ImageElement>();
            element->setImage(ZDLImage::initWithData(png));
            element->setTransform(QTransform::fromTranslate(random() % 100, random() % 100));
            ElementList more = container->children();
            more.insert(pick(more.size() + 1), element);
            document.undoableSetChildren(more, part);
            return true;
        }
        default: {
            // The user deletes a member of a part's group; the group may dissolve.
            auto* container = asProtocol<Parent>(part);
            if (!container)
                return false;
            for (const ObjectPtr& member : container->children()) {
                auto group = std::dynamic_pointer_cast<PartGroup>(member);
                if (!group || group->numChildren() == 0)
                    continue;
                ElementList rest = group->children();
                rest.removeFirst();
                document.undoableSetChildren(rest, group);
                document.objectsDeletedByUserInParent(group);
                return true;
            }
            return false;
        }
        }
    }

    // One sequence of the seed's edits on a fresh character.
    void retrace(unsigned seed)
    {
        std::mt19937 random(seed);
        CharacterDocument document(test::makeCharacter(QStringLiteral("Bob"), 3, 2));
        UndoManager& undo = *document.undoManager();
        undo.setGroupsByEvent(false);
        QList<QByteArray> states { archivedPartsFile(*document.model()) };
        std::vector<int> kinds { -1 };
        const int steps = 1 + int(random() % 24);
        for (int step = 0; step < steps; ++step) {
            undo.beginUndoGrouping();
            // An edit that finds nothing to do registers nothing, so there is no step to record.
            const bool changed = edit(document, random);
            undo.endUndoGrouping();
            if (!changed)
                continue;
            states.append(archivedPartsFile(*document.model()));
            kinds.push_back(lastKind);
        }
        const std::string trace
            = "seed " + std::to_string(seed) + ", edits " + ::testing::PrintToString(kinds);
        for (qsizetype i = states.size() - 2; i >= 0; --i) {
            ASSERT_TRUE(undo.canUndo());
            undo.undo();
            ASSERT_EQ(archivedPartsFile(*document.model()), states.at(i))
                << trace << ": undone to state " << i;
        }
        EXPECT_FALSE(undo.canUndo());
        for (qsizetype i = 1; i < states.size(); ++i) {
            ASSERT_TRUE(undo.canRedo());
            undo.redo();
            ASSERT_EQ(archivedPartsFile(*document.model()), states.at(i))
                << trace << ": redone to state " << i;
        }
    }

    QTemporaryDir dir;
    QString tracing;
    QByteArray png;
    int lastKind = -1;
};

constexpr unsigned kShards = 8;
constexpr unsigned kSequencesPerShard = 250;

TEST_P(DocumentUndoPropertyTest, UndoAndRedoRetraceEveryStateByteForByte)
{
    for (unsigned i = 0; i < kSequencesPerShard && !HasFailure(); ++i)
        retrace(GetParam() * kSequencesPerShard + i);
}

INSTANTIATE_TEST_SUITE_P(Shards, DocumentUndoPropertyTest, ::testing::Range(0u, kShards));

} // namespace
} // namespace zandrel

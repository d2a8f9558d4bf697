// Seeded random edit sequences on a real comic through its document, each edit one undo step:
// undoing a whole sequence gives back the comic file's bytes exactly, redoing it the edited bytes.
// The edits are those of the views, tools and sheets: corners, margins, pages, panels inserted,
// deleted and split, free panels and objects, objects in panels, colours, the comic's size and
// gutter, balloon text and shape, and grouping. Offsets and sizes are in tenths, so that sums round.
#include "app/core/ComicDocument.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

constexpr int kSequencesPerShard = 250;
constexpr int kShards = 8;
constexpr int kEditsPerSequence = 10;

// Random numbers for one call's arguments are drawn into locals, last argument first: the order of
// argument evaluation differs between compilers, and every compiler must run the same sequences.
class Editor {
public:
    Editor(ComicDocument& document, unsigned seed)
        : m_document(document)
        , m_comic(*document.model())
        , m_random(seed)
    {
    }

    // One random edit of the kinds the views, tools and sheets make; false when it found nothing
    // to do (and registered nothing).
    bool edit(int kind)
    {
        const auto page = m_comic.currentPage();
        ComicStructureList panels;
        page->ComicStack::getPanelsInArray(panels);
        const auto panel = std::dynamic_pointer_cast<ComicPanel>(pick(panels));
        const auto row = std::dynamic_pointer_cast<ComicRow>(pick(page->contents()));
        switch (kind) {
        case 0: {
            const QPointF bottomRight = panel->bottomRight() + jitter();
            panel->setTopLeftTopRightBottomLeftBottomRight(
                panel->topLeft() + jitter(), panel->topRight(), panel->bottomLeft(), bottomRight);
            return true;
        }
        case 1: {
            const QPointF bottomRight = row->bottomRight() + jitter();
            row->setTopLeftTopRightBottomLeftBottomRight(
                row->topLeft(), row->topRight() + jitter(), row->bottomLeft(), bottomRight);
            return true;
        }
        case 2: {
            const int bottom = number(0, 30);
            const int right = number(0, 30);
            const int left = number(0, 30);
            page->setMarginsTop(number(0, 30), left, right, bottom);
            return true;
        }
        case 3:
            // Into a row of the page, or beside a panel, which may be in a row of a split panel's grid.
            if (number(0, 1))
                m_document.undoableInsertPanelInRow(row, number(0, int(row->numContents())));
            else
                m_document.undoableInsertPanelBeside(panel, number(0, 1));
            return true;
        case 4: {
            ComicStructureList fewer = row->contents();
            if (fewer.size() < 2)
                return false;
            fewer.erase(fewer.begin() + number(0, int(fewer.size()) - 1));
            m_document.undoableSetContents(fewer, row);
            return true;
        }
        case 5: {
            auto floater = std::make_shared<ComicPanel>();
            const int height = number(30, 150);
            const int width = number(30, 150);
            const int y = number(0, 300);
            floater->initWithRect(QRectF(number(0, 400), y, width, height), page.get());
            ComicPanelList floaters = page->floatingPanels();
            floaters.push_back(floater);
            m_document.undoableSetFloatingPanels(floaters, page, floater);
            return true;
        }
        case 6: {
            ComicPanelList floaters = page->floatingPanels();
            if (floaters.empty())
                return false;
            std::shuffle(floaters.begin(), floaters.end(), m_random);
            floaters.pop_back();
            m_document.undoableSetFloatingPanels(floaters, page, nullptr);
            return true;
        }
        case 7: {
            const ComicPanelList free = page->freePanels();
            if (free.empty())
                return false;
            const QPointF offset = jitter();
            m_document.undoableOffsetPanel(free[std::size_t(number(0, int(free.size()) - 1))], offset, false);
            return true;
        }
        case 8: {
            const CharacterModelPtr character = pick(m_comic.characters());
            // Only the character's own colours are edited, never none, black or white.
            if (character->colors().size() <= 3)
                return false;
            const ZDLColorPtr color = character->colors().at(number(3, int(character->colors().size()) - 1));
            const int blue = number(0, 255);
            const int green = number(0, 255);
            color->setColor(RgbColor(number(0, 255) / 255.0, green / 255.0, blue / 255.0));
            return true;
        }
        case 9: {
            const double height = tenths(200, 700);
            const QPointF size(tenths(300, 900), height);
            m_comic.setTopLeftTopRightBottomLeftBottomRight(
                QPointF(0, 0), QPointF(size.x(), 0), QPointF(0, size.y()), size);
            return true;
        }
        case 10:
            m_document.undoableSetPropertyFor(
                m_document.model(), ComicModel::kPanelGutterKey, Value(float(number(0, 20))));
            return true;
        case 11: {
            const ElementList objects = page->floatingElements();
            if (objects.isEmpty())
                return false;
            const QPointF offset = jitter();
            m_document.undoableOffsetObjects(
                { objects.at(number(0, int(objects.size()) - 1)) }, offset, false);
            return true;
        }
        case 12: {
            // An object of a panel moved, as a drag in the panel does.
            const ElementList objects = panel->frontLayer()->children() + panel->backLayer()->children();
            if (objects.isEmpty())
                return false;
            const QPointF offset = jitter();
            m_document.undoableOffsetObjects(
                { objects.at(number(0, int(objects.size()) - 1)) }, offset, false);
            return true;
        }
        case 13:
        case 14: {
            const ElementList balloons = m_comic.allComicElementsOfClass(Balloon::kClassName);
            if (balloons.isEmpty())
                return false;
            const ObjectPtr balloon = balloons.at(number(0, int(balloons.size()) - 1));
            if (kind == 13)
                m_document.undoableSetPropertyFor(balloon, Balloon::kFormattedTextKey,
                    Value(test::lettering(QStringLiteral("Line %1").arg(number(0, 999)))));
            else {
                const Value value(number(0, 5));
                m_document.undoableSetPropertyFor(
                    balloon, number(0, 1) ? Balloon::kShapeKey : Balloon::kStyleKey, value);
            }
            return true;
        }
        case 15: {
            // Two members of a panel's layer grouped, the group where the later of them stood.
            const auto layer = panel->frontLayer();
            ElementList members = layer->children();
            if (members.size() < 2)
                return false;
            std::shuffle(members.begin(), members.end(), m_random);
            ElementList chosen { members.at(0), members.at(1) };
            const ElementList before = layer->children();
            std::sort(chosen.begin(), chosen.end(), [&before](const ObjectPtr& a, const ObjectPtr& b) {
                return before.indexOf(a) < before.indexOf(b);
            });
            const bool balloons = std::all_of(chosen.begin(), chosen.end(),
                [](const ObjectPtr& member) { return dynamic_cast<Balloon*>(member.get()); });
            const auto group = balloons ? std::make_shared<BalloonGroup>() : std::make_shared<Group>();
            m_document.undoableSetChildren(chosen, group);
            ElementList after;
            for (const ObjectPtr& member : before) {
                if (member == chosen.back())
                    after.append(group);
                else if (member != chosen.front())
                    after.append(member);
            }
            m_document.undoableSetChildren(after, layer);
            return true;
        }
        case 17: {
            const float roundness = float(number(0, 20));
            const float weight = float(number(1, 8)) / 2;
            const int lineStyle = number(0, 3);
            const int shape = number(0, 3);
            const int panelsPerRow = number(1, 3);
            const int rows = number(1, 3);
            m_document.undoableAddPageAt(
                number(0, int(m_comic.numPages())), rows, panelsPerRow, shape, lineStyle, weight, roundness);
            return true;
        }
        case 18:
            if (m_comic.numPages() < 2)
                return false;
            m_document.undoableDeleteCurrentPage();
            return true;
        case 19: {
            // A panel of a row or stack, or a free one.
            const ComicPanelList free = page->freePanels();
            const auto doomed = !free.empty() && number(0, 1) ? pick(free) : panel;
            const ComicStructureElement* parent = doomed->parent();
            if (!doomed->isFree() && !parent->getElementBefore(doomed.get())
                && !parent->getElementAfter(doomed.get()))
                return false;
            m_document.undoableDeletePanel(doomed, QStringLiteral("Delete Panel"));
            return true;
        }
        case 20: {
            const int panelsPerRow = number(1, 3);
            m_document.undoableSplitPanel(panel, number(1, 3), panelsPerRow);
            return true;
        }
        default: {
            const ZDLColorPtr sky = m_comic.comicColorsModel()->getColorNamed(QStringLiteral("Sky"));
            if (!sky)
                return false;
            m_document.undoableDeleteColor(
                sky, m_comic.comicColorsModel(), m_comic.comicColorsModel()->whiteColor());
            return true;
        }
        }
    }

    int randomKind() { return number(0, 20); }

private:
    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    // Tenths, whose sums lose bits in double arithmetic: moving back by an offset would not undo.
    double tenths(int low, int high) { return number(low * 10, high * 10) / 10.0; }
    QPointF jitter()
    {
        const double y = tenths(-20, 20);
        return QPointF(tenths(-20, 20), y);
    }
    template <class List> typename List::value_type pick(const List& list)
    {
        return list.empty() ? typename List::value_type()
                            : list[decltype(list.size())(number(0, int(list.size()) - 1))];
    }

    ComicDocument& m_document;
    ComicModel& m_comic;
    std::mt19937 m_random;
};

class ComicUndoPropertyTest : public ::testing::TestWithParam<int> { };

TEST_P(ComicUndoPropertyTest, UndoingASequenceGivesBackTheFileByteForByte)
{
    for (int sequence = 0; sequence < kSequencesPerShard; ++sequence) {
        const unsigned seed = unsigned(GetParam() * kSequencesPerShard + sequence);
        ComicDocument document;
        document.setModel(test::richComic());
        // The page with every kind of element.
        document.model()->setCurrentPageIndex(0);
        UndoManager& undo = *document.undoManager();
        undo.setGroupsByEvent(false);
        Editor editor(document, seed);
        const QByteArray original = archivedComicFile(*document.model());
        QList<int> kinds;
        for (int step = 0; step < kEditsPerSequence; ++step) {
            const int kind = editor.randomKind();
            undo.beginUndoGrouping();
            const bool changed = editor.edit(kind);
            undo.endUndoGrouping();
            if (changed)
                kinds.append(kind);
        }
        const QByteArray edited = archivedComicFile(*document.model());
        ASSERT_NE(edited, original) << "seed " << seed;
        for (qsizetype i = 0; i < kinds.size(); ++i)
            undo.undo();
        ASSERT_FALSE(undo.canUndo()) << "seed " << seed;
        ASSERT_EQ(archivedComicFile(*document.model()), original)
            << "seed " << seed << " edits " << kinds.size();
        for (qsizetype i = 0; i < kinds.size(); ++i)
            undo.redo();
        ASSERT_EQ(archivedComicFile(*document.model()), edited) << "seed " << seed;
        document.close();
    }
    QCoreApplication::processEvents();
}

INSTANTIATE_TEST_SUITE_P(Shards, ComicUndoPropertyTest, ::testing::Range(0, kShards));

} // namespace
} // namespace zandrel

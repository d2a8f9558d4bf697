#pragma once

#include "charmodel/HostileFiles.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/TestComics.h"
#include "support/ArchiveEditing.h"

// Comic files that refer to one part of themselves many times: one image record shown by every
// panel, one cast character every panel's part links to (the part itself listed in every panel),
// one balloon point a pointer names over and over. Panels stand in one row of a page, as many as a
// page holds, the rest on the pages after it.
namespace zandrel::test {

class HostileComicFile : public HostileArchive {
public:
    // A comic as wide as its widest page, whose pages each hold one row of so many of the panels
    // (UIDs), with the cast (UIDs of characters).
    QByteArray finish(const std::vector<quint64>& panels, const std::vector<quint64>& cast = {},
        std::size_t panelsPerPage = kPanelsPerPage)
    {
        std::vector<quint64> pages;
        float width = 0;
        for (std::size_t first = 0; first == 0 || first < panels.size(); first += panelsPerPage) {
            const std::vector<quint64> row(panels.begin() + qsizetype(first),
                panels.begin() + qsizetype(std::min(panels.size(), first + panelsPerPage)));
            const float pageWidth = float(std::max<std::size_t>(row.size(), 1) * kPanelSide);
            width = std::max(width, pageWidth);
            pages.push_back(structure(QStringLiteral("ComicPage"),
                { structure(QStringLiteral("ComicRow"), row, pageWidth) }, pageWidth));
        }
        const Index pageList = m_builder.uid(list(pages));
        const Index characters = m_builder.uid(list(cast));
        m_builder.set(m_root,
            record(QStringLiteral("ComicModel"),
                { { QStringLiteral("contents"), pageList }, { QStringLiteral("characters"), characters },
                    { QStringLiteral("width"), m_builder.real32(width) },
                    { QStringLiteral("height"), m_builder.real32(kPanelSide) } }));
        return m_builder.finish(m_root);
    }

    // The index-th panel of the comic, its front layer holding the elements (UIDs).
    quint64 panel(int index, const std::vector<quint64>& elements)
    {
        const Index layer = m_builder.uid(m_builder.add(record(QStringLiteral("PanelLayer"),
            { { QStringLiteral("elements"), m_builder.uid(list(elements)) } })));
        const float left = float(index % int(kPanelsPerPage) * kPanelSide);
        auto entries = corners(left, left + kPanelSide);
        entries.emplace_back(QStringLiteral("frontLayer"), layer);
        return m_builder.add(record(QStringLiteral("ComicPanel"), entries));
    }
    // The index-th panel, of the comic's width but height tall, its frame of the shape.
    quint64 shapedPanel(int index, float height, int shape)
    {
        const float left = float(index % int(kPanelsPerPage) * kPanelSide);
        auto entries = corners(left, left + kPanelSide);
        for (auto& [key, value] : entries) {
            if (key == QStringLiteral("bly") || key == QStringLiteral("bry"))
                value = m_builder.real32(height);
        }
        entries.emplace_back(QStringLiteral("shape"), m_builder.integer(shape));
        return m_builder.add(record(QStringLiteral("ComicPanel"), entries));
    }
    // A panel of no keys: every field takes its default.
    quint64 emptyPanel() { return m_builder.add(record(QStringLiteral("ComicPanel"), {})); }
    // A character of the cast with one round part of its own.
    quint64 character()
    {
        const quint64 path = m_builder.add(record(QStringLiteral("PartPath"),
            { { QStringLiteral("segments"), m_builder.uid(list({ roundCurve(16) })) } }));
        return m_builder.add(record(QStringLiteral("CharacterModel"),
            { { QStringLiteral("colors"), m_builder.uid(list({})) },
                { QStringLiteral("parts"), m_builder.uid(list({ part({ path }) })) } }));
    }
    // A part of a round path linked to the character.
    quint64 partOf(quint64 character)
    {
        const quint64 path = m_builder.add(record(QStringLiteral("PartPath"),
            { { QStringLiteral("segments"), m_builder.uid(list({ roundCurve(8) })) } }));
        return m_builder.add(record(QStringLiteral("Part"),
            { { QStringLiteral("elements"), m_builder.uid(list({ path })) },
                { QStringLiteral("model"), m_builder.uid(character) } }));
    }
    // A balloon whose one pointer lists the points (UIDs).
    quint64 balloon(quint64 pointList)
    {
        const quint64 pointer = m_builder.add(record(QStringLiteral("BalloonPointer"),
            { { QStringLiteral("pointerPoints"), m_builder.uid(pointList) } }));
        return m_builder.add(record(QStringLiteral("Balloon"),
            { { QStringLiteral("originX"), m_builder.real32(20) },
                { QStringLiteral("originY"), m_builder.real32(20) },
                { QStringLiteral("width"), m_builder.real32(60) },
                { QStringLiteral("pointers"), m_builder.uid(list({ pointer })) } }));
    }
    quint64 balloonPoint(float x, float y)
    {
        return m_builder.add(record(QStringLiteral("BalloonPoint"),
            { { QStringLiteral("x"), m_builder.real32(x) }, { QStringLiteral("y"), m_builder.real32(y) } }));
    }

    static constexpr int kPanelSide = 100;
    // A row and its panels fill a page.
    static constexpr std::size_t kPanelsPerPage = ComicPage::kMaxStructureElements - 1;

private:
    std::vector<std::pair<QString, Index>> corners(float left, float right)
    {
        const auto real = [this](float value) { return m_builder.real32(value); };
        return { { QStringLiteral("tlx"), real(left) }, { QStringLiteral("tly"), real(0) },
            { QStringLiteral("trx"), real(right) }, { QStringLiteral("try"), real(0) },
            { QStringLiteral("blx"), real(left) }, { QStringLiteral("bly"), real(kPanelSide) },
            { QStringLiteral("brx"), real(right) }, { QStringLiteral("bry"), real(kPanelSide) } };
    }
    quint64 structure(const QString& className, const std::vector<quint64>& contents, float width)
    {
        auto entries = corners(0, width);
        entries.emplace_back(QStringLiteral("contents"), m_builder.uid(list(contents)));
        return m_builder.add(record(className, entries));
    }
};

// Panels each showing the one image record, whose bytes are imageBytes.
inline QByteArray sharedImageComicFile(int panels, const QByteArray& imageBytes)
{
    HostileComicFile file;
    const quint64 image = file.image(file.builder().add(file.builder().data(imageBytes)));
    std::vector<quint64> uids;
    for (int i = 0; i < panels; ++i)
        uids.push_back(file.panel(i, { file.imageElementOf(image) }));
    return file.finish(uids);
}

// Panels each listing one part linked to the one character of the cast: the part has one owner,
// the first panel, and the character is never copied.
inline QByteArray sharedCharacterComicFile(int panels)
{
    HostileComicFile file;
    const quint64 character = file.character();
    const quint64 part = file.partOf(character);
    std::vector<quint64> uids;
    for (int i = 0; i < panels; ++i)
        uids.push_back(file.panel(i, { part }));
    return file.finish(uids, { character });
}

// A balloon whose pointer names one point references times.
inline QByteArray sharedBalloonPointComicFile(qsizetype references)
{
    HostileComicFile file;
    const quint64 point = file.balloonPoint(3, 4);
    const quint64 balloon = file.balloon(file.repeatedList(point, references));
    return file.finish({ file.panel(0, { balloon }) });
}

// One page whose row holds so many panels of no keys.
inline QByteArray crowdedPageComicFile(std::size_t panels)
{
    HostileComicFile file;
    std::vector<quint64> uids;
    for (std::size_t i = 0; i < panels; ++i)
        uids.push_back(file.emptyPanel());
    return file.finish(uids, {}, panels);
}

// One page whose row holds so many panels, height tall, their frames of the shape.
inline QByteArray shapedPanelsComicFile(int panels, float height, int shape)
{
    HostileComicFile file;
    std::vector<quint64> uids;
    for (int i = 0; i < panels; ++i)
        uids.push_back(file.shapedPanel(i, height, shape));
    return file.finish(uids);
}

// The comic of every kind with its panel frames and the lines of its parts and balloons weight
// points wide.
inline QByteArray heavyLinesComicFile(float weight)
{
    QByteArray file = archivedComicFile(*richComic());
    file = editObjectsOfClass(
        file, QStringLiteral("ComicPanel"), {}, { { QStringLiteral("weight"), real32(weight) } });
    for (const QString& className : { QStringLiteral("PartPath"), QStringLiteral("Balloon") })
        file = editObjectsOfClass(file, className, {}, { { QStringLiteral("lineWeight"), real32(weight) } });
    return file;
}

// One page of balloons, each lettered with its own text of so many characters at the font size.
inline QByteArray letteringComicFile(int balloons, int characters, double fontSize)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(QSizeF(800, 1200), 1, 1);
    const QString words = QStringLiteral("Over here, said the moon to the lantern. ");
    ElementList placed;
    for (int i = 0; i < balloons; ++i) {
        QString text = QString::number(i) + QLatin1Char(' ');
        while (text.size() < characters)
            text += words;
        text.truncate(characters);
        BalloonPtr balloon = Balloon::initAt(QPointF(20 + (i % 10) * 70, 20 + (i / 10 % 20) * 55), 60);
        balloon->setFormattedText(lettering(text, fontSize));
        placed.append(balloon);
    }
    panelNumber(*comic->currentPage(), 0)->frontLayer()->setChildren(placed);
    return archivedComicFile(*comic);
}

} // namespace zandrel::test

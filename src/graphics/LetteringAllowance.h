#pragma once

#include "platform/FuzzingBuild.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <memory>

namespace zandrel {

class AttributedText;

// The lettering the balloons read from one file may hold laid out at once. Laying text out takes
// time for every character of a paragraph, shown or not, and far more for large type: a file of
// two thousand balloons, each holding a page of text at the largest size, took most of a minute to
// open before anything was drawn. Each balloon takes its text's cost (in the lettering units of
// DrawingWork) when it is first laid out and gives it back when its text changes or it goes. A
// balloon that finds the allowance spent keeps its text, and saves it as read, but is measured and
// drawn as a box of its width without lettering; the first such balloon of the file says so in
// the log. The allowance is far above what the largest real comics letter. Balloons made by the
// user, rather than read, have none.
// What the elements read from one file may take together of a costly kind of work they each do
// once and keep, charged when the work is done and given back when its result goes. One that finds
// the allowance spent does without (and keeps what it read); the first such says so in the log.
class FileAllowance {
public:
    FileAllowance(qint64 units, QString leftOutMessage);

    // Takes that much when it is left; otherwise takes nothing and, the first time, says so.
    bool take(qint64 units);
    void giveBack(qint64 units);
    qint64 remaining() const { return m_left; }

private:
    std::atomic<qint64> m_left;
    std::atomic<bool> m_said = false;
    const QString m_leftOutMessage;
};

class LetteringAllowance : public FileAllowance {
public:
    static constexpr qint64 kUnits = scaledAllowance(4LL * 1000 * 1000);

    LetteringAllowance();

    // The allowance of the file being read (shared by every balloon read from it and from the
    // files it holds); a new one when no file is being read.
    static std::shared_ptr<LetteringAllowance> forFileBeingRead();

    // What laying the text out costs here.
    static qint64 costOf(const AttributedText& text);

    static const QString kLeftOutMessage;
};

// The hand-drawn, marked and spiked edges of the panel frames read from one file, in steps of
// their walk. Each step keeps some points of its frame (hundreds of bytes with the drawn path) and
// takes its time to make: a file of a few kilobytes can name thousands of panels hundreds of
// metres long, each at the walk's limit of steps. A panel past the allowance has a plain frame,
// its edge kept and saved as read. Above what real comics draw: a hundred pages of a dozen spiked
// panels take half of it, and the largest marked frames it holds some 400 MB.
class EdgeEffectAllowance : public FileAllowance {
public:
    static constexpr qint64 kSteps = scaledAllowance(500LL * 1000);

    EdgeEffectAllowance();

    static std::shared_ptr<EdgeEffectAllowance> forFileBeingRead();

    static const QString kLeftOutMessage;
};

} // namespace zandrel

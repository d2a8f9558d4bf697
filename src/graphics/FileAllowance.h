#pragma once

#include "platform/DecodingBudget.h"
#include "platform/FuzzingBuild.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <memory>

namespace zandrel {

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

protected:
    // The allowance of the kind kept for the file being read (shared by everything read from it
    // and from the files it holds); a new one when no file is being read.
    template <class Allowance> static std::shared_ptr<Allowance> ofFileBeingRead(const QString& kind)
    {
        return DecodingBudget::expandOncePerFile<Allowance>(
            kind, [] { return std::make_shared<Allowance>(); });
    }

private:
    std::atomic<qint64> m_left;
    std::atomic<bool> m_said = false;
    const QString m_leftOutMessage;
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

#pragma once

#include "platform/Exception.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <utility>

namespace zandrel {

// What reading one file may make beyond the file itself. A file can refer to one part of itself
// many times (a point named ten million times in a curve, one name shared by every palette colour,
// one image in twenty records), and a reader that copies, renames or decodes per reference would
// grow without bound from a small file. Every such expansion is charged here, in bytes of memory
// made (or the equivalent work), against an allowance proportional to the file's size with a floor;
// past it the reader raises, before making anything more, and the document reports the file as
// corrupt. Work that keeps to what the file holds (an object per record) is bounded by the file's
// own size and is not charged.
//
// The reader of a file makes a budget for it and installs it as the thread's current one (Scope)
// while its decoders run; they charge it through charge() without holding it. A budget made while
// another is current is nested in it (a file read while reading another): its charges count for
// the outer budget too. Without a current budget charge() does nothing: edits of the user's own
// data are not limited here.
//
// Expanding the same bytes twice (twenty image records sharing one PNG) is done once per budget:
// expandOnce keeps what was made, by kind and bytes, while the budget lives.
class DecodingBudget {
public:
    // The allowance: kBytesPerFileByte for every byte of the file, at least kFloorBytes. The floor
    // leaves room for one image of the largest size the bitmap reader accepts (256 MiB decoded)
    // beside the rest of a small file. Real files make far less than the allowance beyond their
    // own bytes (the largest comics open in under three times their size), and every file of less
    // than 96 MiB gets the floor: with the file, its parsed records and the program itself,
    // reading one stays under a gigabyte.
    static constexpr qint64 kFloorBytes = 384LL * 1024 * 1024;
    static constexpr qint64 kBytesPerFileByte = 4;
    static qint64 allowanceForFileSize(qint64 fileBytes);

    // What making one heap object of the class costs: its size, the shared pointer's control block
    // and the pointer that holds it, and the allocator's own overhead.
    template <class T> static constexpr qint64 objectCost()
    {
        return qint64(sizeof(T)) + kHeapObjectOverhead;
    }
    // What a string of that many characters costs.
    static constexpr qint64 stringCost(qint64 length) { return 2 * length + kHeapObjectOverhead; }

    // Raises exceptionName when the allowance runs out.
    explicit DecodingBudget(qint64 fileBytes, QString exceptionName = kInvalidArchiveException);
    // A budget of a given allowance, whatever the file's size (tests, and readers whose input has
    // no size of its own).
    static std::unique_ptr<DecodingBudget> withAllowance(
        qint64 allowance, QString exceptionName = kInvalidArchiveException);
    DecodingBudget(const DecodingBudget&) = delete;
    DecodingBudget& operator=(const DecodingBudget&) = delete;
    ~DecodingBudget();

    qint64 allowance() const { return m_allowance; }
    qint64 spent() const { return m_spent; }
    qint64 remaining() const { return m_allowance - m_spent; }
    // The budget this one is nested in, if any.
    DecodingBudget* outer() const { return m_outer; }

    // Charges this budget and the ones it is nested in; when any of them would go past its
    // allowance, nothing is charged and that budget's exception is raised.
    void spend(qint64 bytes);

    // Makes the budget the thread's current one for the scope's lifetime.
    class Scope {
    public:
        explicit Scope(DecodingBudget& budget);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        DecodingBudget* m_previous;
    };
    static DecodingBudget* current();
    // Charges the current budget, if there is one.
    static void charge(qint64 bytes);

    // What make() gives for the bytes, made once per kind and bytes while the current budget lives
    // (each call makes it anew without a budget). Null results are not kept. Make charges what it
    // makes itself.
    template <class T, class Make>
    static std::shared_ptr<T> expandOnce(const QString& kind, const QByteArray& bytes, Make&& make)
    {
        return expandOnceIn<T>(current(), kind, bytes, std::forward<Make>(make));
    }
    // The same, kept by the outermost current budget: once for the file being read, whatever files
    // it holds that are read within it.
    template <class T, class Make>
    static std::shared_ptr<T> expandOncePerFile(const QString& kind, Make&& make)
    {
        DecodingBudget* budget = current();
        while (budget && budget->m_outer)
            budget = budget->m_outer;
        return expandOnceIn<T>(budget, kind, QByteArray(), std::forward<Make>(make));
    }

private:
    template <class T, class Make>
    static std::shared_ptr<T> expandOnceIn(
        DecodingBudget* budget, const QString& kind, const QByteArray& bytes, Make&& make)
    {
        if (!budget)
            return std::forward<Make>(make)();
        const Key key { kind, bytes };
        const auto found = budget->m_expanded.constFind(key);
        if (found != budget->m_expanded.cend())
            return std::static_pointer_cast<T>(found.value());
        std::shared_ptr<T> made = std::forward<Make>(make)();
        if (made)
            budget->m_expanded.insert(key, made);
        return made;
    }

    static constexpr qint64 kHeapObjectOverhead = 48;
    using Key = std::pair<QString, QByteArray>;

    DecodingBudget(qint64 allowance, QString exceptionName, bool);

    qint64 m_allowance;
    qint64 m_spent = 0;
    QString m_exceptionName;
    DecodingBudget* m_outer;
    QHash<Key, std::shared_ptr<void>> m_expanded;
};

} // namespace zandrel

#pragma once

#include "platform/PointerTable.h"
#include "platform/Value.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zandrel {

class KeyedArchiver;

// Raised while writing a snapshot whose tapes do not agree (ArchiveRecorder).
inline const QString kStaleArchiveSnapshotException = QStringLiteral("staleArchiveSnapshot");

// The encoding of objects as the calls their encodeWithCoder made on an archiver, kept so that the
// archive can be written later, on any thread, while the objects go on changing, and so that the
// tape of a part of a document that did not change can be written again without asking its
// objects. A KeyedArchiver replays tapes call for call (KeyedArchiver::archiveSnapshot), so that
// the bytes are those the objects themselves would have given.
//
// A tape holds the encodings ("segments") of the objects recorded on it; an object met again, here
// or on another tape, is a reference to its one segment. What the objects encoded is kept as values,
// which share the objects' immutable data (texts, bytes, lists) rather than copying it, and which
// keep the objects referred to alive, so that no address is reused while a tape stands. A tape is
// not changed once recorded.
class ArchiveTape {
public:
    static constexpr quint32 kNoSegment = 0xffffffffu;

    explicit ArchiveTape(quint64 session)
        : m_session(session)
    {
    }

    // The recording that made the tape: tapes of one recording saw their objects at one moment.
    quint64 session() const { return m_session; }
    // The objects recorded on the shared tape that this tape refers to (ArchiveRecorder).
    const std::vector<ObjectPtr>& externals() const { return m_externals; }
    size_t segmentCount() const { return m_segments.size(); }
    // Where the object's encoding starts on this tape, or kNoSegment.
    quint32 segmentOf(const Object* object) const
    {
        const quint32* found = m_segments.find(object);
        return found ? *found : kNoSegment;
    }

    // A step is a word of its kind and its key (or class name), then its payload words.
    enum class Op : quint8 {
        Begin,
        End,
        Bool,
        Int32,
        Int,
        Integer,
        Float,
        Double,
        Bytes,
        Point,
        Size,
        Rect,
        Object,
        Conditional,
        Expansion,
    };

private:
    friend class KeyedArchiver;
    friend class ArchiveRecorder;

    static quint32 word(Op op, quint32 string) { return quint32(op) | (string << 8); }
    quint32 stringIndex(const QString& text);

    quint64 m_session;
    std::vector<quint32> m_words;
    std::vector<QString> m_strings;
    std::vector<Value> m_values;
    PointerTable<quint32> m_segments;
    std::vector<ObjectPtr> m_externals;
    PointerSet m_externalSet;
    // The last strings given a place, by the address of their text: keys are mostly literals.
    std::vector<std::pair<const QChar*, quint32>> m_stringMemo;
};

using ArchiveTapePtr = std::shared_ptr<const ArchiveTape>;

// What an archive is written from: the root object and the tapes that hold every object it
// reaches. The objects themselves are not asked anything any more.
struct ArchiveSnapshot {
    ObjectPtr root;
    // The root's own tape first, then the shared tape, then the others.
    std::vector<ArchiveTapePtr> tapes;
};

// Records an object graph on tapes. Objects are recorded where they are first met, on the tape
// being recorded, with three exceptions the hooks decide:
// - reuse: a tape kept from an earlier recording holds the object and everything it owns (a page
//   that did not change since): it is taken as it is, and its externals are recorded anew;
// - ownTape: the object starts a tape of its own (a page that changed);
// - shared: the object (a colour, a character, an image that several pages show) and everything it
//   refers to go on the shared tape, which is made anew at every recording, whoever meets them.
// An object is recorded once per recording however often it is met.
class ArchiveRecorder {
public:
    struct Hooks {
        std::function<ArchiveTapePtr(const Object&)> reuse;
        std::function<bool(const Object&)> ownTape;
        std::function<bool(const Object&)> shared;
    };

    explicit ArchiveRecorder(Hooks hooks);
    ~ArchiveRecorder();
    ArchiveRecorder(const ArchiveRecorder&) = delete;
    ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

    quint64 session() const { return m_session; }
    // Records the root and everything it reaches. Raises what the objects' encoders raise.
    ArchiveSnapshot record(const ObjectPtr& root);
    // The tapes of the objects that got tapes of their own during the last record.
    const std::vector<std::pair<const Object*, ArchiveTapePtr>>& ownTapes() const { return m_ownTapes; }

private:
    friend class KeyedArchiver;

    // The encode calls of the object being recorded.
    void step(int op, const QString& key, quint64 payload, int payloadWords);
    void valueStep(int op, const QString& key, const Value& value);
    void expansionStep(const QByteArray& bytes, qint64 expandedBytes);
    // The object as met by an encode call on the current tape.
    void meet(const ObjectPtr& object);
    void meetIn(const Value& value);
    void recordOn(ArchiveTape& tape, const ObjectPtr& object);
    ArchiveTape& current() { return *m_stack.back(); }
    bool onOwnTape() const;

    Hooks m_hooks;
    quint64 m_session;
    std::unique_ptr<KeyedArchiver> m_archiver;
    std::shared_ptr<ArchiveTape> m_rootTape;
    std::shared_ptr<ArchiveTape> m_sharedTape;
    std::vector<ArchiveTape*> m_stack;
    // Every object recorded or reused in this recording, with the tape that holds it.
    PointerTable<const ArchiveTape*> m_met;
    std::vector<ArchiveTapePtr> m_tapes;
    std::vector<std::pair<const Object*, ArchiveTapePtr>> m_ownTapes;
};

} // namespace zandrel

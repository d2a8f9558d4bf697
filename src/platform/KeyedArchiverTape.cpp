// Recording objects' encodings on tapes, and writing an archive from the tapes.
#include "platform/ArchiveNames.h"
#include "platform/ArchiveTape.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/Object.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace zandrel {

namespace {

using Op = ArchiveTape::Op;

std::atomic<quint64> g_sessions { 0 };

[[noreturn]] void stale(const char* reason)
{
    Exception::raise(kStaleArchiveSnapshotException, QString::fromLatin1(reason));
}

// Calls the function for every object a value holds, in the order the archiver meets them.
template <class Function> void forEachObject(const Value& value, Function&& function)
{
    switch (value.type()) {
    case Value::Type::Object:
        if (value.toObject())
            function(value.toObject());
        break;
    case Value::Type::List:
        for (const Value& item : value.toList())
            forEachObject(item, function);
        break;
    case Value::Type::Map: {
        const ValueMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            forEachObject(it.value(), function);
        break;
    }
    default:
        break;
    }
}

} // namespace

quint32 ArchiveTape::stringIndex(const QString& text)
{
    // Keys and class names are mostly literals, whose text stays at one address.
    const size_t slot = (quintptr(text.constData()) >> 3) & 63;
    if (m_stringMemo.empty())
        m_stringMemo.assign(64, { nullptr, 0 });
    auto& memo = m_stringMemo[slot];
    if (memo.first == text.constData() && m_strings[memo.second].size() == text.size())
        return memo.second;
    if (m_strings.size() >= (1u << 24))
        Exception::raise(kInvalidArchiveException, QStringLiteral("Too many keys on one tape."));
    m_strings.push_back(text);
    // The stored copy shares the text, so its address is the one remembered.
    memo = { m_strings.back().constData(), quint32(m_strings.size() - 1) };
    return memo.second;
}

// --- Recording ---

ArchiveRecorder::ArchiveRecorder(Hooks hooks)
    : m_hooks(std::move(hooks))
    , m_session(++g_sessions)
    , m_archiver(std::make_unique<KeyedArchiver>())
{
    m_archiver->m_recorder = this;
}

ArchiveRecorder::~ArchiveRecorder() = default;

ArchiveSnapshot ArchiveRecorder::record(const ObjectPtr& root)
{
    m_rootTape = std::make_shared<ArchiveTape>(m_session);
    m_sharedTape = std::make_shared<ArchiveTape>(m_session);
    m_tapes = { m_rootTape, m_sharedTape };
    m_ownTapes.clear();
    m_met = {};
    m_stack = { m_rootTape.get() };
    meet(root);
    m_stack.clear();
    ArchiveSnapshot snapshot;
    snapshot.root = root;
    snapshot.tapes = std::move(m_tapes);
    m_rootTape.reset();
    m_sharedTape.reset();
    return snapshot;
}

bool ArchiveRecorder::onOwnTape() const
{
    const ArchiveTape* tape = m_stack.back();
    return tape != m_rootTape.get() && tape != m_sharedTape.get();
}

void ArchiveRecorder::step(int op, const QString& key, quint64 payload, int payloadWords)
{
    ArchiveTape& tape = current();
    tape.m_words.push_back(ArchiveTape::word(Op(op), tape.stringIndex(key)));
    tape.m_words.push_back(quint32(payload));
    if (payloadWords == 2)
        tape.m_words.push_back(quint32(payload >> 32));
}

void ArchiveRecorder::valueStep(int op, const QString& key, const Value& value)
{
    ArchiveTape& tape = current();
    tape.m_words.push_back(ArchiveTape::word(Op(op), tape.stringIndex(key)));
    tape.m_words.push_back(quint32(tape.m_values.size()));
    tape.m_values.push_back(value);
    // A conditional reference records nothing: the object is written only if met elsewhere.
    if (Op(op) == Op::Object)
        meetIn(value);
}

void ArchiveRecorder::expansionStep(const QByteArray& bytes, qint64 expandedBytes)
{
    ArchiveTape& tape = current();
    tape.m_words.push_back(ArchiveTape::word(Op::Expansion, 0));
    tape.m_words.push_back(quint32(tape.m_values.size()));
    tape.m_values.push_back(Value(bytes));
    tape.m_words.push_back(quint32(quint64(expandedBytes)));
    tape.m_words.push_back(quint32(quint64(expandedBytes) >> 32));
}

void ArchiveRecorder::meetIn(const Value& value)
{
    forEachObject(value, [this](const ObjectPtr& object) { meet(object); });
}

void ArchiveRecorder::meet(const ObjectPtr& object)
{
    if (!object)
        return;
    const bool ownTape = onOwnTape();
    ArchiveTape& here = current();
    if (const ArchiveTape* const* found = m_met.find(object.get())) {
        // What another page refers to on the shared tape is recorded there again next time.
        if (ownTape && *found == m_sharedTape.get() && here.m_externalSet.insert(object.get(), {}))
            here.m_externals.push_back(object);
        return;
    }
    if (m_hooks.reuse) {
        if (ArchiveTapePtr kept = m_hooks.reuse(*object)) {
            m_met.insert(object.get(), kept.get());
            m_tapes.push_back(kept);
            m_stack.push_back(m_sharedTape.get());
            for (const ObjectPtr& external : kept->externals())
                meet(external);
            m_stack.pop_back();
            return;
        }
    }
    if (m_hooks.ownTape && m_hooks.ownTape(*object)) {
        auto tape = std::make_shared<ArchiveTape>(m_session);
        m_tapes.push_back(tape);
        m_ownTapes.emplace_back(object.get(), tape);
        recordOn(*tape, object);
        return;
    }
    if (m_hooks.shared && &here != m_sharedTape.get() && m_hooks.shared(*object)) {
        if (ownTape && here.m_externalSet.insert(object.get(), {}))
            here.m_externals.push_back(object);
        recordOn(*m_sharedTape, object);
        return;
    }
    recordOn(here, object);
}

void ArchiveRecorder::recordOn(ArchiveTape& tape, const ObjectPtr& object)
{
    // Met before its fields are, so that references back to it (a child's link to its parent) end.
    m_met.insert(object.get(), &tape);
    const size_t begin = tape.m_words.size();
    tape.m_segments.insert(object.get(), quint32(begin));
    // The objects met while this one is recorded are recorded inside its segment: the length of the
    // segment, set at its end, lets a replay step over them.
    tape.m_words.push_back(ArchiveTape::word(Op::Begin, tape.stringIndex(object->className())));
    tape.m_words.push_back(0);
    m_stack.push_back(&tape);
    object->encodeWithCoder(*m_archiver);
    m_stack.pop_back();
    tape.m_words.push_back(ArchiveTape::word(Op::End, 0));
    if (tape.m_words.size() >= ArchiveTape::kNoSegment)
        Exception::raise(kInvalidArchiveException, QStringLiteral("A tape would be too long."));
    tape.m_words[begin + 1] = quint32(tape.m_words.size() - begin);
}

// --- Writing from tapes ---

KeyedArchive KeyedArchiver::archiveSnapshot(const ArchiveSnapshot& snapshot)
{
    if (snapshot.tapes.size() >= 0xffffu)
        stale("Too many tapes.");
    KeyedArchiver archiver;
    archiver.m_replay = std::make_unique<Replay>();
    for (const ArchiveTapePtr& tape : snapshot.tapes)
        archiver.m_replay->tapes.push_back(tape.get());
    archiver.m_replay->stack.push_back(0);
    archiver.encodeObject(Value(snapshot.root), ArchiveLayoutKey::kRoot);
    archiver.m_replay.reset();
    return archiver.finish();
}

void KeyedArchiver::replaySegment(const ObjectPtr& object)
{
    Replay& replay = *m_replay;
    // The tape being replayed holds most of what it refers to; the others are searched in turn.
    quint16 tapeIndex = replay.stack.back();
    quint32 at = replay.tapes[tapeIndex]->segmentOf(object.get());
    for (size_t i = 0; at == ArchiveTape::kNoSegment && i < replay.tapes.size(); ++i) {
        at = replay.tapes[i]->segmentOf(object.get());
        tapeIndex = quint16(i);
    }
    if (at == ArchiveTape::kNoSegment)
        stale("An object is on no tape.");
    const ArchiveTape& tape = *replay.tapes[tapeIndex];
    const quint32 uid = reserveUid();
    m_objectUids.insert(object.get(), uid);
    m_keepAlive.push_back(object);
    if (replay.tapeOfUid.size() <= uid)
        replay.tapeOfUid.resize(std::max<size_t>(uid + 1, 2 * replay.tapeOfUid.size()), 0);
    replay.tapeOfUid[uid] = quint16(tapeIndex + 1);
    beginObject(uid, tape.m_strings[tape.m_words[at] >> 8]);
    replay.stack.push_back(tapeIndex);
    replaySteps(tape, at + 2);
    replay.stack.pop_back();
    endObject();
}

// An object written from one tape and held by another as well: both must have seen it at the same
// moment, or the file would mix two states of it.
void KeyedArchiver::checkReplayedReference(const Object* object, quint32 uid)
{
    Replay& replay = *m_replay;
    const quint16 here = replay.stack.back();
    const quint16 from = uid < replay.tapeOfUid.size() ? replay.tapeOfUid[uid] : 0;
    if (from == 0 || from - 1 == here)
        return;
    const ArchiveTape& tape = *replay.tapes[here];
    if (tape.segmentOf(object) != ArchiveTape::kNoSegment
        && tape.session() != replay.tapes[from - 1]->session())
        stale("Tapes of different recordings hold the same object.");
}

void KeyedArchiver::replaySteps(const ArchiveTape& tape, quint32 at)
{
    const auto wide = [&](quint32 first) {
        return quint64(tape.m_words[first]) | (quint64(tape.m_words[first + 1]) << 32);
    };
    for (;;) {
        const quint32 head = tape.m_words[at];
        const Op op = Op(head & 0xff);
        const QString& key = tape.m_strings[head >> 8];
        switch (op) {
        case Op::End:
            return;
        case Op::Begin:
            // An object recorded while this one was; it is written where the archive meets it.
            at += tape.m_words[at + 1];
            break;
        case Op::Bool:
            encodeBool(tape.m_words[at + 1] != 0, key);
            at += 2;
            break;
        case Op::Int32:
            encodeInt32(qint32(tape.m_words[at + 1]), key);
            at += 2;
            break;
        case Op::Int:
            encodeInt(qint64(wide(at + 1)), key);
            at += 3;
            break;
        case Op::Integer:
            encodeInteger(qint64(wide(at + 1)), key);
            at += 3;
            break;
        case Op::Float: {
            const quint32 bits = tape.m_words[at + 1];
            float value;
            std::memcpy(&value, &bits, sizeof value);
            encodeFloat(value, key);
            at += 2;
            break;
        }
        case Op::Double: {
            const quint64 bits = wide(at + 1);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            encodeDouble(value, key);
            at += 3;
            break;
        }
        case Op::Bytes:
            encodeBytes(tape.m_values[tape.m_words[at + 1]].toData(), key);
            at += 2;
            break;
        case Op::Point:
            encodePoint(tape.m_values[tape.m_words[at + 1]].toPoint(), key);
            at += 2;
            break;
        case Op::Size:
            encodeSize(tape.m_values[tape.m_words[at + 1]].toSize(), key);
            at += 2;
            break;
        case Op::Rect:
            encodeRect(tape.m_values[tape.m_words[at + 1]].toRect(), key);
            at += 2;
            break;
        case Op::Object:
            encodeObject(tape.m_values[tape.m_words[at + 1]], key);
            at += 2;
            break;
        case Op::Conditional:
            encodeConditionalObject(tape.m_values[tape.m_words[at + 1]].toObject(), key);
            at += 2;
            break;
        case Op::Expansion:
            noteExpansion(tape.m_values[tape.m_words[at + 1]].toData(), qint64(wide(at + 2)));
            at += 4;
            break;
        }
    }
}

} // namespace zandrel

#include "platform/UndoManager.h"

#include "platform/Log.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

namespace zandrel {

namespace {
constexpr quint64 kUnreachable = ~quint64(0);

int eventLoopLevel()
{
    return QThread::currentThread()->loopLevel();
}
} // namespace

UndoManager::UndoManager(QObject* parent)
    : QObject(parent)
{
}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(const void* target, std::function<void()> inverse)
{
    if (!isUndoRegistrationEnabled() || !inverse)
        return;
    bool ownGroup = false;
    if (m_level == 0) {
        openGroup();
        if (m_groupsByEvent) {
            m_eventGroupOpen = true;
            m_eventLoopLevel = eventLoopLevel();
            scheduleEventGroupClose();
        } else {
            zdlLog(QStringLiteral(
                "An undo action was registered outside any undo group; it is a step of its own"));
            ownGroup = true;
        }
    }
    const bool redoCleared = m_state == State::Normal && !m_redoStack.empty();
    if (redoCleared)
        m_redoStack.clear();
    const bool first = m_open.actions.empty();
    m_open.actions.push_back({ target, std::move(inverse) });
    if (ownGroup)
        closeGroup();
    else if (first || redoCleared)
        changed();
}

void UndoManager::setActionName(const QString& name)
{
    if (!isUndoRegistrationEnabled())
        return;
    if (m_level > 0) {
        m_open.name = name;
        if (!m_open.actions.empty())
            changed();
        return;
    }
    if (m_nameableId == 0)
        return;
    for (std::vector<Group>* stack : { &m_undoStack, &m_redoStack }) {
        if (!stack->empty() && stack->back().id == m_nameableId) {
            stack->back().name = name;
            changed();
            return;
        }
    }
}

QString UndoManager::undoActionName() const
{
    if (m_state != State::Undoing && m_level > 0 && !m_open.actions.empty())
        return m_open.name;
    return m_undoStack.empty() ? QString() : m_undoStack.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().name;
}

bool UndoManager::canUndo() const
{
    return !m_undoStack.empty() || (m_state != State::Undoing && m_level > 0 && !m_open.actions.empty());
}

bool UndoManager::canRedo() const
{
    return !m_redoStack.empty();
}

void UndoManager::undo()
{
    if (m_state != State::Normal) {
        zdlLog(QStringLiteral("Undo requested while undoing or redoing; ignored"));
        return;
    }
    if (m_level == 1)
        closeGroup();
    if (m_level > 0) {
        zdlLog(QStringLiteral("Undo requested inside a nested undo group; ignored"));
        return;
    }
    if (m_undoStack.empty())
        return;
    runGroup(m_undoStack, State::Undoing);
    emit didUndo();
    changed();
}

void UndoManager::redo()
{
    if (m_state != State::Normal) {
        zdlLog(QStringLiteral("Redo requested while undoing or redoing; ignored"));
        return;
    }
    if (m_level > 0) {
        zdlLog(QStringLiteral("Redo requested inside an undo group; ignored"));
        return;
    }
    if (m_redoStack.empty())
        return;
    runGroup(m_redoStack, State::Redoing);
    emit didRedo();
    changed();
}

void UndoManager::runGroup(std::vector<Group>& from, State state)
{
    Group group = std::move(from.back());
    from.pop_back();
    m_state = state;
    m_nameableId = 0;
    openGroup();
    // The opposite step keeps the id: it stands for the same place in the history, which is how the
    // save point is recognised after undoing and redoing back to it.
    m_open.id = group.id;

    // Whatever happens in the actions, the manager leaves this call with no group open and in its
    // normal state; an action that fails loses the rest of its step rather than the whole history.
    auto finish = [&] {
        if (m_level > 1) {
            zdlLog(QStringLiteral("An undo action left %1 undo group(s) open").arg(m_level - 1));
            m_level = 1;
        }
        m_open.name = group.name;
        closeGroup();
        m_nameableId = 0;
        m_state = State::Normal;
    };
    try {
        for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it)
            it->inverse();
    } catch (...) {
        finish();
        changed();
        throw;
    }
    finish();
}

void UndoManager::disableUndoRegistration()
{
    ++m_disableCount;
}

void UndoManager::enableUndoRegistration()
{
    if (m_disableCount == 0) {
        zdlLog(QStringLiteral("Undo registration enabled more often than disabled; ignored"));
        return;
    }
    --m_disableCount;
}

void UndoManager::beginUndoGrouping()
{
    openGroup();
}

void UndoManager::endUndoGrouping()
{
    if (m_level == 0) {
        zdlLog(QStringLiteral("endUndoGrouping without a matching beginUndoGrouping; ignored"));
        return;
    }
    closeGroup();
}

void UndoManager::setGroupsByEvent(bool groupsByEvent)
{
    m_groupsByEvent = groupsByEvent;
}

void UndoManager::removeAllActions()
{
    const bool wasClean = isClean();
    m_undoStack.clear();
    m_redoStack.clear();
    m_open = Group();
    m_level = 0;
    m_eventGroupOpen = false;
    m_nameableId = 0;
    m_cleanId = wasClean ? 0 : kUnreachable;
    changed();
}

void UndoManager::removeAllActionsWithTarget(const void* target)
{
    const bool wasClean = isClean();
    auto touches = [target](const Group& group) {
        return std::any_of(group.actions.cbegin(), group.actions.cend(),
            [target](const Action& a) { return a.target == target; });
    };
    if (!wasClean && m_cleanId != kUnreachable) {
        // The save point is reached by undoing the open group and the undo steps above it, or by
        // redoing the redo steps down to it. Once one of those loses actions, going there no
        // longer gives back the saved state.
        bool onTheWay = touches(m_open);
        auto inUndo = std::find_if(
            m_undoStack.cbegin(), m_undoStack.cend(), [this](const Group& g) { return g.id == m_cleanId; });
        auto inRedo = std::find_if(
            m_redoStack.cbegin(), m_redoStack.cend(), [this](const Group& g) { return g.id == m_cleanId; });
        if (m_cleanId == 0 || inUndo != m_undoStack.cend()) {
            auto above = m_cleanId == 0 ? m_undoStack.cbegin() : inUndo + 1;
            onTheWay = onTheWay || std::any_of(above, m_undoStack.cend(), touches);
        } else if (inRedo != m_redoStack.cend()) {
            onTheWay = onTheWay || std::any_of(inRedo, m_redoStack.cend(), touches);
        }
        if (onTheWay)
            m_cleanId = kUnreachable;
    }
    auto strip = [target](Group& group) {
        std::erase_if(group.actions, [target](const Action& a) { return a.target == target; });
    };
    for (std::vector<Group>* stack : { &m_undoStack, &m_redoStack }) {
        for (Group& group : *stack)
            strip(group);
        std::erase_if(*stack, [](const Group& g) { return g.actions.empty(); });
    }
    strip(m_open);
    if (wasClean)
        setClean();
    changed();
}

void UndoManager::setClean()
{
    const bool openCounts = m_state != State::Undoing && m_level > 0 && !m_open.actions.empty();
    m_cleanId = openCounts ? m_open.id : topUndoId();
    changed();
}

std::optional<quint64> UndoManager::currentStateId() const
{
    if (m_state == State::Undoing || (m_level > 0 && !m_open.actions.empty()))
        return std::nullopt;
    return topUndoId();
}

void UndoManager::setCleanAt(quint64 stateId)
{
    m_cleanId = stateId;
    changed();
}

bool UndoManager::isClean() const
{
    const bool openCounts = m_state != State::Undoing && m_level > 0 && !m_open.actions.empty();
    return (openCounts ? m_open.id : topUndoId()) == m_cleanId;
}

void UndoManager::openGroup()
{
    if (m_level++ > 0) {
        emit checkpoint();
        return;
    }
    m_open = Group();
    m_open.id = m_nextId++;
    m_nameableId = 0;
}

void UndoManager::closeGroup()
{
    if (m_level == 0)
        return;
    --m_level;
    if (m_level > 0) {
        // Back to the event group after an explicit group inside it: the event group still has to
        // close at the end of the pass.
        if (m_level == 1 && m_eventGroupOpen)
            scheduleEventGroupClose();
        emit checkpoint();
        return;
    }
    m_eventGroupOpen = false;
    Group group = std::move(m_open);
    m_open = Group();
    emit checkpoint();
    if (group.actions.empty())
        return;
    const quint64 id = group.id;
    if (m_state == State::Undoing)
        m_redoStack.push_back(std::move(group));
    else
        m_undoStack.push_back(std::move(group));
    m_nameableId = id;
    scheduleEndOfPass();
    emit didCloseUndoGroup();
    changed();
}

void UndoManager::closeEventGroup()
{
    m_closeQueued = false;
    if (!m_eventGroupOpen || m_level != 1)
        return;
    // Delivered by a loop nested in the event (a modal dialog): the event is still running.
    if (eventLoopLevel() > m_eventLoopLevel && waitForOuterEventLoop())
        return;
    closeGroup();
    // Nothing of the event that made this group runs any more to name it.
    m_nameableId = 0;
}

bool UndoManager::waitForOuterEventLoop()
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher)
        return false;
    if (m_waitingForOuterLoop)
        return true;
    m_waitingForOuterLoop = true;
    // Checked whenever a loop of this thread goes round, without keeping the nested loop busy.
    auto connections = std::make_shared<std::vector<QMetaObject::Connection>>();
    auto check = [this, connections] {
        if (m_eventGroupOpen && eventLoopLevel() > m_eventLoopLevel)
            return;
        for (const QMetaObject::Connection& connection : *connections)
            disconnect(connection);
        m_waitingForOuterLoop = false;
        if (m_eventGroupOpen)
            scheduleEventGroupClose();
    };
    connections->push_back(connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, check));
    connections->push_back(connect(dispatcher, &QAbstractEventDispatcher::awake, this, check));
    return true;
}

void UndoManager::scheduleEventGroupClose()
{
    if (m_closeQueued)
        return;
    m_closeQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { closeEventGroup(); }, Qt::QueuedConnection);
}

void UndoManager::scheduleEndOfPass()
{
    if (m_endOfPassQueued)
        return;
    m_endOfPassQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_endOfPassQueued = false;
            m_nameableId = 0;
        },
        Qt::QueuedConnection);
}

quint64 UndoManager::topUndoId() const
{
    return m_undoStack.empty() ? 0 : m_undoStack.back().id;
}

void UndoManager::changed()
{
    emit stateChanged();
    const bool clean = isClean();
    if (clean != m_lastClean) {
        m_lastClean = clean;
        emit cleanChanged(clean);
    }
}

} // namespace zandrel

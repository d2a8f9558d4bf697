#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace zandrel {

// Records inverse actions in groups so that each user action undoes and redoes as one step; what an
// undo registers becomes the redo step, and the other way round.
class UndoManager : public QObject {
    Q_OBJECT

public:
    explicit UndoManager(QObject* parent = nullptr);
    ~UndoManager() override;

    // The closure must own (or safely reach) everything it touches: it may run long after the
    // registering code has returned. Outside an explicit group, with grouping by event, the first
    // registration opens a group that closes once control is back in the event loop that
    // delivered the event: event loops nested in it (modal dialogs) leave the group open.
    void registerUndo(const void* target, std::function<void()> inverse);

    // Names the open group, or a group closed earlier in the same pass of the event loop. The last
    // name set wins. Ignored while registration is disabled.
    void setActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;

    bool canUndo() const;
    bool canRedo() const;
    // Closes the open group first when only one is open (the event group, or a single explicit
    // group, as the platform does). Refused (and logged) with nested groups open, or from inside
    // an action. redo() is refused with any group open.
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    // Counted: registration is enabled again after as many enables as disables.
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disableCount == 0; }

    // Nested groups merge into the outermost one.
    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_level; }
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool groupsByEvent);

    void removeAllActions();
    void removeAllActionsWithTarget(const void* target);

    // The save point for a document's edited state: clean while the history is where it was when
    // setClean() was last called.
    void setClean();
    bool isClean() const;
    // The same in two steps, for a save that finishes later: the point the history is at now, and
    // setting the save point there once the save finished, wherever the history went meanwhile.
    // No point can be named while an open group may still grow (nullopt).
    std::optional<quint64> currentStateId() const;
    void setCleanAt(quint64 stateId);

signals:
    void didUndo();
    void didRedo();
    void didCloseUndoGroup();
    void checkpoint();
    // Anything the menus show (can undo or redo, the names) or the clean state may have changed.
    void stateChanged();
    void cleanChanged(bool clean);

private:
    enum class State { Normal, Undoing, Redoing };
    struct Action {
        const void* target;
        std::function<void()> inverse;
    };
    struct Group {
        std::vector<Action> actions;
        QString name;
        quint64 id = 0;
    };

    void openGroup();
    void closeGroup();
    void closeEventGroup();
    void scheduleEventGroupClose();
    // False when the thread has no event dispatcher to wait with.
    bool waitForOuterEventLoop();
    void scheduleEndOfPass();
    void runGroup(std::vector<Group>& from, State state);
    quint64 topUndoId() const;
    void changed();

    std::vector<Group> m_undoStack;
    std::vector<Group> m_redoStack;
    Group m_open;
    int m_level = 0;
    bool m_eventGroupOpen = false;
    // The event-loop nesting level of the event that opened the event group: a nested loop (a
    // modal dialog run from that event) does not end the event.
    int m_eventLoopLevel = 0;
    bool m_waitingForOuterLoop = false;
    bool m_closeQueued = false;
    bool m_endOfPassQueued = false;
    // The group most recently closed in this pass of the event loop, which setActionName may still
    // name: 0 for none.
    quint64 m_nameableId = 0;
    int m_disableCount = 0;
    bool m_groupsByEvent = true;
    State m_state = State::Normal;
    quint64 m_nextId = 1;
    // Id of the top undo group at the save point; 0 for an empty history, ~0 when unreachable.
    quint64 m_cleanId = 0;
    bool m_lastClean = true;
};

} // namespace zandrel

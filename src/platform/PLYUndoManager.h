#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Undo and redo stacks with the platform's semantics: registering stores a closure without
// running it; registrations made while undoing go to the redo stack, while redoing to the
// undo stack; a fresh registration clears the redo stack. Each registration outside an explicit
// group is a group of its own. Closures should capture identifiers, never pointers.
class PLYUndoManager {
public:
    using Action = std::function<void()>;

    PLYUndoManager() = default;
    PLYUndoManager(const PLYUndoManager&) = delete;
    PLYUndoManager& operator=(const PLYUndoManager&) = delete;

    // `target` only serves removeAllActionsWithTarget.
    void registerUndo(Action action, const void* target = nullptr);
    // Names the group being built, or else the one on top of the stack that registrations go to.
    void setActionName(const QString& name);

    void beginUndoGrouping();
    // Raises NSInternalInconsistencyException without an open group.
    void endUndoGrouping();
    int groupingLevel() const { return int(m_open.size()); }

    bool canUndo() const;
    bool canRedo() const { return !m_redo.empty(); }
    // Undoes the top group, running its closures last-registered first. An open top-level group
    // is closed first; undoing inside nested groups raises NSInternalInconsistencyException.
    void undo();
    void redo();
    bool isUndoing() const { return m_undoing; }
    bool isRedoing() const { return m_redoing; }

    QString undoActionName() const;
    QString redoActionName() const;
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

    void removeAllActions();
    void removeAllActionsWithTarget(const void* target);

    // Said by a closure that cannot be applied (what it would restore no longer matches the
    // document): when the undo or redo under way ends, both stacks are emptied, so that no later
    // step works on a state it was not recorded against, and the failure handler is told
    // `message` for the user. Outside an undo or redo it acts at once.
    void refuse(const QString& message);
    void setFailureHandler(std::function<void(const QString&)> handler) { m_failed = std::move(handler); }

    // Grows at every change of the stacks: a step that may still extend its own entry checks that
    // nothing was registered, undone or redone since (see generation at its registration).
    quint64 generation() const { return m_generation; }

    // Called after every change of the stacks (menus update their titles).
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    struct Entry {
        Action action;
        const void* target;
    };
    struct Group {
        QString name;
        std::vector<Entry> entries;
    };
    void run(std::vector<Group>& from, std::vector<Group>& to, bool& flag);
    void notify() const;

    std::vector<Group> m_undo;
    std::vector<Group> m_redo;
    std::vector<Group> m_open;
    bool m_undoing = false;
    bool m_redoing = false;
    std::function<void()> m_changed;
    std::function<void(const QString&)> m_failed;
    std::optional<QString> m_refusal;
    mutable quint64 m_generation = 0;
};

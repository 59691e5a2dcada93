#include "PLYUndoManager.h"

#include "PLYError.h"

#include <algorithm>
#include <utility>

void PLYUndoManager::notify() const {
    ++m_generation;
    if (auto handler = m_changed) handler();
}

void PLYUndoManager::registerUndo(Action action, const void* target) {
    if (!action) return;
    if (!m_open.empty()) {
        m_open.back().entries.push_back({std::move(action), target});
        return;
    }
    // (While undoing or redoing, run() keeps a group open, so this is a plain registration.)
    m_redo.clear();
    m_undo.push_back(Group{{}, {{std::move(action), target}}});
    notify();
}

void PLYUndoManager::setActionName(const QString& name) {
    if (!m_open.empty()) {
        m_open.back().name = name;
        return;
    }
    auto& stack = m_undoing ? m_redo : m_undo;
    if (!stack.empty()) {
        stack.back().name = name;
        notify();
    }
}

void PLYUndoManager::beginUndoGrouping() { m_open.push_back({}); }

void PLYUndoManager::endUndoGrouping() {
    if (m_open.empty())
        throw PLYException(QString::fromLatin1(PLYException::InternalInconsistency),
                           QStringLiteral("endUndoGrouping called without a matching beginUndoGrouping."));
    Group group = std::move(m_open.back());
    m_open.pop_back();
    if (group.entries.empty()) return;
    if (!m_open.empty()) {
        // A nested group becomes part of its parent; the outer name wins unless it has none.
        auto& parent = m_open.back();
        if (parent.name.isEmpty()) parent.name = group.name;
        for (auto& e : group.entries) parent.entries.push_back(std::move(e));
        return;
    }
    if (m_undoing) {
        m_redo.push_back(std::move(group));
    } else {
        if (!m_redoing) m_redo.clear();
        m_undo.push_back(std::move(group));
    }
    notify();
}

bool PLYUndoManager::canUndo() const {
    return !m_undo.empty() || (m_open.size() == 1 && !m_open.front().entries.empty());
}

void PLYUndoManager::run(std::vector<Group>& from, std::vector<Group>& to, bool& flag) {
    if (m_open.size() == 1) endUndoGrouping();
    if (!m_open.empty())
        throw PLYException(QString::fromLatin1(PLYException::InternalInconsistency),
                           QStringLiteral("Undo or redo while undo groups are nested."));
    if (from.empty()) return;
    Group group = std::move(from.back());
    from.pop_back();
    // What the closures register forms the opposite group, under the same name.
    flag = true;
    m_open.push_back(Group{group.name, {}});
    struct Reset {
        bool& f;
        ~Reset() { f = false; }
    } reset{flag};
    try {
        for (auto it = group.entries.rbegin(); it != group.entries.rend() && !m_refusal; ++it) it->action();
    } catch (...) {
        m_open.clear();
        m_refusal.reset();
        notify();
        throw;
    }
    // A closure may have cleared everything (removeAllActions) or closed the group itself:
    // then there is nothing to keep.
    if (m_refusal) {
        const QString message = *std::exchange(m_refusal, std::nullopt);
        m_undo.clear();
        m_redo.clear();
        m_open.clear();
        // The undo is over before the user hears of it.
        flag = false;
        notify();
        if (auto handler = m_failed) handler(message);
        return;
    }
    if (m_open.size() == 1) {
        Group opposite = std::move(m_open.back());
        m_open.pop_back();
        if (!opposite.entries.empty()) to.push_back(std::move(opposite));
    } else {
        m_open.clear();
    }
    notify();
}

void PLYUndoManager::undo() { run(m_undo, m_redo, m_undoing); }

void PLYUndoManager::redo() {
    // A redo's registrations go back onto the undo stack without clearing what is left to redo.
    run(m_redo, m_undo, m_redoing);
}

QString PLYUndoManager::undoActionName() const { return m_undo.empty() ? QString() : m_undo.back().name; }
QString PLYUndoManager::redoActionName() const { return m_redo.empty() ? QString() : m_redo.back().name; }

void PLYUndoManager::removeAllActions() {
    m_undo.clear();
    m_redo.clear();
    m_open.clear();
    notify();
}

void PLYUndoManager::refuse(const QString& message) {
    if (m_undoing || m_redoing) {
        if (!m_refusal) m_refusal = message;
        return;
    }
    removeAllActions();
    if (auto handler = m_failed) handler(message);
}

void PLYUndoManager::removeAllActionsWithTarget(const void* target) {
    auto prune = [target](std::vector<Group>& stack) {
        for (auto& g : stack)
            g.entries.erase(std::remove_if(g.entries.begin(), g.entries.end(), [&](const Entry& e) { return e.target == target; }),
                            g.entries.end());
        stack.erase(std::remove_if(stack.begin(), stack.end(), [](const Group& g) { return g.entries.empty(); }), stack.end());
    };
    prune(m_undo);
    prune(m_redo);
    notify();
}

#pragma once

#include "PLYLayoutEdit.h"

#include <QString>
#include <memory>
#include <optional>

class PLYLayoutManager;
class PLYUndoManager;

// A step of a post's undo history that the later changes of one gesture join while it is the
// newest entry (nothing registered, undone or redone since): the drags of one edit-mode session,
// a colour dragged in the colour panel, a stepper held down. Once another step came, or the
// history moved, the next change is a step of its own.
class PLYExtendableUndoStep {
public:
    // Opens a step on `before` without recording anything: the first change recorded while the
    // history stays as it is now takes in everything since `before` (an edit-mode session, from
    // its entry). A session that changes nothing leaves the history alone.
    void open(PLYUndoManager* undo, const PLYLayoutEdit& before);
    // Records what changed since `before` (or since the opening, when nothing came into the
    // history since): into the recorded step when `join` and that step is still the newest entry,
    // else, when anything changed, as a new step named `actionName` that later changes may join.
    // Nothing while the history is undoing or redoing.
    void record(PLYLayoutManager& manager, PLYUndoManager* undo, const PLYLayoutEdit& before,
                const QString& actionName, bool join = true);
    // The open step takes in what changed since it was last recorded, when it is still the newest
    // entry; false (nothing done) otherwise.
    bool extend(PLYLayoutManager& manager, PLYUndoManager* undo);
    // Later changes make steps of their own.
    void close() {
        m_record.reset();
        m_opening.reset();
    }

private:
    std::shared_ptr<PLYLayoutEdit> m_record;
    quint64 m_generation = 0;
    std::optional<PLYLayoutEdit> m_opening;
    quint64 m_openingGeneration = 0;
};

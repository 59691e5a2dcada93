#include <gtest/gtest.h>

#include "PLYError.h"
#include "PLYUndoManager.h"

#include <QStringList>

namespace {
// A value with undoable setters that register their own inverse, as editors do.
struct Document {
    PLYUndoManager undo;
    int value = 0;
    QStringList ran;
    void set(int v, const QString& name = {}) {
        const int old = value;
        value = v;
        undo.registerUndo([this, old] { ran << QString::number(old); set(old); });
        if (!name.isEmpty()) undo.setActionName(name);
    }
};
}  // namespace

TEST(UndoManager, RegisteringDoesNotRunAndUndoRedoAlternate) {
    Document d;
    d.set(1, "One");
    d.set(2, "Two");
    EXPECT_TRUE(d.ran.isEmpty());
    EXPECT_TRUE(d.undo.canUndo());
    EXPECT_FALSE(d.undo.canRedo());
    EXPECT_EQ(d.undo.undoActionName(), QStringLiteral("Two"));

    d.undo.undo();
    EXPECT_EQ(d.value, 1);
    EXPECT_TRUE(d.undo.canRedo());
    EXPECT_EQ(d.undo.redoActionName(), QStringLiteral("Two"));  // the name carries to the redo
    EXPECT_EQ(d.undo.undoActionName(), QStringLiteral("One"));

    d.undo.redo();
    EXPECT_EQ(d.value, 2);
    EXPECT_FALSE(d.undo.canRedo());
    EXPECT_EQ(d.undo.undoCount(), 2);

    d.undo.undo();
    d.undo.undo();
    EXPECT_EQ(d.value, 0);
    EXPECT_FALSE(d.undo.canUndo());
    EXPECT_EQ(d.undo.redoCount(), 2);
    d.undo.redo();
    EXPECT_EQ(d.value, 1);
    EXPECT_EQ(d.undo.redoCount(), 1);  // redo does not clear what is left to redo
}

TEST(UndoManager, NewRegistrationClearsRedo) {
    Document d;
    d.set(1);
    d.set(2);
    d.undo.undo();
    ASSERT_TRUE(d.undo.canRedo());
    d.set(5);
    EXPECT_FALSE(d.undo.canRedo());
    d.undo.undo();
    EXPECT_EQ(d.value, 1);
}

TEST(UndoManager, FlagsAreSetOnlyWhileRunning) {
    PLYUndoManager undo;
    bool sawUndoing = false, sawRedoing = false;
    undo.registerUndo([&] {
        sawUndoing = undo.isUndoing() && !undo.isRedoing();
        undo.registerUndo([&] { sawRedoing = undo.isRedoing() && !undo.isUndoing(); });
    });
    undo.undo();
    EXPECT_TRUE(sawUndoing);
    EXPECT_FALSE(undo.isUndoing());
    undo.redo();
    EXPECT_TRUE(sawRedoing);
    EXPECT_FALSE(undo.isRedoing());
}

TEST(UndoManager, ActionWithoutRedoLeavesNothingToRedo) {
    PLYUndoManager undo;
    int restored = 0;
    undo.registerUndo([&] { ++restored; });
    undo.setActionName("Undo Block Delete");  // named after registering
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Undo Block Delete"));
    undo.undo();
    EXPECT_EQ(restored, 1);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_FALSE(undo.canUndo());
    undo.undo();  // nothing left: harmless
    EXPECT_EQ(restored, 1);
}

TEST(UndoManager, ExplicitGroupUndoesAsOneInReverseOrder) {
    PLYUndoManager undo;
    QStringList order;
    undo.beginUndoGrouping();
    undo.registerUndo([&] { order << "first"; });
    undo.beginUndoGrouping();
    undo.registerUndo([&] { order << "nested"; });
    undo.endUndoGrouping();
    undo.registerUndo([&] { order << "last"; });
    undo.setActionName("Move");
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Move"));
    undo.undo();
    EXPECT_EQ(order, (QStringList{"last", "nested", "first"}));
    undo.beginUndoGrouping();
    undo.endUndoGrouping();  // an empty group leaves no entry
    EXPECT_FALSE(undo.canUndo());
    EXPECT_THROW(undo.endUndoGrouping(), PLYException);
}

TEST(UndoManager, RemovingActions) {
    PLYUndoManager undo;
    int a = 0, b = 0, changes = 0;
    undo.setChangeHandler([&] { ++changes; });
    int targetA = 0, targetB = 0;
    undo.registerUndo([&] { ++a; }, &targetA);
    undo.registerUndo([&] { ++b; }, &targetB);
    undo.removeAllActionsWithTarget(&targetB);
    EXPECT_EQ(undo.undoCount(), 1);
    undo.undo();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    undo.registerUndo([&] { ++a; });
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_GE(changes, 4);
}

TEST(UndoManager, UndoActionThatClearsTheStacksLeavesThemEmpty) {
    // Undoing may close what the actions belong to, and its owner clears the undo manager.
    PLYUndoManager undo;
    int ran = 0;
    undo.registerUndo([&] {
        ++ran;
        undo.registerUndo([] {});
        undo.removeAllActions();
    });
    undo.undo();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_EQ(undo.groupingLevel(), 0);

    // The manager stays usable.
    undo.registerUndo([&] { ++ran; });
    undo.undo();
    EXPECT_EQ(ran, 2);
}

TEST(UndoManager, ARefusedStepStopsItsGroupClearsBothStacksAndIsReportedOnceAfterTheUndo) {
    PLYUndoManager undo;
    QStringList reported;
    bool undoingWhenReported = true;
    undo.setFailureHandler([&](const QString& message) {
        reported << message;
        undoingWhenReported = undo.isUndoing();
    });
    int later = 0;
    undo.registerUndo([&] { ++later; });  // beneath: never reached
    undo.registerUndo([&] { undo.registerUndo([] {}); });
    undo.undo();
    ASSERT_EQ(undo.redoCount(), 1);
    undo.redo();
    int ran = 0;
    undo.beginUndoGrouping();
    undo.registerUndo([&] { ++ran; });  // runs last: left out once the step refused
    undo.registerUndo([&] { undo.refuse(QStringLiteral("the layout no longer matches")); });
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(reported, QStringList{"the layout no longer matches"});
    EXPECT_FALSE(undoingWhenReported);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(later, 0);

    // Outside an undo a refusal acts at once.
    undo.registerUndo([] {});
    undo.refuse(QStringLiteral("again"));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(reported.size(), 2);
}

TEST(UndoManager, TheGenerationMovesWithEveryChangeOfTheStacksOnly) {
    PLYUndoManager undo;
    const quint64 start = undo.generation();
    undo.registerUndo([&] { undo.registerUndo([] {}); });
    const quint64 registered = undo.generation();
    EXPECT_GT(registered, start);
    EXPECT_EQ(undo.generation(), registered) << "reading changes nothing";
    undo.undo();
    EXPECT_GT(undo.generation(), registered);
    const quint64 undone = undo.generation();
    undo.redo();
    EXPECT_GT(undo.generation(), undone);
}

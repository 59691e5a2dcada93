#include <gtest/gtest.h>

#include "PLYFiniteStateMachine.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"

#include <QStringList>

namespace {

// A small door: closed <-> open, locked from closed; every hook writes to one journal.
struct Door {
    std::shared_ptr<PLYFiniteStateMachine> machine = PLYFiniteStateMachine::initWithName(QStringLiteral("Door"));
    PLYFiniteStatePtr closed = PLYFiniteState::stateWithName(QStringLiteral("CLOSED"));
    PLYFiniteStatePtr open = PLYFiniteState::stateWithName(QStringLiteral("OPEN"));
    PLYFiniteStatePtr locked = PLYFiniteState::stateWithName(QStringLiteral("LOCKED"));
    PLYFiniteEventPtr openEvent = PLYFiniteEvent::eventWithName(QStringLiteral("OPEN_DOOR"), {closed}, open);
    PLYFiniteEventPtr closeEvent = PLYFiniteEvent::eventWithName(QStringLiteral("CLOSE_DOOR"), {open}, closed);
    PLYFiniteEventPtr lockEvent = PLYFiniteEvent::eventWithName(QStringLiteral("LOCK"), {closed}, locked);
    PLYFiniteEventPtr resetEvent = PLYFiniteEvent::eventWithName(QStringLiteral("RESET"), {}, closed);
    QStringList journal;
    PLYObserverBag observers;

    Door() {
        for (const auto& s : {closed, open, locked}) {
            const QString n = s->name();
            s->setWillEnterStateBlock([this, n](const PLYFiniteStatePtr& st, const PLYFiniteTransitionPtr& t) {
                EXPECT_EQ(st->name(), n);
                journal << QStringLiteral("willEnter:%1%2").arg(n, t ? QString() : QStringLiteral("(activation)"));
            });
            s->setDidEnterStateBlock([this, n](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr& t) {
                journal << QStringLiteral("didEnter:%1%2").arg(n, t ? QString() : QStringLiteral("(activation)"));
            });
            s->setWillExitStateBlock([this, n](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr&) { journal << "willExit:" + n; });
            s->setDidExitStateBlock([this, n](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr&) { journal << "didExit:" + n; });
        }
        for (const auto& e : {openEvent, closeEvent, lockEvent, resetEvent}) {
            const QString n = e->name();
            e->setWillFireEventBlock([this, n](const PLYFiniteEventPtr&, const PLYFiniteTransitionPtr& t) {
                journal << QStringLiteral("willFire:%1 current=%2").arg(n, t->stateMachine()->currentState()->name());
            });
            e->setDidFireEventBlock([this, n](const PLYFiniteEventPtr&, const PLYFiniteTransitionPtr&) { journal << "didFire:" + n; });
        }
        machine->addStates({closed, open, locked});
        for (const auto& e : {openEvent, closeEvent, lockEvent, resetEvent}) machine->addEvent(e);
        machine->setInitialState(closed);
        observers.add(QString::fromLatin1(PLYFiniteStateMachine::DidChangeStateNotification), machine.get(),
                      [this](const PLYNotification& n) {
                          auto t = PLYFiniteTransition::fromUserInfo(n.userInfo);
                          journal << QStringLiteral("notify:%1->%2 current=%3")
                                         .arg(t ? t->sourceState()->name() : QStringLiteral("?"),
                                              t ? t->destinationState()->name() : QStringLiteral("?"),
                                              n.objectAs<PLYFiniteStateMachine>()->currentState()->name());
                      });
    }
};

template <class F>
QString exceptionName(F&& f) {
    try {
        f();
    } catch (const PLYException& e) {
        return e.name() + QStringLiteral(": ") + e.reason();
    }
    return {};
}

}  // namespace

TEST(FiniteStateMachineFiring, RunsHooksLogAndNotificationInOrder) {
    Door d;
    QStringList logged;
    const int token = PLYLog::addObserver([&](PLYLog::Level level, const QString& line) {
        if (level == PLYLog::Level::Info && line.contains(QStringLiteral("State Machine 'Door'"))) logged << line;
    });
    d.machine->activate();
    d.journal.clear();
    PLYError error;
    ASSERT_TRUE(d.machine->fireEvent(QStringLiteral("OPEN_DOOR"), {{"who", "me"}}, &error));
    PLYLog::removeObserver(token);
    EXPECT_EQ(d.journal, (QStringList{"willFire:OPEN_DOOR current=CLOSED", "willExit:CLOSED", "willEnter:OPEN",
                                      "notify:CLOSED->OPEN current=OPEN", "didExit:CLOSED", "didEnter:OPEN",
                                      "didFire:OPEN_DOOR"}));
    EXPECT_EQ(d.machine->currentState(), d.open);
    EXPECT_TRUE(error.isNull());
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].contains(QStringLiteral("moving from")));
    EXPECT_TRUE(logged[0].contains(QStringLiteral("CLOSED")) && logged[0].contains(QStringLiteral("OPEN_DOOR")));
}

TEST(FiniteStateMachineFiring, NotificationCarriesCallerInfoAndTransition) {
    Door d;
    QVariantMap received;
    void* object = nullptr;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYFiniteStateMachine::DidChangeStateNotification), nullptr, [&](const PLYNotification& n) {
        received = n.userInfo;
        object = n.object;
    });
    const QVariantMap info{{"error", 42}, {"email", "a@b.c"}};
    ASSERT_TRUE(d.machine->fireEvent(d.openEvent, info));
    EXPECT_EQ(object, d.machine.get());
    EXPECT_EQ(received.value("error").toInt(), 42);
    EXPECT_EQ(received.value("email").toString(), QStringLiteral("a@b.c"));
    auto t = PLYFiniteTransition::fromUserInfo(received);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->event(), d.openEvent);
    EXPECT_EQ(t->sourceState(), d.closed);
    EXPECT_EQ(t->destinationState(), d.open);
    EXPECT_EQ(t->stateMachine(), d.machine.get());
    EXPECT_EQ(t->userInfo(), info);  // the caller's info, without "transition"
    EXPECT_FALSE(PLYFiniteTransition::fromUserInfo({{"transition", 3}}));
}

TEST(FiniteStateMachineFiring, EventWithoutSourcesFiresFromAnyState) {
    Door d;
    ASSERT_TRUE(d.machine->fireEvent(QStringLiteral("LOCK")));
    EXPECT_TRUE(d.machine->canFireEvent(QStringLiteral("RESET")));
    ASSERT_TRUE(d.machine->fireEvent(QStringLiteral("RESET")));
    EXPECT_EQ(d.machine->currentState()->name(), QStringLiteral("CLOSED"));
}

TEST(FiniteStateMachineRefusals, EventFromWrongStateChangesNothingAndPostsNothing) {
    Door d;
    d.machine->activate();
    d.journal.clear();
    PLYError error;
    EXPECT_FALSE(d.machine->canFireEvent(QStringLiteral("CLOSE_DOOR")));
    EXPECT_FALSE(d.machine->fireEvent(QStringLiteral("CLOSE_DOOR"), {}, &error));
    EXPECT_EQ(error.domain, QStringLiteral("org.vantorel.vezovuroru.fsm.errors"));
    EXPECT_EQ(error.code, 1000);
    EXPECT_EQ(error.description, QStringLiteral("The event cannot be fired from the current state."));
    EXPECT_TRUE(d.journal.isEmpty()) << d.journal.join(", ").toStdString();
    EXPECT_EQ(d.machine->currentState(), d.closed);
    EXPECT_FALSE(d.machine->fireEvent(QStringLiteral("CLOSE_DOOR")));  // a null out-parameter is fine
}

TEST(FiniteStateMachineRefusals, ShouldFireDeclineGives1001AndRunsNoOtherHook) {
    Door d;
    d.machine->activate();
    PLYFiniteTransitionPtr asked;
    d.openEvent->setShouldFireEventBlock([&](const PLYFiniteEventPtr&, const PLYFiniteTransitionPtr& t) {
        asked = t;
        return t->userInfo().value("key").toBool();
    });
    d.journal.clear();
    PLYError error;
    EXPECT_FALSE(d.machine->fireEvent(d.openEvent, {{"key", false}}, &error));
    EXPECT_EQ(error.code, 1001);
    EXPECT_EQ(error.domain, QString::fromLatin1(PLYFiniteStateMachine::ErrorDomain));
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->sourceState(), d.closed);
    EXPECT_TRUE(d.journal.isEmpty());
    EXPECT_EQ(d.machine->currentState(), d.closed);
    EXPECT_TRUE(d.machine->fireEvent(d.openEvent, {{"key", true}}, &error));
    EXPECT_EQ(d.machine->currentState(), d.open);
}

TEST(FiniteStateMachineRefusals, UnknownEventsRaise) {
    Door d;
    EXPECT_EQ(exceptionName([&] { d.machine->canFireEvent(QStringLiteral("FLY")); }),
              QStringLiteral("NSInvalidArgumentException: Cannot find an Event named 'FLY'"));
    EXPECT_TRUE(exceptionName([&] { d.machine->fireEvent(QStringLiteral("FLY")); }).contains("Cannot find an Event named 'FLY'"));
    EXPECT_TRUE(exceptionName([&] { d.machine->fireEvent(PLYFiniteEventPtr()); }).startsWith("NSInvalidArgumentException: Expected a `PLYFiniteEvent`"));
    auto foreign = PLYFiniteEvent::eventWithName(QStringLiteral("FOREIGN"), {}, d.open);
    EXPECT_TRUE(exceptionName([&] { d.machine->canFireEvent(foreign); }).startsWith("NSInvalidArgumentException"));
    EXPECT_EQ(d.machine->currentState(), d.closed);  // the failed firing still activated it
}

TEST(FiniteStateMachineNesting, OuterNotificationIsPostedBeforeTheNestedFiring) {
    Door d;
    d.open->setDidEnterStateBlock([&](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr&) {
        d.journal << "didEnter:OPEN";
        EXPECT_TRUE(d.machine->fireEvent(QStringLiteral("CLOSE_DOOR")));
    });
    d.machine->activate();
    d.journal.clear();
    ASSERT_TRUE(d.machine->fireEvent(QStringLiteral("OPEN_DOOR")));
    const int outer = d.journal.indexOf("notify:CLOSED->OPEN current=OPEN");
    const int innerStart = d.journal.indexOf("willFire:CLOSE_DOOR current=OPEN");
    const int inner = d.journal.indexOf("notify:OPEN->CLOSED current=CLOSED");
    ASSERT_GE(outer, 0);
    ASSERT_GE(innerStart, 0);
    EXPECT_LT(outer, innerStart);
    EXPECT_LT(innerStart, inner);
    EXPECT_EQ(d.journal.last(), QStringLiteral("didFire:OPEN_DOOR"));
    EXPECT_EQ(d.machine->currentState(), d.closed);
}

TEST(FiniteStateMachineActivation, ActivationEntersInitialStateWithoutNotification) {
    Door d;
    EXPECT_FALSE(d.machine->isActive());
    EXPECT_FALSE(d.machine->currentState());
    d.machine->activate();
    EXPECT_TRUE(d.machine->isActive());
    EXPECT_EQ(d.journal, (QStringList{"willEnter:CLOSED(activation)", "didEnter:CLOSED(activation)"}));
    EXPECT_EQ(exceptionName([&] { d.machine->activate(); }),
              QStringLiteral("NSInternalInconsistencyException: The state machine has already been activated."));
}

TEST(FiniteStateMachineActivation, FiringAnInactiveMachineActivatesItFirst) {
    Door d;
    ASSERT_TRUE(d.machine->fireEvent(QStringLiteral("OPEN_DOOR")));
    EXPECT_EQ(d.journal.mid(0, 3), (QStringList{"willEnter:CLOSED(activation)", "didEnter:CLOSED(activation)",
                                                "willFire:OPEN_DOOR current=CLOSED"}));
    EXPECT_TRUE(d.machine->isActive());
}

TEST(FiniteStateMachineActivation, ActiveMachineIsImmutable) {
    Door d;
    d.machine->activate();
    const QString immutable = QStringLiteral("PLYFiniteStateMachineIsImmutableException");
    auto extra = PLYFiniteState::stateWithName(QStringLiteral("EXTRA"));
    EXPECT_TRUE(exceptionName([&] { d.machine->addStates({extra}); }).startsWith(immutable));
    EXPECT_TRUE(exceptionName([&] { d.machine->addEvent(PLYFiniteEvent::eventWithName("X", {}, d.open)); }).startsWith(immutable));
    EXPECT_TRUE(exceptionName([&] { d.machine->setInitialState(d.open); }).startsWith(immutable));
    EXPECT_EQ(d.machine->states().size(), 3);
    EXPECT_EQ(d.machine->events().size(), 4);
    EXPECT_EQ(d.machine->initialState(), d.closed);
}

TEST(FiniteStateMachineBuilding, LookupsAndMisuse) {
    Door d;
    EXPECT_EQ(d.machine->name(), QStringLiteral("Door"));
    EXPECT_EQ(d.machine->stateNamed(QStringLiteral("LOCKED")), d.locked);
    EXPECT_EQ(d.machine->eventNamed(QStringLiteral("LOCK")), d.lockEvent);
    EXPECT_FALSE(d.machine->stateNamed(QStringLiteral("NOPE")));
    EXPECT_EQ(d.machine->states().first(), d.closed);  // in the order added
    EXPECT_TRUE(d.machine->description().contains(QStringLiteral("RESET")));
    auto stray = PLYFiniteState::stateWithName(QStringLiteral("STRAY"));
    EXPECT_TRUE(exceptionName([&] { d.machine->addEvent(PLYFiniteEvent::eventWithName("TO_STRAY", {d.open}, stray)); })
                    .startsWith("NSInternalInconsistencyException"));
    EXPECT_TRUE(exceptionName([&] { d.machine->addEvent(PLYFiniteEvent::eventWithName("LOCK", {d.open}, d.closed)); })
                    .startsWith("NSInternalInconsistencyException"));
    EXPECT_TRUE(exceptionName([] { PLYFiniteState::stateWithName(QString()); }).startsWith("NSInvalidArgumentException"));
    auto empty = PLYFiniteStateMachine::initWithName(QStringLiteral("Empty"));
    EXPECT_TRUE(exceptionName([&] { empty->activate(); }).startsWith("NSInternalInconsistencyException"));
}

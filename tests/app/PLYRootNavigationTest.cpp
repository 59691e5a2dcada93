// The root navigation's table without widgets: for every current post and every state of the
// session, from every screen, which screen the main window ends on and what it does on the way.

#include "PLYRootNavigation.h"
#include "PLYVisualStateHandler.h"
#include "PLYWebServiceManager.h"

#include <gtest/gtest.h>

namespace {

using Nav = PLYRootNavigation;
using Screen = Nav::Screen;
using PostKind = Nav::PostKind;
using Transition = Nav::Transition;
using M = PLYWebServiceManager;

const char* const kStates[] = {
    M::StateCheckingConnection, M::StateNoInternet,          M::StateServerConnection,  M::StateCheckingServerVersion,
    M::StateOutOfDateVersion,   M::StateAttemptingLogin,     M::StateNotAuthd,          M::StateCreatingAccount,
    M::StateNoAccount,          M::StateFetchingInfo,        M::StateIdle,              M::StateUpdatingAccount,
    M::StateUpdatingUser,       M::StateCreatingPublisher,   M::StateDeletingPublisher, M::StateUpdatingPublisher,
    M::StateNotVerified,        M::StateAccountLocked,       M::StateAccountPendingDeletion,
    M::StateRefreshingAuth,     M::StateSigningOut};

const char* name(Screen s) { return s == Screen::Home ? "home" : s == Screen::Editor ? "editor" : "login"; }

// Carries the steps out as the root view does: the current post is cleared when login comes.
struct Root {
    Screen screen;
    PostKind post;
    int alerts = 0;
    void apply(const Nav::Step& step) {
        screen = step.screen;
        if (step.clearCurrentPost) post = PostKind::None;
        if (step.alert == Nav::Alert::OutOfDate) ++alerts;
    }
};

// A step that only names its screen.
Nav::Step onScreen(Screen screen) {
    Nav::Step step;
    step.screen = screen;
    return step;
}

TEST(RootNavigationTable, EveryCurrentPostAndSessionStateFromEveryScreen) {
    for (Screen start : {Screen::Home, Screen::Editor, Screen::Login}) {
        for (PostKind post : {PostKind::None, PostKind::Post, PostKind::NewPost}) {
            for (const char* stateName : kStates) {
                const QString state = QString::fromLatin1(stateName);
                SCOPED_TRACE(std::string(name(start)) + " / post " + std::to_string(int(post)) + " / " + stateName);
                // The session changes, then the current post does.
                Root root{start, post, 0};
                root.apply(Nav::serviceStateChanged(root.screen, state));
                root.apply(Nav::postChanged(root.screen, post, false));
                const bool login = start == Screen::Login || Nav::needsLogin(state);
                EXPECT_EQ(root.screen, Nav::screenFor(post, state, start == Screen::Login));
                EXPECT_EQ(root.screen, login ? Screen::Login : post == PostKind::None ? Screen::Home : Screen::Editor);
                EXPECT_EQ(root.alerts, state == QLatin1String(M::StateOutOfDateVersion) ? 1 : 0);

                // Whatever happened meanwhile, a finished login lands on home, and the library
                // agrees: its current post was cleared when login came.
                if (root.screen == Screen::Login) {
                    root.apply(Nav::loginCompleted(root.screen));
                    EXPECT_EQ(root.screen, Screen::Home);
                    if (start != Screen::Login) {
                        EXPECT_EQ(root.post, PostKind::None);
                    }
                }
            }
        }
    }
}

TEST(RootNavigationTable, OnlyNoAccountAndNotAuthdNeedTheLoginAndItComesOnce) {
    int needing = 0;
    for (const char* state : kStates) needing += Nav::needsLogin(QString::fromLatin1(state)) ? 1 : 0;
    EXPECT_EQ(needing, 2);
    const Nav::Step first = Nav::serviceStateChanged(Screen::Editor, QString::fromLatin1(M::StateNotAuthd));
    EXPECT_EQ(first.transition, Transition::PresentLogin);
    EXPECT_TRUE(first.clearCurrentPost);
    EXPECT_EQ(first.postHeaderVisible, std::optional<bool>(false));
    // Already up: no second login view, nothing cleared again.
    const Nav::Step again = Nav::serviceStateChanged(Screen::Login, QString::fromLatin1(M::StateNoAccount));
    EXPECT_EQ(again, onScreen(Screen::Login));
    // Signed in elsewhere meanwhile: the login view still waits for its own completion.
    EXPECT_EQ(Nav::serviceStateChanged(Screen::Login, QString::fromLatin1(M::StateIdle)).screen, Screen::Login);
    EXPECT_EQ(Nav::loginCompleted(Screen::Home).transition, Transition::None);
}

TEST(RootNavigationTable, TheWayToAnEditorAndTheHeaderItLeaves) {
    // From home a post slides up; from another editor it cross-fades; the same post stays.
    EXPECT_EQ(Nav::postChanged(Screen::Home, PostKind::Post, false).transition, Transition::SlideToEditor);
    EXPECT_EQ(Nav::postChanged(Screen::Editor, PostKind::Post, false).transition, Transition::CrossFadeToEditor);
    const Nav::Step same = Nav::postChanged(Screen::Editor, PostKind::Post, true);
    EXPECT_EQ(same.transition, Transition::None);
    EXPECT_EQ(same.postHeaderVisible, std::optional<bool>(true));
    // A new post leaves the header until it is set up; asked twice it is not opened twice.
    const Nav::Step fresh = Nav::postChanged(Screen::Editor, PostKind::NewPost, false);
    EXPECT_EQ(fresh.transition, Transition::MoveForNewPost);
    EXPECT_FALSE(fresh.postHeaderVisible.has_value());
    EXPECT_EQ(Nav::postChanged(Screen::Editor, PostKind::NewPost, true).transition, Transition::None);
    // Home from an editor hides the post header; home at home does nothing at all.
    Nav::Step home = onScreen(Screen::Home);
    home.transition = Transition::MoveHome;
    home.postHeaderVisible = false;
    EXPECT_EQ(Nav::postChanged(Screen::Editor, PostKind::None, false), home);
    EXPECT_EQ(Nav::postChanged(Screen::Home, PostKind::None, false), onScreen(Screen::Home));
    // While login is up, posts change nothing on screen.
    EXPECT_EQ(Nav::postChanged(Screen::Login, PostKind::Post, false), onScreen(Screen::Login));
}

TEST(RootNavigationTable, ACancelledNewPostGivesBackWhatWasBehindItsSheet) {
    // Opened from an editor: that editor comes back as it was, with its post header.
    const Nav::Step back = Nav::setUpCancelled(Screen::Editor, Screen::Editor);
    EXPECT_EQ(back.screen, Screen::Editor);
    EXPECT_EQ(back.transition, Transition::ReturnFromNewPost);
    EXPECT_EQ(back.postHeaderVisible, std::optional<bool>(true));
    EXPECT_FALSE(back.clearCurrentPost);
    // Opened from home: home, whole, and the library agrees that no post is current.
    const Nav::Step home = Nav::setUpCancelled(Screen::Editor, Screen::Home);
    EXPECT_EQ(home.screen, Screen::Home);
    EXPECT_EQ(home.transition, Transition::MoveHome);
    EXPECT_EQ(home.postHeaderVisible, std::optional<bool>(false));
    EXPECT_TRUE(home.clearCurrentPost);
    // The login came over the sheet: its own road ends at home; the cancel changes nothing.
    EXPECT_EQ(Nav::setUpCancelled(Screen::Login, Screen::Editor), onScreen(Screen::Login));
    EXPECT_EQ(Nav::setUpCancelled(Screen::Login, Screen::Home), onScreen(Screen::Login));
    // Every other road out of the set-up (a post that could not be made, the login) ends where
    // it ends, whatever was behind the sheet: home or login, never the editor behind it.
    EXPECT_EQ(Nav::postChanged(Screen::Editor, PostKind::None, false).screen, Screen::Home);
    EXPECT_EQ(Nav::serviceStateChanged(Screen::Editor, QString::fromLatin1(M::StateNotAuthd)).screen, Screen::Login);
}

TEST(RootNavigationLabels, TheZoomLabelRoundsAndFollowsTheSteppedZoom) {
    EXPECT_EQ(Nav::zoomLabel(1.0), "100%");
    EXPECT_EQ(Nav::zoomLabel(0.25), "25%");
    EXPECT_EQ(Nav::zoomLabel(1.234), "123%");
    EXPECT_EQ(Nav::zoomLabel(0.996), "100%");
    // Nine steps of 0.1 up from 0.1 leave the factor a hair under 1.0: it still reads 100%.
    PLYVisualStateHandler handler;
    handler.setLayoutZoomFactor(0.1);
    for (int i = 0; i < 9; ++i) handler.incrementLayoutZoomFactorBy(0.1);
    EXPECT_LT(handler.layoutZoomFactor(), 1.0);
    EXPECT_EQ(Nav::zoomLabel(handler.layoutZoomFactor()), "100%");
}

TEST(RootNavigationLabels, TheWindowIsCentredInTheScreensFreeArea) {
    // A top panel of 32 and a dock of 48 on the left: the frame sits inside what is left.
    const QRect available(48, 32, 1872, 1048);
    const QRect frame = Nav::centredFrame(available);
    EXPECT_EQ(frame.size(), QSize(1497, 838));
    EXPECT_TRUE(available.contains(frame));
    EXPECT_EQ(frame.center(), available.center());
    EXPECT_TRUE(Nav::centredFrame(QRect()).isNull());
    EXPECT_EQ(Nav::headerState(true), 0);
    EXPECT_EQ(Nav::headerState(false), 1);
}

}  // namespace

#pragma once

#include <QRect>
#include <QString>
#include <optional>

// What the main window shows, decided without widgets: exactly one of home, the editor of the
// current post and the login view. The root view feeds it each change (the current post, the
// session's state, the login view finishing) and carries out the step it answers.
//
// Login is sticky: once up it stays until the login view completes, whatever else changes; a
// current-post change meanwhile is ignored. Presenting login clears the current post, so that
// after sign-in (perhaps as someone else) home shows and the library agrees with it.
class PLYRootNavigation {
public:
    enum class Screen { Home, Editor, Login };
    // The core manager's current post manager: none, one with a post, one for a post still to be
    // set up.
    enum class PostKind { None, Post, NewPost };
    enum class Transition {
        None,
        PresentLogin,       // the shown editor (if any) slides out and stays cached; login slides up
        MoveHome,           // the shown editor slides down; dropped from the cache
        SlideToEditor,      // from home: the post's editor slides up
        CrossFadeToEditor,  // from another editor: the post's editor fades in over it
        MoveForNewPost,     // a fresh editor slides up and opens the set-up sheet
        ReturnFromNewPost,  // the set-up was cancelled: the editor behind its sheet is current again
        DismissLogin,       // the login view goes and home fades in
    };
    enum class Alert { None, OutOfDate };

    struct Step {
        Screen screen = Screen::Home;
        Transition transition = Transition::None;
        Alert alert = Alert::None;
        // The post header's new visibility; nothing leaves it as it is.
        std::optional<bool> postHeaderVisible;
        // The core manager's current post becomes nothing (login came up).
        bool clearCurrentPost = false;
        bool operator==(const Step&) const = default;
    };

    // States of the session that need the user to sign in.
    static bool needsLogin(const QString& serviceState);

    // The current post changed; `sameAsShown` when it is the editor already on screen.
    static Step postChanged(Screen shown, PostKind post, bool sameAsShown);
    // The session entered `serviceState`.
    static Step serviceStateChanged(Screen shown, const QString& serviceState);
    // The login view is through.
    static Step loginCompleted(Screen shown);
    // The new post's set-up sheet was cancelled. The sheet lies over what was on screen when it
    // opened (`behindSheet`: home or an editor), which is given back as it was.
    static Step setUpCancelled(Screen shown, Screen behindSheet);

    // The screen the steps lead to for a current post and a session state, with the login view
    // up or not: the table the root keeps.
    static Screen screenFor(PostKind post, const QString& serviceState, bool loginUp);

    // The zoom label: the factor as a rounded percentage ("100%").
    static QString zoomLabel(double factor);
    // The main window's first frame: `fraction` of the screen's available area, centred in it.
    static QRect centredFrame(const QRect& available, double fraction = 0.8);
    // The title bar: 0 shows the post controls, 1 the home title.
    static int headerState(bool postHeaderVisible) { return postHeaderVisible ? 0 : 1; }
};

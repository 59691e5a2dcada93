#include "PLYRootNavigation.h"

#include "PLYWebServiceManager.h"

#include <cmath>

using Screen = PLYRootNavigation::Screen;
using Transition = PLYRootNavigation::Transition;

bool PLYRootNavigation::needsLogin(const QString& serviceState) {
    return serviceState == QLatin1String(PLYWebServiceManager::StateNoAccount) ||
           serviceState == QLatin1String(PLYWebServiceManager::StateNotAuthd);
}

namespace {
PLYRootNavigation::Step make(Screen screen, Transition transition = Transition::None,
                             std::optional<bool> postHeaderVisible = std::nullopt) {
    PLYRootNavigation::Step step;
    step.screen = screen;
    step.transition = transition;
    step.postHeaderVisible = postHeaderVisible;
    return step;
}
}  // namespace

PLYRootNavigation::Step PLYRootNavigation::postChanged(Screen shown, PostKind post, bool sameAsShown) {
    if (shown == Screen::Login) return make(Screen::Login);
    switch (post) {
    case PostKind::None:
        if (shown == Screen::Editor) return make(Screen::Home, Transition::MoveHome, false);
        return make(Screen::Home);
    case PostKind::Post:
        // The post already on screen keeps its editor as it is.
        if (shown == Screen::Editor && sameAsShown) return make(Screen::Editor, Transition::None, true);
        return make(Screen::Editor, shown == Screen::Editor ? Transition::CrossFadeToEditor : Transition::SlideToEditor,
                    true);
    case PostKind::NewPost:
        if (shown == Screen::Editor && sameAsShown) return make(Screen::Editor);
        // The header waits for the new post to be set up.
        return make(Screen::Editor, Transition::MoveForNewPost);
    }
    return make(shown);
}

PLYRootNavigation::Step PLYRootNavigation::serviceStateChanged(Screen shown, const QString& serviceState) {
    if (needsLogin(serviceState)) {
        if (shown == Screen::Login) return make(Screen::Login);
        Step step = make(Screen::Login, Transition::PresentLogin, false);
        step.clearCurrentPost = true;
        return step;
    }
    Step step = make(shown);
    if (serviceState == QLatin1String(PLYWebServiceManager::StateOutOfDateVersion)) step.alert = Alert::OutOfDate;
    return step;
}

PLYRootNavigation::Step PLYRootNavigation::loginCompleted(Screen shown) {
    if (shown != Screen::Login) return make(shown);
    return make(Screen::Home, Transition::DismissLogin);
}

PLYRootNavigation::Step PLYRootNavigation::setUpCancelled(Screen shown, Screen behindSheet) {
    // The login took over meanwhile; it ends at home on its own.
    if (shown == Screen::Login) return make(Screen::Login);
    if (behindSheet == Screen::Editor) return make(Screen::Editor, Transition::ReturnFromNewPost, true);
    Step step = make(Screen::Home, Transition::MoveHome, false);
    step.clearCurrentPost = true;
    return step;
}

Screen PLYRootNavigation::screenFor(PostKind post, const QString& serviceState, bool loginUp) {
    if (loginUp || needsLogin(serviceState)) return Screen::Login;
    return post == PostKind::None ? Screen::Home : Screen::Editor;
}

QString PLYRootNavigation::zoomLabel(double factor) {
    // Rounded: nine steps of 0.1 up from 0.1 land a hair under 1.0 and still read 100%.
    return QStringLiteral("%1%").arg(std::llround(factor * 100.0));
}

QRect PLYRootNavigation::centredFrame(const QRect& available, double fraction) {
    if (!available.isValid()) return {};
    const QSize size(int(available.width() * fraction), int(available.height() * fraction));
    const QPoint origin(available.x() + (available.width() - size.width()) / 2,
                        available.y() + (available.height() - size.height()) / 2);
    return QRect(origin, size);
}

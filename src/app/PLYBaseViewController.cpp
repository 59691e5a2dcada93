#include "PLYBaseViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYAnimator.h"
#include "PLYAuthViewController.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYDispatch.h"
#include "PLYError.h"
#include "PLYExportManager.h"
#include "PLYHomeViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYPostViewController.h"
#include "PLYStoryboard.h"
#include "PLYVisualStateHandler.h"
#include "PLYWebServiceManager.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QResizeEvent>
#include <utility>

using Nav = PLYRootNavigation;

namespace {

QGraphicsOpacityEffect* opacityEffect(QWidget* view) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(1.0);
        view->setGraphicsEffect(effect);
    }
    return effect;
}

}  // namespace

PLYBaseViewController::PLYBaseViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYBaseViewController"));
    // 1. An opaque light grey behind every screen.
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(250, 250, 250));
    setPalette(p);

    m_homeViewController = new PLYHomeViewController(this);
    m_homeViewController->setGeometry(rect());

    m_checkForUpdates = [] {
        // Pellory has no updater of its own; the downloads page has the latest version.
        PLYDesktopServices::shared()->openURL(PLYDefaults::supportURLForPath(QStringLiteral("/downloads-and-choosing-your-plan/downloads")));
    };
    m_terminate = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };

    // 2. The session's state (queued: a transition never runs inside the machine's own
    // notification) and the current post.
    m_sessionObserver = std::make_unique<PLYSessionObserver>(
        this, PLYSessionObserver::Delivery::Queued, [this](const PLYSessionChange& change) {
            webServiceManagerStateChange(change.state);
        });
    m_observers.add(QString::fromLatin1(PLYCoreManager::CurrentPostManagerChangedNotification), nullptr,
                    [this](const PLYNotification&) { corePostManagerChangedNotification(); });
    m_observers.add(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
                    [this](const PLYNotification&) { pruneEditors(); });

    // 3. Nobody signed in: the login view at once.
    if (const PLYWebServiceManager* manager = m_sessionObserver->manager(); manager && Nav::needsLogin(manager->currentStateName()))
        perform(Nav::serviceStateChanged(screen(), manager->currentStateName()));
}

PLYBaseViewController::~PLYBaseViewController() {
    m_observers.clear();
    m_sessionObserver.reset();
}

Nav::Screen PLYBaseViewController::screen() const {
    if (m_authViewController) return Nav::Screen::Login;
    return m_currentPostController ? Nav::Screen::Editor : Nav::Screen::Home;
}

QList<PLYPostViewController*> PLYBaseViewController::postViewControllers() const {
    QList<PLYPostViewController*> editors;
    for (const auto& editor : m_postViewControllers)
        if (editor) editors << editor.data();
    return editors;
}

std::shared_ptr<PLYPostManager> PLYBaseViewController::currentPostManager() const {
    return m_currentPostController ? m_currentPostController->postManager() : nullptr;
}

void PLYBaseViewController::setOutOfDateActions(std::function<void()> checkForUpdates, std::function<void()> terminate) {
    if (checkForUpdates) m_checkForUpdates = std::move(checkForUpdates);
    if (terminate) m_terminate = std::move(terminate);
}

// ---- reactions ------------------------------------------------------------------------------------

void PLYBaseViewController::corePostManagerChangedNotification() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto current = core ? core->currentPostManager() : nullptr;
    const Nav::PostKind kind = !current ? Nav::PostKind::None
                               : current->representedPost() ? Nav::PostKind::Post
                                                            : Nav::PostKind::NewPost;
    const auto shown = currentPostManager();
    bool same = shown && shown == current;
    if (!same && shown && current && shown->representedPost() && current->representedPost())
        same = shown->representedPost()->identifier() == current->representedPost()->identifier();
    perform(Nav::postChanged(screen(), kind, same));
}

void PLYBaseViewController::webServiceManagerStateChange(const QString& state) {
    perform(Nav::serviceStateChanged(screen(), state));
}

void PLYBaseViewController::loginCompleted() { perform(Nav::loginCompleted(screen())); }

void PLYBaseViewController::perform(const Nav::Step& step) {
    switch (step.transition) {
    case Nav::Transition::None: break;
    case Nav::Transition::PresentLogin: presentLogin(); break;
    case Nav::Transition::MoveHome: moveHome(true); break;
    case Nav::Transition::SlideToEditor:
    case Nav::Transition::CrossFadeToEditor: moveToCurrentPostManager(); break;
    case Nav::Transition::MoveForNewPost: moveForNewPost(); break;
    case Nav::Transition::ReturnFromNewPost: returnFromNewPost(); break;
    case Nav::Transition::DismissLogin: dismissLogin(); break;
    }
    abandonSetUpsOffScreen();
    if (step.postHeaderVisible && screen() == step.screen)
        PLYVisualStateHandler::globalHandler()->setPostHeaderVisible(*step.postHeaderVisible);
    if (step.clearCurrentPost) {
        // Ignored here while login is up; home shows once it completes.
        if (PLYCoreManager* core = PLYCoreManager::globalManager(); core && core->currentPostManager())
            core->setCurrentPostManager(nullptr);
    }
    if (step.alert == Nav::Alert::OutOfDate) {
        QPointer<PLYBaseViewController> self(this);
        PLYDispatch::mainAsync([self] {
            if (self) self->presentOutOfDateAlert();
        }, this);
    }
    markEditorInFront();
    if (screen() != step.screen)
        PLY_LOG_WARN(QStringLiteral("The main window could not show the screen asked for (%1); it shows %2")
                         .arg(int(step.screen))
                         .arg(int(screen())));
    announceScreen();
}

void PLYBaseViewController::markEditorInFront() {
    // Only the editor shown, with no login over it, drives the title bar.
    for (const auto& editor : std::as_const(m_postViewControllers))
        if (editor) editor->setInFront(editor == m_currentPostController && !m_authViewController);
}

void PLYBaseViewController::announceScreen() {
    const Nav::Screen now = screen();
    if (now == m_announced) return;
    m_announced = now;
    emit screenChanged(now);
}

// ---- geometry and animation -----------------------------------------------------------------------

void PLYBaseViewController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_homeViewController->setGeometry(rect());
    // Overlays keep the root's size; those shown sit at the top, the others below the bottom.
    const auto fit = [this](QWidget* view, bool shown) {
        if (!view) return;
        view->resize(size());
        if (shown) view->move(0, 0);
        else if (view->isVisible()) view->move(0, height());
    };
    for (const auto& editor : std::as_const(m_postViewControllers)) fit(editor, editor == m_currentPostController);
    fit(m_authViewController, true);
}

void PLYBaseViewController::place(QWidget* view, int top) {
    view->setParent(this);
    view->setGeometry(0, top, width(), height());
    view->show();
    view->raise();
    // A login view stays in front of any editor.
    if (m_authViewController && view != m_authViewController) m_authViewController->raise();
}

void PLYBaseViewController::slide(QWidget* view, int top, std::function<void()> completion) {
    PLYAnimator::shared()->animate(view, "pos", QPoint(0, top), TransitionMs, std::move(completion));
}

void PLYBaseViewController::fade(QWidget* view, double opacity, std::function<void()> completion) {
    QGraphicsOpacityEffect* effect = opacityEffect(view);
    QPointer<QWidget> target(view);
    PLYAnimator::shared()->animate(effect, "opacity", opacity, TransitionMs, [target, opacity, completion] {
        // Fully opaque needs no effect, which would only slow painting down.
        if (target && opacity >= 1.0) target->setGraphicsEffect(nullptr);
        if (completion) completion();
    });
}

void PLYBaseViewController::fadeHome(double opacity) {
    QPointer<PLYBaseViewController> self(this);
    if (opacity > 0) m_homeViewController->show();
    fade(m_homeViewController, opacity, [self, opacity] {
        // Hidden once faded out, unless home became the screen again meanwhile.
        if (self && opacity <= 0 && self->screen() != Nav::Screen::Home) self->m_homeViewController->hide();
    });
}

// ---- transitions ----------------------------------------------------------------------------------

void PLYBaseViewController::moveHome(bool drop) {
    QPointer<PLYPostViewController> editor = m_currentPostController;
    if (!editor) return;
    // A new post's editor still waits behind its set-up sheet, over the editor shown before: that
    // one leaves for home too, so that home shows whole.
    QPointer<PLYPostViewController> behind = std::exchange(m_editorBehindSheet, nullptr);
    if (behind == editor) behind = nullptr;
    // 1. The post is written and home hears of it.
    saveLeavingPost(editor);
    saveLeavingPost(behind);
    // Home is the screen from now on.
    m_currentPostController = nullptr;
    if (drop) m_postViewControllers.removeAll(editor);
    // 2.-3. Home fades in while the editor slides down.
    fadeHome(1.0);
    slideOut(editor, drop);
    slideOut(behind, false);
}

void PLYBaseViewController::saveLeavingPost(PLYPostViewController* editor) {
    // A post never set up has nothing to save; a deleted post has nothing left to write.
    const auto leaving = editor && editor->postManager() ? editor->postManager()->representedPost() : nullptr;
    const auto post = leaving && !leaving->isRemoved() ? leaving : nullptr;
    if (!post) return;
    PLYError error;
    if (!post->save(&error))
        PLY_LOG_ERROR(QStringLiteral("Could not save the post '%1' on the way home: %2").arg(post->name(), error.description));
    if (PLYExportManager* exports = PLYCoreManager::exportManager()) exports->createPostPreview(post);
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
}

void PLYBaseViewController::slideOut(const QPointer<PLYPostViewController>& editor, bool drop) {
    if (!editor) return;
    QPointer<PLYBaseViewController> self(this);
    slide(editor, height(), [self, editor, drop] {
        // 4. The editor goes, unless it came back meanwhile.
        if (!self || !editor || editor == self->m_currentPostController) return;
        editor->hide();
        if (drop && !self->m_postViewControllers.contains(editor)) editor->deleteLater();
    });
}

void PLYBaseViewController::moveForNewPost() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto manager = core ? core->currentPostManager() : nullptr;
    if (!manager) return;
    QPointer<PLYPostViewController> previous = m_currentPostController;
    if (previous) PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
    // A new layout tab reports its starting zoom to the shared handler; the editor that stays on
    // screen behind the sheet keeps its own.
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    const double zoomBehind = handler->layoutZoomFactor();
    auto* editor = PLYStoryboard::hasScene(QString::fromLatin1(PLYInterfaceNames::MainStoryboard),
                                           QString::fromLatin1(PLYInterfaceNames::PostViewScene))
                       ? PLYStoryboard::instantiateAs<PLYPostViewController>(QString::fromLatin1(PLYInterfaceNames::MainStoryboard),
                                                                             QString::fromLatin1(PLYInterfaceNames::PostViewScene), this)
                       : nullptr;
    if (!editor) {
        PLY_LOG_ERROR(QStringLiteral("The post window scene is missing; the new post cannot be set up"));
        return;
    }
    if (previous && handler->layoutZoomFactor() != zoomBehind) handler->setLayoutZoomFactor(zoomBehind);
    editor->setPostManager(manager);
    m_postViewControllers.append(editor);
    place(editor, height());
    m_currentPostController = editor;
    m_editorBehindSheet = previous;
    QPointer<PLYBaseViewController> self(this);
    QPointer<PLYPostViewController> shown(editor);
    // The set-up sheet comes over what is on screen, which stays drawn behind it; the editor
    // slides up once the sheet is confirmed (a cancelled sheet gives back what was there).
    editor->hide();
    connect(editor, &PLYPostViewController::setUpCancelled, this, [self, shown] {
        if (self && shown) self->setUpCancelled(shown);
    });
    connect(editor, &PLYPostViewController::setUpConfirmed, this, [self, shown, previous] {
        if (!self || !shown || shown != self->m_currentPostController) return;
        if (self->m_editorBehindSheet == previous) self->m_editorBehindSheet = nullptr;
        shown->move(0, self->height());
        shown->show();
        shown->raise();
        if (self->m_authViewController) self->m_authViewController->raise();
        self->fadeHome(0.0);
        self->slide(shown, 0, [self, previous] {
            if (self && previous && previous != self->m_currentPostController) previous->hide();
        });
    }, Qt::SingleShotConnection);
    editor->presentInitialVisualState();
}

void PLYBaseViewController::setUpCancelled(PLYPostViewController* editor) {
    // Only the set-up of the editor still to come on screen decides; one that was left already
    // (the login came, another post was chosen) went its own road.
    if (!editor || editor != m_currentPostController) return;
    perform(Nav::setUpCancelled(screen(), m_editorBehindSheet ? Nav::Screen::Editor : Nav::Screen::Home));
}

void PLYBaseViewController::returnFromNewPost() {
    QPointer<PLYPostViewController> behind = std::exchange(m_editorBehindSheet, nullptr);
    QPointer<PLYPostViewController> fresh = m_currentPostController;
    if (!behind || !behind->postManager()) return;
    // It never left the screen: it is current again as it stands, its zoom and history with it.
    m_currentPostController = behind;
    behind->setGraphicsEffect(nullptr);
    behind->move(0, 0);
    behind->show();
    if (fresh && fresh != behind) {
        m_postViewControllers.removeAll(fresh);
        fresh->hide();
        fresh->deleteLater();
    }
    // The library agrees: its post is the current one again.
    if (PLYCoreManager* core = PLYCoreManager::globalManager(); core && core->currentPostManager() != behind->postManager())
        core->setCurrentPostManager(behind->postManager());
}

void PLYBaseViewController::abandonSetUpsOffScreen() {
    // A new post's set-up whose editor is no longer the one to come on screen is cancelled: its
    // sheet never stays over another screen.
    const auto editors = m_postViewControllers;
    for (const auto& editor : editors)
        if (editor && editor != m_currentPostController && editor->prepViewController())
            editor->prepViewController()->cancelAction();
}

void PLYBaseViewController::moveToCurrentPostManager() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto manager = core ? core->currentPostManager() : nullptr;
    PLYPostViewController* editor = manager ? getOrCreateControllerForPostManager(manager) : nullptr;
    if (!editor) return;
    QPointer<PLYPostViewController> previous = m_currentPostController;
    if (previous == editor) return;
    // An editor left drawn behind a new post's sheet goes with the new post's editor.
    QPointer<PLYPostViewController> behind = std::exchange(m_editorBehindSheet, nullptr);
    QPointer<PLYBaseViewController> self(this);
    QPointer<PLYPostViewController> shown(editor);
    m_currentPostController = editor;
    // The editor comes on screen with its panes in place, never bare.
    editor->resize(size());
    // Placed once: the entrance then only runs (placing again would rebuild every pane).
    const bool placed = editor->placePanes();
    if (previous) {
        // Cross-fade: the post's editor fades in over the one shown, which then goes.
        place(editor, 0);
        opacityEffect(editor)->setOpacity(0.0);
        fade(editor, 1.0, [self, shown, previous, behind, placed] {
            if (!self) return;
            for (const auto& left : {previous, behind})
                if (left && left != self->m_currentPostController) left->hide();
            if (!shown || shown != self->m_currentPostController) return;
            if (placed)
                shown->presentEntrance();
            else
                shown->presentInitialVisualState();
        });
        return;
    }
    // Slide up from below, fully opaque whatever it was when it left.
    editor->setGraphicsEffect(nullptr);
    place(editor, height());
    fadeHome(0.0);
    slide(editor, 0, [self, shown, placed] {
        if (!self || !shown || shown != self->m_currentPostController) return;
        if (placed)
            shown->presentEntrance();
        else
            shown->presentInitialVisualState();
    });
}

PLYPostViewController* PLYBaseViewController::getOrCreateControllerForPostManager(
    const std::shared_ptr<PLYPostManager>& postManager) {
    const auto post = postManager ? postManager->representedPost() : nullptr;
    for (const auto& editor : std::as_const(m_postViewControllers)) {
        if (!editor) continue;
        const auto cached = editor->postManager() ? editor->postManager()->representedPost() : nullptr;
        if (cached && post && cached->identifier() == post->identifier()) return editor;
    }
    const QString storyboard = QString::fromLatin1(PLYInterfaceNames::MainStoryboard);
    const QString identifier = QString::fromLatin1(PLYInterfaceNames::PostViewScene);
    if (!PLYStoryboard::hasScene(storyboard, identifier)) {
        PLY_LOG_ERROR(QStringLiteral("The post window scene is missing; the post cannot be opened"));
        return nullptr;
    }
    auto* editor = PLYStoryboard::instantiateAs<PLYPostViewController>(storyboard, identifier, this);
    if (!editor) return nullptr;
    editor->hide();
    editor->setInFront(false);
    editor->setPostManager(postManager);
    m_postViewControllers.append(editor);
    return editor;
}

void PLYBaseViewController::pruneEditors() {
    // An editor of a post that was deleted, or of an account no longer signed in, has nothing
    // left to show.
    const auto store = PLYCoreManager::persistantStore();
    const auto account = store ? store->currentAccount() : nullptr;
    QString deletedInFront;
    for (auto it = m_postViewControllers.begin(); it != m_postViewControllers.end();) {
        PLYPostViewController* editor = *it;
        const auto post = editor && editor->postManager() ? editor->postManager()->representedPost() : nullptr;
        // A set-up left unfinished (login came) has nothing either.
        const bool gone = !post || post->isRemoved() || !account || !account->postForIdentifier(post->identifier());
        // The post in front was deleted under the user (a deletion that finished late, or one
        // made elsewhere): its editor can save nothing more.
        if (editor && editor == m_currentPostController && post && post->isRemoved()) deletedInFront = post->name();
        if (editor && editor != m_currentPostController && gone) {
            editor->deleteLater();
            it = m_postViewControllers.erase(it);
        } else if (!editor) {
            it = m_postViewControllers.erase(it);
        } else {
            ++it;
        }
    }
    if (deletedInFront.isNull()) return;
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const bool editing = screen() == Nav::Screen::Editor;
    // Home shows (the editor is dropped on the way); the user hears why.
    if (core) core->setCurrentPostManager(nullptr);
    if (!editing) return;
    QPointer<PLYBaseViewController> self(this);
    PLYDispatch::mainAsync([self, deletedInFront] {
        if (self) PLYAlertPresenter::shared()->runModal(postDeletedAlert(deletedInFront), self->window());
    }, this);
}

PLYAlertRequest PLYBaseViewController::postDeletedAlert(const QString& name) {
    return {PLYAlertRequest::Style::Warning, tr("The Post Was Deleted"),
            tr("\"%1\" was deleted, so it can no longer be edited. Your other posts are on the home screen.").arg(name),
            {tr("Ok")}};
}

// ---- login ----------------------------------------------------------------------------------------

void PLYBaseViewController::presentLogin() {
    if (m_authViewController) return;
    // 1. The shown editor slides out and stays cached.
    moveHome(false);
    const QString storyboard = QString::fromLatin1(PLYInterfaceNames::MainStoryboard);
    const QString identifier = QString::fromLatin1(PLYInterfaceNames::AuthViewScene);
    if (!PLYStoryboard::hasScene(storyboard, identifier)) {
        PLY_LOG_ERROR(QStringLiteral("The login scene is missing"));
        return;
    }
    // 2. The login view, told what to do when the user is through.
    auto* auth = PLYStoryboard::instantiateAs<PLYAuthViewController>(storyboard, identifier, this);
    if (!auth) return;
    m_authViewController = auth;
    QPointer<PLYBaseViewController> self(this);
    QPointer<PLYAuthViewController> login(auth);
    auth->setAuthCompletionBlock([self, login](bool through) {
        // Only the login view on screen may end the login.
        if (self && through && login && login == self->m_authViewController) self->loginCompleted();
    });
    // 3.-4. It slides up over home, which fades out.
    place(auth, height());
    fadeHome(0.0);
    slide(auth, 0);
    PLY_LOG_INFO(QStringLiteral("Nobody is signed in: showing the sign-in forms"));
}

void PLYBaseViewController::dismissLogin() {
    QPointer<PLYAuthViewController> auth = m_authViewController;
    if (!auth) return;
    m_authViewController = nullptr;
    // Editors of an account that is no longer the current one have nothing to show.
    pruneEditors();
    m_homeViewController->show();
    QPointer<PLYBaseViewController> self(this);
    fade(m_homeViewController, 1.0, [auth] {
        if (auth) auth->deleteLater();
    });
    // The home view is behind it: the login view simply goes once home has faded in.
    if (auth) auth->lower();
}

// ---- the out-of-date alert ---------------------------------------------------------------------------

PLYAlertRequest PLYBaseViewController::outOfDateAlert() {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = tr("Outdated Pellory Version");
    alert.informativeText = tr("This version of Pellory is no longer compatible with the server. To continue using "
                               "Pellory you must update to the latest version. We recommend you stay updated to get "
                               "the latest in features and fixes.");
    alert.buttonTitles = {tr("Check for update"), tr("Cancel")};
    return alert;
}

void PLYBaseViewController::presentOutOfDateAlert() {
    const qint64 answer = PLYAlertPresenter::shared()->runModal(outOfDateAlert(), window());
    if (answer == PLYAlertPresenter::FirstButtonReturn) {
        if (m_checkForUpdates) m_checkForUpdates();
    } else if (m_terminate) {
        m_terminate();
    }
}

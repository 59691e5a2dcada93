#pragma once

#include "PLYAuthViewController.h"
#include "PLYNotificationCenter.h"
// The post window's header holds pointers to these; they must be complete where it is used.
#include "PLYOnboardingPopover.h"
#include "PLYPrepViewController.h"
#include "PLYPostViewController.h"
#include "PLYRootNavigation.h"
#include "PLYSessionObserver.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class PLYHomeViewController;
class PLYPostManager;
struct PLYAlertRequest;

// The main window's content: home, the editor of the current post or the login view, exactly one
// at a time, switched as the core manager's current post and the session's state change
// (PLYRootNavigation decides; this view carries the step out). Editors are kept in a cache, one
// per post, across visits.
//
// Each transition takes effect at once (which screen is current, the editor shown, the login
// view); only the removal of the old view waits for its animation, and a removal is skipped when
// that view has become current again meanwhile.
class PLYBaseViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int TransitionMs = 350;

    explicit PLYBaseViewController(QWidget* parent = nullptr);
    ~PLYBaseViewController() override;

    PLYRootNavigation::Screen screen() const;

    // The four transitions.
    void presentLogin();
    void moveHome(bool drop);
    void moveForNewPost();
    void moveToCurrentPostManager();
    // The new post's set-up was cancelled: the editor its sheet lay over is current again, as it
    // was (nothing when the sheet lay over home).
    void returnFromNewPost();

    // The cached editor of the post, or a new one from "PLYPostViewController" of "Main"
    // (nothing when that scene cannot be made).
    PLYPostViewController* getOrCreateControllerForPostManager(const std::shared_ptr<PLYPostManager>& postManager);
    // The shown editor's post manager.
    std::shared_ptr<PLYPostManager> currentPostManager() const;

    // The two reactions.
    void webServiceManagerStateChange(const QString& state);
    void corePostManagerChangedNotification();
    void loginCompleted();

    PLYHomeViewController* homeViewController() const { return m_homeViewController; }
    PLYAuthViewController* authViewController() const { return m_authViewController; }
    PLYPostViewController* currentPostController() const { return m_currentPostController; }
    QList<PLYPostViewController*> postViewControllers() const;

    // The alert shown when the service no longer accepts this version.
    static PLYAlertRequest outOfDateAlert();
    // The alert shown when the post being edited was deleted.
    static PLYAlertRequest postDeletedAlert(const QString& name);
    // What its buttons do: check for updates, or quit (replaced by the application and by tests).
    void setOutOfDateActions(std::function<void()> checkForUpdates, std::function<void()> terminate);

signals:
    // The screen shown changed (at the start of its transition).
    void screenChanged(PLYRootNavigation::Screen screen);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void perform(const PLYRootNavigation::Step& step);
    void presentOutOfDateAlert();
    void dismissLogin();
    // Puts an overlay view (editor or login) in the root at `top`, in front, the root's size.
    void place(QWidget* view, int top);
    void slide(QWidget* view, int top, std::function<void()> completion = {});
    void fade(QWidget* view, double opacity, std::function<void()> completion = {});
    void fadeHome(double opacity);
    void pruneEditors();
    void announceScreen();
    void markEditorInFront();
    void setUpCancelled(PLYPostViewController* editor);
    void abandonSetUpsOffScreen();
    // Writes the post of an editor leaving for home, and tells home.
    static void saveLeavingPost(PLYPostViewController* editor);
    // Slides an editor out below the root and hides it there (unless it came back meanwhile);
    // a dropped one goes.
    void slideOut(const QPointer<PLYPostViewController>& editor, bool drop);

    PLYHomeViewController* m_homeViewController = nullptr;
    QPointer<PLYAuthViewController> m_authViewController;
    QPointer<PLYPostViewController> m_currentPostController;
    // While a new post's set-up sheet is up, the editor that was on screen when it opened: it
    // stays drawn behind the sheet (the new editor comes up only once the sheet is confirmed).
    QPointer<PLYPostViewController> m_editorBehindSheet;
    QList<QPointer<PLYPostViewController>> m_postViewControllers;
    PLYRootNavigation::Screen m_announced = PLYRootNavigation::Screen::Home;
    std::function<void()> m_checkForUpdates;
    std::function<void()> m_terminate;

    PLYObserverBag m_observers;
    std::unique_ptr<PLYSessionObserver> m_sessionObserver;
};

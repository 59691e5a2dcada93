#pragma once

#include "PLYImagePreparation.h"
#include "PLYNotificationCenter.h"
#include "PLYOnboardingPopover.h"
#include "PLYOnboardingSequence.h"
#include "PLYPostWindowPane.h"
#include "PLYPrepViewController.h"
#include "PLYVisualStateHandler.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

class PLYImageProcessView;
class PLYPostManager;
class PLYPrepProgress;
class PLYUndoManager;
class QSplitter;

// The editor of one post: gallery | layout tab | inspector side by side. It hands the post to
// the three panes (inspector, then layout, then gallery), collapses the gallery and the
// inspector as the shared visual state says, and for a new post shows the set-up sheet, makes
// the post from its answers and shows "Preparing Images (x/y)" until the chosen folder's images
// are cached. It also runs the two onboarding popovers (gallery, then inspector).
//
// The panes are plugged in with setPanes(); until then the window holds empty places.
class PLYPostViewController : public QWidget, public PLYVisualStateHandlerDelegate {
    Q_OBJECT
public:
    static constexpr int SidePaneWidth = 250;
    static constexpr double ShowPanesDelaySeconds = 1.0;
    static constexpr double FitLayoutDelaySeconds = 0.2;
    // The editor's look: a panel with rounded corners casting a soft shadow downwards.
    static constexpr double CornerRadius = 5.0;
    static constexpr double ShadowOffsetY = 4.0;
    static constexpr double ShadowBlur = 5.0;
    static constexpr double ShadowAlpha = 0.2;

    explicit PLYPostViewController(QWidget* parent = nullptr);
    ~PLYPostViewController() override;

    // The post's undo history: its layout tab, gallery and inspector register here.
    PLYUndoManager* undoManager() const;

    // Installs the panes (the window takes their widgets). Handed the post at once when the
    // window already has one.
    void setPanes(PLYPostWindowPane gallery, PLYPostWindowLayoutPane layout, PLYPostWindowPane inspector);

    // Whether this editor is the one in front, which alone drives the shared title bar. A
    // window on its own is; the main window says so for the editors it keeps.
    void setInFront(bool inFront) { m_inFront = inFront; }
    bool isInFront() const { return m_inFront; }

    std::shared_ptr<PLYPostManager> postManager() const { return m_postManager; }
    void setPostManager(std::shared_ptr<PLYPostManager> postManager) { m_postManager = std::move(postManager); }

    // Shown (or shown again) by the root navigation: a post opens with the panes' entrance; a
    // manager without a post opens the set-up sheet.
    void presentInitialVisualState();
    // The entrance of an editor whose panes are already placed (see placePanes).
    void presentEntrance();
    // The first half of it, for before the window comes on screen: the panes get the post and
    // take their places, the layout waits hidden for its entrance. False for a post still to be
    // made or prepared.
    bool placePanes();

    // The new-post road.
    void setUpCompleted(bool confirmed);
    void checkPrepFinished();
    // Ends the preparation: saves the post, hands it to the panes and shows them. Once.
    void closePrepDisplay();
    // The card's Cancel: the display closes as at the end, while the images go on being
    // prepared in the background.
    void cancelPreparation();

    // Onboarding.
    void checkOnBoard();
    void checkInspectorOnBoard();
    void dismissGalleyOnboard();
    void dismissInspectorOnboard();
    // The contents of the two onboarding popovers, each with its "Got it" button
    // ("dismissGalleryOnboardButton", "dismissInspectorOnboardButton").
    static QWidget* makeOnboardGalleryView();
    static QWidget* makeOnboardInspectorView();

    // PLYVisualStateHandlerDelegate
    void visualStateHandlerSetGalleryVisible(PLYVisualStateHandler* handler, bool flag) override;
    void visualStateHandlerSetInspectorVisible(PLYVisualStateHandler* handler, bool flag) override;

    QSplitter* splitView() const { return m_splitView; }
    QWidget* gallerySplitViewItem() const { return m_galleryItem; }
    QWidget* layoutSplitViewItem() const { return m_layoutItem; }
    QWidget* inspectorSplitViewItem() const { return m_inspectorItem; }
    PLYPrepViewController* prepViewController() const { return m_prepViewController; }
    PLYImageProcessView* imageProcessView() const { return m_imageProcessView; }
    PLYOnboardingPopover* onBoardPopOver() const { return m_onBoardPopOver; }
    bool prepHasClosed() const { return m_prepHasClosed; }
    const PLYOnboardingSequence& onboarding() const { return m_onboarding; }

signals:
    // The set-up sheet was confirmed and the post is being made: the editor is to come on screen.
    void setUpConfirmed();
    // The set-up sheet was cancelled: nothing was made. Whoever showed this editor may give back
    // what was on screen before; otherwise the editor is left for home.
    void setUpCancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void handPanesPostManager();
    void applyCollapsedState();
    void setItemCollapsed(QWidget* item, bool collapsed);
    void presentSetUpSheet();
    void showImageProcessView();
    void updatePrepProgress(const PLYPrepProgress& progress);
    void removeSetUpSheet();
    void presentOnboardingPopover(PLYOnboardingSequence::Popover which);
    void closeOnboardingPopover();
    PLYOnboardingSequence::Popover shownPopover() const;
    static void placeIn(QWidget* item, QWidget* pane);

    std::shared_ptr<PLYPostManager> m_postManager;
    PLYPostWindowPane m_galleryPane;
    PLYPostWindowLayoutPane m_layoutPane;
    PLYPostWindowPane m_inspectorPane;

    QSplitter* m_splitView;
    QWidget* m_galleryItem;
    QWidget* m_layoutItem;
    QWidget* m_inspectorItem;

    QPointer<PLYPrepViewController> m_prepViewController;
    QPointer<PLYImagePreparation> m_preparation;
    PLYImageProcessView* m_imageProcessView;
    bool m_inFront = true;
    bool m_prepHasClosed = false;

    PLYOnboardingSequence m_onboarding;
    QPointer<PLYOnboardingPopover> m_onBoardPopOver;
    PLYOnboardingSequence::Popover m_onBoardPopOverKind = PLYOnboardingSequence::Popover::None;
    QTimer m_galleryOnboardTimer;
    QTimer m_inspectorOnboardTimer;

    PLYObserverBag m_observers;
};

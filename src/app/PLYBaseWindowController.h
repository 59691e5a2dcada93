#pragma once

#include "PLYHomeModel.h"
#include "PLYNotificationCenter.h"
#include "PLYOnboardingPopover.h"
#include "PLYRootNavigation.h"
#include "PLYVisualStateHandler.h"

#include <QMainWindow>
#include <QMenu>
#include <QPointer>

class PLYAuthViewController;
class PLYBaseViewController;
class PLYPostSelecorPopUpButton;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

// The main window ("base" of storyboard "Main"): a title bar over the root content
// (PLYBaseViewController). At home the title bar shows the title; with a post open it shows the
// post controls: the post switcher (the post's name, with a home zone at its left), the zoom buttons and label, the
// add-block popover and the gallery and inspector toggles. Which one shows follows the visual
// state's post header flag.
class PLYBaseWindowController : public QMainWindow, public PLYVisualStateHandlerDelegate {
    Q_OBJECT
public:
    static constexpr int HeaderHeight = 48;
    static constexpr int HeaderAnimationMs = 350;
    static constexpr double ZoomStep = 0.1;

    explicit PLYBaseWindowController(QWidget* parent = nullptr);
    ~PLYBaseWindowController() override;

    PLYBaseViewController* baseViewController() const { return m_root; }
    // The login view while it is up.
    PLYAuthViewController* authViewController() const;
    // An editor is the screen: zoom, panel and export actions have something to act on.
    bool isEditorShown() const;

    // Title-bar actions.
    void goHomeAction();
    void showPostMenu();
    void moveToPost(int tag);
    void addBlockAction();
    // The minus button steps down, the plus button up, the label fits the layout.
    void zoomSelectionAction(QObject* sender);
    void galleryShowAction();
    void seoShowAction();
    // 0 shows the post controls, 1 the home title.
    void setHeaderState(int state, bool animate);
    int headerState() const { return m_headerState; }

    // PLYVisualStateHandlerDelegate
    void visualStateHandlerSetPostHeaderVisible(PLYVisualStateHandler* handler, bool visible) override;
    void visualStateHandlerSetGalleryVisible(PLYVisualStateHandler* handler, bool flag) override;
    void visualStateHandlerSetInspectorVisible(PLYVisualStateHandler* handler, bool flag) override;
    void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler* handler, double factor) override;

    QWidget* contentView() const;
    QWidget* headerView() const { return m_header; }
    QLabel* titleLabel() const { return m_titleLabel; }
    // The post switcher: titled with the current post; its leftmost points go home.
    PLYPostSelecorPopUpButton* currentPostButton() const { return m_currentPostButton; }
    QToolButton* negativeZoomButton() const { return m_negativeZoomButton; }
    QPushButton* numberZoomButton() const { return m_numberZoomButton; }
    QToolButton* positiveZoomButton() const { return m_positiveZoomButton; }
    QToolButton* addButton() const { return m_addButton; }
    QToolButton* galleryCollapseButton() const { return m_galleryCollapseButton; }
    QToolButton* seoCollapseButton() const { return m_seoCollapseButton; }
    // The add-block popover and its content, made on first use.
    PLYOnboardingPopover* dragPopOver() const { return m_dragPopOver; }
    QWidget* popOverView() const { return m_popOverView; }
    // The post switcher menu shown last.
    QMenu* postMenu() const;

signals:
    // The screen of the root content changed (at the start of its transition).
    void screenChanged(PLYRootNavigation::Screen screen);

private:
    QWidget* buildHeader();
    void updateCurrentPostTitle();
    QList<QWidget*> postControls() const;

    PLYBaseViewController* m_root = nullptr;
    QWidget* m_header = nullptr;
    QWidget* m_homeHeader = nullptr;
    QWidget* m_postHeader = nullptr;
    QLabel* m_titleLabel = nullptr;
    PLYPostSelecorPopUpButton* m_currentPostButton = nullptr;
    QToolButton* m_negativeZoomButton = nullptr;
    QPushButton* m_numberZoomButton = nullptr;
    QToolButton* m_positiveZoomButton = nullptr;
    QToolButton* m_addButton = nullptr;
    QToolButton* m_galleryCollapseButton = nullptr;
    QToolButton* m_seoCollapseButton = nullptr;
    QPointer<PLYOnboardingPopover> m_dragPopOver;
    QPointer<QWidget> m_popOverView;
    int m_headerState = 1;
    PLYObserverBag m_observers;
};

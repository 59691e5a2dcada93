#include "PLYPostViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYCoreManager.h"
#include "PLYDispatch.h"
#include "PLYImagePreparation.h"
#include "PLYImageProcessView.h"
#include "PLYInterfaceNames.h"
#include "PLYLayoutManager.h"
#include "PLYLog.h"
#include "PLYOnboardingPopover.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYPrepProgress.h"
#include "PLYPrepViewController.h"
#include "PLYStoryboard.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QHideEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QWidget* makeItem(const char* name, QWidget* parent) {
    auto* item = new QWidget(parent);
    item->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(item);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return item;
}

// A hairline between the panes.
class HairlineHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0xD4, 0xD4, 0xD4)); }
};

// The panes' splitter, cut to the editor's rounded corners.
class HairlineSplitter : public QSplitter {
public:
    explicit HairlineSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {}

protected:
    QSplitterHandle* createHandle() override { return new HairlineHandle(orientation(), this); }
    void resizeEvent(QResizeEvent* event) override {
        QSplitter::resizeEvent(event);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), PLYPostViewController::CornerRadius, PLYPostViewController::CornerRadius);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
};

}  // namespace

PLYPostViewController::PLYPostViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYPostViewController"));
    // The post's own history, shared by its panes and gone with the editor. A step that can no
    // longer be applied is reported once the undo has finished, never from inside it.
    QPointer<PLYPostViewController> self(this);
    PLYWindowUndoManager::installUndoManager(this)->setFailureHandler([self](const QString& message) {
        PLYDispatch::mainAsync(
            [self, message] {
                if (self)
                    PLYAlertPresenter::shared()->runModal(
                        {PLYAlertRequest::Style::Warning, tr("The Change Could Not Be Undone"), message, {tr("Ok")}}, self);
            },
            self);
    });
    // A raised panel: room around the panes for the shadow it casts downwards.
    auto* layout = new QVBoxLayout(this);
    const int blur = int(std::ceil(ShadowBlur));
    const int drop = int(std::ceil(ShadowOffsetY));
    layout->setContentsMargins(blur, std::max(0, blur - drop), blur, blur + drop);

    m_splitView = new HairlineSplitter(this);
    m_splitView->setObjectName(QStringLiteral("splitView"));
    m_splitView->setChildrenCollapsible(false);
    m_splitView->setHandleWidth(1);
    m_galleryItem = makeItem("gallerySplitViewItem", m_splitView);
    m_layoutItem = makeItem("layoutSplitViewItem", m_splitView);
    m_inspectorItem = makeItem("inspectorSplitViewItem", m_splitView);
    // The gallery starts at 250 and only its divider widens it; the inspector stays at 250;
    // the layout takes whatever the window gains or loses.
    m_galleryItem->setMinimumWidth(SidePaneWidth);
    m_inspectorItem->setFixedWidth(SidePaneWidth);
    m_splitView->addWidget(m_galleryItem);
    m_splitView->addWidget(m_layoutItem);
    m_splitView->addWidget(m_inspectorItem);
    m_splitView->setStretchFactor(0, 0);
    m_splitView->setStretchFactor(1, 1);
    m_splitView->setStretchFactor(2, 0);
    m_splitView->setSizes({SidePaneWidth, 1000, SidePaneWidth});
    layout->addWidget(m_splitView);

    m_imageProcessView = new PLYImageProcessView(this);
    m_imageProcessView->hide();
    connect(m_imageProcessView, &PLYImageProcessView::cancelRequested, this, &PLYPostViewController::cancelPreparation);

    const int delayMs = int(PLYOnboardingSequence::presentationDelaySeconds() * 1000);
    m_galleryOnboardTimer.setSingleShot(true);
    m_galleryOnboardTimer.setInterval(delayMs);
    m_inspectorOnboardTimer.setSingleShot(true);
    m_inspectorOnboardTimer.setInterval(delayMs);
    // Each presentation is decided again when it is due: the window may have gone, or another
    // window may have moved the onboarding on.
    connect(&m_galleryOnboardTimer, &QTimer::timeout, this, [this] {
        if (m_onboarding.shouldPresentGallery(m_galleryItem->isVisible()))
            presentOnboardingPopover(PLYOnboardingSequence::Popover::Gallery);
    });
    connect(&m_inspectorOnboardTimer, &QTimer::timeout, this, [this] {
        if (m_onboarding.presentScheduledInspector(m_inspectorItem->isVisible()))
            presentOnboardingPopover(PLYOnboardingSequence::Popover::Inspector);
    });

    PLYVisualStateHandler::globalHandler()->addVisualDelegate(this);
    m_observers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), nullptr,
                    [this](const PLYNotification&) { checkInspectorOnBoard(); });
    // The side panes open with the post: at once for a post, after the preparation for a new one.
    m_galleryItem->hide();
    m_inspectorItem->hide();
}

PLYUndoManager* PLYPostViewController::undoManager() const {
    return PLYWindowUndoManager::installUndoManager(const_cast<PLYPostViewController*>(this));
}

PLYPostViewController::~PLYPostViewController() {
    PLYVisualStateHandler::globalHandler()->removeVisualDelegate(this);
    m_observers.clear();
    closeOnboardingPopover();
    delete m_preparation;
}

void PLYPostViewController::placeIn(QWidget* item, QWidget* pane) {
    if (!pane) return;
    auto* layout = item->layout();
    while (QLayoutItem* old = layout->takeAt(0)) {
        if (QWidget* widget = old->widget(); widget && widget != pane) widget->deleteLater();
        delete old;
    }
    layout->addWidget(pane);
}

void PLYPostViewController::setPanes(PLYPostWindowPane gallery, PLYPostWindowLayoutPane layout,
                                     PLYPostWindowPane inspector) {
    m_galleryPane = std::move(gallery);
    m_layoutPane = std::move(layout);
    m_inspectorPane = std::move(inspector);
    placeIn(m_galleryItem, m_galleryPane.widget);
    placeIn(m_layoutItem, m_layoutPane.widget);
    placeIn(m_inspectorItem, m_inspectorPane.widget);
    // Panes that arrive after the post get it now; a new post's panes wait for it.
    if (m_postManager && m_postManager->representedPost() && (!m_preparation || m_prepHasClosed))
        handPanesPostManager();
}

void PLYPostViewController::handPanesPostManager() {
    if (!m_postManager || !m_postManager->representedPost()) return;
    const PLYPostWindowPane* order[] = {&m_inspectorPane, &m_layoutPane, &m_galleryPane};
    for (const PLYPostWindowPane* pane : order)
        if (pane->isValid() && pane->setPostManager) pane->setPostManager(m_postManager);
}

bool PLYPostViewController::placePanes() {
    if (!m_postManager || !m_postManager->representedPost()) return false;
    // A new post still preparing keeps its display; the panes get the post when it ends.
    if (m_preparation && !m_prepHasClosed) return false;
    handPanesPostManager();
    if (m_layoutPane.ensureEntrancePostion) m_layoutPane.ensureEntrancePostion();
    applyCollapsedState();
    // The layout pane takes its width beside the side panes now, so that the entrance fits the
    // layout to the room it really has.
    m_splitView->refresh();
    return true;
}

void PLYPostViewController::presentInitialVisualState() {
    if (!m_postManager) return;
    if (!m_postManager->representedPost()) {
        presentSetUpSheet();
        return;
    }
    if (!placePanes()) return;
    presentEntrance();
}

void PLYPostViewController::presentEntrance() {
    if (m_layoutPane.performEntrance) m_layoutPane.performEntrance();
    checkOnBoard();
}

// ---- the new post ------------------------------------------------------------------------------

void PLYPostViewController::presentSetUpSheet() {
    if (m_prepViewController) {
        if (!m_prepViewController->isVisible()) m_prepViewController->open();
        return;
    }
    const QString storyboard = QString::fromLatin1(PLYInterfaceNames::MainStoryboard);
    const QString scene = QString::fromLatin1(PLYInterfaceNames::PrepViewScene);
    PLYPrepViewController* sheet = PLYStoryboard::hasScene(storyboard, scene)
                                       ? PLYStoryboard::instantiateAs<PLYPrepViewController>(storyboard, scene, this)
                                       : nullptr;
    if (!sheet) sheet = new PLYPrepViewController(this);
    const QPointer<PLYPostViewController> self(this);
    sheet->setCompletionBlock([self](bool confirmed) {
        if (self) self->setUpCompleted(confirmed);
    });
    m_prepViewController = sheet;
    sheet->open();
}

void PLYPostViewController::removeSetUpSheet() {
    if (!m_prepViewController) return;
    m_prepViewController->hide();
    m_prepViewController->deleteLater();
    m_prepViewController = nullptr;
}

void PLYPostViewController::setUpCompleted(bool confirmed) {
    PLYPrepViewController* sheet = m_prepViewController;
    PLYCoreManager* core = PLYCoreManager::globalManager();
    // Cancelled: nothing was made, and the editor is left (for what the main window had on
    // screen before, or else for home).
    if (!confirmed || !sheet || !m_postManager) {
        removeSetUpSheet();
        const std::shared_ptr<PLYPostManager> manager = m_postManager;
        emit setUpCancelled();
        if (core && (!manager || core->currentPostManager() == manager)) core->setCurrentPostManager(nullptr);
        return;
    }
    if (m_postManager->representedPost()) {
        removeSetUpSheet();
        return;
    }
    if (!m_postManager->createNewPostWithTtitle(sheet->documentTitle())) {
        removeSetUpSheet();
        PLYAlertPresenter::shared()->runModal({PLYAlertRequest::Style::Critical, tr("The Post Could Not Be Made"),
                                               tr("Nobody is signed in. Sign in, then make the post again."), {tr("Ok")}},
                                              this);
        if (core) core->setCurrentPostManager(nullptr);
        return;
    }
    emit setUpConfirmed();
    const auto post = m_postManager->representedPost();
    // Set on the new layout itself: nobody follows it yet, so nothing is announced.
    PLYLayout* layout = post->layout();
    layout->set_padding(sheet->documentPadding());
    *layout->mutable_background_colour() = sheet->documentColour();
    if (!sheet->directoryWatch().isEmpty())
        m_postManager->setWatchLocation(sheet->directoryWatch(), sheet->previousBookmarkData());
    removeSetUpSheet();

    m_preparation = new PLYImagePreparation(post, this);
    connect(m_preparation, &PLYImagePreparation::progressChanged, this, &PLYPostViewController::updatePrepProgress);
    connect(m_preparation, &PLYImagePreparation::finished, this, &PLYPostViewController::closePrepDisplay);
    showImageProcessView();
    m_preparation->start();
}

void PLYPostViewController::showImageProcessView() {
    m_imageProcessView->setProgress(PLYPrepProgress::fromCounts(0, 0));
    m_imageProcessView->move((width() - m_imageProcessView->width()) / 2, (height() - m_imageProcessView->height()) / 2);
    m_imageProcessView->show();
    m_imageProcessView->raise();
}

void PLYPostViewController::updatePrepProgress(const PLYPrepProgress& progress) {
    m_imageProcessView->setProgress(progress);
}

void PLYPostViewController::checkPrepFinished() {
    if (m_preparation) m_preparation->checkPrepFinished();
}

void PLYPostViewController::cancelPreparation() {
    if (m_prepHasClosed) return;
    // The post is kept and opened as it is; the cache goes on making the renditions, and the
    // gallery shows each as it comes.
    if (m_preparation) m_preparation->cancel();
    closePrepDisplay();
}

void PLYPostViewController::closePrepDisplay() {
    if (m_prepHasClosed) return;
    m_prepHasClosed = true;
    if (const auto post = m_postManager ? m_postManager->representedPost() : nullptr) {
        PLYError error;
        if (!post->save(&error))
            PLY_LOG_ERROR(QStringLiteral("The new post \"%1\" could not be saved: %2").arg(post->name(), error.description));
    }
    if (m_preparation) {
        m_preparation->disconnect(this);
        m_preparation->deleteLater();
    }
    handPanesPostManager();
    removeSetUpSheet();
    m_imageProcessView->hide();
    // A post prepared behind home, the login or another post leaves their title bar alone.
    if (m_inFront) PLYVisualStateHandler::globalHandler()->setPostHeaderVisible(true);
    // The panes come in a moment after the display goes, then the layout is fitted.
    PLYDispatch::mainAfter(
        ShowPanesDelaySeconds,
        [this] {
            applyCollapsedState();
            PLYDispatch::mainAfter(
                FitLayoutDelaySeconds,
                [this] {
                    if (m_layoutPane.setZoom) m_layoutPane.setZoom(0);
                },
                this);
            checkOnBoard();
        },
        this);
}

// ---- panes ---------------------------------------------------------------------------------------

void PLYPostViewController::applyCollapsedState() {
    const PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    setItemCollapsed(m_galleryItem, handler->galleryVisible());
    setItemCollapsed(m_inspectorItem, handler->inspectorVisible());
}

void PLYPostViewController::setItemCollapsed(QWidget* item, bool collapsed) {
    item->setVisible(!collapsed);
    // A collapsed pane takes its popover with it.
    if (collapsed && m_onBoardPopOver) {
        const auto kind = shownPopover();
        if ((kind == PLYOnboardingSequence::Popover::Gallery && item == m_galleryItem) ||
            (kind == PLYOnboardingSequence::Popover::Inspector && item == m_inspectorItem))
            closeOnboardingPopover();
    }
}

void PLYPostViewController::visualStateHandlerSetGalleryVisible(PLYVisualStateHandler*, bool flag) {
    setItemCollapsed(m_galleryItem, flag);
}

void PLYPostViewController::visualStateHandlerSetInspectorVisible(PLYVisualStateHandler*, bool flag) {
    setItemCollapsed(m_inspectorItem, flag);
}

void PLYPostViewController::paintEvent(QPaintEvent*) {
    // The panel's soft shadow: rounded layers around the panel moved down, each a little larger
    // and together as dark as the shadow's colour where they all overlap.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF cast = QRectF(m_splitView->geometry()).translated(0, ShadowOffsetY);
    const int layers = std::max(1, int(std::lround(ShadowBlur)));
    const double layerAlpha = 1.0 - std::pow(1.0 - ShadowAlpha, 1.0 / layers);
    painter.setBrush(QColor(0, 0, 0, int(std::lround(layerAlpha * 255))));
    for (int i = 0; i < layers; ++i) {
        const double grow = (i + 0.5) * ShadowBlur / layers - ShadowBlur / 2;
        painter.drawRoundedRect(cast.adjusted(-grow, -grow, grow, grow), std::max(0.0, CornerRadius + grow),
                                std::max(0.0, CornerRadius + grow));
    }
}

void PLYPostViewController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_imageProcessView->move((width() - m_imageProcessView->width()) / 2, (height() - m_imageProcessView->height()) / 2);
}

void PLYPostViewController::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // An editor that slides away takes its popover with it; the pending ones check again.
    if (!event->spontaneous()) closeOnboardingPopover();
}

// ---- onboarding ----------------------------------------------------------------------------------

void PLYPostViewController::checkOnBoard() {
    // Restarting drops a pending presentation, so showing the window again schedules one.
    if (m_onboarding.shouldScheduleGallery(m_galleryItem->isVisible())) m_galleryOnboardTimer.start();
}

void PLYPostViewController::checkInspectorOnBoard() {
    if (m_onboarding.scheduleInspectorOnLayoutChange(m_inspectorItem->isVisible(), shownPopover()))
        m_inspectorOnboardTimer.start();
}

PLYOnboardingSequence::Popover PLYPostViewController::shownPopover() const {
    return m_onBoardPopOver && m_onBoardPopOver->isVisible() ? m_onBoardPopOverKind : PLYOnboardingSequence::Popover::None;
}

void PLYPostViewController::presentOnboardingPopover(PLYOnboardingSequence::Popover which) {
    using Popover = PLYOnboardingSequence::Popover;
    // One popover at a time: a new one replaces the one on screen.
    closeOnboardingPopover();
    const bool gallery = which == Popover::Gallery;
    QWidget* content = gallery ? makeOnboardGalleryView() : makeOnboardInspectorView();
    // It appears on its own while the user may be typing: inside the window, taking nothing.
    auto* popover = new PLYOnboardingPopover(content, this, PLYOnboardingPopover::Presentation::InWindow);
    auto* button = content->findChild<QPushButton*>();
    connect(button, &QPushButton::clicked, this,
            gallery ? &PLYPostViewController::dismissGalleyOnboard : &PLYPostViewController::dismissInspectorOnboard);
    connect(popover, &PLYOnboardingPopover::closedByUser, this, [this, popover, which] {
        m_onboarding.closedWithoutDismissal(which);
        if (m_onBoardPopOver == popover) {
            m_onBoardPopOver = nullptr;
            m_onBoardPopOverKind = Popover::None;
        }
        popover->deleteLater();
    });
    m_onBoardPopOver = popover;
    m_onBoardPopOverKind = which;
    QWidget* anchor = gallery ? m_galleryItem : m_inspectorItem;
    // The top strip of the pane, as high as the popover's content.
    const QRect strip(0, 0, anchor->width(), content->sizeHint().height());
    popover->showRelativeToRect(strip, anchor,
                                gallery ? PLYOnboardingPopover::Edge::MaxX : PLYOnboardingPopover::Edge::MinX);
}

QWidget* PLYPostViewController::makeOnboardGalleryView() {
    return PLYOnboardingPopover::makeContent(
        QStringLiteral("onboardGalleryView"), tr("Your photos"),
        tr("Photos in the post's watch folder show here. Drag them onto the layout to place them."),
        QStringLiteral("dismissGalleryOnboardButton"));
}

QWidget* PLYPostViewController::makeOnboardInspectorView() {
    return PLYOnboardingPopover::makeContent(
        QStringLiteral("onboardInspectorView"), tr("Fine-tune your post"),
        tr("Select a block to change it here, set up the whole post and follow its SEO checklist."),
        QStringLiteral("dismissInspectorOnboardButton"));
}

void PLYPostViewController::closeOnboardingPopover() {
    if (m_onBoardPopOver) {
        m_onBoardPopOver->closePopover();
        m_onBoardPopOver->deleteLater();
    }
    m_onBoardPopOver = nullptr;
    m_onBoardPopOverKind = PLYOnboardingSequence::Popover::None;
}

void PLYPostViewController::dismissGalleyOnboard() {
    m_onboarding.dismissGallery();
    closeOnboardingPopover();
}

void PLYPostViewController::dismissInspectorOnboard() {
    m_onboarding.dismissInspector();
    closeOnboardingPopover();
}

#include "PLYLayoutViewController.h"

#include "PLYAnimator.h"
#include "PLYBlockDrawHandler.h"
#include "PLYBlockView.h"
#include "PLYDispatch.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYPostManager.h"
#include "PLYWindowUndoManager.h"

#include <QGraphicsOpacityEffect>
#include <QGraphicsScene>
#include <QVBoxLayout>

#include <cmath>

PLYLayoutViewController::PLYLayoutViewController(QWidget* parent) : PLYGenericPostViewController(parent) {
    setObjectName(QStringLiteral("PLYLayoutViewController"));
    m_scrollView = new PLYLayoutScrollView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollView);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, m_scrollView->backgroundBrush().color());
    setPalette(palette);

    m_interactionView = new PLYLayoutInteractionView;
    m_scrollView->scene()->addItem(m_interactionView);
    connect(m_scrollView, &PLYLayoutScrollView::magnificationChanged, this,
            &PLYLayoutViewController::magnificationDidChange);
    magnificationDidChange();
    PLYVisualStateHandler::globalHandler()->addVisualDelegate(this);
}

PLYLayoutViewController::~PLYLayoutViewController() {
    PLYVisualStateHandler::globalHandler()->removeVisualDelegate(this);
    // The overlay leaves the manager before the proxy goes; the layout view goes with the proxy,
    // before the scene that shows it.
    if (m_interactionView) m_interactionView->setLayoutProxy(nullptr);
    delete m_interactionView;
    m_interactionView = nullptr;
    if (m_scrollView) m_scrollView->setDocumentView(nullptr);
    m_proxy.reset();
}

void PLYLayoutViewController::setPostManager(std::shared_ptr<PLYPostManager> postManager) {
    PLYGenericPostViewController::setPostManager(postManager);
    m_interactionView->setLayoutProxy(nullptr);
    m_scrollView->setDocumentView(nullptr);
    m_proxy.reset();
    std::shared_ptr<PLYLayoutManager> manager = postManager ? postManager->layoutManager() : nullptr;
    if (!manager) return;
    m_proxy = std::make_unique<PLYLayoutViewProxy>(manager);
    m_proxy->setContainingScrollView(m_scrollView);
    // Text commits are steps of the window's undo history, like every other edit of the tab.
    QPointer<PLYLayoutScrollView> scrollView = m_scrollView;
    m_proxy->setUndoManagerProvider([scrollView]() -> PLYUndoManager* {
        return scrollView ? PLYWindowUndoManager::undoManagerForWidget(scrollView) : nullptr;
    });
    m_scrollView->setDocumentView(m_proxy->layoutView());
    m_interactionView->setLayoutProxy(m_proxy.get());
}

void PLYLayoutViewController::magnificationDidChange() {
    // The overlay covers the visible canvas again, in layout points at the new scale.
    m_interactionView->boundsChangedNotification();
    if (!m_magSetExternally) PLYVisualStateHandler::globalHandler()->setLayoutZoomFactor(m_scrollView->magnification());
}

void PLYLayoutViewController::visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double factor) {
    // Only the change made here is the handler's own: a later pinch is reported again.
    m_magSetExternally = true;
    m_scrollView->setMagnification(factor);
    m_magSetExternally = false;
}

std::optional<double> PLYLayoutViewController::layoutZoomFactorToFitForVisualStateHandler(PLYVisualStateHandler*) {
    // Every cached editor's tab is asked; only the one on screen knows the width that counts.
    if (!isVisible()) return std::nullopt;
    return fitFactor();
}

double PLYLayoutViewController::fitFactor() const {
    const PLYLayoutView* document = m_scrollView->documentView();
    const double width = document ? document->boundingRect().width() : 0.0;
    return m_scrollView->width() / (width + kFitMargin);
}

void PLYLayoutViewController::setZoom(qint64 percent) {
    if (percent == 0)
        setZoomToFitBounds(true);
    else
        m_scrollView->setMagnification(double(percent) / 100.0);
}

void PLYLayoutViewController::setZoomToFitBounds(bool animated) {
    const double fit = fitFactor();
    if (animated)
        PLYAnimator::shared()->animate(m_scrollView, "magnification", fit, kZoomAnimationMs);
    else
        m_scrollView->setMagnification(fit);
}

void PLYLayoutViewController::prepareVisibleBlocks() {
    QGraphicsScene* scene = m_scrollView ? m_scrollView->scene() : nullptr;
    if (!scene) return;
    const QRectF visible = m_scrollView->mapToScene(m_scrollView->viewport()->rect()).boundingRect();
    for (QGraphicsItem* item : scene->items(visible, Qt::IntersectsItemBoundingRect)) {
        auto* block = dynamic_cast<PLYBlockView*>(item);
        if (!block || !block->drawHandler() || !block->isVisible()) continue;
        const QTransform t = block->deviceTransform(m_scrollView->viewportTransform());
        block->drawHandler()->prepareToDraw(std::hypot(t.m11(), t.m12()));
    }
}

void PLYLayoutViewController::ensureEntrancePostion() {
    if (!m_entranceEffect) {
        m_entranceEffect = new QGraphicsOpacityEffect(m_scrollView);
        m_scrollView->setGraphicsEffect(m_entranceEffect);
    }
    m_entranceEffect->setOpacity(0.0);
    m_interactionView->setOpacity(0.0);
}

void PLYLayoutViewController::performEntrance() {
    setZoomToFitBounds(false);
    prepareVisibleBlocks();
    QPointer<PLYLayoutViewController> self(this);
    PLYDispatch::mainAfter(
        kEntranceDelaySeconds,
        [self] {
            if (!self) return;
            self->m_interactionView->setOpacity(1.0);
            QPointer<QGraphicsOpacityEffect> effect = self->m_entranceEffect;
            if (!effect) return;
            // The effect draws the canvas off screen: it goes once the canvas is fully shown.
            PLYAnimator::shared()->animate(effect, "opacity", 1.0, kZoomAnimationMs, [self, effect] {
                if (self && effect && self->m_scrollView) self->m_scrollView->setGraphicsEffect(nullptr);
            });
        },
        this);
}

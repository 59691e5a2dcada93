#pragma once

#include "PLYGenericPostViewController.h"
#include "PLYLayoutScrollView.h"
#include "PLYVisualStateHandler.h"

#include <QPointer>
#include <memory>

class PLYLayoutInteractionView;
class PLYLayoutViewProxy;
class QGraphicsOpacityEffect;

// The layout tab: a scroll view showing the post's layout view, with the editing overlay over
// the whole canvas. It owns the tab's zoom: it applies factors that come from the shared
// visual state, reports zoom changes that start here (a pinch, a fit) back to it, knows the
// zoom that fits the layout, and plays the tab's entrance when the post window opens.
class PLYLayoutViewController : public PLYGenericPostViewController, public PLYVisualStateHandlerDelegate {
    Q_OBJECT
public:
    // The fitted layout keeps this much room beside it, in layout points.
    static constexpr double kFitMargin = 1000.0;
    static constexpr double kEntranceDelaySeconds = 0.5;
    static constexpr int kZoomAnimationMs = 250;

    explicit PLYLayoutViewController(QWidget* parent = nullptr);
    ~PLYLayoutViewController() override;

    PLYLayoutScrollView* scrollView() const { return m_scrollView; }
    PLYLayoutViewProxy* layoutViewProxy() const { return m_proxy.get(); }
    PLYLayoutInteractionView* interactionView() const { return m_interactionView; }

    // Builds a new layout view proxy for the manager's layout and shows its layout view,
    // replacing any earlier one.
    void setPostManager(std::shared_ptr<PLYPostManager> postManager) override;

    // Hides the canvas at once, before the post window's opening animation.
    void ensureEntrancePostion();
    // Fits the layout at once, then fades the canvas in after half a second; the pictures the
    // canvas will show are asked for at once, so that they are decoded while it waits.
    void performEntrance();
    // 0 fits the layout (animated); any other value is a percentage, applied at once.
    void setZoom(qint64 percent);
    void setZoomToFitBounds(bool animated);
    // Asks the blocks in view for what drawing them will need, before they are drawn.
    void prepareVisibleBlocks();
    // The scroll view's width over the layout's width plus 1000 points.
    double fitFactor() const;
    // True only while a factor from the visual state is being applied.
    bool magSetExternally() const { return m_magSetExternally; }

    // PLYVisualStateHandlerDelegate
    void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler* handler, double factor) override;
    std::optional<double> layoutZoomFactorToFitForVisualStateHandler(PLYVisualStateHandler* handler) override;

private:
    void magnificationDidChange();

    QPointer<PLYLayoutScrollView> m_scrollView;
    PLYLayoutInteractionView* m_interactionView = nullptr;
    std::unique_ptr<PLYLayoutViewProxy> m_proxy;
    QPointer<QGraphicsOpacityEffect> m_entranceEffect;
    bool m_magSetExternally = false;
};

#pragma once

#include "PLYGenericPostViewController.h"
#include "PLYLayoutManager.h"

#include <QWidget>
#include <functional>
#include <memory>

class PLYDocumentViewController;
class PLYPostManager;
class PLYPublishViewController;
class PLYSeoViewController;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QToolButton;

// The right-hand pane of the post window: a header of three tab buttons with the selected tab's
// title beside its button, the tabs Document, Properties and SEO, and the publish panel under
// them. It hands each child the post (or its layout manager) whichever arrives first, and shows
// Properties when blocks are selected on the canvas.
class PLYInspectorViewController : public PLYGenericPostViewController, public PLYLayoutManagerInteractionProxy {
    Q_OBJECT
public:
    enum Tab { DocumentTab = 0, PropertyTab = 1, SeoTab = 2 };

    explicit PLYInspectorViewController(QWidget* parent = nullptr);
    ~PLYInspectorViewController() override;

    // Hands the post to every child present and follows its layout manager's selection.
    void setPostManager(std::shared_ptr<PLYPostManager> postManager) override;

    // The children, as the interface embeds them; a child embedded after the post arrived gets
    // it at once. Embedding replaces (and deletes) the child before it.
    void embedDocumentViewController(PLYDocumentViewController* controller);
    // The Properties tab hosts any page; `handOver` gives it the layout manager.
    using LayoutManagerHandOver = std::function<void(QWidget* page, const std::shared_ptr<PLYLayoutManager>& layoutManager)>;
    void embedPropertyViewController(QWidget* page, LayoutManagerHandOver handOver = {});
    void embedSeoViewController(PLYSeoViewController* controller);
    void embedPublishViewController(PLYPublishViewController* controller);

    PLYDocumentViewController* documentViewController() const { return m_documentViewController; }
    QWidget* propertyViewController() const { return m_propertyViewController; }
    PLYSeoViewController* seoViewController() const { return m_seoViewController; }
    PLYPublishViewController* publishViewController() const { return m_publishViewController; }

    // The tab actions.
    void selectDocumentTab();
    void selectPropertyTab();
    void selectSEOTab();
    // Puts the header label, titled `title`, at `index` among the header's arranged views.
    void moveHeaderLabelToIndex(int index, const QString& title);
    int currentTabIndex() const;

    // PLYLayoutManagerInteractionProxy: a selection of one or more blocks shows Properties.
    void layoutManagerDidSelectBlocks(PLYLayoutManager* manager, const QList<PLYBlock*>& blocks) override;

private:
    void selectTab(Tab tab, const QString& title);
    QScrollArea* tabPage(Tab tab) const;
    void setTabContent(Tab tab, QWidget* content);
    void followLayoutManager(const std::shared_ptr<PLYLayoutManager>& layoutManager);
    std::shared_ptr<PLYLayoutManager> layoutManager() const;

    std::weak_ptr<PLYLayoutManager> m_followedLayoutManager;

    QWidget* m_headerStackView;
    QLabel* m_headerLabel;
    QToolButton* m_headerDocumentButton;
    QToolButton* m_headerPropertyButton;
    QToolButton* m_headerSEOButton;
    QStackedWidget* m_tabView;
    QScrollArea* m_documentTabViewItem;
    QScrollArea* m_propertyTabViewItem;
    QScrollArea* m_seoTabViewItem;

    PLYDocumentViewController* m_documentViewController = nullptr;
    QWidget* m_propertyViewController = nullptr;
    LayoutManagerHandOver m_propertyHandOver;
    PLYSeoViewController* m_seoViewController = nullptr;
    PLYPublishViewController* m_publishViewController = nullptr;
};

#pragma once

#include "PLYHomeModel.h"
#include "PLYNotificationCenter.h"
#include "PLYSessionObserver.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class PLYHomeCollectionView;
class PLYSlidingButtonStack;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;

// The home screen ("PLYHomeViewController"): the account's name and session, the filter (all,
// published, unpublished) and sort of the posts, and the grid of post tiles, or an invitation to
// make the first post when there is none. A double click opens a post; "New Post" starts one.
// The decisions live in PLYHomeModel; this view only shows them.
struct PLYAlertRequest;

class PLYHomeViewController : public QWidget {
    Q_OBJECT
public:
    explicit PLYHomeViewController(QWidget* parent = nullptr);
    ~PLYHomeViewController() override;

    const PLYHomeModel& model() const { return m_model; }

    // Rebuilds the ordered and filtered lists from the current account and shows the grid or
    // the empty state.
    void ensureStructure();
    // The tile size for the grid's width.
    void ensureGallerySize();
    void ensureSortMenu();
    // Shows the filtered list in the grid.
    void reloadData();
    void refreshAccount();

    void sortTypeMenuAction(QAction* sender);
    void sortOrderMenuAction(QAction* sender);
    // The filter segment the user picked: reload, then select the first post.
    void buttonStackDidSelectIndex(int index);
    // A new post: an empty post manager becomes current; the root navigation opens it.
    // Opens the new-post sheet; with nobody signed in it says why it cannot.
    void createNewBlog();
    static PLYAlertRequest newPostWithoutAccountAlert();
    // The post becomes current; the root navigation opens its editor.
    void openPost(const std::shared_ptr<PLYPersistantPost>& post);
    // Signs out; when the account's edits cannot be saved, first asks whether to stay signed in
    // with them or to lose them.
    void signOutUser();
    void verifyEmailAction();

    // The list the grid shows.
    const PLYHomeModel::PostList& filteredPosts() const;

    QWidget* accountHeaderView() const { return m_accountHeaderView; }
    QWidget* selectionHeaderView() const { return m_selectionHeaderView; }
    PLYSlidingButtonStack* selectionStack() const { return m_selectionStack; }
    PLYHomeCollectionView* postCollectionView() const { return m_collection; }
    QScrollArea* postScrollView() const { return m_scroll; }
    QWidget* emptyPostsContainer() const { return m_emptyPostsContainer; }
    QLabel* versionLabel() const { return m_versionLabel; }
    QLabel* accountNameLabel() const { return m_accountNameLabel; }
    QPushButton* sortPopUpButton() const { return m_sortPopUpButton; }
    QMenu* sortMenu() const { return m_sortMenu; }
    QAction* titleMenuItem() const { return m_titleMenuItem; }
    QAction* creationMenuItem() const { return m_creationMenuItem; }
    QAction* modifiedMenuItem() const { return m_modifiedMenuItem; }
    QAction* ascendingMenuItem() const { return m_ascendingMenuItem; }
    QAction* descendingMenuItem() const { return m_descendingMenuItem; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildAccountHeader();
    QWidget* buildSelectionHeader();
    QWidget* buildEmptyState();
    void viewportChanged();
    void sortChanged();

    PLYHomeModel m_model;
    QWidget* m_accountHeaderView = nullptr;
    QLabel* m_accountNameLabel = nullptr;
    QLabel* m_accountStatusLabel = nullptr;
    QPushButton* m_verifyButton = nullptr;
    QPushButton* m_signOutButton = nullptr;
    QLabel* m_versionLabel = nullptr;
    QWidget* m_selectionHeaderView = nullptr;
    PLYSlidingButtonStack* m_selectionStack = nullptr;
    QPushButton* m_sortPopUpButton = nullptr;
    QMenu* m_sortMenu = nullptr;
    QAction* m_titleMenuItem = nullptr;
    QAction* m_creationMenuItem = nullptr;
    QAction* m_modifiedMenuItem = nullptr;
    QAction* m_ascendingMenuItem = nullptr;
    QAction* m_descendingMenuItem = nullptr;
    QPushButton* m_newPostButton = nullptr;
    QScrollArea* m_scroll = nullptr;
    PLYHomeCollectionView* m_collection = nullptr;
    QLabel* m_filterEmptyLabel = nullptr;
    QWidget* m_emptyPostsContainer = nullptr;

    PLYObserverBag m_observers;
    std::unique_ptr<PLYSessionObserver> m_sessionObserver;
};

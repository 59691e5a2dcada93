#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <memory>

class PLYPersistantAccount;
class PLYPersistantPost;

// The home screen's decisions, without widgets: the account's posts in the chosen order, split
// into published and unpublished ones for the filter, the tile size for a width, the sort menu's
// states and titles and the account name line.
class PLYHomeModel {
public:
    using PostList = QList<std::shared_ptr<PLYPersistantPost>>;

    enum SortType : qint64 { SortByName = 0, SortByCreationDate = 1, SortByUpdatedDate = 2 };
    // The filter's segments, in the selection stack's order.
    enum Filter : int { AllPosts = 0, PublishedPosts = 1, UnpublishedPosts = 2 };

    static constexpr double MinimumItemWidth = 200.0;
    static constexpr double ItemSpacing = 10.0;
    static constexpr double SideInset = 10.0;

    qint64 sortType = SortByCreationDate;
    qint64 sortOrder = 0;  // 0 ascending, anything else descending

    // A stored sort type as the home screen uses it: one it does not know (a damaged or foreign
    // setting) is the default sort.
    static qint64 knownSortType(qint64 storedType);
    // The key a sort type sorts by ("name", "creationDate", "updatedDate"); null for another type.
    static QString sortKey(qint64 sortType);
    // Rebuilds the lists from the account (none: no posts). An unknown sort type keeps the
    // previous order of `posts`.
    void ensureStructure(const PLYPersistantAccount* account);

    const PostList& posts() const { return m_posts; }
    // Published: a non-empty remote identifier, the one rule used everywhere.
    const PostList& activePosts() const { return m_active; }
    const PostList& nonActivePosts() const { return m_nonActive; }
    // The list a filter segment shows: 0 all, 1 published, any other unpublished.
    const PostList& filteredPosts(int selectedIndex) const;
    bool isEmpty() const { return m_posts.isEmpty(); }

    // A tile: at least 200 wide, four across from 850 points on; 41:24 high.
    static QSizeF itemSize(double collectionWidth);

    // "First Last", or empty (the label hides) unless both names are there.
    static QString accountName(const QString& firstName, const QString& lastName);

    // The sort pop-up: which type item is on, the direction items' titles and states, and the
    // pop-up button's title.
    struct SortMenu {
        qint64 checkedType = -1;
        QString ascendingTitle;
        QString descendingTitle;
        bool ascendingOn = false;
        bool descendingOn = false;
        QString popUpTitle;
    };
    static SortMenu sortMenu(qint64 sortType, qint64 sortOrder);
    // The type items' titles.
    static QString titleForSortType(qint64 sortType);

private:
    PostList m_posts;
    PostList m_active;
    PostList m_nonActive;
};

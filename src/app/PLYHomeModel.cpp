#include "PLYHomeModel.h"

#include "PLYDefaults.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"

#include <QObject>
#include <algorithm>

qint64 PLYHomeModel::knownSortType(qint64 storedType) {
    return storedType >= SortByName && storedType <= SortByUpdatedDate ? storedType : qint64(SortByCreationDate);
}

QString PLYHomeModel::sortKey(qint64 sortType) {
    switch (sortType) {
    case SortByName: return QStringLiteral("name");
    case SortByCreationDate: return QStringLiteral("creationDate");
    case SortByUpdatedDate: return QStringLiteral("updatedDate");
    default: return {};
    }
}

void PLYHomeModel::ensureStructure(const PLYPersistantAccount* account) {
    if (!account) {
        m_posts.clear();
    } else if (const QString key = sortKey(sortType); !key.isNull()) {
        m_posts = account->currentPostsSortedByKeys({key}, sortOrder == 0);
    } else {
        // An unknown type keeps the order, but a post gone from the account goes from the list.
        const PostList current = account->currentPosts();
        m_posts.removeIf([&](const std::shared_ptr<PLYPersistantPost>& post) { return !current.contains(post); });
    }
    m_active.clear();
    m_nonActive.clear();
    for (const auto& post : std::as_const(m_posts)) (post->isPublished() ? m_active : m_nonActive) << post;
}

const PLYHomeModel::PostList& PLYHomeModel::filteredPosts(int selectedIndex) const {
    if (selectedIndex == AllPosts) return m_posts;
    return selectedIndex == PublishedPosts ? m_active : m_nonActive;
}

QSizeF PLYHomeModel::itemSize(double collectionWidth) {
    const double w = std::max(MinimumItemWidth, (collectionWidth - 50.0) * 0.25);
    return QSizeF(w, w * 41.0 / 24.0);
}

QString PLYHomeModel::accountName(const QString& firstName, const QString& lastName) {
    if (firstName.isEmpty() || lastName.isEmpty()) return {};
    return QStringLiteral("%1 %2").arg(firstName, lastName);
}

QString PLYHomeModel::titleForSortType(qint64 sortType) {
    switch (sortType) {
    case SortByName: return QObject::tr("Title");
    case SortByCreationDate: return QObject::tr("Date Created");
    case SortByUpdatedDate: return QObject::tr("Date Modified");
    default: return {};
    }
}

PLYHomeModel::SortMenu PLYHomeModel::sortMenu(qint64 sortType, qint64 sortOrder) {
    SortMenu menu;
    if (sortType >= SortByName && sortType <= SortByUpdatedDate) {
        menu.checkedType = sortType;
        menu.popUpTitle = titleForSortType(sortType);
    }
    menu.ascendingTitle = PLYDefaults::ascendingTitleForType(sortType);
    menu.descendingTitle = PLYDefaults::descendingTitleForType(sortType);
    menu.ascendingOn = sortOrder == 0;
    menu.descendingOn = sortOrder == 1;
    return menu;
}

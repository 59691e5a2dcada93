#include "PLYHomeViewController.h"

#include "PLYAlertPresenter.h"

#include "PLYAccountStatus.h"
#include "PLYColor.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYFormWidgets.h"
#include "PLYHomeCollectionView.h"
#include "PLYInterfaceNames.h"
#include "PLYLaunchClock.h"
#include "PLYLog.h"
#include "PLYNamedImage.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSlidingButtonStack.h"
#include "PLYWebServiceManager.h"

#include <QActionGroup>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

namespace {

constexpr int kSideMargin = 20;
constexpr int kGridMargin = 10;

// The filter's picks reach the home screen, if it is still there.
class FilterDelegate : public PLYSlidingButtonStackDelegate {
public:
    explicit FilterDelegate(PLYHomeViewController* home) : m_home(home) {}
    void buttonStackDidSelectIndex(PLYSlidingButtonStack*, int index) override {
        if (m_home) m_home->buttonStackDidSelectIndex(index);
    }

private:
    QPointer<PLYHomeViewController> m_home;
};

std::shared_ptr<PLYPersistantAccount> currentAccount() {
    const auto store = PLYCoreManager::persistantStore();
    return store ? store->currentAccount() : nullptr;
}

QString currentServiceState() {
    const PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    return manager ? manager->currentStateName() : QString();
}

}  // namespace

PLYHomeViewController::PLYHomeViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(PLYInterfaceNames::HomeViewSegue));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, PLYColor::kro_homeBackground());
    setPalette(p);

    // 1. The sort as last chosen.
    m_model.sortType = PLYHomeModel::knownSortType(PLYDefaults::homeSortType());
    m_model.sortOrder = PLYDefaults::homeSortOrder();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildAccountHeader());
    layout->addWidget(buildSelectionHeader());

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("postScrollView"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_collection = new PLYHomeCollectionView;
    m_scroll->setWidget(m_collection);
    m_scroll->viewport()->installEventFilter(this);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { viewportChanged(); });
    m_collection->onOpenPost = [this](const std::shared_ptr<PLYPersistantPost>& post) { openPost(post); };
    m_collection->onFirstPaintWithTiles = [this](int tiles) {
        PLY_LOG_INFO(QStringLiteral("Home gallery painted: %1 tiles of %2 posts, %3 ms after launch")
                         .arg(tiles)
                         .arg(m_model.posts().size())
                         .arg(PLYLaunchClock::elapsedMs()));
    };
    m_filterEmptyLabel = caption(QString(), m_scroll->viewport());
    m_filterEmptyLabel->setObjectName(QStringLiteral("filterEmptyLabel"));
    m_filterEmptyLabel->setAlignment(Qt::AlignCenter);
    m_filterEmptyLabel->hide();
    // The grid keeps its tiles a little in from the window's edges, under the headers' margins.
    auto* grid = new QHBoxLayout;
    grid->setContentsMargins(kGridMargin, 0, kGridMargin, 0);
    grid->addWidget(m_scroll);
    layout->addLayout(grid, 1);

    m_emptyPostsContainer = buildEmptyState();
    layout->addWidget(m_emptyPostsContainer, 1);

    // 3. The filter's picks.
    m_selectionStack->setSlidingDelegate(std::make_shared<FilterDelegate>(this));
    // 4. The grid's tile size.
    ensureGallerySize();
    ensureSortMenu();

    // 5. Posts added, removed or changed anywhere; the session's state for the account line.
    m_observers.add(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
                    [this](const PLYNotification&) {
                        ensureStructure();
                        reloadData();
                    });
    // Another account's posts come with the store's own announcement above, so a change of the
    // session's state (several at each launch) only redraws the account line.
    m_sessionObserver = std::make_unique<PLYSessionObserver>(this, PLYSessionObserver::Delivery::Queued,
                                                             [this](const PLYSessionChange&) { refreshAccount(); });
    ensureStructure();
    refreshAccount();
}

PLYHomeViewController::~PLYHomeViewController() {
    m_observers.clear();
    m_sessionObserver.reset();
}

// ---- building ---------------------------------------------------------------------------------------

QWidget* PLYHomeViewController::buildAccountHeader() {
    m_accountHeaderView = new QWidget(this);
    m_accountHeaderView->setObjectName(QStringLiteral("accountHeaderView"));
    auto* layout = new QHBoxLayout(m_accountHeaderView);
    layout->setContentsMargins(kSideMargin + 4, 18, kSideMargin + 4, 6);
    layout->setSpacing(12);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    m_accountNameLabel = heading(QString(), m_accountHeaderView);
    m_accountNameLabel->setObjectName(QStringLiteral("accountNameLabel"));
    names->addWidget(m_accountNameLabel);
    m_accountStatusLabel = note(QString(), m_accountHeaderView);
    m_accountStatusLabel->setObjectName(QStringLiteral("accountStatusLabel"));
    names->addWidget(m_accountStatusLabel);
    layout->addLayout(names, 1);

    m_verifyButton = button(tr("Verify Email…"), QStringLiteral("verifyEmailButton"), m_accountHeaderView);
    connect(m_verifyButton, &QPushButton::clicked, this, &PLYHomeViewController::verifyEmailAction);
    layout->addWidget(m_verifyButton, 0, Qt::AlignVCenter);
    m_signOutButton = button(tr("Sign Out"), QStringLiteral("signOutButton"), m_accountHeaderView);
    connect(m_signOutButton, &QPushButton::clicked, this, &PLYHomeViewController::signOutUser);
    layout->addWidget(m_signOutButton, 0, Qt::AlignVCenter);

    m_versionLabel = caption(QString(), m_accountHeaderView);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    layout->addWidget(m_versionLabel, 0, Qt::AlignVCenter);
    return m_accountHeaderView;
}

QWidget* PLYHomeViewController::buildSelectionHeader() {
    m_selectionHeaderView = new QWidget(this);
    m_selectionHeaderView->setObjectName(QStringLiteral("selectionHeaderView"));
    auto* layout = new QHBoxLayout(m_selectionHeaderView);
    layout->setContentsMargins(kSideMargin, 8, kSideMargin, 12);
    layout->setSpacing(8);

    m_selectionStack = new PLYSlidingButtonStack(m_selectionHeaderView);
    m_selectionStack->setObjectName(QStringLiteral("selectionStack"));
    m_selectionStack->setTitles({tr("All Posts"), tr("Published"), tr("Unpublished")});
    const QColor blue = PLYColor::kro_blueColour();
    m_selectionStack->setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; padding: 5px 14px; color: #3c4043; }"
                       "QPushButton:checked { color: white; }"
                       "QWidget#slidingHighlight { background: %1; border-radius: 6px; }")
            .arg(blue.name()));
    if (QWidget* highlight = m_selectionStack->findChild<QWidget*>(QStringLiteral("slidingHighlight")))
        highlight->setAttribute(Qt::WA_StyledBackground);
    layout->addWidget(m_selectionStack);
    layout->addStretch(1);

    auto* sortCaption = caption(tr("Sort by"), m_selectionHeaderView);
    layout->addWidget(sortCaption);
    m_sortPopUpButton = new QPushButton(m_selectionHeaderView);
    m_sortPopUpButton->setObjectName(QStringLiteral("sortPopUpButton"));
    m_sortMenu = new QMenu(m_sortPopUpButton);
    m_sortMenu->setObjectName(QStringLiteral("sortMenu"));
    auto* types = new QActionGroup(m_sortMenu);
    const auto typeItem = [&](qint64 type, const char* name) {
        QAction* item = m_sortMenu->addAction(PLYHomeModel::titleForSortType(type));
        item->setObjectName(QLatin1String(name));
        item->setCheckable(true);
        types->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { sortTypeMenuAction(item); });
        return item;
    };
    m_titleMenuItem = typeItem(PLYHomeModel::SortByName, "titleMenuItem");
    m_creationMenuItem = typeItem(PLYHomeModel::SortByCreationDate, "creationMenuItem");
    m_modifiedMenuItem = typeItem(PLYHomeModel::SortByUpdatedDate, "modifiedMenuItem");
    m_sortMenu->addSeparator();
    auto* orders = new QActionGroup(m_sortMenu);
    const auto orderItem = [&](const char* name) {
        QAction* item = m_sortMenu->addAction(QString());
        item->setObjectName(QLatin1String(name));
        item->setCheckable(true);
        orders->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { sortOrderMenuAction(item); });
        return item;
    };
    m_ascendingMenuItem = orderItem("ascendingMenuItem");
    m_descendingMenuItem = orderItem("descendingMenuItem");
    m_sortPopUpButton->setMenu(m_sortMenu);
    layout->addWidget(m_sortPopUpButton);

    layout->addSpacing(8);
    m_newPostButton = button(tr("New Post"), QStringLiteral("newPostButton"), m_selectionHeaderView, true);
    m_newPostButton->setToolTip(tr("Start a post from a folder of photos"));
    connect(m_newPostButton, &QPushButton::clicked, this, &PLYHomeViewController::createNewBlog);
    layout->addWidget(m_newPostButton);
    return m_selectionHeaderView;
}

QWidget* PLYHomeViewController::buildEmptyState() {
    auto* container = new QWidget(this);
    container->setObjectName(QStringLiteral("emptyPostsContainer"));
    auto* outer = new QVBoxLayout(container);
    outer->addStretch(2);
    auto* picture = new QLabel(container);
    picture->setObjectName(QStringLiteral("emptyPostsImage"));
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap empty = QPixmap::fromImage(PLYNamedImage::image(QLatin1String(PLYInterfaceNames::ImageEmptyPost),
                                                            QSize(200, 150) * ratio));
    empty.setDevicePixelRatio(ratio);
    picture->setPixmap(empty);
    picture->setAlignment(Qt::AlignCenter);
    outer->addWidget(picture);
    outer->addSpacing(12);
    auto* title = heading(tr("No posts yet"), container);
    title->setAlignment(Qt::AlignCenter);
    outer->addWidget(title);
    auto* text = caption(tr("Start a post from a folder of your photos, lay it out and publish it."), container);
    text->setAlignment(Qt::AlignCenter);
    outer->addWidget(text);
    outer->addSpacing(12);
    auto* start = button(tr("New Post"), QStringLiteral("createFirstPostButton"), container, true);
    connect(start, &QPushButton::clicked, this, &PLYHomeViewController::createNewBlog);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(start);
    row->addStretch();
    outer->addLayout(row);
    outer->addStretch(3);
    return container;
}

// ---- appearing ----------------------------------------------------------------------------------------

void PLYHomeViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshAccount();
    ensureStructure();
    reloadData();
}

void PLYHomeViewController::refreshAccount() {
    const QString version = QCoreApplication::applicationVersion().isEmpty() ? QStringLiteral(PELLORY_VERSION)
                                                                            : QCoreApplication::applicationVersion();
    m_versionLabel->setText(tr("Version %1").arg(version));
    const auto account = currentAccount();
    const QString name = account ? PLYHomeModel::accountName(account->firstName(), account->lastName()) : QString();
    m_accountNameLabel->setText(name);
    m_accountNameLabel->setVisible(!name.isEmpty());
    const PLYAccountStatus::Status status = PLYAccountStatus::statusForState(currentServiceState());
    m_accountStatusLabel->setText(status.text);
    m_accountStatusLabel->setVisible(!status.text.isEmpty());
    m_verifyButton->setVisible(status.offerVerification);
    m_signOutButton->setVisible(status.signedIn);
}

// ---- structure ----------------------------------------------------------------------------------------

void PLYHomeViewController::ensureStructure() {
    const auto account = currentAccount();
    m_model.ensureStructure(account.get());
    const bool empty = m_model.isEmpty();
    m_scroll->setVisible(!empty);
    m_selectionHeaderView->setVisible(!empty);
    m_emptyPostsContainer->setVisible(empty);
}

const PLYHomeModel::PostList& PLYHomeViewController::filteredPosts() const {
    return m_model.filteredPosts(m_selectionStack->selectedIndex());
}

void PLYHomeViewController::reloadData() {
    const PLYHomeModel::PostList& posts = filteredPosts();
    m_collection->setPosts(posts);
    const bool filteredAway = posts.isEmpty() && !m_model.isEmpty();
    m_filterEmptyLabel->setText(m_selectionStack->selectedIndex() == PLYHomeModel::PublishedPosts
                                    ? tr("No post is published yet.")
                                    : tr("Every post is published."));
    m_filterEmptyLabel->setVisible(filteredAway);
    if (filteredAway) m_filterEmptyLabel->setGeometry(0, 40, m_scroll->viewport()->width(), 30);
}

void PLYHomeViewController::ensureGallerySize() {
    // The room of the scroll bar is always kept, so its coming and going never changes the tiles.
    const int bar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    const int barShown = m_scroll->verticalScrollBar()->isVisible() ? 0 : bar;
    const int width = std::max(0, m_scroll->viewport()->width() - barShown);
    m_collection->setItemSize(PLYHomeModel::itemSize(width));
    m_collection->setViewport(QSize(width, m_scroll->viewport()->height()), m_scroll->verticalScrollBar()->value());
}

void PLYHomeViewController::viewportChanged() {
    ensureGallerySize();
    if (m_filterEmptyLabel->isVisible()) m_filterEmptyLabel->setGeometry(0, 40, m_scroll->viewport()->width(), 30);
}

bool PLYHomeViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize) viewportChanged();
    return QWidget::eventFilter(watched, event);
}

// ---- sort and filter ----------------------------------------------------------------------------------

void PLYHomeViewController::ensureSortMenu() {
    const PLYHomeModel::SortMenu menu = PLYHomeModel::sortMenu(m_model.sortType, m_model.sortOrder);
    m_titleMenuItem->setChecked(menu.checkedType == PLYHomeModel::SortByName);
    m_creationMenuItem->setChecked(menu.checkedType == PLYHomeModel::SortByCreationDate);
    m_modifiedMenuItem->setChecked(menu.checkedType == PLYHomeModel::SortByUpdatedDate);
    m_ascendingMenuItem->setText(menu.ascendingTitle);
    m_descendingMenuItem->setText(menu.descendingTitle);
    m_ascendingMenuItem->setChecked(menu.ascendingOn);
    m_descendingMenuItem->setChecked(menu.descendingOn);
    if (!menu.popUpTitle.isEmpty()) m_sortPopUpButton->setText(menu.popUpTitle);
}

void PLYHomeViewController::sortTypeMenuAction(QAction* sender) {
    if (sender == m_titleMenuItem) m_model.sortType = PLYHomeModel::SortByName;
    else if (sender == m_creationMenuItem) m_model.sortType = PLYHomeModel::SortByCreationDate;
    else if (sender == m_modifiedMenuItem) m_model.sortType = PLYHomeModel::SortByUpdatedDate;
    PLYDefaults::setHomeSortType(m_model.sortType);
    sortChanged();
}

void PLYHomeViewController::sortOrderMenuAction(QAction* sender) {
    if (sender == m_ascendingMenuItem) m_model.sortOrder = 0;
    else if (sender == m_descendingMenuItem) m_model.sortOrder = 1;
    PLYDefaults::setHomeSortOrder(m_model.sortOrder);
    sortChanged();
}

void PLYHomeViewController::sortChanged() {
    ensureSortMenu();
    ensureStructure();
    reloadData();
}

void PLYHomeViewController::buttonStackDidSelectIndex(int) {
    reloadData();
    m_collection->selectFirstItem();
}

// ---- actions ------------------------------------------------------------------------------------------

void PLYHomeViewController::createNewBlog() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    if (!core) return;
    if (!currentAccount()) {
        // A post belongs to an account; with nobody signed in (the service unreachable at the
        // first start) there is none to make it in.
        PLYAlertPresenter::shared()->runModal(newPostWithoutAccountAlert(), window());
        return;
    }
    core->setCurrentPostManager(core->postManagerEmpty());
}

PLYAlertRequest PLYHomeViewController::newPostWithoutAccountAlert() {
    return {PLYAlertRequest::Style::Informational, tr("The Post Could Not Be Made"),
            tr("Nobody is signed in. Sign in, then make the post again; signing in needs a connection to the "
               "Pellory service."),
            {tr("Ok")}};
}

void PLYHomeViewController::openPost(const std::shared_ptr<PLYPersistantPost>& post) {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    if (!core || !post) return;
    if (const auto manager = core->postManagerForPostID(post->identifier())) core->setCurrentPostManager(manager);
}

void PLYHomeViewController::signOutUser() {
    PLYAccountStatus::signOut([this](const PLYSaveOutcome::Failure& failure) {
        // With nobody to ask, the edits are kept.
        const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared();
        return presenter && presenter->runModal(PLYSaveOutcome::signOutAnywayAlert(failure), window()) ==
                                PLYSaveOutcome::SignOutAnywayReturn;
    });
}

void PLYHomeViewController::verifyEmailAction() {
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager()) manager->presentEmailVerifyNotification({});
}

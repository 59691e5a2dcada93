#include "PLYBaseWindowController.h"

#include "PLYAddBlockPopover.h"
#include "PLYAnimator.h"
#include "PLYBaseViewController.h"
#include "PLYColor.h"
#include "PLYCoreManager.h"
#include "PLYInterfaceNames.h"
#include "PLYNamedImage.h"
#include "PLYOnboardingPopover.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYPostSelecorPopUpButton.h"
#include "PLYSafeText.h"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The title bar's background with a hairline under it.
class HeaderView : public QWidget {
public:
    explicit HeaderView(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xF6, 0xF6, 0xF6));
        painter.fillRect(QRect(0, height() - 1, width(), 1), QColor(0xD2, 0xD2, 0xD2));
    }
};

// A title-bar icon, sharp at any density; a checked toggle shows it dimmed.
QIcon headerIcon(const char* name, bool dimWhenChecked = false) {
    QIcon icon;
    for (int scale : {1, 2}) {
        const QImage image = PLYNamedImage::image(QLatin1String(name), QSize(20, 20) * scale);
        QPixmap normal = QPixmap::fromImage(image);
        normal.setDevicePixelRatio(scale);
        icon.addPixmap(normal, QIcon::Normal, QIcon::Off);
        if (!dimWhenChecked) continue;
        QPixmap dim(normal.size());
        dim.setDevicePixelRatio(scale);
        dim.fill(Qt::transparent);
        QPainter painter(&dim);
        painter.setOpacity(0.35);
        painter.drawPixmap(0, 0, normal);
        painter.end();
        icon.addPixmap(dim, QIcon::Normal, QIcon::On);
    }
    return icon;
}

QToolButton* headerButton(const char* objectName, const char* image, const QString& toolTip, QWidget* parent,
                          bool toggle = false) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setIcon(headerIcon(image, toggle));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(32, 30);
    button->setToolTip(toolTip);
    button->setCheckable(toggle);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void setAlpha(QWidget* widget, double alpha) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(alpha);
    widget->setVisible(alpha > 0);
}

}  // namespace

PLYBaseWindowController::PLYBaseWindowController(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QString::fromLatin1(PLYInterfaceNames::BaseWindowScene));
    setWindowTitle(QStringLiteral("Pellory"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, PLYColor::kro_homeBackground());
    setPalette(palette);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("contentView"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    m_root = new PLYBaseViewController(central);
    layout->addWidget(m_root, 1);
    setCentralWidget(central);
    connect(m_root, &PLYBaseViewController::screenChanged, this, &PLYBaseWindowController::screenChanged);

    // Four fifths of the screen's free area, centred in it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(PLYRootNavigation::centredFrame(screen->availableGeometry()));

    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    setHeaderState(PLYRootNavigation::headerState(handler->postHeaderVisible()), false);
    m_galleryCollapseButton->setChecked(handler->galleryVisible());
    m_seoCollapseButton->setChecked(handler->inspectorVisible());
    m_numberZoomButton->setText(PLYRootNavigation::zoomLabel(handler->layoutZoomFactor()));
    handler->addVisualDelegate(this);

    // A renamed post renames its button.
    m_observers.add(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
                    [this](const PLYNotification&) { updateCurrentPostTitle(); });
}

PLYBaseWindowController::~PLYBaseWindowController() {
    m_observers.clear();
    PLYVisualStateHandler::globalHandler()->removeVisualDelegate(this);
    if (m_dragPopOver) m_dragPopOver->closePopover();
}

QWidget* PLYBaseWindowController::buildHeader() {
    m_header = new HeaderView(this);
    m_header->setObjectName(QStringLiteral("headerView"));
    m_header->setFixedHeight(HeaderHeight);
    m_header->setStyleSheet(QStringLiteral(
        "QToolButton { border: none; border-radius: 6px; padding: 3px; background: transparent; }"
        "QToolButton:hover { background: rgba(0, 0, 0, 0.07); }"
        "QToolButton:pressed { background: rgba(0, 0, 0, 0.13); }"
        "QPushButton#numberZoomButton { border: 1px solid #cdcdcd; border-radius: 5px; background: white;"
        " padding: 3px 6px; min-width: 48px; }"
        "QPushButton#numberZoomButton:hover { background: #f0f0f0; }"));
    auto* stack = new QVBoxLayout(m_header);
    stack->setContentsMargins(0, 0, 0, 0);

    // At home: the title.
    m_homeHeader = new QWidget(m_header);
    m_homeHeader->setObjectName(QStringLiteral("homeHeader"));
    auto* homeLayout = new QHBoxLayout(m_homeHeader);
    homeLayout->setContentsMargins(12, 0, 12, 1);
    m_titleLabel = new QLabel(tr("Pellory"), m_homeHeader);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont = m_titleLabel->font();
    titleFont.setWeight(QFont::DemiBold);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    m_titleLabel->setFont(titleFont);
    homeLayout->addWidget(m_titleLabel, 0, Qt::AlignCenter);

    // With a post: its controls.
    m_postHeader = new QWidget(m_header);
    m_postHeader->setObjectName(QStringLiteral("postHeader"));
    auto* row = new QHBoxLayout(m_postHeader);
    row->setContentsMargins(10, 0, 10, 1);
    row->setSpacing(2);
    // The post switcher: the house at its left goes home, the rest lists the posts.
    m_currentPostButton = new PLYPostSelecorPopUpButton(m_postHeader);
    m_currentPostButton->setObjectName(QStringLiteral("currentPostButton"));
    m_currentPostButton->setFocusPolicy(Qt::NoFocus);
    QFont postFont = m_currentPostButton->font();
    postFont.setWeight(QFont::DemiBold);
    m_currentPostButton->setFont(postFont);
    m_currentPostButton->setMaximumWidth(360);
    m_currentPostButton->setHomeAction([this](PLYPostSelecorPopUpButton*) { goHomeAction(); });
    row->addWidget(m_currentPostButton);
    row->addStretch(1);

    m_negativeZoomButton = headerButton("negativeZoomButton", PLYInterfaceNames::ImageToolbarZoomOut, tr("Zoom Out"),
                                        m_postHeader);
    m_numberZoomButton = new QPushButton(m_postHeader);
    m_numberZoomButton->setObjectName(QStringLiteral("numberZoomButton"));
    m_numberZoomButton->setFocusPolicy(Qt::NoFocus);
    m_numberZoomButton->setToolTip(tr("Zoom to fit the layout"));
    m_positiveZoomButton = headerButton("positiveZoomButton", PLYInterfaceNames::ImageToolbarZoomIn, tr("Zoom In"),
                                        m_postHeader);
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(m_negativeZoomButton),
                                    static_cast<QAbstractButton*>(m_numberZoomButton),
                                    static_cast<QAbstractButton*>(m_positiveZoomButton)}) {
        connect(button, &QAbstractButton::clicked, this, [this, button] { zoomSelectionAction(button); });
        row->addWidget(button);
    }
    row->addSpacing(14);
    m_addButton = headerButton("addButton", PLYInterfaceNames::ImageToolbarAddBlock, tr("Add a block"), m_postHeader);
    connect(m_addButton, &QToolButton::clicked, this, &PLYBaseWindowController::addBlockAction);
    row->addWidget(m_addButton);
    row->addStretch(1);

    m_galleryCollapseButton = headerButton("galleryCollapseButton", PLYInterfaceNames::ImageToolbarGallery,
                                           tr("Show or hide the gallery"), m_postHeader, true);
    connect(m_galleryCollapseButton, &QToolButton::clicked, this, &PLYBaseWindowController::galleryShowAction);
    row->addWidget(m_galleryCollapseButton);
    m_seoCollapseButton = headerButton("seoCollapseButton", PLYInterfaceNames::ImageToolbarInspector,
                                       tr("Show or hide the inspector"), m_postHeader, true);
    connect(m_seoCollapseButton, &QToolButton::clicked, this, &PLYBaseWindowController::seoShowAction);
    row->addWidget(m_seoCollapseButton);

    // Both fill the title bar; one at a time is visible.
    auto* overlay = new QGridLayout;
    overlay->setContentsMargins(0, 0, 0, 0);
    overlay->addWidget(m_homeHeader, 0, 0);
    overlay->addWidget(m_postHeader, 0, 0);
    stack->addLayout(overlay);
    return m_header;
}

QWidget* PLYBaseWindowController::contentView() const { return centralWidget(); }

PLYAuthViewController* PLYBaseWindowController::authViewController() const { return m_root->authViewController(); }

bool PLYBaseWindowController::isEditorShown() const { return m_root->screen() == PLYRootNavigation::Screen::Editor; }

QList<QWidget*> PLYBaseWindowController::postControls() const {
    return {m_currentPostButton, m_negativeZoomButton,    m_numberZoomButton, m_positiveZoomButton,
            m_addButton,         m_galleryCollapseButton, m_seoCollapseButton};
}

// ---- title bar ----------------------------------------------------------------------------------------

void PLYBaseWindowController::updateCurrentPostTitle() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto manager = core ? core->currentPostManager() : nullptr;
    const auto post = manager ? manager->representedPost() : nullptr;
    if (!post || post->name().isEmpty()) return;
    // The switcher elides the name itself and keeps its "&" from becoming a shortcut.
    m_currentPostButton->setTitle(post->name());
    m_currentPostButton->setToolTip(PLYSafeText::toolTip(post->name()));
    setWindowTitle(tr("%1 — Pellory").arg(PLYSafeText::escapedWindowTitle(post->name())));
}

void PLYBaseWindowController::setHeaderState(int state, bool animate) {
    updateCurrentPostTitle();
    m_headerState = state;
    if (state != 0) {
        setWindowTitle(QStringLiteral("Pellory"));
        // The palette belongs to the post's controls.
        if (m_dragPopOver && m_dragPopOver->isVisible()) m_dragPopOver->closePopover();
    }
    const double homeAlpha = state != 0 ? 1.0 : 0.0;
    const double postAlpha = 1.0 - homeAlpha;
    if (!animate) {
        setAlpha(m_homeHeader, homeAlpha);
        setAlpha(m_postHeader, postAlpha);
        return;
    }
    for (const auto& [widget, alpha] : {std::pair{m_homeHeader, homeAlpha}, std::pair{m_postHeader, postAlpha}}) {
        // A hidden part starts from transparent.
        if (widget->isHidden()) setAlpha(widget, 0.0);
        if (alpha > 0) widget->show();
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
        QPointer<QWidget> target(widget);
        PLYAnimator::shared()->animate(effect, "opacity", alpha, HeaderAnimationMs, [target, alpha] {
            // Faded out: hidden, so its controls take no clicks.
            if (target && alpha <= 0) target->hide();
        });
    }
}

void PLYBaseWindowController::visualStateHandlerSetPostHeaderVisible(PLYVisualStateHandler*, bool visible) {
    setHeaderState(PLYRootNavigation::headerState(visible), true);
}

void PLYBaseWindowController::visualStateHandlerSetGalleryVisible(PLYVisualStateHandler* handler, bool) {
    m_galleryCollapseButton->setChecked(handler->galleryVisible());
}

void PLYBaseWindowController::visualStateHandlerSetInspectorVisible(PLYVisualStateHandler* handler, bool) {
    m_seoCollapseButton->setChecked(handler->inspectorVisible());
}

void PLYBaseWindowController::visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double factor) {
    m_numberZoomButton->setText(PLYRootNavigation::zoomLabel(factor));
}

// ---- actions ------------------------------------------------------------------------------------------

void PLYBaseWindowController::goHomeAction() {
    if (PLYCoreManager* core = PLYCoreManager::globalManager()) core->setCurrentPostManager(nullptr);
}

void PLYBaseWindowController::showPostMenu() { m_currentPostButton->showPostMenu(); }

QMenu* PLYBaseWindowController::postMenu() const { return m_currentPostButton->postMenu(); }

void PLYBaseWindowController::moveToPost(int tag) { m_currentPostButton->moveToPost(tag); }

void PLYBaseWindowController::addBlockAction() {
    if (!m_dragPopOver) {
        m_popOverView = PLYAddBlockPopover::makePopOverView();
        m_dragPopOver = new PLYOnboardingPopover(m_popOverView, this);
        m_dragPopOver->setObjectName(QStringLiteral("dragPopOver"));
    }
    m_dragPopOver->showRelativeToRect(m_addButton->rect(), m_addButton, PLYOnboardingPopover::Edge::Below);
}

void PLYBaseWindowController::zoomSelectionAction(QObject* sender) {
    // Zoom acts on a layout: only with an editor on screen.
    if (!isEditorShown()) return;
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    if (sender == m_negativeZoomButton) handler->decrementLayoutZoomFactorBy(ZoomStep);
    else if (sender == m_positiveZoomButton) handler->incrementLayoutZoomFactorBy(ZoomStep);
    else handler->setLayoutZoomToFit();
}

void PLYBaseWindowController::galleryShowAction() {
    PLYVisualStateHandler::globalHandler()->toggleGalleryVisible();
    // The button shows the handler's flag, not the click.
    m_galleryCollapseButton->setChecked(PLYVisualStateHandler::globalHandler()->galleryVisible());
}

void PLYBaseWindowController::seoShowAction() {
    PLYVisualStateHandler::globalHandler()->toggleInspectorVisible();
    m_seoCollapseButton->setChecked(PLYVisualStateHandler::globalHandler()->inspectorVisible());
}

#include "PLYPostSelecorPopUpButton.h"

#include "PLYCoreManager.h"
#include "PLYInterfaceNames.h"
#include "PLYNamedImage.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSafeText.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

QImage namedImage(const char* name, QSizeF size, qreal ratio) {
    QImage image = PLYNamedImage::image(QLatin1String(name), (size * ratio).toSize());
    image.setDevicePixelRatio(ratio);
    return image;
}

QString currentPostIdentifier() {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto manager = core ? core->currentPostManager() : nullptr;
    const auto post = manager ? manager->representedPost() : nullptr;
    return post ? post->identifier() : QString();
}

}  // namespace

PLYPostSelecorPopUpButton::PLYPostSelecorPopUpButton(QWidget* parent) : QPushButton(parent) {
    setObjectName(QStringLiteral("PLYPostSelecorPopUpButton"));
    setToolTip(tr("Switch to another post; the house at the left goes home"));
    setHomeAction(&PLYPostSelecorPopUpButton::goHome);
}

void PLYPostSelecorPopUpButton::goHome(PLYPostSelecorPopUpButton*) {
    if (PLYCoreManager* core = PLYCoreManager::globalManager()) core->setCurrentPostManager(nullptr);
}

QSize PLYPostSelecorPopUpButton::sizeHint() const {
    const int title = m_title.isEmpty() ? 0 : fontMetrics().horizontalAdvance(m_title) + 10;
    return QSize(int(HomeZoneWidth) + 14 + title + ArrowStripWidth, 24);
}

void PLYPostSelecorPopUpButton::setTitleFromPostManager(const std::shared_ptr<PLYPostManager>& manager) {
    const auto post = manager ? manager->representedPost() : nullptr;
    setTitle(post ? post->name() : QString());
}

void PLYPostSelecorPopUpButton::setTitle(const QString& name) {
    m_title = name;
    // The button's own text carries the name with "&" doubled, so Qt registers no shortcut.
    setText(PLYSafeText::escapedMnemonic(name));
    updateGeometry();
    update();
}

// ---- Menu ----

QList<PLYPostSwitcherEntry> PLYPostSelecorPopUpButton::menuEntries(const QList<std::shared_ptr<PLYPersistantPost>>& posts,
                                                                   const QString& currentPostIdentifier) {
    QList<PLYPostSwitcherEntry> published, unpublished;
    for (int i = 0; i < posts.size(); ++i) {
        const auto& post = posts[i];
        PLYPostSwitcherEntry entry;
        // A menu would take "&" in a name for an accelerator.
        entry.title = PLYSafeText::escapedMnemonic(post->name());
        entry.tag = i;
        entry.checked = !currentPostIdentifier.isEmpty() && post->identifier() == currentPostIdentifier;
        (post->remoteIdentifier().isEmpty() ? unpublished : published) << entry;
    }
    PLYPostSwitcherEntry separator;
    separator.separator = true;
    return published + QList<PLYPostSwitcherEntry>{separator} + unpublished;
}

void PLYPostSelecorPopUpButton::showPostMenu() {
    const auto store = PLYCoreManager::persistantStore();
    const auto account = store ? store->currentAccount() : nullptr;
    m_tmpPosts = account ? account->currentPostsSortedByKeys({QStringLiteral("name"), QStringLiteral("creationDate")}, true)
                         : QList<std::shared_ptr<PLYPersistantPost>>();
    if (m_menu) m_menu->deleteLater();
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("postSwitcherMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose, false);
    for (const PLYPostSwitcherEntry& entry : menuEntries(m_tmpPosts, currentPostIdentifier())) {
        if (entry.separator) {
            m_menu->addSeparator();
            continue;
        }
        QAction* action = m_menu->addAction(entry.title);
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setData(entry.tag);
        const int tag = entry.tag;
        connect(action, &QAction::triggered, this, [this, tag] { moveToPost(tag); });
    }
    m_menu->popup(mapToGlobal(QPoint(0, height())));
}

void PLYPostSelecorPopUpButton::moveToPost(int tag) {
    if (tag < 0 || tag >= m_tmpPosts.size()) return;
    const auto post = m_tmpPosts[tag];
    PLYCoreManager* core = PLYCoreManager::globalManager();
    // Choosing the post already shown keeps its editor as it is.
    if (!core || !post || post->identifier() == currentPostIdentifier()) return;
    if (const auto manager = core->postManagerForPostID(post->identifier())) core->setCurrentPostManager(manager);
}

// ---- Clicks ----

void PLYPostSelecorPopUpButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QPushButton::mousePressEvent(event);
    if (event->position().x() <= HomeZoneWidth && m_homeAction) {
        m_triggerHome = true;
        event->accept();
        return;
    }
    m_triggerHome = false;
    QPushButton::mousePressEvent(event);
    showPostMenu();
}

void PLYPostSelecorPopUpButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_triggerHome && m_homeAction) {
        m_triggerHome = false;
        event->accept();
        m_homeAction(this);
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

// ---- Drawing ----

void PLYPostSelecorPopUpButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal ratio = devicePixelRatioF();
    const qreal h = height();
    const qreal bezelWidth = std::max<qreal>(0, width() - ArrowStripWidth);

    // The bezel: the background image with its rounded ends kept and its middle stretched.
    const qreal cap = 8.0 * h / 22.0;
    const QImage bg = namedImage(PLYInterfaceNames::ImageToolbarButtonBackground, QSizeF(28.0 * h / 22.0, h), ratio);
    if (!bg.isNull() && bezelWidth > 2 * cap) {
        const qreal imageWidth = bg.width() / ratio;
        const auto source = [&](qreal x, qreal w) { return QRectF(x * ratio, 0, w * ratio, bg.height()); };
        painter.drawImage(QRectF(0, 0, cap, h), bg, source(0, cap));
        painter.drawImage(QRectF(cap, 0, bezelWidth - 2 * cap, h), bg, source(cap, imageWidth - 2 * cap));
        painter.drawImage(QRectF(bezelWidth - cap, 0, cap, h), bg, source(imageWidth - cap, cap));
    }

    // The home zone: a small house, and a hairline where the zone ends.
    const QColor ink(0x4A, 0x4A, 0x4A);
    painter.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal cy = h / 2.0;
    QPainterPath house;
    house.moveTo(3.5, cy - 0.5);
    house.lineTo(8.0, cy - 4.5);
    house.lineTo(12.5, cy - 0.5);
    house.moveTo(5.0, cy - 1.5);
    house.lineTo(5.0, cy + 4.0);
    house.lineTo(11.0, cy + 4.0);
    house.lineTo(11.0, cy - 1.5);
    painter.drawPath(house);
    painter.setPen(QPen(QColor(0xC4, 0xC4, 0xC4), 1.0));
    painter.drawLine(QPointF(HomeZoneWidth + 1.5, 4), QPointF(HomeZoneWidth + 1.5, h - 4));

    // The current post's name.
    if (!m_title.isEmpty()) {
        const QRectF textRect(HomeZoneWidth + 7, 0, bezelWidth - HomeZoneWidth - 12, h);
        painter.setPen(isEnabled() ? QColor(0x2E, 0x2E, 0x2E) : QColor(0x9A, 0x9A, 0x9A));
        painter.setFont(font());
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(m_title, Qt::ElideRight, int(textRect.width())));
    }

    // The arrow, at its own size in the strip on the right.
    const QSizeF arrowSize(10, 6);
    const QImage arrow = namedImage(PLYInterfaceNames::ImageDocumentSwitcherArrow, arrowSize, ratio);
    const QPointF arrowOrigin(bezelWidth + (ArrowStripWidth - arrowSize.width()) / 2.0, (h - arrowSize.height()) / 2.0);
    painter.drawImage(QRectF(arrowOrigin, arrowSize), arrow);
}

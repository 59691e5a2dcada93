#include "PLYInspectorViewController.h"

#include "InspectorBGView.h"
#include "PLYDocumentViewController.h"
#include "PLYInspectorStyle.h"
#include "PLYPostManager.h"
#include "PLYPropertyViewController.h"
#include "PLYPublishViewController.h"
#include "PLYSeoViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

enum class Glyph { Document, Properties, Seo };

// The tab buttons' glyphs, drawn for 1x and 2x screens.
QIcon tabIcon(Glyph glyph) {
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(18, 18) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x4A, 0x4A, 0x4A), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        switch (glyph) {
        case Glyph::Document: {
            QPainterPath page;
            page.moveTo(4, 2);
            page.lineTo(11, 2);
            page.lineTo(14.5, 5.5);
            page.lineTo(14.5, 16);
            page.lineTo(4, 16);
            page.closeSubpath();
            p.drawPath(page);
            p.drawLine(QPointF(6.5, 8.5), QPointF(12, 8.5));
            p.drawLine(QPointF(6.5, 11), QPointF(12, 11));
            p.drawLine(QPointF(6.5, 13.5), QPointF(10, 13.5));
            break;
        }
        case Glyph::Properties:
            for (int i = 0; i < 3; ++i) {
                const qreal y = 4.5 + i * 4.5;
                const qreal knob = i == 1 ? 11.5 : (i == 0 ? 6 : 9);
                p.drawLine(QPointF(2.5, y), QPointF(15.5, y));
                p.setBrush(Qt::white);
                p.drawEllipse(QPointF(knob, y), 1.9, 1.9);
                p.setBrush(Qt::NoBrush);
            }
            break;
        case Glyph::Seo:
            p.drawEllipse(QPointF(7.5, 7.5), 4.8, 4.8);
            p.setPen(QPen(QColor(0x4A, 0x4A, 0x4A), 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(11.2, 11.2), QPointF(15.5, 15.5));
            break;
        }
        p.end();
        icon.addPixmap(pixmap, QIcon::Normal, QIcon::Off);
        icon.addPixmap(pixmap, QIcon::Normal, QIcon::On);
    }
    return icon;
}

QToolButton* tabButton(Glyph glyph, const QString& tip, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setIcon(tabIcon(glyph));
    button->setIconSize(QSize(18, 18));
    button->setFixedSize(30, 26);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::TabFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 5px; }"
                                         "QToolButton:checked { background: rgba(0, 0, 0, 0.09); }"
                                         "QToolButton:hover:!checked { background: rgba(0, 0, 0, 0.05); }"));
    return button;
}

QScrollArea* tabViewItem(const char* name, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setObjectName(QLatin1String(name));
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

}  // namespace

PLYInspectorViewController::PLYInspectorViewController(QWidget* parent) : PLYGenericPostViewController(parent) {
    setObjectName(QStringLiteral("PLYInspectorViewController"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    QFont base = font();
    base.setPixelSize(PLYInspectorStyle::BodyPixelSize);
    setFont(base);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* header = new InspectorBGView(this);
    header->setObjectName(QStringLiteral("inspectorHeaderView"));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(10, 7, 10, 7);
    m_headerStackView = new QWidget(header);
    m_headerStackView->setObjectName(QStringLiteral("headerStackView"));
    auto* stack = new QHBoxLayout(m_headerStackView);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    m_headerDocumentButton = tabButton(Glyph::Document, tr("Document"), "headerDocumentButton", m_headerStackView);
    m_headerPropertyButton = tabButton(Glyph::Properties, tr("Properties"), "headerPropertyButton", m_headerStackView);
    m_headerSEOButton = tabButton(Glyph::Seo, tr("SEO"), "headerSEOButton", m_headerStackView);
    m_headerLabel = new QLabel(m_headerStackView);
    m_headerLabel->setObjectName(QStringLiteral("headerLabel"));
    QFont title = m_headerLabel->font();
    title.setWeight(QFont::DemiBold);
    m_headerLabel->setFont(title);
    m_headerLabel->setContentsMargins(2, 0, 8, 0);
    stack->addWidget(m_headerDocumentButton);
    stack->addWidget(m_headerLabel);
    stack->addWidget(m_headerPropertyButton);
    stack->addWidget(m_headerSEOButton);
    headerRow->addWidget(m_headerStackView);
    headerRow->addStretch(1);
    root->addWidget(header);
    connect(m_headerDocumentButton, &QToolButton::clicked, this, [this] { selectDocumentTab(); });
    connect(m_headerPropertyButton, &QToolButton::clicked, this, [this] { selectPropertyTab(); });
    connect(m_headerSEOButton, &QToolButton::clicked, this, [this] { selectSEOTab(); });

    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    m_documentTabViewItem = tabViewItem("documentTabViewItem", m_tabView);
    m_propertyTabViewItem = tabViewItem("propertyTabViewItem", m_tabView);
    m_seoTabViewItem = tabViewItem("seoTabViewItem", m_tabView);
    m_tabView->addWidget(m_documentTabViewItem);
    m_tabView->addWidget(m_propertyTabViewItem);
    m_tabView->addWidget(m_seoTabViewItem);
    root->addWidget(m_tabView, 1);

    // The children the interface embeds.
    embedDocumentViewController(new PLYDocumentViewController);
    embedPropertyViewController(new PLYPropertyViewController,
                                [](QWidget* page, const std::shared_ptr<PLYLayoutManager>& layoutManager) {
                                    if (auto* properties = qobject_cast<PLYPropertyViewController*>(page))
                                        properties->setLayoutManager(layoutManager);
                                });
    embedSeoViewController(new PLYSeoViewController);
    embedPublishViewController(new PLYPublishViewController);

    selectDocumentTab();
}

PLYInspectorViewController::~PLYInspectorViewController() { followLayoutManager(nullptr); }

std::shared_ptr<PLYLayoutManager> PLYInspectorViewController::layoutManager() const {
    return postManager() ? postManager()->layoutManager() : nullptr;
}

void PLYInspectorViewController::setPostManager(std::shared_ptr<PLYPostManager> manager) {
    PLYGenericPostViewController::setPostManager(std::move(manager));
    const auto layout = layoutManager();
    // The post tabs take the post as their represented object, as every post pane does.
    if (m_publishViewController) m_publishViewController->setRepresentedObject(postManager());
    if (m_documentViewController && layout) m_documentViewController->setLayoutManager(layout);
    if (m_propertyViewController && m_propertyHandOver && layout) m_propertyHandOver(m_propertyViewController, layout);
    if (m_seoViewController) m_seoViewController->setRepresentedObject(postManager());
    followLayoutManager(layout);
}

void PLYInspectorViewController::followLayoutManager(const std::shared_ptr<PLYLayoutManager>& layoutManager) {
    const auto followed = m_followedLayoutManager.lock();
    if (followed == layoutManager) {
        if (followed) followed->addInteractionProxy(this);  // idempotent
        return;
    }
    if (followed) followed->removeInteractionProxy(this);
    m_followedLayoutManager = layoutManager;
    if (layoutManager) layoutManager->addInteractionProxy(this);
}

// ---- Children ----

QScrollArea* PLYInspectorViewController::tabPage(Tab tab) const {
    switch (tab) {
    case DocumentTab: return m_documentTabViewItem;
    case PropertyTab: return m_propertyTabViewItem;
    case SeoTab: return m_seoTabViewItem;
    }
    return nullptr;
}

void PLYInspectorViewController::setTabContent(Tab tab, QWidget* content) {
    QScrollArea* page = tabPage(tab);
    delete page->takeWidget();
    page->setWidget(content);
}

void PLYInspectorViewController::embedDocumentViewController(PLYDocumentViewController* controller) {
    if (!controller || controller == m_documentViewController) return;
    setTabContent(DocumentTab, controller);
    m_documentViewController = controller;
    if (const auto layout = layoutManager()) controller->setLayoutManager(layout);
}

void PLYInspectorViewController::embedPropertyViewController(QWidget* page, LayoutManagerHandOver handOver) {
    if (!page || page == m_propertyViewController) return;
    page->setObjectName(page->objectName().isEmpty() ? QStringLiteral("propertyViewController") : page->objectName());
    setTabContent(PropertyTab, page);
    m_propertyViewController = page;
    m_propertyHandOver = std::move(handOver);
    if (const auto layout = layoutManager(); layout && m_propertyHandOver) m_propertyHandOver(page, layout);
}

void PLYInspectorViewController::embedSeoViewController(PLYSeoViewController* controller) {
    if (!controller || controller == m_seoViewController) return;
    setTabContent(SeoTab, controller);
    m_seoViewController = controller;
    if (postManager()) controller->setRepresentedObject(postManager());
}

void PLYInspectorViewController::embedPublishViewController(PLYPublishViewController* controller) {
    if (!controller || controller == m_publishViewController) return;
    auto* root = static_cast<QVBoxLayout*>(layout());
    delete m_publishViewController;
    m_publishViewController = controller;
    controller->setParent(this);
    root->addWidget(controller);
    if (postManager()) controller->setRepresentedObject(postManager());
}

// ---- Tabs ----

void PLYInspectorViewController::selectDocumentTab() { selectTab(DocumentTab, tr("Document")); }
void PLYInspectorViewController::selectPropertyTab() { selectTab(PropertyTab, tr("Properties")); }
void PLYInspectorViewController::selectSEOTab() { selectTab(SeoTab, tr("SEO")); }

void PLYInspectorViewController::selectTab(Tab tab, const QString& title) {
    // The label stands right after the selected tab's button.
    moveHeaderLabelToIndex(int(tab) + 1, title);
    m_headerDocumentButton->setChecked(tab == DocumentTab);
    m_headerPropertyButton->setChecked(tab == PropertyTab);
    m_headerSEOButton->setChecked(tab == SeoTab);
    m_tabView->setCurrentIndex(int(tab));
}

void PLYInspectorViewController::moveHeaderLabelToIndex(int index, const QString& title) {
    auto* stack = static_cast<QHBoxLayout*>(m_headerStackView->layout());
    stack->removeWidget(m_headerLabel);
    m_headerLabel->setText(title);
    stack->insertWidget(std::clamp(index, 0, int(stack->count())), m_headerLabel);
}

int PLYInspectorViewController::currentTabIndex() const { return m_tabView->currentIndex(); }

void PLYInspectorViewController::layoutManagerDidSelectBlocks(PLYLayoutManager*, const QList<PLYBlock*>& blocks) {
    if (!blocks.isEmpty()) selectPropertyTab();
}

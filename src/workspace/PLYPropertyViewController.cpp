#include "PLYPropertyViewController.h"

#include "PLYBlockView.h"
#include "PLYColourWell.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYElidedLabel.h"
#include "PLYImageManager.h"
#include "PLYImageStackView.h"
#include "PLYInspectorStyle.h"
#include "PLYKeywordTokenField.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPopUpButton.h"
#include "PLYPostManager.h"
#include "PLYRichTextDocument.h"
#include "PLYRichTextEditor.h"
#include "PLYSafeText.h"
#include "PLYSegmentedControl.h"
#include "PLYSeoManager.h"
#include "PLYSourceImage.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

using PLYPropertyPages::Page;

namespace {

using PLYInspectorStyle::detailLabel;
using PLYInspectorStyle::fieldLabel;
using PLYInspectorStyle::sectionHeading;

// Rebuilding the edit views waits for the views to follow the change first.
constexpr int EditViewsRebuildDelayMs = 100;

QString idOf(const PLYBlock& block) { return QString::fromStdString(block.id()); }
QString imageRefOf(const PLYBlock& block) { return QString::fromStdString(block.image().img_ref()); }

// Edit views are rebuilt once the views have followed a change of the edit block's shape.
void rebuildEditViewsSoon(const std::weak_ptr<PLYLayoutManager>& manager) {
    const auto strong = manager.lock();
    if (!strong || !strong->currentEditBlock()) return;
    QTimer::singleShot(EditViewsRebuildDelayMs, [manager] {
        if (const auto later = manager.lock(); later && later->currentEditBlock()) later->editBlockDidChangeStructure();
    });
}

// Undoing puts each image's keywords back as `keywords` hold them and registers the way back.
void registerKeywordRestore(PLYUndoManager* undo, const std::shared_ptr<PLYPersistantPost>& post,
                            const QHash<QString, QStringList>& keywords) {
    const std::weak_ptr<PLYPersistantPost> weak = post;
    undo->registerUndo(
        [undo, weak, keywords] {
            const auto strong = weak.lock();
            if (!strong) return;
            QHash<QString, QStringList> back;
            for (auto it = keywords.cbegin(); it != keywords.cend(); ++it) {
                back.insert(it.key(), strong->focusKeywordsForImage(it.key()));
                strong->setFocusKeywordsForImage(it.value(), it.key());
            }
            registerKeywordRestore(undo, strong, back);
        },
        post.get());
}

// The text handler of a block view; nothing for a view of another kind or no view.
PLYLayoutBlockInteractionHandler_Text* textHandlerOf(PLYBlockView* view) {
    return view ? dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(view->interactionHandler()) : nullptr;
}

// The layout view the user works in, where the edit views are.
PLYLayoutViewProxy* liveProxy(const std::shared_ptr<PLYLayoutManager>& manager) {
    return manager ? dynamic_cast<PLYLayoutViewProxy*>(manager->liveLayoutViewProxy()) : nullptr;
}

// ---- Controls ----

QWidget* page(const char* name, QStackedWidget* stack) {
    auto* widget = new QWidget(stack);
    widget->setObjectName(QLatin1String(name));
    stack->addWidget(widget);
    return widget;
}

QVBoxLayout* pageColumn(QWidget* page, const QString& heading) {
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(16, 14, 16, 16);
    column->setSpacing(10);
    if (!heading.isEmpty()) column->addWidget(sectionHeading(heading, page));
    return column;
}

// A label over its control: the inspector is too narrow for both side by side.
void addField(QVBoxLayout* column, QLabel* label, QWidget* control) {
    auto* field = new QVBoxLayout;
    field->setSpacing(4);
    field->addWidget(label);
    field->addWidget(control);
    column->addLayout(field);
}

void addField(QVBoxLayout* column, QLabel* label, QLayout* controls) {
    auto* field = new QVBoxLayout;
    field->setSpacing(4);
    field->addWidget(label);
    field->addLayout(controls);
    column->addLayout(field);
}

PLYPopUpButton* ratioPopUp(const char* name, QWidget* parent) {
    auto* popUp = new PLYPopUpButton(parent);
    popUp->setObjectName(QLatin1String(name));
    for (int preset = 0; preset < PLYAspectRatio::PresetCount; ++preset)
        popUp->addItem(PLYAspectRatio::titleForPreset(preset), preset);
    return popUp;
}

QPushButton* pushButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

enum class Glyph { AlignLeft, AlignCentre, AlignRight, Justify, Link };

// Small line glyphs for the alignment segments and the link button, for 1x and 2x screens, with
// a paler drawing for the disabled state.
QIcon glyphIcon(Glyph glyph) {
    QIcon icon;
    for (const auto& [mode, colour] : {std::pair{QIcon::Normal, QColor(0x3A, 0x3A, 0x3A)},
                                       std::pair{QIcon::Disabled, QColor(0xB4, 0xB4, 0xB4)}}) {
        for (const qreal ratio : {1.0, 2.0}) {
            QPixmap pixmap(QSize(16, 16) * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            if (glyph == Glyph::Link) {
                p.translate(8, 8);
                p.rotate(-45);
                p.drawRoundedRect(QRectF(-7, -2.6, 7.6, 5.2), 2.6, 2.6);
                p.drawRoundedRect(QRectF(-0.6, -2.6, 7.6, 5.2), 2.6, 2.6);
            } else {
                const qreal widths[] = {12, 8, 12, 7};
                for (int i = 0; i < 4; ++i) {
                    const qreal y = 3.5 + i * 3;
                    const qreal w = glyph == Glyph::Justify ? 12 : widths[i];
                    qreal x = 2;
                    if (glyph == Glyph::AlignCentre) x = 8 - w / 2;
                    if (glyph == Glyph::AlignRight) x = 14 - w;
                    p.drawLine(QPointF(x, y), QPointF(x + w, y));
                }
            }
            p.end();
            icon.addPixmap(pixmap, mode);
        }
    }
    return icon;
}

PLYSegmentedControl* alignmentSegments(const char* name, QWidget* parent) {
    auto* control = new PLYSegmentedControl(parent);
    control->setObjectName(QLatin1String(name));
    control->addSegment({}, QObject::tr("Left"), glyphIcon(Glyph::AlignLeft));
    control->addSegment({}, QObject::tr("Centre"), glyphIcon(Glyph::AlignCentre));
    control->addSegment({}, QObject::tr("Right"), glyphIcon(Glyph::AlignRight));
    control->addSegment({}, QObject::tr("Justify"), glyphIcon(Glyph::Justify));
    return control;
}

PLYSegmentedControl* widthSegments(const char* name, QWidget* parent) {
    auto* control = new PLYSegmentedControl(parent);
    control->setObjectName(QLatin1String(name));
    for (int preset = 0; preset < 4; ++preset) {
        const int percent = int(std::lround(PLYLayoutManager::widthValueForTextWidth(preset) * 100));
        control->addSegment(QStringLiteral("%1%").arg(percent),
                            QObject::tr("%1% of the block's width").arg(percent));
    }
    return control;
}

QToolButton* formatButton(const QString& text, const char* name, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolTip(tip);
    button->setCheckable(true);
    button->setFixedSize(30, 24);
    // A click must leave the keyboard, and the selection it acts on, with the words being edited.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Puts `text` in a field unless the user is typing in it.
void fillField(QLineEdit* field, const QString& text) {
    if (field->hasFocus() && field->isModified()) return;
    if (field->text() != text) field->setText(text);
    field->setModified(false);
}

// The value every block shares, or nothing.
template <class T, class F>
std::optional<T> common(const QList<PLYBlock*>& blocks, F value) {
    std::optional<T> shared;
    for (const PLYBlock* block : blocks) {
        const T v = value(*block);
        if (shared && !(*shared == v)) return std::nullopt;
        shared = v;
    }
    return shared;
}

void applyRatioMenu(PLYPopUpButton* popUp, const PLYPropertyPages::RatioMenu& menu) {
    if (menu.commonPreset) {
        popUp->selectItemWithTag(*menu.commonPreset);
        return;
    }
    popUp->selectItemWithTag(-1);
    popUp->setItemStates(menu.checkedPresets);
    popUp->setTitle(menu.title);
}

}  // namespace

PLYPropertyViewController::PLYPropertyViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYPropertyViewController"));
    QFont base = font();
    base.setPixelSize(PLYInspectorStyle::BodyPixelSize);
    setFont(base);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    root->addWidget(m_tabView);

    buildEmptyPage();
    buildImagePage();
    buildBlankPage();
    buildTextPage();
    buildDownloadPage();

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &PLYPropertyViewController::refresh);

    // Pictures of the shown image may arrive after the page: a sharper decode, new renditions.
    m_observers.add(QString::fromLatin1(PLYDecodedImageCache::DecodedNotification), nullptr, [this](const PLYNotification& n) {
        if (!m_shownImageId.isEmpty() && n.userInfo.value(QStringLiteral("identifier")).toString() == m_shownImageId)
            m_refreshTimer.start();
    });
    m_observers.add(QString::fromLatin1(PLYImageManager::CacheCreatedNotification), nullptr, [this](const PLYNotification&) {
        // Posted from the image cache's threads too.
        QPointer<PLYPropertyViewController> self(this);
        QMetaObject::invokeMethod(this, [self] {
            if (self && !self->m_shownImageId.isEmpty()) self->m_refreshTimer.start();
        }, Qt::QueuedConnection);
    });

    showMessage(QString::fromLatin1(PLYPropertyPages::NoBlockSelectedMessage));
}

PLYPropertyViewController::~PLYPropertyViewController() {
    if (m_layoutManager) m_layoutManager->removeInteractionProxy(this);
    if (!m_shownImageId.isEmpty()) PLYDecodedImageCache::sharedCache()->cancelAll(this);
}

// ---- Pages ----

void PLYPropertyViewController::buildEmptyPage() {
    m_emptyTabViewItem = page("emptyTabViewItem", m_tabView);
    auto* column = pageColumn(m_emptyTabViewItem, {});
    m_otherInfoLabel = detailLabel({}, m_emptyTabViewItem);
    m_otherInfoLabel->setObjectName(QStringLiteral("otherInfoLabel"));
    m_otherInfoLabel->setAlignment(Qt::AlignCenter);
    m_otherInfoLabel->setWordWrap(true);
    QFont font = m_otherInfoLabel->font();
    font.setPixelSize(14);
    m_otherInfoLabel->setFont(font);
    column->addSpacing(40);
    column->addWidget(m_otherInfoLabel);
    column->addStretch(1);
}

void PLYPropertyViewController::buildImagePage() {
    QWidget* p = m_imageTabViewItem = page("imageTabViewItem", m_tabView);
    auto* column = pageColumn(p, tr("Image"));
    m_imageStack = new PLYImageStackView(p);
    column->addWidget(m_imageStack);
    m_imageNameTextField = new PLYElidedLabel(p, Qt::ElideMiddle);
    m_imageNameTextField->setObjectName(QStringLiteral("imageNameTextField"));
    m_imageNameTextField->setAlignment(Qt::AlignHCenter);
    QFont name = m_imageNameTextField->font();
    name.setWeight(QFont::DemiBold);
    m_imageNameTextField->setFont(name);
    column->addWidget(m_imageNameTextField);

    column->addSpacing(8);
    column->addWidget(sectionHeading(tr("Crop"), p));
    m_aspectRatioPopUpButton = ratioPopUp("aspectRatioPopUpButton", p);
    addField(column, fieldLabel(tr("Aspect ratio"), p), m_aspectRatioPopUpButton);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    m_revertAspectRatioButton = pushButton(tr("Reset Crop"), "revertAspectRatioButton", p);
    m_revertAspectRatioButton->setToolTip(tr("Show the whole picture at its own aspect ratio"));
    m_imageEditButton = pushButton(tr("Edit Crop"), "imageEditButton", p);
    buttons->addWidget(m_revertAspectRatioButton, 1);
    buttons->addWidget(m_imageEditButton, 1);
    column->addLayout(buttons);

    column->addSpacing(8);
    column->addWidget(sectionHeading(tr("Search engines"), p));
    m_imageKeywordTokenField = new PLYKeywordTokenField(p);
    m_imageKeywordTokenField->setObjectName(QStringLiteral("imageKeywordTokenField"));
    m_imageKeywordTokenField->setPlaceholderText(tr("Words separated by spaces"));
    addField(column, fieldLabel(tr("Image keywords"), p), m_imageKeywordTokenField);
    auto* hint = detailLabel(tr("They name the picture's file when the post is published."), p);
    hint->setWordWrap(true);
    column->addWidget(hint);
    column->addStretch(1);

    connect(m_aspectRatioPopUpButton, &PLYPopUpButton::activated, this,
            [this] { setImageAspectRatio(m_aspectRatioPopUpButton); });
    connect(m_revertAspectRatioButton, &QPushButton::clicked, this, &PLYPropertyViewController::revertImageAspectRatio);
    connect(m_imageEditButton, &QPushButton::clicked, this, &PLYPropertyViewController::enterEditMode);
    connect(m_imageKeywordTokenField, &PLYKeywordTokenField::keywordsEdited, this,
            &PLYPropertyViewController::setImageKeywords);
}

void PLYPropertyViewController::buildBlankPage() {
    QWidget* p = m_blankTabViewItem = page("blankTabViewItem", m_tabView);
    auto* column = pageColumn(p, tr("Spacer"));
    m_blankAspectRatioPopUpButton = ratioPopUp("blankAspectRatioPopUpButton", p);
    addField(column, fieldLabel(tr("Aspect ratio"), p), m_blankAspectRatioPopUpButton);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    m_blankRevertAspectRatioButton = pushButton(tr("Reset to 3:2"), "blankRevertAspectRatioButton", p);
    m_blankEditButton = pushButton(tr("Edit Size"), "blankEditButton", p);
    buttons->addWidget(m_blankRevertAspectRatioButton, 1);
    buttons->addWidget(m_blankEditButton, 1);
    column->addLayout(buttons);
    auto* hint = detailLabel(tr("A spacer is empty room between blocks; drag its handles in the layout to size it."), p);
    hint->setWordWrap(true);
    column->addWidget(hint);
    column->addStretch(1);

    connect(m_blankAspectRatioPopUpButton, &PLYPopUpButton::activated, this,
            [this] { setImageAspectRatio(m_blankAspectRatioPopUpButton); });
    connect(m_blankRevertAspectRatioButton, &QPushButton::clicked, this, &PLYPropertyViewController::revertImageAspectRatio);
    connect(m_blankEditButton, &QPushButton::clicked, this, &PLYPropertyViewController::enterEditMode);
}

void PLYPropertyViewController::buildTextPage() {
    QWidget* p = m_textTabViewItem = page("textTabViewItem", m_tabView);
    auto* column = pageColumn(p, tr("Text"));

    m_textStylePopUpButton = new PLYPopUpButton(p);
    m_textStylePopUpButton->setObjectName(QStringLiteral("textStylePopUpButton"));
    const std::pair<PLYTextStyle, QString> styles[] = {
        {PLYTextStyle_Title, tr("Title")},     {PLYTextStyle_Heading, tr("Heading")},
        {PLYTextStyle_Subheading, tr("Subheading")}, {PLYTextStyle_Body, tr("Body")},
        {PLYTextStyle_Caption, tr("Caption")}, {PLYTextStyle_Quote, tr("Quote")},
    };
    for (const auto& [style, title] : styles) m_textStylePopUpButton->addItem(title, int(style));
    addField(column, fieldLabel(tr("Style"), p), m_textStylePopUpButton);

    auto* format = new QHBoxLayout;
    format->setSpacing(4);
    m_textBoldButton = formatButton(QStringLiteral("B"), "textBoldButton", tr("Bold"), p);
    QFont bold = m_textBoldButton->font();
    bold.setBold(true);
    m_textBoldButton->setFont(bold);
    m_textItalicButton = formatButton(QStringLiteral("I"), "textItalicButton", tr("Italic"), p);
    QFont italic = m_textItalicButton->font();
    italic.setItalic(true);
    italic.setFamily(QStringLiteral("Serif"));
    m_textItalicButton->setFont(italic);
    m_textLinkButton = formatButton({}, "textLinkButton", tr("Link"), p);
    m_textLinkButton->setIcon(glyphIcon(Glyph::Link));
    m_textColourWell = new PLYColourWell(p);
    m_textColourWell->setObjectName(QStringLiteral("textColourWell"));
    m_textColourWell->setFixedSize(44, 24);
    m_textColourWell->setToolTip(tr("Text colour"));
    format->addWidget(m_textBoldButton);
    format->addWidget(m_textItalicButton);
    format->addWidget(m_textLinkButton);
    format->addSpacing(8);
    format->addWidget(m_textColourWell);
    format->addStretch(1);
    addField(column, fieldLabel(tr("Format"), p), format);

    m_textAlignmentSegmentControl = alignmentSegments("textAlignmentSegmentControl", p);
    addField(column, fieldLabel(tr("Alignment"), p), m_textAlignmentSegmentControl);
    m_textWidthSegmentControl = widthSegments("textWidthSegmentControl", p);
    addField(column, fieldLabel(tr("Width"), p), m_textWidthSegmentControl);
    m_textEditButton = pushButton(tr("Edit Text"), "textEditButton", p);
    column->addSpacing(4);
    column->addWidget(m_textEditButton, 0, Qt::AlignLeft);
    column->addStretch(1);

    connect(m_textStylePopUpButton, &PLYPopUpButton::activated, this, &PLYPropertyViewController::setTextStyle);
    connect(m_textAlignmentSegmentControl, &PLYSegmentedControl::segmentChosen, this,
            &PLYPropertyViewController::setTextAlignment);
    connect(m_textWidthSegmentControl, &PLYSegmentedControl::segmentChosen, this, &PLYPropertyViewController::setTextWidth);
    connect(m_textColourWell, &PLYColourWell::colourChosen, this, &PLYPropertyViewController::setTextColour);
    connect(m_textBoldButton, &QToolButton::clicked, this, &PLYPropertyViewController::setTextBold);
    connect(m_textItalicButton, &QToolButton::clicked, this, &PLYPropertyViewController::setTextItalic);
    connect(m_textLinkButton, &QToolButton::clicked, this, &PLYPropertyViewController::setTextLink);
    connect(m_textEditButton, &QPushButton::clicked, this, &PLYPropertyViewController::enterEditMode);
}

void PLYPropertyViewController::buildDownloadPage() {
    QWidget* p = m_downloadButtonTabViewItem = page("downloadButtonTabViewItem", m_tabView);
    auto* column = pageColumn(p, tr("Download button"));
    m_downloadTitleTextField = new QLineEdit(p);
    m_downloadTitleTextField->setObjectName(QStringLiteral("downloadTitleTextField"));
    m_downloadTitleTextField->setMaxLength(PLYLayoutManager::MaximumButtonTitleLength);
    addField(column, fieldLabel(tr("Title"), p), m_downloadTitleTextField);
    m_downloadPelloryStyleButton = new QCheckBox(tr("Pellory button style"), p);
    m_downloadPelloryStyleButton->setObjectName(QStringLiteral("downloadPelloryStyleButton"));
    column->addWidget(m_downloadPelloryStyleButton);
    m_downloadAlignmentSegmentControl = alignmentSegments("downloadAlignmentSegmentControl", p);
    addField(column, fieldLabel(tr("Alignment"), p), m_downloadAlignmentSegmentControl);
    m_downloadSizeSegmentControl = widthSegments("downloadSizeSegmentControl", p);
    addField(column, fieldLabel(tr("Size"), p), m_downloadSizeSegmentControl);
    auto* hint = detailLabel(tr("Readers download the post's pictures with this button."), p);
    hint->setWordWrap(true);
    column->addSpacing(4);
    column->addWidget(hint);
    column->addStretch(1);

    connect(m_downloadTitleTextField, &QLineEdit::editingFinished, this, &PLYPropertyViewController::setDownloadTitle);
    connect(m_downloadPelloryStyleButton, &QCheckBox::clicked, this, &PLYPropertyViewController::setDownloadStyle);
    connect(m_downloadAlignmentSegmentControl, &PLYSegmentedControl::segmentChosen, this,
            &PLYPropertyViewController::setDownloadAlignment);
    connect(m_downloadSizeSegmentControl, &PLYSegmentedControl::segmentChosen, this,
            &PLYPropertyViewController::setDownloadSize);
}

// ---- Following the layout manager ----

void PLYPropertyViewController::setLayoutManager(std::shared_ptr<PLYLayoutManager> layoutManager) {
    if (layoutManager != m_layoutManager) {
        if (m_layoutManager) m_layoutManager->removeInteractionProxy(this);
        m_layoutManager = std::move(layoutManager);
        m_layoutObservers.clear();  // the old manager's changes
        m_refreshTimer.stop();
    }
    if (!m_layoutManager) {
        showMessage(QString::fromLatin1(PLYPropertyPages::NoBlockSelectedMessage));
        return;
    }
    m_layoutManager->addInteractionProxy(this);  // idempotent
    m_layoutObservers.clear();                   // and so is this observer
    m_layoutObservers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), m_layoutManager.get(),
                          [this](const PLYNotification&) { m_refreshTimer.start(); });
    refresh();
}

void PLYPropertyViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void PLYPropertyViewController::refresh() {
    m_refreshTimer.stop();
    if (!m_layoutManager) return;
    showPageForBlocks(targetBlocks());
}

void PLYPropertyViewController::layoutManagerDidSelectBlocks(PLYLayoutManager*, const QList<PLYBlock*>& blocks) {
    showPageForBlocks(blocks);
}

void PLYPropertyViewController::layoutManagerDidRelayoutBlockProperties(PLYLayoutManager*) {
    // A crop or resize in edit mode: the page follows once the drag pauses.
    m_refreshTimer.start();
}

void PLYPropertyViewController::layoutManagerDidSetEditBlock(PLYLayoutManager* manager, PLYBlock* block) {
    showPageForBlocks(block ? QList<PLYBlock*>{block} : manager->currentSelectedBlocks());
}

PLYPropertyPages::Page PLYPropertyViewController::currentPage() const {
    QWidget* current = m_tabView->currentWidget();
    if (current == m_imageTabViewItem) return Page::Image;
    if (current == m_blankTabViewItem) return Page::Blank;
    if (current == m_textTabViewItem) return Page::Text;
    if (current == m_downloadButtonTabViewItem) return Page::DownloadButton;
    return Page::Empty;
}

void PLYPropertyViewController::showMessage(const QString& message) {
    m_otherInfoLabel->setText(message);
    m_tabView->setCurrentWidget(m_emptyTabViewItem);
    if (!m_shownImageId.isEmpty()) PLYDecodedImageCache::sharedCache()->cancelAll(this);
    m_shownImageId.clear();
}

void PLYPropertyViewController::showPageForBlocks(const QList<PLYBlock*>& blocks) {
    const auto choice = PLYPropertyPages::choose(QList<const PLYBlock*>(blocks.begin(), blocks.end()));
    m_filling = true;
    switch (choice.page) {
    case Page::Empty: showMessage(choice.message); break;
    case Page::Image: ensureImageTab(blocks); break;
    case Page::Blank:
        m_tabView->setCurrentWidget(m_blankTabViewItem);
        ensureBlankTab(blocks);
        break;
    case Page::Text:
        m_tabView->setCurrentWidget(m_textTabViewItem);
        ensureTextTab(blocks);
        break;
    case Page::DownloadButton:
        m_tabView->setCurrentWidget(m_downloadButtonTabViewItem);
        ensureDownloadTab(blocks);
        break;
    }
    if (choice.page != Page::Image && !m_shownImageId.isEmpty()) {
        PLYDecodedImageCache::sharedCache()->cancelAll(this);
        m_shownImageId.clear();
    }
    updateEditButtons();
    m_filling = false;
}

void PLYPropertyViewController::updateEditButtons() {
    const bool editing = m_layoutManager && m_layoutManager->currentEditBlock();
    m_imageEditButton->setText(editing ? tr("Done Editing") : tr("Edit Crop"));
    m_blankEditButton->setText(editing ? tr("Done Editing") : tr("Edit Size"));
    m_textEditButton->setText(editing ? tr("Done Editing") : tr("Edit Text"));
}

// ---- Page fillers ----

void PLYPropertyViewController::ensureImageTab(const QList<PLYBlock*>& blocks) {
    if (blocks.isEmpty()) return;
    const auto store = PLYCoreManager::persistantStore();
    const QString ref = imageRefOf(*blocks.first());
    const auto source = store ? store->imageForIdentifier(ref) : nullptr;
    if (!source) {
        showMessage(QString::fromLatin1(PLYPropertyPages::ImageNotFoundMessage));
        return;
    }
    m_tabView->setCurrentWidget(m_imageTabViewItem);

    // The export rendition is sharp on any screen; the small preview stands in until it is decoded.
    if (ref != m_shownImageId && !m_shownImageId.isEmpty()) PLYDecodedImageCache::sharedCache()->cancelAll(this);
    m_shownImageId = ref;
    QImage picture = PLYDecodedImageCache::sharedCache()->imageForIdentifier(ref, PLYDecodedImageCache::Export, this,
                                                                             PLYDecodedImageCache::PriorityVisible);
    if (picture.isNull()) {
        if (PLYImageManager* images = PLYCoreManager::imageManager()) {
            picture = images->previewImageForIdentifier(ref);
            if (picture.isNull() && !images->isPending(ref)) images->requestRenditions(source);
        }
    }
    m_imageStack->setImage(picture);

    const auto postManager = m_layoutManager ? m_layoutManager->postManager() : nullptr;
    const auto post = postManager ? postManager->representedPost() : nullptr;
    QList<PLYAspectRatio> ratios;
    if (blocks.size() == 1) {
        m_imageNameTextField->setText(QFileInfo(source->path()).completeBaseName());
        m_imageNameTextField->setToolTip(PLYSafeText::toolTip(QFileInfo(source->path()).fileName()));
        if (const auto ratio = PLYPropertyPages::shownRatio(*blocks.first(), source->aspectRatio())) ratios << *ratio;
        m_imageStack->showSingle();
        fillField(m_imageKeywordTokenField, post ? post->focusKeywordsForImage(ref).join(QLatin1Char(' ')) : QString());
    } else {
        m_imageNameTextField->setText(tr("multiple images"));
        m_imageNameTextField->setToolTip({});
        m_imageStack->showStack(blocks.size());
        for (const PLYBlock* block : blocks) {
            const auto image = store->imageForIdentifier(imageRefOf(*block));
            const auto ratio = PLYPropertyPages::shownRatio(*block, image ? std::optional(image->aspectRatio()) : std::nullopt);
            if (ratio) ratios << *ratio;
        }
        fillField(m_imageKeywordTokenField, {});
    }
    applyRatioMenu(m_aspectRatioPopUpButton, PLYPropertyPages::ratioMenu(ratios));
    m_revertAspectRatioButton->setEnabled(std::any_of(blocks.begin(), blocks.end(), [](const PLYBlock* b) {
        return b->aspect_ratio() != 0.0f || b->image().has_position();
    }));
}

void PLYPropertyViewController::ensureBlankTab(const QList<PLYBlock*>& blocks) {
    QList<PLYAspectRatio> ratios;
    for (const PLYBlock* block : blocks)
        if (const auto ratio = PLYPropertyPages::shownRatio(*block, std::nullopt)) ratios << *ratio;
    applyRatioMenu(m_blankAspectRatioPopUpButton, PLYPropertyPages::ratioMenu(ratios));
    const float standard = float(PLYAspectRatio::factorForPreset(PLYAspectRatio::BlankDefaultPreset));
    m_blankRevertAspectRatioButton->setEnabled(std::any_of(blocks.begin(), blocks.end(), [standard](const PLYBlock* b) {
        return b->aspect_ratio() != 0.0f && b->aspect_ratio() != standard;
    }));
}

void PLYPropertyViewController::ensureTextTab(const QList<PLYBlock*>& blocks) {
    if (blocks.isEmpty()) return;
    // Several blocks show what they share; a control whose blocks differ selects nothing.
    if (const auto style = common<int>(blocks, [](const PLYBlock& b) { return int(b.text().style()); })) {
        m_textStylePopUpButton->selectItemWithTag(*style);
    } else {
        QSet<int> styles;
        for (const PLYBlock* block : blocks) styles.insert(int(block->text().style()));
        m_textStylePopUpButton->selectItemWithTag(-1);
        m_textStylePopUpButton->setItemStates(styles);
        m_textStylePopUpButton->setTitle(PLYAspectRatio::titleForPreset(PLYAspectRatio::Composite));
    }
    const auto alignment = common<int>(blocks, [](const PLYBlock& b) { return int(b.text().position().alignment()); });
    const auto alignmentSegment = alignment ? PLYPropertyPages::alignmentSegment(*alignment) : std::nullopt;
    m_textAlignmentSegmentControl->setSelectedSegment(alignmentSegment.value_or(-1));
    const auto width = common<int>(blocks, [](const PLYBlock& b) {
        return PLYPropertyPages::widthSegment(b.text().position().width()).value_or(-1);
    });
    m_textWidthSegmentControl->setSelectedSegment(width.value_or(-1));
    const auto colour = common<QRgb>(blocks, [](const PLYBlock& b) { return PLYRichTextDocument::colourForText(b.text()).rgb(); });
    m_textColourWell->setColour(colour ? QColor::fromRgb(*colour) : QColor(Qt::black));

    // The block's editor reports its selection here whenever it is edited.
    if (blocks.size() == 1)
        if (PLYLayoutViewProxy* proxy = liveProxy(m_layoutManager))
            if (auto* handler = textHandlerOf(proxy->blockViewForBlock(blocks.first()))) handler->setTextViewDelegate(this);

    // Bold, italic and link act on the words being edited.
    PLYBlock* edit = m_layoutManager ? m_layoutManager->currentEditBlock() : nullptr;
    const bool editing = blocks.size() == 1 && edit && edit->id() == blocks.first()->id();
    for (QToolButton* button : {m_textBoldButton, m_textItalicButton, m_textLinkButton}) {
        button->setEnabled(editing);
        if (!editing) button->setChecked(false);
    }
}

void PLYPropertyViewController::ensureDownloadTab(const QList<PLYBlock*>& blocks) {
    if (blocks.isEmpty()) return;
    const auto title = common<std::string>(blocks, [](const PLYBlock& b) { return b.download_button().title(); });
    fillField(m_downloadTitleTextField, title ? QString::fromStdString(*title) : QString());
    m_downloadTitleTextField->setPlaceholderText(title ? QString() : tr("Several titles"));
    const auto styled = common<bool>(blocks, [](const PLYBlock& b) { return b.download_button().use_pellory_styling(); });
    m_downloadPelloryStyleButton->setChecked(styled.value_or(false));
    const auto alignment = common<int>(blocks, [](const PLYBlock& b) { return int(b.download_button().position().alignment()); });
    const auto alignmentSegment = alignment ? PLYPropertyPages::alignmentSegment(*alignment) : std::nullopt;
    m_downloadAlignmentSegmentControl->setSelectedSegment(alignmentSegment.value_or(-1));
    const auto size = common<int>(blocks, [](const PLYBlock& b) {
        return PLYPropertyPages::widthSegment(b.download_button().position().width()).value_or(-1);
    });
    m_downloadSizeSegmentControl->setSelectedSegment(size.value_or(-1));
}

// ---- Targets and undo ----

QList<PLYBlock*> PLYPropertyViewController::targetBlocks() const {
    if (!m_layoutManager) return {};
    if (PLYBlock* edit = m_layoutManager->currentEditBlock()) return {edit};
    return m_layoutManager->currentSelectedBlocks();
}

QStringList PLYPropertyViewController::targetIds(std::initializer_list<PLYBlock::TypeCase> kinds, bool selectionOnly) const {
    if (!m_layoutManager) return {};
    QStringList ids;
    for (const PLYBlock* block : selectionOnly ? m_layoutManager->currentSelectedBlocks() : targetBlocks())
        if (std::find(kinds.begin(), kinds.end(), block->type_case()) != kinds.end()) ids << idOf(*block);
    return ids;
}

PLYUndoManager* PLYPropertyViewController::undoManager() { return PLYWindowUndoManager::undoManagerForWidget(this); }

// ---- Aspect ratio ----

void PLYPropertyViewController::setImageAspectRatio(PLYPopUpButton* sender) {
    if (!sender || sender->selectedTag() < 0) return;
    const double factor = PLYAspectRatio::ratioWithBlockRatio(sender->selectedTag()).factor();
    const auto kind = sender == m_blankAspectRatioPopUpButton ? PLYBlock::kBlank : PLYBlock::kImage;
    setAspectRatios({factor}, targetIds({kind}));
}

void PLYPropertyViewController::setAspectRatios(const QList<double>& factors, const QStringList& blockIds) {
    if (!m_layoutManager || factors.isEmpty()) return;
    recordStep(AspectRatioUndoName, [&] {
        for (qsizetype i = 0; i < blockIds.size(); ++i) {
            if (factors.size() > 1 && i >= factors.size()) break;
            m_layoutManager->setAspectRatio(blockIds[i], factors.size() == 1 ? factors[0] : factors[i]);
        }
        return true;
    });
    refresh();
    rebuildEditViewsSoon(m_layoutManager);
}

void PLYPropertyViewController::revertImageAspectRatio() {
    if (!m_layoutManager) return;
    recordStep(AspectRatioUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kImage, PLYBlock::kBlank})) {
            const PLYBlock* block = m_layoutManager->blockForRef(blockId);
            if (!block) continue;
            const bool image = block->type_case() == PLYBlock::kImage;
            m_layoutManager->setAspectRatio(blockId, 0.0);
            if (image) m_layoutManager->clearCropPosition(blockId);
        }
        return true;
    });
    refresh();
    rebuildEditViewsSoon(m_layoutManager);
}

bool PLYPropertyViewController::recordStep(const char* actionName, const std::function<bool()>& change) {
    if (!m_layoutManager) return false;
    return m_layoutManager->recordUndoableChange(undoManager(), QString::fromLatin1(actionName), change);
}

void PLYPropertyViewController::enterEditMode() {
    if (!m_layoutManager) return;
    if (m_layoutManager->currentEditBlock()) {
        m_layoutManager->setEditBlock(nullptr);
        return;
    }
    const QList<PLYBlock*> selected = m_layoutManager->currentSelectedBlocks();
    if (!selected.isEmpty()) m_layoutManager->setEditBlock(selected.first());
}

// ---- Image keywords ----

void PLYPropertyViewController::setImageKeywords() {
    if (m_filling || !m_layoutManager) return;
    const auto postManager = m_layoutManager->postManager();
    const auto post = postManager ? postManager->representedPost() : nullptr;
    if (!post) return;
    const QStringList keywords = m_imageKeywordTokenField->keywords();
    m_imageKeywordTokenField->setModified(false);
    QList<PLYBlock*> images;
    if (PLYBlock* edit = m_layoutManager->currentEditBlock()) {
        if (edit->type_case() != PLYBlock::kImage) return;
        images << edit;
    } else {
        for (PLYBlock* block : m_layoutManager->currentSelectedBlocks())
            if (block->type_case() == PLYBlock::kImage) images << block;
    }
    if (images.isEmpty()) return;
    // The keywords rename the published picture: the block's new date has it uploaded again.
    // One step holds both the keywords and the dates, so that undo takes back the two together.
    const std::string now = QString::number(qint32(QDateTime::currentSecsSinceEpoch())).toStdString();
    QStringList refs;
    for (PLYBlock* block : images) refs << imageRefOf(*block);
    QHash<QString, QStringList> previous;
    for (const QString& ref : std::as_const(refs)) previous.insert(ref, post->focusKeywordsForImage(ref));
    PLYUndoManager* undo = undoManager();
    undo->beginUndoGrouping();
    registerKeywordRestore(undo, post, previous);
    recordStep(KeywordsUndoName, [&] {
        for (const QString& ref : std::as_const(refs)) post->setFocusKeywordsForImage(keywords, ref);
        for (PLYBlock* block : images) block->mutable_image()->set_source_last_updated(now);
        m_layoutManager->announceChange();
        return true;
    });
    undo->setActionName(QString::fromLatin1(KeywordsUndoName));
    undo->endUndoGrouping();
    for (const QString& keyword : keywords) PLYSeoManager::addKeywordToStore(keyword);
}

// ---- Text ----

void PLYPropertyViewController::setTextStyle() {
    const int style = m_textStylePopUpButton->selectedTag();
    if (!m_layoutManager || !PLYTextStyle_IsValid(style)) return;
    recordStep(TextStyleUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kText})) m_layoutManager->setTextStyle(blockId, PLYTextStyle(style));
        return true;
    });
    refresh();
}

void PLYPropertyViewController::setTextAlignment() {
    const int segment = m_textAlignmentSegmentControl->selectedSegment();
    if (!m_layoutManager || segment < 0) return;
    recordStep(AlignmentUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kText}))
            m_layoutManager->setContentAlignment(blockId, PLYAlignment(segment));
        return true;
    });
}

void PLYPropertyViewController::setTextWidth() {
    const int segment = m_textWidthSegmentControl->selectedSegment();
    if (!m_layoutManager || segment < 0) return;
    recordStep(WidthUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kText}))
            m_layoutManager->setContentWidth(blockId, PLYLayoutManager::widthValueForTextWidth(segment));
        return true;
    });
}

void PLYPropertyViewController::openTextColour() { m_textColourWell->activate(); }

void PLYPropertyViewController::setTextColour() {
    if (!m_layoutManager) return;
    const PLYColour colour = PLYColourWell::layoutColour(m_textColourWell->colour());
    recordStep(ColourUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kText})) m_layoutManager->setTextColour(blockId, colour);
        return true;
    });
}

PLYLayoutBlockInteractionHandler_Text* PLYPropertyViewController::editingTextHandler() const {
    PLYLayoutViewProxy* proxy = liveProxy(m_layoutManager);
    return proxy ? textHandlerOf(proxy->currentEditBlockView()) : nullptr;
}

void PLYPropertyViewController::setTextBold() {
    if (auto* handler = editingTextHandler()) handler->toggleCurrentSelectionBold();
}

void PLYPropertyViewController::setTextItalic() {
    if (auto* handler = editingTextHandler()) handler->toggleCurrentSelectionItalic();
}

void PLYPropertyViewController::setTextLink() {
    if (auto* handler = editingTextHandler()) handler->toggleCurrentSelectionLink();
}

void PLYPropertyViewController::selectionForEditor(PLYRichTextEditor*, const PLYRichTextSelection&, bool isBold,
                                                   bool isItalic, bool, bool isLinked, const QColor&, const QColor&) {
    m_textBoldButton->setChecked(isBold);
    m_textItalicButton->setChecked(isItalic);
    m_textLinkButton->setChecked(isLinked);
}

void PLYPropertyViewController::richTextEditorChangeAboutToOccurOfType(PLYRichTextEditor* editor, PLYRichTextChangeType type) {
    // Diagnostics only. The words are the user's: their length is logged, never they.
    PLY_LOG_DEBUG(QStringLiteral("User just edited the RTE by performing this operation: %1")
                      .arg(PLYRichTextEditor::convertPreviewChangeTypeToString(type, true)));
    if (editor) PLY_LOG_DEBUG(QStringLiteral("The editor holds %1 characters").arg(editor->document()->characterCount() - 1));
}

// ---- Download button ----

void PLYPropertyViewController::setDownloadTitle() {
    if (m_filling || !m_layoutManager || !m_downloadTitleTextField->isModified()) return;
    const QString title = m_downloadTitleTextField->text();
    m_downloadTitleTextField->setModified(false);
    bool refused = false;
    recordStep(ButtonTitleUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kDownloadButton}, true))
            refused |= !m_layoutManager->setDownloadButtonTitle(blockId, title);
        return !refused;
    });
    // A refused title (empty, on several lines) gives the field back the stored one.
    if (refused) refresh();
}

void PLYPropertyViewController::setDownloadStyle() {
    if (!m_layoutManager) return;
    recordStep(ButtonStyleUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kDownloadButton}, true))
            m_layoutManager->setUsePelloryStyling(blockId, m_downloadPelloryStyleButton->isChecked());
        return true;
    });
}

void PLYPropertyViewController::setDownloadAlignment() {
    const int segment = m_downloadAlignmentSegmentControl->selectedSegment();
    if (!m_layoutManager || segment < 0) return;
    recordStep(AlignmentUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kDownloadButton}, true))
            m_layoutManager->setContentAlignment(blockId, PLYAlignment(segment));
        return true;
    });
}

void PLYPropertyViewController::setDownloadSize() {
    const int segment = m_downloadSizeSegmentControl->selectedSegment();
    if (!m_layoutManager || segment < 0) return;
    recordStep(WidthUndoName, [&] {
        for (const QString& blockId : targetIds({PLYBlock::kDownloadButton}, true))
            m_layoutManager->setContentWidth(blockId, PLYLayoutManager::widthValueForTextWidth(segment));
        return true;
    });
}

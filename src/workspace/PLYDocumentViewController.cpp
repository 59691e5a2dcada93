#include "PLYDocumentViewController.h"

#include "PLYColourWell.h"
#include "PLYInspectorStyle.h"
#include "PLYKeywordTokenField.h"
#include "PLYLayoutManager.h"
#include "PLYPaddingInput.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"
#include "PLYSourceDirectory.h"
#include "PLYStepper.h"
#include "PLYWindowUndoManager.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using PLYInspectorStyle::fieldLabel;
using PLYInspectorStyle::sectionHeading;

// An add button that reveals its field: a flat, left-aligned "+ ..." line.
QPushButton* addButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("+  ") + text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 3px 0px; color: palette(link); }"));
    return button;
}

}  // namespace

PLYDocumentViewController::PLYDocumentViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYDocumentViewController"));
    QFont base = font();
    base.setPixelSize(PLYInspectorStyle::BodyPixelSize);
    setFont(base);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 14, 16, 16);
    root->setSpacing(8);

    // Layout: padding and background.
    root->addWidget(sectionHeading(tr("Layout"), this));
    auto* layoutGrid = new QGridLayout;
    layoutGrid->setHorizontalSpacing(10);
    layoutGrid->setVerticalSpacing(8);
    layoutGrid->setColumnStretch(2, 1);

    auto* paddingRow = PLYPaddingInput::makeRow(this, QStringLiteral("paddingTextField"), &m_paddingTextField,
                                                &m_paddingStepper);
    layoutGrid->addWidget(fieldLabel(tr("Padding"), this), 0, 0);
    layoutGrid->addLayout(paddingRow, 0, 1, 1, 2);

    m_backgroundColourWell = new PLYColourWell(this);
    m_backgroundColourWell->setObjectName(QStringLiteral("backgroundColourWell"));
    m_backgroundColourWell->setFixedSize(52, 24);
    layoutGrid->addWidget(fieldLabel(tr("Background"), this), 1, 0);
    layoutGrid->addWidget(m_backgroundColourWell, 1, 1);
    root->addLayout(layoutGrid);

    // Images: how many the locations hold and how many the layout uses.
    root->addSpacing(10);
    root->addWidget(sectionHeading(tr("Images"), this));
    auto* imageGrid = new QGridLayout;
    imageGrid->setHorizontalSpacing(10);
    imageGrid->setVerticalSpacing(6);
    imageGrid->setColumnStretch(0, 1);
    m_totalImagesImportedLabel = new QLabel(this);
    m_totalImagesImportedLabel->setObjectName(QStringLiteral("totalImagesImportedLabel"));
    m_totalImagesUsedLabel = new QLabel(this);
    m_totalImagesUsedLabel->setObjectName(QStringLiteral("totalImagesUsedLabel"));
    for (QLabel* count : {m_totalImagesImportedLabel, m_totalImagesUsedLabel})
        count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    imageGrid->addWidget(fieldLabel(tr("In the post's folders"), this), 0, 0);
    imageGrid->addWidget(m_totalImagesImportedLabel, 0, 1);
    imageGrid->addWidget(fieldLabel(tr("Used in the layout"), this), 1, 0);
    imageGrid->addWidget(m_totalImagesUsedLabel, 1, 1);
    root->addLayout(imageGrid);

    // Search engines: title, meta description, focus keywords.
    root->addSpacing(10);
    root->addWidget(sectionHeading(tr("Search engines"), this));
    root->addWidget(fieldLabel(tr("SEO title"), this));
    m_seoTitleTextField = new QLineEdit(this);
    m_seoTitleTextField->setObjectName(QStringLiteral("seoTitleTextField"));
    m_seoTitleTextField->setPlaceholderText(tr("The title search results show"));
    root->addWidget(m_seoTitleTextField);

    root->addSpacing(4);
    m_seoMetaAddButton = addButton(tr("Add a meta description"), this);
    m_seoMetaAddButton->setObjectName(QStringLiteral("seoMetaAddButton"));
    root->addWidget(m_seoMetaAddButton);
    m_seoMetaView = new QWidget(this);
    m_seoMetaView->setObjectName(QStringLiteral("seoMetaView"));
    auto* metaLayout = new QVBoxLayout(m_seoMetaView);
    metaLayout->setContentsMargins(0, 0, 0, 0);
    metaLayout->setSpacing(6);
    metaLayout->addWidget(fieldLabel(tr("Meta description"), m_seoMetaView));
    m_seoMetaTextField = new QPlainTextEdit(m_seoMetaView);
    m_seoMetaTextField->setObjectName(QStringLiteral("seoMetaTextField"));
    m_seoMetaTextField->setPlaceholderText(tr("The summary search results show under the title"));
    m_seoMetaTextField->setTabChangesFocus(true);
    m_seoMetaTextField->setFixedHeight(84);
    m_seoMetaTextField->installEventFilter(this);
    metaLayout->addWidget(m_seoMetaTextField);
    m_seoMetaView->hide();
    root->addWidget(m_seoMetaView);

    root->addSpacing(4);
    m_focusKeywordsAddButton = addButton(tr("Add focus keywords"), this);
    m_focusKeywordsAddButton->setObjectName(QStringLiteral("focusKeywordsAddButton"));
    root->addWidget(m_focusKeywordsAddButton);
    m_focusKeywordView = new QWidget(this);
    m_focusKeywordView->setObjectName(QStringLiteral("focusKeywordView"));
    auto* keywordLayout = new QVBoxLayout(m_focusKeywordView);
    keywordLayout->setContentsMargins(0, 0, 0, 0);
    keywordLayout->setSpacing(6);
    keywordLayout->addWidget(fieldLabel(tr("Focus keywords"), m_focusKeywordView));
    m_focusKeywordTokenField = new PLYKeywordTokenField(m_focusKeywordView);
    m_focusKeywordTokenField->setObjectName(QStringLiteral("focusKeywordTokenField"));
    m_focusKeywordTokenField->setPlaceholderText(tr("Words separated by spaces"));
    keywordLayout->addWidget(m_focusKeywordTokenField);
    m_focusKeywordView->hide();
    root->addWidget(m_focusKeywordView);
    root->addStretch(1);

    connect(m_paddingTextField, &QLineEdit::editingFinished, this, &PLYDocumentViewController::setPaddingAction);
    connect(m_paddingStepper, &PLYStepper::stepped, this, &PLYDocumentViewController::setPaddingStepperAction);
    connect(m_backgroundColourWell, &PLYColourWell::colourChosen, this, &PLYDocumentViewController::setBackgroundColour);
    connect(m_seoMetaAddButton, &QPushButton::clicked, this, &PLYDocumentViewController::addMetaDescription);
    connect(m_focusKeywordsAddButton, &QPushButton::clicked, this, &PLYDocumentViewController::addFocusKeywords);
    // Title and description follow every keystroke, so the grades do too.
    connect(m_seoTitleTextField, &QLineEdit::textEdited, this, &PLYDocumentViewController::setSEOTitle);
    connect(m_seoMetaTextField, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling) setMetaDescription();
    });
    // Keywords are taken when editing ends, so that half-typed words never reach the store.
    connect(m_focusKeywordTokenField, &PLYKeywordTokenField::keywordsEdited, this,
            &PLYDocumentViewController::setFocusKeywords);

    // An undo or redo may change the padding or the colour behind the tab's back.
    m_observers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), nullptr,
                    [this](const PLYNotification& notification) {
                        if (m_layoutManager && notification.object == m_layoutManager.get()) showLayoutProperties();
                    });
    const auto refreshCounts = [this](const PLYNotification&) { imageCountChanged(); };
    m_observers.add(QString::fromLatin1(PLYPersistantPost::ImageCountChangeNotification), nullptr, refreshCounts);
    m_observers.add(QString::fromLatin1(PLYSourceDirectory::ChangedNotification), nullptr, refreshCounts);

    ensureUI();
}

PLYDocumentViewController::~PLYDocumentViewController() = default;

void PLYDocumentViewController::setLayoutManager(std::shared_ptr<PLYLayoutManager> layoutManager) {
    m_layoutManager = std::move(layoutManager);
    ensureUI();
}

std::shared_ptr<PLYPersistantPost> PLYDocumentViewController::post() const {
    const auto postManager = m_layoutManager ? m_layoutManager->postManager() : nullptr;
    return postManager ? postManager->representedPost() : nullptr;
}

void PLYDocumentViewController::ensureUI() {
    m_filling = true;
    const PLYLayout* layout = m_layoutManager ? m_layoutManager->representedLayout() : nullptr;
    const qint64 padding = layout ? layout->padding() : 0;
    m_paddingTextField->setText(PLYPaddingInput::format(padding));
    m_paddingStepper->setValue(padding);
    m_backgroundColourWell->setColour(layout ? PLYLayoutManager::backgroundColourForLayout(*layout) : QColor(Qt::white));

    if (const auto post = this->post()) {
        imageCountChanged();
        // Another post's title must not stay behind in the field.
        if (m_seoTitleTextField->text() != post->seoTitle()) m_seoTitleTextField->setText(post->seoTitle());

        // An add button once hidden stays hidden for the life of the tab.
        if (!m_seoMetaAddButton->isHidden()) m_seoMetaAddButton->setHidden(!post->metaDescription().isEmpty());
        m_seoMetaView->setVisible(m_seoMetaAddButton->isHidden());
        if (m_seoMetaTextField->toPlainText() != post->metaDescription())
            m_seoMetaTextField->setPlainText(post->metaDescription());

        const QStringList keywords = post->focusKeywords().value_or(QStringList());
        if (!m_focusKeywordsAddButton->isHidden()) m_focusKeywordsAddButton->setHidden(!keywords.isEmpty());
        m_focusKeywordView->setVisible(m_focusKeywordsAddButton->isHidden());
        m_focusKeywordTokenField->setKeywords(keywords);
    }
    m_filling = false;
}

void PLYDocumentViewController::imageCountChanged() {
    const auto post = this->post();
    if (!post) return;
    m_totalImagesImportedLabel->setText(QString::number(post->images().size()));
    m_totalImagesUsedLabel->setText(QString::number(post->numberOfImagesInUse()));
}

void PLYDocumentViewController::setPaddingAction() {
    const qint64 padding = PLYPaddingInput::parse(m_paddingTextField->text());
    recordLayoutChange(PaddingUndoName, 0, [&] { m_layoutManager->setPadding(padding); });
    m_paddingStepper->setValue(padding);
    // The field shows what was taken: "24pt" reads 24, "999" the largest padding.
    m_paddingTextField->setText(PLYPaddingInput::format(padding));
}

void PLYDocumentViewController::setPaddingStepperAction() {
    const qint64 padding = m_paddingStepper->value();
    recordLayoutChange(PaddingUndoName, m_paddingStepper->stroke(), [&] { m_layoutManager->setPadding(padding); });
    const PLYLayout* layout = m_layoutManager ? m_layoutManager->representedLayout() : nullptr;
    m_paddingTextField->setText(PLYPaddingInput::format(layout ? layout->padding() : padding));
}

void PLYDocumentViewController::showBackgroundColourWell() { m_backgroundColourWell->activate(); }

void PLYDocumentViewController::setBackgroundColour() {
    recordLayoutChange(BackgroundColourUndoName, m_backgroundColourWell->stroke(), [&] {
        m_layoutManager->setBackgroundColour(PLYColourWell::layoutColour(m_backgroundColourWell->colour()));
    });
}

void PLYDocumentViewController::recordLayoutChange(const char* actionName, quint64 stroke,
                                                   const std::function<void()>& change) {
    if (!m_layoutManager) return;
    const PLYLayoutEdit before = m_layoutManager->sectionSnapshot();
    change();
    const bool join = stroke != 0 && stroke == m_stepStroke && actionName == m_stepActionName;
    m_step.record(*m_layoutManager, PLYWindowUndoManager::undoManagerForWidget(this), before,
                  QString::fromLatin1(actionName), join);
    m_stepStroke = stroke;
    m_stepActionName = actionName;
}

void PLYDocumentViewController::showLayoutProperties() {
    const PLYLayout* layout = m_layoutManager ? m_layoutManager->representedLayout() : nullptr;
    if (!layout) return;
    if (m_paddingStepper->value() != layout->padding()) {
        m_paddingStepper->setValue(layout->padding());
        m_paddingTextField->setText(PLYPaddingInput::format(layout->padding()));
    }
    const PLYColour shown = PLYColourWell::layoutColour(m_backgroundColourWell->colour());
    const QColor colour = PLYLayoutManager::backgroundColourForLayout(*layout);
    const PLYColour wanted = PLYColourWell::layoutColour(colour);
    if (shown.r() != wanted.r() || shown.g() != wanted.g() || shown.b() != wanted.b())
        m_backgroundColourWell->setColour(colour);
}

void PLYDocumentViewController::addMetaDescription() {
    m_seoMetaAddButton->hide();
    m_seoMetaView->show();
    m_seoMetaTextField->setFocus();
}

void PLYDocumentViewController::addFocusKeywords() {
    m_focusKeywordsAddButton->hide();
    m_focusKeywordView->show();
    m_focusKeywordTokenField->setFocus();
}

void PLYDocumentViewController::setSEOTitle() {
    if (const auto post = this->post()) post->setSeoTitle(m_seoTitleTextField->text());
}

void PLYDocumentViewController::setMetaDescription() {
    if (const auto post = this->post()) post->setMetaDescription(m_seoMetaTextField->toPlainText());
}

void PLYDocumentViewController::setFocusKeywords() {
    const auto post = this->post();
    if (!post) return;
    const QStringList keywords = m_focusKeywordTokenField->keywords();
    post->setFocusKeywords(keywords);
    for (const QString& keyword : keywords) PLYSeoManager::addKeywordToStore(keyword);
}

void PLYDocumentViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ensureUI();
}

bool PLYDocumentViewController::eventFilter(QObject* watched, QEvent* event) {
    // A meta description is one paragraph: Return ends the line nowhere.
    if (watched == m_seoMetaTextField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QWidget::eventFilter(watched, event);
}

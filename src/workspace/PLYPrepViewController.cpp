#include "PLYPrepViewController.h"

#include "PLYElidedLabel.h"

#include "PLYAlertPresenter.h"
#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYPaddingInput.h"
#include "PLYRecentContainer.h"
#include "PLYSafeText.h"
#include "PLYStepper.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

QLabel* fieldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* secondaryLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}


}  // namespace

PLYPrepViewController::PLYPrepViewController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PLYPrepViewController"));
    setWindowTitle(tr("New Post"));
    setWindowModality(Qt::WindowModal);
    setModal(true);
    QFont base = font();
    base.setPixelSize(13);
    setFont(base);

    auto* root = new QVBoxLayout(this);
    // A sheet keeps its size: long names and paths are elided, not let to stretch it.
    root->setSizeConstraint(QLayout::SetFixedSize);
    root->setContentsMargins(24, 22, 24, 20);
    root->setSpacing(6);

    auto* heading = new QLabel(tr("New Post"), this);
    QFont headingFont = heading->font();
    headingFont.setPixelSize(18);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    root->addWidget(heading);
    auto* intro = secondaryLabel(this);
    intro->setText(tr("Name the post, choose the folder its photos come from, and set up its layout."));
    intro->setWordWrap(true);
    root->addWidget(intro);
    root->addSpacing(14);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);

    m_titleTextField = new QLineEdit(this);
    m_titleTextField->setObjectName(QStringLiteral("titleTextField"));
    m_titleTextField->setPlaceholderText(tr("The post's name"));
    m_titleTextField->setFixedWidth(320);
    grid->addWidget(fieldLabel(tr("Title"), this), 0, 0);
    grid->addWidget(m_titleTextField, 0, 1);

    // The folder: its name, then the folder holding it, then the buttons that choose it.
    auto* folderBox = new QVBoxLayout;
    folderBox->setSpacing(2);
    auto* folderName = new PLYElidedLabel(this, Qt::ElideMiddle);
    folderName->setObjectName(QStringLiteral("directoryNameLabel"));
    QFont nameFont = folderName->font();
    nameFont.setWeight(QFont::DemiBold);
    folderName->setFont(nameFont);
    m_directoryLabel = new PLYElidedLabel(this, Qt::ElideMiddle);
    m_directoryLabel->setForegroundRole(QPalette::PlaceholderText);
    m_directoryLabel->setObjectName(QStringLiteral("directoryLabel"));
    folderBox->addWidget(folderName);
    folderBox->addWidget(m_directoryLabel);
    auto* folderButtons = new QHBoxLayout;
    folderButtons->setSpacing(6);
    m_chooseDirectoryButton = new QPushButton(tr("Choose Folder…"), this);
    m_chooseDirectoryButton->setObjectName(QStringLiteral("chooseDirectoryButton"));
    m_chooseDirectoryButton->setAutoDefault(false);
    m_recentDirectoriesButton = new QPushButton(tr("Recent"), this);
    m_recentDirectoriesButton->setObjectName(QStringLiteral("recentDirectoriesButton"));
    m_recentDirectoriesButton->setAutoDefault(false);
    m_recentDirectoriesButton->setToolTip(tr("Folders watched recently"));
    auto* recentMenu = new QMenu(m_recentDirectoriesButton);
    recentMenu->setObjectName(QStringLiteral("recentDirectoriesMenu"));
    m_recentDirectoriesButton->setMenu(recentMenu);
    connect(recentMenu, &QMenu::aboutToShow, this, &PLYPrepViewController::fillRecentMenu);
    folderButtons->addWidget(m_chooseDirectoryButton);
    folderButtons->addWidget(m_recentDirectoriesButton);
    folderButtons->addStretch(1);
    folderBox->addSpacing(6);
    folderBox->addLayout(folderButtons);
    auto* folderTitle = fieldLabel(tr("Watch folder"), this);
    folderTitle->setAlignment(Qt::AlignRight | Qt::AlignTop);
    folderTitle->setContentsMargins(0, 1, 0, 0);
    grid->addWidget(folderTitle, 1, 0);
    grid->addLayout(folderBox, 1, 1);

    auto* paddingRow = PLYPaddingInput::makeRow(this, QStringLiteral("horizontalPaddingField"),
                                                &m_horizontalPaddingField, &m_paddingStepper);
    grid->addWidget(fieldLabel(tr("Padding"), this), 2, 0);
    grid->addLayout(paddingRow, 2, 1);

    m_colourPicker = new PLYColourWell(this);
    m_colourPicker->setObjectName(QStringLiteral("colourPicker"));
    m_colourPicker->setFixedSize(56, 24);
    grid->addWidget(fieldLabel(tr("Background"), this), 3, 0);
    grid->addWidget(m_colourPicker, 3, 1, Qt::AlignLeft);
    root->addLayout(grid);

    root->addSpacing(18);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    m_doneButton = new QPushButton(tr("Create Post"), this);
    m_doneButton->setObjectName(QStringLiteral("doneButton"));
    m_doneButton->setDefault(true);
    // Room around the titles, and both buttons one width.
    for (QPushButton* button : {m_cancelButton, m_doneButton})
        button->setMinimumWidth(std::max(96, button->fontMetrics().horizontalAdvance(button->text()) + 32));
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_doneButton);
    root->addLayout(buttons);

    connect(m_paddingStepper, &PLYStepper::stepped, this, &PLYPrepViewController::setStepperPaddingAction);
    connect(m_horizontalPaddingField, &QLineEdit::textEdited, this, &PLYPrepViewController::paddingTextChanged);
    // Once the user leaves the field it shows the number taken, not what was typed.
    connect(m_horizontalPaddingField, &QLineEdit::editingFinished, this, &PLYPrepViewController::ensureUI);
    connect(m_chooseDirectoryButton, &QPushButton::clicked, this, &PLYPrepViewController::setDirectoryAction);
    connect(m_doneButton, &QPushButton::clicked, this, &PLYPrepViewController::doneAction);
    connect(m_cancelButton, &QPushButton::clicked, this, &PLYPrepViewController::cancelAction);

    m_documentPadding = defaultPadding();
    ensureUI();
}

PLYPrepViewController::~PLYPrepViewController() = default;

QString PLYPrepViewController::documentTitle() const { return m_titleTextField->text(); }

QColor PLYPrepViewController::rawColor() const { return m_colourPicker->colour().toRgb(); }

PLYColour PLYPrepViewController::documentColour() const { return PLYColourWell::layoutColour(rawColor()); }

qint64 PLYPrepViewController::defaultPadding() {
    const double stored = PLYDefaults::defaultPadding();
    const auto low = double(PLYPaddingInput::minimum());
    const auto high = double(PLYPaddingInput::maximum());
    // Clamped before the conversion, so no stored value can overflow it.
    if (std::isnan(stored)) return PLYPaddingInput::minimum();
    return qint64(std::trunc(std::clamp(stored, low, high)));
}

QString PLYPrepViewController::directoryLabelText(const QUrl& directory) {
    if (directory.isEmpty()) return tr("No folder selected");
    const QString path = QDir::cleanPath(directory.isLocalFile() ? directory.toLocalFile() : directory.path());
    // Only the last component goes; a folder name that recurs higher up the path stays there.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return path;
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

void PLYPrepViewController::setStepperPaddingAction() {
    m_documentPadding = m_paddingStepper->value();
    m_horizontalPaddingField->setText(PLYPaddingInput::format(m_documentPadding));
}

void PLYPrepViewController::paddingTextChanged() {
    m_documentPadding = PLYPaddingInput::parse(m_horizontalPaddingField->text());
    m_paddingStepper->setValue(m_documentPadding);
}

void PLYPrepViewController::setDirectoryAction() {
    const QString start = m_directoryWatch.isLocalFile() ? m_directoryWatch.toLocalFile() : QDir::homePath();
    const QString chosen = PLYFileDialogs::shared()->chooseFolder(this, tr("Choose a Folder to Watch"), start);
    if (chosen.isEmpty()) return;
    m_directoryWatch = QUrl::fromLocalFile(QDir::cleanPath(chosen));
    m_previousBookmarkData.clear();
    PLYRecentContainer::addPathToRecents(m_directoryWatch.toLocalFile());
    ensureUI();
}

bool PLYPrepViewController::setRecentDirectoryAction(const QString& path) {
    const QByteArray bookmark = PLYRecentContainer::bookmarkForPath(path);
    const QString resolved = PLYRecentContainer::resolveBookmarkData(bookmark);
    if (resolved.isEmpty()) return false;
    m_directoryWatch = QUrl::fromLocalFile(resolved);
    m_previousBookmarkData = bookmark;
    ensureUI();
    return true;
}

void PLYPrepViewController::fillRecentMenu() {
    QMenu* menu = m_recentDirectoriesButton->menu();
    menu->clear();
    for (const QString& path : PLYRecentContainer::recentPaths()) {
        const bool reachable = !PLYRecentContainer::resolveBookmarkData(PLYRecentContainer::bookmarkForPath(path)).isEmpty();
        QAction* action = menu->addAction(PLYSafeText::escapedMnemonic(path), this, [this, path] { setRecentDirectoryAction(path); });
        action->setEnabled(reachable);
        if (!reachable) action->setToolTip(tr("This folder can no longer be found"));
    }
}

void PLYPrepViewController::showColourWell() { m_colourPicker->activate(); }

void PLYPrepViewController::doneAction() {
    if (m_completed) return;
    const auto alerts = PLYAlertPresenter::shared();
    if (documentTitle().isEmpty()) {
        alerts->runModal({PLYAlertRequest::Style::Informational, tr("No Name Set"), tr("You need to give your blog a name"),
                          {tr("Ok")}},
                         this);
        m_titleTextField->setFocus();
        return;
    }
    if (!m_directoryWatch.isEmpty()) {
        complete(true);
        return;
    }
    const QPointer<PLYPrepViewController> self(this);
    const qint64 answer = alerts->runModal(
        {PLYAlertRequest::Style::Informational, tr("No Watch Folder Set"),
         tr("You have no set a watch folder. Are you sure you wish to continue?"), {tr("Yes"), tr("No")}},
        this);
    if (self && answer == PLYAlertPresenter::FirstButtonReturn) complete(true);
}

void PLYPrepViewController::cancelAction() { complete(false); }

void PLYPrepViewController::reject() { cancelAction(); }

void PLYPrepViewController::complete(bool confirmed) {
    if (m_completed) return;
    m_completed = true;
    // A copy: the completion may drop this sheet.
    const CompletionBlock completion = m_completionBlock;
    if (confirmed) QDialog::accept();
    else QDialog::reject();
    if (completion) completion(confirmed);
}

void PLYPrepViewController::ensureUI() {
    m_horizontalPaddingField->setText(PLYPaddingInput::format(m_documentPadding));
    m_paddingStepper->setValue(m_documentPadding);
    auto* name = findChild<QLabel*>(QStringLiteral("directoryNameLabel"));
    // The folder's own name above the folder holding it; nothing above "No folder selected".
    name->setText(m_directoryWatch.isEmpty() ? QString() : QFileInfo(m_directoryWatch.toLocalFile()).fileName());
    name->setVisible(!m_directoryWatch.isEmpty());
    m_directoryLabel->setText(directoryLabelText(m_directoryWatch));
    m_directoryLabel->setToolTip(PLYSafeText::toolTip(m_directoryWatch.isLocalFile() ? m_directoryWatch.toLocalFile() : QString()));
    m_recentDirectoriesButton->setEnabled(!PLYRecentContainer::recentPaths().isEmpty());
}

void PLYPrepViewController::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Each showing asks again, starting from the stored defaults for padding and colour; the
    // title and the folder keep what was entered.
    m_completed = false;
    m_documentPadding = defaultPadding();
    m_colourPicker->setColour(PLYDefaults::defaultBackgroundColour());
    ensureUI();
    m_titleTextField->setFocus();
}

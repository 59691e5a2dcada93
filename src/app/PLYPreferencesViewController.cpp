#include "PLYPreferencesViewController.h"

#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYFormWidgets.h"
#include "PLYLayoutManager.h"
#include "PLYSafeText.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePublisher.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

using namespace PLYFormWidgets;

namespace {
QString notConfigured() { return QStringLiteral("Not Configured"); }
}  // namespace

PLYPreferencesViewController::PLYPreferencesViewController(QWidget* parent)
    : QWidget(parent), m_source(&PLYAccountDetails::fromSession) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 24);
    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    m_tabView->addWidget(buildGeneralTab());
    m_tabView->addWidget(buildAccountTab());
    layout->addWidget(m_tabView);
}

void PLYPreferencesViewController::setDetailsSource(PLYAccountDetails::Source source) {
    m_source = source ? std::move(source) : PLYAccountDetails::Source(&PLYAccountDetails::fromSession);
}

QWidget* PLYPreferencesViewController::buildGeneralTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("generalTabViewItem"));
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(12);

    m_autoUpdate = new QCheckBox(tr("Download updates automatically"), page);
    m_autoUpdate->setObjectName(QStringLiteral("generalAutoUpdateButton"));
    // Pellory has no updater here, so there is nothing to download automatically.
    m_autoUpdate->setEnabled(false);
    m_autoUpdate->setToolTip(tr("Pellory has no updater: install a newer version to update."));
    auto* updates = new QVBoxLayout;
    updates->setSpacing(2);
    updates->addWidget(m_autoUpdate);
    updates->addWidget(note(tr("Pellory has no updater: install a newer version to update."), page));
    form->addRow(tr("Updates:"), updates);

    m_padding = new QLineEdit(page);
    m_padding->setObjectName(QStringLiteral("generalPaddingTextField"));
    m_padding->setFixedWidth(110);
    m_padding->setAlignment(Qt::AlignRight);
    connect(m_padding, &QLineEdit::editingFinished, this, &PLYPreferencesViewController::generalPaddingAction);
    auto* paddingRow = new QHBoxLayout;
    paddingRow->addWidget(m_padding);
    paddingRow->addWidget(new QLabel(tr("points between blocks"), page));
    paddingRow->addStretch();
    form->addRow(tr("Default spacing:"), paddingRow);

    m_colour = new PLYColourWell(page);
    m_colour->setObjectName(QStringLiteral("generalColourWell"));
    connect(m_colour, &PLYColourWell::colourChosen, this, &PLYPreferencesViewController::generalColourAction);
    m_colour->setFixedSize(m_colour->sizeHint());
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(m_colour);
    colourRow->addStretch();
    form->addRow(tr("Default background:"), colourRow);

    m_subfolders = new QCheckBox(tr("Include images in subfolders"), page);
    m_subfolders->setObjectName(QStringLiteral("generalImportSubFoldersButton"));
    connect(m_subfolders, &QCheckBox::clicked, this, &PLYPreferencesViewController::generalSubfolderAction);
    form->addRow(tr("Folders:"), m_subfolders);
    return page;
}

QWidget* PLYPreferencesViewController::buildAccountTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("accountTabViewItem"));
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    int row = 0;
    // One grid for both sections, so that their captions and values line up.
    auto section = [&](const QString& title, const QList<QPair<QString, QString>>& rows, const QString& buttonName,
                       void (PLYPreferencesViewController::*action)()) {
        if (row > 0) grid->setRowMinimumHeight(row++, 10);
        grid->addWidget(heading(title, page), row++, 0, 1, 3);
        const int first = row;
        for (const auto& [caption, name] : rows) {
            auto* label = new QLabel(caption, page);
            grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
            auto* value = new QLabel(page);
            value->setObjectName(name);
            // Names and addresses from the account, as typed.
            PLYSafeText::makePlain(value);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            grid->addWidget(value, row++, 1);
        }
        QPushButton* change = button(tr("Change…"), buttonName, page);
        connect(change, &QPushButton::clicked, this, action);
        grid->addWidget(change, first, 2, Qt::AlignTop);
    };
    section(tr("Blog"), {{tr("Domain:"), QStringLiteral("domainNameLabel")}, {tr("Platform:"), QStringLiteral("domainHostLabel")}},
            QStringLiteral("showDomainDetailsButton"), &PLYPreferencesViewController::showDomainDetails);
    section(tr("WordPress"),
            {{tr("Username:"), QStringLiteral("wordpressUsernameLabel")}, {tr("Password:"), QStringLiteral("wordpressPasswordLabel")}},
            QStringLiteral("showWordpressDetailsButton"), &PLYPreferencesViewController::showWordpressDetails);
    grid->setRowStretch(row, 1);
    m_domainName = page->findChild<QLabel*>(QStringLiteral("domainNameLabel"));
    m_domainHost = page->findChild<QLabel*>(QStringLiteral("domainHostLabel"));
    m_wordpressUsername = page->findChild<QLabel*>(QStringLiteral("wordpressUsernameLabel"));
    m_wordpressPassword = page->findChild<QLabel*>(QStringLiteral("wordpressPasswordLabel"));
    return page;
}

void PLYPreferencesViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown again later, the window tells what is true now.
    selectTabIdentifier(selectedTabIdentifier());
}

QString PLYPreferencesViewController::selectedTabIdentifier() const {
    return m_tabView->currentIndex() == 1 ? QString::fromLatin1(AccountTab) : QString::fromLatin1(GeneralTab);
}

void PLYPreferencesViewController::selectTabIdentifier(const QString& identifier) {
    if (identifier == QLatin1String(GeneralTab)) {
        m_tabView->setCurrentIndex(0);
        ensureGeneralTab();
    } else if (identifier == QLatin1String(AccountTab)) {
        m_tabView->setCurrentIndex(1);
        ensureAccountTab();
    }
}

void PLYPreferencesViewController::ensureGeneralTab() {
    m_autoUpdate->setChecked(false);
    m_padding->setText(QString::asprintf("%f", PLYDefaults::defaultPadding()));
    m_colour->setColour(PLYDefaults::defaultBackgroundColour());
    m_subfolders->setChecked(PLYDefaults::defaultIncludeSubfolders());
}

void PLYPreferencesViewController::ensureAccountTab() {
    const PLYAccountDetails details = m_source();
    const QString host = details.account ? details.account->host() : QString();
    // An empty line would look like a fault; the account simply has no domain yet.
    m_domainName->setText(host.isEmpty() ? notConfigured() : host);
    if (const auto publisher = details.publisher) {
        m_domainHost->setText(publisher->typeName());
        m_wordpressUsername->setText(publisher->username());
        m_wordpressPassword->setText(QString::fromLatin1(HiddenPassword));
    } else {
        m_domainHost->setText(QStringLiteral("Squarespace / Other"));
        m_wordpressUsername->setText(notConfigured());
        m_wordpressPassword->setText(notConfigured());
    }
}

void PLYPreferencesViewController::generalPaddingAction() {
    bool ok = false;
    const double padding = m_padding->text().trimmed().toDouble(&ok);
    // A number is kept within the padding a layout accepts, as the document inspector does;
    // anything else is refused and the field shows the stored value again.
    if (ok && std::isfinite(padding))
        PLYDefaults::setDefaultPadding(std::clamp(padding, double(PLYLayoutManager::MinimumPadding),
                                                  double(PLYLayoutManager::MaximumPadding)));
    m_padding->setText(QString::asprintf("%f", PLYDefaults::defaultPadding()));
}

void PLYPreferencesViewController::generalColourAction(const QColor& colour) {
    if (colour.isValid()) PLYDefaults::setDefaultColour(colour);
}

void PLYPreferencesViewController::generalSubfolderAction() { PLYDefaults::setDefaultIncludeSubfolders(m_subfolders->isChecked()); }

void PLYPreferencesViewController::showAccountDetails(bool atPublisher) {
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (!manager) return;
    QPointer<PLYPreferencesViewController> self(this);
    manager->presentAccountDetailsNotification(atPublisher, false, [self](bool, const QVariant&, const std::optional<PLYServiceError>&,
                                                                         const std::optional<PLYError>&) {
        if (self) self->ensureAccountTab();
    });
}

void PLYPreferencesViewController::showDomainDetails() { showAccountDetails(false); }
void PLYPreferencesViewController::showWordpressDetails() { showAccountDetails(true); }

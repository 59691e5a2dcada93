#include "PLYAccountInfoViewController.h"

#include "PLYAlertPresenter.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYErrorBox.h"
#include "PLYFormWidgets.h"
#include "PLYLoopingVideoView.h"
#include "PLYModalRunner.h"
#include "PLYProgressIndicator.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePublisher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace PLYFormWidgets;
namespace Flow = PLYAccountInfoFlow;

namespace {

QVBoxLayout* pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    return layout;
}

// A red line under a field, in a view of its own that the wizard shows and hides.
QWidget* errorView(const QString& viewName, const QString& labelName, QLabel** label, QWidget* parent) {
    auto* view = new QWidget(parent);
    view->setObjectName(viewName);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(2, 0, 0, 0);
    *label = errorLine(labelName, view);
    (*label)->show();
    layout->addWidget(*label);
    view->hide();
    return view;
}

}  // namespace

PLYAccountInfoViewController::PLYAccountInfoViewController(QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_source(&PLYAccountDetails::fromSession), m_actionResponse(PLYModalRunner::Stop) {
    setWindowTitle(tr("Blog Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(16);
    m_tabView = new QStackedWidget(this);
    m_tabView->setObjectName(QStringLiteral("tabView"));
    m_tabView->addWidget(buildHostPage());
    m_tabView->addWidget(buildWordpressPage());
    m_tabView->addWidget(buildRPCPage());
    layout->addWidget(m_tabView, 1);

    auto* buttons = new QHBoxLayout;
    QPushButton* cancel = button(tr("Cancel"), QStringLiteral("cancelButton"), this);
    connect(cancel, &QPushButton::clicked, this, &PLYAccountInfoViewController::cancelAction);
    m_back = button(tr("Back"), QStringLiteral("backButton"), this);
    connect(m_back, &QPushButton::clicked, this, &PLYAccountInfoViewController::backAction);
    m_primary = button(tr("Continue"), QStringLiteral("primaryActionButton"), this, true);
    connect(m_primary, &QPushButton::clicked, this, &PLYAccountInfoViewController::continueAction);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_primary);
    layout->addLayout(buttons);
    setFixedWidth(560);

    ensureHostView();
    m_observer = std::make_unique<PLYSessionObserver>(this, PLYSessionObserver::Delivery::Queued,
                                                      [this](const PLYSessionChange& change) { webServiceDidChangeState(change); });
}

PLYAccountInfoViewController::~PLYAccountInfoViewController() = default;

void PLYAccountInfoViewController::setDetailsSource(PLYAccountDetails::Source source) {
    m_source = source ? std::move(source) : PLYAccountDetails::Source(&PLYAccountDetails::fromSession);
}

QWidget* PLYAccountInfoViewController::buildHostPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("hostTabViewItem"));
    auto* layout = pageLayout(page);
    layout->addWidget(heading(tr("Where is your blog?"), page));
    layout->addWidget(note(tr("Pellory publishes your posts to your blog. Enter the domain it lives at and the "
                              "platform it runs on."),
                           page));
    layout->addSpacing(4);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    m_host = field(QStringLiteral("hostTextField"), tr("myblog.com"), page);
    m_hostBox = fieldBox(m_host, QStringLiteral("hostErrorBox"), QStringLiteral("hostErrorLabel"), page);
    m_hostError = m_hostBox->errorLabel();
    form->addRow(tr("Domain:"), m_hostBox);
    m_publisherPopUp = new QComboBox(page);
    m_publisherPopUp->setObjectName(QStringLiteral("publisherPopUpButton"));
    m_publisherPopUp->addItem(tr("Choose a platform…"), Flow::TagNothingChosen);
    m_publisherPopUp->addItem(tr("WordPress"), Flow::TagWordpress);
    m_publisherPopUp->addItem(tr("Squarespace / Other"), Flow::TagNoPublisher);
    form->addRow(tr("Platform:"), m_publisherPopUp);
    layout->addLayout(form);
    m_hostProgress = new PLYProgressIndicator(page);
    m_hostProgress->setObjectName(QStringLiteral("hostProgressIndicator"));
    layout->addWidget(m_hostProgress, 0, Qt::AlignRight);
    layout->addStretch();
    return page;
}

QWidget* PLYAccountInfoViewController::buildWordpressPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("wordpressTabViewItem"));
    auto* layout = pageLayout(page);
    layout->addWidget(heading(tr("Connect WordPress"), page));
    m_wordpressNote = note(QString(), page);
    m_wordpressNote->setObjectName(QStringLiteral("wordpressNoteLabel"));
    layout->addWidget(m_wordpressNote);
    layout->addSpacing(4);

    m_username = field(QStringLiteral("wordpressUsernameTextField"), tr("WordPress username"), page);
    m_usernameBox = fieldBox(m_username, QStringLiteral("wordpressUsernameErrorBox"), {}, page);
    m_usernameBox->setShowsErrorLabel(false);
    layout->addWidget(m_usernameBox);
    m_usernameErrorView = errorView(QStringLiteral("wordpressUsernameErrorLabelView"),
                                    QStringLiteral("wordpressUsernameErrorLabel"), &m_usernameError, page);
    layout->addWidget(m_usernameErrorView);
    m_password = field(QStringLiteral("wordpressPasswordTextField"), tr("WordPress password"), page, true);
    m_passwordBox = fieldBox(m_password, QStringLiteral("wordpressPasswordErrorBox"), {}, page);
    m_passwordBox->setShowsErrorLabel(false);
    layout->addWidget(m_passwordBox);
    m_passwordErrorView = errorView(QStringLiteral("wordpressPasswordErrorLabelView"),
                                    QStringLiteral("wordpressPasswordErrorLabel"), &m_passwordError, page);
    layout->addWidget(m_passwordErrorView);

    m_settingsView = new QWidget(page);
    m_settingsView->setObjectName(QStringLiteral("wordpressSettingsView"));
    auto* settings = new QFormLayout(m_settingsView);
    settings->setContentsMargins(0, 6, 0, 0);
    settings->setHorizontalSpacing(12);
    m_categoryPopUp = new QComboBox(m_settingsView);
    m_categoryPopUp->setObjectName(QStringLiteral("wordpressCategoryPopUpButton"));
    m_categoryPopUp->setMinimumWidth(220);
    settings->addRow(tr("Default category:"), m_categoryPopUp);
    m_categoryErrorView = new QWidget(m_settingsView);
    m_categoryErrorView->setObjectName(QStringLiteral("wordpressCategoryErrorView"));
    auto* categoryError = new QVBoxLayout(m_categoryErrorView);
    categoryError->setContentsMargins(0, 0, 0, 0);
    QLabel* categoryLine = errorLine(QStringLiteral("wordpressCategoryErrorLabel"), m_categoryErrorView);
    m_categoryErrorLabel = categoryLine;
    categoryLine->setText(tr("Choose the category your posts go into, then Continue."));
    categoryLine->show();
    categoryError->addWidget(categoryLine);
    settings->addRow(QString(), m_categoryErrorView);
    m_draft = new QCheckBox(tr("Save posts as drafts"), m_settingsView);
    m_draft->setObjectName(QStringLiteral("wordpressDraftButton"));
    settings->addRow(QString(), m_draft);
    layout->addWidget(m_settingsView);

    m_wordpressProgress = new PLYProgressIndicator(page);
    m_wordpressProgress->setObjectName(QStringLiteral("wordpressProgressIndicator"));
    layout->addWidget(m_wordpressProgress, 0, Qt::AlignRight);
    layout->addStretch();
    return page;
}

QWidget* PLYAccountInfoViewController::buildRPCPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("rpcTabViewItem"));
    auto* layout = pageLayout(page);
    layout->addWidget(heading(tr("Turn on XML-RPC"), page));
    layout->addWidget(note(tr("Your WordPress site does not let Pellory publish through XML-RPC. Turn it on in your "
                              "site's settings and try again, or publish your posts by hand."),
                           page));
    m_player = new PLYLoopingVideoView(page, QSize(400, 250));
    m_player->setObjectName(QStringLiteral("playerView"));
    layout->addWidget(m_player, 0, Qt::AlignHCenter);
    auto* links = new QHBoxLayout;
    QPushButton* troubleshoot = linkButton(tr("How to turn on XML-RPC"), QStringLiteral("troubleshootRPCButton"), page);
    QPushButton* manual = linkButton(tr("Publishing by hand"), QStringLiteral("learnMoreRPCButton"), page);
    connect(troubleshoot, &QPushButton::clicked, this, &PLYAccountInfoViewController::troubleshootRPC);
    connect(manual, &QPushButton::clicked, this, &PLYAccountInfoViewController::learnMoreRPC);
    links->addWidget(troubleshoot);
    links->addSpacing(16);
    links->addWidget(manual);
    links->addStretch();
    layout->addLayout(links);
    m_suppress = new QCheckBox(tr("Don't show this again"), page);
    m_suppress->setObjectName(QStringLiteral("windowSuppressButton"));
    layout->addWidget(m_suppress);
    layout->addStretch();
    return page;
}

PLYAccountInfoFlow::Publisher PLYAccountInfoViewController::publisherFacts() const {
    Flow::Publisher facts;
    const auto publisher = m_source().publisher;
    if (!publisher) return facts;
    facts.exists = true;
    facts.status = publisher->status();
    facts.hasDefaultCategory = !publisher->defaultCategory().isEmpty();
    facts.autoPublish = publisher->autoPublish();
    return facts;
}

PLYAccountInfoViewController::Page PLYAccountInfoViewController::currentPage() const {
    return Page(m_tabView->currentIndex());
}

void PLYAccountInfoViewController::showPage(Page page) { m_tabView->setCurrentIndex(page); }

qint64 PLYAccountInfoViewController::hostTag() const { return m_publisherPopUp->currentData().toLongLong(); }

void PLYAccountInfoViewController::selectHostTag(qint64 tag) {
    const int index = m_publisherPopUp->findData(tag);
    if (index >= 0) m_publisherPopUp->setCurrentIndex(index);
}

void PLYAccountInfoViewController::startAtPublisher() {
    showPage(WordpressPage);
    ensureWordpressView();
}

void PLYAccountInfoViewController::startAtRPC() {
    showPage(RPCPage);
    ensureRPCView();
}

void PLYAccountInfoViewController::ensureHostView() {
    m_checkingHost = false;
    m_hostProgress->stopAnimation();
    const PLYAccountDetails details = m_source();
    if (details.account && !details.account->host().isEmpty()) m_host->setText(details.account->host());
    if (details.publisher) selectHostTag(details.publisher->type());
    else if (details.account && !details.account->host().isEmpty()) selectHostTag(Flow::TagNoPublisher);
    m_primary->setText(tr("Continue"));
    m_back->hide();
}

void PLYAccountInfoViewController::ensureWordpressView() {
    m_checkingPublisher = false;
    m_wordpressProgress->stopAnimation();
    const PLYAccountDetails details = m_source();
    const QString host = details.account ? details.account->host() : QString();
    m_wordpressNote->setText(host.isEmpty() ? tr("Sign in with the WordPress account Pellory should publish as.")
                                            : tr("Sign in with the WordPress account Pellory should publish as on %1.").arg(host));
    clearWordpressErrors();
    if (const auto publisher = details.publisher) {
        m_username->setText(publisher->username());
        m_password->clear();
        // The service never sends the password back; left empty, it stays as it is.
        m_password->setPlaceholderText(tr("Password (unchanged)"));
        if (publisher->status() == Flow::StatusRPCUnreachable) {
            m_settingsView->hide();
        } else {
            m_categoryPopUp->clear();
            QStringList categories;
            for (const QVariant& category : publisher->categories()) categories << category.toString();
            m_categoryPopUp->addItems(categories);
            const Flow::CategoryChoice choice = Flow::categoryChoice(categories, publisher->defaultCategory());
            m_categoryPopUp->setCurrentIndex(choice.selectedIndex);
            m_draft->setChecked(!publisher->autoPublish());
            m_categoryErrorLabel->setText(choice.message);
            m_categoryErrorView->setVisible(!choice.message.isEmpty());
            m_settingsView->show();
        }
        m_primary->setText(tr("Continue"));
    } else {
        m_username->clear();
        m_password->clear();
        m_password->setPlaceholderText(tr("WordPress password"));
        m_categoryErrorView->hide();
        m_settingsView->hide();
        m_primary->setText(tr("Log in"));
    }
    m_back->setText(tr("Back"));
    m_back->show();
}

void PLYAccountInfoViewController::ensureRPCView() {
    m_back->setText(tr("Try again"));
    m_primary->setText(tr("Continue manually"));
    m_back->show();
    m_player->loadVideo(QString::fromLatin1(RPCVideo));
}

void PLYAccountInfoViewController::clearWordpressErrors() {
    m_usernameBox->setErrorState(false);
    m_passwordBox->setErrorState(false);
    m_usernameErrorView->hide();
    m_passwordErrorView->hide();
}

void PLYAccountInfoViewController::showWordpressError(bool username, const QString& message) {
    (username ? m_usernameError : m_passwordError)->setText(message);
    (username ? m_usernameBox : m_passwordBox)->setErrorState(true);
    (username ? m_usernameErrorView : m_passwordErrorView)->show();
}

void PLYAccountInfoViewController::showHostError(const QString& message) {
    m_hostError->setText(message);
    m_hostBox->setErrorState(true);
    showPage(HostPage);
}

void PLYAccountInfoViewController::presentAlert(const QString& title, const QString& text, bool critical) {
    PLYAlertRequest alert;
    alert.style = critical ? PLYAlertRequest::Style::Critical : PLYAlertRequest::Style::Informational;
    alert.messageText = title;
    alert.informativeText = text;
    alert.buttonTitles = {QStringLiteral("OK")};
    PLYAlertPresenter::shared()->runModal(alert, this);
}

void PLYAccountInfoViewController::refusedRequest(const QString& activity) {
    // The session is busy elsewhere (reconnecting, signing in): nothing will answer this
    // request, so the spinner stops here and the user may try again.
    presentAlert(QStringLiteral("Cannot Reach Server"),
                 QStringLiteral("An error occured while %1. Ensure you have an internet connection and try again.").arg(activity),
                 true);
}

void PLYAccountInfoViewController::continueAction() {
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    switch (currentPage()) {
    case HostPage: {
        if (m_checkingHost) return;
        if (hostTag() == Flow::TagNothingChosen) {
            presentAlert(QStringLiteral("Select Host"), QStringLiteral("Select a domain host before continuing"), false);
            return;
        }
        m_hostBox->setErrorState(false);
        const QString host = m_host->text().trimmed();
        // Without a domain the account would be left as it is and the wizard would go on as
        // if it were set.
        if (host.isEmpty()) {
            showHostError(tr("Enter the domain of your blog"));
            return;
        }
        m_checkingHost = true;
        m_hostProgress->startAnimation();
        if (!manager || !manager->updateAccount(host)) {
            m_checkingHost = false;
            m_hostProgress->stopAnimation();
            refusedRequest(QStringLiteral("saving your blog's domain"));
        }
        return;
    }
    case RPCPage:
        PLYDefaults::setShouldSupressRPC(m_suppress->isChecked());
        closeWithResponse(PLYModalRunner::Continue);
        return;
    case WordpressPage: {
        if (m_checkingPublisher) return;
        const Flow::Publisher facts = publisherFacts();
        const QString username = m_username->text().trimmed();
        const QString password = m_password->text();
        const auto request = Flow::wordpressContinue(facts, username, password,
                                                     m_categoryPopUp->count() > 0 && m_categoryPopUp->currentIndex() < 0);
        if (!facts.exists) clearWordpressErrors();
        using Kind = Flow::WordpressRequest::Kind;
        if (request.kind == Kind::UsernameMissing) {
            showWordpressError(true, QStringLiteral("Username required"));
            return;
        }
        if (request.kind == Kind::PasswordMissing) {
            showWordpressError(false, QStringLiteral("Password required"));
            return;
        }
        if (request.kind == Kind::CategoryMissing) {
            m_categoryErrorView->show();
            return;
        }
        m_checkingPublisher = true;
        m_wordpressProgress->startAnimation();
        bool asked = false;
        if (manager) {
            if (request.kind == Kind::Create)
                asked = manager->createPublisher(PLYWebServicePublisher::TypeWordpress, username, password);
            else if (request.kind == Kind::UpdateCredentials)
                asked = manager->updatePublisher(username, password, QString(), facts.autoPublish);
            else
                asked = manager->updatePublisher(username, password, m_categoryPopUp->currentText(), !m_draft->isChecked());
        }
        if (!asked) {
            m_checkingPublisher = false;
            m_wordpressProgress->stopAnimation();
            refusedRequest(QStringLiteral("saving your WordPress settings"));
        }
        return;
    }
    }
}

void PLYAccountInfoViewController::backAction() {
    if (currentPage() == WordpressPage) {
        showPage(HostPage);
        ensureHostView();
    } else if (currentPage() == RPCPage && !m_checkingPublisher) {
        ensureWordpressView();
        showPage(WordpressPage);
    }
}

void PLYAccountInfoViewController::cancelAction() { closeWithResponse(PLYModalRunner::Stop); }

QUrl PLYAccountInfoViewController::troubleshootRPCURL() {
    return PLYDefaults::supportURLForPath(
        QStringLiteral("/publishing-to-your-website/pellory-and-wordpress/how-to-activate-rpc-on-your-wordpress-website"));
}

QUrl PLYAccountInfoViewController::learnMoreRPCURL() {
    return PLYDefaults::supportURLForPath(
        QStringLiteral("/publishing-to-your-website/pellory-and-wordpress/publishing-to-your-wordpress-website-manually"));
}

void PLYAccountInfoViewController::troubleshootRPC() { PLYDesktopServices::shared()->openURL(troubleshootRPCURL()); }
void PLYAccountInfoViewController::learnMoreRPC() { PLYDesktopServices::shared()->openURL(learnMoreRPCURL()); }

void PLYAccountInfoViewController::closeWithResponse(qint64 response) {
    m_actionResponse = response;
    m_checkingHost = false;
    m_checkingPublisher = false;
    PLYModalRunner::shared()->stopModalWithCode(response);
    // Hidden rather than closed: a close would count as the user's cancel.
    m_closing = true;
    hide();
}

void PLYAccountInfoViewController::closeEvent(QCloseEvent* event) {
    // Closing the window is a cancel; the run answers Stop.
    if (!m_closing) m_actionResponse = PLYModalRunner::Stop;
    QWidget::closeEvent(event);
}

void PLYAccountInfoViewController::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cancelAction();
        return;
    }
    // Return is the window's default action wherever the focus is: the fields and the pop-ups
    // let it through to here (a focused button takes it itself).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_primary->isVisible() && m_primary->isEnabled()) m_primary->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PLYAccountInfoViewController::handleStatus(qint64 status) {
    const auto action = Flow::statusAction(status);
    using Kind = Flow::StatusAction::Kind;
    switch (action.kind) {
    case Kind::Alert:
        presentAlert(QStringLiteral("Error"), action.message, true);
        break;
    case Kind::UsernameError:
        showWordpressError(true, action.message);
        break;
    case Kind::PasswordError:
        showWordpressError(false, action.message);
        break;
    case Kind::ShowRPCPage:
        ensureRPCView();
        showPage(RPCPage);
        break;
    case Kind::None:
        break;
    }
}

void PLYAccountInfoViewController::webServiceDidChangeState(const PLYSessionChange& change) {
    const auto reaction = Flow::react(change, m_checkingHost, m_checkingPublisher, hostTag(), publisherFacts());
    if (reaction.endsHostCheck) {
        m_checkingHost = false;
        m_hostProgress->stopAnimation();
    }
    if (reaction.endsPublisherCheck) {
        m_checkingPublisher = false;
        m_wordpressProgress->stopAnimation();
    }
    using Kind = Flow::Reaction::Kind;
    switch (reaction.kind) {
    case Kind::Close:
        closeWithResponse(PLYModalRunner::Continue);
        break;
    case Kind::DeletePublisher: {
        PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
        if (!manager || !manager->deletePublisher()) {
            m_checkingHost = false;
            m_hostProgress->stopAnimation();
            refusedRequest(QStringLiteral("removing your WordPress settings"));
        }
        break;
    }
    case Kind::ShowWordpressPage:
        ensureWordpressView();
        showPage(WordpressPage);
        break;
    case Kind::ShowRPCPage:
        ensureRPCView();
        showPage(RPCPage);
        break;
    case Kind::HostFailed:
        showHostError(reaction.message);
        break;
    case Kind::PublisherStatus:
        handleStatus(reaction.status);
        break;
    case Kind::PublisherFailed:
        presentAlert(QStringLiteral("Error"), reaction.message, true);
        break;
    case Kind::None:
        break;
    }
}

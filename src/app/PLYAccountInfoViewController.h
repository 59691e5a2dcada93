#pragma once

#include "PLYAccountDetails.h"
#include "PLYAccountInfoFlow.h"
#include "PLYSessionObserver.h"

#include <QWidget>
#include <memory>

class PLYErrorBox;
class PLYLoopingVideoView;
class PLYProgressIndicator;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The account-details wizard ("AccountInfoWindow" of "Settings"): the domain of the blog,
// then the WordPress sign-in and settings, and help for a site whose XML-RPC cannot be
// reached. The session runs it modally; it ends the run with Continue once the account is set
// up, or Stop on cancel.
class PLYAccountInfoViewController : public QWidget {
    Q_OBJECT
public:
    enum Page { HostPage = 0, WordpressPage = 1, RPCPage = 2 };
    static constexpr const char* RPCVideo = "wp_rpc_example";

    explicit PLYAccountInfoViewController(QWidget* parent = nullptr);
    ~PLYAccountInfoViewController() override;

    // Where the account and publisher are read (the session unless replaced).
    void setDetailsSource(PLYAccountDetails::Source source);

    void startAtPublisher();
    void startAtRPC();
    void ensureHostView();
    void ensureWordpressView();
    void ensureRPCView();

    void continueAction();
    void backAction();
    void cancelAction();
    void troubleshootRPC();
    void learnMoreRPC();
    void closeWithResponse(qint64 response);
    // The response the wizard ended with (Stop until it ends).
    qint64 actionResponse() const { return m_actionResponse; }

    void webServiceDidChangeState(const PLYSessionChange& change);
    void handleStatus(qint64 status);
    // The host page with `message` on its domain field.
    void showHostError(const QString& message);

    Page currentPage() const;
    bool checkingHost() const { return m_checkingHost; }
    bool checkingPublisher() const { return m_checkingPublisher; }

    static QUrl troubleshootRPCURL();
    static QUrl learnMoreRPCURL();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildHostPage();
    QWidget* buildWordpressPage();
    QWidget* buildRPCPage();
    PLYAccountInfoFlow::Publisher publisherFacts() const;
    void showPage(Page page);
    void showWordpressError(bool username, const QString& message);
    void clearWordpressErrors();
    void presentAlert(const QString& title, const QString& text, bool critical);
    void refusedRequest(const QString& activity);
    qint64 hostTag() const;
    void selectHostTag(qint64 tag);

    PLYAccountDetails::Source m_source;
    QStackedWidget* m_tabView = nullptr;
    // Host page.
    QLineEdit* m_host = nullptr;
    QComboBox* m_publisherPopUp = nullptr;
    PLYErrorBox* m_hostBox = nullptr;
    QLabel* m_hostError = nullptr;
    PLYProgressIndicator* m_hostProgress = nullptr;
    // WordPress page.
    QLabel* m_wordpressNote = nullptr;
    QLineEdit* m_username = nullptr;
    QLineEdit* m_password = nullptr;
    PLYErrorBox* m_usernameBox = nullptr;
    PLYErrorBox* m_passwordBox = nullptr;
    QLabel* m_usernameError = nullptr;
    QLabel* m_passwordError = nullptr;
    QWidget* m_usernameErrorView = nullptr;
    QWidget* m_passwordErrorView = nullptr;
    QWidget* m_settingsView = nullptr;
    QComboBox* m_categoryPopUp = nullptr;
    QCheckBox* m_draft = nullptr;
    QWidget* m_categoryErrorView = nullptr;
    QLabel* m_categoryErrorLabel = nullptr;
    PLYProgressIndicator* m_wordpressProgress = nullptr;
    // RPC page.
    PLYLoopingVideoView* m_player = nullptr;
    QCheckBox* m_suppress = nullptr;
    // Buttons under the pages.
    QPushButton* m_back = nullptr;
    QPushButton* m_primary = nullptr;

    bool m_checkingHost = false;
    bool m_checkingPublisher = false;
    bool m_closing = false;
    qint64 m_actionResponse;
    std::unique_ptr<PLYSessionObserver> m_observer;
};

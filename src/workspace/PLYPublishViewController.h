#pragma once

#include "PLYGenericPostViewController.h"
#include "PLYPublishButton.h"
#include "PLYPublishPanelState.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class InspectorBGView;
class PLYPostManager;
class PLYWebServicePostPublisher;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// The publish panel of the post's inspector: where the post's publisher stands (fetching,
// unavailable service, published with its dates and blog state, upload progress, images that
// failed) and the actions of the publishing road: publish or update with a blog category and a
// draft box, cancel, retry, delete, visit or copy the link, and the account windows. What shows
// is decided by PLYPublishPanelState; this widget gathers what it reads and applies the answer.
class PLYPublishViewController : public PLYGenericPostViewController, public PLYPublishButtonDelegate {
    Q_OBJECT
public:
    static constexpr const char* WordpressHelpPath =
        "/publishing-to-your-website/pellory-and-wordpress/publishing-to-your-wordpress-website-manually";

    explicit PLYPublishViewController(QWidget* parent = nullptr);
    ~PLYPublishViewController() override;

    // Follows the post's publisher from now on (one registration, whatever the calls) and
    // refreshes.
    void setPostManager(std::shared_ptr<PLYPostManager> postManager) override;
    // The post's publisher, made by the web-service manager on first request; nothing without a
    // post manager, a post, or a running web-service manager.
    std::shared_ptr<PLYWebServicePostPublisher> postPublisher() const;

    // ---- Actions ----
    void tooglePublishTab();
    // Publish from the state view (update) and from the publish view (the button's delegate call).
    void performUpdate();
    void buttonWasClicked(PLYPublishButton* button) override;
    void cancelUpdate();
    void retryFailedImages();
    // Asks first; then deletes the published copy (the local post stays).
    void deleteRemotePost();
    void copyLinkToClipboard();
    void showWordpressSettings();
    void showHostSettings();
    void showWPError();

    // Reads the publisher and the session and shows what they call for.
    void ensureMainStack();
    // Shows the panel for `inputs` and the upload's `progress`; ensureMainStack's last step.
    void present(const PLYPublishPanelInputs& inputs, const PLYUploadProgress& progress);
    PLYPublishPanelInputs gatherInputs() const;

    bool isCollapsed() const { return m_collapsed; }
    const PLYUploadProgress& uploadProgress() const { return m_progress; }
    // What the last publish action chose (nothing before the first).
    std::optional<QString> lastUsedCategory() const { return m_lastUsedCategory; }
    bool lastUsedAutoPublish() const { return m_lastUsedAutoPublish; }
    // How long the panel's own feedback line stays.
    static constexpr int FeedbackMs = 8000;
    // Says `text` on the panel's feedback line for a while.
    void showFeedback(const QString& text);
    // The service's link answer as a web address within its bound; anything else is logged by
    // its size and said in the panel with `consequence` ("nothing was copied").
    std::optional<QUrl> linkAddress(const QVariant& answer, const QString& consequence);

private:
    void follow(const std::shared_ptr<PLYWebServicePostPublisher>& publisher);
    void unfollow();
    void publisherStateChanged(const QVariantMap& userInfo);
    void publish(QComboBox* categories, QCheckBox* draft);
    void applyCategoryMenu(QComboBox* popUp, const PLYCategoryMenu& menu);
    static QString selectedCategory(const QComboBox* popUp);
    void infoStatusChosen(int index);

    std::weak_ptr<PLYWebServicePostPublisher> m_publisher;
    bool m_followingService = false;
    bool m_collapsed = false;
    std::optional<QString> m_lastUsedCategory;
    bool m_lastUsedAutoPublish = false;
    // The user's choices in the two blog views since they were filled, and what they were
    // filled for (the post and its live publication).
    std::optional<PLYBlogChoice> m_infoChoice;
    std::optional<PLYBlogChoice> m_publishChoice;
    QString m_choiceKey;
    QLabel* m_feedbackLabel = nullptr;
    QTimer m_feedbackTimer;
    PLYUploadProgress m_progress;
    bool m_applying = false;

    InspectorBGView* m_publishHeaderView;
    QToolButton* m_publishToggleButton;
    InspectorBGView* m_noInternetView;
    InspectorBGView* m_fetchingStatusView;
    QProgressBar* m_fetchingProgressIndicator;
    InspectorBGView* m_wordpressContainerView;
    QLabel* m_wordpressInfoHostLabel;
    QComboBox* m_wordpressInfoCategoryPopUpButton;
    QCheckBox* m_wordpressDraftButton;
    QLabel* m_wordpressStatusImageView;
    QWidget* m_wordpressErrorView;
    QLabel* m_wordpressErrorLabel;
    InspectorBGView* m_infoContainerView;
    QLabel* m_infoPublishedTitleLabel;
    QLabel* m_infoPublishedDateLabel;
    QLabel* m_infoStatusLabel;
    QComboBox* m_infoStatusPopUpButton;
    QProgressBar* m_infoProgressIndicator;
    InspectorBGView* m_stateContainerView;
    QLabel* m_statusUpdatedDateLabel;
    QPushButton* m_statusUpdateButton;
    QPushButton* m_statusViewBlogButton;
    QProgressBar* m_statusProgressIndicator;
    QPushButton* m_statusCancelUpdateButton;
    QPushButton* m_statusRetryButton;
    QLabel* m_statusInfoLabel;
    InspectorBGView* m_publishContainerView;
    QWidget* m_publishWordpressView;
    QLabel* m_publishWordpressHostLabel;
    QComboBox* m_publishWordpressCategoryPopUpButton;
    QCheckBox* m_publishWordpressDraftButton;
    QWidget* m_publishGeneralHostView;
    QLabel* m_publishGeneralHostLabel;
    PLYPublishButton* m_publishButton;
};

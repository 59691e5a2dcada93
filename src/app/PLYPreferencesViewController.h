#pragma once

#include "PLYAccountDetails.h"

#include <QWidget>

class PLYColourWell;
class QCheckBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

// The content of the preferences window: a General tab of the defaults new posts start from,
// and an Account tab with the blog's domain and WordPress account.
class PLYPreferencesViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* GeneralTab = "general";
    static constexpr const char* AccountTab = "account";
    // What the Account tab shows for a password the service never sends back.
    static constexpr const char* HiddenPassword = "**********";

    explicit PLYPreferencesViewController(QWidget* parent = nullptr);

    void setDetailsSource(PLYAccountDetails::Source source);

    void selectTabIdentifier(const QString& identifier);
    QString selectedTabIdentifier() const;
    void ensureGeneralTab();
    void ensureAccountTab();

    void generalPaddingAction();
    void generalColourAction(const QColor& colour);
    void generalSubfolderAction();
    void showDomainDetails();
    void showWordpressDetails();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildGeneralTab();
    QWidget* buildAccountTab();
    void showAccountDetails(bool atPublisher);

    PLYAccountDetails::Source m_source;
    QStackedWidget* m_tabView = nullptr;
    QCheckBox* m_autoUpdate = nullptr;
    QLineEdit* m_padding = nullptr;
    PLYColourWell* m_colour = nullptr;
    QCheckBox* m_subfolders = nullptr;
    QLabel* m_domainName = nullptr;
    QLabel* m_domainHost = nullptr;
    QLabel* m_wordpressUsername = nullptr;
    QLabel* m_wordpressPassword = nullptr;
};

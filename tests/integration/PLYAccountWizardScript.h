#pragma once

#include "PLYAccountInfoViewController.h"
#include "PLYModalRunner.h"
#include "PLYTestEnvironment.h"
#include "PLYTestWidgets.h"

#include <QComboBox>
#include <QTest>

// What a user does in the account-details wizard the modal runner shows: the blog's address
// `host`, WordPress as its platform with the account "ada", and on through its settings.
inline void PLYCompleteAccountWizardWithWordpress(QWidget* shown, const QString& host) {
    using PLYTestEnvironment::waitUntil;
    using PLYTestWidgets::child;
    using PLYTestWidgets::click;
    using PLYTestWidgets::type;
    auto* wizard = qobject_cast<PLYAccountInfoViewController*>(shown);
    ASSERT_NE(wizard, nullptr);
    shown->show();
    type(wizard, "hostTextField", host);
    auto* platform = child<QComboBox>(wizard, "publisherPopUpButton");
    platform->setFocus();
    QTest::keyClick(platform, Qt::Key_Down);
    click(wizard, "primaryActionButton");
    ASSERT_TRUE(waitUntil([&] { return wizard->currentPage() == PLYAccountInfoViewController::WordpressPage; }));
    type(wizard, "wordpressUsernameTextField", "ada");
    type(wizard, "wordpressPasswordTextField", "wp-secret", true);
    ASSERT_TRUE(waitUntil([&] { return child(wizard, "wordpressSettingsView")->isVisible(); }));
    click(wizard, "primaryActionButton");
    ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
}

#pragma once

#include "PLYAccountInfoViewController.h"
#include "PLYModalRunner.h"
#include "PLYTestEnvironment.h"
#include "PLYTestWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <optional>

// What a user does in the account-details wizard the modal runner shows: the blog's address
// `host`, WordPress as its platform with the account "ada", and on through its settings, where
// the default `category` and the "Save posts as drafts" box are set when given.
inline void PLYCompleteAccountWizardWithWordpress(QWidget* shown, const QString& host, const QString& category = {},
                                                  std::optional<bool> drafts = std::nullopt) {
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
    if (!category.isEmpty()) {
        auto* categories = child<QComboBox>(wizard, "wordpressCategoryPopUpButton");
        ASSERT_TRUE(waitUntil([&] { return categories->findText(category) >= 0; }));
        categories->setCurrentIndex(categories->findText(category));
    }
    if (drafts) {
        auto* box = child<QCheckBox>(wizard, "wordpressDraftButton");
        if (box->isChecked() != *drafts) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        ASSERT_EQ(box->isChecked(), *drafts);
    }
    click(wizard, "primaryActionButton");
    ASSERT_TRUE(waitUntil([&] { return wizard->actionResponse() == PLYModalRunner::Continue; }));
}

// The inspector's Document and SEO tabs for a copy of the fixture's richer post that carries an
// SEO title, a meta description and focus keywords but no image keywords, so that the checklist
// shows good, middling and poor grades side by side; and both tabs for a post with none of these
// fields yet. The copies are not in the account, so no other scene sees these fields.
// The Properties tab for each kind of block of that copy, for several images and for a mixed
// selection.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYCoreManager.h"
#include "PLYDocumentViewController.h"
#include "PLYInspectorViewController.h"
#include "PLYInstantAnimator.h"
#include "PLYLayoutManager.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYPropertyViewController.h"
#include "PLYSeoManager.h"
#include "PLYSeoViewController.h"

#include <QDir>
#include <QWidget>
#include <functional>

namespace {

std::shared_ptr<PLYPostManager> gradedPost(PLYScreensFixture& fixture, bool withSeoFields) {
    const auto original = fixture.mainPostManager()->representedPost();
    auto post = PLYPersistantPost::create(original->name(), QDir(fixture.rootDirectory()).filePath(QStringLiteral("scenes")),
                                          PLYCoreManager::persistantStore());
    for (const QString& location : original->sourceLocations()) post->addSourceLocation(location);
    *post->layout() = original->constLayout();
    const QStringList refs = PLYLayoutManager::imageRefsInLayout(post->constLayout());
    for (const QString& ref : refs) post->incrementInUseCountForImage(ref);
    if (withSeoFields) {
        post->setSeoTitle(QStringLiteral("Autumn walks in the Scottish Highlands"));
        post->setMetaDescription(QStringLiteral("Three autumn days hiking the Scottish Highlands: quiet glens of rust "
                                                "and gold, a loch at dawn, and light that changes every hour."));
        post->setFocusKeywords(QStringList{QStringLiteral("highlands"), QStringLiteral("autumn"),
                                           QStringLiteral("hiking"), QStringLiteral("glen")});
    }
    return PLYPostManager::create(post);
}

// The tab does not own its post; the scene keeps it until the picture is taken.
QWidget* holding(QWidget* widget, std::shared_ptr<PLYPostManager> manager) {
    QObject::connect(widget, &QObject::destroyed, [manager] {});
    return widget;
}

const bool documentTab = PLYScreens::add(QStringLiteral("document-tab"), [](PLYScreensFixture& fixture) {
    auto manager = gradedPost(fixture, true);
    auto* tab = new PLYDocumentViewController;
    tab->setLayoutManager(manager->layoutManager());
    tab->resize(300, 470);
    return holding(tab, manager);
});

const bool documentTabEmpty = PLYScreens::add(QStringLiteral("document-tab-new-post"), [](PLYScreensFixture& fixture) {
    auto manager = gradedPost(fixture, false);
    auto* tab = new PLYDocumentViewController;
    tab->setLayoutManager(manager->layoutManager());
    tab->resize(300, 400);
    return holding(tab, manager);
});

const bool seoTab = PLYScreens::add(QStringLiteral("seo-tab"), [](PLYScreensFixture& fixture) {
    auto manager = gradedPost(fixture, true);
    auto* tab = new PLYSeoViewController;
    tab->setPostManager(manager);
    tab->resize(300, 470);
    return holding(tab, manager);
});

const bool seoTabWithoutKeywords =
    PLYScreens::add(QStringLiteral("seo-tab-without-keywords"), [](PLYScreensFixture& fixture) {
        auto manager = gradedPost(fixture, false);
        auto* tab = new PLYSeoViewController;
        tab->setPostManager(manager);
        tab->resize(300, 240);
        return holding(tab, manager);
    });

// The Properties tab showing the blocks `ids` of the richer post's copy selected, on the
// inspector's white, as wide as the post window has it. The stack of several images is shown as
// it ends, not mid-animation.
QWidget* propertiesTab(PLYScreensFixture& fixture, const QStringList& ids, int height,
                       const std::function<void(PLYPostManager&)>& prepare = {}) {
    auto manager = gradedPost(fixture, true);
    if (prepare) prepare(*manager);
    const auto layout = manager->layoutManager();
    QList<PLYBlock*> blocks;
    for (const QString& id : ids) blocks << layout->blockForRef(id);
    const auto animator = PLYAnimator::shared();
    PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
    auto* tab = new PLYPropertyViewController;
    tab->setAutoFillBackground(true);
    QPalette palette = tab->palette();
    palette.setColor(QPalette::Window, Qt::white);
    tab->setPalette(palette);
    tab->setLayoutManager(layout);
    layout->selectBlocks(blocks);
    PLYAnimator::setShared(animator);
    tab->resize(250, height);
    return holding(tab, manager);
}

const bool propertiesImage = PLYScreens::add(QStringLiteral("properties-tab-image"), [](PLYScreensFixture& fixture) {
    return propertiesTab(fixture, {QStringLiteral("i-hero")}, 500, [&](PLYPostManager& manager) {
        const auto post = manager.representedPost();
        const QString ref = QString::fromStdString(
            manager.layoutManager()->blockForRef(QStringLiteral("i-hero"))->image().img_ref());
        post->setFocusKeywordsForImage({QStringLiteral("highlands"), QStringLiteral("glen"), QStringLiteral("autumn")}, ref);
    });
});

const bool propertiesImages = PLYScreens::add(QStringLiteral("properties-tab-several-images"), [](PLYScreensFixture& fixture) {
    return propertiesTab(fixture, {QStringLiteral("i-c"), QStringLiteral("i-d"), QStringLiteral("i-e")}, 500);
});

const bool propertiesText = PLYScreens::add(QStringLiteral("properties-tab-text"), [](PLYScreensFixture& fixture) {
    return propertiesTab(fixture, {QStringLiteral("t-intro")}, 300);
});

const bool propertiesBlank = PLYScreens::add(QStringLiteral("properties-tab-blank"), [](PLYScreensFixture& fixture) {
    return propertiesTab(fixture, {QStringLiteral("b-gap")}, 200);
});

const bool propertiesDownload =
    PLYScreens::add(QStringLiteral("properties-tab-download-button"), [](PLYScreensFixture& fixture) {
        return propertiesTab(fixture, {QStringLiteral("d-download")}, 280);
    });

const bool propertiesMixed = PLYScreens::add(QStringLiteral("properties-tab-mixed-blocks"), [](PLYScreensFixture& fixture) {
    return propertiesTab(fixture, {QStringLiteral("t-title"), QStringLiteral("i-hero")}, 200);
});

// The whole inspector as a click on a picture leaves it: the Properties tab to the front.
const bool inspectorProperties = PLYScreens::add(QStringLiteral("inspector-properties"), [](PLYScreensFixture& fixture) {
    auto manager = gradedPost(fixture, true);
    auto* pane = new PLYInspectorViewController;
    pane->setPostManager(manager);
    manager->layoutManager()->selectBlock(manager->layoutManager()->blockForRef(QStringLiteral("i-wide")));
    pane->resize(250, 900);
    return holding(pane, manager);
});

}  // namespace

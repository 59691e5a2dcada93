// The inspector's Document and SEO tabs for a copy of the fixture's richer post that carries an
// SEO title, a meta description and focus keywords but no image keywords, so that the checklist
// shows good, middling and poor grades side by side; and both tabs for a post with none of these
// fields yet. The copies are not in the account, so no other scene sees these fields.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYCoreManager.h"
#include "PLYDocumentViewController.h"
#include "PLYLayoutManager.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"
#include "PLYSeoViewController.h"

#include <QDir>
#include <QWidget>

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

}  // namespace

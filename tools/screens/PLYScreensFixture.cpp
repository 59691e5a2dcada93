#include "PLYScreensFixture.h"

#include "PLYCoreManager.h"
#include "PLYImageManager.h"
#include "PLYLayoutManager.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYSourceImage.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QUrl>

namespace {

// Waits, running the event loop, until `done` holds; false after `ms` milliseconds.
template <typename F>
bool waitFor(F done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct Photo {
    const char* file;
    int width;
    int height;
    int rating;
    const char* label;
};

// Landscape and portrait frames, so rows and the gallery show real variety.
const Photo kPhotos[] = {
    {"DSC_0412.jpg", 1800, 1200, 5, "Red"},     {"DSC_0415.jpg", 1200, 1800, 4, "Green"},
    {"DSC_0419.jpg", 1800, 1200, 3, ""},        {"DSC_0423.jpg", 1600, 1600, 0, "Blue"},
    {"DSC_0431.jpg", 1800, 1200, 2, "Yellow"},  {"DSC_0436.jpg", 1200, 1800, 5, "Purple"},
    {"DSC_0440.jpg", 2000, 1000, 1, ""},        {"DSC_0447.jpg", 1800, 1200, 4, "Red"},
    {"DSC_0452.jpg", 1800, 1200, 0, ""},        {"DSC_0458.jpg", 1200, 1600, 3, "Green"},
    {"IMG_1021.jpg", 1800, 1350, 5, ""},        {"IMG_1024.jpg", 1800, 1200, 2, "Blue"},
};

}  // namespace

PLYScreensFixture::PLYScreensFixture(const QString& rootDirectory) : m_root(rootDirectory) {}

PLYScreensFixture::~PLYScreensFixture() = default;

std::shared_ptr<PLYPersistantAccount> PLYScreensFixture::account() const {
    const auto store = PLYCoreManager::persistantStore();
    return store ? store->currentAccount() : nullptr;
}

void PLYScreensFixture::settle(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool PLYScreensFixture::makePhotos() {
    m_photos = m_root + QStringLiteral("/Photos/Highlands");
    if (!QDir().mkpath(m_photos)) {
        m_error = QStringLiteral("cannot make %1").arg(m_photos);
        return false;
    }
    int seed = 1;
    for (const Photo& photo : kPhotos) {
        const QString path = QDir(m_photos).filePath(QString::fromLatin1(photo.file));
        if (!PLYTestImages::writePhotoJpeg(path, photo.width, photo.height, seed++) ||
            !PLYTestImages::setXmpRatingAndLabel(path, photo.rating, QString::fromLatin1(photo.label))) {
            m_error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

std::shared_ptr<PLYPostManager> PLYScreensFixture::makePost(const QString& name, bool rich) {
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    if (!manager->createNewPostWithTtitle(name)) {
        m_error = QStringLiteral("cannot create the post %1").arg(name);
        return nullptr;
    }
    const auto post = manager->representedPost();
    manager->setWatchLocation(QUrl::fromLocalFile(m_photos));
    const int expected = int(std::size(kPhotos));
    if (!waitFor([&] { return post->images().size() == expected; })) {
        m_error = QStringLiteral("the photos of %1 were not found").arg(name);
        return nullptr;
    }
    QStringList ids;
    for (const auto& image : post->images()) ids << image->identifier();
    ids.sort();
    if (m_imageIds.isEmpty()) m_imageIds = ids;
    if (!waitFor([&] {
            for (const QString& id : ids)
                if (!PLYImageManager::sharedManager()->hasRenditions(id)) return false;
            return true;
        })) {
        m_error = QStringLiteral("the renditions of %1 were not made").arg(name);
        return nullptr;
    }

    using namespace PLYTestLayouts;
    auto ref = [&](int i) { return ids.at(i % ids.size()).toStdString(); };
    PLYLayout layout;
    if (rich) {
        layout = PLYTestLayouts::layout(
            12, {section("s1", {text("t-title", "Autumn in the Highlands", PLYTextStyle_Title),
                                 image("i-hero", ref(0)),
                                 text("t-intro",
                                      "We walked for three days through glens of rust and gold, with the light "
                                      "changing every hour and the rain never far away.",
                                      PLYTextStyle_Body),
                                 container("c-row", false, {image("i-a", ref(1)), image("i-b", ref(2))}),
                                 text("t-head", "The loch at dawn", PLYTextStyle_Heading),
                                 container("c-trio", false,
                                           {image("i-c", ref(3)), image("i-d", ref(4)), image("i-e", ref(5))}),
                                 blank("b-gap", 12.0f),
                                 text("t-quote", "\u201cThe mountains are calling.\u201d", PLYTextStyle_Quote),
                                 image("i-wide", ref(6)),
                                 downloadButton("d-download")})},
            250, 248, 244);
    } else {
        layout = PLYTestLayouts::layout(
            8, {section("s1", {text("t-title", "Harbour Mornings", PLYTextStyle_Title),
                                container("c-row", false, {image("h-a", ref(7)), image("h-b", ref(8))}),
                                image("h-c", ref(9))})});
    }
    *post->layout() = layout;
    std::function<void(const PLYBlock&)> count = [&](const PLYBlock& block) {
        if (block.has_image()) post->incrementInUseCountForImage(QString::fromStdString(block.image().img_ref()));
        if (block.has_container())
            for (const PLYBlock& child : block.container().sub_blocks()) count(child);
    };
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks()) count(block);
    if (!post->save()) {
        m_error = QStringLiteral("cannot save %1").arg(name);
        return nullptr;
    }
    return manager;
}

bool PLYScreensFixture::build() {
    PLYCoreManager::resetGlobalManager(m_root + QStringLiteral("/Library"));
    auto core = PLYCoreManager::globalManager();
    if (!core) {
        m_error = QStringLiteral("no core manager");
        return false;
    }
    core->store()->setUp(true);
    if (!core->store()->signInUser(QStringLiteral("mira.lindqvist@example.com"))) {
        m_error = QStringLiteral("cannot sign in the fixture account");
        return false;
    }
    if (!makePhotos()) return false;
    m_main = makePost(QStringLiteral("Autumn in the Highlands"), true);
    if (!m_main) return false;
    m_second = makePost(QStringLiteral("Harbour Mornings: a week of early light on the west coast"), false);
    if (!m_second) return false;
    core->setCurrentPostManager(m_main);
    return true;
}

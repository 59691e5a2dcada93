// Renders every registered scene offscreen to OUTPUT_DIR/<scene>.png from a fresh fixture
// library, at twice the pixel density so the pictures show what a HiDPI screen shows. Exits
// non-zero when the library cannot be made, a scene fails, or a picture is blank.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "AppDelegate.h"
#include "PLYLog.h"
#include "PLYUserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

namespace {

// A picture is blank when every sampled pixel has one colour.
bool isBlank(const QImage& image) {
    if (image.isNull() || image.width() < 2 || image.height() < 2) return true;
    const QRgb first = image.pixel(0, 0);
    const int stepX = std::max(1, image.width() / 64);
    const int stepY = std::max(1, image.height() / 64);
    for (int y = 0; y < image.height(); y += stepY)
        for (int x = 0; x < image.width(); x += stepX)
            if (image.pixel(x, y) != first) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/pellory-screens-XXXXXX"));
    const QString r = root.path();
    qputenv("XDG_DATA_HOME", (r + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (r + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (r + QStringLiteral("/cache")).toUtf8());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellory"));
    QApplication::setOrganizationName(QStringLiteral("Pellory"));
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: pellory-screens OUTPUT_DIR [SCENE...]\n");
        return 2;
    }
    const QString outputDir = args.first();
    const QStringList wanted = args.mid(1);
    if (!QDir().mkpath(outputDir)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(outputDir));
        return 2;
    }

    PLYUserDefaults::resetStandardUserDefaults(r + QStringLiteral("/defaults.ini"));
    PLYLog::Options logOptions;
    logOptions.systemLog = false;
    logOptions.terminal = false;
    logOptions.fileDirectory = r + QStringLiteral("/logs");
    PLYLog::install(logOptions);

    AppDelegate::registerLayerServices();
    PLYScreensFixture fixture(r);
    if (!fixture.build()) {
        std::fprintf(stderr, "fixture library: %s\n", qPrintable(fixture.error()));
        return 1;
    }

    int written = 0;
    QStringList failures;
    for (const PLYScreenScene& scene : PLYScreens::scenes()) {
        if (!wanted.isEmpty() && !wanted.contains(scene.name)) continue;
        QWidget* widget = scene.build(fixture);
        if (!widget) {
            failures << scene.name + QStringLiteral(": not built");
            continue;
        }
        widget->show();
        PLYScreensFixture::settle(150);
        const QImage picture = widget->grab().toImage();
        const QString path = QDir(outputDir).filePath(scene.name + QStringLiteral(".png"));
        if (isBlank(picture))
            failures << scene.name + QStringLiteral(": blank picture");
        else if (!picture.save(path, "PNG"))
            failures << scene.name + QStringLiteral(": cannot write ") + path;
        else
            ++written;
        delete widget;
        PLYScreensFixture::settle(10);
    }
    for (const QString& failure : failures) std::fprintf(stderr, "%s\n", qPrintable(failure));
    std::printf("%d scenes written to %s\n", written, qPrintable(outputDir));
    PLYLog::shutdown();
    if (written == 0) return 1;
    return failures.isEmpty() ? 0 : 1;
}

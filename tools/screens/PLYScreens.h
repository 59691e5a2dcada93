#pragma once

#include <QString>
#include <functional>
#include <vector>

class QWidget;
class PLYScreensFixture;

// One picture of the interface. `build` makes a top-level widget showing the scene (the
// program owns and deletes it); the picture is named after the scene.
struct PLYScreenScene {
    QString name;
    std::function<QWidget*(PLYScreensFixture&)> build;
};

namespace PLYScreens {
// Scenes register themselves at static initialisation:
//   static const bool registered = PLYScreens::add("layout-tab", [](PLYScreensFixture& f) { ... });
bool add(const QString& name, std::function<QWidget*(PLYScreensFixture&)> build);
const std::vector<PLYScreenScene>& scenes();
}  // namespace PLYScreens

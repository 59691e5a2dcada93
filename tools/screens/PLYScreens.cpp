#include "PLYScreens.h"

namespace PLYScreens {

static std::vector<PLYScreenScene>& registry() {
    static std::vector<PLYScreenScene> scenes;
    return scenes;
}

bool add(const QString& name, std::function<QWidget*(PLYScreensFixture&)> build) {
    registry().push_back({name, std::move(build)});
    return true;
}

const std::vector<PLYScreenScene>& scenes() { return registry(); }

}  // namespace PLYScreens

#include "PLYDesktopServices.h"

#include "PLYQtDesktopServices.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYDesktopServices, PLYQtDesktopServices>;
std::shared_ptr<PLYDesktopServices> PLYDesktopServices::shared() { return Instance::get(); }
void PLYDesktopServices::setShared(std::shared_ptr<PLYDesktopServices> services) { Instance::set(std::move(services)); }

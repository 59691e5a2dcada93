#include "PLYFileDialogs.h"

#include "PLYQtFileDialogs.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYFileDialogs, PLYQtFileDialogs>;
std::shared_ptr<PLYFileDialogs> PLYFileDialogs::shared() { return Instance::get(); }
void PLYFileDialogs::setShared(std::shared_ptr<PLYFileDialogs> dialogs) { Instance::set(std::move(dialogs)); }

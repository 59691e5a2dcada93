#include "PLYAlertPresenter.h"

#include "PLYQtAlertPresenter.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYAlertPresenter, PLYQtAlertPresenter>;
std::shared_ptr<PLYAlertPresenter> PLYAlertPresenter::shared() { return Instance::get(); }
void PLYAlertPresenter::setShared(std::shared_ptr<PLYAlertPresenter> presenter) { Instance::set(std::move(presenter)); }

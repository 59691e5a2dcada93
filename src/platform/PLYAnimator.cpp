#include "PLYAnimator.h"

#include "PLYQtAnimator.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYAnimator, PLYQtAnimator>;
std::shared_ptr<PLYAnimator> PLYAnimator::shared() { return Instance::get(); }
void PLYAnimator::setShared(std::shared_ptr<PLYAnimator> animator) { Instance::set(std::move(animator)); }

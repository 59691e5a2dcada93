#include "PLYModalRunner.h"

#include "PLYQtModalRunner.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYModalRunner, PLYQtModalRunner>;
std::shared_ptr<PLYModalRunner> PLYModalRunner::shared() { return Instance::get(); }
void PLYModalRunner::setShared(std::shared_ptr<PLYModalRunner> runner) { Instance::set(std::move(runner)); }

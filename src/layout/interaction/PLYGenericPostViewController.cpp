#include "PLYGenericPostViewController.h"

#include "PLYPostManager.h"

PLYGenericPostViewController::PLYGenericPostViewController(QWidget* parent) : QWidget(parent) {}

PLYGenericPostViewController::~PLYGenericPostViewController() = default;

void PLYGenericPostViewController::setPostManager(std::shared_ptr<PLYPostManager> postManager) {
    m_postManager = std::move(postManager);
}

void PLYGenericPostViewController::setRepresentedObject(std::shared_ptr<PLYPostManager> object) {
    setPostManager(std::move(object));
}

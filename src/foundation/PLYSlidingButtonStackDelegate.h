#pragma once

class PLYSlidingButtonStack;

// Told when the user picks a segment of a PLYSlidingButtonStack.
class PLYSlidingButtonStackDelegate {
public:
    virtual ~PLYSlidingButtonStackDelegate() = default;
    virtual void buttonStackDidSelectIndex(PLYSlidingButtonStack*, int) {}
};

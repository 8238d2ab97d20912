#ifndef OXLE_DESKTOP_MODALSTACK_H
#define OXLE_DESKTOP_MODALSTACK_H

class eWidget;

// The widgets whose exec() is running, innermost last. Keys go to the innermost one.
// GUI thread only.
namespace ModalStack
{
void push(eWidget* w);
void remove(eWidget* w);
eWidget* top();
int depth();
} // namespace ModalStack

#endif

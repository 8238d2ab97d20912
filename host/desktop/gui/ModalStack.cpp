#include "ModalStack.h"

#include <algorithm>
#include <vector>

namespace
{
std::vector<eWidget*>& stack()
{
	static std::vector<eWidget*> widgets;
	return widgets;
}
} // namespace

namespace ModalStack
{
void push(eWidget* w)
{
	stack().push_back(w);
}

void remove(eWidget* w)
{
	auto& s = stack();
	s.erase(std::remove(s.begin(), s.end(), w), s.end());
}

eWidget* top()
{
	return stack().empty() ? nullptr : stack().back();
}

int depth()
{
	return int(stack().size());
}
} // namespace ModalStack

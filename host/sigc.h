#ifndef OXLE_HOST_SIGC_H
#define OXLE_HOST_SIGC_H

// The host exposes the old SigC 1.2 spelling of signals and slots; underneath is
// libsigc++ 3. Signals are emitted on the GUI thread only.
#include <sigc++/sigc++.h>

namespace SigC
{
class ObjectBase : public sigc::trackable
{
};

// Objects with slots are identities, not values: no assignment. This also keeps the
// virtual base from being move-assigned twice through a diamond.
class Object : public virtual ObjectBase
{
public:
	Object() = default;
	Object(const Object&) = delete;
	Object& operator=(const Object&) = delete;
	Object(Object&&) = delete;
	Object& operator=(Object&&) = delete;
};

template <class T, class R, class... A> auto slot(T& obj, R (T::*method)(A...))
{
	return sigc::mem_fun(obj, method);
}

template <class T, class R, class... A> auto slot(T* obj, R (T::*method)(A...))
{
	return sigc::mem_fun(*obj, method);
}

template <class R, class... A> auto slot(R (*fn)(A...))
{
	return sigc::ptr_fun(fn);
}

template <class R, class... A> class SignalN : public sigc::signal<R(A...)>
{
public:
	template <class... Args> R emit(Args&&... args) const
	{
		return sigc::signal<R(A...)>::emit(std::forward<Args>(args)...);
	}
};

template <class R> using Signal0 = SignalN<R>;
template <class R, class A1> using Signal1 = SignalN<R, A1>;
template <class R, class A1, class A2> using Signal2 = SignalN<R, A1, A2>;
} // namespace SigC

#endif

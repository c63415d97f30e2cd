// A value kept on the heap: std::optional's use (test, *, ->, assign) at the
// size of a pointer, for a large member most objects leave empty. A copy
// copies the value.
#pragma once

#include <memory>
#include <utility>

namespace rpt {

template <class T>
class Boxed {
public:
    Boxed() = default;
    Boxed(T v) : p_(std::make_unique<T>(std::move(v))) {}
    Boxed(const Boxed& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
    Boxed(Boxed&&) noexcept = default;
    Boxed& operator=(const Boxed& o) { return *this = Boxed(o); }
    Boxed& operator=(Boxed&&) noexcept = default;
    Boxed& operator=(T v) {
        p_ = std::make_unique<T>(std::move(v));
        return *this;
    }

    explicit operator bool() const { return p_ != nullptr; }
    T& operator*() { return *p_; }
    const T& operator*() const { return *p_; }
    T* operator->() { return p_.get(); }
    const T* operator->() const { return p_.get(); }
    void reset() { p_.reset(); }

private:
    std::unique_ptr<T> p_;
};

}  // namespace rpt

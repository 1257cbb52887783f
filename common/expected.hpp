// A value-or-error result for library operations: every checked operation
// returns one, and callers branch on it instead of catching exceptions.
#pragma once

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace tesvi {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& e) {
    return {std::forward<E>(e)};
}

template <class T, class E>
class Expected {
  public:
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return *std::get_if<0>(&v_); }
    const T& value() const& { return *std::get_if<0>(&v_); }
    T&& value() && { return std::move(*std::get_if<0>(&v_)); }
    T* operator->() { return std::get_if<0>(&v_); }
    const T* operator->() const { return std::get_if<0>(&v_); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const& { return *std::get_if<1>(&v_); }
    E&& error() && { return std::move(*std::get_if<1>(&v_)); }

  private:
    std::variant<T, E> v_;
};

// A reference result: builders return the object they changed, so calls chain.
template <class T, class E>
class Expected<T&, E> {
  public:
    Expected(T& value) : v_(std::in_place_index<0>, &value) {}
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() const { return **std::get_if<0>(&v_); }
    T* operator->() const { return *std::get_if<0>(&v_); }
    T& operator*() const { return value(); }

    const E& error() const& { return *std::get_if<1>(&v_); }
    E&& error() && { return std::move(*std::get_if<1>(&v_)); }

  private:
    std::variant<T*, E> v_;
};

template <class E>
class Expected<void, E> {
  public:
    Expected() = default;
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    const E& error() const& { return *std::get_if<1>(&v_); }
    E&& error() && { return std::move(*std::get_if<1>(&v_)); }

  private:
    std::variant<std::monostate, E> v_;
};

}  // namespace tesvi

// A value-or-error result for library operations: every checked operation
// returns one, and callers branch on it instead of catching exceptions. A
// result may not be dropped unread (the build makes that an error), and
// reading the wrong side is an internal fault, never undefined behaviour.
#pragma once

#include <cstddef>
#include <exception>
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

// Thrown when a caller reads the side a result does not hold: a broken
// invariant of the caller, which the Python boundary raises as PanicException.
struct BadExpectedAccess : std::exception {
    const char* what() const noexcept override {
        return "internal error: read the missing side of a result";
    }
};

// The alternative I of v, or BadExpectedAccess when v holds the other one.
template <size_t I, class V>
auto& checked_get(V& v) {
    auto* p = std::get_if<I>(&v);
    if (!p) throw BadExpectedAccess{};
    return *p;
}

template <class T, class E>
class [[nodiscard]] Expected {
  public:
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return checked_get<0>(v_); }
    const T& value() const& { return checked_get<0>(v_); }
    T&& value() && { return std::move(checked_get<0>(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const& { return checked_get<1>(v_); }
    E&& error() && { return std::move(checked_get<1>(v_)); }

  private:
    std::variant<T, E> v_;
};

// A reference result: builders return the object they changed, so calls chain.
template <class T, class E>
class [[nodiscard]] Expected<T&, E> {
  public:
    Expected(T& value) : v_(std::in_place_index<0>, &value) {}
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() const { return *checked_get<0>(v_); }
    T* operator->() const { return &value(); }
    T& operator*() const { return value(); }

    const E& error() const& { return checked_get<1>(v_); }
    E&& error() && { return std::move(checked_get<1>(v_)); }

  private:
    std::variant<T*, E> v_;
};

template <class E>
class [[nodiscard]] Expected<void, E> {
  public:
    Expected() = default;
    template <class G>
    Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    // Asserts success: for calls the caller knows cannot fail.
    void value() const { checked_get<0>(v_); }

    const E& error() const& { return checked_get<1>(v_); }
    E&& error() && { return std::move(checked_get<1>(v_)); }

  private:
    std::variant<std::monostate, E> v_;
};

}  // namespace tesvi

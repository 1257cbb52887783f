// Reading a tagged union whose alternatives are nested in the type itself, as
// the library's error types are: `e.is<TesviError::QubitOutOfRange>()`.
#pragma once

#include <variant>

namespace tesvi {

template <class Self>
struct VariantAccess {
    template <class V>
    bool is() const {
        return std::holds_alternative<V>(self().value);
    }
    template <class V>
    const V& as() const {
        return std::get<V>(self().value);
    }
    bool operator==(const VariantAccess&) const = default;

  private:
    const Self& self() const { return static_cast<const Self&>(*this); }
};

}  // namespace tesvi

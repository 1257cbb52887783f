// Docstrings rendered at compile time from a callable's Signature:
// "name($self, a, b=3, c=None)\n--\n\ntext". The interpreter shows the part
// before the separator as __text_signature__ and the text as __doc__.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "python/binding/args.hpp"

namespace tesvi_python {

// How the text signature opens: a method lists "$self" first, a function or
// static method does not, and a class shows its constructor under its own name.
enum class Form { Method, Function, Class };

// Writes into out when it is not null; counts either way.
class DocWriter {
  public:
    constexpr explicit DocWriter(char* out) : out_(out) {}

    constexpr void put(char c) {
        if (out_) out_[size_] = c;
        ++size_;
    }
    constexpr void put(const char* text) {
        while (*text) put(*text++);
    }
    constexpr void put(int64_t v) {
        if (v < 0) put('-');
        uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        char digits[20] = {};
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (n > 0) put(digits[--n]);
    }
    constexpr size_t size() const { return size_; }

  private:
    char* out_;
    size_t size_ = 0;
};

constexpr void put_param(DocWriter& w, const Param& p) {
    w.put(p.name);
    switch (p.kind) {
        case Param::Default::Required:
            return;
        case Param::Default::None:
            return w.put("=None");
        case Param::Default::Int:
            w.put('=');
            return w.put(p.fallback);
        case Param::Default::Bool:
            return w.put(p.fallback ? "=True" : "=False");
    }
}

// The docstring's length without the terminating zero; writes it when out is not null.
constexpr size_t render_doc(const Signature& s, Form form, char* out) {
    DocWriter w(out);
    w.put(form == Form::Class ? s.owner : s.name);
    w.put('(');
    if (form == Form::Method) w.put(s.count ? "$self, " : "$self");
    for (size_t i = 0; i < s.count; ++i) {
        if (i > 0) w.put(", ");
        put_param(w, s.params[i]);
    }
    w.put(")\n--\n\n");
    w.put(s.doc);
    return w.size();
}

template <const Signature& S, Form F>
struct Docstring {
    static constexpr size_t size = render_doc(S, F, nullptr) + 1;
    static constexpr std::array<char, size> text = [] {
        std::array<char, size> out{};
        render_doc(S, F, out.data());
        return out;
    }();
};

template <const Signature& S, Form F>
constexpr const char* docstring() {
    return Docstring<S, F>::text.data();
}

}  // namespace tesvi_python

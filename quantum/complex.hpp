// The amplitude type. Products and sums are spelled out so that, compiled
// without floating-point contraction, every platform rounds them alike.
#pragma once

namespace tesvi_quantum::complex {

struct Complex {
    double re = 0.0;
    double im = 0.0;

    friend constexpr Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
    friend constexpr Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
    friend constexpr Complex operator*(Complex a, Complex b) {
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    friend constexpr Complex operator*(Complex a, double s) { return {a.re * s, a.im * s}; }
    friend constexpr Complex operator-(Complex a) { return {-a.re, -a.im}; }
    friend constexpr bool operator==(Complex a, Complex b) = default;

    constexpr Complex conj() const { return {re, -im}; }
    constexpr double norm_sqr() const { return re * re + im * im; }
};

}  // namespace tesvi_quantum::complex

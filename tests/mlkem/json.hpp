// Just enough JSON for the known-answer files: objects, arrays, strings,
// numbers, true/false/null. Malformed input throws std::runtime_error.
#pragma once

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace testjson {

struct Json {
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> v;

    const Json& operator[](std::string_view key) const {
        for (const auto& [k, value] : std::get<Object>(v))
            if (k == key) return value;
        throw std::runtime_error("json: no key " + std::string(key));
    }
    const Array& array() const { return std::get<Array>(v); }
    const std::string& str() const { return std::get<std::string>(v); }
    double num() const { return std::get<double>(v); }
};

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    Json document() {
        Json j = value();
        skip();
        if (i_ != s_.size()) fail("trailing text");
        return j;
    }

  private:
    [[noreturn]] void fail(const char* what) {
        throw std::runtime_error("json: " + std::string(what) + " at " + std::to_string(i_));
    }
    void skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool eat(char c) {
        skip();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    void expect(char c) {
        if (!eat(c)) fail("unexpected character");
    }
    std::string string() {
        expect('"');
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] == '\\') ++i_;  // only the simple escapes \" \\ \/ occur
            if (i_ < s_.size()) out += s_[i_++];
        }
        expect('"');
        return out;
    }
    Json value() {
        skip();
        if (i_ >= s_.size()) fail("unexpected end");
        const char c = s_[i_];
        if (c == '"') return {string()};
        if (eat('[')) {
            Json::Array a;
            if (!eat(']')) {
                do a.push_back(value());
                while (eat(','));
                expect(']');
            }
            return {std::move(a)};
        }
        if (eat('{')) {
            Json::Object o;
            if (!eat('}')) {
                do {
                    std::string k = string();
                    expect(':');
                    o.emplace_back(std::move(k), value());
                } while (eat(','));
                expect('}');
            }
            return {std::move(o)};
        }
        for (auto [word, j] :
             {std::pair{"true", Json{true}}, {"false", Json{false}}, {"null", Json{nullptr}}}) {
            if (s_.substr(i_).starts_with(word)) {
                i_ += std::string_view(word).size();
                return j;
            }
        }
        size_t used = 0;
        const double d = std::stod(std::string(s_.substr(i_, 32)), &used);
        i_ += used;
        return {d};
    }

    std::string_view s_;
    size_t i_ = 0;
};

inline Json load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    return Parser(text).document();
}

inline std::vector<uint8_t> unhex(const std::string& h) {
    if (h.size() % 2) throw std::runtime_error("odd hex length");
    std::vector<uint8_t> out(h.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint8_t(std::stoi(h.substr(2 * i, 2), nullptr, 16));
    return out;
}

}  // namespace testjson

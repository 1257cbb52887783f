// A small JSON reader for the test vectors: objects, arrays, strings,
// numbers (kept as their source text), true/false/null.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesvi_test {

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    std::string text;  // string contents, or the number's source text
    bool boolean = false;
    std::vector<Json> items;
    std::map<std::string, Json> fields;

    const Json& operator[](const std::string& k) const {
        auto it = fields.find(k);
        if (it == fields.end()) throw std::runtime_error("missing field " + k);
        return it->second;
    }
    const Json& operator[](size_t i) const { return items.at(i); }
    size_t size() const { return type == Type::Array ? items.size() : fields.size(); }
    uint64_t u64() const { return std::stoull(text); }
    double f64() const { return std::stod(text); }

    static Json parse(const std::string& s) {
        size_t i = 0;
        Json j = value(s, i);
        ws(s, i);
        if (i != s.size()) throw std::runtime_error("trailing text at " + std::to_string(i));
        return j;
    }
    static Json load(const std::string& path) {
        std::ifstream f(path);
        if (!f) throw std::runtime_error("cannot open " + path);
        std::stringstream ss;
        ss << f.rdbuf();
        return parse(ss.str());
    }

  private:
    static void ws(const std::string& s, size_t& i) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
    }
    static std::string str(const std::string& s, size_t& i) {
        std::string out;
        for (++i; s.at(i) != '"'; ++i) {
            if (s[i] == '\\') {
                ++i;
                out += s[i] == 'n' ? '\n' : s[i];
            } else {
                out += s[i];
            }
        }
        ++i;
        return out;
    }
    static Json value(const std::string& s, size_t& i) {
        ws(s, i);
        Json j;
        const char c = s.at(i);
        if (c == '{') {
            j.type = Type::Object;
            ++i;
            for (ws(s, i); s.at(i) != '}';) {
                std::string k = str(s, i);
                ws(s, i);
                ++i;  // ':'
                j.fields[k] = value(s, i);
                ws(s, i);
                if (s[i] == ',') ++i, ws(s, i);
            }
            ++i;
        } else if (c == '[') {
            j.type = Type::Array;
            ++i;
            for (ws(s, i); s.at(i) != ']';) {
                j.items.push_back(value(s, i));
                ws(s, i);
                if (s[i] == ',') ++i, ws(s, i);
            }
            ++i;
        } else if (c == '"') {
            j.type = Type::String;
            j.text = str(s, i);
        } else if (s.compare(i, 4, "true") == 0) {
            j.type = Type::Bool, j.boolean = true, i += 4;
        } else if (s.compare(i, 5, "false") == 0) {
            j.type = Type::Bool, i += 5;
        } else if (s.compare(i, 4, "null") == 0) {
            i += 4;
        } else {
            j.type = Type::Number;
            const size_t start = i;
            while (i < s.size() && std::string("+-0123456789.eE").find(s[i]) != std::string::npos)
                ++i;
            // Nothing read would leave the enclosing array loop spinning.
            if (i == start)
                throw std::runtime_error("unexpected character at " + std::to_string(i));
            j.text = s.substr(start, i - start);
        }
        return j;
    }
};

}  // namespace tesvi_test

#include "quantum/qasm/scanner.hpp"

#include <algorithm>

#include "common/text.hpp"

namespace tesvi_quantum::qasm::parser {

namespace text = tesvi::text;

std::string remove_comments(std::string_view source) {
    std::string out;
    out.reserve(source.size());
    for (size_t start = 0;;) {
        const size_t end = source.find('\n', start);
        const size_t count = end == std::string_view::npos ? end : end - start;
        const std::string_view line = source.substr(start, count);
        // Trimming also drops the "\r" of a "\r\n" line ending.
        out += text::trim_end(line.substr(0, line.find("//")));
        if (end == std::string_view::npos) return out;
        out += '\n';
        start = end + 1;
    }
}

namespace {

class Scanner {
  public:
    void take(std::string_view ch) {
        if (!started_ && !text::white_space_at(ch, 0)) {
            started_ = true;
            statement_line_ = line_;
        }
        switch (ch[0]) {
            case '\n':
                if (!buffer_.empty() && buffer_.back() != ' ') buffer_ += ' ';
                ++line_;
                break;
            case ';':
                if (depth_ == 0) return finish();
                buffer_ += ch;
                break;
            case '{':
                buffer_ += ch;
                ++depth_;
                break;
            case '}':
                buffer_ += ch;
                if (depth_ <= 1) return finish();
                --depth_;
                break;
            default:
                buffer_ += ch;
        }
    }

    Result<std::vector<Statement>> end() && {
        if (!text::trim(buffer_).empty())
            return parse_error(statement_line_, "missing semicolon or closing '}'");
        return std::move(statements_);
    }

  private:
    void finish() {
        const std::string_view text = text::trim(buffer_);
        if (!text.empty()) statements_.push_back({statement_line_, std::string(text)});
        buffer_.clear();
        depth_ = 0;
        started_ = false;
    }

    std::vector<Statement> statements_;
    std::string buffer_;
    uint64_t depth_ = 0;
    uint64_t line_ = 1;
    uint64_t statement_line_ = 1;
    bool started_ = false;
};

}  // namespace

Result<std::vector<Statement>> scan_statements(std::string_view text) {
    Scanner scanner;
    for (size_t pos = 0; pos < text.size();) {
        const size_t n = std::max<size_t>(text::white_space_at(text, pos), 1);
        scanner.take(text.substr(pos, n));
        pos += n;
    }
    return std::move(scanner).end();
}

}  // namespace tesvi_quantum::qasm::parser

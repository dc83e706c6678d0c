#include "runtime/graphics/callback_text.hpp"

#include <array>
#include <charconv>
#include <cmath>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

constexpr std::array<CallbackWord, 4> kWords{CallbackWord::Gcbo, CallbackWord::Gcbf,
                                             CallbackWord::Gcf, CallbackWord::Gca};

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_name_char(char c) {
  return is_letter(c) || is_digit(c) || c == '_';
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  CallbackCall parse() {
    CallbackCall call;
    skip_blanks();
    if (at_end() || !is_letter(peek())) fail("expected the name of a function");
    call.function = std::string(name());
    skip_blanks();
    if (!at_end() && peek() == '(') {
      ++pos_;
      skip_blanks();
      if (!at_end() && peek() == ')') {
        ++pos_;
      } else {
        while (true) {
          call.args.push_back(argument());
          skip_blanks();
          if (at_end()) fail("expected \",\" or \")\"; the argument list is not closed");
          char c = text_[pos_++];
          if (c == ')') break;
          if (c != ',') {
            --pos_;
            fail("expected \",\" or \")\"");
          }
          skip_blanks();
        }
      }
      skip_blanks();
    }
    if (!at_end() && peek() == ';') ++pos_;
    skip_blanks();
    if (!at_end()) fail("expected the end of the callback");
    return call;
  }

 private:
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void skip_blanks() {
    while (!at_end() && (peek() == ' ' || peek() == '\t')) ++pos_;
  }

  [[noreturn]] void fail(const std::string& what) const {
    raise("The callback \"" + std::string(text_) + "\" cannot be run: at character " +
          std::to_string(pos_ + 1) + ", " + what + ".");
  }

  std::string_view name() {
    std::size_t start = pos_;
    while (!at_end() && is_name_char(peek())) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  CallbackArg argument() {
    if (at_end()) fail("expected an argument");
    char c = peek();
    if (c == '\'') return quoted();
    if (is_digit(c) || c == '.' || c == '-' || c == '+') return number();
    if (is_letter(c)) {
      std::size_t start = pos_;
      std::string_view word = name();
      for (CallbackWord w : kWords) {
        if (word == callback_word_name(w)) return w;
      }
      pos_ = start;
      fail("\"" + std::string(word) + "\" is not an argument; use a quoted text, a number, " +
           "or gcbo, gcbf, gcf or gca");
    }
    fail("expected a quoted text, a number, or gcbo, gcbf, gcf or gca");
  }

  std::string quoted() {
    std::size_t start = pos_++;
    std::string out;
    while (true) {
      if (at_end()) {
        pos_ = start;
        fail("the quoted text that starts here is not closed");
      }
      char c = text_[pos_++];
      if (c != '\'') {
        out += c;
      } else if (!at_end() && peek() == '\'') {
        out += '\'';
        ++pos_;
      } else {
        return out;
      }
    }
  }

  double number() {
    std::size_t start = pos_;
    bool negative = false;
    if (peek() == '+' || peek() == '-') {
      negative = peek() == '-';
      ++pos_;
    }
    // Only digits and a point may follow the sign, so "inf" and "nan" are refused.
    if (at_end() || !(is_digit(peek()) || peek() == '.')) {
      pos_ = start;
      fail("expected a number after the sign");
    }
    double value = 0;
    auto [end, error] = std::from_chars(text_.data() + pos_, text_.data() + text_.size(), value);
    if (error != std::errc() || !std::isfinite(value)) {
      pos_ = start;
      fail("this is not a number that can be used");
    }
    pos_ = static_cast<std::size_t>(end - text_.data());
    return negative ? -value : value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const char* callback_word_name(CallbackWord word) {
  switch (word) {
    case CallbackWord::Gcbo:
      return "gcbo";
    case CallbackWord::Gcbf:
      return "gcbf";
    case CallbackWord::Gcf:
      return "gcf";
    case CallbackWord::Gca:
      return "gca";
  }
  return "";
}

CallbackCall parse_callback(std::string_view text) {
  return Parser(text).parse();
}

std::string format_callback(const CallbackCall& call) {
  std::string out = call.function;
  if (call.args.empty()) return out;
  out += '(';
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    if (i > 0) out += ", ";
    const CallbackArg& arg = call.args[i];
    if (const auto* text = std::get_if<std::string>(&arg)) {
      out += '\'';
      for (char c : *text) {
        out += c;
        if (c == '\'') out += '\'';
      }
      out += '\'';
    } else if (const auto* number = std::get_if<double>(&arg)) {
      char buffer[32];
      out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, *number).ptr);
    } else {
      out += callback_word_name(std::get<CallbackWord>(arg));
    }
  }
  out += ')';
  return out;
}

}  // namespace dg

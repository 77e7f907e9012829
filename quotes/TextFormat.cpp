#include "quotes/TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vemo {

namespace {

// Appends to a span as far as it goes, counting everything.
class Sink {
  public:
    explicit Sink(std::span<char> out) : out_(out) {}
    void Put(std::string_view text) {
        if (length_ + 1 < out_.size()) {
            const std::size_t room = out_.size() - 1 - length_;
            std::memcpy(out_.data() + length_, text.data(), std::min(room, text.size()));
        }
        length_ += text.size();
    }
    std::size_t Finish() {
        if (!out_.empty()) {
            out_[std::min(length_, out_.size() - 1)] = '\0';
        }
        return length_;
    }

  private:
    std::span<char> out_;
    std::size_t length_ = 0;
};

// The fixed-point text printf gives; inf and nan spelt as glibc spells them.
std::string_view Fixed(char (&buffer)[400], double value, int precision) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    return {buffer, static_cast<std::size_t>(result.ptr - buffer)};
}

}  // namespace

std::size_t FormatFixed(std::span<char> out, double value, int precision) {
    char buffer[400];
    Sink sink(out);
    sink.Put(Fixed(buffer, value, precision));
    return sink.Finish();
}

std::size_t FormatText(std::span<char> out, std::string_view format,
                       std::initializer_list<FormatArg> args) {
    Sink sink(out);
    const FormatArg* next = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        const std::size_t percent = format.find('%', i);
        if (percent == std::string_view::npos) {
            sink.Put(format.substr(i));
            break;
        }
        sink.Put(format.substr(i, percent - i));
        // Parse "%[0][.N]c".
        std::size_t at = percent + 1;
        if (at < format.size() && format[at] == '0') {
            ++at;
        }
        int precision = 6;
        if (at < format.size() && format[at] == '.') {
            ++at;
            precision = 0;
            // The page needs two or three decimals; twenty keeps any double inside the buffer.
            while (at < format.size() && format[at] >= '0' && format[at] <= '9' && precision < 20) {
                precision = precision * 10 + (format[at] - '0');
                ++at;
            }
        }
        const char conversion = at < format.size() ? format[at] : '\0';
        const bool haveArg = next != args.end();
        char buffer[400];
        if (conversion == '%' && at == percent + 1) {
            sink.Put("%");
        } else if (conversion == 's' && haveArg && next->kind == FormatArg::Kind::Text) {
            sink.Put(next++->text);
        } else if (conversion == 'd' && haveArg && next->kind == FormatArg::Kind::Integer) {
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, next++->integer);
            sink.Put({buffer, static_cast<std::size_t>(result.ptr - buffer)});
        } else if (conversion == 'f' && haveArg && next->kind == FormatArg::Kind::Real) {
            sink.Put(Fixed(buffer, next++->real, precision));
        } else {
            sink.Put(format.substr(percent, at - percent + (conversion != '\0' ? 1 : 0)));
        }
        i = at + 1;
    }
    return sink.Finish();
}

}  // namespace vemo

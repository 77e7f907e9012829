#include "quotes/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace vemo {

namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv_open failed");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of the input; an unconvertible or truncated sequence costs one input byte
    // and is written as the replacement text.
    std::string Convert(std::string_view in, std::string_view replacement) {
        std::string out;
        out.reserve(in.size() * 2);
        char buffer[1024];
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                out.append(replacement);
                ++inPtr;
                --inLeft;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    Converter converter("UTF-8", "GBK");
    return converter.Convert(gbk, "\xEF\xBF\xBD");
}

std::string Utf8ToGbk(std::string_view utf8) {
    Converter converter("GBK", "UTF-8");
    return converter.Convert(utf8, "?");
}

}  // namespace vemo

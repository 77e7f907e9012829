#include "tools/marketsim/GbkText.h"

#include <iconv.h>

#include <cerrno>

namespace vemo::sim {

namespace {

// Length of the UTF-8 sequence that starts at text[0], or 1 for a byte that opens none.
std::size_t SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return length <= text.size() ? length : text.size();
}

class Converter {
  public:
    Converter() : handle_(iconv_open("GBK", "UTF-8")) {}
    ~Converter() {
        if (handle_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string Convert(std::string_view utf8) {
        std::string out;
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            for (char c : utf8) {
                out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
            }
            return out;
        }
        out.reserve(utf8.size());
        char buffer[256];
        while (!utf8.empty()) {
            char* in = const_cast<char*>(utf8.data());
            std::size_t inLeft = utf8.size();
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            utf8.remove_prefix(utf8.size() - inLeft);
            if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
                continue;
            }
            // An unconvertible or broken character: one '?' for the whole sequence.
            out += '?';
            utf8.remove_prefix(SequenceLength(utf8));
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

  private:
    iconv_t handle_;
};

}  // namespace

std::string ToGbk(std::string_view utf8) {
    // iconv descriptors are not safe to share between threads; one per call is cheap enough
    // for the few names and notices converted.
    Converter converter;
    return converter.Convert(utf8);
}

}  // namespace vemo::sim

#pragma once

#include <span>

namespace vemo {

// The VemoUpdater program file, built with VEMO and carried inside it byte for byte.
std::span<const unsigned char> UpdaterImage();

}  // namespace vemo

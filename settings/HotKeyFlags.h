#pragma once

// The show/hide hot key as the capture control reports it: a key code plus HOTKEYF_* flags,
// which differ from the MOD_* bits the settings file stores.

#include <cstdint>

#include "settings/TickerSettings.h"

namespace vemo {

// The Windows key, the fourth MOD_* bit (ModAlt, ModControl and ModShift live with the settings).
inline constexpr std::int32_t ModWin = 0x08;

// Flags reported by the hot-key capture control (the Windows HOTKEYF_* values).
inline constexpr int HotKeyFlagShift = 0x01;
inline constexpr int HotKeyFlagControl = 0x02;
inline constexpr int HotKeyFlagAlt = 0x04;
inline constexpr int HotKeyFlagExt = 0x08;

// MOD_ALT ↔ HOTKEYF_ALT, MOD_CONTROL ↔ HOTKEYF_CONTROL, MOD_SHIFT ↔ HOTKEYF_SHIFT. The control
// has no Windows-key flag, so ModWin is dropped; HOTKEYF_EXT marks an extended key, not a
// modifier, and is not carried into MOD_* bits.
constexpr int ModifiersToHotKeyFlags(int modifiers) {
    return ((modifiers & ModAlt) != 0 ? HotKeyFlagAlt : 0) |
           ((modifiers & ModControl) != 0 ? HotKeyFlagControl : 0) |
           ((modifiers & ModShift) != 0 ? HotKeyFlagShift : 0);
}
constexpr int HotKeyFlagsToModifiers(int flags) {
    return ((flags & HotKeyFlagAlt) != 0 ? ModAlt : 0) |
           ((flags & HotKeyFlagControl) != 0 ? ModControl : 0) |
           ((flags & HotKeyFlagShift) != 0 ? ModShift : 0);
}

}  // namespace vemo

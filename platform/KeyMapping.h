#pragma once

// The hot key is stored as a Windows virtual-key code with MOD_* bits, because both are part of
// the settings file. These functions translate them to and from X11 key symbols and modifier
// masks, Qt keys and modifiers, and the HOTKEYF_* flags of the hot-key capture control.

#include <QKeyCombination>
#include <Qt>
#include <cstdint>

#include "settings/HotKeyFlags.h"
#include "settings/TickerSettings.h"

namespace vemo {

// Accepted by registration and ignored: a held key never repeats the hot key anyway.
inline constexpr std::int32_t ModNoRepeat = 0x4000;

// X11 modifier mask bits (core protocol values).
inline constexpr unsigned X11ShiftMask = 0x01;
inline constexpr unsigned X11LockMask = 0x02;
inline constexpr unsigned X11ControlMask = 0x04;
inline constexpr unsigned X11Mod1Mask = 0x08;  // Alt
inline constexpr unsigned X11Mod4Mask = 0x40;  // Super, the Windows key

using X11KeySym = std::uint32_t;

// Every virtual-key code that has a key symbol and a Qt key, in ascending order; for tests and
// for the capture control's list of acceptable keys.
int SupportedVirtualKeyCount();
int SupportedVirtualKeyAt(int index);

// 0 (NoSymbol) for a code without a key. Letters map to their lower-case symbol.
X11KeySym VirtualKeyToKeySym(int virtualKey);
// 0 for a symbol without a code; upper- and lower-case letters give the same code.
int KeySymToVirtualKey(X11KeySym keySym);

// True when only MOD_* bits (including ModNoRepeat) are set.
bool IsValidHotKeyModifiers(int modifiers);
// Alt → Mod1, Control → Control, Shift → Shift, Win → Mod4; other bits are ignored.
unsigned ModifiersToX11Mask(int modifiers);
// The reverse; Lock, Num Lock and other modifier bits of an event state are ignored.
int X11MaskToModifiers(unsigned mask);

// The Qt key of a virtual-key code; keypad keys carry Qt::KeypadModifier. Qt::Key(0) when the
// code has no key.
QKeyCombination VirtualKeyToQtKey(int virtualKey);
// The virtual-key code of a key as Qt reports it (modifiers included): Qt::KeypadModifier selects
// the keypad codes, and with Qt::ShiftModifier the shifted symbols of a US keyboard ('!', ':',
// '{', ...) give the code of their key. 0 when the key has no code.
int QtKeyToVirtualKey(QKeyCombination key);

// Alt, Control, Shift, Win ↔ Qt::AltModifier, Qt::ControlModifier, Qt::ShiftModifier,
// Qt::MetaModifier; other modifiers and bits are ignored.
Qt::KeyboardModifiers ModifiersToQt(int modifiers);
int QtToModifiers(Qt::KeyboardModifiers modifiers);

// The stored hot key as a Qt key combination: an empty one (Qt::Key(0)) for a code without a key
// or modifiers beyond the MOD_* bits. ModNoRepeat has no Qt counterpart and is dropped.
QKeyCombination HotKeyToQt(int modifiers, int virtualKey);
// The stored form of a combination (the key itself first, a shifted symbol's key after); false
// for a key without a virtual-key code.
bool QtToHotKey(QKeyCombination key, int& modifiers, int& virtualKey);

// ModifiersToHotKeyFlags and HotKeyFlagsToModifiers (settings/HotKeyFlags.h) convert between
// MOD_* bits and the capture control's HOTKEYF_* flags.

// Whether the capture control reports the key with HOTKEYF_EXT (the keys that Windows sends with
// the extended-key prefix: the navigation block, arrows, keypad divide, Print Screen, Num Lock,
// the application key and the browser and media keys).
bool IsExtendedVirtualKey(int virtualKey);

}  // namespace vemo

#include "platform/KeyMapping.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <array>
#include <utility>

namespace vemo {
namespace {

struct KeyRow {
    int virtualKey;
    X11KeySym keySym;
    int qtKey;
    bool keypad;
};

// Keys outside the contiguous ranges (digits, letters, keypad digits, function keys), which are
// computed below.
constexpr KeyRow NamedKeys[] = {
    {0x08, XK_BackSpace, Qt::Key_Backspace, false},
    {0x09, XK_Tab, Qt::Key_Tab, false},
    {0x0C, XK_Clear, Qt::Key_Clear, false},
    {0x0D, XK_Return, Qt::Key_Return, false},
    {0x13, XK_Pause, Qt::Key_Pause, false},
    {0x1B, XK_Escape, Qt::Key_Escape, false},
    {0x20, XK_space, Qt::Key_Space, false},
    {0x21, XK_Prior, Qt::Key_PageUp, false},
    {0x22, XK_Next, Qt::Key_PageDown, false},
    {0x23, XK_End, Qt::Key_End, false},
    {0x24, XK_Home, Qt::Key_Home, false},
    {0x25, XK_Left, Qt::Key_Left, false},
    {0x26, XK_Up, Qt::Key_Up, false},
    {0x27, XK_Right, Qt::Key_Right, false},
    {0x28, XK_Down, Qt::Key_Down, false},
    {0x29, XK_Select, Qt::Key_Select, false},
    {0x2B, XK_Execute, Qt::Key_Execute, false},
    {0x2C, XK_Print, Qt::Key_Print, false},
    {0x2D, XK_Insert, Qt::Key_Insert, false},
    {0x2E, XK_Delete, Qt::Key_Delete, false},
    {0x2F, XK_Help, Qt::Key_Help, false},
    {0x5D, XK_Menu, Qt::Key_Menu, false},
    {0x5F, XF86XK_Sleep, Qt::Key_Sleep, false},
    {0x6A, XK_KP_Multiply, Qt::Key_Asterisk, true},
    {0x6B, XK_KP_Add, Qt::Key_Plus, true},
    {0x6C, XK_KP_Separator, Qt::Key_Comma, true},
    {0x6D, XK_KP_Subtract, Qt::Key_Minus, true},
    {0x6E, XK_KP_Decimal, Qt::Key_Period, true},
    {0x6F, XK_KP_Divide, Qt::Key_Slash, true},
    {0x91, XK_Scroll_Lock, Qt::Key_ScrollLock, false},
    {0xA6, XF86XK_Back, Qt::Key_Back, false},
    {0xA7, XF86XK_Forward, Qt::Key_Forward, false},
    {0xA8, XF86XK_Refresh, Qt::Key_Refresh, false},
    {0xA9, XF86XK_Stop, Qt::Key_Stop, false},
    {0xAA, XF86XK_Search, Qt::Key_Search, false},
    {0xAB, XF86XK_Favorites, Qt::Key_Favorites, false},
    {0xAC, XF86XK_HomePage, Qt::Key_HomePage, false},
    {0xAD, XF86XK_AudioMute, Qt::Key_VolumeMute, false},
    {0xAE, XF86XK_AudioLowerVolume, Qt::Key_VolumeDown, false},
    {0xAF, XF86XK_AudioRaiseVolume, Qt::Key_VolumeUp, false},
    {0xB0, XF86XK_AudioNext, Qt::Key_MediaNext, false},
    {0xB1, XF86XK_AudioPrev, Qt::Key_MediaPrevious, false},
    {0xB2, XF86XK_AudioStop, Qt::Key_MediaStop, false},
    {0xB3, XF86XK_AudioPlay, Qt::Key_MediaPlay, false},
    {0xB4, XF86XK_Mail, Qt::Key_LaunchMail, false},
    {0xB5, XF86XK_AudioMedia, Qt::Key_LaunchMedia, false},
    {0xB6, XF86XK_MyComputer, Qt::Key_Launch0, false},
    {0xB7, XF86XK_Calculator, Qt::Key_Calculator, false},
    {0xBA, XK_semicolon, Qt::Key_Semicolon, false},
    {0xBB, XK_equal, Qt::Key_Equal, false},
    {0xBC, XK_comma, Qt::Key_Comma, false},
    {0xBD, XK_minus, Qt::Key_Minus, false},
    {0xBE, XK_period, Qt::Key_Period, false},
    {0xBF, XK_slash, Qt::Key_Slash, false},
    {0xC0, XK_grave, Qt::Key_QuoteLeft, false},
    {0xDB, XK_bracketleft, Qt::Key_BracketLeft, false},
    {0xDC, XK_backslash, Qt::Key_Backslash, false},
    {0xDD, XK_bracketright, Qt::Key_BracketRight, false},
    {0xDE, XK_apostrophe, Qt::Key_Apostrophe, false},
    {0xE2, XK_less, Qt::Key_Less, false},  // the extra key left of Z on ISO keyboards
};

// Symbols that other keyboards or other shift states report for a supported key.
constexpr std::pair<X11KeySym, int> KeySymAliases[] = {
    {XK_KP_Enter, 0x0D},
    {XK_ISO_Left_Tab, 0x09},
    {XK_Break, 0x13},
};

// Qt keys that Qt reports for a supported key besides the one in the table.
constexpr std::pair<int, int> QtKeyAliases[] = {
    {Qt::Key_Enter, 0x0D},
    {Qt::Key_Backtab, 0x09},
    {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_Launch1, 0xB7},
};

// With Shift held Qt reports the shifted symbol; on a US keyboard it belongs to these keys.
constexpr std::pair<int, int> ShiftedQtKeys[] = {
    {Qt::Key_Exclam, 0x31},     {Qt::Key_At, 0x32},         {Qt::Key_NumberSign, 0x33},
    {Qt::Key_Dollar, 0x34},     {Qt::Key_Percent, 0x35},    {Qt::Key_AsciiCircum, 0x36},
    {Qt::Key_Ampersand, 0x37},  {Qt::Key_Asterisk, 0x38},   {Qt::Key_ParenLeft, 0x39},
    {Qt::Key_ParenRight, 0x30}, {Qt::Key_Colon, 0xBA},      {Qt::Key_Plus, 0xBB},
    {Qt::Key_Less, 0xBC},       {Qt::Key_Underscore, 0xBD}, {Qt::Key_Greater, 0xBE},
    {Qt::Key_Question, 0xBF},   {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Bar, 0xDC},        {Qt::Key_BraceRight, 0xDD}, {Qt::Key_QuoteDbl, 0xDE},
};

constexpr int FirstFunctionKey = 0x70;  // F1
constexpr int LastFunctionKey = 0x87;   // F24
constexpr int FirstKeypadDigit = 0x60;
constexpr int LastKeypadDigit = 0x69;

bool InRange(int value, int first, int last) {
    return value >= first && value <= last;
}

// The row of a supported code, computed ranges included; a row of zeros for any other code.
KeyRow FindRow(int virtualKey) {
    if (InRange(virtualKey, '0', '9')) {
        return {virtualKey, static_cast<X11KeySym>(XK_0 + (virtualKey - '0')),
                Qt::Key_0 + (virtualKey - '0'), false};
    }
    if (InRange(virtualKey, 'A', 'Z')) {
        return {virtualKey, static_cast<X11KeySym>(XK_a + (virtualKey - 'A')),
                Qt::Key_A + (virtualKey - 'A'), false};
    }
    if (InRange(virtualKey, FirstKeypadDigit, LastKeypadDigit)) {
        return {virtualKey, static_cast<X11KeySym>(XK_KP_0 + (virtualKey - FirstKeypadDigit)),
                Qt::Key_0 + (virtualKey - FirstKeypadDigit), true};
    }
    if (InRange(virtualKey, FirstFunctionKey, LastFunctionKey)) {
        return {virtualKey, static_cast<X11KeySym>(XK_F1 + (virtualKey - FirstFunctionKey)),
                Qt::Key_F1 + (virtualKey - FirstFunctionKey), false};
    }
    for (const KeyRow& row : NamedKeys) {
        if (row.virtualKey == virtualKey) {
            return row;
        }
    }
    return {0, 0, 0, false};
}

// All supported codes in ascending order, built once.
struct SupportedKeys {
    std::array<int, 256> codes{};
    int count = 0;

    SupportedKeys() {
        for (int vk = 1; vk < 256; ++vk) {
            if (FindRow(vk).virtualKey != 0) {
                codes[count++] = vk;
            }
        }
    }
};

const SupportedKeys& Supported() {
    static const SupportedKeys keys;
    return keys;
}

}  // namespace

int SupportedVirtualKeyCount() {
    return Supported().count;
}

int SupportedVirtualKeyAt(int index) {
    if (index < 0 || index >= Supported().count) {
        return 0;
    }
    return Supported().codes[index];
}

X11KeySym VirtualKeyToKeySym(int virtualKey) {
    return FindRow(virtualKey).keySym;
}

int KeySymToVirtualKey(X11KeySym keySym) {
    if (keySym >= XK_0 && keySym <= XK_9) {
        return static_cast<int>('0' + (keySym - XK_0));
    }
    if (keySym >= XK_a && keySym <= XK_z) {
        return static_cast<int>('A' + (keySym - XK_a));
    }
    if (keySym >= XK_A && keySym <= XK_Z) {
        return static_cast<int>('A' + (keySym - XK_A));
    }
    if (keySym >= XK_KP_0 && keySym <= XK_KP_9) {
        return static_cast<int>(FirstKeypadDigit + (keySym - XK_KP_0));
    }
    if (keySym >= XK_F1 && keySym <= XK_F1 + (LastFunctionKey - FirstFunctionKey)) {
        return static_cast<int>(FirstFunctionKey + (keySym - XK_F1));
    }
    for (const KeyRow& row : NamedKeys) {
        if (row.keySym == keySym) {
            return row.virtualKey;
        }
    }
    for (const auto& [sym, vk] : KeySymAliases) {
        if (sym == keySym) {
            return vk;
        }
    }
    return 0;
}

bool IsValidHotKeyModifiers(int modifiers) {
    return (modifiers & ~(ModAlt | ModControl | ModShift | ModWin | ModNoRepeat)) == 0;
}

unsigned ModifiersToX11Mask(int modifiers) {
    unsigned mask = 0;
    if (modifiers & ModAlt) {
        mask |= X11Mod1Mask;
    }
    if (modifiers & ModControl) {
        mask |= X11ControlMask;
    }
    if (modifiers & ModShift) {
        mask |= X11ShiftMask;
    }
    if (modifiers & ModWin) {
        mask |= X11Mod4Mask;
    }
    return mask;
}

int X11MaskToModifiers(unsigned mask) {
    int modifiers = 0;
    if (mask & X11Mod1Mask) {
        modifiers |= ModAlt;
    }
    if (mask & X11ControlMask) {
        modifiers |= ModControl;
    }
    if (mask & X11ShiftMask) {
        modifiers |= ModShift;
    }
    if (mask & X11Mod4Mask) {
        modifiers |= ModWin;
    }
    return modifiers;
}

QKeyCombination VirtualKeyToQtKey(int virtualKey) {
    const KeyRow row = FindRow(virtualKey);
    if (row.virtualKey == 0) {
        return QKeyCombination(Qt::Key(0));
    }
    return QKeyCombination(row.keypad ? Qt::KeypadModifier : Qt::NoModifier, Qt::Key(row.qtKey));
}

int QtKeyToVirtualKey(QKeyCombination key) {
    const int qtKey = key.key();
    const bool keypad = key.keyboardModifiers().testFlag(Qt::KeypadModifier);
    const bool shift = key.keyboardModifiers().testFlag(Qt::ShiftModifier);

    if (keypad && qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return FirstKeypadDigit + (qtKey - Qt::Key_0);
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return '0' + (qtKey - Qt::Key_0);
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return 'A' + (qtKey - Qt::Key_A);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F1 + (LastFunctionKey - FirstFunctionKey)) {
        return FirstFunctionKey + (qtKey - Qt::Key_F1);
    }
    // Keypad rows first, so that the keypad's '*' or '+' is not taken for the main keyboard's;
    // the keypad's navigation keys (Num Lock off) fall through to the ordinary keys.
    if (keypad) {
        for (const KeyRow& row : NamedKeys) {
            if (row.keypad && row.qtKey == qtKey) {
                return row.virtualKey;
            }
        }
    }
    if (shift) {
        for (const auto& [shifted, vk] : ShiftedQtKeys) {
            if (shifted == qtKey) {
                return vk;
            }
        }
    }
    for (const KeyRow& row : NamedKeys) {
        if (!row.keypad && row.qtKey == qtKey) {
            return row.virtualKey;
        }
    }
    for (const auto& [alias, vk] : QtKeyAliases) {
        if (alias == qtKey) {
            return vk;
        }
    }
    return 0;
}

Qt::KeyboardModifiers ModifiersToQt(int modifiers) {
    Qt::KeyboardModifiers result;
    if (modifiers & ModAlt) {
        result |= Qt::AltModifier;
    }
    if (modifiers & ModControl) {
        result |= Qt::ControlModifier;
    }
    if (modifiers & ModShift) {
        result |= Qt::ShiftModifier;
    }
    if (modifiers & ModWin) {
        result |= Qt::MetaModifier;
    }
    return result;
}

int QtToModifiers(Qt::KeyboardModifiers modifiers) {
    int result = 0;
    if (modifiers.testFlag(Qt::AltModifier)) {
        result |= ModAlt;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        result |= ModControl;
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        result |= ModShift;
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        result |= ModWin;
    }
    return result;
}

QKeyCombination HotKeyToQt(int modifiers, int virtualKey) {
    const QKeyCombination key = VirtualKeyToQtKey(virtualKey);
    if (!IsValidHotKeyModifiers(modifiers) || key.key() == Qt::Key(0)) {
        return QKeyCombination(Qt::Key(0));
    }
    return QKeyCombination(key.keyboardModifiers() | ModifiersToQt(modifiers), key.key());
}

bool QtToHotKey(QKeyCombination key, int& modifiers, int& virtualKey) {
    // The combination names a key, not the symbol it types with Shift: Shift with the ISO key's
    // '<' is that key, not the comma key whose shifted symbol is '<' too.
    const Qt::KeyboardModifiers unshifted = key.keyboardModifiers() & ~Qt::ShiftModifier;
    int code = QtKeyToVirtualKey(QKeyCombination(unshifted, key.key()));
    if (code == 0) {
        code = QtKeyToVirtualKey(key);
    }
    if (code == 0) {
        return false;
    }
    modifiers = QtToModifiers(key.keyboardModifiers());
    virtualKey = code;
    return true;
}

bool IsExtendedVirtualKey(int virtualKey) {
    switch (virtualKey) {
        case 0x03:  // Cancel (Control+Break)
        case 0x2C:  // Print Screen
        case 0x2D:  // Insert
        case 0x2E:  // Delete
        case 0x5B:  // left Windows key
        case 0x5C:  // right Windows key
        case 0x5D:  // application key
        case 0x5F:  // Sleep
        case 0x6F:  // keypad divide
        case 0x90:  // Num Lock
        case 0xA3:  // right Control
        case 0xA5:  // right Alt
            return true;
        default:
            return InRange(virtualKey, 0x21, 0x28) || InRange(virtualKey, 0xA6, 0xB7);
    }
}

}  // namespace vemo

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <set>
#include <utility>

#include "platform/KeyMapping.h"

namespace vemo {
namespace {

bool IsSupported(int virtualKey) {
    for (int i = 0; i < SupportedVirtualKeyCount(); ++i) {
        if (SupportedVirtualKeyAt(i) == virtualKey) {
            return true;
        }
    }
    return false;
}

TEST(KeyMappingTest, EveryKeyTheSettingsCanHoldIsSupported) {
    const std::pair<int, int> ranges[] = {
        {'A', 'Z'},
        {'0', '9'},
        {0x70, 0x87} /* F1-F24 */,
        {0x60, 0x6F} /* keypad */,
        {0x21, 0x28} /* PgUp, PgDn, End, Home, arrows */,
        {0xBA, 0xC0},
        {0xDB, 0xDE},
    };
    for (const auto& [first, last] : ranges) {
        for (int vk = first; vk <= last; ++vk) {
            EXPECT_TRUE(IsSupported(vk)) << std::hex << vk;
        }
    }
    for (int vk : {0x08, 0x09, 0x0D, 0x13, 0x1B, 0x20, 0x2C, 0x2D, 0x2E, 0x5D, 0x91}) {
        EXPECT_TRUE(IsSupported(vk)) << std::hex << vk;
    }
}

TEST(KeyMappingTest, EverySupportedKeyRoundTripsThroughX11AndQt) {
    std::set<X11KeySym> symbols;
    std::set<int> qtKeys;
    int previous = 0;
    for (int i = 0; i < SupportedVirtualKeyCount(); ++i) {
        const int vk = SupportedVirtualKeyAt(i);
        EXPECT_GT(vk, previous);
        previous = vk;

        const X11KeySym sym = VirtualKeyToKeySym(vk);
        ASSERT_NE(sym, 0u) << std::hex << vk;
        EXPECT_EQ(KeySymToVirtualKey(sym), vk) << std::hex << vk;
        EXPECT_TRUE(symbols.insert(sym).second) << "two codes share symbol " << std::hex << sym;

        const QKeyCombination qt = VirtualKeyToQtKey(vk);
        ASSERT_NE(qt.key(), Qt::Key(0)) << std::hex << vk;
        EXPECT_EQ(QtKeyToVirtualKey(qt), vk) << std::hex << vk;
        EXPECT_TRUE(qtKeys.insert(qt.toCombined()).second) << "two codes share a Qt key";
    }
    // Every code outside the list has neither.
    for (int vk = 0; vk < 256; ++vk) {
        if (!IsSupported(vk)) {
            EXPECT_EQ(VirtualKeyToKeySym(vk), 0u) << std::hex << vk;
            EXPECT_EQ(VirtualKeyToQtKey(vk).key(), Qt::Key(0)) << std::hex << vk;
        }
    }
}

TEST(KeyMappingTest, CodesMeanTheirWindowsKeys) {
    struct Case {
        int vk;
        X11KeySym sym;
        QKeyCombination qt;
    };
    // The default key, both ends of each computed range, and keys whose codes are easily mixed
    // up (keypad against main keyboard, the OEM punctuation codes, the paging keys).
    const Case cases[] = {
        {0x53, XK_s, Qt::Key_S},
        {0x30, XK_0, Qt::Key_0},
        {0x60, XK_KP_0, Qt::KeypadModifier | Qt::Key_0},
        {0x69, XK_KP_9, Qt::KeypadModifier | Qt::Key_9},
        {0x6B, XK_KP_Add, Qt::KeypadModifier | Qt::Key_Plus},
        {0x6D, XK_KP_Subtract, Qt::KeypadModifier | Qt::Key_Minus},
        {0x70, XK_F1, Qt::Key_F1},
        {0x87, XK_F24, Qt::Key_F24},
        {0x21, XK_Prior, Qt::Key_PageUp},
        {0x22, XK_Next, Qt::Key_PageDown},
        {0x2C, XK_Print, Qt::Key_Print},
        {0xBA, XK_semicolon, Qt::Key_Semicolon},
        {0xBB, XK_equal, Qt::Key_Equal},
        {0xBD, XK_minus, Qt::Key_Minus},
        {0xC0, XK_grave, Qt::Key_QuoteLeft},
        {0xDE, XK_apostrophe, Qt::Key_Apostrophe},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VirtualKeyToKeySym(c.vk), c.sym) << std::hex << c.vk;
        EXPECT_EQ(VirtualKeyToQtKey(c.vk), c.qt) << std::hex << c.vk;
    }
}

TEST(KeyMappingTest, UnknownCodesAndKeysMapToNothing) {
    for (int vk : {0, -1, 0x07, 0x10 /* Shift */, 0x11, 0x12, 0x14 /* Caps Lock */,
                   0x5B /* Windows key */, 0x88, 0x90, 0xFF, 0x100, 0x10053}) {
        EXPECT_EQ(VirtualKeyToKeySym(vk), 0u) << std::hex << vk;
        EXPECT_EQ(VirtualKeyToQtKey(vk).key(), Qt::Key(0)) << std::hex << vk;
    }
    for (X11KeySym sym : {X11KeySym{0}, X11KeySym{XK_Shift_L}, X11KeySym{XK_Num_Lock},
                          X11KeySym{XK_F25}, X11KeySym{0xFFFFFF}}) {
        EXPECT_EQ(KeySymToVirtualKey(sym), 0) << std::hex << sym;
    }
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Shift), 0);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_unknown), 0);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F25), 0);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::KeypadModifier | Qt::Key_Shift), 0);
}

TEST(KeyMappingTest, KeysAsTheServerAndQtReportThemWhileShifted) {
    EXPECT_EQ(KeySymToVirtualKey(XK_S), 0x53);
    EXPECT_EQ(KeySymToVirtualKey(XK_KP_Enter), 0x0D);
    EXPECT_EQ(KeySymToVirtualKey(XK_ISO_Left_Tab), 0x09);

    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Exclam), '1');
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_ParenRight), '0');
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Colon), 0xBA);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_QuoteDbl), 0xDE);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Backtab), 0x09);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::AltModifier | Qt::Key_S), 0x53);
    // '<' unshifted is the extra ISO key; shifted it is the comma key.
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Less), 0xE2);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Less), 0xBC);
    // The keypad's '*' and '+' are not the main keyboard's; the keypad's navigation keys (Num
    // Lock off) and Enter are the ordinary ones.
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Asterisk), '8');
    EXPECT_EQ(QtKeyToVirtualKey(Qt::KeypadModifier | Qt::ShiftModifier | Qt::Key_Plus), 0x6B);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::KeypadModifier | Qt::Key_Home), 0x24);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::KeypadModifier | Qt::Key_Enter), 0x0D);
    // Ctrl+Shift+= arrives as '+' without the keypad flag: the '=' key, not the keypad's '+'.
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Plus), 0xBB);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ControlModifier | Qt::Key_Equal), 0xBB);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus), 0x6B);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::ShiftModifier | Qt::Key_Underscore), 0xBD);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::KeypadModifier | Qt::Key_Minus), 0x6D);
}

TEST(KeyMappingTest, ModifierBitsConvertBothWaysForEveryCombination) {
    EXPECT_EQ(ModifiersToX11Mask(ModAlt), X11Mod1Mask);
    EXPECT_EQ(ModifiersToX11Mask(ModControl), X11ControlMask);
    EXPECT_EQ(ModifiersToX11Mask(ModShift), X11ShiftMask);
    EXPECT_EQ(ModifiersToX11Mask(ModWin), X11Mod4Mask);
    EXPECT_EQ(ModifiersToQt(ModWin), Qt::KeyboardModifiers(Qt::MetaModifier));
    for (int m = 0; m < 16; ++m) {
        EXPECT_TRUE(IsValidHotKeyModifiers(m));
        EXPECT_EQ(X11MaskToModifiers(ModifiersToX11Mask(m)), m);
        EXPECT_EQ(QtToModifiers(ModifiersToQt(m)), m);
    }
    // Caps Lock, Num Lock (Mod2), pointer buttons and the keyboard group are not modifiers.
    EXPECT_EQ(X11MaskToModifiers(X11Mod1Mask | X11LockMask | 0x10 | 0x100 | 0x2000), ModAlt);
    EXPECT_EQ(QtToModifiers(Qt::KeypadModifier | Qt::ControlModifier), ModControl);

    EXPECT_TRUE(IsValidHotKeyModifiers(ModAlt | ModNoRepeat));
    EXPECT_FALSE(IsValidHotKeyModifiers(0x10));
    EXPECT_FALSE(IsValidHotKeyModifiers(0x8000));
    EXPECT_FALSE(IsValidHotKeyModifiers(-1));
}

TEST(KeyMappingTest, CaptureControlFlagsConvertAsTheOptionsDialogExpects) {
    EXPECT_EQ(ModifiersToHotKeyFlags(ModAlt), HotKeyFlagAlt);
    EXPECT_EQ(ModifiersToHotKeyFlags(ModControl), HotKeyFlagControl);
    EXPECT_EQ(ModifiersToHotKeyFlags(ModShift), HotKeyFlagShift);
    for (int m = 0; m < 8; ++m) {
        EXPECT_EQ(HotKeyFlagsToModifiers(ModifiersToHotKeyFlags(m)), m);
    }
    // The control has no Windows-key flag, and HOTKEYF_EXT marks an extended key only.
    EXPECT_EQ(ModifiersToHotKeyFlags(ModWin | ModAlt), HotKeyFlagAlt);
    EXPECT_EQ(HotKeyFlagsToModifiers(HotKeyFlagExt), 0);
    EXPECT_EQ(HotKeyFlagsToModifiers(HotKeyFlagExt | HotKeyFlagShift), ModShift);

    // The navigation block and arrows, and the browser and media keys, whole ranges.
    for (int vk = 0x21; vk <= 0x28; ++vk) {
        EXPECT_TRUE(IsExtendedVirtualKey(vk)) << std::hex << vk;
    }
    for (int vk = 0xA6; vk <= 0xB7; ++vk) {
        EXPECT_TRUE(IsExtendedVirtualKey(vk)) << std::hex << vk;
    }
    for (int vk : {0x2C, 0x2D, 0x2E, 0x5D, 0x6F, 0x90}) {
        EXPECT_TRUE(IsExtendedVirtualKey(vk)) << std::hex << vk;
    }
    // Their neighbours, the main keys and the keypad's other keys are not extended.
    for (int vk : {0x20, 0x29, 0xB8, 0xBA, 0x53, 0x0D, 0x13, 0x60, 0x6A, 0x6B, 0x70, 0x91}) {
        EXPECT_FALSE(IsExtendedVirtualKey(vk)) << std::hex << vk;
    }
}

// The window hands the stored key to the desktop as a Qt combination, and the X11 backend turns it
// back: every key the settings can hold, with every modifier set, must come back as it was.
TEST(KeyMappingTest, StoredHotKeysSurviveTheWayThroughQt) {
    for (int i = 0; i < SupportedVirtualKeyCount(); ++i) {
        const int vk = SupportedVirtualKeyAt(i);
        for (int modifiers = 0; modifiers <= (ModAlt | ModControl | ModShift | ModWin);
             ++modifiers) {
            const QKeyCombination key = HotKeyToQt(modifiers, vk);
            int backModifiers = -1;
            int backKey = -1;
            ASSERT_TRUE(QtToHotKey(key, backModifiers, backKey)) << std::hex << vk;
            EXPECT_EQ(backKey, vk) << std::hex << vk << " with " << modifiers;
            EXPECT_EQ(backModifiers, modifiers) << std::hex << vk;
        }
    }
    // Alt+S, the default, in Qt's words; the no-repeat bit has no Qt counterpart.
    EXPECT_EQ(HotKeyToQt(ModAlt | ModNoRepeat, 'S'), QKeyCombination(Qt::AltModifier, Qt::Key_S));
}

TEST(KeyMappingTest, HotKeysWithoutAQtFormAreEmpty) {
    EXPECT_EQ(HotKeyToQt(ModAlt, 0).key(), Qt::Key(0));
    EXPECT_EQ(HotKeyToQt(ModAlt, 0xFF).key(), Qt::Key(0));
    EXPECT_EQ(HotKeyToQt(0x100 | ModAlt, 'S').key(), Qt::Key(0));  // not a MOD_* bit
    int modifiers = 7;
    int vk = 7;
    EXPECT_FALSE(QtToHotKey(QKeyCombination(Qt::AltModifier, Qt::Key(0)), modifiers, vk));
    EXPECT_EQ(modifiers, 7);
    EXPECT_EQ(vk, 7);
}

}  // namespace
}  // namespace vemo

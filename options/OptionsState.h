#pragma once

// What the options dialog's pages hold, and the one step that turns it into settings. Nothing
// here needs a window: the pages fill their controls from the *StateFrom functions and hand
// their controls' state back to ValidateAndStore.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsStore.h"
#include "settings/TickerSettings.h"

namespace vemo {

// An entry as typed, without the blanks and line breaks around it.
std::string_view TrimEntry(std::string_view text);

// Texts of the dialog's status line (UTF-8).
inline constexpr char MsgProxyInput[] = "代理输入不正确";
inline constexpr char MsgUserName[] = "用户名输入不正确";
inline constexpr char MsgPassword[] = "密码输入不正确";
inline constexpr char MsgBadCodeSuffix[] = " 不正确 请输入6位代码";
inline constexpr char MsgHotKeyTooSimple[] = "热键过于简单";
inline constexpr char MsgListFull[] = "达到上限不能再添加";
inline constexpr char MsgEnterSixCharacters[] = "输入6位代码";
inline constexpr char MsgAlreadyAdded[] = "已添加过此项";
inline constexpr char MsgListEmpty[] = "列表中没有数据";

inline constexpr std::size_t CodeLength = 6;
inline constexpr int MaxSliderPosition = 30;  // × 10 seconds
inline constexpr int ProxyFieldLimit = 20;    // characters a user may type into a proxy field
inline constexpr int FontSizeCount = 5;

// Controls of the display page, by the ids tests find them with (their objectName is the number).
enum DisplayPageControl : int {
    IdFontSize = 1000,
    IdShowRefreshTime = 1007,
    IdCustomColours = 1011,
    IdUpSwatch = 1017,
    IdDownSwatch = 1018,
    IdShowChangePercent = 1019,
    IdShowChangeAmount = 1020,
    IdHotKeyHidesTray = 1021,
    IdNameSwatch = 1022,
    IdBackgroundSwatch = 1023,
    IdHeaderSwatch = 1024,
    IdAlwaysOnTop = 1031,
    IdTitleBarOnHover = 1032,
    IdShowHeader = 1045,
    IdShowName = 1050,
    IdShowCode = 1051,
    IdShowPrice = 1056,
    IdHideAtStart = 1057,
    IdRunAtStartup = 1058,
};

// The display page: its thirteen boxes (see DisplayBoxes), five colours (0x00BBGGRR) and
// font-size selection.
struct DisplayPageState {
    bool customColors = false;
    bool hotKeyHidesTrayIcon = false;
    bool titleBarOnHover = false;
    bool showRefreshTime = false;
    bool alwaysOnTop = false;
    bool showChangeAmount = false;
    bool showChangePercent = false;
    bool showHeader = false;
    bool showName = false;
    bool showCode = false;
    bool showPrice = false;
    bool hideAtStart = false;
    bool runAtStartup = false;
    std::uint32_t backgroundColor = DefaultBackgroundColor;
    std::uint32_t upColor = 0x0000FF;
    std::uint32_t downColor = 0x009900;
    std::uint32_t nameColor = 0;
    std::uint32_t headerColor = 0;
    int fontSizeIndex = 1;  // -1: nothing selected
};

// One check box of the display page and the settings bit it stands for.
struct DisplayBox {
    int controlId;
    const char* caption;  // UTF-8
    bool DisplayPageState::*state;
    std::uint32_t TickerSettings::*field;  // pageContent or optionFlags
    std::uint32_t bit;
};

// Every box of the display page; each bit of pageContent and optionFlags has exactly one.
inline constexpr DisplayBox DisplayBoxes[] = {
    {IdShowCode, "股票代码", &DisplayPageState::showCode, &TickerSettings::pageContent, showCode},
    {IdShowName, "简称", &DisplayPageState::showName, &TickerSettings::pageContent, showName},
    {IdShowPrice, "最新价", &DisplayPageState::showPrice, &TickerSettings::pageContent, showPrice},
    {IdShowChangeAmount, "涨跌额", &DisplayPageState::showChangeAmount,
     &TickerSettings::pageContent, showChangeAmount},
    {IdShowChangePercent, "涨跌幅", &DisplayPageState::showChangePercent,
     &TickerSettings::pageContent, showChangePercent},
    {IdShowHeader, "在页面上显示表头", &DisplayPageState::showHeader, &TickerSettings::pageContent,
     showHeader},
    {IdShowRefreshTime, "在主界面上显示最后刷新时间", &DisplayPageState::showRefreshTime,
     &TickerSettings::pageContent, showRefreshTime},
    {IdCustomColours, "自定义字体颜色", &DisplayPageState::customColors,
     &TickerSettings::optionFlags, customColors},
    {IdAlwaysOnTop, "总在最前端显示", &DisplayPageState::alwaysOnTop, &TickerSettings::optionFlags,
     alwaysOnTop},
    {IdTitleBarOnHover, "窗口透明后鼠标划过显示标题栏", &DisplayPageState::titleBarOnHover,
     &TickerSettings::optionFlags, titleBarOnHover},
    {IdHotKeyHidesTray, "热键隐藏窗口同时隐藏托盘图标", &DisplayPageState::hotKeyHidesTrayIcon,
     &TickerSettings::optionFlags, hotKeyHidesTrayIcon},
    {IdRunAtStartup, "开机自动运行", &DisplayPageState::runAtStartup, &TickerSettings::optionFlags,
     runAtStartup},
    {IdHideAtStart, "程序启动时自动隐藏", &DisplayPageState::hideAtStart,
     &TickerSettings::optionFlags, hideAtStart},
};

// The proxy page: three boxes and four texts. The texts are the record's bytes (GBK).
struct ProxyPageState {
    bool useProxy = false;       // 使用代理
    bool credentials = false;    // 用户名密码
    bool throughSystem = false;  // 通过 IE 获得数据
    std::string address;
    std::string port;
    std::string user;
    std::string password;
};

// The codes page: the list entries in order (GBK bytes), the data source, the slider and the
// hot-key control (a Windows virtual-key code and HOTKEYF_* flags).
struct CodesPageState {
    std::vector<std::string> codes;
    std::int32_t provider = ProviderSina;  // the checked source: 新浪, 网易 or 腾讯
    int sliderPosition = 0;
    int hotKeyVirtualKey = 0;
    int hotKeyFlags = 0;
};

// The pages' opening state for a record.
DisplayPageState DisplayStateFrom(const TickerSettings& settings);
ProxyPageState ProxyStateFrom(const TickerSettings& settings);
CodesPageState CodesStateFrom(const TickerSettings& settings);

// The slider position of a refresh period: period / 10 for 0 to 300 in steps of 10, else 0.
int SliderPositionFor(std::int32_t refreshSeconds);
// "刷新频率： %d 秒" with position × 10, or "刷新频率： 不刷新" at 0.
std::string RefreshRateLabel(int position);

// Whether `code` has the form of a watch-list code: six digits, or an index code 1A000n or 1B000n
// (letters of either case).
bool IsListableCode(std::string_view code);

// The code as the request addresses know it: index codes in capitals ("1a0001" -> "1A0001").
std::string UpperCaseCode(std::string_view code);

// Whether Add may append `code` to `list`: empty when it may, else the message that refuses it
// (the list is full, the code is not of a code's form, or an entry begins with it, letters
// compared without regard to case).
std::string CheckCodeToAdd(const std::vector<std::string>& list, std::string_view code);

// Whether the status line's `message` still has its cause in the pages' state, so that it stays:
// the limit while the list is full, the empty-list message while it is empty, a message of the
// OK step while that step still gives it. The messages about the typed code hold until the next
// Add.
bool StatusCauseRemains(std::string_view message, const DisplayPageState& display,
                        const ProxyPageState& proxy, const CodesPageState& codes,
                        const TickerSettings& settings);

// The dialog's OK step. Checks the pages' state in a fixed order (proxy, user name, each code,
// hot key) and returns the first failure's message with `settings` untouched; when everything
// passes, writes every field the dialog edits into `settings` and returns an empty text.
std::string ValidateAndStore(const DisplayPageState& display, const ProxyPageState& proxy,
                             const CodesPageState& codes, TickerSettings& settings);

// ValidateAndStore, then SaveSettings of the written record when it passed. A failed save keeps
// the written record (it applies for this run) and puts its message into `saveProblem`.
std::string ValidateStoreAndSave(const DisplayPageState& display, const ProxyPageState& proxy,
                                 const CodesPageState& codes, TickerSettings& settings,
                                 const SettingsFiles& files, std::string& saveProblem);

}  // namespace vemo

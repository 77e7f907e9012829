// Compiled with -fexec-charset=GBK: every literal here becomes GBK bytes.

namespace vemo {

extern const char HeaderCodeCell[] = "<td>代码</td>";
extern const char HeaderNameCell[] = "<td>简称</td>";
extern const char HeaderPriceCell[] = "<td>最新价</td>";
extern const char HeaderChangeAmountCell[] = "<td>涨跌(元)</td>";
extern const char HeaderChangePercentCell[] = "<td>涨跌(%)</td>";
extern const char HeaderTodayProfitCell[] = "<td>当日盈亏</td>";
extern const char HeaderTotalProfitCell[] = "<td>持仓盈亏</td>";
extern const char TotalRowCaption[] = "合计";

extern const char UpgradeNoticeStart[] = "版本需要升级才能正常使用<br><a href=";
extern const char UpgradeNoticeEnd[] = " target=\"_blank\">查看新版本</a>";
extern const char PackageUpgradeNotice[] =
    "版本需要升级才能正常使用<br>VEMO 由系统的软件包管理器安装, 请用软件包管理器升级";
extern const char EmptyListNotice[] = "股票代码列表中无数据 请添加股票代码";

extern const char FetchErrorPageFormat[] =
    "<html><style>body{border:0; font-size:12px;}</style><body scroll=no bgcolor=%s>"
    "<font color=#FF0000>获得数据出错 请检查网络连接</font></body></html>";
extern const char PageStyleFormat[] =
    "<style>body{border:0;margin:5px;font-family:\"宋体\"} table{font-size:%dpx;} ";
// The quote services as the time line names them.
extern const char SinaServiceName[] = "新浪";
extern const char NetEaseServiceName[] = "网易";
extern const char TencentServiceName[] = "腾讯";
// After the time of quotes that a refresh could not renew.
extern const char StaleMark[] = "未更新";

extern const char TooltipFormat[] =
    "%s(%s)&#10;昨收盘: %0.2f&#10;今开盘: %0.2f&#10;最  高: %0.2f&#10;最  低: %0.2f"
    "&#10;成交量: %d&#10;成交额: %0.2f";

}  // namespace vemo

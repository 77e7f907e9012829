#include "tools/marketsim/MarketSim.h"

#include <ctime>
#include <fstream>

#include "net/Endpoints.h"
#include "tools/marketsim/GbkText.h"
#include "tools/marketsim/Lookup.h"
#include "tools/marketsim/SimCore.h"

namespace vemo {

using sim::HttpReply;
using sim::ParsedRequest;

namespace {

constexpr char QuoteContentType[] = "application/javascript; charset=GBK";

HttpReply TextReply(int status, std::string text) {
    HttpReply reply;
    reply.status = status;
    reply.headers.emplace_back("Content-Type", "text/plain; charset=UTF-8");
    reply.body = std::move(text);
    return reply;
}

bool IsLoopbackHost(std::string_view host) {
    return host.empty() || host == "127.0.0.1" || host == "localhost";
}

// Bytes of the symbol between the marker and the equals sign of a fixed line, or empty.
std::string SymbolAfter(std::string_view line, std::string_view marker) {
    if (!line.starts_with(marker)) {
        return {};
    }
    line.remove_prefix(marker.size());
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return {};
    }
    return std::string(line.substr(0, eq));
}

}  // namespace

std::string SimRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && sim::EqualsNoCase(line.substr(0, colon), name)) {
            const auto first = line.find_first_not_of(" \t", colon + 1);
            if (first == std::string::npos) {
                return {};
            }
            const auto last = line.find_last_not_of(" \t");
            return line.substr(first, last - first + 1);
        }
    }
    return {};
}

bool ParseSimTime(std::string_view text, SimTime& time) {
    // Exactly "YYYY-MM-DD HH:MM:SS".
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return false;
    }
    auto number = [&](std::size_t at, std::size_t length, int& out) {
        long long value = 0;
        if (!sim::ParseInt(text.substr(at, length), value) || text[at] == '-' || text[at] == '+') {
            return false;
        }
        out = static_cast<int>(value);
        return true;
    };
    SimTime parsed;
    if (!number(0, 4, parsed.year) || !number(5, 2, parsed.month) || !number(8, 2, parsed.day) ||
        !number(11, 2, parsed.hour) || !number(14, 2, parsed.minute) ||
        !number(17, 2, parsed.second)) {
        return false;
    }
    static constexpr int DaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (parsed.year % 4 == 0 && parsed.year % 100 != 0) || parsed.year % 400 == 0;
    if (parsed.month < 1 || parsed.month > 12 || parsed.day < 1 ||
        parsed.day > DaysIn[parsed.month - 1] || (parsed.month == 2 && !leap && parsed.day > 28) ||
        parsed.hour > 23 || parsed.minute > 59 || parsed.second > 59) {
        return false;
    }
    time = parsed;
    return true;
}

std::string MakerAnswerText(const SimMakerAnswer& answer) {
    if (answer.raw) {
        return *answer.raw;
    }
    // Written as the maker's Windows server would write it: CR LF line ends, GBK text.
    std::string text = "[VEMO]\r\n";
    if (answer.infoVer) {
        text += "infoVer=" + std::to_string(*answer.infoVer) + "\r\n";
    }
    if (answer.info) {
        text += "info=" + sim::ToGbk(*answer.info) + "\r\n";
    }
    if (answer.infourl) {
        text += "infourl=" + sim::ToGbk(*answer.infourl) + "\r\n";
    }
    if (answer.update) {
        text += "update=" + std::to_string(*answer.update) + "\r\n";
    }
    if (answer.dlurl) {
        text += "dlurl=" + sim::ToGbk(*answer.dlurl) + "\r\n";
    }
    return text;
}

MarketSimulator::Impl::Impl(std::uint64_t initialSeed)
    : seed(initialSeed),
      market(initialSeed),
      server([this](const ParsedRequest& request, const std::string& body) {
          return Handle(request, body);
      }) {}

SimBehaviour& MarketSimulator::Impl::BehaviourOf(SimService service) {
    switch (service) {
        case SimService::NetEase:
            return behaviours[1];
        case SimService::Maker:
            return behaviours[2];
        case SimService::Tencent:
            return behaviours[3];
        default:
            return behaviours[0];
    }
}

SimTime MarketSimulator::Impl::Now() const {
    if (fixedTime) {
        return *fixedTime;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return SimTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

void MarketSimulator::Impl::ResetLocked() {
    behaviours = {};
    sinaOldForm = false;
    emptySymbols.clear();
    fixedSina.clear();
    fixedNetEase.clear();
    fixedTencent.clear();
    proxyCredentials.reset();
    versionAnswer = SimMakerAnswer{};
    updateAnswer = SimMakerAnswer{};
    downloads.clear();
    fixedTime.reset();
    market.ClearFixed();
    market.Reset(seed);
    market.SetMoving(true);
}

int MarketSimulator::Impl::SetFixedLinesLocked(std::string_view text) {
    using Fixed = std::map<std::string, std::string, std::less<>>;
    std::vector<std::pair<Fixed*, std::pair<std::string, std::string>>> lines;  // where, sym, line
    while (!text.empty()) {
        const auto lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (std::string symbol = SymbolAfter(line, "var hq_str_"); !symbol.empty()) {
            lines.push_back({&fixedSina, {symbol, std::string(line)}});
        } else if (symbol = SymbolAfter(line, "var quote_"); !symbol.empty()) {
            lines.push_back({&fixedNetEase, {symbol, std::string(line)}});
        } else if (symbol = SymbolAfter(line, "v_"); !symbol.empty()) {
            lines.push_back({&fixedTencent, {symbol, std::string(line)}});
        } else {
            return -1;
        }
    }
    for (auto& [fixed, entry] : lines) {
        (*fixed)[entry.first] = std::move(entry.second);
    }
    return static_cast<int>(lines.size());
}

std::string MarketSimulator::Impl::SinaBody(std::string_view list) {
    const SimTime time = Now();
    const std::uint64_t request = ++serial;
    std::string body;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view symbol = list.substr(0, comma);
        if (!symbol.empty()) {
            std::string line;
            sim::Security* security = market.Find(symbol);
            if (emptySymbols.contains(symbol)) {
                line = "var hq_str_" + std::string(symbol) + "=\"\";";
            } else if (const auto fixed = fixedSina.find(symbol); fixed != fixedSina.end()) {
                line = fixed->second;
            } else if (security != nullptr) {
                market.Advance(*security, request);
                line = sim::Market::SinaLine(*security, time, sinaOldForm);
            } else {
                line = "var hq_str_" + std::string(symbol) + "=\"\";";
            }
            body += line;
            body += '\n';
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return body;
}

std::string MarketSimulator::Impl::NetEaseBody(std::string_view list) {
    const SimTime time = Now();
    const std::uint64_t request = ++serial;
    std::string body;
    while (true) {
        const auto semicolon = list.find(';');
        const std::string_view symbol = list.substr(0, semicolon);
        if (!symbol.empty()) {
            // 0 is Shanghai and 1 Shenzhen; anything else is not a symbol the service knows.
            std::string marketSymbol;
            if (symbol.size() == 7 && (symbol[0] == '0' || symbol[0] == '1')) {
                marketSymbol = (symbol[0] == '0' ? "sh" : "sz") + std::string(symbol.substr(1));
            }
            sim::Security* security = marketSymbol.empty() ? nullptr : market.Find(marketSymbol);
            if (!marketSymbol.empty() && emptySymbols.contains(marketSymbol)) {
                // left out, as the service does for what it does not list
            } else if (const auto fixed = fixedNetEase.find(symbol); fixed != fixedNetEase.end()) {
                body += fixed->second + "\n";
            } else if (security != nullptr) {
                market.Advance(*security, request);
                body += sim::Market::NetEaseLine(*security, symbol, time) + "\n";
            }
        }
        if (semicolon == std::string_view::npos) {
            break;
        }
        list.remove_prefix(semicolon + 1);
    }
    return body;
}

std::string MarketSimulator::Impl::TencentBody(std::string_view list) {
    const SimTime time = Now();
    const std::uint64_t request = ++serial;
    // What the service answers for a symbol it does not list, whatever the symbol.
    constexpr char NoMatch[] = "v_pv_none_match=\"1\";";
    std::string body;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view symbol = list.substr(0, comma);
        if (!symbol.empty()) {
            sim::Security* security = market.Find(symbol);
            if (emptySymbols.contains(symbol)) {
                body += NoMatch;
            } else if (const auto fixed = fixedTencent.find(symbol); fixed != fixedTencent.end()) {
                body += fixed->second;
            } else if (security != nullptr) {
                market.Advance(*security, request);
                body += sim::Market::TencentLine(*security, time);
            } else {
                body += NoMatch;
            }
            body += '\n';
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return body;
}

HttpReply MarketSimulator::Impl::MakerReply(std::string_view pathAndQuery) {
    const std::string_view path = pathAndQuery.substr(0, pathAndQuery.find('?'));
    HttpReply reply;
    if (path == "/quorvane/vemo.php" || path == "/quorvane/VEMOUpdate.php") {
        reply.headers.emplace_back("Content-Type", "text/plain; charset=GBK");
        reply.body = MakerAnswerText(path == "/quorvane/vemo.php" ? versionAnswer : updateAnswer);
        return reply;
    }
    if (const auto it = downloads.find(path); it != downloads.end()) {
        reply.headers.emplace_back("Content-Type", "application/octet-stream");
        reply.body = it->second;
        return reply;
    }
    return TextReply(404, "no such page\n");
}

HttpReply MarketSimulator::Impl::Handle(const ParsedRequest& request, const std::string& body) {
    const std::string hostHeader = sim::HeaderValue(request.headers, "Host");
    const std::string host =
        request.absoluteForm ? sim::HostOf(request.authority) : sim::HostOf(hostHeader);
    // A proxy request addressed to the simulator itself is a direct request.
    const bool direct = !request.absoluteForm ||
                        (IsLoopbackHost(host) && sim::PortOf(request.authority) == server.Port());
    const std::string_view path = request.pathAndQuery;
    if (direct && IsLoopbackHost(host) && path.starts_with("/_sim/")) {
        return HandleControl(request, body);
    }

    SimRequest record;
    record.method = request.method;
    record.target = request.target;
    record.version = request.version;
    record.viaProxy = request.absoluteForm;
    record.headerLines = request.headerLines;
    record.head = request.head;
    record.body = body;
    if (request.absoluteForm) {
        record.url = request.target;
    } else {
        const std::string authority =
            hostHeader.empty() ? "127.0.0.1:" + std::to_string(server.Port()) : hostHeader;
        record.url = "http://" + authority + request.target;
    }

    std::unique_lock lock(mutex);
    log.push_back(record);
    if (log.size() > MaxLog) {
        log.pop_front();
    }
    ++requestCount;
    const auto notify = observer;
    lock.unlock();
    requestArrived.notify_all();
    if (notify) {
        notify(record);
    }
    lock.lock();

    if (request.method == "CONNECT") {
        return TextReply(501, "tunnels are not offered\n");
    }
    if (!direct && proxyCredentials) {
        const std::string authorization = sim::HeaderValue(request.headers, "Proxy-Authorization");
        const auto blank = authorization.find(' ');
        const auto token = authorization.find_first_not_of(' ', blank);
        std::string credentials;
        const bool good =
            token != std::string::npos &&
            sim::EqualsNoCase(std::string_view(authorization).substr(0, blank), "Basic") &&
            sim::Base64Decode(std::string_view(authorization).substr(token), credentials) &&
            credentials == proxyCredentials->first + ":" + proxyCredentials->second;
        if (!good) {
            HttpReply reply = TextReply(407, "proxy credentials required\n");
            reply.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"marketsim\"");
            return reply;
        }
    }

    SimService service = SimService::All;  // none yet
    const std::string_view pathOnly = path.substr(0, path.find('?'));
    if (host == SinaHost || host == SinaLookupHost) {
        service = SimService::Sina;
    } else if (host == NetEaseHost) {
        service = SimService::NetEase;
    } else if (host == TencentHost || host == TencentLookupHost) {
        service = SimService::Tencent;
    } else if (host == MakerHost) {
        service = SimService::Maker;
    } else if (downloads.contains(pathOnly)) {
        service = SimService::Maker;
    } else if (direct) {
        if (path.starts_with("/list=") || path.starts_with("/suggest/")) {
            service = SimService::Sina;
        } else if (path.starts_with("/?")) {
            service = SimService::NetEase;
        } else if (path.starts_with("/q=") || path.starts_with("/s3/")) {
            service = SimService::Tencent;
        } else if (path.starts_with("/quorvane/") || path.starts_with("/client/")) {
            service = SimService::Maker;
        } else {
            return TextReply(404, "no such page\n");
        }
    } else {
        return TextReply(502, "marketsim does not play " + host + "\n");
    }

    SimBehaviour& behaviour = BehaviourOf(service);
    const SimBehaviour applied = behaviour;
    if (behaviour.count > 0 && --behaviour.count == 0) {
        behaviour = SimBehaviour{};
    }
    HttpReply reply;
    reply.delayMs = applied.delayMs;
    reply.trickleMs = applied.trickleMs;
    switch (applied.failure) {
        case SimFailure::Hang:
            reply.kind = HttpReply::Kind::Hang;
            return reply;
        case SimFailure::Close:
            reply.kind = HttpReply::Kind::Close;
            return reply;
        case SimFailure::HttpError:
            reply.status = applied.status;
            reply.headers.emplace_back("Content-Type", "text/html");
            reply.body = applied.body;
            return reply;
        case SimFailure::None:
        case SimFailure::Cut:
            break;
    }
    // A cut answer is the normal one, broken off halfway.
    const auto finish = [&applied](HttpReply answer) {
        if (applied.failure == SimFailure::Cut) {
            answer.kind = HttpReply::Kind::Cut;
        }
        answer.trickleMs = applied.trickleMs;
        return answer;
    };
    if (request.method != "GET" && request.method != "HEAD") {
        reply.status = 405;
        reply.headers.emplace_back("Allow", "GET, HEAD");
        return reply;
    }
    if (service == SimService::Maker) {
        HttpReply maker = MakerReply(path);
        maker.delayMs = applied.delayMs;
        return finish(maker);
    }
    reply.headers.emplace_back("Content-Type", QuoteContentType);
    if (service == SimService::Sina && path.starts_with("/suggest/")) {
        // The key is the last parameter: "/suggest/type=11,12,...&key=KEY".
        const auto key = path.find("&key=");
        const std::string_view value =
            key == std::string_view::npos ? std::string_view() : path.substr(key + 5);
        reply.body = sim::SinaLookupBody(sim::UrlDecode(value.substr(0, value.find('&'))), market);
    } else if (service == SimService::Tencent && path.starts_with("/s3/")) {
        const auto query = path.find('?');
        const auto params =
            sim::ParseQuery(query == std::string_view::npos ? "" : path.substr(query + 1));
        const auto key = params.find("q");
        reply.body = sim::TencentLookupBody(key == params.end() ? "" : key->second, market);
    } else if (service == SimService::Sina) {
        if (!path.starts_with("/list=")) {
            HttpReply missing = TextReply(404, "no such page\n");
            missing.delayMs = applied.delayMs;
            return finish(missing);
        }
        reply.body = SinaBody(path.substr(6));
    } else if (service == SimService::Tencent) {
        if (!path.starts_with("/q=")) {
            HttpReply missing = TextReply(404, "no such page\n");
            missing.delayMs = applied.delayMs;
            return finish(missing);
        }
        reply.body = TencentBody(path.substr(3));
    } else {
        if (!path.starts_with("/?")) {
            HttpReply missing = TextReply(404, "no such page\n");
            missing.delayMs = applied.delayMs;
            return finish(missing);
        }
        reply.body = NetEaseBody(path.substr(2));
    }
    return finish(reply);
}

MarketSimulator::MarketSimulator(std::uint64_t seed) : impl_(std::make_unique<Impl>(seed)) {}

MarketSimulator::~MarketSimulator() {
    Stop();
}

int MarketSimulator::Start(std::uint16_t port) {
    return impl_->server.Start(port);
}

std::uint16_t MarketSimulator::Port() const {
    return impl_->server.Port();
}

void MarketSimulator::Stop() {
    impl_->server.Stop();
}

void MarketSimulator::SetBehaviour(SimService service, const SimBehaviour& behaviour) {
    std::lock_guard lock(impl_->mutex);
    if (service == SimService::All) {
        impl_->behaviours.fill(behaviour);
    } else {
        impl_->BehaviourOf(service) = behaviour;
    }
}

void MarketSimulator::SetSinaOldForm(bool oldForm) {
    std::lock_guard lock(impl_->mutex);
    impl_->sinaOldForm = oldForm;
}

void MarketSimulator::SetEmptyEntry(std::string_view symbol, bool empty) {
    std::lock_guard lock(impl_->mutex);
    if (empty) {
        impl_->emptySymbols.emplace(symbol);
    } else if (const auto it = impl_->emptySymbols.find(symbol); it != impl_->emptySymbols.end()) {
        impl_->emptySymbols.erase(it);
    }
}

void MarketSimulator::SetProxyCredentials(std::string_view user, std::string_view password) {
    std::lock_guard lock(impl_->mutex);
    if (user.empty()) {
        impl_->proxyCredentials.reset();
    } else {
        impl_->proxyCredentials.emplace(std::string(user), std::string(password));
    }
}

int MarketSimulator::SetFixedLines(std::string_view text) {
    std::lock_guard lock(impl_->mutex);
    return impl_->SetFixedLinesLocked(text);
}

int MarketSimulator::LoadFixedLines(const std::string& path, bool utf8) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return -2;
    }
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > sim::MaxBodyBytes) {
            return -2;
        }
    }
    if (file.bad()) {
        return -2;
    }
    return SetFixedLines(utf8 ? sim::ToGbk(text) : text);
}

int MarketSimulator::SetQuote(std::string_view symbol, const SimQuote& quote) {
    std::lock_guard lock(impl_->mutex);
    return impl_->market.SetFixed(symbol, quote);
}

void MarketSimulator::ClearFixed() {
    std::lock_guard lock(impl_->mutex);
    impl_->fixedSina.clear();
    impl_->fixedNetEase.clear();
    impl_->fixedTencent.clear();
    impl_->market.ClearFixed();
}

void MarketSimulator::SetMoving(bool moving) {
    std::lock_guard lock(impl_->mutex);
    impl_->market.SetMoving(moving);
}

void MarketSimulator::SetSeed(std::uint64_t seed) {
    std::lock_guard lock(impl_->mutex);
    impl_->seed = seed;
    impl_->market.Reset(seed);
}

void MarketSimulator::SetTime(std::optional<SimTime> time) {
    std::lock_guard lock(impl_->mutex);
    impl_->fixedTime = time;
}

void MarketSimulator::SetMakerAnswer(SimMakerScript script, const SimMakerAnswer& answer) {
    std::lock_guard lock(impl_->mutex);
    if (script != SimMakerScript::Update) {
        impl_->versionAnswer = answer;
    }
    if (script != SimMakerScript::VersionCheck) {
        impl_->updateAnswer = answer;
    }
}

void MarketSimulator::SetDownload(std::string_view path, std::string bytes) {
    std::lock_guard lock(impl_->mutex);
    impl_->downloads[std::string(path)] = std::move(bytes);
}

void MarketSimulator::RemoveDownload(std::string_view path) {
    std::lock_guard lock(impl_->mutex);
    if (const auto it = impl_->downloads.find(path); it != impl_->downloads.end()) {
        impl_->downloads.erase(it);
    }
}

void MarketSimulator::Reset() {
    std::lock_guard lock(impl_->mutex);
    impl_->ResetLocked();
}

std::vector<SimRequest> MarketSimulator::Requests() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->log.begin(), impl_->log.end()};
}

std::size_t MarketSimulator::RequestCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requestCount;
}

void MarketSimulator::ClearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
    impl_->requestCount = 0;
}

bool MarketSimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->requestArrived.wait_for(lock, timeout,
                                          [&] { return impl_->requestCount >= count; });
}

void MarketSimulator::SetObserver(std::function<void(const SimRequest&)> observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

bool ParseSimService(std::string_view name, SimService& service) {
    if (name == "all") {
        service = SimService::All;
    } else if (name == "sina") {
        service = SimService::Sina;
    } else if (name == "netease") {
        service = SimService::NetEase;
    } else if (name == "tencent") {
        service = SimService::Tencent;
    } else if (name == "maker") {
        service = SimService::Maker;
    } else {
        return false;
    }
    return true;
}

bool ParseSimFailure(std::string_view name, SimFailure& failure) {
    if (name == "none") {
        failure = SimFailure::None;
    } else if (name == "hang") {
        failure = SimFailure::Hang;
    } else if (name == "close") {
        failure = SimFailure::Close;
    } else if (name == "error") {
        failure = SimFailure::HttpError;
    } else if (name == "cut") {
        failure = SimFailure::Cut;
    } else {
        return false;
    }
    return true;
}

}  // namespace vemo

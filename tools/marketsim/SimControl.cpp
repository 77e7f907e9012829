// The control paths under /_sim/, for shell-driven tests and the demo. They answer only
// origin-form requests to 127.0.0.1, so nothing that reaches the simulator as a quote service
// or the maker's server can change it.

#include <cstdio>
#include <string>

#include "tools/marketsim/GbkText.h"
#include "tools/marketsim/SimCore.h"

namespace vemo {

using sim::HttpReply;
using sim::ParsedRequest;

namespace {

HttpReply Text(int status, std::string text) {
    HttpReply reply;
    reply.status = status;
    reply.headers.emplace_back("Content-Type", "text/plain; charset=UTF-8");
    reply.body = std::move(text);
    return reply;
}

HttpReply Ok() {
    return Text(200, "ok\n");
}

HttpReply Bad(const std::string& why) {
    return Text(400, why + "\n");
}

using Query = std::map<std::string, std::string>;

const std::string* Find(const Query& query, const std::string& key) {
    const auto it = query.find(key);
    return it == query.end() ? nullptr : &it->second;
}

// "1"/"on"/"true" or "0"/"off"/"false"; absent gives `fallback`.
bool Switch(const Query& query, const std::string& key, bool fallback, bool& ok) {
    const std::string* value = Find(query, key);
    if (value == nullptr) {
        return fallback;
    }
    if (*value == "1" || *value == "on" || *value == "true") {
        return true;
    }
    if (*value == "0" || *value == "off" || *value == "false") {
        return false;
    }
    ok = false;
    return fallback;
}

bool Integer(const Query& query, const std::string& key, long long low, long long high,
             long long& value) {
    const std::string* text = Find(query, key);
    if (text == nullptr) {
        return true;
    }
    return sim::ParseInt(*text, value) && value >= low && value <= high;
}

std::string Figure(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

HttpReply MarketSimulator::Impl::HandleControl(const ParsedRequest& request,
                                               const std::string& body) {
    const std::string_view target = request.pathAndQuery;
    const auto question = target.find('?');
    const std::string path(target.substr(0, question));
    const Query query =
        question == std::string_view::npos ? Query{} : sim::ParseQuery(target.substr(question + 1));
    const bool reading = request.method == "GET" || request.method == "HEAD";
    const bool changing = request.method == "POST" || request.method == "PUT";

    std::lock_guard lock(mutex);

    if (path == "/_sim/requests" || path == "/_sim/request" || path == "/_sim/count" ||
        path == "/_sim/symbols") {
        if (!reading) {
            HttpReply reply = Text(405, "use GET\n");
            reply.headers.emplace_back("Allow", "GET, HEAD");
            return reply;
        }
        if (path == "/_sim/count") {
            return Text(200, std::to_string(requestCount) + "\n");
        }
        if (path == "/_sim/requests") {
            std::string text;
            for (const SimRequest& seen : log) {
                text += seen.method + " " + seen.url + "\n";
                for (const std::string& line : seen.headerLines) {
                    text += line + "\n";
                }
                text += "\n";
            }
            HttpReply reply = Text(200, std::move(text));
            reply.headers[0].second = "text/plain";  // header bytes are passed on as they came
            return reply;
        }
        if (path == "/_sim/request") {
            long long index = -1;
            if (!Find(query, "index") || !Integer(query, "index", 0, 1LL << 40, index)) {
                return Bad("index=N is required");
            }
            if (static_cast<std::size_t>(index) >= log.size()) {
                return Text(404, "no request with that index\n");
            }
            const SimRequest& seen = log[static_cast<std::size_t>(index)];
            HttpReply reply;
            reply.headers.emplace_back("Content-Type", "application/octet-stream");
            reply.body = seen.head + seen.body;
            return reply;
        }
        std::string text;
        for (const sim::Security* security : market.All()) {
            text += security->symbol + " " + security->nameUtf8 + " " +
                    Figure(security->prevClose) + " " + Figure(security->price) + "\n";
        }
        return Text(200, std::move(text));
    }

    if (!changing) {
        if (path.starts_with("/_sim/") && path.size() > 6) {
            HttpReply reply = Text(405, "use POST\n");
            reply.headers.emplace_back("Allow", "POST, PUT");
            return reply;
        }
        return Text(404, "no such control\n");
    }

    if (path == "/_sim/clear") {
        log.clear();
        requestCount = 0;
        return Ok();
    }
    if (path == "/_sim/reset") {
        ResetLocked();
        return Ok();
    }
    if (path == "/_sim/mode") {
        SimService service = SimService::All;
        SimBehaviour behaviour;
        long long delay = 0;
        long long trickle = 0;
        long long status = 500;
        long long count = -1;
        if (const std::string* name = Find(query, "service");
            name && !ParseSimService(*name, service)) {
            return Bad("service must be all, sina, netease, tencent or maker");
        }
        if (const std::string* name = Find(query, "failure");
            name && !ParseSimFailure(*name, behaviour.failure)) {
            return Bad("failure must be none, hang, close, error or cut");
        }
        if (!Integer(query, "delay", 0, 3'600'000, delay)) {
            return Bad("delay must be milliseconds, 0 to 3600000");
        }
        if (!Integer(query, "trickle", 0, 60'000, trickle)) {
            return Bad("trickle must be milliseconds, 0 to 60000");
        }
        if (!Integer(query, "status", 100, 999, status)) {
            return Bad("status must be a number from 100 to 999");
        }
        if (!Integer(query, "count", -1, 1'000'000'000, count) || count == 0) {
            return Bad("count must be a positive number, or -1");
        }
        behaviour.delayMs = static_cast<int>(delay);
        behaviour.trickleMs = static_cast<int>(trickle);
        behaviour.status = static_cast<int>(status);
        behaviour.count = static_cast<int>(count);
        behaviour.body = body;
        if (service == SimService::All) {
            behaviours.fill(behaviour);
        } else {
            BehaviourOf(service) = behaviour;
        }
        return Ok();
    }
    if (path == "/_sim/sina-form") {
        const std::string* form = Find(query, "form");
        if (form == nullptr || (*form != "old" && *form != "today")) {
            return Bad("form must be old or today");
        }
        sinaOldForm = *form == "old";
        return Ok();
    }
    if (path == "/_sim/empty") {
        const std::string* symbol = Find(query, "symbol");
        bool ok = true;
        const bool on = Switch(query, "on", true, ok);
        if (symbol == nullptr || symbol->empty() || !ok) {
            return Bad("symbol=SYMBOL is required, on=1 or 0");
        }
        if (on) {
            emptySymbols.insert(*symbol);
        } else {
            emptySymbols.erase(*symbol);
        }
        return Ok();
    }
    if (path == "/_sim/proxy-auth") {
        const std::string* user = Find(query, "user");
        const std::string* password = Find(query, "password");
        if (user == nullptr || user->empty()) {
            proxyCredentials.reset();
        } else {
            proxyCredentials.emplace(*user, password ? *password : std::string());
        }
        return Ok();
    }
    if (path == "/_sim/fixed-lines") {
        bool ok = true;
        if (Switch(query, "clear", false, ok)) {
            fixedSina.clear();
            fixedNetEase.clear();
            fixedTencent.clear();
            market.ClearFixed();
        }
        const std::string* encoding = Find(query, "encoding");
        if (!ok || (encoding && *encoding != "gbk" && *encoding != "utf8")) {
            return Bad("encoding must be gbk or utf8, clear=1 or 0");
        }
        const int taken =
            SetFixedLinesLocked(encoding && *encoding == "utf8" ? sim::ToGbk(body) : body);
        if (taken < 0) {
            return Bad(
                "every line must begin with var hq_str_SYMBOL=, var quote_SYMBOL= or v_SYMBOL=");
        }
        return Text(200, std::to_string(taken) + "\n");
    }
    if (path == "/_sim/quote") {
        const std::string* symbol = Find(query, "symbol");
        if (symbol == nullptr) {
            return Bad("symbol=sh600000 (or sz..., bj...) is required");
        }
        SimQuote quote;
        if (const std::string* name = Find(query, "name")) {
            quote.name = *name;
        }
        const std::pair<const char*, double*> figures[] = {
            {"prevclose", &quote.prevClose}, {"open", &quote.open}, {"price", &quote.price},
            {"high", &quote.high},           {"low", &quote.low},   {"amount", &quote.amount}};
        for (const auto& [key, field] : figures) {
            const std::string* text = Find(query, key);
            if (text == nullptr || !sim::ParseDouble(*text, *field)) {
                return Bad(std::string("a decimal ") + key + "= is required");
            }
        }
        const std::string* volume = Find(query, "volume");
        if (volume == nullptr || !sim::ParseInt(*volume, quote.volume)) {
            return Bad("a whole volume= (shares) is required");
        }
        if (market.SetFixed(*symbol, quote) != 0) {
            return Bad("symbol must be sh, sz or bj and six digits, figures not negative");
        }
        return Ok();
    }
    if (path == "/_sim/moving") {
        bool ok = true;
        const bool on = Switch(query, "on", true, ok);
        if (!ok) {
            return Bad("on=1 or 0");
        }
        market.SetMoving(on);
        return Ok();
    }
    if (path == "/_sim/seed") {
        const std::string* text = Find(query, "value");
        long long value = 0;
        if (text == nullptr || !sim::ParseInt(*text, value) || value < 0) {
            return Bad("value=N (not negative) is required");
        }
        seed = static_cast<std::uint64_t>(value);
        market.Reset(seed);
        return Ok();
    }
    if (path == "/_sim/time") {
        const std::string* at = Find(query, "at");
        if (at == nullptr || at->empty()) {
            fixedTime.reset();
            return Ok();
        }
        SimTime time;
        if (!ParseSimTime(*at, time)) {
            return Bad("at must be YYYY-MM-DD HH:MM:SS");
        }
        fixedTime = time;
        return Ok();
    }
    if (path == "/_sim/maker") {
        SimMakerScript script = SimMakerScript::Both;
        if (const std::string* name = Find(query, "script")) {
            if (*name == "vemo") {
                script = SimMakerScript::VersionCheck;
            } else if (*name == "update") {
                script = SimMakerScript::Update;
            } else if (*name != "both") {
                return Bad("script must be both, vemo or update");
            }
        }
        SimMakerAnswer answer;
        answer.infoVer.reset();
        bool ok = true;
        if (Switch(query, "raw", false, ok)) {
            answer.raw = body;
        }
        long long number = 0;
        if (Find(query, "infoVer")) {
            if (!Integer(query, "infoVer", -(1LL << 40), 1LL << 40, number)) {
                return Bad("infoVer must be a number");
            }
            answer.infoVer = number;
        }
        if (Find(query, "update")) {
            if (!Integer(query, "update", -(1LL << 40), 1LL << 40, number)) {
                return Bad("update must be a number");
            }
            answer.update = number;
        }
        if (const std::string* text = Find(query, "info")) {
            answer.info = *text;
        }
        if (const std::string* text = Find(query, "infourl")) {
            answer.infourl = *text;
        }
        if (const std::string* text = Find(query, "dlurl")) {
            answer.dlurl = *text;
        }
        if (!ok) {
            return Bad("raw=1 or 0");
        }
        if (script != SimMakerScript::Update) {
            versionAnswer = answer;
        }
        if (script != SimMakerScript::VersionCheck) {
            updateAnswer = answer;
        }
        return Ok();
    }
    if (path == "/_sim/download") {
        const std::string* where = Find(query, "path");
        bool ok = true;
        const bool remove = Switch(query, "remove", false, ok);
        if (where == nullptr || !where->starts_with("/") || !ok) {
            return Bad("path=/... is required, remove=1 or 0");
        }
        if (remove) {
            downloads.erase(*where);
        } else {
            downloads[*where] = body;
        }
        return Ok();
    }
    return Text(404, "no such control\n");
}

}  // namespace vemo

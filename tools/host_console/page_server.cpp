#include "host_console/page_server.h"

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <thread>

#include "host_console/page_access.h"
#include "host_console/page_assets.h"

namespace tarvelin::console {

namespace {

using nlohmann::json;

constexpr std::size_t mostCyclesPerAnswer = 2500;   // five seconds of cycles
constexpr std::size_t largestRequest = 256 * 1024;  // a profile file, generously
constexpr std::size_t serverThreads = 8;            // a browser keeps up to six connections open
constexpr int cyclesPerSecond = 500;

// The telemetry channel each rig slot reads (the engine's fixed slot tables), -1 for none.
constexpr int slotInputs[rigSlots] = {3, 7, 11, 14, 17, 20, 3, 7, 16, 19, 42, 7, 11, 17, 20, 0, 0, 0, 0, 0, 0, 28, -1};
constexpr int beltSumChannel = 42;

std::string text(const json& value) {
    // Filter strings are bytes as typed; anything that is not UTF-8 is shown replaced.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void answer(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    // The web server library compresses some content types, and its compressor takes seconds on
    // ten seconds of cycles; this one it leaves alone (loopback needs no compression anyway).
    response.set_content(text(body), "application/json; charset=utf-8");
}

void refuse(httplib::Response& response, int status, const std::string& why) { answer(response, status, {{"error", why}}); }

json orNull(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json figuresJson(const Figures& figures) {
    if (figures.samples == 0) return nullptr;
    return {{"median", figures.median}, {"p99", figures.p99}, {"worst", figures.worst}, {"samples", figures.samples}};
}

// The engine's mode in use, as getLowLatency reports it.
const char* latencyModeName(int mode) {
    if (mode == 1) return "low";
    if (mode == 2) return "low, paced";  // chosen, but the game is not read from the network
    return "paced";
}

json limitJson(const std::optional<Limit>& limit) {
    if (!limit) return nullptr;
    return json::array({limit->low, limit->high});
}

json explanationJson(const FilterExplanation& explanation) {
    return {{"accepted", explanation.accepted},
            {"fault", explanation.fault},
            {"position", explanation.position},
            {"message", explanation.message}};
}

json editJson(const EditResult& result) {
    json body = {{"done", result.done}, {"reason", result.reason}};
    if (!result.filter.message.empty() || result.filter.accepted) body["filter"] = explanationJson(result.filter);
    return body;
}

// The field `name` of the request's JSON object, which must be of the type asked for; throws
// json::exception otherwise, which the handler answers as a bad request.
template <typename T>
T field(const json& body, const char* name) {
    if (!body.is_object() || !body.contains(name)) throw std::invalid_argument(std::string("the field '") + name + "' is missing");
    const json& value = body.at(name);
    if constexpr (std::is_same_v<T, bool>) {
        if (!value.is_boolean()) throw std::invalid_argument(std::string("'") + name + "' must be true or false");
    } else if constexpr (std::is_same_v<T, int>) {
        if (!value.is_number_integer()) throw std::invalid_argument(std::string("'") + name + "' must be a whole number");
    } else if constexpr (std::is_same_v<T, double>) {
        if (!value.is_number()) throw std::invalid_argument(std::string("'") + name + "' must be a number");
    } else {
        if (!value.is_string()) throw std::invalid_argument(std::string("'") + name + "' must be a string");
    }
    return value.get<T>();
}

}  // namespace

struct PageServer::Impl {
    Impl(PageHub& pageHub, const EngineApi& api) : hub(pageHub) {
        const char* const* names = nullptr;
        int count = 0;
        api.getGameDataNames(&names, &count);
        channelNames.assign(TARVELIN_CHANNELS, std::string());
        for (int i = 1; i < TARVELIN_CHANNELS && i - 1 < count; ++i) {
            if (names[i - 1] != nullptr) channelNames[static_cast<std::size_t>(i)] = names[i - 1];
        }
        channelNames[beltSumChannel] = "belt_sum";
        routes();
    }

    int channelIndex(const std::string& name) const {
        for (std::size_t i = 1; i < channelNames.size(); ++i) {
            if (channelNames[i] == name) return static_cast<int>(i);
        }
        return -1;
    }

    json info() const {
        json channels = json::array();
        for (std::size_t i = 1; i < channelNames.size(); ++i) channels.push_back(channelNames[i]);
        json slots = json::array();
        for (int slot = 0; slot < rigSlots; ++slot) {
            const int input = slotInputs[slot];
            slots.push_back({{"slot", slot},
                             {"name", slotName(slot)},
                             {"input", input > 0 ? json(channelNames[static_cast<std::size_t>(input)]) : json(nullptr)},
                             {"inputLimited", slot < 8}});
        }
        const auto status = hub.status();
        return {{"title", status.title},
                {"profileName", hub.profileName()},
                {"channels", channels},
                {"slots", slots},
                {"cyclesPerSecond", cyclesPerSecond},
                {"historyCycles", PageHub::historyCycles},
                {"latencyMeasured", status.latencyMeasured}};
    }

    json statusJson() const {
        const auto status = hub.status();
        json rig = nullptr;
        if (status.rig) rig = {{"good", status.rig->goodFrames}, {"bad", status.rig->badFrames}};
        json limits = json::array();
        for (const auto& limit : status.rigLimits) limits.push_back(limitJson(limit));
        return {{"title", status.title},
                {"elapsedSeconds", status.elapsedSeconds},
                {"game", {{"id", status.gameId},
                          {"name", status.gameId >= 0 ? json(status.gameName) : json(nullptr)},
                          {"frameRateHz", status.gameFrameRateHz},
                          {"engineFrameIntervalMs", orNull(status.engineFrameIntervalMs)}}},
                {"cycle", {{"lastMs", orNull(status.cyclePeriodMs)}, {"periodMs", figuresJson(status.cyclePeriods)}}},
                {"softStartPercent", orNull(status.softStartPercent)},
                {"frozen", !status.frozenReasons.empty()},
                {"frozenReasons", status.frozenReasons},
                {"profile", {{"active", status.activeProfile == 0 ? "AIR" : "GROUND"},
                             {"airPercent", orNull(status.airPercent)},
                             {"groundPercent", orNull(status.groundPercent)}}},
                {"link", {{"port", status.port},
                          {"connected", status.linkConnected},
                          {"framesSent", status.framesSent},
                          {"rigFrames", rig},
                          {"messagesFromRig", status.messagesFromRig}}},
                {"latencyMs", status.latencyMeasured ? figuresJson(status.latencyMs) : json(nullptr)},
                {"latencyMeasured", status.latencyMeasured},
                {"latencyMode", latencyModeName(status.latencyMode)},
                {"newestCycle", status.newestCycle},
                {"pageRequests", requests.load(std::memory_order_relaxed)},
                {"cyclesAtLimit", status.cyclesAtLimit},
                {"atLimit", status.atLimit},
                {"rigLimits", limits}};
    }

    json profileJson() const {
        const auto settings = hub.profile();
        json profiles = json::array();
        for (std::size_t profile = 0; profile < 2; ++profile) {
            json slots = json::array();
            for (const auto& slot : settings.slots[profile]) slots.push_back({{"filter", slot.filter}, {"active", slot.active}});
            json beltMix = json::object();
            for (std::size_t index = 0; index < settings.beltMix[profile].size(); ++index) {
                if (settings.beltMix[profile][index]) beltMix[std::to_string(index)] = *settings.beltMix[profile][index];
            }
            profiles.push_back({{"name", profile == 0 ? "AIR" : "GROUND"}, {"slots", slots}, {"beltMix", beltMix}});
        }
        json input = json::array();
        json rig = json::array();
        for (std::size_t slot = 0; slot < rigSlots; ++slot) {
            input.push_back(limitJson(settings.inputLimits[slot]));
            rig.push_back(limitJson(settings.rigLimits[slot]));
        }
        json warnings = json::array();
        for (const auto& warning : settings.warnings) warnings.push_back({{"line", warning.line}, {"message", warning.message}});
        return {{"name", hub.profileName()}, {"profiles", profiles}, {"inputLimits", input}, {"rigLimits", rig},
                {"warnings", warnings}};
    }

    void cycles(const httplib::Request& request, httplib::Response& response) const {
        std::uint64_t after = 0;
        if (request.has_param("after")) {
            const std::string value = request.get_param_value("after");
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), after);
            if (error != std::errc() || end != value.data() + value.size()) {
                return refuse(response, 400, "'after' must be a cycle number (0 or more)");
            }
        }
        std::vector<int> channels;
        std::vector<std::string> wanted;
        if (request.has_param("channels")) {
            const std::string list = request.get_param_value("channels");
            std::size_t begin = 0;
            while (begin <= list.size()) {
                const auto end = std::min(list.find(',', begin), list.size());
                const std::string name = list.substr(begin, end - begin);
                if (!name.empty()) {
                    const int index = channelIndex(name);
                    if (index < 0) return refuse(response, 400, "no telemetry channel is named '" + name + "'");
                    channels.push_back(index);
                    wanted.push_back(name);
                }
                begin = end + 1;
            }
        }
        std::uint64_t skipped = 0;
        const auto records = hub.cyclesAfter(after, mostCyclesPerAnswer, skipped);
        json cues = json::array();
        for (std::size_t slot = 0; slot < rigSlots; ++slot) {
            json column = json::array();
            for (const auto& record : records) column.push_back(orNull(record.cues.values[slot]));
            cues.push_back(std::move(column));
        }
        json telemetry = json::object();
        for (std::size_t i = 0; i < channels.size(); ++i) {
            json column = json::array();
            for (const auto& record : records) column.push_back(orNull(record.telemetry.channels[channels[i]]));
            telemetry[wanted[i]] = std::move(column);
        }
        answer(response, 200,
               {{"after", after},
                {"first", records.empty() ? json(nullptr) : json(records.front().number)},
                {"last", records.empty() ? json(after) : json(records.back().number)},
                {"skipped", skipped},
                {"cues", cues},
                {"channels", telemetry}});
    }

    // Runs an edit from a JSON request: a bad request is answered 400, a refused edit 422.
    template <typename Edit>
    void post(const httplib::Request& request, httplib::Response& response, Edit edit) {
        json body;
        try {
            body = json::parse(request.body);
            edit(body);
        } catch (const json::exception&) {
            refuse(response, 400, "the request is not the JSON object this address takes");
        } catch (const std::invalid_argument& error) {
            refuse(response, 400, error.what());
        }
    }

    void routes() {
        server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
            requests.fetch_add(1, std::memory_order_relaxed);
            if (!requestAllowed(request.remote_addr, request.get_header_value("Host"), bindAddress)) {
                refuse(response, 403, "the tuning page answers only requests to this machine's own address");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (request.method == "POST") {
                const std::string origin = request.get_header_value("Origin");
                if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
                    refuse(response, 415, "changes are sent as application/json");
                    return httplib::Server::HandlerResponse::Handled;
                }
                if (!origin.empty() && origin != "http://" + request.get_header_value("Host")) {
                    refuse(response, 403, "changes are taken only from the tuning page itself");
                    return httplib::Server::HandlerResponse::Handled;
                }
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.Get("/api/info", [this](const httplib::Request&, httplib::Response& response) { answer(response, 200, info()); });
        server.Get("/api/status",
                   [this](const httplib::Request&, httplib::Response& response) { answer(response, 200, statusJson()); });
        server.Get("/api/cycles",
                   [this](const httplib::Request& request, httplib::Response& response) { cycles(request, response); });
        server.Get("/api/profile",
                   [this](const httplib::Request&, httplib::Response& response) { answer(response, 200, profileJson()); });
        server.Get("/api/profile.txt", [this](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Disposition", "attachment; filename=\"" + hub.profileName() + "\"");
            response.set_header("Cache-Control", "no-store");
            response.set_content(hub.profileText(), "text/plain; charset=utf-8");
        });
        server.Post("/api/filter/check", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                answer(response, 200, explanationJson(hub.explain(field<std::string>(body, "filter"))));
            });
        });
        server.Post("/api/filter/apply", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                const auto result = hub.applyFilter(field<int>(body, "profile"), field<int>(body, "slot"),
                                                    field<std::string>(body, "filter"));
                answer(response, result.done ? 200 : 422, editJson(result));
            });
        });
        server.Post("/api/slot/active", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                const auto result =
                    hub.setActive(field<int>(body, "profile"), field<int>(body, "slot"), field<bool>(body, "active"));
                answer(response, result.done ? 200 : 422, editJson(result));
            });
        });
        server.Post("/api/limit", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                const std::string kind = field<std::string>(body, "kind");
                if (kind != "input" && kind != "rig") throw std::invalid_argument("'kind' is \"input\" or \"rig\"");
                const int slot = field<int>(body, "slot");
                const double low = field<double>(body, "low");
                const double high = field<double>(body, "high");
                const auto result = kind == "input" ? hub.setInputLimit(slot, low, high) : hub.setRigLimit(slot, low, high);
                answer(response, result.done ? 200 : 422, editJson(result));
            });
        });
        server.Post("/api/belt-mix", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                const auto result = hub.setBeltMix(field<int>(body, "profile"), field<int>(body, "index"),
                                                   field<double>(body, "weight"));
                answer(response, result.done ? 200 : 422, editJson(result));
            });
        });
        server.Post("/api/profile", [this](const httplib::Request& request, httplib::Response& response) {
            post(request, response, [&](const json& body) {
                const auto result = hub.loadProfile(field<std::string>(body, "text"));
                json errors = json::array();
                for (const auto& error : result.errors) errors.push_back({{"line", error.line}, {"message", error.message}});
                answer(response, result.done ? 200 : 422, {{"done", result.done}, {"errors", errors}});
            });
        });
        server.Get(".*", [](const httplib::Request& request, httplib::Response& response) {
            if (request.path == "/favicon.ico") {
                response.status = 204;
                return;
            }
            const PageAsset* asset = findPageAsset(request.path == "/" ? "/index.html" : request.path);
            if (asset == nullptr) return refuse(response, 404, "nothing here: the tuning page is at /");
            response.set_content(std::string(asset->content), std::string(asset->contentType).c_str());
        });
        server.set_payload_max_length(largestRequest);
        server.new_task_queue = [] { return new httplib::ThreadPool(serverThreads); };
    }

    PageHub& hub;
    std::vector<std::string> channelNames;
    std::string bindAddress;
    std::atomic<std::uint64_t> requests{0};  // all the server was asked, so that one can tell a page is open
    httplib::Server server;
    std::thread thread;
};

PageServer::PageServer(PageHub& hub, const EngineApi& api) : impl_(std::make_unique<Impl>(hub, api)) {}

PageServer::~PageServer() { stop(); }

bool PageServer::available() { return true; }

bool PageServer::start(const std::string& address, std::uint16_t port, std::string& error) {
    impl_->bindAddress = address;
    const int bound = port == 0 ? impl_->server.bind_to_any_port(address)
                                : (impl_->server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0) {
        error = "the tuning page cannot listen on " + address + ":" + std::to_string(port) +
                (port == 0 ? "" : " (is another console using the port? choose another with --http PORT)");
        return false;
    }
    port_ = static_cast<std::uint16_t>(bound);
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    return true;
}

void PageServer::stop() {
    if (!impl_->thread.joinable()) return;
    impl_->server.stop();
    impl_->thread.join();
}

}  // namespace tarvelin::console

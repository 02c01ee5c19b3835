#include "app/run_report.h"

#include "msr/msr_settings.h"
#include "msr/shown_text.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json; // fields in the order the manual lists them

// An 8-bit code as the character the window shows for it (U+0000 to U+00FF), in UTF-8;
// the code 0 is the empty text of an empty field.
std::string CharacterOf(int code) {
    if (code <= 0)
        return std::string();
    if (code < 0x80)
        return std::string(1, static_cast<char>(code));
    return {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
}

std::string Latin1Text(const std::string& bytes) {
    std::string text;
    for (char c : bytes)
        text += CharacterOf(static_cast<unsigned char>(c));
    return text;
}

Json Value(int value, bool sentinel) {
    if (!sentinel)
        return value != 0;
    return {{"code", value}, {"text", CharacterOf(value)}};
}

Json Configuration(const CMsrConfiguration& configuration) {
    Json object = Json::object();
    for (const CMsrSetting& field : MsrSettings)
        object[field.Key] = Value(configuration.*field.Value, field.IsSentinel());
    return object;
}

Json Nullable(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json DeviceRecord(const CPortInfo& port) {
    return {{"path", port.Device},
            {"vendor_id", Nullable(port.VendorId)},
            {"product_id", Nullable(port.ProductId)},
            {"serial", Nullable(port.Serial)}};
}

Json PortRecord(const CPortInfo& port) {
    return {{"name", Nullable(port.Name)},
            {"device", port.Device},
            {"details", Nullable(port.Details)},
            {"stable_name", Nullable(port.StableName)},
            {"folder", Nullable(port.Folder)},
            {"vendor_id", Nullable(port.VendorId)},
            {"product_id", Nullable(port.ProductId)},
            {"serial", Nullable(port.Serial)},
            {"accessible", port.Device.empty() ? Json(nullptr) : Json(port.Problem.empty())},
            {"access_problem", port.Device.empty() ? Json(nullptr) : Nullable(port.Problem)},
            // A name bound to an identity that no device, or more than one, answers to.
            {"name_problem", port.Device.empty() ? Nullable(port.Problem) : Json(nullptr)}};
}

} // namespace

std::vector<CDifference> Compare(const CMsrConfiguration& reader, const CMsrConfiguration& file) {
    std::vector<CDifference> differences;
    for (const CMsrSetting& field : MsrSettings)
        if (reader.*field.Value != file.*field.Value)
            differences.push_back({field.Key, field.Caption, reader.*field.Value, file.*field.Value,
                                   field.IsSentinel()});
    return differences;
}

std::string DifferenceText(const CDifference& d) {
    const auto shown = [&](int value) {
        if (!d.Sentinel)
            return std::string(value ? "on" : "off");
        char code[8];
        std::snprintf(code, sizeof code, "0x%02x", value);
        return value ? "\"" + ShownText(CharacterOf(value)) + "\" (" + code + ")"
                     : std::string("empty (0x00)");
    };
    return d.Caption + ": reader " + shown(d.Reader) + ", file " + shown(d.File);
}

const char* StatusName(int status) {
    const char* const names[] = {"ok", "usage", "file", "not-claimed", "not-accepted", "differs"};
    if (status >= 0 && status < 6)
        return names[status];
    return status > 128 ? "stopped" : "unknown";
}

std::string CRunReport::Json() const {
    ::Json record = {{"schema", RunReportSchema},
                     {"action", Unread ? "unknown" : VerbOf(What).Action},
                     {"version", Version},
                     {"host", Host},
                     {"time", Time}};
    const CVerbInfo& verb = VerbOf(What);
    const bool ports = What == Verb::ListPorts, port = verb.UsesPort;
    if (!ports)
        record.update({{"port", port ? ::Json(Port) : ::Json(nullptr)},
                       {"baud", port ? ::Json(Baud) : ::Json(nullptr)},
                       {"file", File}});
    record["status"] = Status;
    record["status_name"] = StatusName(Status);
    record["usage_error"] = Nullable(UsageError);
    if (ports) {
        record["ports"] = ::Json::array();
        for (const CPortInfo& port : Ports)
            record["ports"].push_back(PortRecord(port));
        record["unnamed"] = ::Json::array();
        for (const CPortInfo& device : Unnamed)
            record["unnamed"].push_back(PortRecord(device));
    } else {
        const bool failed = Failure.Cause != ClaimCause::None;
        record["cause"] = failed ? ::Json(ClaimCauseName(Failure.Cause)) : ::Json(nullptr);
        record["cause_text"] = failed ? ::Json(Failure.Text) : ::Json(nullptr);
        record["device"] = Device ? DeviceRecord(*Device) : ::Json(nullptr);
        record["firmware"] = Firmware ? ::Json(Latin1Text(*Firmware)) : ::Json(nullptr);
        record["configuration"] = Reader ? Configuration(*Reader) : ::Json(nullptr);
        record["file_configuration"] =
            FileConfiguration ? Configuration(*FileConfiguration) : ::Json(nullptr);
        record["differences"] = ::Json::array();
        for (const CDifference& d : Differences)
            record["differences"].push_back({{"setting", d.Key},
                                             {"caption", d.Caption},
                                             {"reader", Value(d.Reader, d.Sentinel)},
                                             {"file", Value(d.File, d.Sentinel)}});
        record["changed"] = Changed;
    }
    record["seconds"] = std::round(Seconds * 1000) / 1000;
    // ASCII alone: no control character or direction override reaches a terminal, and every
    // code page a console decodes with reads it alike.
    return record.dump(-1, ' ', true, ::Json::error_handler_t::replace);
}

#include "cli/jsonl.h"

#include "cli/compose_request.h"
#include "composition/option_tables.h"

#include <nlohmann/json.hpp>

#include <istream>
#include <ostream>

namespace qvn::cli {
namespace {

using nlohmann::json;

struct LineError {
    std::string message;
};

void ReadText(const json& record, const char* key, std::string& field) {
    const auto it = record.find(key);
    if (it == record.end())
        return;
    if (!it->is_string())
        throw LineError{std::string(key) + " must be a string"};
    field = it->get<std::string>();
}

void ReadCheck(const json& record, const char* key, int& field) {
    const auto it = record.find(key);
    if (it == record.end())
        return;
    if (it->is_boolean())
        field = it->get<bool>() ? 1 : 0;
    else if (it->is_number_integer())
        field = it->get<int>();
    else
        throw LineError{std::string(key) + " must be 0 or 1"};
}

void ReadIndex(const json& record, const char* key, std::size_t tableSize, std::int16_t& field) {
    const auto it = record.find(key);
    if (it == record.end())
        return;
    if (!it->is_number_integer())
        throw LineError{std::string(key) + " must be a whole number"};
    const auto value = it->get<long long>();
    if (value < 0 || value >= static_cast<long long>(tableSize))
        throw LineError{std::string(key) + " " + std::to_string(value) + " is outside 0.." +
                        std::to_string(tableSize - 1)};
    field = static_cast<std::int16_t>(value);
}

MsgBoxSettings ReadRecord(const json& record) {
    if (!record.is_object())
        throw LineError{"a line must hold one JSON object"};
    MsgBoxSettings s;
    ReadIndex(record, "intButtonSet", kButtonSets.size(), s.intButtonSet);
    ReadIndex(record, "intIcon", kIcons.size(), s.intIcon);
    ReadIndex(record, "intDefButton", kDefaultButtons.size(), s.intDefButton);
    ReadIndex(record, "intCodeOption", kCodeShapes.size(), s.intCodeOption);
    ReadText(record, "strTitle", s.strTitle);
    ReadText(record, "txtPrompt", s.txtPrompt);
    ReadText(record, "txtVarName", s.txtVarName);
    ReadText(record, "txtHelpFile", s.txtHelpFile);
    ReadText(record, "txtHelpContext", s.txtHelpContext);
    ReadCheck(record, "chkHelp", s.chkHelp);
    ReadCheck(record, "chkSysModal", s.chkSysModal);
    ReadCheck(record, "chkSetForeground", s.chkSetForeground);
    ReadCheck(record, "chkRightAlign", s.chkRightAlign);
    ReadCheck(record, "chkRtlReading", s.chkRtlReading);
    ReadCheck(record, "chkOptValOnly", s.chkOptValOnly);
    ReadCheck(record, "chkAddSelect", s.chkAddSelect);
    ReadCheck(record, "chkNotEqual", s.chkNotEqual);
    if (const auto it = record.find("labels"); it != record.end()) {
        if (!it->is_array() || it->size() != s.labels.size())
            throw LineError{"labels must be an array of 4 strings"};
        for (std::size_t i = 0; i < s.labels.size(); ++i) {
            if (!(*it)[i].is_string())
                throw LineError{"labels must be an array of 4 strings"};
            s.labels[i] = (*it)[i].get<std::string>();
        }
    }
    return s;
}

} // namespace

std::string ComposeJsonLine(std::string_view line, bool& failed) {
    failed = false;
    nlohmann::ordered_json out;
    try {
        const json record = json::parse(line.begin(), line.end());
        MsgBoxSettings s = ReadRecord(record);
        Compose(s);
        if (s.blnCodeTooLong)
            throw LineError{kCodeTooLong};
        out["strPromptExpr"] = s.strPromptExpr;
        out["strButtonsExpr"] = s.strButtonsExpr;
        out["lngButtonsValue"] = s.lngButtonsValue;
        out["strMsgBoxCode"] = s.strMsgBoxCode;
    } catch (const json::exception& e) {
        failed = true;
        out = nlohmann::ordered_json{{"error", std::string("not valid JSON: ") + e.what()}};
    } catch (const LineError& e) {
        failed = true;
        out = nlohmann::ordered_json{{"error", e.message}};
    }
    return out.dump(-1, ' ', false, json::error_handler_t::replace);
}

int RunJsonLines(std::istream& in, std::ostream& out) {
    bool anyFailed = false;
    std::string line;
    std::string buffer;
    while (std::getline(in, line)) {
        if (line.ends_with('\r'))
            line.pop_back();
        bool failed = false;
        buffer += ComposeJsonLine(line, failed);
        buffer += '\n';
        anyFailed = anyFailed || failed;
        if (buffer.size() > (1u << 16)) {
            out << buffer;
            buffer.clear();
        }
    }
    out << buffer;
    out.flush();
    return anyFailed ? 1 : 0;
}

} // namespace qvn::cli

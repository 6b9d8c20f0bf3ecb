#include "cli/json_record.h"

#include "cli/json_line_parser.h"
#include "cli/json_writer.h"
#include "composition/option_tables.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace qvn::cli {
namespace {

using simdjson::dom::element;

// The record's fields by number: the order they are checked and written in.
enum Field : std::size_t {
    kButtonSet,
    kIcon,
    kDefButton,
    kCodeOption,
    kTitle,
    kPrompt,
    kVarName,
    kHelpFile,
    kHelpContext,
    kHelp,
    kSysModal,
    kSetForeground,
    kRightAlign,
    kRtlReading,
    kOptValOnly,
    kAddSelect,
    kNotEqual,
    kLabels,
    kFieldCount
};

constexpr std::array<std::string_view, kFieldCount> kFieldNames{
    "intButtonSet", "intIcon",          "intDefButton",  "intCodeOption",  "strTitle",
    "txtPrompt",    "txtVarName",       "txtHelpFile",   "txtHelpContext", "chkHelp",
    "chkSysModal",  "chkSetForeground", "chkRightAlign", "chkRtlReading",  "chkOptValOnly",
    "chkAddSelect", "chkNotEqual",      "labels"};

// The record's fields by kind, each in the order of its field numbers.
constexpr std::array<std::int16_t MsgBoxSettings::*, 4> kIndexFields{
    &MsgBoxSettings::intButtonSet, &MsgBoxSettings::intIcon, &MsgBoxSettings::intDefButton,
    &MsgBoxSettings::intCodeOption};
constexpr std::array<std::string MsgBoxSettings::*, 5> kTextFields{
    &MsgBoxSettings::strTitle, &MsgBoxSettings::txtPrompt, &MsgBoxSettings::txtVarName,
    &MsgBoxSettings::txtHelpFile, &MsgBoxSettings::txtHelpContext};
constexpr std::array<int MsgBoxSettings::*, 8> kCheckFields{
    &MsgBoxSettings::chkHelp,          &MsgBoxSettings::chkSysModal,
    &MsgBoxSettings::chkSetForeground, &MsgBoxSettings::chkRightAlign,
    &MsgBoxSettings::chkRtlReading,    &MsgBoxSettings::chkOptValOnly,
    &MsgBoxSettings::chkAddSelect,     &MsgBoxSettings::chkNotEqual};

// Where a key's name is looked for: a slot from its length and its fifth byte, in which the
// known names fall one to a slot. Every key costs one comparison, without a call.
constexpr std::size_t NameSlot(std::string_view name) {
    return (name.size() * 19 + static_cast<unsigned char>(name[4])) % 64;
}

constexpr auto kFieldBySlot = [] {
    std::array<std::uint8_t, 64> table{};
    table.fill(kFieldCount);
    for (std::size_t f = 0; f < kFieldCount; ++f) {
        if (table[NameSlot(kFieldNames[f])] != kFieldCount)
            throw "two names share a slot"; // stops the build: the slot needs another formula
        table[NameSlot(kFieldNames[f])] = static_cast<std::uint8_t>(f);
    }
    return table;
}();

// Two names of the same length, at least four bytes, compared as two words each: the first
// bytes and the last ones, overlapping when the name is shorter than two words.
template <typename Word> bool SameWords(std::string_view key, std::string_view name) {
    Word a[2];
    Word b[2];
    std::memcpy(&a[0], key.data(), sizeof(Word));
    std::memcpy(&a[1], key.data() + key.size() - sizeof(Word), sizeof(Word));
    std::memcpy(&b[0], name.data(), sizeof(Word));
    std::memcpy(&b[1], name.data() + name.size() - sizeof(Word), sizeof(Word));
    return a[0] == b[0] && a[1] == b[1];
}

std::size_t FieldOf(std::string_view key) {
    if (key.size() < 5)
        return kFieldCount;
    const std::size_t f = kFieldBySlot[NameSlot(key)];
    if (f == kFieldCount || key.size() != kFieldNames[f].size())
        return kFieldCount;
    const bool same = key.size() >= 8 ? SameWords<std::uint64_t>(key, kFieldNames[f])
                                      : SameWords<std::uint32_t>(key, kFieldNames[f]);
    return same ? f : kFieldCount;
}

// A whole number as the record takes it. One above the range of long long wraps, as a cast
// would; a number with a fraction or an exponent is not whole, whatever its value.
bool WholeNumber(element value, long long& out) {
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        out = value.get_int64().value_unsafe();
        return true;
    case simdjson::dom::element_type::UINT64:
        out = static_cast<long long>(value.get_uint64().value_unsafe());
        return true;
    default:
        return false;
    }
}

std::string NotJson(simdjson::error_code error) {
    return std::string("not valid JSON: ") + simdjson::error_message(error);
}

// The parser's text copied into a field. Cleared and appended to, as the text is never part of
// the field: the library's general replace weighs overlaps and costs twice as much.
void SetText(std::string& field, std::string_view text) {
    field.clear();
    field.append(text);
}

constexpr std::array<std::size_t, 4> kIndexSizes{kButtonSets.size(), kIcons.size(),
                                                 kDefaultButtons.size(), kCodeShapes.size()};

// Sets field `f` of `s` from `value`; false, leaving the field as it may, when the value is
// of the wrong kind or outside the field's range.
bool TakeField(std::size_t f, element value, MsgBoxSettings& s) {
    long long number = 0;
    if (f <= kCodeOption) {
        if (!WholeNumber(value, number) || number < 0 ||
            number >= static_cast<long long>(kIndexSizes[f]))
            return false;
        s.*kIndexFields[f] = static_cast<std::int16_t>(number);
    } else if (f < kHelp) {
        std::string_view text;
        if (value.get(text) != simdjson::SUCCESS)
            return false;
        SetText(s.*kTextFields[f - kTitle], text);
    } else if (f < kLabels) {
        // The check boxes take true and false too.
        bool checked = false;
        if (value.get(checked) == simdjson::SUCCESS)
            number = checked ? 1 : 0;
        else if (!WholeNumber(value, number))
            return false;
        s.*kCheckFields[f - kHelp] = static_cast<int>(number);
    } else {
        simdjson::dom::array labels;
        if (value.get(labels) != simdjson::SUCCESS || labels.size() != s.labels.size())
            return false;
        std::size_t i = 0;
        for (const element label : labels) {
            std::string_view text;
            if (label.get(text) != simdjson::SUCCESS)
                return false;
            SetText(s.labels[i++], text);
        }
    }
    return true;
}

// Why TakeField refused `value` for field `f`.
std::string FieldError(std::size_t f, element value) {
    const std::string name(kFieldNames[f]);
    long long number = 0;
    if (f <= kCodeOption) {
        if (!WholeNumber(value, number))
            return name + " must be a whole number";
        return name + " " + std::to_string(number) + " is outside 0.." +
               std::to_string(kIndexSizes[f] - 1);
    }
    if (f < kHelp)
        return name + " must be a string";
    if (f < kLabels)
        return name + " must be 0 or 1";
    return "labels must be an array of 4 strings";
}

} // namespace

std::string ReadSettingsRecord(std::string_view line, MsgBoxSettings& s, bool padded) {
    element root;
    if (const auto error = ParseJsonLine(line, root, padded))
        return NotJson(error);
    return ReadSettingsRecord(root, s);
}

std::string ReadSettingsRecord(element root, MsgBoxSettings& s) {
    simdjson::dom::object object;
    if (root.get(object) != simdjson::SUCCESS)
        return "a line must hold one JSON object";
    // Each field is set as its key comes, so the last value of a key counts, and a key whose
    // last value is wrong is marked: of those, the one with the lowest field number is
    // reported, with its last value looked up again (a line in error is rare, and no value is
    // kept for the lines that are not).
    std::uint32_t wrong = 0;
    for (const auto member : object) {
        const std::size_t f = FieldOf(member.key);
        if (f == kFieldCount)
            continue;
        const std::uint32_t bit = std::uint32_t{1} << f;
        if (TakeField(f, member.value, s))
            wrong &= ~bit;
        else
            wrong |= bit;
    }
    if (wrong == 0)
        return {};
    const auto f = static_cast<std::size_t>(std::countr_zero(wrong));
    element last;
    for (const auto member : object)
        if (member.key == kFieldNames[f])
            last = member.value;
    return FieldError(f, last);
}

std::string ReadCodeRecord(std::string_view line, std::string& code, bool padded) {
    element root;
    if (const auto error = ParseJsonLine(line, root, padded))
        return NotJson(error);
    return ReadCodeRecord(root, code);
}

std::string ReadCodeRecord(element root, std::string& code) {
    simdjson::dom::object object;
    if (root.get(object) != simdjson::SUCCESS)
        return "a line must hold one JSON object";
    // The last "code" member counts, as for the settings record's keys.
    bool isString = false;
    for (const auto member : object) {
        if (member.key != "code")
            continue;
        std::string_view text;
        isString = member.value.get(text) == simdjson::SUCCESS;
        if (isString)
            code.assign(text);
    }
    if (!isString)
        return "code must be a string";
    return {};
}

void AppendSettingsRecord(std::string& out, const MsgBoxSettings& s) {
    OutputBuffer buffer;
    AppendSettingsRecord(buffer, s);
    out.append(buffer.View());
}

void AppendSettingsRecord(OutputBuffer& out, const MsgBoxSettings& s) {
    static const MsgBoxSettings kLoaded;
    JsonWriter writer(out);
    bool first = true;
    auto key = [&](std::size_t f) {
        writer.Raw(first ? "{\"" : ",\"");
        first = false;
        writer.Raw(kFieldNames[f]);
        writer.Raw("\":");
    };
    auto number = [&](std::size_t f, long long value, long long loaded) {
        if (value == loaded)
            return;
        key(f);
        writer.Raw(std::to_string(value));
    };
    for (std::size_t f = 0; f < kIndexFields.size(); ++f)
        number(kButtonSet + f, s.*kIndexFields[f], kLoaded.*kIndexFields[f]);
    for (std::size_t f = 0; f < kTextFields.size(); ++f) {
        if (s.*kTextFields[f] != kLoaded.*kTextFields[f]) {
            key(kTitle + f);
            writer.String(s.*kTextFields[f]);
        }
    }
    for (std::size_t f = 0; f < kCheckFields.size(); ++f)
        number(kHelp + f, s.*kCheckFields[f], kLoaded.*kCheckFields[f]);
    if (s.labels != kLoaded.labels) {
        key(kLabels);
        for (std::size_t i = 0; i < s.labels.size(); ++i) {
            writer.Raw(i == 0 ? "[" : ",");
            writer.String(s.labels[i]);
        }
        writer.Raw("]");
    }
    writer.Raw(first ? "{}" : "}");
}

} // namespace qvn::cli

#include "composition/msgbox_reader.h"
#include "composition/option_tables.h"
#include "composition/tests/hand_written_statements.h"

#include "composition/tests/compose.h"

#include <gtest/gtest.h>

#include <random>

namespace qvn {
namespace {

using test::Compose;

TEST(MsgBoxReader, ReadsOrRefusesEachHandWrittenStatement) {
    for (const test::HandWritten& c : test::kHandWritten) {
        SCOPED_TRACE(c.code);
        auto read = ReadMsgBoxCode(c.code);
        if (c.composed != nullptr) {
            const auto* refusal = std::get_if<ReadRefusal>(&read);
            ASSERT_EQ(refusal, nullptr) << refusal->sentence;
            EXPECT_EQ(Compose(std::get<MsgBoxSettings>(read)), c.composed);
            continue;
        }
        const auto* refusal = std::get_if<ReadRefusal>(&read);
        ASSERT_NE(refusal, nullptr) << "read as " << Compose(std::get<MsgBoxSettings>(read));
        EXPECT_NE(refusal->sentence.find(c.refusal), std::string::npos) << refusal->sentence;
        EXPECT_EQ(refusal->sentence.find_first_of("\r\n"), std::string::npos) << "one line";
    }
}

// Records the window can make, drawn at random: every shape and option, texts with quotes,
// line breaks of every kind, tabs, non-ASCII letters, and some long enough to be continued.
class RandomRecords {
public:
    explicit RandomRecords(unsigned seed) : random_(seed) {}

    MsgBoxSettings Next() {
        MsgBoxSettings s;
        s.intButtonSet = static_cast<std::int16_t>(Below(kButtonSets.size()));
        s.intIcon = static_cast<std::int16_t>(Below(kIcons.size()));
        s.chkHelp = Coin();
        s.labels = DefaultButtonLabels(s.intButtonSet, s.chkHelp == 1);
        do
            s.intDefButton = static_cast<std::int16_t>(Below(s.labels.size()));
        while (s.labels[static_cast<std::size_t>(s.intDefButton)].empty());
        for (int* flag : {&s.chkSysModal, &s.chkSetForeground, &s.chkRightAlign, &s.chkRtlReading,
                          &s.chkOptValOnly})
            *flag = Coin();
        s.intCodeOption = static_cast<std::int16_t>(Below(kCodeShapes.size()));
        if (s.intCodeOption == kCodeIfThenElse &&
            s.labels[static_cast<std::size_t>(s.intDefButton)] == kHelpLabel)
            s.intCodeOption = kCodeStandard;
        if (s.intCodeOption == kCodeVariableReturn) {
            s.txtVarName = Name();
            s.chkAddSelect = Coin();
        }
        if (s.intCodeOption == kCodeIfThenElse)
            s.chkNotEqual = Coin();
        s.txtPrompt = Text(Below(8) == 0 ? 3000 : 40);
        s.strTitle = Coin() == 1 ? Text(Below(8) == 0 ? 1500 : 20) : "";
        if (s.chkHelp == 1 && Coin() == 1) {
            do
                s.txtHelpFile = Text(30);
            while (s.txtHelpFile.empty());
            s.txtHelpContext = std::to_string(Below(100000));
        }
        return s;
    }

private:
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    int Coin() { return static_cast<int>(Below(2)); }

    std::string Text(std::size_t longest) {
        static const std::string kPieces[] = {
            "a", "Z", " ", "\"",       "\r\n",         "\r",  "\n",     "\t",    "_",
            "'", ":", "&", "\xC3\xA9", "\xE2\x82\xAC", "x y", "vbCrLf", "MsgBox"};
        std::string text;
        const std::size_t pieces = Below(longest + 1);
        for (std::size_t i = 0; i < pieces; ++i)
            text += kPieces[Below(std::size(kPieces))];
        return text;
    }

    std::string Name() {
        static const std::string kLetters = "abcXYZ";
        std::string name(1, kLetters[Below(kLetters.size())]);
        for (std::size_t i = Below(10); i > 0; --i)
            name += "ab_9"[Below(4)];
        return name;
    }

    std::mt19937 random_;
};

std::string WithLineFeeds(const std::string& code) {
    std::string out;
    for (char c : code)
        if (c != '\r')
            out.push_back(c);
    return out;
}

TEST(MsgBoxReader, ReadsBackEverythingTheGeneratorsWrite) {
    RandomRecords records(20240521);
    int read = 0;
    for (int i = 0; i < 4000; ++i) {
        MsgBoxSettings written = records.Next();
        const std::string code = Compose(written);
        if (written.blnCodeTooLong)
            continue;
        // qvn-compose --lf writes LF line ends; the reader takes them too.
        auto result = ReadMsgBoxCode(i % 4 == 0 ? WithLineFeeds(code) : code);
        const auto* refusal = std::get_if<ReadRefusal>(&result);
        ASSERT_EQ(refusal, nullptr) << refusal->sentence << "\n" << code;
        EXPECT_EQ(Compose(std::get<MsgBoxSettings>(result)), code);
        ++read;
    }
    EXPECT_GT(read, 3000);
}

} // namespace
} // namespace qvn

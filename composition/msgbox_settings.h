// The record of the one message box being composed, and the three generators that turn it
// into code. The generators take no arguments: each reads the record and overwrites only its
// own derived fields, and none of them can fail.
#pragma once

#include "composition/option_tables.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvn {

struct MsgBoxSettings {
    // Choices mirrored into state by the window's handlers.
    std::string strTitle;
    std::int16_t intButtonSet = 0;
    std::int16_t intIcon = 0;
    std::int16_t intDefButton = 0;
    std::int16_t intCodeOption = 0;

    // Choices the window's controls hold, copied in before a generator runs. Check boxes
    // count as on only when their value is exactly 1.
    std::string txtPrompt;
    std::string txtVarName;
    std::string txtHelpFile;
    std::string txtHelpContext;
    int chkHelp = 0;
    int chkSysModal = 0;
    int chkSetForeground = 0;
    int chkRightAlign = 0;
    int chkRtlReading = 0;
    int chkOptValOnly = 0;
    int chkAddSelect = 0;
    int chkNotEqual = 0;
    // Captions of the default-button options 0 to 3: the button behind each, or empty.
    std::array<std::string, 4> labels{"OK", "Button 2", "Button 3", "Button 4"};

    // Derived by the generators.
    std::string strPromptExpr;
    std::string strButtonsExpr;
    std::int32_t lngButtonsValue = 0;
    std::string strMsgBoxCode;
    // Set when no arrangement of the code stays within the language's limits on one
    // statement; strMsgBoxCode is then empty and the commands refuse.
    bool blnCodeTooLong = false;
    // Where strPromptExpr stands whole in strMsgBoxCode, or npos when the first line of the
    // code had to be cut.
    std::size_t promptExprAt = std::string::npos;

    // Fixed pieces spliced into the code.
    std::string strLineBreak{"\r\n"};
    std::string strIndent{"\t"};
    std::string strCrLfName{kTextConstants[kCrLfConstant].name};
    std::string strConcat{" & "};
    std::string strQuote{"\""};

    // Rebuilds strPromptExpr from txtPrompt.
    void EncodePromptText();
    // Rebuilds strButtonsExpr and lngButtonsValue from the indexes and the flag boxes.
    void BuildButtonsExpression();
    // Rebuilds strMsgBoxCode; expects the two generators above to have run.
    void BuildMsgBoxCode();
    // Appends what the code shape writes after its first statement (the Select Case block,
    // the rest of the If block), or nothing.
    void AppendCodeTail(std::string& code) const;

    // Value of one flag check box of the option table.
    [[nodiscard]] int FlagValue(int flagIndex) const;

    // Encodes any text as a string expression of the language: quoted literals with quotes
    // doubled, and each line break (CR LF, lone CR, lone LF) as its named constant.
    [[nodiscard]] std::string EncodeStringExpression(const std::string& text) const;
    // The same, appended to `out`.
    void AppendStringExpression(std::string& out, std::string_view text) const;

private:
    // AppendStringExpression for any quote and joining pieces, a piece at a time.
    void AppendStringExpressionPieceByPiece(std::string& out, std::string_view text) const;
};

// The default-button labels that choosing button set `buttonSet` leaves, with the Help
// button on or off. `buttonSet` must be an index of kButtonSets.
std::array<std::string, 4> DefaultButtonLabels(int buttonSet, bool helpButton);

} // namespace qvn

// Runs the three generators in the order Copy and Paste run them, for the tests.
#pragma once

#include "composition/msgbox_settings.h"

#include <string>

namespace qvn::test {

inline std::string Compose(MsgBoxSettings& s) {
    s.EncodePromptText();
    s.BuildButtonsExpression();
    s.BuildMsgBoxCode();
    return s.strMsgBoxCode;
}

} // namespace qvn::test

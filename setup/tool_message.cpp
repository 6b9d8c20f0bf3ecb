#include "setup/tool_message.h"

#include "win32util/system_message.h"
#include "win32util/text.h"

namespace qvn::setup {

bool Quiet() {
    char value[4] = {};
    return GetEnvironmentVariableA("QVN_SETUP_QUIET", value, sizeof value) == 1 && value[0] == '1';
}

void ShowMessage(const std::string& text, UINT style, const char* programTitle) {
    if (Quiet())
        return; // the exit status carries the outcome
    MessageBoxA(nullptr, text.c_str(), programTitle, style);
}

std::string SystemErrorText(DWORD error) {
    std::string result = win32util::Narrow(win32util::SystemMessage(error), CP_ACP);
    if (result.empty())
        result = "Error " + std::to_string(error) + ".";
    return result;
}

} // namespace qvn::setup

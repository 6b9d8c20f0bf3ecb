// A VBScript engine driven through the Active Scripting interfaces, used by the tests as an
// independent judge of the code the composition generates. The site records every error the
// engine reports, with the position and the source line it names.
#pragma once

#include <windows.h>

#include <activscp.h>
#include <wrl/client.h>

#include "win32util/text.h"

#include <string>

namespace qvn::test {

struct ScriptError {
    HRESULT hr = S_OK;
    ULONG line = 0;
    LONG column = 0;
    std::wstring description;
    std::wstring sourceLine;
};

// UTF-8 and UTF-16 in both directions, for the engine's text and for test messages.
inline std::wstring Widen(const std::string& utf8) {
    return win32util::Wide(utf8);
}
inline std::string Narrow(const std::wstring& utf16) {
    return win32util::Utf8(utf16);
}

class ScriptEngine {
public:
    // `started`: an engine that is never started only compiles what it is given, so script
    // text can be checked without running any of it.
    explicit ScriptEngine(bool started);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // S_OK once the engine is created and initialised; the failing step otherwise.
    [[nodiscard]] HRESULT Status() const { return status_; }
    [[nodiscard]] const std::string& StatusText() const { return statusText_; }

    // Hands `text` to the engine as one script block. On failure returns false and `error`
    // holds what the engine said.
    bool Run(const std::wstring& text, ScriptError& error);
    // Evaluates `expression` and converts the result to a 32-bit number.
    bool EvaluateLong(const std::wstring& expression, LONG& value, ScriptError& error);
    // Evaluates `expression` and converts the result to text.
    bool EvaluateString(const std::wstring& expression, std::wstring& value, ScriptError& error);

private:
    bool Parse(const std::wstring& text, DWORD flags, VARIANT* result, ScriptError& error);
    // Evaluates `expression` into `result` converted to `type`.
    bool Evaluate(const std::wstring& expression, VARTYPE type, VARIANT& result,
                  ScriptError& error);

    class Site;
    HRESULT status_ = E_FAIL;
    std::string statusText_;
    Microsoft::WRL::ComPtr<Site> site_;
    Microsoft::WRL::ComPtr<IActiveScript> script_;
    Microsoft::WRL::ComPtr<IActiveScriptParse> parse_;
};

// Describes an error for a test failure message, with the script text it refers to, its
// lines numbered so the engine's line and column can be found.
std::string Describe(const ScriptError& error, const std::wstring& script);

} // namespace qvn::test

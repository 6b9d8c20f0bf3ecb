// idehost.exe: the stand-in IDE as a program. Switches (see README.md) choose the IDE it plays,
// set up the code pane, steer the object model and script a few user actions for demos and
// outside tests.
#include "standin/stand_in_ide.h"

#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using qvn::standin::HostFlavour;
using qvn::standin::IdeHost;

struct Options {
    std::wstring module;
    long caret = 0;
    std::wstring ini;
    std::vector<std::wstring> clicks;
    std::wstring saveModule;
    std::wstring customizations; // where the bars' customizations are kept
    bool close = false;
    bool crash = false;
    bool ok = true;
};

constexpr UINT_PTR kScriptTimer = 1;

// The script of --click and --close, run once from the message loop as a user's menu
// choices would be.
Options* gScript = nullptr;
IdeHost* gScripted = nullptr;

void CALLBACK RunScript(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    for (const auto& caption : gScript->clicks) {
        gScripted->ClickAddInsItem(caption);
    }
    if (gScript->crash) {
        // As a crash ends an IDE: nothing is disconnected, nothing is saved on the way out.
        if (!gScript->saveModule.empty()) {
            gScripted->SaveModuleFile(gScript->saveModule);
        }
        TerminateProcess(GetCurrentProcess(), 3);
    }
    if (gScript->close && gScripted->Window() != nullptr) {
        PostMessageW(gScripted->Window(), WM_CLOSE, 0, 0);
    }
}

// Parses "Operation=HRESULT[:description]"; the HRESULT may be decimal or 0x-hex.
bool AddFailure(IdeHost& host, const std::wstring& failure) {
    auto eq = failure.find(L'=');
    if (eq == std::wstring::npos || eq == 0) {
        return false;
    }
    std::wstring rest = failure.substr(eq + 1);
    auto colon = rest.find(L':');
    std::wstring code = rest.substr(0, colon);
    std::wstring description = colon == std::wstring::npos ? L"" : rest.substr(colon + 1);
    wchar_t* end = nullptr;
    auto value = std::wcstoul(code.c_str(), &end, 0);
    if (code.empty() || end == nullptr || *end != L'\0') {
        return false;
    }
    host.FailOperation(failure.substr(0, eq), static_cast<HRESULT>(value), description);
    return true;
}

Options Parse(IdeHost& host, int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto next = [&]() -> std::wstring {
            if (i + 1 >= argc) {
                options.ok = false;
                return {};
            }
            return argv[++i];
        };
        if (arg == L"--module") {
            options.module = next();
        } else if (arg == L"--caret") {
            options.caret = std::wcstol(next().c_str(), nullptr, 10);
        } else if (arg == L"--host") {
            ++i; // read before the host was made (FlavourOf)
        } else if (arg == L"--ini") {
            options.ini = next();
            // The VBA editor has no list file: its add-ins are listed in the registry.
            options.ok = options.ok && host.Flavour() != HostFlavour::Vba;
        } else if (arg == L"--no-code-pane") {
            host.SetCodePaneOpen(false);
        } else if (arg == L"--no-addins-bar") {
            host.SetAddInsBar(false);
        } else if (arg == L"--refuse-events") {
            host.SetRefuseEventBinding(true);
        } else if (arg == L"--locale") {
            options.ok = host.SetLocale(next()) && options.ok;
        } else if (arg == L"--customizations") {
            options.customizations = next();
        } else if (arg == L"--crash") {
            options.crash = true;
        } else if (arg == L"--vba-events") {
            host.SetEventInterface(qvn::standin::EventInterface::Vba);
        } else if (arg == L"--fail") {
            options.ok = AddFailure(host, next()) && options.ok;
        } else if (arg == L"--click") {
            options.clicks.push_back(next());
        } else if (arg == L"--save-module") {
            options.saveModule = next();
        } else if (arg == L"--close") {
            options.close = true;
        } else {
            options.ok = false;
        }
    }
    return options;
}

// The IDE to play, from --host vb5|vb6|vba (the VB5 IDE when absent); false for any other name.
bool FlavourOf(int argc, wchar_t** argv, HostFlavour* flavour) {
    *flavour = HostFlavour::Vb5;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) != L"--host") {
            continue;
        }
        std::wstring name = i + 1 < argc ? argv[i + 1] : L"";
        if (name == L"vba") {
            *flavour = HostFlavour::Vba;
        } else if (name == L"vb6") {
            *flavour = HostFlavour::Vb6;
        } else if (name != L"vb5") {
            return false;
        }
        ++i;
    }
    return true;
}

constexpr wchar_t kUsage[] =
    L"idehost [--host vb5|vb6|vba] [--module FILE] [--caret LINE] [--ini FILE (vb5, vb6)]\n"
    L"        [--no-code-pane] [--no-addins-bar]\n"
    L"        [--refuse-events] [--vba-events] [--fail OPERATION=HRESULT[:TEXT]]...\n"
    L"        [--locale en|de|es|fr] [--customizations FILE]\n"
    L"        [--click CAPTION]... [--save-module FILE] [--close | --crash]";

// Where the IDE keeps what add-ins left on its bars: the user's application data, one file
// for each IDE played.
std::wstring DefaultCustomizations(HostFlavour flavour) {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    std::wstring path = std::wstring(folder) + L"\\idehost";
    CreateDirectoryW(path.c_str(), nullptr);
    const wchar_t* name = flavour == HostFlavour::Vba   ? L"\\vba-bars.txt"
                          : flavour == HostFlavour::Vb6 ? L"\\vb6-bars.txt"
                                                        : L"\\vb5-bars.txt";
    return path + name;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    if (FAILED(OleInitialize(nullptr))) {
        return 2;
    }
    int code = 0;
    {
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
        HostFlavour flavour = HostFlavour::Vb5;
        const bool knownHost = FlavourOf(argc, argv, &flavour);
        IdeHost host(flavour);
        Options options = Parse(host, argc, argv);
        options.ok = options.ok && knownHost;
        LocalFree(argv);
        if (!options.ok) {
            MessageBoxW(nullptr, kUsage, L"idehost", MB_OK | MB_ICONINFORMATION);
            OleUninitialize();
            return 2;
        }
        if (!options.module.empty() && !host.LoadModuleFile(options.module)) {
            std::wstring text = L"The module file \"" + options.module + L"\" cannot be read.";
            MessageBoxW(nullptr, text.c_str(), L"idehost", MB_OK | MB_ICONWARNING);
        }
        if (options.caret > 0) {
            host.SetCaretLine(options.caret);
        }
        if (options.customizations.empty()) {
            options.customizations = DefaultCustomizations(flavour);
        }
        if (!options.customizations.empty()) {
            host.KeepCustomizationsIn(options.customizations);
        }
        HWND window = host.CreateMainWindow(show, true);
        if (window == nullptr) {
            OleUninitialize();
            return 3;
        }
        host.StartUp(options.ini);
        if (!options.clicks.empty() || options.close || options.crash) {
            gScript = &options;
            gScripted = &host;
            SetTimer(window, kScriptTimer, 50, &RunScript);
        }
        code = IdeHost::RunMessageLoop();
        host.ShutDown();
        if (!options.saveModule.empty()) {
            host.SaveModuleFile(options.saveModule);
        }
    }
    OleUninitialize();
    return code;
}

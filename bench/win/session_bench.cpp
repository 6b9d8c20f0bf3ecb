// What a user waits for, and what a long session leaves behind, in the stand-in IDE under Wine.
//
//   qvn-session-bench latency [RUNS]   times, RUNS times (50) in each IDE: the add-in's share of
//                                       the host's start (LoadLibrary of qvn.dll, its class
//                                       factory, OnConnection with its items added), the menu
//                                       click until the window is shown and idle, the Paste
//                                       click until the code is in the module, and
//                                       OnDisconnection; prints the median and the 90th
//                                       percentile beside the targets.
//   qvn-session-bench soak [CYCLES]    runs CYCLES (300) whole sessions in each IDE: connect,
//                                       open the window from the menu, compose, Preview, Copy,
//                                       Paste, "Edit Message Box" on the pasted code, Paste
//                                       again, close, disconnect; every 50 cycles prints the
//                                       process's tallies, and fails when one keeps growing.
//
// Both end with status 0 only when every step worked; figures are printed, never judged
// against the time targets.
#include "package/journey/ui_driver.h"

#include "addin/connect.h"
#include "builder/win32/gdi_tally.h"
#include "standin/stand_in_ide.h"
#include "testsupport/message_box_watcher.h"
#include "testsupport/wine_helpers.h"
#include "win32util/com_object.h"

#include <qvn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qvn::bench {
namespace {

using namespace qvn::drive;
using qvn::testing::MessageBoxWatcher;
using standin::HostFlavour;
using standin::IdeHost;
using Clock = std::chrono::steady_clock;

constexpr const wchar_t* kName = L"Quorvane.Connect";
constexpr const wchar_t* kMenu = L"Quorvane";
const std::wstring kModule = L"Option Explicit\r\nSub Main()\r\n    Go\r\nEnd Sub";

const char* FlavourName(HostFlavour flavour) {
    switch (flavour) {
    case HostFlavour::Vb5:
        return "VB5 IDE";
    case HostFlavour::Vb6:
        return "VB6 IDE";
    case HostFlavour::Vba:
        return "VBA editor";
    }
    return "?";
}

double Milliseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// --- Latency -----------------------------------------------------------------------------

struct Series {
    const char* what;
    double targetMs;
    std::vector<double> samples;

    void Print() {
        std::vector<double>& sorted = samples;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty()) {
            std::printf("  %-44s no samples\n", what);
            return;
        }
        const double median = sorted[sorted.size() / 2];
        const std::size_t at90 = (sorted.size() * 9 + 9) / 10 - 1;
        const double p90 = sorted[std::min(at90, sorted.size() - 1)];
        std::printf("  %-44s median %7.2f ms  p90 %7.2f ms", what, median, p90);
        if (targetMs > 0) {
            std::printf("  (target under %.0f ms%s)", targetMs, p90 < targetMs ? "" : ", MISSED");
        }
        std::printf("\n");
    }
};

// What the menu click's idle callback does: it runs inside the window's own modal loop.
struct WindowRound {
    Clock::time_point clicked;
    double createdMs = -1;   // the builder's top-level window about to be created
    double activatedMs = -1; // ... about to be activated: made, filled and shown
    double windowMs = -1;
    double pasteMs = -1;
    std::string problem;
};
WindowRound* gRound = nullptr;

// Marks the phases of the opening: where the time goes between the click and the idle window.
LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (gRound != nullptr && (code == HCBT_CREATEWND || code == HCBT_ACTIVATE)) {
        wchar_t className[64] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), className, 64);
        if (std::wstring(className) == kBuilderWindowClass) {
            double& mark = code == HCBT_CREATEWND ? gRound->createdMs : gRound->activatedMs;
            if (mark < 0) {
                mark = Milliseconds(Clock::now() - gRound->clicked);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A thread timer is dispatched only when the queue holds nothing else, painting included:
// its first call after the window appears is the moment the window is shown and idle.
void CALLBACK OnIdle(HWND, UINT, UINT_PTR id, DWORD) {
    WindowRound& round = *gRound;
    HWND builder = FindTopWindow(kBuilderWindowClass, GetCurrentProcessId());
    if (builder == nullptr) {
        if (Clock::now() - round.clicked > 30s) {
            KillTimer(nullptr, id);
            round.problem = "the menu click opened no window within 30 s";
        }
        return;
    }
    KillTimer(nullptr, id);
    round.windowMs = Milliseconds(Clock::now() - round.clicked);
    Type(BuilderControl(builder, layout::ctl::txtPrompt), "Continue?");
    // The click is handled on this thread before SendMessage returns: the code is in the
    // module by then.
    const auto pasteStart = Clock::now();
    Click(BuilderControl(builder, layout::ctl::cmdPaste));
    round.pasteMs = Milliseconds(Clock::now() - pasteStart);
    Click(BuilderControl(builder, layout::ctl::cmdExit));
}

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

std::wstring AddInPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"qvn.dll";
}

// A new add-in object from the loaded library's class factory, connected to `host`.
HRESULT CreateAndConnect(HMODULE dll, IdeHost& host, long mode,
                         Microsoft::WRL::ComPtr<IUnknown>& addIn) {
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        return E_NOINTERFACE;
    }
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(CLSID_Connect, IID_IClassFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, IID_IUnknown,
                                     reinterpret_cast<void**>(addIn.GetAddressOf()));
    }
    if (SUCCEEDED(hr)) {
        hr = host.ConnectObject(addIn.Get(), kName, mode);
    }
    return hr;
}

// The add-in's share of a host's start, once, in this fresh process: loading qvn.dll, its
// class factory and OnConnection with the items added. The microseconds are the exit status
// (a library stays loaded once loaded, so only a new process pays for loading it again).
int StartShareChild(HostFlavour flavour) {
    IdeHost host(flavour);
    host.SetModuleText(kModule);
    const std::wstring path = AddInPath();
    const auto began = Clock::now();
    HMODULE dll = LoadLibraryW(path.c_str());
    Microsoft::WRL::ComPtr<IUnknown> addIn;
    const HRESULT hr = dll != nullptr ? CreateAndConnect(dll, host, standin::kConnectStartup, addIn)
                                      : HRESULT_FROM_WIN32(GetLastError());
    const auto elapsed = Clock::now() - began;
    if (FAILED(hr) || host.AddInsMenu().empty()) {
        std::printf("connecting failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return -1;
    }
    host.Disconnect(kName, standin::kDisconnectUserClosed);
    addIn.Reset();
    host.ShutDown();
    return static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

// Runs this program again as `start FLAVOUR`; the milliseconds it took, or a negative value.
double StartShareInNewProcess(HostFlavour flavour) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" start " + std::to_wstring(static_cast<int>(flavour));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    const auto micros = static_cast<int>(status);
    return micros < 0 ? -1 : micros / 1000.0;
}

// One connection in the loaded library: the menu click, Paste, and OnDisconnection timed.
struct WindowSeries {
    Series created{"  of it: click -> window being created", 0, {}};
    Series activated{"  of it: click -> window made and activated", 0, {}};
};

bool LatencyRun(HostFlavour flavour, HMODULE dll, Series& window, WindowSeries& phases,
                Series& paste, Series& disconnect) {
    IdeHost host(flavour);
    host.SetModuleText(kModule);
    host.SetCaretLine(3);
    Microsoft::WRL::ComPtr<IUnknown> addIn;
    HRESULT hr = CreateAndConnect(dll, host, standin::kConnectStartup, addIn);
    if (FAILED(hr)) {
        std::printf("connecting failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return false;
    }

    WindowRound round;
    gRound = &round;
    round.clicked = Clock::now();
    HHOOK hook = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(nullptr, 0, 0, OnIdle);
    const int sinks = host.ClickAddInsItem(kMenu);
    KillTimer(nullptr, timer);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    gRound = nullptr;
    if (sinks != 1 || !round.problem.empty() || round.windowMs < 0) {
        std::printf("the menu click failed: %s\n",
                    round.problem.empty() ? "no window" : round.problem.c_str());
        return false;
    }
    phases.created.samples.push_back(round.createdMs);
    phases.activated.samples.push_back(round.activatedMs);
    if (host.ModuleLines().size() <= 4) {
        std::printf("Paste put nothing into the module\n");
        return false;
    }
    window.samples.push_back(round.windowMs);
    paste.samples.push_back(round.pasteMs);

    const auto disconnectStart = Clock::now();
    hr = host.Disconnect(kName, standin::kDisconnectUserClosed);
    disconnect.samples.push_back(Milliseconds(Clock::now() - disconnectStart));
    addIn.Reset();
    host.ShutDown();
    return SUCCEEDED(hr);
}

int Latency(int runs) {
    std::printf("Latency, %d runs each, %d-bit build\n", runs, static_cast<int>(sizeof(void*) * 8));
    const HostFlavour flavours[] = {HostFlavour::Vb5, HostFlavour::Vb6, HostFlavour::Vba};
    Series start{"start share (load, class factory, connect)", 10, {}};
    for (int run = 0; run < runs; ++run) {
        const double ms = StartShareInNewProcess(flavours[run % 3]);
        if (ms < 0) {
            std::printf("start share: run %d failed\n", run + 1);
            return 1;
        }
        start.samples.push_back(ms);
    }
    std::printf("In a new process each run, the IDEs taking turns\n");
    start.Print();

    const std::wstring path = AddInPath();
    HMODULE dll = LoadLibraryW(path.c_str());
    if (dll == nullptr) {
        std::printf("qvn.dll could not be loaded from %ls\n", path.c_str());
        return 1;
    }
    for (HostFlavour flavour : flavours) {
        Series window{"menu click -> window shown and idle", 50, {}};
        WindowSeries phases;
        Series paste{"Paste click -> code in the module", 20, {}};
        Series disconnect{"OnDisconnection", 10, {}};
        for (int run = 0; run < runs; ++run) {
            if (!LatencyRun(flavour, dll, window, phases, paste, disconnect)) {
                std::printf("%s: run %d failed\n", FlavourName(flavour), run + 1);
                return 1;
            }
        }
        std::printf("%s\n", FlavourName(flavour));
        for (Series* series : {&window, &phases.created, &phases.activated, &paste, &disconnect}) {
            series->Print();
        }
    }
    return 0;
}

// --- Soak --------------------------------------------------------------------------------

// Work done on a second thread while this one runs the IDE and the window's modal loop.
std::string WithHands(const std::function<std::string()>& body, const std::function<int()>& click) {
    std::string problem;
    std::thread hands([&] { problem = body(); });
    const int sinks = click();
    hands.join();
    if (problem.empty() && sinks != 1) {
        problem = "the item reached " + std::to_string(sinks) + " sinks";
    }
    return problem;
}

std::string PasteAndWait(HWND builder, IdeHost& host) {
    const std::wstring before = host.ModuleText();
    Click(BuilderControl(builder, layout::ctl::cmdPaste));
    // The module changes on the IDE's thread; a copy of its text is read here.
    if (!WaitUntil([&] { return host.ModuleText() != before; }, 10s)) {
        return "Paste changed nothing";
    }
    return {};
}

std::string Close(HWND builder) {
    Click(BuilderControl(builder, layout::ctl::cmdExit));
    if (!WaitForWindowGone(builder, 10s)) {
        PostMessageW(builder, WM_CLOSE, 0, 0);
        return "the window stayed open after Exit";
    }
    return {};
}

std::string ChooseButtons(HWND builder, const char* caption) {
    const auto index = IndexWithCaption(builder, layout::ctl::optButtons, caption);
    if (!index) {
        return std::string("no button set \"") + caption + "\"";
    }
    Click(BuilderControl(builder, layout::ctl::optButtons, *index));
    return {};
}

struct Tallies {
    DWORD nextHandle = 0;
    SIZE_T privateBytes = 0;
    DWORD threadWindows = 0;
    long gdiObjects = 0;
    std::size_t hostObjects = 0;
    ULONG hostReferences = 0;
    long moduleReferences = 0;
};

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// The figures the leak tests take: Wine answers 0 for the system's handle, GUI-object and
// private-usage counters, so the handle value a new handle gets, the committed private pages,
// and this program's own tallies stand in for them.
Tallies Measure(const IdeHost& host) {
    Tallies t;
    HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    t.nextHandle = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(probe));
    CloseHandle(probe);
    MEMORY_BASIC_INFORMATION info{};
    for (auto* at = static_cast<BYTE*>(nullptr);
         VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
         at = static_cast<BYTE*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
            t.privateBytes += info.RegionSize;
        }
    }
    EnumThreadWindows(GetCurrentThreadId(), CountWindow,
                      reinterpret_cast<LPARAM>(&t.threadWindows));
    t.gdiObjects = win32::LiveGdiObjects();
    t.hostObjects = host.LiveObjectCount();
    for (const auto& object : host.Objects()) {
        t.hostReferences += object.refs;
    }
    t.moduleReferences = win32util::ObjectReferences();
    return t;
}

// Growth allowed between two checkpoints after the first: handle values step by 4 and the
// system's own caches may take a few; Wine's heap grows in steps of its own.
constexpr DWORD kHandleTolerance = 8 * 4;
constexpr SIZE_T kMemoryTolerance = 1024 * 1024;

std::vector<std::string> Growth(const Tallies& before, const Tallies& after) {
    std::vector<std::string> grown;
    if (after.nextHandle > before.nextHandle + kHandleTolerance) {
        grown.push_back("handles");
    }
    if (after.privateBytes > before.privateBytes + kMemoryTolerance) {
        grown.push_back("private bytes");
    }
    if (after.threadWindows > before.threadWindows) {
        grown.push_back("windows");
    }
    if (after.gdiObjects > before.gdiObjects) {
        grown.push_back("GDI objects");
    }
    if (after.hostObjects > before.hostObjects) {
        grown.push_back("host objects");
    }
    if (after.hostReferences > before.hostReferences) {
        grown.push_back("host references");
    }
    if (after.moduleReferences > before.moduleReferences) {
        grown.push_back("module references");
    }
    return grown;
}

// One session as a user lives it. Returns what went wrong, or nothing.
std::string SoakCycle(IdeHost& host, MessageBoxWatcher& boxes) {
    host.SetModuleText(kModule);
    host.SetCaretLine(3);
    Microsoft::WRL::ComPtr<IUnknown> addIn;
    if (FAILED(
            addin::Connect::Create(IID_IUnknown, reinterpret_cast<void**>(addIn.GetAddressOf()))) ||
        FAILED(host.ConnectObject(addIn.Get(), kName, standin::kConnectAfterStartup))) {
        return "connecting failed";
    }
    const std::size_t boxesBefore = boxes.Seen().size();
    std::string problem = WithHands(
        [&]() -> std::string {
            HWND builder = WaitForTopWindow(kBuilderWindowClass, GetCurrentProcessId(), 30s);
            if (builder == nullptr) {
                return "the menu click opened no window";
            }
            Type(BuilderControl(builder, layout::ctl::txtPrompt), "Save changes?");
            // Preview shows the box itself: with the one OK button the watcher closes it.
            Click(BuilderControl(builder, layout::ctl::cmdPreview));
            std::string step = ChooseButtons(builder, "Yes and No");
            if (step.empty()) {
                Click(BuilderControl(builder, layout::ctl::cmdCopy));
                step = PasteAndWait(builder, host);
            }
            const std::string closed = Close(builder);
            return step.empty() ? closed : step;
        },
        [&] { return host.ClickAddInsItem(kMenu); });
    if (problem.empty() && !host.CodeWindowMenu().empty()) {
        // The caret back on the pasted line, then the edit command from the code window.
        host.SetCaretLine(3);
        problem = WithHands(
            [&]() -> std::string {
                HWND builder = WaitForTopWindow(kBuilderWindowClass, GetCurrentProcessId(), 30s);
                if (builder == nullptr) {
                    return "the edit command opened no window";
                }
                std::string step = ChooseButtons(builder, "Yes, No and Cancel");
                if (step.empty()) {
                    step = PasteAndWait(builder, host);
                }
                const std::string closed = Close(builder);
                return step.empty() ? closed : step;
            },
            [&] { return host.ClickCodeWindowItem(L"Edit Message Box"); });
        if (problem.empty() && host.ModuleText().find(L"vbYesNoCancel") == std::wstring::npos) {
            problem = "the edited box is not in the module";
        }
    }
    if (FAILED(host.Disconnect(kName, standin::kDisconnectUserClosed))) {
        problem = problem.empty() ? "disconnecting failed" : problem;
    }
    // The preview's box is the only one a cycle shows.
    const auto seen = boxes.Seen();
    if (problem.empty() && seen.size() != boxesBefore + 1) {
        problem = "the cycle showed " + std::to_string(seen.size() - boxesBefore) +
                  " message boxes instead of the preview's one";
        if (!seen.empty()) {
            problem += "; the last: \"" + Utf8(seen.back().text) + "\"";
        }
    }
    return problem;
}

int Soak(int cycles) {
    std::printf("Soak, %d cycles in each IDE, %d-bit build; checkpoints every 50 cycles\n", cycles,
                static_cast<int>(sizeof(void*) * 8));
    std::printf("Tolerance between checkpoints after the first: handle value +%lu, private bytes "
                "+%lu KiB, nothing else\n",
                static_cast<unsigned long>(kHandleTolerance),
                static_cast<unsigned long>(kMemoryTolerance / 1024));
    MessageBoxWatcher boxes;
    int status = 0;
    for (HostFlavour flavour : {HostFlavour::Vb5, HostFlavour::Vb6, HostFlavour::Vba}) {
        IdeHost host(flavour);
        std::printf("%s\n  %6s %10s %12s %8s %5s %8s %10s %10s\n", FlavourName(flavour), "cycle",
                    "handle", "private KiB", "windows", "GDI", "objects", "references",
                    "module refs");
        std::vector<Tallies> checkpoints;
        const auto began = Clock::now();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            const std::string problem = SoakCycle(host, boxes);
            if (!problem.empty()) {
                std::printf("  cycle %d failed: %s\n", cycle, problem.c_str());
                return 1;
            }
            if (cycle % 50 == 0 || cycle == cycles) {
                const Tallies t = Measure(host);
                std::printf("  %6d %10lu %12lu %8lu %5ld %8zu %10lu %10ld\n", cycle,
                            static_cast<unsigned long>(t.nextHandle),
                            static_cast<unsigned long>(t.privateBytes / 1024),
                            static_cast<unsigned long>(t.threadWindows), t.gdiObjects,
                            t.hostObjects, static_cast<unsigned long>(t.hostReferences),
                            t.moduleReferences);
                if (checkpoints.size() >= 1 && cycle > 50) {
                    for (const std::string& grown : Growth(checkpoints.back(), t)) {
                        std::printf("  GROWING since the last checkpoint: %s\n", grown.c_str());
                        status = 1;
                    }
                }
                checkpoints.push_back(t);
            }
        }
        std::printf("  %d cycles in %.1f s\n", cycles,
                    std::chrono::duration<double>(Clock::now() - began).count());
        host.ShutDown();
    }
    std::printf(status == 0 ? "Soak passed\n" : "Soak FAILED\n");
    return status;
}

// Without a window manager on the X server Wine waits two seconds for one whenever a window
// is hidden; placing the windows itself avoids that (set before any window exists).
const bool kWineDrawsFrames = ::qvn::testing::LetWinePlaceWindows(L"qvn-session-bench.exe");

} // namespace
} // namespace qvn::bench

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // progress shows as it happens, through a pipe too
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    const int count = argc > 2 ? _wtoi(argv[2]) : -1;
    if (FAILED(OleInitialize(nullptr))) {
        std::printf("OLE could not be initialised\n");
        return 1;
    }
    int status = 2;
    if (mode == L"start") {
        status = qvn::bench::StartShareChild(static_cast<qvn::standin::HostFlavour>(count));
    } else if (mode == L"latency") {
        status = qvn::bench::Latency(count > 0 ? count : 50);
    } else if (mode == L"soak") {
        status = qvn::bench::Soak(count > 0 ? count : 300);
    } else {
        std::printf("usage: qvn-session-bench latency [RUNS] | soak [CYCLES]\n");
    }
    OleUninitialize();
    return status;
}

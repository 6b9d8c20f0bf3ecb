// Reference counts and resources across connections: after disconnection every host object
// is back to its count, the library may unload, and 200 connect/use/disconnect cycles leave
// no object, reference, handle, window or memory behind. Each check is shown to catch a
// leak put in on purpose.
#include "addin/tests/connect_fixture.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace qvn::addin::testing {
namespace ctl = layout::ctl;
namespace {

struct Figures {
    size_t hostObjects = 0;
    ULONG hostReferences = 0;
    long moduleReferences = 0;
    int windowObjects = 0; // builder window objects alive
    DWORD handles = 0;
    DWORD threadWindows = 0;
    SIZE_T privateBytes = 0;
    DWORD guiUser = 0, guiGdi = 0; // printed only: Wine always answers 0
};

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

enum class Leak { None, HostReference, AddInObject, WindowObject, Handle, NativeWindow, Memory };

const char* Name(Leak leak) {
    switch (leak) {
    case Leak::None:
        return "none";
    case Leak::HostReference:
        return "host reference";
    case Leak::AddInObject:
        return "add-in object";
    case Leak::WindowObject:
        return "builder window object";
    case Leak::Handle:
        return "handle";
    case Leak::NativeWindow:
        return "native window";
    case Leak::Memory:
        return "memory";
    }
    return "?";
}

class LeakTest : public ConnectHostTest {
protected:
    Figures Measure() {
        Figures f;
        for (const auto& object : host_->Objects()) {
            f.hostReferences += object.refs;
        }
        f.hostObjects = host_->LiveObjectCount();
        f.moduleReferences = win32util::ObjectReferences();
        f.windowObjects = forms_.created - forms_.destroyed;
        f.handles = NextHandleValue();
        EnumThreadWindows(GetCurrentThreadId(), CountWindow,
                          reinterpret_cast<LPARAM>(&f.threadWindows));
        f.privateBytes = CommittedPrivateBytes();
        f.guiUser = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
        f.guiGdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        return f;
    }

    // One connection as a user lives it: connect, open the window, paste, close, disconnect.
    void Cycle(Leak leak) {
        auto addIn = NewConnect();
        ASSERT_EQ(ConnectAs(addIn.Get(), standin::kConnectStartup), S_OK);
        forms_.whileShown = [&](TestBuilderForm& form) {
            form.Form().Model().Ctl(ctl::txtPrompt).SetText("Continue?");
            form.Form().cmdPaste_Click();
        };
        ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
        forms_.whileShown = nullptr;
        ASSERT_EQ(Disconnect(), S_OK);
        host_->SetModuleText(L"Sub Main()\r\nEnd Sub");
        switch (leak) {
        case Leak::None:
            break;
        case Leak::HostReference:
            host_->Root()->AddRef();
            ++leakedRootReferences_;
            break;
        case Leak::AddInObject:
            leakedAddIns_.push_back(addIn);
            break;
        case Leak::WindowObject:
            leakedForms_.push_back(std::make_unique<TestBuilderForm>(forms_));
            break;
        case Leak::Handle:
            leakedHandles_.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
            break;
        case Leak::NativeWindow:
            leakedWindows_.push_back(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr,
                                                     nullptr, nullptr, nullptr));
            break;
        case Leak::Memory: {
            auto block = std::make_unique<char[]>(256 * 1024);
            for (size_t i = 0; i < 256 * 1024; i += 4096) {
                block[i] = 1; // touched, so it is really committed
            }
            leakedMemory_.push_back(std::move(block));
            break;
        }
        }
    }

    // Gives back what the deliberate leaks kept, so later tests start clean.
    void UndoLeaks() {
        for (; leakedRootReferences_ > 0; --leakedRootReferences_) {
            host_->Root()->Release();
        }
        leakedAddIns_.clear();
        leakedForms_.clear();
        for (HANDLE handle : leakedHandles_) {
            CloseHandle(handle);
        }
        leakedHandles_.clear();
        for (HWND window : leakedWindows_) {
            DestroyWindow(window);
        }
        leakedWindows_.clear();
        leakedMemory_.clear();
    }

    // Wine answers 0 to GetProcessHandleCount; handle values are handed out lowest free
    // first, so the value a new handle gets rises while handles leak.
    static DWORD NextHandleValue() {
        HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        auto value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(probe));
        CloseHandle(probe);
        return value;
    }

    // Wine reports no private usage either; the committed private pages of the address
    // space are what it does keep track of.
    static SIZE_T CommittedPrivateBytes() {
        SIZE_T total = 0;
        MEMORY_BASIC_INFORMATION info{};
        for (auto* at = static_cast<BYTE*>(nullptr);
             VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
             at = static_cast<BYTE*>(info.BaseAddress) + info.RegionSize) {
            if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
                total += info.RegionSize;
            }
        }
        return total;
    }

    // The names of the checks that find a leak between two measurements.
    static std::vector<std::string> Leaks(const Figures& before, const Figures& after) {
        std::vector<std::string> found;
        if (after.hostObjects != before.hostObjects) {
            found.push_back("host objects");
        }
        if (after.hostReferences != before.hostReferences) {
            found.push_back("host references");
        }
        if (after.moduleReferences != before.moduleReferences) {
            found.push_back("module references");
        }
        if (after.windowObjects != before.windowObjects) {
            found.push_back("window objects");
        }
        if (after.handles > before.handles + 4 * 8) { // handle values step by 4
            found.push_back("handles");
        }
        if (after.threadWindows != before.threadWindows) {
            found.push_back("windows");
        }
        if (after.privateBytes > before.privateBytes + 6 * 1024 * 1024) {
            found.push_back("memory");
        }
        return found;
    }

    static void Print(const char* label, const Figures& f) {
        std::printf("%-24s host objects %zu, host refs %lu, module refs %ld, window objects %d, "
                    "handles %lu, thread windows %lu, private bytes %zu, GUI user/gdi %lu/%lu\n",
                    label, f.hostObjects, static_cast<unsigned long>(f.hostReferences),
                    f.moduleReferences, f.windowObjects, static_cast<unsigned long>(f.handles),
                    static_cast<unsigned long>(f.threadWindows),
                    static_cast<size_t>(f.privateBytes), static_cast<unsigned long>(f.guiUser),
                    static_cast<unsigned long>(f.guiGdi));
    }

    int leakedRootReferences_ = 0;
    std::vector<ComPtr<IUnknown>> leakedAddIns_;
    std::vector<std::unique_ptr<TestBuilderForm>> leakedForms_;
    std::vector<HANDLE> leakedHandles_;
    std::vector<HWND> leakedWindows_;
    std::vector<std::unique_ptr<char[]>> leakedMemory_;
};

TEST_F(LeakTest, DisconnectionReturnsEveryHostObjectToItsCount) {
    std::map<std::wstring, ULONG> before;
    for (const auto& object : host_->Objects()) {
        before[object.type] += object.refs;
    }
    auto addIn = NewConnect();
    ASSERT_EQ(ConnectAs(addIn.Get(), standin::kConnectStartup), S_OK);
    forms_.whileShown = [&](TestBuilderForm& form) {
        form.Form().Model().Ctl(ctl::txtPrompt).SetText("Hi");
        form.Form().cmdPaste_Click();
    };
    ASSERT_EQ(host_->ClickAddInsItem(L"Quorvane"), 1);
    EXPECT_GT(host_->LiveObjectCount(), before.size())
        << "the add-in made the host hand out objects";
    ASSERT_EQ(Disconnect(), S_OK);
    addIn.Reset();

    std::map<std::wstring, ULONG> after;
    for (const auto& object : host_->Objects()) {
        after[object.type] += object.refs;
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(win32util::ObjectReferences(), 0);
    EXPECT_EQ(forms_.created, forms_.destroyed);
}

TEST_F(LeakTest, TwoHundredCyclesLeaveNothingBehind) {
    for (int i = 0; i < 10; ++i) {
        Cycle(Leak::None); // warm-up: first-use allocations of the runtime and Wine
    }
    const Figures before = Measure();
    const auto start = GetTickCount64();
    for (int i = 0; i < 200; ++i) {
        Cycle(Leak::None);
        if (HasFatalFailure()) {
            return;
        }
    }
    const auto elapsed = GetTickCount64() - start;
    const Figures after = Measure();
    Print("before 200 cycles:", before);
    Print("after 200 cycles:", after);
    std::printf("200 cycles took %llu ms\n", static_cast<unsigned long long>(elapsed));
    EXPECT_EQ(Leaks(before, after), std::vector<std::string>{});
}

class DeliberateLeakTest : public LeakTest, public ::testing::WithParamInterface<Leak> {};

TEST_P(DeliberateLeakTest, IsFoundByItsCheck) {
    const std::map<Leak, std::string> check = {
        {Leak::HostReference, "host references"}, {Leak::AddInObject, "module references"},
        {Leak::WindowObject, "window objects"},   {Leak::Handle, "handles"},
        {Leak::NativeWindow, "windows"},          {Leak::Memory, "memory"},
    };
    for (int i = 0; i < 5; ++i) {
        Cycle(Leak::None);
    }
    const Figures before = Measure();
    for (int i = 0; i < 50; ++i) {
        Cycle(GetParam());
    }
    const Figures after = Measure();
    Print((std::string("leak of ") + Name(GetParam()) + ":").c_str(), after);
    const auto found = Leaks(before, after);
    EXPECT_NE(std::find(found.begin(), found.end(), check.at(GetParam())), found.end())
        << Name(GetParam()) << " went unnoticed";
    UndoLeaks();
    auto left = Leaks(before, Measure());
    // A heap keeps the pages it once committed, so freed memory does not show as given back.
    left.erase(std::remove(left.begin(), left.end(), "memory"), left.end());
    EXPECT_EQ(left, std::vector<std::string>{}) << "the undo left something";
}

INSTANTIATE_TEST_SUITE_P(Leaks, DeliberateLeakTest,
                         ::testing::Values(Leak::HostReference, Leak::AddInObject,
                                           Leak::WindowObject, Leak::Handle, Leak::NativeWindow,
                                           Leak::Memory),
                         [](const auto& info) {
                             std::string name = Name(info.param);
                             std::replace(name.begin(), name.end(), ' ', '_');
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace qvn::addin::testing

// Modal display, Exit and the close box, unloading from inside the display, and nothing
// left behind across many openings of the window.
#include "builder/win32/tests/view_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

namespace qvn::win32::testing {
namespace {

TEST(BuilderWindowLifecycle, ExitAndTheCloseBoxEachHideOnceAndEndTheDisplay) {
    struct Case {
        const char* how;
        std::function<void(Harness&)> close;
    };
    const Case cases[] = {
        {"Exit button", [](Harness& h) { h.Click(ctl::cmdExit); }},
        {"close box", [](Harness& h) { SendMessageW(h.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](Harness& h) { SendMessageW(h.Window(), WM_CLOSE, 0, 0); }},
        {"unload by the add-in", [](Harness& h) { h.window->Unload(); }},
        {"window destroyed by another", [](Harness& h) { DestroyWindow(h.Window()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        Harness h;
        HWND window = nullptr;
        bool stillShowing = true;
        h.WhileShown([&] {
            window = h.Window();
            c.close(h);
            stillShowing = h.window->IsShowing();
        });
        EXPECT_FALSE(stillShowing);
        EXPECT_EQ(h.connect.hides, 1);
        EXPECT_EQ(h.connect.shows, 1) << "the load's own Show";
        EXPECT_FALSE(h.window->IsLoaded());
        EXPECT_FALSE(h.window->IsShowing());
        EXPECT_FALSE(IsWindow(window)) << "the controls are gone with the window";
        EXPECT_EQ(LiveGdiObjects(), 0) << "and the fonts and pictures with them";
    }
}

TEST(BuilderWindowLifecycle, HideEndsTheDisplayAndTheNextShowFindsTheStateKept) {
    Harness h;
    h.WhileShown([&] {
        h.Type(ctl::txtTitle, "Kept");
        h.window->HideForm();
    });
    EXPECT_TRUE(h.window->IsLoaded());
    EXPECT_FALSE(h.window->IsShowing());
    EXPECT_FALSE(IsWindowVisible(h.Window()));
    h.WhileShown([&] {
        EXPECT_TRUE(IsWindowVisible(h.Window()));
        EXPECT_EQ(Text(h.Ctl(ctl::txtTitle)), "Kept");
    });
    EXPECT_EQ(h.connect.shows, 1) << "loaded once";
}

TEST(BuilderWindowLifecycle, ShowWhileShownReturnsAtOnceAndOtherWindowsWaitDisabled) {
    HWND other = CreateWindowExW(0, L"STATIC", L"IDE", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    Harness h;
    bool otherEnabled = true;
    bool showingAfterNested = false;
    h.WhileShown([&] {
        otherEnabled = IsWindowEnabled(other) != FALSE;
        h.window->ShowModal();
        showingAfterNested = h.window->IsShowing();
    });
    EXPECT_FALSE(otherEnabled) << "modal: the thread's other windows are disabled";
    EXPECT_TRUE(showingAfterNested);
    EXPECT_TRUE(IsWindowEnabled(other)) << "and enabled again afterwards";
    DestroyWindow(other);
}

TEST(BuilderWindowLifecycle, ReopeningAfterExitStartsFromTheLoadState) {
    Harness h;
    h.WhileShown([&] {
        h.Click(ctl::optButtons, 4);
        h.Click(ctl::imgIcons, 3);
        h.Type(ctl::txtTitle, "Gone");
        h.Click(ctl::cmdExit);
    });
    h.WhileShown([&] {
        EXPECT_EQ(SendMessageW(h.Ctl(ctl::optButtons, 0), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(SendMessageW(h.Ctl(ctl::optButtons, 4), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_EQ(SendMessageW(h.Ctl(ctl::optIcons, 0), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(Text(h.Ctl(ctl::txtTitle)), "");
        EXPECT_EQ(Text(h.Ctl(ctl::optDefBtn, 0)), "OK");
        EXPECT_FALSE(IsWindowVisible(h.Ctl(ctl::optDefBtn, 1)));
    });
    EXPECT_EQ(h.connect.hides, 2);
}

TEST(BuilderWindowLifecycle, QuitMessageEndsTheDisplayAndIsPassedOn) {
    Harness h;
    h.WhileShown([&] { PostQuitMessage(3); });
    EXPECT_FALSE(h.window->IsLoaded());
    EXPECT_EQ(h.connect.hides, 1);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3U);
}

TEST(BuilderWindowLifecycle, FocusMovesOffAControlBeforeItIsDisabled) {
    Harness h;
    h.WhileShown([&] {
        h.Click(ctl::optButtons, 1);
        h.Click(ctl::optCodeOption, 1);
        SetFocus(h.Ctl(ctl::txtVarName));
        EXPECT_EQ(GetFocus(), h.Ctl(ctl::txtVarName));
        h.Click(ctl::optCodeOption, 0); // disables the name box
        EXPECT_FALSE(IsWindowEnabled(h.Ctl(ctl::txtVarName)));
        EXPECT_NE(GetFocus(), h.Ctl(ctl::txtVarName));
        EXPECT_TRUE(IsWindowEnabled(GetFocus()));
        EXPECT_EQ(GetParent(GetFocus()), h.Window());
    });
}

// What many openings leave behind.
struct Growth {
    int windows = 0;
    long gdiObjects = 0;
    long long privateBytes = 0;
    [[nodiscard]] bool Any() const {
        // Allocator noise stays well below a megabyte over the whole run.
        return windows > 0 || gdiObjects > 0 || privateBytes > 1024 * 1024;
    }
};

// `leak`, when given, runs while each counted opening is shown: a fault put in on purpose.
Growth OpenAndClose(int cycles, double* openMs = nullptr,
                    const std::function<void()>& leak = nullptr) {
    // The first openings settle the caches of the system and the C runtime.
    for (int i = 0; i < 3; ++i) {
        Harness h;
        h.WhileShown([] {});
    }
    const int windows = ThreadWindowCount();
    const long gdi = LiveGdiObjects();
    const std::size_t bytes = PrivateBytes();
    double totalMs = 0;
    for (int i = 0; i < cycles; ++i) {
        Harness h;
        const auto started = std::chrono::steady_clock::now();
        h.WhileShown([&] {
            RedrawWindow(h.Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                 started)
                           .count();
            if (leak)
                leak();
            h.Click(ctl::cmdExit);
        });
    }
    if (openMs != nullptr) {
        *openMs = totalMs / cycles;
    }
    return Growth{ThreadWindowCount() - windows, LiveGdiObjects() - gdi,
                  static_cast<long long>(PrivateBytes()) - static_cast<long long>(bytes)};
}

TEST(BuilderWindowLeaks, TwoHundredOpeningsLeaveNothingBehind) {
    double openMs = 0;
    const Growth growth = OpenAndClose(200, &openMs);
    std::printf("[ figures  ] open (create, load, first paint): %.2f ms on average; growth over "
                "200 openings: %d windows, %ld GDI objects, %lld private bytes\n",
                openMs, growth.windows, growth.gdiObjects, growth.privateBytes);
    EXPECT_EQ(growth.windows, 0);
    EXPECT_EQ(growth.gdiObjects, 0);
    EXPECT_LE(growth.privateBytes, 1024 * 1024);
    EXPECT_FALSE(growth.Any());
}

BOOL CALLBACK DestroyStrayStatic(HWND w, LPARAM) {
    if (ClassOf(w) == "Static" && GetParent(w) == nullptr) {
        DestroyWindow(w);
    }
    return TRUE;
}

TEST(BuilderWindowLeaks, EachCheckNoticesALeakPutInOnPurpose) {
    // Each fault is made while the window is shown, in its thread and process, as the
    // window's own code would make it; none of them is ever freed.
    struct Case {
        const char* what;
        std::function<void()> leak;
        std::function<void(const Growth&)> check;
    };
    const Case cases[] = {
        {"GDI object", [] { new GdiHandle(CreatePen(PS_SOLID, 1, RGB(0, 0, 0))); },
         [](const Growth& g) { EXPECT_EQ(g.gdiObjects, 20); }},
        {"window",
         [] {
             CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
         },
         [](const Growth& g) { EXPECT_EQ(g.windows, 20); }},
        {"memory",
         [] {
             if (void* block = HeapAlloc(GetProcessHeap(), 0, 256 * 1024))
                 std::memset(block, 1, 256 * 1024);
         },
         [](const Growth& g) { EXPECT_GT(g.privateBytes, 1024 * 1024); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Growth growth = OpenAndClose(20, nullptr, c.leak);
        EXPECT_TRUE(growth.Any());
        c.check(growth);
    }
    // Windows left by the window check would count against the next test.
    EnumThreadWindows(GetCurrentThreadId(), &DestroyStrayStatic, 0);
}

} // namespace
} // namespace qvn::win32::testing

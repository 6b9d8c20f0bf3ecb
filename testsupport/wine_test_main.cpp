// GoogleTest main for the Windows test programs. A watchdog ends the program with a report
// when one test runs longer than QVN_TEST_WATCHDOG seconds (default 90), so that a modal
// window nobody closes fails the test instead of hanging the run.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex gMutex;
std::string gCurrent;
std::chrono::steady_clock::time_point gStarted;

class Tracker : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
        std::lock_guard lock(gMutex);
        gCurrent = std::string(info.test_suite_name()) + "." + info.name();
        gStarted = std::chrono::steady_clock::now();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        std::lock_guard lock(gMutex);
        gCurrent.clear();
    }
};

BOOL CALLBACK ListWindow(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd)) {
        char title[256] = {};
        char cls[64] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        GetClassNameA(hwnd, cls, sizeof cls);
        std::fprintf(stderr, "  open window: class \"%s\", title \"%s\"\n", cls, title);
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new Tracker);
    int limit = 90;
    if (const char* s = std::getenv("QVN_TEST_WATCHDOG"))
        limit = std::max(1, std::atoi(s));
    // The watchdog is stopped and joined before main returns: a detached thread that woke
    // while the program's statics were destroyed would lock a freed mutex and read a freed
    // string, which crashed an exiting test program now and then.
    std::atomic<bool> stop{false};
    std::thread watchdog([limit, &stop] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            std::lock_guard lock(gMutex);
            if (!gCurrent.empty() &&
                std::chrono::steady_clock::now() - gStarted > std::chrono::seconds(limit)) {
                std::fprintf(stderr, "watchdog: %s still running after %d s; windows still open:\n",
                             gCurrent.c_str(), limit);
                EnumWindows(ListWindow, 0);
                std::fflush(stderr);
                ExitProcess(3);
            }
        }
    });
    const int status = RUN_ALL_TESTS();
    stop = true;
    watchdog.join();
    return status;
}

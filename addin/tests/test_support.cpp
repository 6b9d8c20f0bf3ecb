#include "addin/tests/test_support.h"

#include "win32util/system_message.h"
#include "win32util/unique_handles.h"

#include <algorithm>
#include <functional>

namespace qvn::addin::testing {

const IID kIdeInterfaces[5] = {
    {0x0002E151, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    {0x0002E100, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    {0x0002E197, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    {0x000C0308, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    // IDTExtensibility2, which belongs to the add-in designer's library.
    {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}},
};

std::wstring DllPath() {
    std::wstring path = win32util::ModulePath(nullptr);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"qvn.dll";
}

std::vector<std::wstring> KeyTree(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> keys;
    std::function<void(const std::wstring&)> visit = [&](const std::wstring& at) {
        if (!KeyExists(root, at)) {
            return;
        }
        keys.push_back(at);
        for (const auto& child : win32util::Subkeys(root, at)) {
            visit(at + L"\\" + child);
        }
    };
    visit(path);
    std::sort(keys.begin(), keys.end());
    return keys;
}

void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

long RunProgram(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    const win32util::unique_handle thread(process.hThread);
    const win32util::unique_handle program(process.hProcess);
    WaitForSingleObject(program.get(), 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(program.get(), &code);
    return static_cast<long>(code);
}

void ComTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
}
void ComTest::TearDown() {
    OleUninitialize();
}

} // namespace qvn::addin::testing

// Helpers shared by the add-in's tests: where qvn.dll is, registry reads, COM set-up.
#pragma once

#include "testsupport/message_box_watcher.h"
#include "win32util/registry.h"
#include "win32util/text.h"

#include <gtest/gtest.h>
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

namespace qvn::addin::testing {

using Microsoft::WRL::ComPtr;
using ::qvn::testing::Utf8;

// qvn.dll beside the test program.
std::wstring DllPath();

using win32util::GuidText;
using win32util::KeyExists;
using win32util::ReadString;
// Every key below `path` (itself included), as paths relative to `root`, sorted.
std::vector<std::wstring> KeyTree(HKEY root, const std::wstring& path);
void DeleteTree(HKEY root, const std::wstring& path);

// Runs a program and returns its exit code (or -1 when it could not be started).
long RunProgram(const std::wstring& commandLine);

// Initialises COM (single-threaded apartment) for one test.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The IDE's interfaces that registering the add-in must leave alone.
extern const IID kIdeInterfaces[5];

} // namespace qvn::addin::testing

// The stand-in IDE's main window: a menu bar whose "Add-Ins" menu mirrors the "Add-Ins"
// command bar, a menu to connect and disconnect the listed add-ins, and the code pane.
#include "standin/stand_in_ide.h"

#include "standin/module_text.h"

#include "standin/vbe_objects.h"
#include <algorithm>

namespace qvn::standin {

namespace {

constexpr wchar_t kWindowClass[] = L"QvnIdeHostWindow";
constexpr UINT kExitCommand = 100;
constexpr UINT kFirstAddInsItem = 1000;
constexpr UINT kFirstManagerItem = 2000;
constexpr UINT kMaxItems = 900;

std::wstring WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

} // namespace

HWND IdeHost::CreateMainWindow(int show, bool quitOnDestroy) {
    if (window_ != nullptr) {
        return window_;
    }
    quitOnDestroy_ = quitOnDestroy;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &IdeHost::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc); // fails harmlessly when a second host registers it again

    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kExitCommand, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    addInsMenu_ = CreatePopupMenu();
    // Captioned as the IDE's language names the Add-Ins menu.
    CommandBarObject* addIns = bars_->AddInsBar();
    const std::wstring addInsCaption = addIns != nullptr ? addIns->Name() : L"Add-Ins";
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(addInsMenu_), addInsCaption.c_str());
    managerMenu_ = CreatePopupMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(managerMenu_), L"Add-In &Manager");

    const wchar_t* title = state_->IsVba() ? L"Microsoft Visual Basic for Applications - VBAProject"
                           : state_->flavour == HostFlavour::Vb6
                               ? L"Project1 - Microsoft Visual Basic 6.0 [design]"
                               : L"Project1 - Microsoft Visual Basic [design]";
    window_ = CreateWindowExW(0, kWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 800, 600, nullptr, bar, instance, this);
    if (window_ == nullptr) {
        DestroyMenu(bar);
        addInsMenu_ = managerMenu_ = nullptr;
        return nullptr;
    }
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                ES_AUTOHSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                            0, 0, 0, 0, window_, nullptr, instance, nullptr);
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
                 FALSE);
    ShowWindow(edit_, state_->hasCodePane ? SW_SHOW : SW_HIDE);

    state_->menuChanged = [this] { RebuildMenu(); };
    state_->moduleChanged = [this] { RefreshCodePane(); };
    state_->syncSelectionFromView = [this] { ReadSelectionFromView(); };
    RebuildMenu();
    RefreshCodePane();
    RECT client{};
    GetClientRect(window_, &client);
    MoveWindow(edit_, 0, 0, client.right, client.bottom, FALSE);
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return window_;
}

int IdeHost::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void IdeHost::RebuildMenu() {
    if (addInsMenu_ == nullptr) {
        return;
    }
    while (GetMenuItemCount(addInsMenu_) > 0) {
        DeleteMenu(addInsMenu_, 0, MF_BYPOSITION);
    }
    auto captions = AddInsMenu();
    for (UINT i = 0; i < captions.size() && i < kMaxItems; ++i) {
        AppendMenuW(addInsMenu_, MF_STRING, kFirstAddInsItem + i, captions[i].c_str());
    }
    while (GetMenuItemCount(managerMenu_) > 0) {
        DeleteMenu(managerMenu_, 0, MF_BYPOSITION);
    }
    auto connected = ConnectedAddIns();
    for (UINT i = 0; i < listed_.size() && i < kMaxItems; ++i) {
        bool on =
            std::find(connected.begin(), connected.end(), listed_[i].progId) != connected.end();
        AppendMenuW(managerMenu_, MF_STRING | (on ? MF_CHECKED : MF_UNCHECKED),
                    kFirstManagerItem + i, listed_[i].caption.c_str());
    }
    if (listed_.empty()) {
        AppendMenuW(managerMenu_, MF_STRING | MF_GRAYED, kFirstManagerItem + kMaxItems,
                    L"(no add-ins listed)");
    }
    if (window_ != nullptr) {
        DrawMenuBar(window_);
    }
}

void IdeHost::RefreshCodePane() {
    if (edit_ == nullptr) {
        return;
    }
    updatingView_ = true;
    SetWindowTextW(edit_, JoinLines(state_->lines, 0, state_->lines.size()).c_str());
    auto offset = [this](long line, long column) {
        LRESULT start = SendMessageW(edit_, EM_LINEINDEX, static_cast<WPARAM>(line - 1), 0);
        if (start < 0) {
            start = GetWindowTextLengthW(edit_);
        }
        return start + column - 1;
    };
    SendMessageW(edit_, EM_SETSEL,
                 static_cast<WPARAM>(offset(state_->selStartLine, state_->selStartColumn)),
                 offset(state_->selEndLine, state_->selEndColumn));
    SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    updatingView_ = false;
}

void IdeHost::ReadSelectionFromView() {
    if (edit_ == nullptr) {
        return;
    }
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    auto lineOf = [this](DWORD offset) {
        return static_cast<long>(SendMessageW(edit_, EM_LINEFROMCHAR, offset, 0)) + 1;
    };
    auto columnOf = [this](DWORD offset, long line) {
        auto first = static_cast<DWORD>(SendMessageW(edit_, EM_LINEINDEX, line - 1, 0));
        return static_cast<long>(offset - first) + 1;
    };
    state_->selStartLine = lineOf(start);
    state_->selStartColumn = columnOf(start, state_->selStartLine);
    state_->selEndLine = lineOf(end);
    state_->selEndColumn = columnOf(end, state_->selEndLine);
}

void IdeHost::ReadTextFromView() {
    std::wstring text = WindowText(edit_);
    state_->lines = text.empty() ? std::vector<std::wstring>{} : SplitLines(text);
}

void IdeHost::OnCommand(UINT id) {
    if (id == kExitCommand) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    } else if (id >= kFirstAddInsItem && id < kFirstAddInsItem + kMaxItems) {
        auto captions = AddInsMenu();
        std::size_t index = id - kFirstAddInsItem;
        CommandBarObject* bar = bars_->AddInsBar();
        if (bar != nullptr && index < bar->Controls()->Items().size()) {
            Microsoft::WRL::ComPtr<ControlObject> control = bar->Controls()->Items()[index];
            control->RaiseClick();
        }
    } else if (id >= kFirstManagerItem && id < kFirstManagerItem + kMaxItems) {
        std::size_t index = id - kFirstManagerItem;
        if (index < listed_.size()) {
            std::wstring name = listed_[index].progId;
            auto connected = ConnectedAddIns();
            if (std::find(connected.begin(), connected.end(), name) != connected.end()) {
                Disconnect(name, kDisconnectUserClosed);
            } else {
                HRESULT hr = Connect(name, kConnectAfterStartup);
                if (FAILED(hr)) {
                    std::wstring text = L"The add-in \"" + name + L"\" could not be loaded.";
                    MessageBoxW(window_, text.c_str(), L"Add-In Manager", MB_OK | MB_ICONWARNING);
                }
            }
        }
    }
}

LRESULT CALLBACK IdeHost::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<IdeHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    try {
        return self->OnMessage(hwnd, msg, wp, lp);
    } catch (...) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT IdeHost::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (edit_ != nullptr) {
            MoveWindow(edit_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        }
        return 0;
    case WM_SETFOCUS:
        if (edit_ != nullptr && state_->hasCodePane) {
            SetFocus(edit_);
        }
        return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lp) == edit_ && edit_ != nullptr) {
            if (HIWORD(wp) == EN_CHANGE && !updatingView_) {
                ReadTextFromView();
            }
            return 0;
        }
        if (lp == 0) {
            OnCommand(LOWORD(wp));
        }
        return 0;
    case WM_CLOSE:
        // Add-ins are disconnected while the window still exists; an add-in showing a modal
        // window sees this from inside its own message loop.
        ShutDown();
        if (window_ != nullptr) {
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_DESTROY:
        state_->menuChanged = nullptr;
        state_->moduleChanged = nullptr;
        state_->syncSelectionFromView = nullptr;
        ReadSelectionFromView();
        window_ = nullptr;
        edit_ = nullptr;
        addInsMenu_ = managerMenu_ = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (quitOnDestroy_) {
            PostQuitMessage(0);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

} // namespace qvn::standin

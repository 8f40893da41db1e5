// The Windows port: the screen through the toolkit's screen context, the
// window's style and the other program through Win32.
#include "tests/app/native.h"

#include <wx/bitmap.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <windows.h>

#include <string>
#include <vector>

// The display belongs to the test's wrapper (its own Xvfb under Wine).
bool StartOwnDisplay()
{
    return true;
}

void StopOwnDisplay()
{
}

wxImage CaptureScreen(const wxPoint& origin, const wxSize& size)
{
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC memory(bitmap);
        wxScreenDC screen;
        memory.Blit(0, 0, size.x, size.y, &screen, origin.x, origin.y);
    }
    return bitmap.ConvertToImage();
}

namespace
{
bool ResizableStyle(HWND window)
{
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    return (style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) != 0;
}
}

bool NativeResizable(wxWindow* frame)
{
    return ResizableStyle(static_cast<HWND>(frame->GetHandle()));
}

wxSize NativeIconSize(wxWindow* frame)
{
    // The icon of the title bar and the task bar's small buttons.
    const auto icon = reinterpret_cast<HICON>(
        SendMessageW(static_cast<HWND>(frame->GetHandle()), WM_GETICON, ICON_SMALL, 0));
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return wxSize();
    BITMAP bitmap{};
    wxSize size;
    if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap))
        size = wxSize(bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return size;
}

bool ChooseNatively(wxChoice* choice, int row)
{
    const int current = choice->GetSelection();
    const int last = static_cast<int>(choice->GetCount()) - 1;
    WPARAM key = 0;
    if (row == 0)
        key = VK_HOME;
    else if (row == last)
        key = VK_END;
    else if (row == current + 1)
        key = VK_DOWN;
    else if (row == current - 1)
        key = VK_UP;
    else
        return false;
    // The key as the focused control gets it; the combo box moves its
    // selection and notifies its parent from within its own handler.
    const HWND combo = static_cast<HWND>(choice->GetHandle());
    SendMessageW(combo, WM_KEYDOWN, key, 1);
    return true;
}

struct OtherProgram::Impl
{
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

OtherProgram::OtherProgram() : m_impl(std::make_unique<Impl>()) {}

OtherProgram::~OtherProgram()
{
    if (m_impl->process.hProcess)
    {
        if (WaitForSingleObject(m_impl->process.hProcess, 0) != WAIT_OBJECT_0)
        {
            TerminateProcess(m_impl->process.hProcess, 1);
            WaitForSingleObject(m_impl->process.hProcess, 5000);
        }
        CloseHandle(m_impl->process.hThread);
        CloseHandle(m_impl->process.hProcess);
    }
}

bool OtherProgram::Start(const std::string& path)
{
    const std::wstring wide = wxString::FromUTF8(path).ToStdWstring();
    std::vector<wchar_t> commandLine;
    const std::wstring quoted = L"\"" + wide + L"\"";
    commandLine.assign(quoted.begin(), quoted.end());
    commandLine.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(wide.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &m_impl->process) != 0;
}

namespace
{
struct Search
{
    DWORD processId;
    std::wstring title;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (search->title != title)
        return TRUE;
    search->found = window;
    return FALSE;
}
}

bool OtherProgram::WaitForWindow(const std::string& title, int ms)
{
    Search search{m_impl->process.dwProcessId, wxString::FromUTF8(title).ToStdWstring(), nullptr};
    for (int waited = 0; waited < ms; waited += 50)
    {
        if (!m_impl->window)
        {
            EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
            m_impl->window = search.found;
        }
        if (m_impl->window && IsWindowVisible(m_impl->window))
            return true;
        wxMilliSleep(50);
    }
    return false;
}

wxSize OtherProgram::WindowClientSize() const
{
    RECT client{};
    if (!GetClientRect(m_impl->window, &client))
        return wxSize();
    return wxSize(client.right - client.left, client.bottom - client.top);
}

bool OtherProgram::WindowResizable() const
{
    return ResizableStyle(m_impl->window);
}

void OtherProgram::ClickCloseBox()
{
    PostMessageW(m_impl->window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool OtherProgram::WaitForExit(int ms, int* exitCode)
{
    if (WaitForSingleObject(m_impl->process.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(m_impl->process.hProcess, &code);
    *exitCode = static_cast<int>(code);
    return true;
}

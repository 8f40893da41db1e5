// Picking a language the way a user does on GTK: a mouse click opens the
// choice's drop-down, a second click picks the row. The language handler
// rebuilds the page, and with it the choice; done while GTK is still inside
// that click, GTK goes on with a destroyed widget and says so on stderr.
// So the test fails on any GLib warning or critical written meanwhile.
#include "tests/app/guitest.h"

#include "tests/support/pontiroini.h"

#include <wx/choice.h>
#include <wx/intl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace
{

template <typename F>
F Gtk(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

// GLib's list and GTK's rectangle, as laid out in memory.
struct GList
{
    void* data;
    GList* next;
    GList* prev;
};

struct GtkAllocation
{
    int x;
    int y;
    int width;
    int height;
};

// Everything written to the standard error while it lives (GLib writes
// its warnings there).
class StderrCapture
{
public:
    StderrCapture() : m_file(std::tmpfile())
    {
        std::fflush(stderr);
        m_saved = m_file ? dup(2) : -1;
        if (m_saved >= 0)
            dup2(fileno(m_file), 2);
    }
    ~StderrCapture()
    {
        Stop();
        if (m_file)
            std::fclose(m_file);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    bool IsCapturing() const { return m_saved >= 0; }

    std::string Stop()
    {
        if (m_saved >= 0)
        {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
        }
        std::string text;
        if (!m_file)
            return text;
        std::rewind(m_file);
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            text.append(buffer, got);
        return text;
    }

private:
    std::FILE* m_file;
    int m_saved;
};

// Where a row of the choice's drop-down is on the screen; empty while the
// drop-down is not shown.
wxRect DropDownRow(wxChoice* choice, int row)
{
    auto menusOf = Gtk<GList* (*)(void*)>("gtk_menu_get_for_attach_widget");
    auto childrenOf = Gtk<GList* (*)(void*)>("gtk_container_get_children");
    auto freeList = Gtk<void (*)(GList*)>("g_list_free");
    auto mapped = Gtk<int (*)(void*)>("gtk_widget_get_mapped");
    auto allocation = Gtk<void (*)(void*, GtkAllocation*)>("gtk_widget_get_allocation");
    auto windowOf = Gtk<void* (*)(void*)>("gtk_widget_get_window");
    auto origin = Gtk<int (*)(void*, int*, int*)>("gdk_window_get_origin");
    if (!menusOf || !childrenOf || !freeList || !mapped || !allocation || !windowOf || !origin)
        return wxRect();

    wxRect found;
    // The combo box attaches its drop-down menu to itself (the list lives
    // with GTK).
    GList* menus = menusOf(choice->GetHandle());
    for (GList* menu = menus; menu && found.IsEmpty(); menu = menu->next)
    {
        if (!mapped(menu->data))
            continue;
        GList* items = childrenOf(menu->data);
        int index = 0;
        for (GList* item = items; item; item = item->next, ++index)
        {
            if (index != row || !mapped(item->data))
                continue;
            GtkAllocation box{};
            allocation(item->data, &box);
            int x = 0;
            int y = 0;
            origin(windowOf(item->data), &x, &y);
            found = wxRect(x + box.x, y + box.y, box.width, box.height);
        }
        freeList(items);
    }
    return found;
}

} // namespace

TEST_F(WizardTest, LanguagePickedWithTheMouseInTheDropDown)
{
    WriteIni(PontiroIni().Language("en"));
    wxPontiroFrame* frame = CreateFrame();
    frame->Show();
    Pump(200);
    const wxWeakRef<wxChoice> before(m_driver->LanguageChoice());
    ASSERT_TRUE(before);
    ASSERT_EQ(before->GetSelection(), 1);

    StderrCapture capture;
    ASSERT_TRUE(capture.IsCapturing());
    wxUIActionSimulator mouse;
    const wxSize size = before->GetSize();
    mouse.MouseMove(before->ClientToScreen(wxPoint(size.x / 2, size.y / 2)));
    Pump(50);
    mouse.MouseClick();
    wxRect deutsch;
    const bool opened = RunToolkitUntil([&] { return !(deutsch = DropDownRow(before, 0)).IsEmpty(); }, 5);
    if (opened)
    {
        mouse.MouseMove(deutsch.GetPosition() + wxPoint(deutsch.width / 2, deutsch.height / 2));
        Pump(50);
        mouse.MouseClick();
        // The page is rebuilt with a new choice.
        RunToolkitUntil([&] { return !before; }, 5);
        Pump(200);
    }
    const std::string written = capture.Stop();

    ASSERT_TRUE(opened) << "the drop-down did not open";
    EXPECT_FALSE(before) << "the page was not rebuilt";
    wxChoice* after = m_driver->LanguageChoice();
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->GetSelection(), 0);
    EXPECT_EQ(wxGetTranslation("Next"), "Weiter");
    EXPECT_EQ(written.find("WARNING **"), std::string::npos) << written;
    EXPECT_EQ(written.find("CRITICAL **"), std::string::npos) << written;
}

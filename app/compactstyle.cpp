#include "app/compactstyle.h"

#include <wx/defs.h>

#ifdef __WXGTK3__
#include <gtk/gtk.h>

void UseCompactControls()
{
    static bool applied = false;
    if (applied)
        return;
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen)
        return;
    applied = true;

    static const char kCss[] =
        "button { min-height: 0; padding: 2px 10px; }\n"
        "combobox button { min-height: 0; padding-top: 1px; padding-bottom: 1px; }\n"
        "entry { min-height: 0; padding-top: 2px; padding-bottom: 2px; }\n"
        "checkbutton { min-height: 0; padding-top: 0; padding-bottom: 0; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}
#else
void UseCompactControls()
{
}
#endif

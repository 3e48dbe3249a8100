#include "win32/GtkDisplay.h"

#include <gtk/gtk.h>

bool GtkDisplayAvailable()
{
    static const bool available = [] {
        gtk_disable_setlocale();
        return gtk_init_check(nullptr, nullptr) != FALSE;
    }();
    return available;
}

void GtkDrainEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

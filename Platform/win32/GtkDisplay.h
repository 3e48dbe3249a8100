#pragma once

// Starts GTK on the display named by the environment the first time it is asked and tells
// whether that worked; later calls give the first answer. GTK keeps the C locale (number
// formats stay "C"). Windows drawn with GTK (dialogs, message boxes) need it.
bool GtkDisplayAvailable();

// Handles the window system's events that are waiting, without blocking (a window that was
// just destroyed leaves the screen).
void GtkDrainEvents();

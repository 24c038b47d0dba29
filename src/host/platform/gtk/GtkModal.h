#ifndef TUMBLIX_HOST_PLATFORM_GTK_GTKMODAL_H
#define TUMBLIX_HOST_PLATFORM_GTK_GTKMODAL_H

#include <gtk/gtk.h>
#include <optional>
#include <string>

// The modal dialogs of the settings window (a folder chooser, an alert). At
// most one runs at a time; a quit signal dismisses it first.

// Runs a dialog until it is answered; returns its response.
int RunModal(GtkWidget* dialog);
// Answers the running modal dialog with Cancel. False when none is running.
bool CancelRunningModal();

// The window alerts are shown over (null: none).
void SetAlertParent(GtkWindow* parent);
// An error alert with a title and a text, run modally.
void ShowAlert(const char* title, const char* text);

// A folder chosen by the user, or nothing when the chooser was cancelled.
std::optional<std::string> RunFolderChooser(GtkWindow* parent, const std::string& title,
                                            const std::string& startFolder);

// Opens an address in the user's browser; false, with the reason, when it
// cannot.
bool OpenInBrowser(const std::string& address, std::string* error);

#endif

#include "host/platform/gtk/GtkModal.h"

#include "host/platform/gtk/GtkControls.h"

#include <gio/gio.h>

namespace {

// The one modal dialog that may be running (a folder chooser or an alert),
// so that a quit signal can dismiss it first.
GtkDialog* runningModal = nullptr;
GtkWindow* alertParent = nullptr;

} // namespace

int RunModal(GtkWidget* dialog) {
    runningModal = GTK_DIALOG(dialog);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    runningModal = nullptr;
    return response;
}

bool CancelRunningModal() {
    if (runningModal == nullptr) {
        return false;
    }
    gtk_dialog_response(runningModal, GTK_RESPONSE_CANCEL);
    return true;
}

void SetAlertParent(GtkWindow* parent) {
    alertParent = parent;
}

void ShowAlert(const char* title, const char* text) {
    GtkWidget* alert = gtk_message_dialog_new(alertParent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                              GTK_BUTTONS_OK, "%s", Displayable(title).c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(alert), "%s",
                                             Displayable(text).c_str());
    RunModal(alert);
    gtk_widget_destroy(alert);
}

std::optional<std::string> RunFolderChooser(GtkWindow* parent, const std::string& title,
                                            const std::string& startFolder) {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        Displayable(title).c_str(), parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    if (!startFolder.empty()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), startFolder.c_str());
    }
    std::optional<std::string> chosen;
    if (RunModal(chooser) == GTK_RESPONSE_ACCEPT) {
        if (gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            chosen = folder;
            g_free(folder);
        }
    }
    gtk_widget_destroy(chooser);
    return chosen;
}

bool OpenInBrowser(const std::string& address, std::string* error) {
    GError* failure = nullptr;
    if (g_app_info_launch_default_for_uri(address.c_str(), nullptr, &failure)) {
        return true;
    }
    *error = failure != nullptr ? failure->message : "no browser";
    g_clear_error(&failure);
    return false;
}

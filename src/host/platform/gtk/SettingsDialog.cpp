#include "host/platform/gtk/SettingsDialog.h"

#include "host/BottleDownloads.h"
#include "host/SheetController.h"
#include "host/TumblixView.h"
#include "host/platform/files/AutostartEntry.h"
#include "host/platform/gtk/GtkBottleTable.h"
#include "host/platform/gtk/GtkColourWell.h"
#include "host/platform/gtk/GtkControls.h"
#include "host/platform/gtk/GtkModal.h"
#include "host/platform/sdl/GLWindow.h"
#include "host/platform/session/DesktopSession.h"
#include "host/platform/wayland/ScreenCopy.h"
#include "host/platform/web/DownloadPump.h"
#include "host/platform/x11/DesktopCapture.h"
#include "maths/Misc.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <memory>
#include <vector>

namespace {

const int kPreviewWidth = 400;
const int kPreviewHeight = 250;

// A heading over a group of controls, and the grid the group's rows go in.
GtkWidget* Group(GtkWidget* column, const char* title) {
    GtkWidget* heading = gtk_label_new(nullptr);
    gchar* markup = g_markup_printf_escaped("<b>%s</b>", title);
    gtk_label_set_markup(GTK_LABEL(heading), markup);
    g_free(markup);
    gtk_label_set_xalign(GTK_LABEL(heading), 0.0f);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    gtk_widget_set_margin_start(grid, 12);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_box_pack_start(GTK_BOX(box), heading, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), grid, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), box, FALSE, FALSE, 0);
    return grid;
}

GtkWidget* RowLabel(const char* text) {
    GtkWidget* label = gtk_label_new_with_mnemonic(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

GtkWidget* Note(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 40);
    gtk_style_context_add_class(gtk_widget_get_style_context(label), "dim-label");
    return label;
}

// A sheet action bound to a control's signal.
struct Action {
    SheetController* controller;
    void (*run)(SheetController*);
};
void RunAction(GtkWidget*, gpointer action) {
    auto* a = static_cast<Action*>(action);
    a->run(a->controller);
}
void DeleteAction(gpointer action, GClosure*) {
    delete static_cast<Action*>(action);
}

class SettingsDialog {
  public:
    SettingsDialog(TumblixView& view, int previewWidth, int previewHeight);
    ~SettingsDialog();
    void Run();
    void ShowFrame(); // the preview's drawn frame, read back from its context

  private:
    void Build();
    void Connect();
    static gboolean Tick(gpointer self);

    TumblixView& view;
    int width, height;
    GtkWidget* window = nullptr;
    GtkWidget* preview = nullptr;
    std::vector<unsigned char> pixels;
    guint timer = 0;
    bool ended = false;

    GtkButtonControl save{"_Save"}, checkDownloads{"C_heck for New Types"}, download{"D_ownload"};
    GtkButtonControl cancel{"_Cancel"}, defaults{"_Defaults"}, webPage{"Tumblix _Web Page"};
    GtkButtonControl selectAll{"Select _All"}, selectNone{"Select _None"};
    GtkCheck mainMonitorOnly{"Only on the _main screen"};
    GtkCheck goodShine{"Extra shine on the _glass"};
    GtkCheck drunkenBG{"Let the background swa_y"};
    GtkCheck playSound{"Clin_k when bottles touch"};
    GtkCheck showClock{"Show the c_lock"};
    GtkCheck clock12{"_12-hour clock"};
    GtkCheck showCountdown{"Show a co_untdown to a time of day"};
    GtkNumber maxBottle{SheetRanges::MaxBottle, false};
    GtkNumber bottleSize{SheetRanges::BottleSize, false};
    GtkNumber volume{SheetRanges::Volume, true, true};
    GtkNumber cdHr{SheetRanges::CDHr, true};
    GtkNumber cdMin{SheetRanges::CDMin, true};
    GtkNumber idleMinutes{SheetRanges::IdleMinutes, false};
    GtkText cdHrTxt, cdMinTxt, downloadText, statusText, idleNote;
    GtkPopUp bgType, bgRes, availableDownloads;
    GtkPath bgPath, directory;
    std::unique_ptr<GtkColour> bgCol;
    GtkProgress progress;
    GtkBottleTable table;
    std::unique_ptr<SheetController> controller;
    std::unique_ptr<BottleDownloads> downloads;
    std::unique_ptr<DownloadPump> pump;
};

SettingsDialog::SettingsDialog(TumblixView& v, int previewWidth, int previewHeight)
    : view(v), width(previewWidth), height(previewHeight) {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Tumblix Settings");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    SetAlertParent(GTK_WINDOW(window));
    bgCol = std::make_unique<GtkColour>(GTK_WINDOW(window));
    Build();

    SheetOutlets o;
    o.oSave = &save;
    o.oMainMonitorOnly = &mainMonitorOnly;
    o.oBottleSelector = &table;
    o.oMaxBottle = &maxBottle;
    o.oGoodShine = &goodShine;
    o.oDrunkenBG = &drunkenBG;
    o.oBottleSize = &bottleSize;
    o.oPlaySound = &playSound;
    o.oBGType = &bgType;
    o.oBGRes = &bgRes;
    o.oBGPath = &bgPath;
    o.oBGCol = bgCol.get();
    o.oVolume = &volume;
    o.oShowClock = &showClock;
    o.o12HRClock = &clock12;
    o.oShowCountdown = &showCountdown;
    o.oCDHr = &cdHr;
    o.oCDMin = &cdMin;
    o.oCDHrTxt = &cdHrTxt;
    o.oCDMinTxt = &cdMinTxt;
    o.oDirectory = &directory;
    o.oAvailableDownloads = &availableDownloads;
    o.oCheckDownloads = &checkDownloads;
    o.oProgress = &progress;
    o.oDownload = &download;
    o.oDownloadText = &downloadText;
    o.oStatusText = &statusText;
    o.oIdleMinutes = &idleMinutes;
    o.oIdleNote = &idleNote;
    controller = std::make_unique<SheetController>(view, o);
    GtkWindow* parent = GTK_WINDOW(window);
    controller->runOpenPanel = [parent](const std::string& title, const std::string& start,
                                        const std::vector<std::string>&) {
        return RunFolderChooser(parent, title, start);
    };
    controller->openURL = OpenInBrowser;
    controller->endSheet = [this] {
        ended = true;
        gtk_main_quit();
    };
    // The list is fetched and a download stepped on this window's main loop.
    downloads = std::make_unique<BottleDownloads>(DownloadOutlets::FromSheet(o));
    downloads->UseView(view);
    pump = std::make_unique<DownloadPump>(*downloads);
    downloads->onStarted = [this] { pump->Kick(); };
    downloads->onListRefused = [](const std::string& reason) {
        std::fprintf(stderr, "tumblix: the list of bottle types was refused: %s\n", reason.c_str());
    };
    controller->startWatcher = [] {
        std::string error;
        if (!DesktopSession::StartWatcher(AutostartEntry::ThisProgram(), &error)) {
            std::fprintf(stderr, "tumblix: cannot start the watcher: %s\n", error.c_str());
        }
    };
    controller->desktopBlankSeconds = DesktopSession::GnomeBlankSeconds;
    controller->onCheckDownloads = [this] { downloads->configureSheet_checkdownloads(); };
    controller->onDownload = [this] { downloads->configureSheet_download(); };
    Connect();
}

SettingsDialog::~SettingsDialog() {
    if (timer != 0) {
        g_source_remove(timer);
    }
    view.onFrameDrawn = nullptr;
    // A download still running when the window goes is cancelled: its
    // temporary file is removed and a bottle type it would replace stays.
    pump.reset();
    downloads.reset();
    bgCol->closePanel();
    SetAlertParent(nullptr);
    gtk_widget_destroy(window);
    controller.reset();
}

void SettingsDialog::Build() {
    for (const char* kind : {"Picture of the screen", "Desktop picture",
                             "Random picture from a folder", "Plain colour"}) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(bgType.widget), kind);
    }
    for (const char* detail : {"Low (512)", "Medium (1024)", "Full"}) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(bgRes.widget), detail);
    }

    GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(outer), 14);
    gtk_container_add(GTK_CONTAINER(window), outer);
    GtkWidget* columns = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
    gtk_box_pack_start(GTK_BOX(outer), columns, TRUE, TRUE, 0);
    GtkWidget* left = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    GtkWidget* right = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_box_pack_start(GTK_BOX(columns), left, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(columns), right, TRUE, TRUE, 0);

    // The preview.
    GtkWidget* g = Group(left, "Preview");
    gtk_widget_set_margin_start(g, 0);
    preview = gtk_image_new();
    gtk_widget_set_size_request(preview, width, height);
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(frame), preview);
    gtk_grid_attach(GTK_GRID(g), frame, 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g),
                    Note("The preview runs with the settings this window opened with. Saved "
                         "changes show the next time the saver starts."),
                    0, 1, 1, 1);

    // The bottles.
    g = Group(left, "Bottles");
    GtkWidget* numbers = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_box_pack_start(GTK_BOX(numbers), RowLabel("Number of bottles:"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(numbers), maxBottle.widget, FALSE, FALSE, 0);
    GtkWidget* sizeLabel = RowLabel("Size (%):");
    gtk_widget_set_margin_start(sizeLabel, 12);
    gtk_box_pack_start(GTK_BOX(numbers), sizeLabel, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(numbers), bottleSize.widget, FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(g), numbers, 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), goodShine.widget, 0, 1, 1, 1);
    GtkWidget* types = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_pack_start(GTK_BOX(types), RowLabel("Bottle types to use:"), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(types), selectAll.widget, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(types), selectNone.widget, FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(g), types, 0, 2, 1, 1);
    gtk_widget_set_size_request(table.widget, -1, 118);
    gtk_widget_set_hexpand(table.widget, TRUE);
    gtk_grid_attach(GTK_GRID(g), table.widget, 0, 3, 1, 1);

    // The screens.
    g = Group(left, "Display");
    gtk_grid_attach(GTK_GRID(g), mainMonitorOnly.widget, 0, 0, 1, 1);

    // The background.
    g = Group(right, "Background");
    gtk_grid_attach(GTK_GRID(g), RowLabel("Show:"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), bgType.widget, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), RowLabel("Screen picture detail:"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), bgRes.widget, 1, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), RowLabel("Picture folder:"), 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), bgPath.widget, 1, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), RowLabel("Plain colour:"), 0, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(g), bgCol->widget, 1, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(g), drunkenBG.widget, 0, 4, 2, 1);

    // The clock and the countdown.
    g = Group(right, "Clock and countdown");
    GtkWidget* clock = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
    gtk_box_pack_start(GTK_BOX(clock), showClock.widget, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(clock), clock12.widget, FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(g), clock, 0, 0, 3, 1);
    gtk_grid_attach(GTK_GRID(g), showCountdown.widget, 0, 1, 3, 1);
    GtkWidget* hourLabel = RowLabel("Hour:");
    GtkWidget* minuteLabel = RowLabel("Minute:");
    gtk_widget_set_margin_start(hourLabel, 24);
    gtk_widget_set_margin_start(minuteLabel, 24);
    for (GtkText* t : {&cdHrTxt, &cdMinTxt}) {
        gtk_label_set_width_chars(GTK_LABEL(t->widget), 3);
        gtk_label_set_xalign(GTK_LABEL(t->widget), 1.0f);
    }
    gtk_grid_attach(GTK_GRID(g), hourLabel, 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), cdHr.widget, 1, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), cdHrTxt.widget, 2, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), minuteLabel, 0, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(g), cdMin.widget, 1, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(g), cdMinTxt.widget, 2, 3, 1, 1);

    // Sound.
    g = Group(right, "Sound");
    gtk_grid_attach(GTK_GRID(g), playSound.widget, 0, 0, 2, 1);
    GtkWidget* volumeLabel = RowLabel("Volume:");
    gtk_widget_set_margin_start(volumeLabel, 24);
    gtk_grid_attach(GTK_GRID(g), volumeLabel, 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), volume.widget, 1, 1, 1, 1);

    // When the saver comes by itself (the watcher; 0 is off).
    g = Group(right, "Starting");
    gtk_grid_attach(GTK_GRID(g), RowLabel("Start the saver after"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), idleMinutes.widget, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), RowLabel("minutes of idle (0: never)"), 2, 0, 1, 1);
    gtk_label_set_xalign(GTK_LABEL(idleNote.widget), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(idleNote.widget), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(idleNote.widget), 50);
    gtk_widget_set_no_show_all(idleNote.widget, TRUE);
    idleNote.hideWhenEmpty = true;
    gtk_grid_attach(GTK_GRID(g), idleNote.widget, 0, 1, 3, 1);

    // Downloads: check, pick, download, in that order.
    g = Group(right, "Downloads");
    gtk_grid_attach(GTK_GRID(g), RowLabel("Bottle folder:"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), directory.widget, 1, 0, 2, 1);
    gtk_grid_attach(GTK_GRID(g), checkDownloads.widget, 0, 1, 1, 1);
    gtk_widget_set_hexpand(availableDownloads.widget, TRUE);
    gtk_grid_attach(GTK_GRID(g), availableDownloads.widget, 1, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), download.widget, 2, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), progress.widget, 0, 2, 3, 1);
    gtk_label_set_xalign(GTK_LABEL(downloadText.widget), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(downloadText.widget), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(downloadText.widget), 50);
    gtk_grid_attach(GTK_GRID(g), downloadText.widget, 0, 3, 3, 1);

    // The status line, shown only when it says something, and the buttons.
    gtk_label_set_xalign(GTK_LABEL(statusText.widget), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(statusText.widget), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(statusText.widget), 100);
    gtk_label_set_selectable(GTK_LABEL(statusText.widget), TRUE);
    gtk_widget_set_no_show_all(statusText.widget, TRUE);
    statusText.hideWhenEmpty = true;
    gtk_box_pack_start(GTK_BOX(outer), statusText.widget, FALSE, FALSE, 0);
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_pack_start(GTK_BOX(buttons), webPage.widget, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), save.widget, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), cancel.widget, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), defaults.widget, FALSE, FALSE, 0);
    gtk_style_context_add_class(gtk_widget_get_style_context(save.widget), "suggested-action");
    gtk_box_pack_start(GTK_BOX(outer), buttons, FALSE, FALSE, 0);
    gtk_widget_set_can_default(save.widget, TRUE);
}

void SettingsDialog::Connect() {
    SheetController* c = controller.get();
    auto on = [c](GtkWidget* widget, const char* signal, void (*run)(SheetController*)) {
        g_signal_connect_data(widget, signal, G_CALLBACK(RunAction), new Action{c, run},
                              DeleteAction, GConnectFlags(0));
    };
    auto update = [](SheetController* s) { s->configureSheet_update(); };
    for (GtkCheck* box : {&mainMonitorOnly, &goodShine, &drunkenBG, &playSound, &showClock,
                          &clock12, &showCountdown}) {
        on(box->widget, "toggled", update);
    }
    for (GtkPopUp* popUp : {&bgType, &bgRes}) {
        on(popUp->widget, "changed", update);
    }
    for (GtkNumber* number : {&cdHr, &cdMin, &idleMinutes}) {
        on(number->widget, "value-changed", update);
    }
    on(save.widget, "clicked", [](SheetController* s) { s->configureSheet_save(); });
    on(cancel.widget, "clicked", [](SheetController* s) { s->configureSheet_cancel(); });
    on(defaults.widget, "clicked", [](SheetController* s) { s->configureSheet_defaults(); });
    on(webPage.widget, "clicked", [](SheetController* s) { s->configureSheet_openwebsite(); });
    on(bgPath.widget, "clicked", [](SheetController* s) { s->configureSheet_bgpath(); });
    on(directory.widget, "clicked", [](SheetController* s) { s->configureSheet_directory(); });
    on(selectAll.widget, "clicked", [](SheetController* s) { s->configureSheet_selectAll(); });
    on(selectNone.widget, "clicked", [](SheetController* s) { s->configureSheet_selectNone(); });
    on(checkDownloads.widget, "clicked",
       [](SheetController* s) { s->configureSheet_checkdownloads(); });
    on(download.widget, "clicked", [](SheetController* s) { s->configureSheet_download(); });

    // Closing the window, or Escape, is Cancel.
    g_signal_connect(window, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer s) {
                         static_cast<SheetController*>(s)->configureSheet_cancel();
                         return TRUE;
                     }),
                     c);
    g_signal_connect(window, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, gpointer s) -> gboolean {
                         if (key->keyval != GDK_KEY_Escape) {
                             return FALSE;
                         }
                         static_cast<SheetController*>(s)->configureSheet_cancel();
                         return TRUE;
                     }),
                     c);
}

void SettingsDialog::ShowFrame() {
    pixels.resize(size_t(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    GdkPixbuf* frame = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    if (frame == nullptr) {
        return;
    }
    const int stride = gdk_pixbuf_get_rowstride(frame);
    guchar* rows = gdk_pixbuf_get_pixels(frame);
    for (int y = 0; y < height; y++) { // GL's rows start at the bottom
        std::copy_n(&pixels[size_t(height - 1 - y) * width * 3], size_t(width) * 3,
                    rows + size_t(y) * stride);
    }
    gtk_image_set_from_pixbuf(GTK_IMAGE(preview), frame);
    g_object_unref(frame);
}

gboolean SettingsDialog::Tick(gpointer self) {
    auto* dialog = static_cast<SettingsDialog*>(self);
    if (QuitRequested() && !dialog->ended) {
        // A signal ends the dialog as Cancel does, modal dialogs first.
        if (!CancelRunningModal()) {
            dialog->controller->configureSheet_cancel();
        }
        return G_SOURCE_CONTINUE;
    }
    if (dialog->view.isAnimating()) {
        dialog->view.animateOneFrame();
    }
    return G_SOURCE_CONTINUE;
}

void SettingsDialog::Run() {
    // The scene is set up (the first tick) before the sheet is filled, so
    // the table lists the catalogue.
    view.onFrameDrawn = [this] { ShowFrame(); };
    view.startAnimation();
    view.animateOneFrame();
    controller->configureSheet();

    gtk_widget_show_all(window);
    gtk_widget_grab_default(save.widget);
    const guint interval = guint(view.animationTimeInterval() * 1000.0 + 0.5);
    timer = g_timeout_add(interval, Tick, this);
    gtk_main();
    view.stopAnimation();
}

} // namespace

int RunConfigure(const RunOptions& options) {
    // The preview draws off screen and is copied into the window, whatever
    // display the window itself is on.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "tumblix: cannot open the settings dialog: no display to show it "
                             "on (is DISPLAY set?)\n");
        return 1;
    }
    SetAlertPresenter(ShowAlert);

    GLWindow glWindow;
    std::string videoError;
    const bool drawable = GLWindow::StartVideo(&videoError) &&
                          glWindow.Open("tumblix preview", kPreviewWidth, kPreviewHeight, false);
    int w = kPreviewWidth, h = kPreviewHeight;
    if (drawable) {
        glWindow.DrawableSize(&w, &h);
    }
    NSRect frame;
    frame.width = w;
    frame.height = h;
    // The preview shows the desktop the saver would show.
    InstallDesktopServices();
    // In a Wayland session the X server (if any) sees none of the desktop:
    // the compositor's copy of its outputs is the desktop.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && wayland[0] != '\0') {
        SetDesktopGrabber(GrabWaylandOutput);
    }
    SetScreens(MonitorScreens(), 0);
    {
        TumblixView view(frame, true, drawable ? &glWindow : nullptr, options.resources);
        if (!drawable) {
            view.setupError = glWindow.error();
        }
        SettingsDialog dialog(view, w, h);
        dialog.Run();
    }
    SetAlertPresenter(nullptr);
    glWindow.Close();
    return 0;
}

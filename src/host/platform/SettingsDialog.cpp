#include "host/platform/SettingsDialog.h"

#include "host/BottleDownloads.h"
#include "host/SheetController.h"
#include "host/TumblixView.h"
#include "host/platform/DesktopCapture.h"
#include "host/platform/DownloadPump.h"
#include "host/platform/GLWindow.h"
#include "maths/Misc.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <memory>
#include <vector>

namespace {

const int kPreviewWidth = 400;
const int kPreviewHeight = 250;

// GTK shows only UTF-8; names from the disk may be anything.
std::string Displayable(const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.c_str(), -1);
    std::string shown = valid;
    g_free(valid);
    return shown;
}

std::string DisplayablePath(const std::string& path) {
    gchar* shown = g_filename_display_name(path.c_str());
    std::string text = shown;
    g_free(shown);
    return text;
}

// The one modal dialog that may be running (a folder chooser or an alert),
// so that a quit signal can dismiss it first.
GtkDialog* runningModal = nullptr;
GtkWindow* alertParent = nullptr;

int RunModal(GtkWidget* dialog) {
    runningModal = GTK_DIALOG(dialog);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    runningModal = nullptr;
    return response;
}

void ShowAlert(const char* title, const char* text) {
    GtkWidget* alert = gtk_message_dialog_new(alertParent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                              GTK_BUTTONS_OK, "%s", Displayable(title).c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(alert), "%s",
                                             Displayable(text).c_str());
    RunModal(alert);
    gtk_widget_destroy(alert);
}

// The controls over GTK widgets.

class GtkButtonControl : public Button {
  public:
    explicit GtkButtonControl(const char* label) : widget(gtk_button_new_with_mnemonic(label)) {}
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    GtkWidget* widget;
};

class GtkCheck : public CheckBox {
  public:
    explicit GtkCheck(const char* label) : widget(gtk_check_button_new_with_mnemonic(label)) {}
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    int state() const override {
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0;
    }
    void setState(int state) override {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), state == 1);
    }
    GtkWidget* widget;
};

// A spin button, or a slider whose value a label beside it shows.
class GtkNumber : public NumberControl {
  public:
    GtkNumber(SheetRange range, bool slider, bool drawValue = false) {
        adjustment = gtk_adjustment_new(range.min, range.min, range.max, 1, slider ? 5 : 1, 0);
        if (slider) {
            widget = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, adjustment);
            gtk_scale_set_digits(GTK_SCALE(widget), 0);
            gtk_scale_set_draw_value(GTK_SCALE(widget), drawValue);
            gtk_scale_set_value_pos(GTK_SCALE(widget), GTK_POS_RIGHT);
            gtk_widget_set_hexpand(widget, TRUE);
        } else {
            widget = gtk_spin_button_new(adjustment, 1, 0);
            gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(widget), TRUE);
            gtk_entry_set_width_chars(GTK_ENTRY(widget), 4);
            gtk_widget_set_halign(widget, GTK_ALIGN_START);
        }
    }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    int intValue() const override {
        // A number still being typed counts.
        if (GTK_IS_SPIN_BUTTON(widget)) {
            gtk_spin_button_update(GTK_SPIN_BUTTON(widget));
        }
        return int(std::lround(gtk_adjustment_get_value(adjustment)));
    }
    void setIntValue(int value) override { gtk_adjustment_set_value(adjustment, value); }
    GtkAdjustment* adjustment;
    GtkWidget* widget;
};

class GtkText : public TextField {
  public:
    GtkText() : widget(gtk_label_new("")) {}
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    std::string text() const override { return value; }
    void setText(const std::string& text) override {
        value = text;
        // A text's closing line break would show as an empty line.
        std::string shown = Displayable(text);
        while (!shown.empty() && shown.back() == '\n') {
            shown.pop_back();
        }
        gtk_label_set_text(GTK_LABEL(widget), shown.c_str());
        if (hideWhenEmpty) {
            gtk_widget_set_visible(widget, !text.empty());
        }
    }
    GtkWidget* widget;
    std::string value;
    bool hideWhenEmpty = false;
};

class GtkPopUp : public PopUp {
  public:
    GtkPopUp() : widget(gtk_combo_box_text_new()) {}
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    int indexOfSelectedItem() const override {
        return gtk_combo_box_get_active(GTK_COMBO_BOX(widget));
    }
    void selectItemAtIndex(int index) override {
        gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index);
    }
    int numberOfItems() const override {
        GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
        return gtk_tree_model_iter_n_children(model, nullptr);
    }
    void removeAllItems() override { gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget)); }
    void addItemWithTitle(const std::string& title) override {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), Displayable(title).c_str());
        // A pop-up always shows an entry once it has one.
        if (indexOfSelectedItem() < 0) {
            selectItemAtIndex(0);
        }
    }
    GtkWidget* widget;
};

class GtkPath : public PathButton {
  public:
    GtkPath() : widget(gtk_button_new()), label(gtk_label_new("")) {
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
        gtk_label_set_width_chars(GTK_LABEL(label), 24);
        gtk_label_set_max_width_chars(GTK_LABEL(label), 24);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
        gtk_box_pack_start(GTK_BOX(box),
                           gtk_image_new_from_icon_name("folder", GTK_ICON_SIZE_BUTTON), FALSE,
                           FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
        gtk_container_add(GTK_CONTAINER(widget), box);
        gtk_widget_set_hexpand(widget, TRUE);
    }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    std::string title() const override { return value; }
    void setTitle(const std::string& title) override {
        value = title;
        const std::string shown = title.empty() ? "(none)" : DisplayablePath(title);
        gtk_label_set_text(GTK_LABEL(label), shown.c_str());
        gtk_widget_set_tooltip_text(widget, shown.c_str());
    }
    GtkWidget* widget;
    GtkWidget* label;
    std::string value;
};

// A colour swatch on a button that opens a colour chooser beside the
// dialog; the chooser's choice is taken when the user selects it.
class GtkColour : public ColourWell {
  public:
    explicit GtkColour(GtkWindow* owner) : parent(owner), widget(gtk_button_new()) {
        swatch = gtk_drawing_area_new();
        gtk_widget_set_size_request(swatch, 48, 18);
        gtk_container_add(GTK_CONTAINER(widget), swatch);
        gtk_widget_set_halign(widget, GTK_ALIGN_START);
        g_signal_connect(swatch, "draw", G_CALLBACK(DrawSwatch), this);
        g_signal_connect(widget, "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                             static_cast<GtkColour*>(self)->OpenPanel();
                         }),
                         this);
    }
    ~GtkColour() override { closePanel(); }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    SheetColour color() const override { return colour; }
    void setColor(const SheetColour& c) override {
        colour = c;
        gtk_widget_queue_draw(swatch);
    }
    void closePanel() override {
        if (panel != nullptr) {
            gtk_widget_destroy(panel); // clears panel through "destroy"
        }
    }
    bool PanelOpen() const { return panel != nullptr; }

  private:
    static gboolean DrawSwatch(GtkWidget* area, cairo_t* cr, gpointer self) {
        const SheetColour& c = static_cast<GtkColour*>(self)->colour;
        const double w = gtk_widget_get_allocated_width(area);
        const double h = gtk_widget_get_allocated_height(area);
        const double alpha = gtk_widget_is_sensitive(area) ? 1.0 : 0.35;
        cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, alpha);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5 * alpha);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        return FALSE;
    }
    void OpenPanel() {
        if (panel != nullptr) {
            gtk_window_present(GTK_WINDOW(panel));
            return;
        }
        panel = gtk_color_chooser_dialog_new("Background Colour", parent);
        gtk_window_set_modal(GTK_WINDOW(panel), FALSE);
        gtk_window_set_destroy_with_parent(GTK_WINDOW(panel), TRUE);
        gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(panel), FALSE);
        const GdkRGBA rgba = {colour.red, colour.green, colour.blue, 1.0};
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &rgba);
        g_signal_connect(panel, "response",
                         G_CALLBACK(+[](GtkDialog* d, int response, gpointer self) {
                             auto* well = static_cast<GtkColour*>(self);
                             if (response == GTK_RESPONSE_OK) {
                                 GdkRGBA chosen;
                                 gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(d), &chosen);
                                 well->setColor({chosen.red, chosen.green, chosen.blue});
                             }
                             gtk_widget_destroy(GTK_WIDGET(d));
                         }),
                         this);
        g_signal_connect(panel, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                             static_cast<GtkColour*>(self)->panel = nullptr;
                         }),
                         this);
        gtk_widget_show_all(panel);
    }

    GtkWindow* parent;
    SheetColour colour;
    GtkWidget* panel = nullptr;

  public:
    GtkWidget* widget;
    GtkWidget* swatch;
};

class GtkProgress : public ProgressBar {
  public:
    GtkProgress() : widget(gtk_progress_bar_new()) {}
    ~GtkProgress() override { StopPulse(); }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    double doubleValue() const override { return value; }
    void setDoubleValue(double percent) override {
        value = percent;
        StopPulse();
        ShowValue();
    }
    // Until the first value arrives the bar shows that something is going on.
    void startAnimation() override {
        if (pulse == 0 && value <= 0.0) {
            pulse = g_timeout_add(
                100,
                +[](gpointer bar) -> gboolean {
                    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
                    return G_SOURCE_CONTINUE;
                },
                widget);
        }
    }
    void stopAnimation() override {
        StopPulse();
        ShowValue();
    }
    GtkWidget* widget;

  private:
    void StopPulse() {
        if (pulse != 0) {
            g_source_remove(pulse);
            pulse = 0;
        }
    }
    void ShowValue() {
        const double fraction = value / 100.0;
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget),
                                      fraction > 0.0 ? (fraction < 1.0 ? fraction : 1.0) : 0.0);
    }
    double value = 0.0;
    guint pulse = 0;
};

// The bottle types as a list with a tick box per row: a ticked row is a
// selected row. A click anywhere on a row, or Enter, ticks or unticks it.
class GtkBottleTable : public BottleTable {
  public:
    enum { COLUMN_ON, COLUMN_NAME };
    GtkBottleTable() {
        store = gtk_list_store_new(2, G_TYPE_BOOLEAN, G_TYPE_STRING);
        view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        g_object_unref(store); // the view holds it
        gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
        gtk_tree_view_set_activate_on_single_click(GTK_TREE_VIEW(view), TRUE);
        gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)),
                                    GTK_SELECTION_NONE);
        GtkCellRenderer* tick = gtk_cell_renderer_toggle_new();
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "On", tick, "active",
                                                    COLUMN_ON, nullptr);
        GtkCellRenderer* name = gtk_cell_renderer_text_new();
        g_object_set(name, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        GtkTreeViewColumn* names = gtk_tree_view_column_new_with_attributes(
            "Bottle type", name, "text", COLUMN_NAME, nullptr);
        gtk_tree_view_column_set_expand(names, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(view), names);
        g_signal_connect(
            view, "row-activated",
            G_CALLBACK(+[](GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer self) {
                auto* table = static_cast<GtkBottleTable*>(self);
                const int row = gtk_tree_path_get_indices(path)[0];
                table->SetRow(row, !table->isRowSelected(row));
            }),
            this);
        widget = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(widget), GTK_POLICY_NEVER,
                                       GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(widget), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(widget), view);
    }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    void setDataSource(const TableDataSource* s) override { source = s; }
    void reloadData() override {
        std::vector<bool> on;
        for (int i = 0; i < Rows(); i++) {
            on.push_back(isRowSelected(i));
        }
        gtk_list_store_clear(store);
        const int rows = source != nullptr ? source->numberOfRowsInTableView() : 0;
        for (int i = 0; i < rows; i++) {
            GtkTreeIter iter;
            gtk_list_store_append(store, &iter);
            const std::string name = Displayable(source->tableView_objectValueForRow(i));
            gtk_list_store_set(store, &iter, COLUMN_ON, size_t(i) < on.size() && on[size_t(i)],
                               COLUMN_NAME, name.c_str(), -1);
        }
    }
    void selectRowIndexes(const std::vector<int>& rows) override {
        deselectAll();
        for (int row : rows) {
            SetRow(row, true);
        }
    }
    void selectAll() override {
        for (int i = 0; i < Rows(); i++) {
            SetRow(i, true);
        }
    }
    void deselectAll() override {
        for (int i = 0; i < Rows(); i++) {
            SetRow(i, false);
        }
    }
    bool isRowSelected(int row) const override {
        GtkTreeIter iter;
        gboolean on = FALSE;
        if (gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, row)) {
            gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, COLUMN_ON, &on, -1);
        }
        return on;
    }
    GtkWidget* widget;

  private:
    int Rows() const { return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr); }
    void SetRow(int row, bool on) {
        GtkTreeIter iter;
        if (gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, row)) {
            gtk_list_store_set(store, &iter, COLUMN_ON, on, -1);
        }
    }
    GtkListStore* store;
    GtkWidget* view;
    const TableDataSource* source = nullptr;
};

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
    GtkText cdHrTxt, cdMinTxt, downloadText, statusText;
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
    alertParent = GTK_WINDOW(window);
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
    alertParent = nullptr;
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
    for (GtkNumber* number : {&cdHr, &cdMin}) {
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
        if (runningModal != nullptr) {
            gtk_dialog_response(runningModal, GTK_RESPONSE_CANCEL);
        } else {
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

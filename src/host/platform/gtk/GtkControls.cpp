#include "host/platform/gtk/GtkControls.h"

#include <cmath>

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

GtkNumber::GtkNumber(SheetRange range, bool slider, bool drawValue) {
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

int GtkNumber::intValue() const {
    // A number still being typed counts.
    if (GTK_IS_SPIN_BUTTON(widget)) {
        gtk_spin_button_update(GTK_SPIN_BUTTON(widget));
    }
    return int(std::lround(gtk_adjustment_get_value(adjustment)));
}

void GtkText::setText(const std::string& text) {
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

void GtkPopUp::addItemWithTitle(const std::string& title) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), Displayable(title).c_str());
    // A pop-up always shows an entry once it has one.
    if (indexOfSelectedItem() < 0) {
        selectItemAtIndex(0);
    }
}

GtkPath::GtkPath() : widget(gtk_button_new()), label(gtk_label_new("")) {
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_width_chars(GTK_LABEL(label), 24);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 24);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_pack_start(GTK_BOX(box), gtk_image_new_from_icon_name("folder", GTK_ICON_SIZE_BUTTON),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(widget), box);
    gtk_widget_set_hexpand(widget, TRUE);
}

void GtkPath::setTitle(const std::string& title) {
    value = title;
    const std::string shown = title.empty() ? "(none)" : DisplayablePath(title);
    gtk_label_set_text(GTK_LABEL(label), shown.c_str());
    gtk_widget_set_tooltip_text(widget, shown.c_str());
}

void GtkProgress::startAnimation() {
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

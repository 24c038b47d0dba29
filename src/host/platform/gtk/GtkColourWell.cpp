#include "host/platform/gtk/GtkColourWell.h"

GtkColour::GtkColour(GtkWindow* owner) : parent(owner), widget(gtk_button_new()) {
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

gboolean GtkColour::DrawSwatch(GtkWidget* area, cairo_t* cr, gpointer self) {
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

void GtkColour::OpenPanel() {
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
    g_signal_connect(panel, "response", G_CALLBACK(+[](GtkDialog* d, int response, gpointer self) {
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

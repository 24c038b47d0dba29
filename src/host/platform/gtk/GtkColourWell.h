#ifndef TUMBLIX_HOST_PLATFORM_GTK_GTKCOLOURWELL_H
#define TUMBLIX_HOST_PLATFORM_GTK_GTKCOLOURWELL_H

#include "host/SheetControls.h"

#include <gtk/gtk.h>

// A colour swatch on a button that opens a colour chooser beside the
// dialog; the chooser's choice is taken when the user selects it.
class GtkColour : public ColourWell {
  public:
    explicit GtkColour(GtkWindow* owner);
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
    static gboolean DrawSwatch(GtkWidget* area, cairo_t* cr, gpointer self);
    void OpenPanel();

    GtkWindow* parent;
    SheetColour colour;
    GtkWidget* panel = nullptr;

  public:
    GtkWidget* widget;
    GtkWidget* swatch;
};

#endif

#ifndef TUMBLIX_HOST_PLATFORM_GTK_GTKCONTROLS_H
#define TUMBLIX_HOST_PLATFORM_GTK_GTKCONTROLS_H

#include "host/SheetController.h"
#include "host/SheetControls.h"

#include <gtk/gtk.h>
#include <string>

// Text as GTK can show it: GTK shows only UTF-8; names from the disk may be
// anything. A path is shown the way the file system's names are displayed.
std::string Displayable(const std::string& text);
std::string DisplayablePath(const std::string& path);

// The plain controls of the configuration sheet over GTK widgets.

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
    GtkNumber(SheetRange range, bool slider, bool drawValue = false);
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    int intValue() const override;
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
    void setText(const std::string& text) override;
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
    void addItemWithTitle(const std::string& title) override;
    GtkWidget* widget;
};

class GtkPath : public PathButton {
  public:
    GtkPath();
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    std::string title() const override { return value; }
    void setTitle(const std::string& title) override;
    GtkWidget* widget;
    GtkWidget* label;
    std::string value;
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
    void startAnimation() override;
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

#endif

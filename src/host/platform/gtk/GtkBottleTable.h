#ifndef TUMBLIX_HOST_PLATFORM_GTK_GTKBOTTLETABLE_H
#define TUMBLIX_HOST_PLATFORM_GTK_GTKBOTTLETABLE_H

#include "host/SheetControls.h"

#include <gtk/gtk.h>
#include <vector>

// The bottle types as a list with a tick box per row: a ticked row is a
// selected row. A click anywhere on a row, or Enter, ticks or unticks it.
class GtkBottleTable : public BottleTable {
  public:
    enum { COLUMN_ON, COLUMN_NAME };
    GtkBottleTable();
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
    bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }
    void setDataSource(const TableDataSource* s) override { source = s; }
    void reloadData() override;
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
    bool isRowSelected(int row) const override;
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

#endif

#include "host/platform/gtk/GtkBottleTable.h"

#include "host/platform/gtk/GtkControls.h"

GtkBottleTable::GtkBottleTable() {
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
    GtkTreeViewColumn* names =
        gtk_tree_view_column_new_with_attributes("Bottle type", name, "text", COLUMN_NAME, nullptr);
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

void GtkBottleTable::reloadData() {
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

bool GtkBottleTable::isRowSelected(int row) const {
    GtkTreeIter iter;
    gboolean on = FALSE;
    if (gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(store), &iter, nullptr, row)) {
        gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, COLUMN_ON, &on, -1);
    }
    return on;
}

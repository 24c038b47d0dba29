#ifndef TUMBLIX_TESTS_FAKECONTROLS_H
#define TUMBLIX_TESTS_FAKECONTROLS_H

#include "host/SheetControls.h"

#include <string>
#include <vector>

using Journal = std::vector<std::string>;

// A button, text, pop-up, folder button or progress bar of the settings
// sheet that logs what is done to it. An index outside the pop-up's entries
// selects nothing.
struct Fake : Button, TextField, PopUp, PathButton, ProgressBar {
    Fake(Journal& j, const char* n, int entries = 0)
        : journal(j), name(n), items(size_t(entries)) {}
    void setEnabled(bool e) override {
        enabled = e;
        journal.push_back(std::string(e ? "enable " : "disable ") + name);
    }
    bool isEnabled() const override { return enabled; }
    std::string text() const override { return value; }
    void setText(const std::string& t) override { journal.push_back("text " + (value = t)); }
    std::string title() const override { return value; }
    void setTitle(const std::string& t) override { value = t; }
    int indexOfSelectedItem() const override { return selected; }
    void selectItemAtIndex(int i) override { selected = i >= 0 && i < numberOfItems() ? i : -1; }
    int numberOfItems() const override { return int(items.size()); }
    void removeAllItems() override {
        items.clear();
        selected = -1;
        journal.push_back("removeAllItems");
    }
    void addItemWithTitle(const std::string& t) override { items.push_back(t); }
    double doubleValue() const override { return percent; }
    void setDoubleValue(double v) override { percent = v; }
    void startAnimation() override { journal.push_back("startAnimation"); }
    void stopAnimation() override { journal.push_back("stopAnimation"); }
    Journal& journal;
    const char* name;
    bool enabled = true;
    std::string value = "(unset)";
    std::vector<std::string> items;
    int selected = -1;
    double percent = -1;
};

#endif

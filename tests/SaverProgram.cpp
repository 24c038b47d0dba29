#include "SaverProgram.h"

#include "SaverFiles.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

SaverProgram::SaverProgram(const XServer& server, RGBA fallback)
    // On X only, even when the tests run inside a Wayland session.
    : SaverProgram(Env{{"DISPLAY", server.name()}, {"-WAYLAND_DISPLAY", ""}}, fallback) {
    this->server = &server;
}

SaverProgram::SaverProgram(const Env& display, RGBA fallback) {
    saverfiles::UseUserFolders(home.path());
    resources = home.Subdir("res");
    saverfiles::WriteResources(resources, 2, fallback);
    env = {{"XDG_CONFIG_HOME", home / "config"},
           {"XDG_DATA_HOME", home / "data"},
           // No desktop settings schemas: kind 1 shows the fallback picture.
           {"XDG_DATA_DIRS", home.Subdir("no-schemas")},
           {"GSETTINGS_BACKEND", "memory"},
           {"GDK_BACKEND", "x11"},
           {"NO_AT_BRIDGE", "1"},
           {"SDL_AUDIODRIVER", "dummy"},
           {"-SDL_VIDEODRIVER", ""},
           {"-XSCREENSAVER_WINDOW", ""}};
    env.insert(env.end(), display.begin(), display.end());
}

bool SaverProgram::Start(const std::vector<std::string>& args, const Env& extra) {
    if (process.Running()) {
        process.Signal(SIGKILL);
        process.WaitExit(kPatience, nullptr);
    }
    std::vector<std::string> argv = {BuildProgram("tumblix"), "--resources", resources};
    argv.insert(argv.end(), args.begin(), args.end());
    Env all = env;
    all.insert(all.end(), extra.begin(), extra.end());
    return process.Start(argv, all);
}

bool SaverProgram::Shows(Window w, int x, int y, RGBA colour) const {
    return WaitFor(kPatience, [&] { return saverfiles::Near(server->PixelAt(w, x, y), colour); });
}

int SaverProgram::End() {
    int status = -2;
    return process.WaitExit(kPatience, &status) ? status : -2;
}

void SaverProgram::ExpectEndOnSigterm() {
    process.Signal(SIGTERM);
    EXPECT_EQ(End(), 0) << "SIGTERM: " << process.Output();
}

void SaverProgram::ExpectOneLineAndFailureWhen(const std::function<void()>& kill) {
    const std::string before = process.Output();
    kill();
    const int status = End();
    EXPECT_NE(status, -2) << "still running";
    EXPECT_NE(status, 0);
    const std::string after = process.Output().substr(before.size());
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << after;
}

void SaverProgram::Prefer(int bgType, int maxBottles, bool mainMonitorOnly) const {
    saverfiles::UseUserFolders(home.path()); // this saver's, where several are
    saverfiles::Prefs prefs;
    prefs.bgType = bgType;
    prefs.maxBottles = maxBottles;
    prefs.mainMonitorOnly = mainMonitorOnly;
    saverfiles::WritePreferences(prefs);
}

std::string XfceChannel(const XfceImages& images, const std::string& outside) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xfce4-desktop\" "
                      "version=\"1.0\"><property name=\"backdrop\" type=\"empty\"><property "
                      "name=\"screen0\" type=\"empty\">";
    for (const auto& [monitor, workspace, image] : images) {
        xml += "<property name=\"monitor" + monitor +
               "\" type=\"empty\"><property name=\"workspace" + std::to_string(workspace) +
               "\" type=\"empty\"><property name=\"color-style\" "
               "type=\"int\" value=\"0\"/><property name=\"last-image\" type=\"string\" value=\"" +
               image + "\"/></property></property>";
    }
    return xml + "</property></property><property name=\"last-image\" type=\"string\" value=\"" +
           outside + "\"/></channel>\n";
}

void SaverProgram::WriteXfceSettings(const XfceImages& images) const {
    const std::string folder = home / "config/" + kXfceSettings;
    ASSERT_EQ(RunTool("mkdir -p \"$(dirname " + Quote(folder) + ")\"").status, 0);
    std::ofstream(folder) << XfceChannel(images);
}

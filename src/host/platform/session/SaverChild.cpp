#include "host/platform/session/SaverChild.h"

#include <glib.h>

#include <chrono>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// In the child before exec: it must not outlive a watcher that was killed.
// SIGTERM and SIGINT wait, blocked, until the saver has its own handlers
// (it unblocks them then): input that comes while the saver is still
// loading then ends it through its clean path, not half-way through start-up.
void DieWithParent(gpointer) {
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    sigprocmask(SIG_BLOCK, &quit, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

} // namespace

SaverChild::~SaverChild() {
    StopAndWait();
}

bool SaverChild::Start(const std::vector<std::string>& argv, std::string* error) {
    if (Running()) {
        *error = "a saver runs already";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    GError* failure = nullptr;
    GPid child = 0;
    if (!g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, DieWithParent,
                       nullptr, &child, &failure)) {
        *error = failure->message;
        g_error_free(failure);
        return false;
    }
    pid = child;
    stopping = false;
    childWatch = g_child_watch_add(child, Exited, this);
    return true;
}

void SaverChild::Stop() {
    if (!Running() || stopping) {
        return;
    }
    stopping = true;
    kill(pid, SIGTERM);
    killTimer = g_timeout_add_seconds(STOP_SECONDS, KillLate, this);
}

int SaverChild::KillLate(void* data) {
    auto* self = static_cast<SaverChild*>(data);
    self->killTimer = 0;
    if (self->Running()) {
        kill(self->pid, SIGKILL);
    }
    return G_SOURCE_REMOVE;
}

void SaverChild::Exited(int, int status, void* data) {
    auto* self = static_cast<SaverChild*>(data);
    const bool stopped = self->stopping;
    self->childWatch = 0; // GLib removes the watch after this call
    self->Forget();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (self->onExit) {
        self->onExit(code, stopped);
    }
}

void SaverChild::StopAndWait() {
    if (!Running()) {
        return;
    }
    if (childWatch != 0) {
        g_source_remove(childWatch); // reaped here instead
        childWatch = 0;
    }
    if (!stopping) {
        kill(pid, SIGTERM);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(STOP_SECONDS);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Forget();
}

void SaverChild::Forget() {
    if (killTimer != 0) {
        g_source_remove(killTimer);
        killTimer = 0;
    }
    if (pid > 0) {
        g_spawn_close_pid(pid);
    }
    pid = 0;
    stopping = false;
}

// The data directory list and the home directory: where "@" names are
// looked up and where the game writes. The list is built once from the
// environment and the program's own location, and forgotten by vfs_reset.
//
// Entry 0 is the home directory: $XDG_DATA_HOME/Quorvin/, or
// $HOME/.local/share/Quorvin/. Then $QV_HOME/ when set (and the list ends),
// or else the directory holding the executable. An entry whose path cannot
// be found is skipped, so the next one moves up and may become the home.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/vfs_internal.h"

enum { VFS_EXE_PATH_MAX = 4096 };

static char *g_dirs[VFS_MAX_DATA_DIRS];   // built on first use, freed by vfs_dirs_free
static int g_dir_count;
static bool g_dirs_built;

void vfs_collapse_slashes(char *text) {
    if (!text) return;
    char *out = text;
    for (const char *in = text; *in; in++) {
        if (*in == '/' && out > text && out[-1] == '/') continue;
        *out++ = *in;
    }
    *out = 0;
}

// Concatenates a and b, turns "\" into "/" and collapses "/" runs. A missing
// first part gives no path.
static char *vfs_join(const char *a, const char *b) {
    if (!a) return nullptr;
    size_t la = strlen(a), lb = strlen(b);
    char *path = (char *)malloc(la + lb + 1);
    if (!path) return nullptr;
    memcpy(path, a, la);
    memcpy(path + la, b, lb + 1);
    for (char *p = path; *p; p++) {
        if (*p == '\\') *p = '/';
    }
    vfs_collapse_slashes(path);
    return path;
}

static void vfs_dirs_add(char *path) {
    if (path && g_dir_count < VFS_MAX_DATA_DIRS) g_dirs[g_dir_count++] = path;
    else free(path);
}

// Empty variables count as unset: an empty QV_HOME would otherwise make the
// file system root a data directory and the index would walk all of it.
static const char *vfs_env(const char *name) {
    const char *value = getenv(name);
    return value && *value ? value : nullptr;
}

static char *vfs_exe_dir() {
    char exe[VFS_EXE_PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
    if (n <= 0 || (size_t)n >= sizeof exe) return nullptr;   // a full buffer may be cut short
    exe[n] = 0;
    char *slash = strrchr(exe, '/');
    if (!slash) return nullptr;
    *slash = 0;
    return vfs_join(exe, "/");
}

static void vfs_dirs_build() {
    if (g_dirs_built) return;
    g_dirs_built = true;
    g_dir_count = 0;

    if (const char *xdg = vfs_env("XDG_DATA_HOME")) vfs_dirs_add(vfs_join(xdg, "/Quorvin/"));
    else if (const char *home = vfs_env("HOME")) vfs_dirs_add(vfs_join(home, "/.local/share/Quorvin/"));

    if (const char *qv_home = vfs_env("QV_HOME")) {
        vfs_dirs_add(vfs_join(qv_home, "/"));
        return;
    }
    vfs_dirs_add(vfs_exe_dir());
}

void vfs_dirs_free() {
    for (int i = 0; i < g_dir_count; i++) {
        free(g_dirs[i]);
        g_dirs[i] = nullptr;
    }
    g_dir_count = 0;
    g_dirs_built = false;
}

const char *vfs_data_dir(int i) {
    vfs_dirs_build();
    return i >= 0 && i < g_dir_count ? g_dirs[i] : nullptr;
}

int vfs_data_dir_count() {
    vfs_dirs_build();
    return g_dir_count;
}

bool vfs_mode_read_only(const char *mode) {
    return strchr(mode, 'r') && !strchr(mode, '+');
}

void vfs_make_dirs(const char *path) {
    size_t n = strlen(path);
    char *text = (char *)malloc(n + 1);
    if (!text) return;
    memcpy(text, path, n + 1);
    for (size_t i = 1; i < n; i++) {
        if (text[i] != '/') continue;
        text[i] = 0;
        mkdir(text, 0777);
        text[i] = '/';
    }
    free(text);
}

// Runs in the forked child only: from here on nothing but async-signal-safe
// calls. A second fork hands the browser to init, so no zombie is left and
// the caller need not wait for it. An exec failure is reported through the
// pipe; a successful exec closes the pipe (close-on-exec).
[[noreturn]] static void vfs_browser_child(const char *dir, int report) {
    pid_t pid = fork();
    if (pid != 0) {
        if (pid < 0) {
            int error = errno;
            if (write(report, &error, sizeof error) < 0) _exit(1);
            _exit(1);
        }
        _exit(0);
    }
    setsid();
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) close(null);
    }
    execlp("xdg-open", "xdg-open", dir, (char *)nullptr);
    int error = errno;
    if (write(report, &error, sizeof error) < 0) _exit(127);
    _exit(127);
}

static bool vfs_start_browser(const char *dir) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (pid == 0) {
        close(report[0]);
        vfs_browser_child(dir, report[1]);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool vfs_open_home_folder() {
    const char *home = vfs_data_dir(0);
    if (!home) return false;
    vfs_make_dirs(home);
    size_t n = strlen(home);
    char *dir = (char *)malloc(n + 1);
    if (!dir) return false;
    memcpy(dir, home, n + 1);
    while (n > 1 && dir[n - 1] == '/') dir[--n] = 0;
    bool started = vfs_start_browser(dir);
    free(dir);
    return started;
}

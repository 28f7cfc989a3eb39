// desktop-session: the test desktop for scripts (the screenshots, the benchmarks). Starts it as
// asked, runs the command inside it (DISPLAY, XDG_RUNTIME_DIR and the bus address set) and ends
// it all when the command ends, with the command's exit code.
//   desktop-session [--size WxH[xDEPTH]] [--heads WxH,WxH...] [--wm] [--tray] [--compositor]
//                   [--bus] -- command...
// --heads makes the display a nested server of several monitors side by side.

#include "DesktopSession.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: desktop-session [--size WxH[xDEPTH]] [--heads WxH,WxH...] [--wm] "
                         "[--tray] [--compositor] [--bus] -- command [argument...]\n");
    return 2;
}

bool ParseSize(const char* text, scenaria::testing::TDesktopOptions& options)
{
    int width = 0, height = 0, depth = 24;
    char tail = 0;
    const int n = std::sscanf(text, "%dx%dx%d%c", &width, &height, &depth, &tail);
    if ((n != 2 && n != 3) || width < 64 || height < 64 || width > 8192 || height > 8192 ||
        (depth != 16 && depth != 24))
        return false;
    options.Width = width;
    options.Height = height;
    options.Depth = depth;
    return true;
}

bool ParseHeads(const std::string& text, scenaria::testing::TDesktopOptions& options)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int width = 0, height = 0;
        char tail = 0;
        if (std::sscanf(text.substr(start, comma - start).c_str(), "%dx%d%c", &width, &height,
                        &tail) != 2 ||
            width < 64 || height < 64 || width > 8192 || height > 8192)
            return false;
        options.Heads.emplace_back(width, height);
        start = comma + 1;
    }
    return !options.Heads.empty();
}

} // namespace

int main(int argc, char** argv)
{
    scenaria::testing::TDesktopOptions options;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (!ParseSize(argv[++i], options))
                return Usage();
        } else if (arg == "--heads" && i + 1 < argc) {
            if (!ParseHeads(argv[++i], options))
                return Usage();
        } else if (arg == "--wm") {
            options.WindowManager = true;
        } else if (arg == "--tray") {
            options.Tray = true;
        } else if (arg == "--compositor") {
            options.Compositor = true;
        } else if (arg == "--bus") {
            options.Bus = true;
        } else {
            return Usage();
        }
    }
    if (i + 1 >= argc)
        return Usage();
    scenaria::testing::TScopedEnv env;
    for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK", "DBUS_SESSION_BUS_ADDRESS"})
        env.Unset(name);
    const scenaria::testing::TDesktopSession session(env, options);
    if (!session.Ready()) {
        std::fprintf(stderr, "desktop-session: %s\n", session.Error().c_str());
        return 1;
    }
    const std::vector<std::string> command(argv + i + 1, argv + argc);
    scenaria::testing::TBackgroundProgram program(command);
    const std::optional<int> code = program.WaitFor(std::chrono::hours(24 * 365));
    return code ? *code : 1;
}

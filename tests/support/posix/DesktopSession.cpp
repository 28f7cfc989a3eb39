#include "DesktopSession.h"

#include "RunProgram.h"

#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace scenaria::testing {

using namespace std::chrono_literals;

namespace {

bool Installed(const std::string& name)
{
    const std::string command = "command -v '" + name + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string Missing(const std::string& name, const std::string& package)
{
    return name + " is missing: install the Debian package " + package;
}

TRgb RgbOf(unsigned long value)
{
    return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
            static_cast<int>(value & 0xFF)};
}

} // namespace

TDesktopSession::TDesktopSession(TScopedEnv& env, const TDesktopOptions& options)
    : options_(options)
{
    if (!StartServer())
        return;
    env.Set("DISPLAY", display_);
    // A runtime folder of the session's own: the program's single-instance lock and Qt's own
    // files live there, never in the user's.
    std::filesystem::permissions(runtime_.Path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    env.Set("XDG_RUNTIME_DIR", runtime_.Path().string());
    if (options_.Bus && !StartBus(env))
        return;
    if (options_.WindowManager && !StartWindowManager())
        return;
    if (options_.Tray && !StartTray())
        return;
    if (options_.Compositor && !StartCompositor())
        return;
}

TDesktopSession::~TDesktopSession()
{
    compositor_.reset();
    tray_.reset();
    windowManager_.reset();
    if (x_)
        XCloseDisplay(x_);
    bus_.reset();
    nested_.reset();
    server_.reset();
}

// A program of the desktop, started; nothing (and the reason in error_) when it is not
// installed or does not start.
std::unique_ptr<TChild> TDesktopSession::Launch(const std::string& package,
                                                const std::vector<std::string>& argv,
                                                bool keepStdout)
{
    if (!Installed(argv[0])) {
        error_ = Missing(argv[0], package);
        return nullptr;
    }
    auto child = std::make_unique<TChild>(argv, keepStdout);
    if (!child->Started()) {
        error_ = child->Error();
        return nullptr;
    }
    return child;
}

bool TDesktopSession::StartServer()
{
    const std::string screen = std::to_string(options_.Width) + "x" +
                               std::to_string(options_.Height) + "x" +
                               std::to_string(options_.Depth);
    server_ = Launch("xvfb",
                     std::vector<std::string>{"Xvfb", "-displayfd", "1", "-noreset", "-nolisten",
                                              "tcp", "-screen", "0", screen},
                     true);
    if (!server_ || !TakeDisplay(*server_, "Xvfb"))
        return false;
    if (!options_.Heads.empty() && !StartHeads())
        return false;
    x_ = XOpenDisplay(display_.c_str());
    if (!x_) {
        error_ = "cannot open the display " + display_;
        return false;
    }
    // Windows come and go while the tree is walked (a menu closing, a dialog opening); asking
    // about one that has just gone is not a reason to end the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return true;
}

bool TDesktopSession::StartHeads()
{
    if (!Installed("Xephyr")) {
        error_ = Missing("Xephyr", "xserver-xephyr");
        return false;
    }
    std::vector<std::string> argv = {"env",      "DISPLAY=" + display_, "Xephyr", "-displayfd", "1",
                                     "-noreset", "-nolisten",           "tcp",    "+xinerama"};
    for (const auto& [width, height] : options_.Heads) {
        argv.push_back("-screen");
        argv.push_back(std::to_string(width) + "x" + std::to_string(height));
    }
    nested_ = Launch("coreutils", argv, true);
    return nested_ && TakeDisplay(*nested_, "Xephyr");
}

bool TDesktopSession::TakeDisplay(TChild& server, const std::string& name)
{
    // -displayfd 1: the server writes the number it found free once it listens.
    const auto number = server.ReadLine(20000);
    if (!number || number->empty()) {
        error_ = name + " did not start";
        return false;
    }
    display_ = ":" + *number;
    return true;
}

bool TDesktopSession::StartBus(TScopedEnv& env)
{
    bus_ = Launch("dbus-daemon",
                  std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                           "--print-address=1"},
                  true);
    if (!bus_)
        return false;
    const auto address = bus_->ReadLine(20000);
    if (!address || address->empty()) {
        error_ = "dbus-daemon printed no address";
        return false;
    }
    busAddress_ = *address;
    env.Set("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    return true;
}

bool TDesktopSession::StartWindowManager()
{
    // openbox with its defaults, not the user's configuration, and no session autostart. An
    // empty file would not do: openbox puts up a window about it.
    const std::string config =
        runtime_.Write("openbox-rc.xml", "<?xml version=\"1.0\"?>\n"
                                         "<openbox_config xmlns=\"http://openbox.org/3.4/rc\"/>\n");
    windowManager_ =
        Launch("openbox",
               std::vector<std::string>{"openbox", "--sm-disable", "--config-file", config}, false);
    if (!windowManager_)
        return false;
    const Atom check = XInternAtom(x_, "_NET_SUPPORTING_WM_CHECK", False);
    const bool managing = PollUntil(15000, [&] {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool has =
            XGetWindowProperty(x_, DefaultRootWindow(x_), check, 0, 1, False, AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            count > 0;
        if (data)
            XFree(data);
        return has;
    });
    if (!managing)
        error_ = "openbox did not start managing the display";
    return managing;
}

bool TDesktopSession::StartTray()
{
    if (!x_) // the server never came up; Error() says why
        return false;
    tray_ =
        Launch("trayer",
               std::vector<std::string>{"trayer", "--edge", "top", "--align", "right",
                                        "--widthtype", "pixel", "--width", "100", "--height", "32"},
               false);
    if (!tray_)
        return false;
    if (!WaitForSelection("_NET_SYSTEM_TRAY_S0", 10000)) {
        error_ = "trayer did not take the notification area";
        return false;
    }
    return true;
}

bool TDesktopSession::StartCompositor()
{
    if (!x_) // the server never came up; Error() says why
        return false;
    compositor_ = Launch("xcompmgr", std::vector<std::string>{"xcompmgr"}, false);
    if (!compositor_)
        return false;
    if (!WaitForSelection("_NET_WM_CM_S0", 5000)) {
        error_ = "xcompmgr did not start";
        return false;
    }
    return true;
}

void TDesktopSession::StopCompositor()
{
    compositor_.reset();
    PollUntil(5000, [&] {
        return XGetSelectionOwner(x_, XInternAtom(x_, "_NET_WM_CM_S0", False)) == None;
    });
}

bool TDesktopSession::WaitForSelection(const std::string& name, int timeoutMs) const
{
    const Atom selection = XInternAtom(x_, name.c_str(), False);
    return PollUntil(timeoutMs, [&] { return XGetSelectionOwner(x_, selection) != None; });
}

TRgb TDesktopSession::Pixel(int x, int y) const
{
    XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return {-1, -1, -1};
    const TRgb c = RgbOf(XGetPixel(image, 0, 0));
    XDestroyImage(image);
    return c;
}

std::vector<TRgb> TDesktopSession::Pixels(int x, int y, int width, int height) const
{
    std::vector<TRgb> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            pixels.push_back(RgbOf(XGetPixel(image, column, row)));
    XDestroyImage(image);
    return pixels;
}

bool TDesktopSession::WaitForPixel(int x, int y, const TRgb& colour, int timeoutMs) const
{
    return PollUntil(timeoutMs, [&] { return Pixel(x, y) == colour; });
}

std::vector<TWindowSeen> TDesktopSession::Windows(const std::string& resName) const
{
    std::vector<TWindowSeen> found;
    Collect(DefaultRootWindow(x_), true, resName, found);
    return found;
}

void TDesktopSession::Collect(Window window, bool topLevel, const std::string& resName,
                              std::vector<TWindowSeen>& found) const
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x_, window, &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        XClassHint hint{};
        bool ours = false;
        if (XGetWindowAttributes(x_, children[i], &attributes) &&
            attributes.map_state == IsViewable && XGetClassHint(x_, children[i], &hint)) {
            ours = hint.res_name && resName == hint.res_name;
            if (ours) {
                int x = 0, y = 0;
                Window child = 0;
                XTranslateCoordinates(x_, children[i], DefaultRootWindow(x_), 0, 0, &x, &y, &child);
                found.push_back({children[i], x, y, attributes.width, attributes.height, topLevel});
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        // A window manager's frame has no class of its own: what it holds is still top level.
        // Anything below another program's window (a tray icon in trayer's panel) is not.
        const bool frame = topLevel && !ours && hint.res_name == nullptr;
        Collect(children[i], frame, resName, found);
    }
    if (children)
        XFree(children);
}

std::string TDesktopSession::Title(Window window) const
{
    const Atom name = XInternAtom(x_, "_NET_WM_NAME", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(x_, window, name, 0, 1024, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return title;
}

std::vector<TWindowSeen> TDesktopSession::Windows(const std::string& resName,
                                                  const std::string& title) const
{
    std::vector<TWindowSeen> found;
    for (const TWindowSeen& w : Windows(resName))
        if (w.TopLevel && Title(w.Id) == title)
            found.push_back(w);
    return found;
}

std::optional<TWindowSeen> TDesktopSession::WaitForWindow(const std::string& resName,
                                                          const std::string& title,
                                                          int timeoutMs) const
{
    std::optional<TWindowSeen> seen;
    PollUntil(timeoutMs, [&] {
        const auto found = Windows(resName, title);
        if (!found.empty())
            seen = found.front();
        return seen.has_value();
    });
    return seen;
}

bool TDesktopSession::WaitForWindowGone(const std::string& resName, const std::string& title,
                                        int timeoutMs) const
{
    return PollUntil(timeoutMs, [&] { return Windows(resName, title).empty(); });
}

std::optional<TWindowSeen> TDesktopSession::WaitForTrayIcon(const std::string& resName,
                                                            int timeoutMs) const
{
    std::optional<TWindowSeen> seen;
    PollUntil(timeoutMs, [&] {
        for (const TWindowSeen& w : Windows(resName))
            if (!w.TopLevel) {
                seen = w;
                return true;
            }
        return false;
    });
    return seen;
}

bool TDesktopSession::Xdotool(const std::vector<std::string>& args, std::string* error) const
{
    if (!Installed("xdotool")) {
        if (error)
            *error = Missing("xdotool", "xdotool");
        return false;
    }
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const TRunResult r = RunProgram(argv);
    if (r.ExitCode != 0 && error)
        *error = r.Err;
    return r.ExitCode == 0;
}

bool TDesktopSession::Click(int x, int y, int button) const
{
    return Xdotool({"mousemove", std::to_string(x), std::to_string(y)}) &&
           Xdotool({"click", std::to_string(button)});
}

TProgramCopy::TProgramCopy(const std::string& program) : name_(program)
{
    std::filesystem::copy_file(BuiltProgram(program), dir_ / name_);
}

std::unique_ptr<TBackgroundProgram>
TProgramCopy::Start(const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv) const
{
    std::vector<std::string> argv{Program()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env{"QT_QPA_PLATFORM=xcb"};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return std::make_unique<TBackgroundProgram>(argv, env);
}

} // namespace scenaria::testing

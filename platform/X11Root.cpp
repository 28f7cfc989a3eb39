#include "platform/X11Root.h"

#include "platform/desktop/Backends.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
// Xlib's status macro would shadow TPlatformStatus::Success.
constexpr int XlibSuccess = Success;
#undef Success

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace scenaria {
namespace {

// Xlib reports protocol errors to one process-wide handler, whose default ends the process.
// While this code talks to its own connection, errors are counted instead; the handler that
// was there before (Qt's, say) is put back afterwards.
int trappedErrors = 0;
unsigned char firstErrorCode = 0;

int TrapError(Display*, XErrorEvent* event)
{
    if (trappedErrors++ == 0)
        firstErrorCode = event->error_code;
    return 0;
}

class TErrorTrap {
public:
    TErrorTrap() : previous_(XSetErrorHandler(TrapError)) { trappedErrors = 0; }
    ~TErrorTrap() { XSetErrorHandler(previous_); }
    TErrorTrap(const TErrorTrap&) = delete;
    TErrorTrap& operator=(const TErrorTrap&) = delete;

    // Errors so far, after the server has answered everything sent on the connection.
    bool Failed(Display* display) const
    {
        XSync(display, False);
        return trappedErrors != 0;
    }
    std::string Describe(Display* display) const
    {
        char text[256] = {};
        XGetErrorText(display, firstErrorCode, text, sizeof text);
        return text;
    }
    void Reset() { trappedErrors = 0; }

private:
    XErrorHandler previous_;
};

class TDisplay {
public:
    explicit TDisplay(const std::string& name)
        : display_(XOpenDisplay(name.empty() ? nullptr : name.c_str()))
    {
    }
    ~TDisplay()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    TDisplay(const TDisplay&) = delete;
    TDisplay& operator=(const TDisplay&) = delete;
    Display* Get() const { return display_; }

private:
    Display* display_;
};

// A channel value (0-255) placed into a visual's colour mask.
unsigned long ToMask(unsigned value, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                     : static_cast<unsigned long>(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

// The picture's pixels in the image's format. Each channel is looked up once per level rather
// than per pixel, and the common 32-bit pixels in this machine's byte order are stored whole:
// XPutPixel for every pixel of a large screen costs more than decoding the picture did.
void ComposeRootRow(const TRgbPicture& picture, bool tiled, int screenWidth, int screenHeight,
                    int y, std::uint8_t* target);

// A band of the screen's picture, from screen row firstRow on, in the image's format, a row
// at a time. Each channel is looked up once per level rather than per pixel, and the common
// 32-bit pixels in this machine's byte order are stored whole: XPutPixel for every pixel of a
// large screen costs more than decoding the picture did.
void FillImage(XImage* image, const Visual& visual, const TRgbPicture& picture, bool tiled,
               int screenHeight, int firstRow)
{
    unsigned long red[256], green[256], blue[256];
    for (unsigned v = 0; v < 256; ++v) {
        red[v] = ToMask(v, visual.red_mask);
        green[v] = ToMask(v, visual.green_mask);
        blue[v] = ToMask(v, visual.blue_mask);
    }
    const int nativeOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    const bool whole = image->bits_per_pixel == 32 && image->byte_order == nativeOrder;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(image->width) * 3);
    for (int y = 0; y < image->height; ++y) {
        ComposeRootRow(picture, tiled, image->width, screenHeight, firstRow + y, line.data());
        const std::uint8_t* source = line.data();
        auto* row = reinterpret_cast<std::uint32_t*>(
            image->data +
            static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_per_line));
        for (int x = 0; x < image->width; ++x, source += 3) {
            const unsigned long pixel = red[source[0]] | green[source[1]] | blue[source[2]];
            if (whole)
                row[x] = static_cast<std::uint32_t>(pixel);
            else
                XPutPixel(image, x, y, pixel);
        }
    }
}

Pixmap ReadPixmapProperty(Display* display, Window root, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, root, property, 0, 1, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == XlibSuccess &&
        type == XA_PIXMAP && format == 32 && count == 1 && data)
        pixmap = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pixmap;
}

class TX11Backend : public IDesktopBackend {
public:
    explicit TX11Backend(std::string displayName) : displayName_(std::move(displayName)) {}

    TDesktopKind Kind() const override { return dkX11; }
    bool TakesFileName() const override { return false; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        const TScreenFacts screen = X11ScreenFacts(displayName_);
        if (screen.Width <= 0 || screen.Height <= 0)
            return TPlatformStatus::Failure("X11: cannot open display \"" + displayName_ + "\"");
        TRgbPicture picture;
        std::string error;
        // Stretching reaches this backend only when it stands in for a desktop program that
        // would have stretched the picture itself.
        const bool loaded =
            style == wsStretch
                ? LoadStretchedRgbPicture(file, screen.Width, screen.Height, picture, error)
                : LoadRgbPicture(file, style == wsTile, screen.Width, screen.Height, picture,
                                 error);
        if (!loaded)
            return TPlatformStatus::Failure("X11: " + error);
        return SetRootPicture(displayName_, picture, style == wsTile);
    }

private:
    std::string displayName_;
};

} // namespace

TPictureRegion VisibleRegion(int width, int height, bool tiled, int screenWidth, int screenHeight)
{
    TPictureRegion region{0, 0, std::min(width, screenWidth), std::min(height, screenHeight)};
    if (!tiled) {
        // The same offsets as the composition's, which are negative for a larger picture.
        region.Left = width > screenWidth ? -((screenWidth - width) / 2) : 0;
        region.Top = height > screenHeight ? -((screenHeight - height) / 2) : 0;
    }
    region.Width = std::max(region.Width, 0);
    region.Height = std::max(region.Height, 0);
    return region;
}

namespace {

// Row y of the screen's picture (screenWidth pixels of red, green, blue): the picture tiled from
// the top left, or centred on black.
void ComposeRootRow(const TRgbPicture& picture, bool tiled, int screenWidth, int screenHeight,
                    int y, std::uint8_t* target)
{
    std::fill(target, target + static_cast<std::size_t>(screenWidth) * 3, 0);
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() < static_cast<std::size_t>(picture.Width) * picture.Height * 3)
        return;
    const auto sourceRow = [&](int row) {
        return picture.Pixels.data() + static_cast<std::size_t>(row) * picture.Width * 3;
    };
    if (tiled) {
        const std::uint8_t* source = sourceRow(y % picture.Height);
        for (int x = 0; x < screenWidth; ++x) {
            const std::uint8_t* pixel = source + static_cast<std::size_t>(x % picture.Width) * 3;
            target[x * 3] = pixel[0];
            target[x * 3 + 1] = pixel[1];
            target[x * 3 + 2] = pixel[2];
        }
        return;
    }
    // Offsets of the picture on the screen; negative when it is larger.
    const int left = (screenWidth - picture.Width) / 2;
    const int top = (screenHeight - picture.Height) / 2;
    if (y < top || y >= top + picture.Height)
        return;
    const int fromX = std::max(0, left);
    const int toX = std::min(screenWidth, left + picture.Width);
    if (fromX >= toX)
        return;
    const std::uint8_t* source = sourceRow(y - top) + static_cast<std::size_t>(fromX - left) * 3;
    std::copy(source, source + static_cast<std::size_t>(toX - fromX) * 3,
              target + static_cast<std::size_t>(fromX) * 3);
}

} // namespace

TRgbPicture ComposeRootPicture(const TRgbPicture& picture, bool tiled, int screenWidth,
                               int screenHeight)
{
    TRgbPicture screen;
    if (screenWidth <= 0 || screenHeight <= 0)
        return screen;
    screen.Width = screenWidth;
    screen.Height = screenHeight;
    screen.Pixels.assign(static_cast<std::size_t>(screenWidth) * screenHeight * 3, 0);
    for (int y = 0; y < screenHeight; ++y)
        ComposeRootRow(picture, tiled, screenWidth, screenHeight, y,
                       screen.Pixels.data() + static_cast<std::size_t>(y) * screenWidth * 3);
    return screen;
}

TPlatformStatus SetRootPicture(const std::string& displayName, const TRgbPicture& picture,
                               bool tiled)
{
    TDisplay connection(displayName);
    Display* display = connection.Get();
    if (!display)
        return TPlatformStatus::Failure("X11: cannot open display \"" + displayName + "\"");
    TErrorTrap trap;
    const int screenNumber = DefaultScreen(display);
    const Window root = RootWindow(display, screenNumber);
    Visual* visual = DefaultVisual(display, screenNumber);
    const int depth = DefaultDepth(display, screenNumber);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return TPlatformStatus::Failure("X11: only true-colour screens are painted");
    Window ignoredRoot;
    int ignoredX, ignoredY;
    unsigned width = 0, height = 0, border = 0, rootDepth = 0;
    if (!XGetGeometry(display, root, &ignoredRoot, &ignoredX, &ignoredY, &width, &height, &border,
                      &rootDepth) ||
        width == 0 || height == 0 || width > 32767 || height > 32767)
        return TPlatformStatus::Failure("X11: cannot ask the root window's size");

    // The pixmap is sent in bands of rows: the screen's picture is never held whole here,
    // beside the bitmap it is made from.
    constexpr unsigned BandRows = 64;
    const unsigned band = std::min(BandRows, height);
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 width, band, 32, 0);
    if (!image)
        return TPlatformStatus::Failure("X11: cannot make an image of the screen's size");
    const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * band;
    image->data = static_cast<char*>(std::calloc(bytes, 1));
    if (!image->data) {
        XDestroyImage(image);
        return TPlatformStatus::Failure("X11: not enough memory for the screen's picture");
    }
    const Pixmap pixmap = XCreatePixmap(display, root, width, height, static_cast<unsigned>(depth));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    for (unsigned top = 0; top < height; top += band) {
        const unsigned rows = std::min(band, height - top);
        image->height = static_cast<int>(rows);
        FillImage(image, *visual, picture, tiled, static_cast<int>(height), static_cast<int>(top));
        XPutImage(display, pixmap, gc, image, 0, 0, 0, static_cast<int>(top), width, rows);
    }
    XFreeGC(display, gc);
    XDestroyImage(image);
    if (trap.Failed(display)) {
        const std::string reason = trap.Describe(display);
        XFreePixmap(display, pixmap);
        XSync(display, False);
        return TPlatformStatus::Failure("X11: cannot make the root pixmap: " + reason);
    }

    // Free the previous setter's pixmap: it was kept alive by its retained client, which only
    // holds it when both properties agree (the convention of the Esetroot family).
    const Atom rootAtom = XInternAtom(display, "_XROOTPMAP_ID", True);
    const Atom esetrootAtom = XInternAtom(display, "ESETROOT_PMAP_ID", True);
    if (rootAtom != None && esetrootAtom != None) {
        const Pixmap previous = ReadPixmapProperty(display, root, rootAtom);
        if (previous != None && previous == ReadPixmapProperty(display, root, esetrootAtom)) {
            XKillClient(display, previous);
            // A client that is gone already is no failure of this call.
            trap.Failed(display);
            trap.Reset();
        }
    }

    const Atom rootProperty = XInternAtom(display, "_XROOTPMAP_ID", False);
    const Atom esetrootProperty = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    const unsigned long id = pixmap;
    XChangeProperty(display, root, rootProperty, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&id), 1);
    XChangeProperty(display, root, esetrootProperty, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&id), 1);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    if (trap.Failed(display)) {
        const std::string reason = trap.Describe(display);
        XFreePixmap(display, pixmap);
        XSync(display, False);
        return TPlatformStatus::Failure("X11: cannot set the root window's background: " + reason);
    }
    // The pixmap must outlive this connection: the server keeps the client's resources.
    XSetCloseDownMode(display, RetainPermanent);
    XSync(display, False);
    return TPlatformStatus::Success();
}

bool X11CompositingActive(const std::string& displayName)
{
    TDisplay connection(displayName);
    Display* display = connection.Get();
    if (!display)
        return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False)) != None;
}

TScreenFacts X11ScreenFacts(const std::string& displayName)
{
    TScreenFacts facts;
    TDisplay connection(displayName);
    Display* display = connection.Get();
    if (!display)
        return facts;
    TErrorTrap trap;
    Window root = DefaultRootWindow(display);
    Window ignoredRoot;
    int ignoredX, ignoredY;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(display, root, &ignoredRoot, &ignoredX, &ignoredY, &width, &height, &border,
                     &depth) &&
        !trap.Failed(display)) {
        facts.Width = static_cast<int>(width);
        facts.Height = static_cast<int>(height);
        // X has one plane of `depth` bits.
        facts.BitsPerPixel = static_cast<int>(depth);
    }
    return facts;
}

namespace {

int RotationDegrees(Rotation rotation)
{
    if (rotation & RR_Rotate_90)
        return 90;
    if (rotation & RR_Rotate_180)
        return 180;
    if (rotation & RR_Rotate_270)
        return 270;
    return 0;
}

// The rotation of the CRTC that drives the monitor's first output.
int MonitorRotation(Display* display, XRRScreenResources* resources, const XRRMonitorInfo& m)
{
    if (!resources || m.noutput < 1)
        return 0;
    int degrees = 0;
    if (XRROutputInfo* output = XRRGetOutputInfo(display, resources, m.outputs[0])) {
        if (output->crtc != None)
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc)) {
                degrees = RotationDegrees(crtc->rotation);
                XRRFreeCrtcInfo(crtc);
            }
        XRRFreeOutputInfo(output);
    }
    return degrees;
}

std::vector<TMonitor> RandrMonitors(Display* display)
{
    std::vector<TMonitor> monitors;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 105)
        return monitors;
    const Window root = DefaultRootWindow(display);
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
    if (!info)
        return monitors;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    for (int i = 0; i < count; ++i) {
        TMonitor m;
        if (char* name = XGetAtomName(display, info[i].name)) {
            m.Name = name;
            XFree(name);
        }
        m.X = info[i].x;
        m.Y = info[i].y;
        m.Width = info[i].width;
        m.Height = info[i].height;
        m.Primary = info[i].primary != 0;
        m.Rotation = MonitorRotation(display, resources, info[i]);
        if (m.Width > 0 && m.Height > 0)
            monitors.push_back(m);
    }
    if (resources)
        XRRFreeScreenResources(resources);
    XRRFreeMonitors(info);
    return monitors;
}

std::vector<TMonitor> XineramaMonitors(Display* display)
{
    std::vector<TMonitor> monitors;
    int event = 0, error = 0;
    if (!XineramaQueryExtension(display, &event, &error) || !XineramaIsActive(display))
        return monitors;
    int count = 0;
    XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
    for (int i = 0; heads && i < count; ++i)
        if (heads[i].width > 0 && heads[i].height > 0)
            monitors.push_back(
                {"", heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height, i == 0, 0});
    if (heads)
        XFree(heads);
    return monitors;
}

} // namespace

void PrimaryFirst(std::vector<TMonitor>& monitors)
{
    const auto primary =
        std::find_if(monitors.begin(), monitors.end(), [](const TMonitor& m) { return m.Primary; });
    if (primary != monitors.end())
        std::rotate(monitors.begin(), primary, primary + 1);
    for (std::size_t i = 0; i < monitors.size(); ++i)
        monitors[i].Primary = i == 0;
}

std::vector<TMonitor> X11Monitors(const std::string& displayName)
{
    TDisplay connection(displayName);
    Display* display = connection.Get();
    if (!display)
        return {};
    TErrorTrap trap;
    std::vector<TMonitor> monitors = RandrMonitors(display);
    std::vector<TMonitor> heads = XineramaMonitors(display);
    if (heads.size() > monitors.size())
        monitors = std::move(heads);
    if (trap.Failed(display))
        return {};
    PrimaryFirst(monitors);
    return monitors;
}

namespace {

bool ClassNames(Display* display, Window window, const std::string& program)
{
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint))
        return false;
    const auto same = [&](const char* name) {
        if (!name || std::strlen(name) != program.size())
            return false;
        for (std::size_t i = 0; i < program.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(name[i])) !=
                std::tolower(static_cast<unsigned char>(program[i])))
                return false;
        return true;
    };
    const bool found = same(hint.res_name) || same(hint.res_class);
    XFree(hint.res_name);
    XFree(hint.res_class);
    return found;
}

bool IsDesktopWindow(Display* display, Window window, Atom typeAtom, Atom desktopAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool desktop = false;
    if (XGetWindowProperty(display, window, typeAtom, 0, 16, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == XlibSuccess &&
        type == XA_ATOM && format == 32 && data) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count && !desktop; ++i)
            desktop = atoms[i] == desktopAtom;
    }
    if (data)
        XFree(data);
    return desktop;
}

// The desktop window is a child of the root, or of the frame a window manager put around it;
// deeper windows are the programs' own insides.
bool FindDesktopWindow(Display* display, Window window, int depth, Atom typeAtom, Atom desktopAtom,
                       const std::string& program)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i)
        found = (IsDesktopWindow(display, children[i], typeAtom, desktopAtom) &&
                 ClassNames(display, children[i], program)) ||
                (depth > 1 && FindDesktopWindow(display, children[i], depth - 1, typeAtom,
                                                desktopAtom, program));
    if (children)
        XFree(children);
    return found;
}

} // namespace

std::optional<bool> HasDesktopWindowOf(const std::string& displayName, const std::string& program)
{
    TDisplay connection(displayName);
    Display* display = connection.Get();
    if (!display)
        return std::nullopt;
    // Windows may go while they are looked at; such an error only means "not that one".
    TErrorTrap trap;
    const Atom typeAtom = XInternAtom(display, "_NET_WM_WINDOW_TYPE", True);
    const Atom desktopAtom = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP", True);
    // Atoms nobody has made yet: no window can carry them.
    if (typeAtom == None || desktopAtom == None)
        return false;
    const bool found =
        FindDesktopWindow(display, DefaultRootWindow(display), 2, typeAtom, desktopAtom, program);
    trap.Failed(display);
    return found;
}

std::unique_ptr<IDesktopBackend> CreateX11Backend(const std::string& displayName)
{
    return std::make_unique<TX11Backend>(displayName);
}

bool TRootFallback::Needed()
{
    const bool needed =
        !displayName_.empty() && HasDesktopWindowOf(displayName_, program_) == false;
    if (!needed)
        said_ = false;
    return needed;
}

TPlatformStatus TRootFallback::Apply(const std::string& file, TWallpaperStyle style)
{
    if (!said_)
        std::fprintf(stderr,
                     "scenarix: %s: %s is not drawing the desktop; the picture goes on the X "
                     "root window\n",
                     DesktopName(kind_), program_.c_str());
    said_ = true;
    if (!root_)
        root_ = CreateX11Backend(displayName_);
    return root_->Apply(file, style);
}

} // namespace scenaria

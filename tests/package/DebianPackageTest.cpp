// The Debian package `cmake --build build --target package` makes (the fixture package_deb makes
// it before these tests): what it holds, and the package installed on this very system with
// dpkg, its programs started from /usr/bin, and removed again without a trace.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include "BackgroundProgram.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "platform/PlatformTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace scenaria {
namespace {

using namespace std::chrono_literals;
using testing::ReadFile;
using testing::RunProgram;
using testing::TBackgroundProgram;
using testing::TChild;
using testing::TRunResult;
using testing::TTempDir;
namespace fs = std::filesystem;

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::string ProjectVersion()
{
    const std::string lists = ReadFile(testing::SourceFolder() + "/CMakeLists.txt");
    std::smatch match;
    if (!std::regex_search(lists, match, std::regex("project\\(Scenaria VERSION ([0-9.]+)")))
        return {};
    return match[1];
}

// The package this build made: scenaria_<version>_<architecture>.deb in the build folder.
std::string PackageFile()
{
    const auto arch = RunProgram({"dpkg", "--print-architecture"});
    return testing::BinaryFolder() + "/scenaria_" + ProjectVersion() + "_" + Trimmed(arch.Out) +
           ".deb";
}

// Every file and link below root, as absolute paths of the installed system.
std::set<std::string> FilesBelow(const fs::path& root)
{
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory() || entry.is_symlink())
            files.insert("/" + fs::relative(entry.path(), root).string());
    return files;
}

// What the package must hold, and nothing else: the help set is every file of docs/help.
std::set<std::string> ExpectedFiles()
{
    std::set<std::string> files{"/usr/bin/scenarix",
                                "/usr/bin/scenarix-tool",
                                "/usr/share/applications/org.scenaria.Scenaria.desktop",
                                "/usr/share/metainfo/org.scenaria.Scenaria.metainfo.xml",
                                "/usr/share/icons/hicolor/256x256/apps/scenaria.png",
                                "/usr/share/icons/hicolor/64x64/apps/scenaria.png",
                                "/usr/share/man/man1/scenarix.1.gz",
                                "/usr/share/man/man1/scenarix-tool.1.gz",
                                "/usr/share/bash-completion/completions/scenarix-tool"};
    for (const auto& entry : fs::directory_iterator(testing::SourceFolder() + "/docs/help"))
        files.insert("/usr/share/scenaria/help/" + entry.path().filename().string());
    return files;
}

bool RequireTools()
{
    return testing::RequireProgram("dpkg-deb", "dpkg") &&
           testing::RequireProgram("appstreamcli", "appstream") &&
           testing::RequireProgram("readelf", "binutils") &&
           testing::RequireProgram("desktop-file-validate", "desktop-file-utils") &&
           testing::RequireProgram("gzip", "gzip");
}

TEST(DebianPackage, HoldsTheProgramsTheirDocumentsAndNothingElse)
{
    ASSERT_TRUE(RequireTools());
    const std::string deb = PackageFile();
    ASSERT_TRUE(fs::exists(deb)) << deb << " is missing: cmake --build build --target package";

    TTempDir dir;
    const auto unpacked = RunProgram({"dpkg-deb", "-x", deb, dir / "root"});
    ASSERT_EQ(unpacked.ExitCode, 0) << unpacked.Err;
    EXPECT_EQ(FilesBelow(dir.Path() / "root"), ExpectedFiles());

    // The manual pages are the hand-written ones, compressed.
    for (const char* page : {"scenarix.1", "scenarix-tool.1"}) {
        const auto r = RunProgram(
            {"gzip", "-dc", dir / ("root/usr/share/man/man1/" + std::string(page) + ".gz")});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Out, ReadFile(testing::SourceFolder() + "/docs/man/" + page)) << page;
    }
    // The programs come without the build's debugging information.
    for (const char* program : {"scenarix", "scenarix-tool"}) {
        const auto sections =
            RunProgram({"readelf", "-S", "-W", dir / ("root/usr/bin/" + std::string(program))});
        EXPECT_EQ(sections.ExitCode, 0) << sections.Err;
        EXPECT_EQ(sections.Out.find(".debug_info"), std::string::npos) << program;
    }
    // The completion test_tools checks is the one installed.
    EXPECT_EQ(ReadFile(dir / "root/usr/share/bash-completion/completions/scenarix-tool"),
              ReadFile(testing::SourceFolder() + "/tools/completion/scenarix-tool"));
    // AppStream's own check of the installed tree: the description, and the menu entry it
    // names being there.
    const auto tree =
        RunProgram({"appstreamcli", "validate-tree", "--no-net", "--strict", dir / "root"});
    EXPECT_EQ(tree.ExitCode, 0) << tree.Out << tree.Err;
    const auto entry =
        RunProgram({"desktop-file-validate",
                    dir / "root/usr/share/applications/org.scenaria.Scenaria.desktop"});
    EXPECT_EQ(entry.ExitCode, 0) << entry.Out << entry.Err;
}

// The packages that hold the libraries the programs are linked to (their NEEDED entries, found
// where the dynamic linker finds them).
std::set<std::string> PackagesOfLibrariesOf(const std::vector<std::string>& programs)
{
    std::vector<std::string> paths;
    for (const auto& program : programs) {
        std::set<std::string> needed;
        const auto dynamic = RunProgram({"readelf", "-d", "-W", program});
        const std::regex neededLine("\\(NEEDED\\)\\s+Shared library: \\[([^\\]]+)\\]");
        for (auto it = std::sregex_iterator(dynamic.Out.begin(), dynamic.Out.end(), neededLine);
             it != std::sregex_iterator(); ++it)
            needed.insert((*it)[1]);
        EXPECT_FALSE(needed.empty()) << program << " needs no library?\n" << dynamic.Out;
        const auto resolved = RunProgram({"ldd", program});
        for (const auto& line : Lines(resolved.Out)) {
            std::smatch match;
            if (std::regex_search(line, match, std::regex("^\\s*(\\S+) => (/\\S+)")) &&
                needed.erase(match[1]))
                paths.push_back(match[2]);
        }
        EXPECT_TRUE(needed.empty()) << "ldd did not find every library of " << program;
    }

    // dpkg knows a library by the path its package installed, with or without the /usr that
    // merged systems put in front of /lib; one call for all, as each reads the whole database.
    std::vector<std::string> query{"dpkg", "-S"};
    for (const auto& path : paths) {
        query.push_back(path);
        query.push_back(path.rfind("/usr/", 0) == 0 ? path.substr(4) : "/usr" + path);
    }
    std::map<std::string, std::string> owners;
    for (const auto& line : Lines(RunProgram(query).Out)) {
        const auto colonSpace = line.find(": /");
        if (colonSpace != std::string::npos)
            owners[line.substr(colonSpace + 2)] = line.substr(0, line.find_first_of(":,"));
    }
    std::set<std::string> packages;
    for (const auto& path : paths) {
        auto owner = owners.find(path);
        if (owner == owners.end())
            owner = owners.find(path.rfind("/usr/", 0) == 0 ? path.substr(4) : "/usr" + path);
        EXPECT_NE(owner, owners.end()) << "no package holds " << path;
        if (owner != owners.end())
            packages.insert(owner->second);
    }
    return packages;
}

TEST(DebianPackage, NamesItselfAndDependsOnThePackagesOfTheLibrariesItsProgramsUse)
{
    ASSERT_TRUE(RequireTools());
    ASSERT_TRUE(testing::RequireProgram("ldd", "libc-bin"));
    const std::string deb = PackageFile();
    ASSERT_TRUE(fs::exists(deb)) << deb << " is missing: cmake --build build --target package";
    const auto field = [&deb](const char* name) {
        return Trimmed(RunProgram({"dpkg-deb", "-f", deb, name}).Out);
    };
    EXPECT_EQ(field("Package"), "scenaria");
    EXPECT_EQ(field("Version"), ProjectVersion());
    EXPECT_TRUE(std::regex_match(field("Maintainer"), std::regex(".+ <[^ @]+@[^ @]+>")))
        << field("Maintainer");

    // Each "name (>= version)" or "name" of the list.
    std::set<std::string> depends;
    const std::string list = field("Depends");
    const std::regex item("([a-z0-9][a-z0-9.+-]*)[^,]*(,\\s*|$)");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), item);
         it != std::sregex_iterator(); ++it)
        depends.insert((*it)[1]);
    // The programs as the package holds them.
    TTempDir dir;
    ASSERT_EQ(RunProgram({"dpkg-deb", "-x", deb, dir / "root"}).ExitCode, 0);
    const auto packages =
        PackagesOfLibrariesOf({dir / "root/usr/bin/scenarix", dir / "root/usr/bin/scenarix-tool"});
    EXPECT_GE(packages.size(), 5u);
    for (const auto& package : packages)
        EXPECT_TRUE(depends.count(package))
            << "the programs use a library of " << package << ", not in Depends: " << list;
}

// The package's state as dpkg keeps it: "ii" installed, "rc" removed but configuration files
// left, "" when dpkg knows nothing of it (or only that it is not installed).
std::string PackageState()
{
    const auto r = RunProgram({"dpkg-query", "-W", "-f=${db:Status-Abbrev}", "scenaria"});
    const std::string state = r.ExitCode == 0 ? Trimmed(r.Out) : "";
    return state.size() >= 2 && state[1] == 'n' ? "" : state;
}

// dpkg -i of the package, and dpkg -r however the test ends.
class TInstalled {
public:
    explicit TInstalled(const std::string& deb)
    {
        result_ = RunProgram({"dpkg", "-i", deb}, {"DEBIAN_FRONTEND=noninteractive"});
        installed_ = !PackageState().empty();
    }
    ~TInstalled()
    {
        if (installed_)
            Remove();
    }
    TInstalled(const TInstalled&) = delete;
    TInstalled& operator=(const TInstalled&) = delete;

    const TRunResult& Result() const { return result_; }

    TRunResult Remove()
    {
        installed_ = false;
        auto r = RunProgram({"dpkg", "-r", "scenaria"}, {"DEBIAN_FRONTEND=noninteractive"});
        EXPECT_EQ(r.ExitCode, 0) << "dpkg -r scenaria: " << r.Out << r.Err;
        return r;
    }

private:
    TRunResult result_;
    bool installed_ = false;
};

class InstalledPackage : public testing::TIsolatedTest {
protected:
    void TearDown() override
    {
        program_.reset();
        tray_.reset();
        bus_.reset();
        if (x_)
            XCloseDisplay(x_);
        server_.reset();
    }

    void StartDisplay()
    {
        ASSERT_TRUE(testing::RequireProgram("Xvfb", "xvfb"));
        ASSERT_TRUE(testing::RequireProgram("trayer", "trayer"));
        ASSERT_TRUE(testing::RequireProgram("dbus-daemon", "dbus-daemon"));
        server_ = std::make_unique<TChild>(std::vector<std::string>{
            "Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        ASSERT_TRUE(server_->Started()) << server_->Error();
        const auto number = server_->ReadLine(20000);
        ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
        env_.Set("DISPLAY", ":" + *number);
        x_ = XOpenDisplay((":" + *number).c_str());
        ASSERT_NE(x_, nullptr);
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });

        // A session bus of the test's own, so that scenarix-tool can reach the program.
        bus_ = std::make_unique<TChild>(std::vector<std::string>{
            "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"});
        const auto address = bus_->ReadLine();
        ASSERT_TRUE(address && !address->empty()) << "dbus-daemon printed no address";
        env_.Set("DBUS_SESSION_BUS_ADDRESS", *address);

        tray_ = std::make_unique<TChild>(
            std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                     "pixel", "--width", "100", "--height", "32"},
            false);
        ASSERT_TRUE(tray_->Started()) << tray_->Error();
        const Atom selection = XInternAtom(x_, "_NET_SYSTEM_TRAY_S0", False);
        for (int i = 0; i < 500 && XGetSelectionOwner(x_, selection) == None; ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_NE(XGetSelectionOwner(x_, selection), static_cast<Window>(None))
            << "trayer did not start";
    }

    unsigned long RootPixel(int x, int y)
    {
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return ~0ul;
        const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return value;
    }

    bool WaitForRootPixel(unsigned long rgb)
    {
        for (int i = 0; i < 500; ++i) {
            if (RootPixel(200, 300) == rgb && RootPixel(0, 479) == rgb)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // A window of the program (class "scenarix") embedded in the notification area: its icon.
    bool HasTrayIcon(Window window, bool isRoot)
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, window, &root, &parent, &children, &count))
            return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            XClassHint hint{};
            if (XGetWindowAttributes(x_, children[i], &attributes) &&
                attributes.map_state == IsViewable && XGetClassHint(x_, children[i], &hint)) {
                found = !isRoot && hint.res_name && std::string(hint.res_name) == "scenarix" &&
                        attributes.width > 0 && attributes.height > 0;
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
            found = found || HasTrayIcon(children[i], false);
        }
        if (children)
            XFree(children);
        return found;
    }

    bool WaitForTrayIcon()
    {
        for (int i = 0; i < 500; ++i) {
            if (HasTrayIcon(DefaultRootWindow(x_), true))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    std::unique_ptr<TChild> server_, bus_, tray_;
    std::unique_ptr<TBackgroundProgram> program_;
    Display* x_ = nullptr;
};

TEST_F(InstalledPackage, InstallsRunsFromUsrBinAndIsRemovedWithoutATrace)
{
    ASSERT_EQ(::geteuid(), 0u) << "dpkg -i needs root: run this test as root (CI does)";
    ASSERT_TRUE(RequireTools());
    const std::string deb = PackageFile();
    ASSERT_TRUE(fs::exists(deb)) << deb << " is missing: cmake --build build --target package";

    // Someone else's copy is never touched: neither a package of that name nor a file where
    // the package would put one (dpkg would overwrite it, and dpkg -r delete it).
    ASSERT_EQ(PackageState(), "")
        << "a scenaria package is on this system already; this test installs and removes "
           "its own and will not replace it (dpkg -r scenaria first)";
    const std::set<std::string> files = ExpectedFiles();
    for (const auto& file : files)
        ASSERT_FALSE(fs::exists(fs::symlink_status(file))) << file << " exists already";
    ASSERT_FALSE(fs::exists("/usr/bin/scenarix.INI")) << "/usr/bin/scenarix.INI exists already";
    const bool hadHelpFolder = fs::exists("/usr/share/scenaria");

    TInstalled installed(deb);
    ASSERT_EQ(installed.Result().ExitCode, 0) << "dpkg -i " << deb << ":\n"
                                              << installed.Result().Out << installed.Result().Err;
    ASSERT_EQ(PackageState(), "ii");
    const auto listed = RunProgram({"dpkg", "-L", "scenaria"});
    std::set<std::string> listedFiles;
    for (const auto& path : Lines(listed.Out))
        if (!fs::is_directory(fs::symlink_status(path)))
            listedFiles.insert(path);
    EXPECT_EQ(listedFiles, files) << "dpkg -L scenaria";

    const auto help = RunProgram({"/usr/bin/scenarix-tool", "--help"});
    EXPECT_EQ(help.ExitCode, 0) << help.Err;
    EXPECT_EQ(help.Out.rfind("usage: scenarix-tool COMMAND", 0), 0u) << help.Out;

    // The installed program, as a user would start it: a settings file of its own in the
    // private configuration folder, which it must find there (root may write to /usr/bin, but
    // an installed copy never keeps its settings beside itself).
    ASSERT_NO_FATAL_FAILURE(StartDisplay());
    const fs::path home = Home();
    fs::create_directories(home / "pics");
    fs::create_directories(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all, fs::perm_options::replace);
    TPixelGraphic picture;
    picture.SetSize(16, 16, bc24Bit);
    picture.Canvas().FillRect({0, 0, 16, 16}, RGB(255, 0, 0));
    picture.SaveToFile((home / "pics/red.bmp").string());
    const std::string settingsFile = (home / ".config/scenaria/scenarix.INI").string();
    const std::string settings = "[Diduzavizo]\nDirectory=" + (home / "pics").string() +
                                 "\nDelay=30\nLastIndex=-1\nTile=0\nRunOnStart=1\n"
                                 "Save Folder=" +
                                 (home / "save").string() + "\n";
    fs::create_directories(home / ".config/scenaria");
    std::ofstream(settingsFile) << settings;

    program_ = std::make_unique<TBackgroundProgram>(
        std::vector<std::string>{"/usr/bin/scenarix"},
        std::vector<std::string>{"QT_QPA_PLATFORM=xcb",
                                 "XDG_RUNTIME_DIR=" + (home / "run").string()});
    EXPECT_TRUE(WaitForRootPixel(0xFF0000)) << "the picture never became the wallpaper";
    EXPECT_TRUE(WaitForTrayIcon()) << "the icon never appeared in the notification area";

    const auto status = RunProgram({"/usr/bin/scenarix-tool", "status"});
    EXPECT_EQ(status.ExitCode, 0) << status.Err;
    EXPECT_NE(status.Out.find("red.bmp"), std::string::npos) << status.Out;
    EXPECT_NE(status.Out.find("Settings file: " + settingsFile + "\n"), std::string::npos)
        << status.Out;

    EXPECT_EQ(program_->WaitFor(2s), std::nullopt) << "scenarix ended by itself";
    program_->Signal(SIGTERM);
    EXPECT_NE(program_->WaitFor(10s), std::nullopt) << "scenarix did not end on SIGTERM";
    const std::string written = ReadFile(settingsFile);
    EXPECT_NE(written.find("LastIndex=0\n"), std::string::npos) << written;
    EXPECT_FALSE(fs::exists("/usr/bin/scenarix.INI"));

    installed.Remove();
    EXPECT_EQ(PackageState(), "") << "dpkg still keeps something of the package";
    for (const auto& file : files)
        EXPECT_FALSE(fs::exists(fs::symlink_status(file))) << file << " is left after dpkg -r";
    if (!hadHelpFolder) {
        EXPECT_FALSE(fs::exists("/usr/share/scenaria")) << "/usr/share/scenaria is left";
    }
    EXPECT_FALSE(fs::exists("/usr/bin/scenarix.INI"));
}

} // namespace
} // namespace scenaria

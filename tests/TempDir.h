#pragma once
// A fresh folder per test, removed with everything in it afterwards, and the files the tests
// read: their own data under tests/data and what the program under test wrote.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace scenaria::testing {

class TTempDir {
public:
    TTempDir()
    {
        // create_directory answers false for a name that exists, so a name is never shared.
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = base / ("scenaria-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = std::move(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
    ~TTempDir()
    {
        std::error_code ec;
        // Tests may leave read-only folders behind; open them up before removing.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string Folder() const { return Spelt(path_); }
    // A path below the folder, with the system's own separators as the program spells them.
    std::string operator/(const std::string& name) const
    {
        return Spelt(path_ / std::filesystem::path(name).make_preferred());
    }

    // Writes a file (creating its folders) and returns its full path.
    std::string Write(const std::string& name, const std::string& content = {}) const
    {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return Spelt(file);
    }

private:
#ifdef SCENARIA_QT_PATHS
    // As Qt spells paths, and so the windows show them: with '/' on every system.
    static std::string Spelt(const std::filesystem::path& path)
    {
        return path.generic_string();
    }
#else
    static std::string Spelt(const std::filesystem::path& path)
    {
        return path.string();
    }
#endif
    std::filesystem::path path_;
};

// The source tree, the tests' own data (tests/data) and the build tree. They are looked up at
// run time so that no test's object file holds the checkout's path: the compiler cache then
// serves a clone in another folder too.
std::string SourceFolder();
std::string TestDataFolder();
std::string BinaryFolder();

// A file of the tests' own data (tests/data), by its path below that folder.
inline std::string DataFile(const std::string& relative)
{
    return TestDataFolder() + "/" + relative;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Runs check() as an ordinary user: directly when the test is not root, otherwise in a child
// process that has given up root (as "nobody"), since root may write read-only files and
// enter any folder. Returns what check() returned.
bool AsUnprivilegedUser(const std::function<bool()>& check);

// Makes a named pipe (a FIFO) at path: a file that blocks whoever opens it for reading until a
// writer comes. False where the system has none in its file system.
bool MakeFifo(const std::string& path);

// Runs body in a child process whose files may not grow beyond limit bytes, the way a full
// disk stops a write half way. Returns body's result, or -1 when the child did not end
// normally or the system cannot set such a limit.
int WithFileSizeLimit(std::uintmax_t limit, const std::function<int()>& body);

// True when taking a folder's permissions away (std::filesystem::permissions) keeps this
// process out of it: not so for root, nor on Windows, where it only sets a read-only flag.
bool PermissionsLockOut();

// The memory this process holds resident, in kilobytes.
long ResidentKilobytes();

} // namespace scenaria::testing

#pragma once
// A fresh folder per test, removed with everything in it afterwards, and the files the tests
// read: their own data under tests/data and what the program under test wrote.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace scenaria::testing {

class TTempDir {
public:
    TTempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "scenaria-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
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
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file (creating its folders) and returns its full path.
    std::string Write(const std::string& name, const std::string& content = {}) const
    {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

// A file of the tests' own data (tests/data), by its path below that folder.
inline std::string DataFile(const std::string& relative)
{
    return std::string(SCENARIA_TEST_DATA) + "/" + relative;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Runs check() as an ordinary user: directly when the test is not root, otherwise in a child
// process that has given up root (as "nobody"), since root may write read-only files and
// enter any folder. Returns what check() returned.
inline bool AsUnprivilegedUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::geteuid() != 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace scenaria::testing

#include "core/Settings.h"

#include "core/IniFile.h"
#include "core/Random.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

namespace scenaria {

TSettings Settings;

namespace {

constexpr std::size_t MaxStringLength = 1023;

std::string ReadString(const TIniFile& ini, const char* key, const std::string& defaultValue)
{
    auto value = ini.ReadString(SettingsSection, key);
    if (!value)
        return defaultValue;
    if (value->size() > MaxStringLength)
        value->resize(MaxStringLength);
    return *value;
}

int ReadInteger(const TIniFile& ini, const char* key, int defaultValue)
{
    const auto value = ini.ReadString(SettingsSection, key);
    return value ? ParseSettingsInteger(*value, defaultValue) : defaultValue;
}

bool ReadBool(const TIniFile& ini, const char* key, bool defaultValue)
{
    return ReadInteger(ini, key, defaultValue ? 1 : 0) != 0;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

int ParseSettingsInteger(const std::string& text, int defaultValue)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // Eight hexadecimal digits fill the 32 bits; "0xFFFFFFFF" is -1 as it always was.
        std::uint64_t value = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0)
                return defaultValue;
            value = value * 16 + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFu)
                return defaultValue;
        }
        return static_cast<int>(static_cast<std::uint32_t>(value));
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return defaultValue;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return defaultValue;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return defaultValue;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return defaultValue;
    return static_cast<int>(value);
}

TSettingsPlace SettingsPlaceOf(const IPlatform& platform)
{
    return {platform.SettingsFilePath(), platform.DefaultPictureFolder(),
            platform.DefaultSaveFolder(), platform.Win98Style()};
}

int IntervalOf(const TSettings& settings)
{
    return settings.Random ? settings.RandomDelay : settings.Delay;
}

void LoadSettings(const TSettingsPlace& place, std::optional<std::uint32_t> seed)
{
    TSettings& s = Settings;
    s = TSettings{};
    s.Win98Style = place.Win98Style;
    s.FileName = place.FileName;
    const TIniFile ini(place.FileName);

    if (seed)
        RandSeed = *seed;
    else
        Randomize();

    s.Directory = ReadString(ini, "Directory", place.DefaultDirectory);
    s.Subfolders = ReadBool(ini, "Subfolders", false);
    s.SaveFolder = ReadString(ini, "Save Folder", place.DefaultSaveFolder);
    s.Mode = ReadInteger(ini, "Mode", 0);
    s.Delay = ReadInteger(ini, "Delay", 30);
    s.LastIndex = ReadInteger(ini, "LastIndex", -1);
    s.Random = ReadBool(ini, "Random", false);

    s.RandomDelay = 20 + static_cast<int>(scenaria::Random(540));
    s.Interval = IntervalOf(s);

    s.Tile = ReadInteger(ini, "Tile", 2);
    s.MinWidth = ReadInteger(ini, "MinWidth", 320);
    s.MinHeight = ReadInteger(ini, "MinHeight", 240);
    s.RunOnStart = ReadBool(ini, "RunOnStart", false);
    s.Stretch = ReadBool(ini, "Stretch", false);
    s.Proportional = ReadBool(ini, "Proportional", false);
    s.ActiveDesktop = ReadBool(ini, "ActiveDesktop", false);
    s.ShowHints = ReadBool(ini, "ShowHints", true);
    s.HintOnTray = ReadInteger(ini, "Hint on Tray", 0);
    s.FilesType = ReadInteger(ini, "FilesType", 0);
    s.AutoRotate = ReadBool(ini, "AutoRotate", true);
    s.Smooth = ReadBool(ini, "Smooth", true);
    s.Monitors = ReadInteger(ini, "Monitors", 0);
    if (s.Monitors < 0 || s.Monitors > 2)
        s.Monitors = 0;
    s.Fill = ReadBool(ini, "Fill", false);
    s.Background = ParseColour(ReadString(ini, "Background", ""), 0);
}

std::uint32_t ParseColour(const std::string& text, std::uint32_t defaultValue)
{
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        }))
        return defaultValue;
    return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
}

std::string ColourText(std::uint32_t colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return text;
}

void SaveSettings()
{
    const TSettings& s = Settings;
    // Re-read the file so that whatever the user changed by hand since start-up survives.
    TIniFile ini(s.FileName);
    const auto put = [&ini](const char* key, const std::string& value) {
        ini.WriteString(SettingsSection, key, value);
    };
    const auto putInt = [&put](const char* key, int value) { put(key, std::to_string(value)); };
    const auto putBool = [&put](const char* key, bool value) { put(key, value ? "1" : "0"); };

    put("Directory", s.Directory);
    putBool("Subfolders", s.Subfolders);
    putInt("Mode", s.Mode);
    putInt("Delay", s.Delay);
    putInt("LastIndex", s.LastIndex);
    putBool("Random", s.Random);
    putInt("Tile", s.Tile);
    putInt("MinWidth", s.MinWidth);
    putInt("MinHeight", s.MinHeight);
    putBool("RunOnStart", s.RunOnStart);
    putBool("Stretch", s.Stretch);
    putBool("Proportional", s.Proportional);
    putBool("ActiveDesktop", s.ActiveDesktop);
    putBool("ShowHints", s.ShowHints);
    putInt("Hint on Tray", s.HintOnTray);
    putInt("FilesType", s.FilesType);
    const auto has = [&ini](const char* key) {
        return ini.ReadString(SettingsSection, key).has_value();
    };
    if (s.Monitors != 0 || has("Monitors"))
        putInt("Monitors", s.Monitors);
    if (s.Fill || has("Fill"))
        putBool("Fill", s.Fill);
    if (s.Background != 0 || has("Background"))
        put("Background", ColourText(s.Background));
    ini.UpdateFile();
}

} // namespace scenaria

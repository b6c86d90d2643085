#include "platform/UserSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <vector>

#include "platform/FileAside.h"
#include "platform/SafeFile.h"

namespace {

// The settings file's place under the configuration folder.
constexpr const char* SETTINGS_FOLDER = "tumelora";
constexpr const char* SETTINGS_FILE = "settings";
// Most characters of a number read (digits, sign and point).
constexpr std::size_t MAX_NUMBER_CHARS = 32;

// True for the plain decimal numbers a delay is written as: an optional sign, digits, and
// optionally a point with more digits ("180", "-12.5"; not "1e3", "0x10", "inf" or ".5").
bool plainDecimal(const std::string& text) {
    if (text.empty() || text.size() > MAX_NUMBER_CHARS) return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::size_t digitsFrom = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digitsFrom) return false;
    if (i == text.size()) return true;
    if (text[i] != '.') return false;
    const std::size_t fractionFrom = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > fractionFrom && i == text.size();
}

// Makes the folder and its parents (like mkdir -p); false with the reason in error.
bool makeFolders(const std::string& folder, std::string& error) {
    std::string at;
    std::istringstream parts(folder);
    std::string part;
    if (!folder.empty() && folder[0] == '/') at = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        at += part + "/";
        if (mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot make the folder " + at + " (" + std::strerror(errno) + ")";
            return false;
        }
    }
    return true;
}

}  // namespace

bool parseDelayMs(const std::string& text, double& ms, std::string& why) {
    if (!plainDecimal(text)) {
        why = "\"" + text + "\" is not a number of milliseconds";
        return false;
    }
    const double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value) || value < SETTINGS_DELAY_MIN_MS || value > SETTINGS_DELAY_MAX_MS) {
        char range[96];
        std::snprintf(range, sizeof range, " ms is out of range (%.0f to %.0f ms)", SETTINGS_DELAY_MIN_MS,
                      SETTINGS_DELAY_MAX_MS);
        why = text + range;
        return false;
    }
    ms = value;
    return true;
}

bool parseUserSettings(const std::string& text, UserSettings& settings, std::string& error) {
    if (text.size() > SETTINGS_MAX_BYTES) {
        error = "longer than " + std::to_string(SETTINGS_MAX_BYTES) + " bytes";
        return false;
    }
    UserSettings read;
    std::set<std::string> seen;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.find('\0') != std::string::npos) {
            error = where + "holds a zero byte";
            return false;
        }
        std::istringstream words(line);
        std::string name, value, extra;
        if (!(words >> name) || name[0] == '#') continue;
        if (!(words >> value)) {
            error = where + name + " has no value";
            return false;
        }
        if (words >> extra) {
            error = where + "more than a name and a value";
            return false;
        }
        double* field = name == SETTING_PERFORMER_DELAY ? &read.performerDelayMs
                        : name == SETTING_AUDIO_DELAY   ? &read.audioDelayMs
                                                        : nullptr;
        if (!field) {
            error = where + "unknown setting \"" + name + "\" (known: " + SETTING_PERFORMER_DELAY + ", " +
                    SETTING_AUDIO_DELAY + ")";
            return false;
        }
        if (!seen.insert(name).second) {
            error = where + name + " is given twice";
            return false;
        }
        std::string why;
        if (!parseDelayMs(value, *field, why)) {
            error = where + name + ": " + why;
            return false;
        }
    }
    settings = read;
    return true;
}

std::string formatUserSettings(const UserSettings& settings) {
    // Plain decimals to the thousandth, without trailing zeros ("42", "-12.5").
    auto number = [](double ms) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", ms);
        std::string s = text;
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        return s == "-0" ? std::string("0") : s;
    };
    return std::string("# tumelora settings (milliseconds; see the editor's key T)\n") + SETTING_PERFORMER_DELAY +
           " " + number(settings.performerDelayMs) + "\n" + SETTING_AUDIO_DELAY + " " + number(settings.audioDelayMs) +
           "\n";
}

std::string userSettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) return "";
        folder = std::string(home) + "/.config";
    }
    if (folder.back() != '/') folder += '/';
    return folder + SETTINGS_FOLDER + "/" + SETTINGS_FILE;
}

UserSettingsLoad loadUserSettings(const std::string& path) {
    UserSettingsLoad load;
    if (path.empty()) return load;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        struct stat st{};
        load.found = stat(path.c_str(), &st) == 0;
        if (load.found) load.problem = path + ": cannot be read (" + std::strerror(errno) + ")";
        return load;
    }
    load.found = true;
    std::string text;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, std::size_t(in.gcount()));
        if (text.size() > SETTINGS_MAX_BYTES) break;
    }
    std::string error;
    if (!parseUserSettings(text, load.settings, error)) {
        load.problem = path + ": " + error + "; the settings are not used";
        return load;
    }
    load.read = true;
    return load;
}

bool saveUserSettings(const std::string& path, const UserSettings& settings, bool unreadable, std::string& error) {
    if (path.empty()) {
        error = "no folder for the settings (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && !makeFolders(path.substr(0, slash), error)) return false;
    if (unreadable) {
        std::string keptAs, why;
        struct stat st{};
        if (stat(path.c_str(), &st) == 0 && !moveAside(path, SETTINGS_UNREADABLE_SUFFIX, keptAs, why)) {
            error = path + ": not replaced, since it could not be read and cannot be kept aside: " + why;
            return false;
        }
    }
    const std::string text = formatUserSettings(settings);
    std::string why;
    if (!replaceFileSafely(path, std::vector<uint8_t>(text.begin(), text.end()), &why)) {
        error = path + ": cannot be written (" + why + ")";
        return false;
    }
    return true;
}

#pragma once
// The user's own settings, kept across runs in a small text file of the user's configuration
// folder ($XDG_CONFIG_HOME/tumelora/settings, or ~/.config/tumelora/settings): the performer's
// delay (how long after the beat they hear the user moves, found by the editor's calibration;
// every take is shifted by it) and the audio delay (how much later than the program can tell the
// sound reaches the ears, as with Bluetooth headphones; the picture and the takes wait for it).
//
// The file, one setting a line, a name and a number of milliseconds separated by blanks:
//   # tumelora settings
//   performer-delay-ms 42
//   audio-delay-ms 180
// Lines starting with '#' are comments, empty lines are skipped; each name at most once; a
// missing name keeps its default (0). Anything else (an unknown name, a value that is no
// number or out of range, a name given twice, a file over SETTINGS_MAX_BYTES) refuses the
// whole file with the line and the reason: the defaults are used and the file is left alone
// until the user changes a setting (it is then kept aside before the new one is written).
#include <cstddef>
#include <string>

// Every delay (ms) the settings and the command line accept lies in this range.
constexpr double SETTINGS_DELAY_MIN_MS = -1000.0;
constexpr double SETTINGS_DELAY_MAX_MS = 1000.0;
// Largest settings file read, in bytes.
constexpr std::size_t SETTINGS_MAX_BYTES = 64 * 1024;
// The names of the settings in the file.
constexpr const char* SETTING_PERFORMER_DELAY = "performer-delay-ms";
constexpr const char* SETTING_AUDIO_DELAY = "audio-delay-ms";
// Added to the name of a settings file that could not be read, to keep it aside.
constexpr const char* SETTINGS_UNREADABLE_SUFFIX = ".unreadable";

// What the settings file holds.
struct UserSettings {
    double performerDelayMs = 0.0;  // takes hold the hand this much after each frame's music
    double audioDelayMs = 0.0;      // the sound is heard this much later than the program tells
};

// Reads a delay in milliseconds (a decimal number, such as "180" or "-12.5", within the
// range above); false with the reason in why.
bool parseDelayMs(const std::string& text, double& ms, std::string& why);
// Reads the text of a settings file; false with "line N: reason" in error.
bool parseUserSettings(const std::string& text, UserSettings& settings, std::string& error);
// The text of a settings file holding these settings.
std::string formatUserSettings(const UserSettings& settings);

// The settings file's path: $XDG_CONFIG_HOME/tumelora/settings when that variable holds an
// absolute path, else $HOME/.config/tumelora/settings; "" without either.
std::string userSettingsPath();

// What reading the settings file found.
struct UserSettingsLoad {
    UserSettings settings;  // the defaults unless the file was read
    bool found = false;     // the file is there
    bool read = false;      // it was read and accepted
    std::string problem;    // why it was not used: "PATH: reason" ("" when read or missing)
};
// Reads the settings file at path (missing: the defaults, no problem).
UserSettingsLoad loadUserSettings(const std::string& path);
// Writes the settings file at path (its folder made when missing), replacing it whole; a file
// that was there but could not be read (unreadable) is kept aside first. False with the
// reason in error.
bool saveUserSettings(const std::string& path, const UserSettings& settings, bool unreadable, std::string& error);

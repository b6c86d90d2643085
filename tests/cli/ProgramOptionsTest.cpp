// The command line: the first character keeps its meaning, "--" words choose a mode, and
// anything else is refused. Beside it the user's settings file, which holds what the command
// line may set for one run (the audio delay).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/ProgramOptions.h"
#include "platform/UserSettings.h"

namespace {

ProgramOptions parse(std::vector<const char*> words) {
    words.insert(words.begin(), "tumelora");
    return parseProgramOptions(static_cast<int>(words.size()), words.data());
}

TEST(ProgramOptionsTest, FirstCharacterStillChoosesTheWindow) {
    EXPECT_TRUE(parse({}).fullscreen);
    EXPECT_FALSE(parse({"w"}).fullscreen);
    EXPECT_FALSE(parse({"window", "--edit"}).fullscreen);
    EXPECT_TRUE(parse({"W"}).fullscreen);
    EXPECT_TRUE(parse({"--edit", "w"}).fullscreen);
    EXPECT_EQ(parse({"w", "x", "y"}).commandLine, "w x y");
}

TEST(ProgramOptionsTest, ModesAreReadWhereverTheyStand) {
    const ProgramOptions edit = parse({"w", "--edit"});
    EXPECT_TRUE(edit.edit);
    EXPECT_TRUE(edit.error.empty());
    const ProgramOptions exported = parse({"w", "--export", "out.mp4", "--project", "p"});
    EXPECT_TRUE(exported.error.empty()) << exported.error;
    EXPECT_EQ(exported.exportPath, "out.mp4");
    EXPECT_EQ(exported.projectDir, "p");
    EXPECT_FALSE(exported.edit);
    EXPECT_TRUE(parse({"w", "--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--fast", "--help"}).help);  // the help wins over a wrong word
    const ProgramOptions danced = parse({"--dance", "--to", "30", "--project", "p", "--from", "12.5"});
    EXPECT_TRUE(danced.dance && danced.error.empty()) << danced.error;
    EXPECT_DOUBLE_EQ(danced.fromSeconds, 12.5);
    EXPECT_DOUBLE_EQ(danced.toSeconds, 30.0);
}

TEST(ProgramOptionsTest, WrongCommandLinesSayWhy) {
    EXPECT_EQ(parse({"--export"}).error, "--export needs the name of the video file to write");
    EXPECT_FALSE(parse({"--export", ""}).error.empty());
    EXPECT_EQ(parse({"w", "--fast"}).error, "unknown option --fast");
    EXPECT_FALSE(parse({"--edit", "--export", "a.mp4"}).error.empty());
    // Stray words and options given twice end the program instead of being ignored.
    EXPECT_EQ(parse({"-edit"}).error, "unknown option -edit: did you mean --edit?");
    EXPECT_FALSE(parse({"foo"}).error.empty());
    EXPECT_FALSE(parse({"w", "x"}).error.empty());
    EXPECT_FALSE(parse({"--edit", "w"}).error.empty());  // w counts only as the first word
    EXPECT_FALSE(parse({"--project", "p", "stray", "--edit"}).error.empty());
    EXPECT_EQ(parse({"--project", "a", "--project", "b"}).error, "--project is given twice");
    EXPECT_FALSE(parse({"--edit", "--edit"}).error.empty());
    EXPECT_EQ(parse({"--to", "3"}).error, "--from and --to belong to --dance");
    EXPECT_EQ(parse({"--dance", "--from", "5", "--to", "5"}).error, "--from must come before --to");
    for (const char* time : {"-1", "1e3", "nan", "2s", ""})
        EXPECT_FALSE(parse({"--dance", "--from", time}).error.empty()) << time;
}

TEST(ProgramOptionsTest, ProjectsTakeTheirFoldersSongAndPictures) {
    const ProgramOptions made = parse({"--new", "mine", "--music", "song.mp3", "a.png", "b.ora"});
    EXPECT_TRUE(made.error.empty()) << made.error;
    EXPECT_EQ(made.newProjectDir, "mine");
    EXPECT_EQ(made.musicPath, "song.mp3");
    EXPECT_EQ(made.pictures, (std::vector<std::string>{"a.png", "b.ora"}));
    const ProgramOptions added = parse({"w", "--project", "mine", "--add", "c.psd"});
    EXPECT_TRUE(added.add);
    EXPECT_EQ(added.projectDir, "mine");
    EXPECT_EQ(added.pictures, std::vector<std::string>{"c.psd"});
    const ProgramOptions edited = parse({"--project", "mine", "--edit"});
    EXPECT_TRUE(edited.edit && edited.error.empty());
    EXPECT_FALSE(parse({"--project", "mine", "--edit", "x"}).error.empty());  // x is no picture here
    EXPECT_FALSE(parse({"--new", "mine", "a.png"}).error.empty());           // no song
    EXPECT_FALSE(parse({"--music", "song.mp3"}).error.empty());              // no --new
    EXPECT_FALSE(parse({"--add", "a.png"}).error.empty());                   // no project
    EXPECT_FALSE(parse({"--project", "mine", "--add"}).error.empty());       // no picture
    EXPECT_FALSE(parse({"--new", "a", "--music", "s", "--edit"}).error.empty());
    EXPECT_FALSE(parse({"--project"}).error.empty());
}

TEST(ProgramOptionsTest, TheAudioDelayIsANumberOfMillisecondsInRange) {
    const ProgramOptions edit = parse({"w", "--edit", "--audio-delay", "180"});
    EXPECT_TRUE(edit.error.empty()) << edit.error;
    EXPECT_TRUE(edit.audioDelaySet);
    EXPECT_DOUBLE_EQ(edit.audioDelayMs, 180.0);
    EXPECT_DOUBLE_EQ(parse({"--audio-delay", "-12.5"}).audioDelayMs, -12.5);
    EXPECT_FALSE(parse({"w"}).audioDelaySet);
    EXPECT_EQ(parse({"--audio-delay"}).error, "--audio-delay needs a number of milliseconds");
    for (const char* wrong : {"abc", "180ms", "1e3", "0x10", "inf", "nan", ".5", "5000", "-1001"})
        EXPECT_NE(parse({"--audio-delay", wrong}).error.find("--audio-delay: "), std::string::npos) << wrong;
    EXPECT_FALSE(parse({"--audio-delay", "10", "--export", "a.mp4"}).error.empty());
    EXPECT_FALSE(parse({"--audio-delay", "10", "--dance"}).error.empty());
}

TEST(UserSettingsTest, TheFileIsReadStrictlyAndGarbageIsKeptAsideBeforeItIsReplaced) {
    UserSettings read;
    std::string error;
    ASSERT_TRUE(parseUserSettings("# mine\n\nperformer-delay-ms 42\r\n  audio-delay-ms\t-180.5\n", read, error))
        << error;
    EXPECT_DOUBLE_EQ(read.performerDelayMs, 42.0);
    EXPECT_DOUBLE_EQ(read.audioDelayMs, -180.5);
    UserSettings again;
    ASSERT_TRUE(parseUserSettings(formatUserSettings(read), again, error)) << error;
    EXPECT_DOUBLE_EQ(again.performerDelayMs, 42.0);
    EXPECT_DOUBLE_EQ(again.audioDelayMs, -180.5);
    // Each refusal names the line and the reason, and leaves the settings as they were.
    const std::pair<std::string, std::string> garbage[] = {
        {"performer-delay-ms 4x\n", "line 1: performer-delay-ms: \"4x\" is not a number"},
        {"# ok\naudio-delay-ms 2000\n", "line 2: audio-delay-ms: 2000 ms is out of range"},
        {"volume 3\n", "line 1: unknown setting \"volume\""},
        {"audio-delay-ms 1\naudio-delay-ms 2\n", "line 2: audio-delay-ms is given twice"},
        {"audio-delay-ms\n", "line 1: audio-delay-ms has no value"},
        {"audio-delay-ms 1 2\n", "line 1: more than a name and a value"},
        {std::string("audio-delay-ms 1") + '\0' + "\n", "line 1: holds a zero byte"},
    };
    for (const auto& [text, why] : garbage) {
        UserSettings kept = read;
        EXPECT_FALSE(parseUserSettings(text, kept, error)) << text;
        EXPECT_EQ(error.rfind(why, 0), 0u) << error;
        EXPECT_DOUBLE_EQ(kept.audioDelayMs, read.audioDelayMs);
    }
    EXPECT_FALSE(parseUserSettings(std::string(SETTINGS_MAX_BYTES + 1, '#'), read, error));

    // The file lives under $XDG_CONFIG_HOME (when absolute), else ~/.config.
    namespace fs = std::filesystem;
    const fs::path home = fs::temp_directory_path() / ("tumelora-settings-" + std::to_string(getpid()));
    fs::remove_all(home);
    const char* oldHome = getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(userSettingsPath(), (home / ".config/tumelora/settings").string());
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    const std::string path = userSettingsPath();
    EXPECT_EQ(path, (home / "config/tumelora/settings").string());
    UserSettingsLoad load = loadUserSettings(path);
    EXPECT_FALSE(load.found);
    EXPECT_TRUE(load.problem.empty());
    // A file that cannot be read is not used, says why, and is kept aside when settings are written.
    fs::create_directories(home / "config/tumelora");
    std::ofstream(path) << "performer-delay-ms soon\n";
    load = loadUserSettings(path);
    EXPECT_TRUE(load.found);
    EXPECT_FALSE(load.read);
    EXPECT_EQ(load.problem.rfind(path + ": line 1: ", 0), 0u) << load.problem;
    EXPECT_DOUBLE_EQ(load.settings.performerDelayMs, 0.0);
    UserSettings next;
    next.performerDelayMs = 37.5;
    ASSERT_TRUE(saveUserSettings(path, next, true, error)) << error;
    std::ifstream aside(path + SETTINGS_UNREADABLE_SUFFIX);
    std::string kept;
    std::getline(aside, kept);
    EXPECT_EQ(kept, "performer-delay-ms soon");
    load = loadUserSettings(path);
    EXPECT_TRUE(load.read) << load.problem;
    EXPECT_DOUBLE_EQ(load.settings.performerDelayMs, 37.5);
    fs::remove_all(home);
    setenv("HOME", savedHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace

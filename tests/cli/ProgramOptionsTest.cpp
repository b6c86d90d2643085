// The command line: the first character keeps its meaning, "--" words choose a mode, and
// anything else is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/ProgramOptions.h"

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

}  // namespace

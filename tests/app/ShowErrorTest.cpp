// The error report on stderr; the box itself is shown by the end-to-end test under Xvfb.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/ShowError.h"

namespace {

// Unsets a variable for the life of the object and puts it back afterwards.
class UnsetEnv {
public:
    explicit UnsetEnv(const char* name) : name_(name) {
        const char* v = std::getenv(name);
        if (v) saved_ = v, had_ = true;
        unsetenv(name);
    }
    ~UnsetEnv() {
        if (had_) setenv(name_, saved_.c_str(), 1);
    }

private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

TEST(ShowErrorTest, WithoutDisplayPrintsCaptionAndFormattedTextOnly) {
    UnsetEnv x("DISPLAY"), wayland("WAYLAND_DISPLAY"), off("TUMELORA_NO_ERROR_BOX");
    testing::internal::CaptureStderr();
    showError("Audio error", "%s %d%%", "volume", 50);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Audio error: volume 50%\n");
}

TEST(ShowErrorTest, LongTextIsCutTo2047Characters) {
    UnsetEnv x("DISPLAY"), wayland("WAYLAND_DISPLAY");
    const std::string longText(5000, 'x');
    testing::internal::CaptureStderr();
    showError("Error", "%s!", longText.c_str());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error: " + std::string(SHOW_ERROR_MAX_CHARS, 'x') + "\n");
}

TEST(ShowErrorTest, BoxesCanBeTurnedOffWithADisplayPresent) {
    UnsetEnv off("TUMELORA_NO_ERROR_BOX"), x("DISPLAY");
    setenv("TUMELORA_NO_ERROR_BOX", "1", 1);
    setenv("DISPLAY", ":12345", 1);  // would fail or hang if a box were tried
    testing::internal::CaptureStderr();
    showError("Error", "no box");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: no box\n");
    unsetenv("TUMELORA_NO_ERROR_BOX");
    unsetenv("DISPLAY");
}

}  // namespace

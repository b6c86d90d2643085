#pragma once
// The bundled scene's shared model: the stage, the palette, every actor picture (file, size)
// and the dancer's skeleton (where each part's joints sit in its picture). The picture
// generator draws from it, the track generator poses from it and the screenshot check looks
// for its colours, so the three always agree.
#include <cstdint>

namespace scene {

// The stage in pixels, and the size of one scene unit.
constexpr int kStageW = 1280;
constexpr int kStageH = 720;
constexpr float kUnitPixels = 80.f;

// A colour as 0xRRGGBB.
using Rgb = uint32_t;
constexpr double red(Rgb c) { return double((c >> 16) & 0xFF) / 255.0; }
constexpr double green(Rgb c) { return double((c >> 8) & 0xFF) / 255.0; }
constexpr double blue(Rgb c) { return double(c & 0xFF) / 255.0; }

// Palette. The check of the running program looks for the shirt, trousers and speaker colours.
constexpr Rgb kOutline = 0x2B2140;
constexpr Rgb kSkin = 0xF2C29B;
constexpr Rgb kSkinShade = 0xD99E78;
constexpr Rgb kHair = 0x5A2E1B;
constexpr Rgb kShirt = 0xF26B3A;
constexpr Rgb kShirtStripe = 0xFFD23F;
constexpr Rgb kTrousers = 0x2F6FD6;
constexpr Rgb kShoe = 0xE23D6E;
constexpr Rgb kSpeaker = 0x3C3552;
constexpr Rgb kSpeakerTrim = 0x1FC7B4;
constexpr Rgb kSun = 0xFFCF33;
constexpr Rgb kSunRay = 0xFF9F1C;

// One actor picture: its file in data/actors/ and its size in pixels. File names start with
// two digits because actors are drawn in the order of the folder's (sorted) file list.
struct Picture {
    const char* file;
    int w, h;
};

constexpr Picture kBackdrop{"00-stage.jpg", kStageW, kStageH};
constexpr Picture kSunPicture{"01-sun.png", 220, 220};
constexpr Picture kCloudBig{"02-cloud-big.png", 260, 130};
constexpr Picture kCloudSmall{"03-cloud-small.png", 180, 96};
// Drawn upright (string down the middle, pennants to the right) and turned a quarter turn
// on stage, so that its waving moves the middle of the garland up and down.
constexpr Picture kBunting{"04-bunting.png", 120, 1000};
constexpr Picture kBannerLeft{"05-banner-left.png", 110, 400};
constexpr Picture kBannerRight{"06-banner-right.png", 110, 400};
constexpr Picture kSpotLeft{"07-spot-left.png", 320, 700};
constexpr Picture kSpotRight{"08-spot-right.png", 320, 700};
constexpr Picture kSpeakerLeft{"09-speaker-left.png", 150, 210};
constexpr Picture kSpeakerRight{"10-speaker-right.png", 150, 210};
constexpr Picture kNoteA{"11-note-a.png", 72, 100};
constexpr Picture kNoteB{"12-note-b.png", 100, 100};
// A burst of confetti behind the dancer, popping out on the big moments.
constexpr Picture kConfetti{"13-confetti.png", 560, 420};
constexpr Picture kShadow{"15-shadow.png", 200, 40};
constexpr Picture kShinLeft{"20-dancer-shin-left.png", 76, 124};
constexpr Picture kShinRight{"21-dancer-shin-right.png", 76, 124};
constexpr Picture kThighLeft{"22-dancer-thigh-left.png", 50, 112};
constexpr Picture kThighRight{"23-dancer-thigh-right.png", 50, 112};
constexpr Picture kTorso{"24-dancer-torso.png", 124, 176};
constexpr Picture kHead{"25-dancer-head.png", 132, 140};
constexpr Picture kUpperArmLeft{"26-dancer-upper-arm-left.png", 42, 100};
constexpr Picture kUpperArmRight{"27-dancer-upper-arm-right.png", 42, 100};
constexpr Picture kForearmLeft{"28-dancer-forearm-left.png", 40, 100};
constexpr Picture kForearmRight{"29-dancer-forearm-right.png", 40, 100};
constexpr Picture kPlantLeft{"30-plant-left.png", 150, 300};
constexpr Picture kPlantRight{"31-plant-right.png", 150, 300};

// A point in a picture's own pixels.
struct Point {
    float x, y;
};

// The dancer's skeleton, in each part's picture pixels. A limb hangs straight down at
// rotation 0: its anchor (the joint to its parent) is above its far joint.
namespace torso {
constexpr Point kRoot{62.f, 152.f};  // the pelvis: the body's own pivot
constexpr Point kNeck{62.f, 14.f};
constexpr Point kShoulderLeft{18.f, 32.f};
constexpr Point kShoulderRight{106.f, 32.f};
constexpr Point kHipLeft{42.f, 148.f};
constexpr Point kHipRight{82.f, 148.f};
}  // namespace torso
namespace head {
constexpr Point kNeck{66.f, 130.f};
}
namespace upperArm {
constexpr Point kShoulder{21.f, 20.f};
constexpr Point kElbow{21.f, 80.f};
constexpr float kWidth = 32.f;
}  // namespace upperArm
namespace forearm {
constexpr Point kElbow{20.f, 18.f};
constexpr Point kWrist{20.f, 70.f};
constexpr float kWidth = 26.f;
constexpr float kHandRadius = 15.f;
}  // namespace forearm
namespace thigh {
constexpr Point kHip{25.f, 22.f};
constexpr Point kKnee{25.f, 90.f};
constexpr float kWidth = 40.f;
}  // namespace thigh
namespace shin {
constexpr Point kKnee{38.f, 18.f};
constexpr Point kAnkle{38.f, 86.f};
constexpr float kWidth = 32.f;
constexpr float kSoleBelowAnkle = 28.f;  // from the ankle down to the bottom of the shoe
}  // namespace shin

// Where the dancer stands: the floor line (bottom of the shoes) and the middle of the stage.
constexpr float kFloorY = 652.f;
constexpr float kDancerHomeX = 640.f;

}  // namespace scene

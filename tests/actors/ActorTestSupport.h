#pragma once
// Shared by the actor tests: a fresh working folder with data/actors/, and file helpers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "render/Image.h"

namespace actor_test {

// Runs each test inside a new temporary folder holding data/actors/, then goes back.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd = std::filesystem::current_path();
        char tmpl[] = "/tmp/tumelora-actors-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder = tmpl;
        std::filesystem::create_directories(folder / "data" / "actors");
        std::filesystem::current_path(folder);
    }
    void TearDown() override {
        std::filesystem::current_path(oldCwd);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // An engine-free picture of the given used pixel size.
    std::unique_ptr<Image> makeImage(irr::u32 w = 160, irr::u32 h = 80) {
        const irr::core::vector2df tc[2] = {{0.f, 0.f}, {1.f, 1.f}};
        return std::make_unique<Image>(nullptr, w, h, 0x90003, nullptr, tc);
    }

    std::filesystem::path oldCwd;
    std::filesystem::path folder;
};

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Builds data-file bytes by hand, little-endian.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& raw(const char* s, std::size_t n) {
        b.insert(b.end(), s, s + n);
        return *this;
    }
    Bytes& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& i32(int32_t v) { return u32(uint32_t(v)); }
    Bytes& f32(float f) { return u32(bitsOf(f)); }
    Bytes& rec(float px, float py, float rot, float sx, float sy) {
        return f32(px).f32(py).f32(rot).f32(sx).f32(sy);
    }
    Bytes& byte(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    // "TMLR", version, count.
    static Bytes header(int32_t version, int32_t count) {
        Bytes x;
        x.raw("TMLR", 4).i32(version).i32(count);
        return x;
    }
};

// Poses equal bit for bit (NaN and -0.0 included).
inline bool sameBits(const ActorPose& a, const ActorPose& b) {
    return bitsOf(a.position.X) == bitsOf(b.position.X) && bitsOf(a.position.Y) == bitsOf(b.position.Y) &&
           bitsOf(a.rotation) == bitsOf(b.rotation) && bitsOf(a.scale.X) == bitsOf(b.scale.X) &&
           bitsOf(a.scale.Y) == bitsOf(b.scale.Y);
}

}  // namespace actor_test

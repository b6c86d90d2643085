// Writes the seed corpus of the actor data fuzzer: a few valid, old, damaged and hostile
// "TMLR" files. "actor_corpus DIR" writes them into DIR; "actor_corpus --check DIR" writes
// them into a fresh temporary folder and compares them byte for byte with the files in DIR.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& raw(const char* s) {
        b.insert(b.end(), s, s + std::strlen(s));
        return *this;
    }
    Bytes& i32(int32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
        return *this;
    }
    Bytes& f32(float f) {
        int32_t v;
        std::memcpy(&v, &f, 4);
        return i32(v);
    }
    Bytes& rec(float px, float py, float rot, float sx, float sy) { return f32(px).f32(py).f32(rot).f32(sx).f32(sy); }
    Bytes& bytes(std::initializer_list<uint8_t> v) {
        b.insert(b.end(), v);
        return *this;
    }
};

Bytes header(int32_t version, int32_t count, const char* magic = "TMLR") {
    Bytes x;
    x.raw(magic).i32(version).i32(count);
    return x;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds() {
    return {
        {"v2_three_poses", header(2, 3).rec(1, 2, 0.5f, 1, 1).rec(-1, -1, 0, 1, 1).rec(3.5f, 4, -0.25f, 2, -1).bytes({1, 0}).b},
        {"v2_empty_flags", header(2, 0).bytes({1, 1}).b},
        {"v2_negative_count", header(2, -4).bytes({0, 1}).b},
        {"v1_two_poses", header(1, 2).rec(0, 0, 0, 1, 1).rec(1, 1, 1, 1, 1).b},
        {"v0_one_pose", header(0, 1).rec(2, 2, 0, 1, 1).b},
        {"v3_rejected", header(3, 1).rec(1, 1, 1, 1, 1).bytes({1, 1}).b},
        {"v2_truncated_record", header(2, 2).rec(1, 2, 3, 4, 5).bytes({0, 0, 0x80}).b},
        {"v2_huge_count", header(2, 2000000000).rec(1, 2, 3, 4, 5).b},
        {"wrong_magic", header(2, 1, "TMLX").rec(1, 2, 3, 4, 5).bytes({1, 1}).b},
    };
}

bool writeAll(const fs::path& dir) {
    for (const auto& [name, data] : seeds()) {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            return false;
        }
    }
    return true;
}

std::vector<char> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Regenerates into a temporary folder and compares with dir; 0 when identical.
int check(const fs::path& dir) {
    char tmpl[] = "/tmp/actor-corpus-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    const fs::path fresh(tmpl);
    int failures = writeAll(fresh) ? 0 : 1;
    std::set<std::string> names;
    for (const auto& [name, data] : seeds()) {
        names.insert(name);
        if (!fs::exists(dir / name) || readAll(dir / name) != readAll(fresh / name)) {
            std::fprintf(stderr, "%s differs from the generated seed\n", (dir / name).c_str());
            ++failures;
        }
    }
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!names.count(e.path().filename().string())) {
            std::fprintf(stderr, "%s is not a generated seed\n", e.path().c_str());
            ++failures;
        }
    }
    std::error_code ec;
    fs::remove_all(fresh, ec);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return check(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: actor_corpus [--check] DIR\n");
        return 2;
    }
    fs::create_directories(argv[1]);
    return writeAll(argv[1]) ? 0 : 1;
}

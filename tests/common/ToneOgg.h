#pragma once
// Writes a short Ogg Vorbis test music: a steady sine tone, 44,100 Hz stereo. Used by the
// main state's tests (and the tone tool of the end-to-end tests) to make music of a known
// length in a temporary folder. Needs libvorbisenc.
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace testing_support {

// Writes seconds of a sine tone of hz at amplitude (0..1) to path; false on any failure.
inline bool writeToneOgg(const char* path, double seconds, double hz = 440.0,
                         double amplitude = 0.5) {
    constexpr int rate = 44100;
    constexpr int block = 1024;
    const long total = long(seconds * rate);
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = true;
    auto put = [&](const ogg_page& page) {
        ok = ok && std::fwrite(page.header, 1, size_t(page.header_len), f) == size_t(page.header_len);
        ok = ok && std::fwrite(page.body, 1, size_t(page.body_len), f) == size_t(page.body_len);
    };

    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, rate, 0.1f) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x746f6e65);
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&os, &page) != 0) put(page);

    long done = 0;
    bool eos = false;
    while (!eos) {
        const long n = total - done < block ? total - done : block;
        if (n <= 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (long i = 0; i < n; ++i) {
                const float s = float(amplitude * std::sin(2.0 * 3.14159265358979 * hz *
                                                           double(done + i) / rate));
                buffer[0][i] = s;
                buffer[1][i] = s;
            }
            vorbis_analysis_wrote(&vd, int(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet) != 0) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0) {
                    put(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (n <= 0 && !eos) {
            while (ogg_stream_flush(&os, &page) != 0) put(page);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

}  // namespace testing_support

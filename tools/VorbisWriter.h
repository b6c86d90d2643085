#pragma once
// Encodes PCM as an Ogg Vorbis file in memory with libvorbisenc (for test files and fuzz seeds).
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <vector>

namespace vorbiswriter {

// Samples handed to the encoder at a time (per channel).
constexpr size_t ENCODE_BLOCK_FRAMES = 1024;

// Encodes interleaved float samples (channels per frame, -1..1) at the given rate and quality
// with a fixed Ogg serial number, so the same samples always give the same bytes; a title, when
// given, goes into the comment header as TITLE. Empty on failure.
inline std::vector<unsigned char> encode(int rate, int channels, const std::vector<float>& samples,
                                         float quality = 0.6f, int serial = 1234,
                                         const char* title = nullptr) {
    std::vector<unsigned char> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    if (title) vorbis_comment_add_tag(&vc, "TITLE", title);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    ogg_page page;
    auto append = [&out](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&os, &page) != 0) append(page);
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool finished = false;
    while (!finished) {
        const size_t n = std::min(ENCODE_BLOCK_FRAMES, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
            finished = true;
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buf[c][i] = samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet) != 0) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0) append(page);
            }
        }
    }
    while (ogg_stream_flush(&os, &page) != 0) append(page);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

} // namespace vorbiswriter

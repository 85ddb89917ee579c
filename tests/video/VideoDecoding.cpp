#include "VideoDecoding.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

std::vector<unsigned char> syntheticFrame(int index, int width, int height)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    const double pi = 3.14159265358979323846;
    const double centreX = width * (0.15 + 0.7 * index / 47.0);
    const double centreY = height * 0.62;
    const double radius = height * 0.16;
    for (int y = 0; y < height; ++y) {
        const double v = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            double r, g, b;
            if (v < 0.45) {
                r = 90 + 80 * v;
                g = 140 + 70 * v;
                b = 225 - 30 * v;
            } else {
                const double c = 0.5 + 0.5 * std::sin(2 * pi * (x + 3 * index) / 37.0) * std::sin(2 * pi * y / 29.0);
                r = 105 + 45 * c;
                g = 120 + 55 * c;
                b = 65 + 25 * c;
            }
            // The disc: shaded towards its rim, one pixel of anti-aliased edge.
            const double distance = std::hypot(x + 0.5 - centreX, y + 0.5 - centreY);
            const double cover = std::clamp(radius - distance + 0.5, 0.0, 1.0);
            if (cover > 0) {
                const double shade = 0.55 + 0.45 * (1 - std::min(distance / radius, 1.0));
                r = r * (1 - cover) + 215 * shade * cover;
                g = g * (1 - cover) + 95 * shade * cover;
                b = b * (1 - cover) + 60 * shade * cover;
            }
            unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<unsigned char>(std::lround(r));
            pixel[1] = static_cast<unsigned char>(std::lround(g));
            pixel[2] = static_cast<unsigned char>(std::lround(b));
        }
    }
    return rgb;
}

namespace {

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void check(int code, const std::string& what, const std::string& path)
{
    if (code < 0) throw std::runtime_error(what + " '" + path + "': " + errorText(code));
}

unsigned char toByte(double value)
{
    return static_cast<unsigned char>(std::lround(std::clamp(value, 0.0, 255.0)));
}

// Limited-range BT.709 Y'CbCr 4:2:0 to full-range RGB, chroma taken from the sample that covers
// each pixel.
std::vector<unsigned char> toRgb(const AVFrame& frame)
{
    const double kr = 0.2126, kb = 0.0722, kg = 1 - kr - kb;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(frame.width) * frame.height * 3);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const double luma = (frame.data[0][y * frame.linesize[0] + x] - 16) / 219.0;
            const double cb = (frame.data[1][(y / 2) * frame.linesize[1] + x / 2] - 128) / 224.0;
            const double cr = (frame.data[2][(y / 2) * frame.linesize[2] + x / 2] - 128) / 224.0;
            const double r = luma + 2 * (1 - kr) * cr;
            const double b = luma + 2 * (1 - kb) * cb;
            const double g = (luma - kr * r - kb * b) / kg;
            unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * frame.width + x) * 3];
            pixel[0] = toByte(255 * r);
            pixel[1] = toByte(255 * g);
            pixel[2] = toByte(255 * b);
        }
    }
    return rgb;
}

} // namespace

DecodedVideo decodeVideo(const std::string& path)
{
    AVFormatContext* rawInput = nullptr;
    check(avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr), "cannot open", path);
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> input(
        rawInput, [](AVFormatContext* context) { avformat_close_input(&context); });
    check(avformat_find_stream_info(input.get(), nullptr), "no stream information in", path);
    const AVCodec* decoder = nullptr;
    const int streamIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    check(streamIndex, "no video stream in", path);
    const AVStream* stream = input->streams[streamIndex];

    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> codec(
        avcodec_alloc_context3(decoder), [](AVCodecContext* context) { avcodec_free_context(&context); });
    check(avcodec_parameters_to_context(codec.get(), stream->codecpar), "bad parameters in", path);
    codec->thread_count = 1;
    check(avcodec_open2(codec.get(), decoder, nullptr), "cannot decode", path);

    DecodedVideo video;
    video.containerName = input->iformat->name;
    video.codecName = decoder->name;
    video.width = stream->codecpar->width;
    video.height = stream->codecpar->height;
    video.averageFrameRate = av_q2d(stream->avg_frame_rate);
    video.taggedBt709 = stream->codecpar->color_space == AVCOL_SPC_BT709 &&
                        stream->codecpar->color_primaries == AVCOL_PRI_BT709 &&
                        stream->codecpar->color_trc == AVCOL_TRC_BT709;
    video.limitedRange = stream->codecpar->color_range == AVCOL_RANGE_MPEG;
    video.timestampTolerance = 0.5 * av_q2d(stream->time_base) + 1e-9;

    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    const auto receive = [&] {
        for (;;) {
            const int code = avcodec_receive_frame(codec.get(), frame.get());
            if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return;
            check(code, "decoding failed in", path);
            if (frame->format != AV_PIX_FMT_YUV420P)
                throw std::runtime_error("frames of '" + path + "' are not yuv420p");
            if (frame->width != video.width || frame->height != video.height)
                throw std::runtime_error("a frame of '" + path + "' differs in size from its stream");
            video.frameSeconds.push_back(frame->best_effort_timestamp * av_q2d(stream->time_base));
            video.frames.push_back(toRgb(*frame));
            av_frame_unref(frame.get());
        }
    };
    for (;;) {
        const int code = av_read_frame(input.get(), packet.get());
        if (code == AVERROR_EOF) break;
        check(code, "reading failed in", path);
        if (packet->stream_index == streamIndex) check(avcodec_send_packet(codec.get(), packet.get()), "decoding failed in", path);
        av_packet_unref(packet.get());
        receive();
    }
    check(avcodec_send_packet(codec.get(), nullptr), "flushing failed in", path);
    receive();
    return video;
}

double psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.size() != b.size() || a.empty()) return -1;
    double squares = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double difference = static_cast<double>(a[i]) - b[i];
        squares += difference * difference;
    }
    if (squares == 0) return INFINITY;
    return 10 * std::log10(255.0 * 255.0 * a.size() / squares);
}

std::vector<std::string> mp4TopLevelBoxes(const std::string& path)
{
    const std::string bytes = fileBytes(path);
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])); };
        std::uint64_t size = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        names.push_back(bytes.substr(at + 4, 4));
        if (size == 1 && at + 16 <= bytes.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i) size = size << 8 | byte(at + 8 + i);
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < 8) break;
        at += size;
    }
    return names;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

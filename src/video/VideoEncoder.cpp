#include "video/VideoEncoder.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// H.264: constant quality 18 keeps rendered edges and gradients close to the source (about
// 40 dB PSNR on test scenes); "veryfast" encodes a 1280 x 720 frame in a tenth of the time the
// PNG writer takes for it, so a video export costs less than an image sequence.
constexpr const char* kH264Quality = "18";
constexpr const char* kH264Preset = "veryfast";
// x264's bytes depend on its thread count, so it runs on one thread, never "as many as the
// machine has"; one thread is fast enough (see bench_video).
constexpr int kH264Threads = 1;
// VP9: constant quality (the bit rate left at 0) at about the picture quality of the H.264
// setting; speed 5 of libvpx's "good" mode. Its threads encode independent tile columns, so
// the bytes do not depend on their number; row-based threading stays off.
constexpr const char* kVp9Quality = "30";
constexpr const char* kVp9Speed = "5";
constexpr int kVp9Threads = 4;

// FFmpeg's libraries report details of a failure (x264's reason for refusing a size, the
// muxer's complaint) only through their log. The last error line is kept for the exception's
// message; nothing is printed, so batch runs show only our own report.
std::mutex g_logMutex;
std::string g_lastLoggedError;

void keepLoggedErrors(void* object, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '.')) line.pop_back();
    // The component's name, not the "[name @ 0x…]" prefix: messages must not vary with addresses.
    const AVClass* avClass = object ? *static_cast<const AVClass* const*>(object) : nullptr;
    if (avClass && avClass->item_name) line = std::string(avClass->item_name(object)) + ": " + line;
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_lastLoggedError = line;
}

void installLogCallback()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(keepLoggedErrors); });
}

void clearLoggedError()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_lastLoggedError.clear();
}

std::string takeLoggedError()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::string line;
    line.swap(g_lastLoggedError);
    return line;
}

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string decimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The name of an option FFmpeg left in the dictionary (did not know), or "".
std::string firstKey(const AVDictionary* options)
{
    const AVDictionaryEntry* entry = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    return entry ? entry->key : "";
}

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
// The output context owns its I/O context; this closes the file and frees both.
struct OutputFree {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

// A frame of format and size with its buffers cleared: the converter reads, and the encoders
// read, a little past the last pixel of a row, and bytes left as malloc gave them would make
// the video depend on what the memory held before. Null when out of memory.
AVFrame* newClearedFrame(AVPixelFormat format, int width, int height)
{
    AVFrame* frame = av_frame_alloc();
    if (!frame) return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        return nullptr;
    }
    for (AVBufferRef* buffer : frame->buf)
        if (buffer) std::memset(buffer->data, 0, buffer->size);
    return frame;
}

} // namespace

struct VideoEncoder::Impl {
    enum class State { Open, Finished, Cancelled, Failed };

    std::string path;
    std::string temporary;
    VideoFormat format;
    VideoSize size;
    AVRational frameRate{0, 1};
    State state = State::Open;
    int frames = 0;

    std::unique_ptr<AVFormatContext, OutputFree> output;
    std::unique_ptr<AVCodecContext, CodecContextFree> codec;
    AVStream* stream = nullptr; // owned by output
    std::unique_ptr<AVFrame, FrameFree> picture;
    std::unique_ptr<AVPacket, PacketFree> packet;
    // Per pixel layout: the converter and a padded copy of the caller's rows it reads from.
    std::unique_ptr<SwsContext, ScaleFree> converters[2];
    std::unique_ptr<AVFrame, FrameFree> staging[2];

    ~Impl() { discard(); }

    [[noreturn]] void fail(const std::string& reason)
    {
        discard();
        state = State::Failed;
        throw IOException("Unable to write video '" + path + "': " + reason + ".");
    }

    // The reason of a failed FFmpeg call: av_strerror's text, then the library's own logged
    // explanation when it gave one.
    [[noreturn]] void failCall(const std::string& doing, int code)
    {
        std::string reason = doing + ": " + errorText(code);
        const std::string logged = takeLoggedError();
        if (!logged.empty()) reason += " (" + logged + ")";
        fail(reason);
    }

    // Frees the encoder and removes the temporary file (no-op once the file was renamed).
    void discard()
    {
        const bool hadFile = !temporary.empty();
        for (int i = 0; i < 2; ++i) {
            converters[i].reset();
            staging[i].reset();
        }
        picture.reset();
        packet.reset();
        codec.reset();
        output.reset();
        stream = nullptr;
        if (hadFile) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            temporary.clear();
        }
    }

    void open(int width, int height, double framesPerSecond);
    void openCodec();
    void convert(const unsigned char* topRow, std::ptrdiff_t rowBytes, PixelLayout layout);
    void encode(const AVFrame* frame);
};

void VideoEncoder::Impl::open(int width, int height, double framesPerSecond)
{
    const auto known = videoFormatForPath(path);
    if (!known) fail("the extension is not " + knownVideoExtensions());
    format = *known;
    if (width < 1 || height < 1 || width > format.maxSide || height > format.maxSide)
        fail(std::to_string(width) + " x " + std::to_string(height) + " pixels is not a size from 1 x 1 to " +
             std::to_string(format.maxSide) + " x " + std::to_string(format.maxSide) + " for " + format.codecLabel);
    if (!std::isfinite(framesPerSecond) || framesPerSecond <= 0 || framesPerSecond > 1000)
        fail("the frame rate " + decimal(framesPerSecond) + " is not above 0 and at most 1000 frames per second");
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) fail("it is a directory");
    size = adjustVideoSize(format, width, height);
    // A name of its own beside the target: two exports to one path, in this process or
    // another, each write their own file, and the last to finish wins whole.
    try {
        temporary = createTemporaryFileBeside(path);
    } catch (const FileWriteException& e) {
        fail("no file can be made beside it (" + e.reason() + ")");
    }
    // 29.97 becomes 2997/100: exact for every rate typed with a few decimals.
    frameRate = av_d2q(framesPerSecond, 100000);

    installLogCallback();
    clearLoggedError();
    // "file:" keeps a name with a colon in it ("take:2.mp4") from being read as a protocol.
    const std::string url = "file:" + temporary;
    const AVOutputFormat* muxer = av_guess_format(format.muxerName.c_str(), nullptr, nullptr);
    if (!muxer) fail("this FFmpeg has no " + format.muxerName + " muxer");
    AVFormatContext* rawOutput = nullptr;
    int code = avformat_alloc_output_context2(&rawOutput, muxer, nullptr, url.c_str());
    if (code < 0) failCall("creating the " + format.muxerName + " muxer", code);
    output.reset(rawOutput);
    // No creation time, random track identifiers or library versions in the file: the same
    // frames give the same bytes.
    output->flags |= AVFMT_FLAG_BITEXACT;

    openCodec();

    stream = avformat_new_stream(output.get(), nullptr);
    if (!stream) fail("out of memory");
    code = avcodec_parameters_from_context(stream->codecpar, codec.get());
    if (code < 0) failCall("describing the video stream", code);
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = frameRate;

    code = avio_open(&output->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) {
        output->pb = nullptr;
        failCall("creating '" + temporary + "'", code);
    }
    AVDictionary* rawOptions = nullptr;
    // The index goes to the front once the video is complete, so players can start playing a
    // file that is still arriving over the network.
    if (format.muxerName == "mp4") av_dict_set(&rawOptions, "movflags", "+faststart", 0);
    code = avformat_write_header(output.get(), &rawOptions);
    const std::string unknown = firstKey(rawOptions);
    av_dict_free(&rawOptions);
    if (code < 0) failCall("writing the " + format.muxerName + " header", code);
    if (!unknown.empty()) fail("the " + format.muxerName + " muxer has no option '" + unknown + "'");

    picture.reset(newClearedFrame(AV_PIX_FMT_YUV420P, size.width, size.height));
    packet.reset(av_packet_alloc());
    if (!picture || !packet) fail("out of memory");
}

void VideoEncoder::Impl::openCodec()
{
    const AVCodec* encoder = avcodec_find_encoder_by_name(format.encoderName.c_str());
    if (!encoder) fail("this FFmpeg has no " + format.codecLabel + " encoder (" + format.encoderName + ")");
    codec.reset(avcodec_alloc_context3(encoder));
    if (!codec) fail("out of memory");
    codec->width = size.width;
    codec->height = size.height;
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->time_base = av_inv_q(frameRate);
    codec->framerate = frameRate;
    codec->sample_aspect_ratio = AVRational{1, 1};
    // Frames are converted with the BT.709 matrix into limited range (see convert()); the
    // stream says so, or players would guess, and guess BT.601 for small videos.
    codec->colorspace = AVCOL_SPC_BT709;
    codec->color_primaries = AVCOL_PRI_BT709;
    codec->color_trc = AVCOL_TRC_BT709;
    codec->color_range = AVCOL_RANGE_MPEG;
    if (output->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* rawOptions = nullptr;
    if (format.encoderName == "libx264") {
        codec->thread_count = kH264Threads;
        av_dict_set(&rawOptions, "crf", kH264Quality, 0);
        av_dict_set(&rawOptions, "preset", kH264Preset, 0);
    } else {
        codec->thread_count = kVp9Threads;
        codec->bit_rate = 0; // constant quality: crf alone decides
        av_dict_set(&rawOptions, "crf", kVp9Quality, 0);
        av_dict_set(&rawOptions, "deadline", "good", 0);
        av_dict_set(&rawOptions, "cpu-used", kVp9Speed, 0);
        av_dict_set(&rawOptions, "row-mt", "0", 0);
    }
    const int code = avcodec_open2(codec.get(), encoder, &rawOptions);
    const std::string unknown = firstKey(rawOptions);
    av_dict_free(&rawOptions);
    if (code < 0) failCall("opening the " + format.codecLabel + " encoder", code);
    // An option left over is one this FFmpeg's encoder does not know: the video would silently
    // miss its quality or speed setting.
    if (!unknown.empty()) fail("the " + format.encoderName + " encoder has no option '" + unknown + "'");
}

void VideoEncoder::Impl::convert(const unsigned char* topRow, std::ptrdiff_t rowBytes, PixelLayout layout)
{
    const int index = layout == PixelLayout::Rgb ? 0 : 1;
    const AVPixelFormat pixelFormat = layout == PixelLayout::Rgb ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_RGBA;
    if (!converters[index]) {
        // Bit-exact, accurately rounded conversion: the processor's vector units must not
        // change a single pixel of the video.
        converters[index].reset(sws_getContext(size.width, size.height, pixelFormat, size.width, size.height,
                                               AV_PIX_FMT_YUV420P,
                                               SWS_BILINEAR | SWS_ACCURATE_RND | SWS_BITEXACT | SWS_FULL_CHR_H_INP,
                                               nullptr, nullptr, nullptr));
        if (!converters[index]) fail("the colour converter could not be set up");
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        // Source: full-range RGB; destination: BT.709 in limited range (16 … 235).
        if (sws_setColorspaceDetails(converters[index].get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16) < 0)
            fail("the colour converter does not take BT.709");
        staging[index].reset(newClearedFrame(pixelFormat, size.width, size.height));
        if (!staging[index]) fail("out of memory");
    }
    // The converter's vector loads read up to 16 bytes past the last pixel of a row: the
    // caller's rows are copied into a padded frame first, so it never reads beyond the
    // caller's buffer (a picture at the end of a page would crash it).
    AVFrame& rows = *staging[index];
    const std::size_t rowLength = static_cast<std::size_t>(size.width) * (layout == PixelLayout::Rgb ? 3 : 4);
    for (int y = 0; y < size.height; ++y)
        std::memcpy(rows.data[0] + static_cast<std::ptrdiff_t>(y) * rows.linesize[0], topRow + y * rowBytes, rowLength);

    // An encoder that still holds the last frame gets to keep it; this one gets a new buffer.
    if (!av_frame_is_writable(picture.get())) {
        picture.reset(newClearedFrame(AV_PIX_FMT_YUV420P, size.width, size.height));
        if (!picture) fail("out of memory");
    }
    if (sws_scale(converters[index].get(), rows.data, rows.linesize, 0, size.height, picture->data, picture->linesize) < 0)
        fail("the colour converter failed on frame " + std::to_string(frames));
}

// Hands frame to the encoder (nullptr flushes it) and writes every packet it gives back.
void VideoEncoder::Impl::encode(const AVFrame* frame)
{
    int code = avcodec_send_frame(codec.get(), frame);
    if (code < 0) failCall("encoding frame " + std::to_string(frames), code);
    for (;;) {
        code = avcodec_receive_packet(codec.get(), packet.get());
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return;
        if (code < 0) failCall("encoding frame " + std::to_string(frames), code);
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        code = av_interleaved_write_frame(output.get(), packet.get());
        if (code < 0) failCall("writing '" + temporary + "'", code);
    }
}

VideoEncoder::VideoEncoder(const std::string& path, int width, int height, double framesPerSecond)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->path = path;
    m_impl->open(width, height, framesPerSecond);
}

VideoEncoder::~VideoEncoder() = default;

int VideoEncoder::width() const { return m_impl->size.width; }
int VideoEncoder::height() const { return m_impl->size.height; }
bool VideoEncoder::sizeAdjusted() const { return m_impl->size.adjusted; }
const std::string& VideoEncoder::sizeNote() const { return m_impl->size.note; }
const VideoFormat& VideoEncoder::format() const { return m_impl->format; }
const std::string& VideoEncoder::path() const { return m_impl->path; }
int VideoEncoder::frameCount() const { return m_impl->frames; }

void VideoEncoder::addFrame(const unsigned char* topRow, int width, int height, std::ptrdiff_t rowBytes,
                            PixelLayout layout)
{
    Impl& impl = *m_impl;
    if (impl.state != Impl::State::Open) throw IOException("Unable to write video '" + impl.path + "': the encoder is closed.");
    if (width != impl.size.width || height != impl.size.height)
        impl.fail("frame " + std::to_string(impl.frames) + " is " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels, not " + std::to_string(impl.size.width) + " x " +
                  std::to_string(impl.size.height));
    const std::ptrdiff_t pixelBytes = layout == PixelLayout::Rgb ? 3 : 4;
    if (topRow == nullptr || std::abs(rowBytes) < pixelBytes * width)
        impl.fail("frame " + std::to_string(impl.frames) + " has rows shorter than its width");
    clearLoggedError();
    impl.convert(topRow, rowBytes, layout);
    impl.picture->pts = impl.frames;
    impl.encode(impl.picture.get());
    ++impl.frames;
}

void VideoEncoder::finish()
{
    Impl& impl = *m_impl;
    if (impl.state != Impl::State::Open) throw IOException("Unable to write video '" + impl.path + "': the encoder is closed.");
    if (impl.frames == 0) impl.fail("there are no frames to write");
    clearLoggedError();
    impl.encode(nullptr);
    int code = av_write_trailer(impl.output.get());
    if (code < 0) impl.failCall("completing '" + impl.temporary + "'", code);
    // The file layer reports a failed write (a full disk) on the I/O context, not to the caller
    // of the write; closing flushes the last buffer.
    code = impl.output->pb->error;
    if (code < 0) impl.failCall("writing '" + impl.temporary + "'", code);
    code = avio_closep(&impl.output->pb);
    if (code < 0) impl.failCall("closing '" + impl.temporary + "'", code);
    std::error_code error;
    std::filesystem::rename(impl.temporary, impl.path, error);
    if (error) impl.fail("renaming '" + impl.temporary + "' over it failed: " + error.message());
    impl.temporary.clear();
    impl.discard();
    impl.state = Impl::State::Finished;
}

void VideoEncoder::cancel()
{
    Impl& impl = *m_impl;
    if (impl.state != Impl::State::Open) return;
    impl.discard();
    impl.state = Impl::State::Cancelled;
}

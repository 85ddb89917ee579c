#pragma once

#include "viewer/Playback.h"

#include <optional>
#include <string>

class GLView;
class ViewerMemory;
class wxWindow;

// The main frame's commands that draw frames to files or as fast as possible: one image
// (id 6), an image sequence (id 7), a video (kExportVideoId) and the timedemo (id 9), each a
// dialog front end over the canvas's image export and the viewer's playback runs. Failures are
// shown with showErrorBox under "Error writing image" ("Error writing video" for videos). The parent (the frame) and the canvas must outlive it.
class ExportCommands {
public:
    ExportCommands(wxWindow& parent, GLView& view);

    // One image; true when it was written.
    bool exportImageTo(const std::string& path, int width, int height);

    struct SequenceExport {
        int written = 0;
        bool failed = false;    // an error was shown; the frames written before it stay
        bool cancelled = false; // progress said stop
    };
    // Frames 0 .. frames - 1 of the animation, each as path numbered before its last dot
    // (sequenceFrameName). The view is repainted on screen every ten frames and at the end.
    // firstFrame: the run covers frames firstFrame .. firstFrame + frames - 1, numbered so.
    SequenceExport exportImageSequenceTo(const std::string& path, int width, int height, int frames,
                                         const PlaybackProgress& progress = {}, int firstFrame = 0);

    struct VideoExport {
        int written = 0;        // frames encoded
        bool failed = false;    // an error was shown under "Error writing video"; no file left
        bool cancelled = false; // progress said stop; no file left
        std::string sizeNote;   // the encoder's note when it rounded the size, else empty
    };
    // Frames firstFrame .. firstFrame + frames - 1, drawn as the image sequence draws them, as
    // one video at framesPerSecond (the format from path's extension, see VideoEncoder).
    VideoExport exportVideoTo(const std::string& path, int width, int height, int frames, double framesPerSecond,
                              const PlaybackProgress& progress = {}, int firstFrame = 0);

    // With a memory, the file dialogs start in the directory they showed last. It must outlive
    // its use; null forgets it.
    void setMemory(ViewerMemory* memory) { m_memory = memory; }

    // The commands with their dialogs.
    void onExportImage();
    void onExportImageSequence();
    void onExportVideo();
    void onTimedemo();

private:
    // Asks for a width and a height (1..19999) until both are valid; false on Cancel.
    bool askImageSize(long defaultWidth, long defaultHeight, int& width, int& height);
    // The save dialog; nothing on Cancel.
    std::optional<std::string> askSavePath(const char* title, const char* filter);

    wxWindow& m_parent;
    GLView& m_view;
    ViewerMemory* m_memory = nullptr;
};

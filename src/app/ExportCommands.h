#pragma once

#include "viewer/Playback.h"

#include <string>

class GLView;
class wxWindow;

// The main frame's commands that draw frames to files or as fast as possible: one image
// (id 6), an image sequence (id 7) and the timedemo (id 9), each a dialog front end over the
// canvas's image export and the viewer's playback runs. Failures are shown with showErrorBox
// under "Error writing image". The parent (the frame) and the canvas must outlive it.
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
    SequenceExport exportImageSequenceTo(const std::string& path, int width, int height, int frames,
                                         const PlaybackProgress& progress = {});

    // The commands with their dialogs.
    void onExportImage();
    void onExportImageSequence();
    void onTimedemo();

private:
    // Asks for a width and a height (1..19999) until both are valid; false on Cancel.
    bool askImageSize(long defaultWidth, long defaultHeight, int& width, int& height);

    wxWindow& m_parent;
    GLView& m_view;
};

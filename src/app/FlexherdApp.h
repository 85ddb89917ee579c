#pragma once

#include "app/GLContextSource.h"

#include <wx/app.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The viewer application: opens the main frame sized to the screen, loads the files named on
// the command line in order, and owns the one OpenGL context every view draws with. Keeping
// the context here rather than in a canvas lets it outlive canvases and be shared later.
class FlexherdApp : public wxApp, public GLContextSource {
public:
    FlexherdApp();
    ~FlexherdApp() override;

    // The arguments after the program name as main() received them, bytes unchanged. Without
    // them OnInit reads the toolkit's argv, which drops arguments it cannot convert to Unicode
    // (a file name in another encoding) and so would shift every later argument.
    static void setArguments(std::vector<std::string> arguments);

    bool OnInit() override;
    // The event loop; a batch run's exit status replaces the loop's.
    int OnRun() override;

    // The application's GL context (GLContextSource); said once on standard error when it
    // cannot be created.
    wxGLContext* glContext(wxGLCanvas* canvas) override;

private:
    static std::optional<std::vector<std::string>>& arguments();

    std::unique_ptr<wxGLContext> m_glContext;
    bool m_glContextFailed = false;
};

#include "app/FlexherdApp.h"

#include "app/GLView.h"
#include "app/InitialFrameSize.h"
#include "app/MyFrame.h"

#include <wx/display.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <iostream>
#include <string>

FlexherdApp::FlexherdApp() = default;

// Out of line so that the unique_ptr sees the complete wxGLContext.
FlexherdApp::~FlexherdApp() = default;

bool FlexherdApp::OnInit()
{
    // wxApp::OnInit is not called: it would parse the command line and reject the file names.
    wxInitAllImageHandlers();

    const wxRect workArea = wxDisplay(0u).GetClientArea();
    const InitialFrameSize size = computeInitialFrameSize(workArea.width, workArea.height,
        wxSystemSettings::GetMetric(wxSYS_EDGE_X), wxSystemSettings::GetMetric(wxSYS_EDGE_Y));
    auto* frame = new MyFrame(nullptr, "Flexherd demo", wxPoint(0, 0), wxSize(size.width, size.height),
        wxDEFAULT_FRAME_STYLE);

    // Every file gets its chance: openFile reports a failing one and returns.
    for (int i = 1; i < argc; ++i)
        frame->openFile(std::string(argv[i].fn_str()));

    // A herd of fewer than ten animals looks empty on a full-screen frame.
    if (frame->view()->totalAnimalCount() < 10)
        frame->view()->setAnimalCount(10);

    frame->Show(true);
    return true;
}

wxGLContext* FlexherdApp::glContext(wxGLCanvas* canvas)
{
    if (!m_glContext && !m_glContextFailed) {
        auto context = std::make_unique<wxGLContext>(canvas);
        if (context->IsOK()) {
            m_glContext = std::move(context);
        } else {
            // Said once: the paint handler asks on every paint.
            m_glContextFailed = true;
            std::cerr << "flexherd: unable to create an OpenGL context; the view stays blank.\n";
        }
    }
    return m_glContext.get();
}

wxGLContext* FlexherdApp::glContextFor(wxGLCanvas* canvas)
{
    auto* app = dynamic_cast<FlexherdApp*>(wxTheApp);
    return app ? app->glContext(canvas) : nullptr;
}

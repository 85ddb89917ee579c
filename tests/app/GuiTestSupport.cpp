#include "GuiTestSupport.h"

#include <wx/arrstr.h>
#include <wx/filefn.h>

#include "app/MenuIds.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <GL/glew.h>

#include <fstream>
#include <ostream>

void PrintTo(const ErrorReport& report, std::ostream* out)
{
    *out << "{\"" << report.caption << "\", \"" << report.message << "\"}";
}

StartupState& startup()
{
    static StartupState state;
    return state;
}

MyFrame* mainFrame()
{
    return dynamic_cast<MyFrame*>(wxTheApp->GetTopWindow());
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        wxYield();
        wxTheApp->ProcessIdle();
        wxMilliSleep(10);
    }
    return true;
}

std::string writeData(const std::string& name, const std::string& bytes)
{
    const std::filesystem::path path = startup().dataDirectory / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

ScriptedDialogs::ScriptedDialogs(std::vector<std::string> answers) : m_answers(std::move(answers))
{
    // Timer events reach the modal loop of a file dialog too.
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { answerFileDialog(); });
    Register();
}

ScriptedDialogs::~ScriptedDialogs()
{
    m_timer.Stop();
    Unregister();
}

void ScriptedDialogs::answerFileDialog()
{
    if (m_fileDialog == nullptr || !m_fileDialog->IsModal()) return;
    // A dialog that picks several files answers only through GetPaths.
    std::string shown;
    if (m_fileDialog->HasFlag(wxFD_MULTIPLE)) {
        wxArrayString paths;
        m_fileDialog->GetPaths(paths);
        if (paths.size() == 1) shown = paths[0].utf8_string();
    } else {
        shown = m_fileDialog->GetPath().utf8_string();
    }
    if (shown == m_path) {
        m_fileDialog->EndModal(wxID_OK);
    } else if (++m_ticks > 2000) {
        // Guards against a hang only: the chooser takes its path within a few ticks.
        ADD_FAILURE() << "the file dialog never took the path '" << m_path << "'; it shows '" << shown << "'";
        m_fileDialog->EndModal(wxID_CANCEL);
    }
}

void ScriptedDialogs::Exit(wxDialog* dialog)
{
    if (dialog != m_fileDialog) return;
    m_timer.Stop();
    m_fileDialog = nullptr;
}

int ScriptedDialogs::Enter(wxDialog* dialog)
{
    // GTK's file dialog passes through the hook twice: its own ShowModal, then the dialog's.
    if (dialog == m_fileDialog) return wxID_NONE;
    std::string answer = kCancel;
    if (m_answers.empty())
        ++unexpected;
    else {
        answer = m_answers.front();
        m_answers.erase(m_answers.begin());
    }
    const bool cancel = answer == kCancel;
    if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
        // GTK's native file chooser keeps its title as the wx message.
        shown.push_back({"file", files->GetMessage().ToStdString(), files->GetWildcard().ToStdString(),
                         files->HasFlag(wxFD_SAVE) ? "save" : "open"});
        if (cancel) return wxID_CANCEL;
        files->SetPath(wxString::FromUTF8(answer));
        if (!files->HasFlag(wxFD_SAVE)) {
            // As a user would: the first filter that shows the file (the chooser hides others).
            const wxString name = wxString::FromUTF8(std::filesystem::path(answer).filename().string());
            wxArrayString descriptions, filters;
            const int count = wxParseCommonDialogsFilter(files->GetWildcard(), descriptions, filters);
            bool chosen = false;
            for (int i = 0; i < count && !chosen; ++i)
                for (const wxString& pattern : wxSplit(filters[i], ';'))
                    if (!chosen && wxMatchWild(pattern, name, false)) {
                        files->SetFilterIndex(i);
                        chosen = true;
                    }
        }
        m_fileDialog = files;
        m_path = answer;
        m_ticks = 0;
        m_timer.Start(5);
        return wxID_NONE;
    }
    if (auto* entry = dynamic_cast<wxTextEntryDialog*>(dialog)) {
        std::string prompt;
        for (wxWindow* child : entry->GetChildren())
            if (auto* label = dynamic_cast<wxStaticText*>(child)) prompt += label->GetLabel().ToStdString();
        shown.push_back({"text", entry->GetTitle().ToStdString(), prompt, entry->GetValue().ToStdString()});
        if (cancel) return wxID_CANCEL;
        entry->SetValue(wxString::FromUTF8(answer));
        return wxID_OK;
    }
    if (auto* message = dynamic_cast<wxMessageDialog*>(dialog)) {
        shown.push_back({"message", message->GetCaption().ToStdString(), message->GetMessage().ToStdString(),
                         (message->GetMessageDialogStyle() & wxCANCEL) ? "ok/cancel" : "ok"});
        return cancel ? wxID_CANCEL : wxID_OK;
    }
    shown.push_back({"other", dialog->GetTitle().ToStdString(), "", ""});
    return wxID_CANCEL;
}

void PrintTo(const ScriptedDialogs::Shown& shown, std::ostream* out)
{
    *out << "{" << shown.kind << ", \"" << shown.title << "\", \"" << shown.text << "\", \"" << shown.detail << "\"}";
}

void GuiTest::SetUp()
{
    m_previousHook = setErrorBoxHook([this](const std::string& caption, const std::string& message) {
        m_reports.push_back({caption, message});
    });
    m_frame = mainFrame();
    ASSERT_NE(m_frame, nullptr) << "OnInit did not make a MyFrame the top window";
    m_view = m_frame->view();
    ASSERT_NE(m_view, nullptr);
    m_core = &m_frame->core();

    // The start-up choices (the menu tests check them on a fresh frame), with the clock stopped
    // so that frames and pixels hold still while a test looks at them.
    // Enabled first: GTK does not check a disabled radio item.
    for (const int id : {kShowVertexProgramId, kVertexCorrectionsMenuId, kNormalCorrectionsMenuId,
                         kPrtCorrectionsMenuId, kDisplayListsId, kWireframeOnShadedId})
        m_frame->menuItem(id)->Enable(true);
    for (const int id : {kPrtLightingId, kDisplayListsId, kLodModerateId, kPolysId, kLightGrayId, kPerspectiveId,
                         kUseVertexProgramId, kTriangleStripsId, kShadowsId, kGroundPlaneId})
        m_frame->menuItem(id)->Check(true);
    for (const int id : {kWireframeOnShadedId, kMovingId, kRunningId})
        m_frame->menuItem(id)->Check(false);
    m_core->useCamera(ViewerCore::CameraChoice::Perspective);
    m_core->setShowStatistics(true);
    m_view->applyRenderSettings();

    m_seed = testSeed();
    m_core->scene().reseed(m_seed);
    m_seedTrace.emplace(__FILE__, __LINE__, seedTrace(m_seed));
}

void GuiTest::TearDown()
{
    m_seedTrace.reset();
    setErrorBoxHook(m_previousHook);
}

void GuiTest::clearScene()
{
    m_core->clear();
    m_view->prepareRenderers();
}

wxMenu* GuiTest::subMenu(int id) const
{
    return m_frame->menuItem(id)->GetSubMenu();
}

void GuiTest::choose(int id)
{
    choose(m_frame, id);
}

void GuiTest::choose(MyFrame* frame, int id)
{
    wxMenuItem* item = frame->GetMenuBar()->FindItem(id);
    ASSERT_NE(item, nullptr) << "no menu item " << id;
    if (item->GetKind() == wxITEM_CHECK)
        item->Check(!item->IsChecked());
    else if (item->GetKind() == wxITEM_RADIO)
        item->Check(true);
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    event.SetInt(item->IsCheckable() && item->IsChecked() ? 1 : 0);
    frame->ProcessWindowEvent(event);
}

void GuiTest::pressKey(int keyCode, bool control)
{
    wxKeyEvent event(wxEVT_KEY_DOWN);
    event.m_keyCode = keyCode;
    event.m_controlDown = control;
    event.SetEventObject(m_view);
    event.SetId(m_view->GetId());
    m_view->ProcessWindowEvent(event);
}

void GuiTest::mouse(wxEventType type, int x, int y, bool leftDown)
{
    wxMouseEvent event(type);
    event.m_x = x;
    event.m_y = y;
    event.m_leftDown = leftDown;
    event.SetEventObject(m_view);
    event.SetId(m_view->GetId());
    m_view->ProcessWindowEvent(event);
}

void GuiTest::drag(wxMouseButton button, wxPoint from, wxPoint to)
{
    const auto send = [&](wxEventType type, wxPoint at, bool held) {
        wxMouseEvent event(type);
        event.m_x = at.x;
        event.m_y = at.y;
        event.m_leftDown = held && button == wxMOUSE_BTN_LEFT;
        event.m_middleDown = held && button == wxMOUSE_BTN_MIDDLE;
        event.m_rightDown = held && button == wxMOUSE_BTN_RIGHT;
        event.SetEventObject(m_view);
        event.SetId(m_view->GetId());
        m_view->ProcessWindowEvent(event);
    };
    const wxEventType down = button == wxMOUSE_BTN_LEFT     ? wxEVT_LEFT_DOWN
                             : button == wxMOUSE_BTN_MIDDLE ? wxEVT_MIDDLE_DOWN
                                                            : wxEVT_RIGHT_DOWN;
    const wxEventType up = button == wxMOUSE_BTN_LEFT     ? wxEVT_LEFT_UP
                           : button == wxMOUSE_BTN_MIDDLE ? wxEVT_MIDDLE_UP
                                                          : wxEVT_RIGHT_UP;
    send(down, from, true);
    send(wxEVT_MOTION, (from + to) / 2, true);
    send(wxEVT_MOTION, to, true);
    send(up, to, false);
}

void GuiTest::renderView()
{
    ASSERT_TRUE(pumpUntil([&] { return m_view->makeCurrent(); })) << "the view cannot take its GL context";
    m_view->render();
}

Rgb GuiTest::pixel(int x, int y)
{
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

std::vector<unsigned char> GuiTest::frameBuffer()
{
    const wxSize size = m_view->clientSize();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(size.x) * size.y * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void GuiTest::loadSampleQuadruped(unsigned animals)
{
    m_frame->files().openSkinFiles({(startup().samples / "quadruped.bin").string()});
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    m_core->setAnimalCount(animals);
    m_core->setFrame(0);
}

// The frame's "Render" commands: a change of a rendering choice, a repaint, and the vertex
// program dialog.
#include "app/MyFrame.h"

#include "app/GLView.h"
#include "app/VertexProgDialog.h"
#include "render/ExportNaming.h"

#include <wx/textdlg.h>

void MyFrame::bindRenderCommands()
{
    Bind(wxEVT_MENU, &MyFrame::onShowVertexProgram, this, kShowVertexProgramId);
    Bind(wxEVT_MENU, &MyFrame::onImpostorPixels, this, kImpostorPixelsId);
    for (const int id : {kUseVertexProgramId, kBoxesId, kPolysId, kWireframeId, kPointsId, kWireframeOnShadedId,
                         kShadowsId, kNoLightingId, kOpenGLLightingId, kPrtLightingId, kVertexBufferObjectsId,
                         kDisplayListsId, kVertexArraysId, kTriangleStripsId, kSettingsChangedId})
        Bind(wxEVT_MENU, &MyFrame::onSettingsChanged, this, id);
    // The run-time count items, present and future, in one binding per range.
    for (const int first : {kFirstVertexCorrectionId, kFirstNormalCorrectionId, kFirstPrtCorrectionId})
        Bind(wxEVT_MENU, &MyFrame::onSettingsChanged, this, first, first + kRunTimeRangeSize - 1);
    for (const int id : {kLodMenuId, kLodAggressiveId, kLodModerateId, kLodConservativeId, kImpostorsId, kGroundPlaneId,
                         kWhiteId, kBlackId, kLightGrayId, kDarkGrayId, kBlueId, kSkyId})
        Bind(wxEVT_MENU, &MyFrame::onRepaint, this, id);
    Bind(wxEVT_MENU, &MyFrame::onRepaint, this, kFirstFixedLevelId, kFirstFixedLevelId + kRunTimeRangeSize - 1);
}

void MyFrame::onSettingsChanged(wxCommandEvent&)
{
    applyDependentStates();
    // Programs, buffers and lists are rebuilt from the new choices at the next paint.
    m_view->applyRenderSettings();
}

void MyFrame::onRepaint(wxCommandEvent&)
{
    m_view->Refresh(false);
}

void MyFrame::onImpostorPixels(wxCommandEvent&)
{
    long value = static_cast<long>(impostorPixels());
    do {
        wxTextEntryDialog dialog(this, "Animals less tall on screen than this many pixels are drawn as impostors",
                                 "Impostor switch height", wxString::Format("%ld", value), wxOK | wxCANCEL | wxCENTRE);
        if (dialog.ShowModal() != wxID_OK) return;
        value = parseLeadingInteger(dialog.GetValue().ToStdString());
    } while (value <= 0 || value > 1000);
    setImpostorPixels(static_cast<unsigned>(value));
    m_view->Refresh(false);
}

void MyFrame::onShowVertexProgram(wxCommandEvent&)
{
    m_vertexProgDialog->setProgramText(m_view->vertexProgramText());
    m_vertexProgDialog->Show();
    m_vertexProgDialog->Raise();
}

#include "app/ImportProgressDialog.h"

#include <wx/progdlg.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

constexpr int kRange = 1000;

wxString progressText(const std::string& fileName, const std::string& step)
{
    return wxString::FromUTF8("Importing '" + fileName + "'\n" + (step.empty() ? std::string("Starting the import") : step));
}

} // namespace

ImportProgressDialog::ImportProgressDialog(wxWindow& parent) : m_parent(parent) {}

ImportProgressDialog::~ImportProgressDialog() = default;

void ImportProgressDialog::begin(const std::string& modelPath)
{
    m_fileName = std::filesystem::path(modelPath).filename().string();
    // Wide enough from the start for the longest step, so the dialog does not grow as they come.
    m_dialog = std::make_unique<wxProgressDialog>(
        "Importing model", progressText(m_fileName, "Computing the PRT lighting of level 0 of 3"), kRange, &m_parent,
        wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME);
    m_dialog->Update(0, progressText(m_fileName, ""));
}

bool ImportProgressDialog::update(double fraction, const std::string& step)
{
    if (!m_dialog) return true;
    // Below the maximum: reaching it would end the dialog's cancellable state.
    const int value = std::clamp(static_cast<int>(std::lround(fraction * kRange)), 0, kRange - 1);
    return m_dialog->Update(value, progressText(m_fileName, step));
}

void ImportProgressDialog::end()
{
    m_dialog.reset();
}

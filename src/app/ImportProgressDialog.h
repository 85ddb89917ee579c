#pragma once

#include "viewer/ModelImportHooks.h"

#include <memory>
#include <string>

class wxProgressDialog;
class wxWindow;

// The progress dialog of a model import: "Importing model" with the file's name, the baking
// step the importer reports and a Cancel button, which ends the importer. Shown from the
// import's start to its end, one dialog per model; the parent (the main frame) must outlive it.
class ImportProgressDialog : public ImportProgressDisplay {
public:
    explicit ImportProgressDialog(wxWindow& parent);
    ~ImportProgressDialog() override;

    void begin(const std::string& modelPath) override;
    bool update(double fraction, const std::string& step) override;
    void end() override;

    // The dialog while an import runs, else null (tests press its Cancel button).
    wxProgressDialog* dialog() const { return m_dialog.get(); }

private:
    wxWindow& m_parent;
    std::string m_fileName;
    std::unique_ptr<wxProgressDialog> m_dialog;
};

#include "app/ErrorBox.h"

#include <wx/msgdlg.h>
#include <wx/string.h>

#include <cstdlib>
#include <fstream>
#include <utility>

namespace {

ErrorBoxHook& currentHook()
{
    static ErrorBoxHook hook;
    return hook;
}

// One record per line whatever the texts contain, so readers can split on newlines and tabs.
std::string escapeRecordField(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\t': escaped += "\\t"; break;
        case '\n': escaped += "\\n"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

bool appendToErrorLog(const std::string& caption, const std::string& message)
{
    const char* logPath = std::getenv("FLEXHERD_ERROR_LOG");
    if (logPath == nullptr || *logPath == '\0')
        return false;
    std::ofstream log(logPath, std::ios::app | std::ios::binary);
    if (!log)
        return false;
    log << escapeRecordField(caption) << '\t' << escapeRecordField(message) << '\n';
    log.flush();
    return static_cast<bool>(log);
}

// Messages quote file paths, which on Linux are bytes rather than guaranteed UTF-8; a path that
// is not valid UTF-8 still shows (byte by byte) instead of turning the message blank.
wxString toWxString(const std::string& text)
{
    wxString converted = wxString::FromUTF8(text.data(), text.size());
    if (converted.empty() && !text.empty())
        converted = wxString(text.data(), wxConvISO8859_1, text.size());
    return converted;
}

} // namespace

ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook)
{
    return std::exchange(currentHook(), std::move(hook));
}

void showErrorBox(const std::string& caption, const std::string& message, wxWindow* parent)
{
    if (const ErrorBoxHook& hook = currentHook()) {
        hook(caption, message);
        return;
    }
    if (appendToErrorLog(caption, message))
        return;
    auto* dialog = new wxMessageDialog(parent, toWxString(message), toWxString(caption), wxOK | wxICON_ERROR);
    dialog->ShowModal();
    dialog->Destroy();
}

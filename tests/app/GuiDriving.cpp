#include "GuiDriving.h"

#include "app/MyFrame.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/menu.h>
#include <wx/utils.h>

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

void clickMenuItem(MyFrame* frame, int id)
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

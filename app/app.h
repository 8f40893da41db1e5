// The application object: creates the wizard window.
#ifndef PONTIRO_APP_APP_H
#define PONTIRO_APP_APP_H

#include <wx/app.h>

class wxIcon;
class wxPontiroFrame;

class MyApp : public wxApp
{
public:
    ~MyApp() override;
    bool OnInit() override;
};

wxDECLARE_APP(MyApp);

// The window icon, decoded from the program's data (invalid if it cannot be).
wxIcon LoadProgramIcon();

// The program's wizard window with its icon, not yet shown.
wxPontiroFrame* CreateProgramWindow();

#endif

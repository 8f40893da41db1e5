#include "tests/http/wxsockets.h"

#include <wx/init.h>
#include <wx/socket.h>

#include <memory>

void InitWxSocketsForTests()
{
    static std::unique_ptr<wxInitializer> initializer;
    if (!initializer)
    {
        initializer.reset(new wxInitializer);
        wxSocketBase::Initialize();
    }
}

#include "app/frmMain.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    auto platform = tovela::CreatePlatform(argc, argv);
    int exitCode = 0;
    {
        tovela::frmMain form(*platform);
        if (form.Form_Load(platform->commandLine)) exitCode = platform->loop->Run();
    }
    return exitCode;
}

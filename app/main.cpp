// Orvanel Sondrel: rips audio CDs into sound files.
#include "app/settings.h"
#include "app/ui/application.h"
#include "app/ui/mainwindow.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/flacbinding.h"
#include "pipeline/macbinding.h"

int main(int argc, char **argv)
{
    SondrelApplication app(argc, argv);
    // The encoders' libraries are loaded once, at start; a missing one is
    // reported when the window makes its writer.
    Flac::LoadFLACLibrary();
    Mac::LoadMACLibrary();
    int result = 0;
    {
        TfrmMain window(std::make_unique<SettingsStore>(std::make_unique<QSettingsStorage>()));
        window.show();
        result = app.exec();
    }
    // The window and its components are gone, so nothing reads a disc any more.
    UnloadCDRipLibrary();
    return result;
}

// Orvanel Sondrel: rips audio CDs into sound files.
#include "app/settings.h"
#include "app/ui/application.h"
#include "app/ui/mainwindow.h"

int main(int argc, char **argv)
{
    SondrelApplication app(argc, argv);
    TfrmMain window(std::make_unique<SettingsStore>(std::make_unique<QSettingsStorage>()));
    window.show();
    return app.exec();
}

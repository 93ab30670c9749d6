#include "app/gui_setup.h"

#include "gui/pictures.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

void setup_application_look(QApplication& app) {
    Q_INIT_RESOURCE(melo_resources);
    app.setStyle(QStyleFactory::create("Fusion"));
    // Liberation Sans where it is installed (Linux; Wine takes the build machine's fonts), else
    // Arial, whose metrics it shares, so the designed boxes fit on Windows as well.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    app.setFont(font);
    // Every window of the program carries its icon, a waveform opened on its own as well.
    QApplication::setWindowIcon(QIcon(picture_resource(":/icons/app")));
    // Desktops match the window to its installed desktop entry (name and icon) by this name.
    QGuiApplication::setDesktopFileName("de.melo.soundmanager");

    // The user interface is German, the standard dialogs' own texts included: Qt's catalogues
    // built into the program where the build embedded them (Windows), else the installed ones.
    for (const char* catalogue : {"qtbase_de", "qtmultimedia_de"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(catalogue, QStringLiteral(":/translations")) ||
            translator->load(catalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

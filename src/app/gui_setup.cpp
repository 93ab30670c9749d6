#include "app/gui_setup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

void setup_application_look(QApplication& app) {
    Q_INIT_RESOURCE(melo_resources);
    app.setStyle(QStyleFactory::create("Fusion"));
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    app.setFont(font);
    // Every window of the program carries its icon, a waveform opened on its own as well.
    QApplication::setWindowIcon(QIcon(":/icons/app.svg"));
    // Desktops match the window to its installed desktop entry (name and icon) by this name.
    QGuiApplication::setDesktopFileName("de.melo.soundmanager");

    // The user interface is German, the standard dialogs' own texts included.
    auto* translator = new QTranslator(&app);
    if (translator->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}
